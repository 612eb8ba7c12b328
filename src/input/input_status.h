// What the input job has seen, for the player: the last input as its binding
// text, and the controllers connected now, so the pages can say which bound
// controller is missing. The job writes it; the menu reads it every frame.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "input/binding_text.h"
#include "platform/mutex.h"

namespace Input {

class InputStatus {
public:
    static constexpr size_t kMaxControllers = 16;

    // The job's thread: a press of a button, hat or key.
    void NoteInput(const char* bindingText) KVT_EXCLUDES(lock_);
    // The job's thread (its start, every controller added or removed): SDL's
    // controllers now, by their marked names.
    void RefreshControllers(const ControllerMarks& marks) KVT_EXCLUDES(lock_);
    // Nothing seen: the job ended.
    void Forget() KVT_EXCLUDES(lock_);

    // Into out (kMaxBindingText + 1 bytes): the last input's text, or empty.
    void LastInput(char* out) const KVT_EXCLUDES(lock_);
    // Whether the controllers were read since the job started.
    bool ControllersKnown() const KVT_EXCLUDES(lock_);
    // By the name a binding names it with: a plain name is connected while
    // any of its twins is, a marked one only with that twin.
    bool Connected(std::string_view controllerName) const KVT_EXCLUDES(lock_);

private:
    using Name = std::array<char, kMaxBindingText + 1>;
    mutable kvt::Mutex lock_;
    Name lastInput_ KVT_GUARDED_BY(lock_){};
    // Marked names, and how long the plain name before the mark is.
    std::array<Name, kMaxControllers> connected_ KVT_GUARDED_BY(lock_){};
    std::array<size_t, kMaxControllers> plainLength_ KVT_GUARDED_BY(lock_){};
    size_t connectedCount_ KVT_GUARDED_BY(lock_) = 0;
    bool known_ KVT_GUARDED_BY(lock_) = false;
};

// The bound controllers that are not connected, each once, in the order the
// lines name them: those named by a binding line of a page of root's that is
// switched on (a switched-off page's bindings do nothing either way).
// Allocates nothing.
struct MissingControllers {
    static constexpr size_t kMax = 8;
    std::array<std::array<char, kMaxBindingText + 1>, kMax> names{};
    size_t count = 0;
};
MissingControllers FindMissingControllers(const InputStatus& status, const CPluginBase& root);

// The pages' status lines, into out (size bytes, cut to fit): "Last input:
// <text>", and "Not connected: <names>" when a bound controller is missing
// (else empty). Allocate nothing: the menu draws them every frame. The
// host's thread.
void WriteStatusLine(const InputStatus& status, char* out, size_t size);
void WriteMissingLine(const InputStatus& status, const CPluginBase& root, char* out, size_t size);

// One warning line in the log per bound controller that is not connected.
void LogMissingControllers(const InputStatus& status, const CPluginBase& root);

}  // namespace Input
