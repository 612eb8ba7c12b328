// One line of the in-game menu: its kind, texts, bounds, allowed options and a
// pointer to the value it edits (inside the settings object or its own text).
// The settings' flags and numbers are atomics, since the input job reads them
// while the menu changes them.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mutex.h"

enum MenuItemType : int32_t {
    ITEM_BOOLEAN = 1,
    ITEM_TOGGLE = 2,
    ITEM_INTEGER = 3,
    ITEM_DECIMAL = 4,
    ITEM_CHOICE = 5,
    ITEM_BINDING = 6,
};

// The longest value text a menu line shows.
inline constexpr size_t kMaxValueText = 127;
// The longest name the menu draws (a custom row's, with its key, is shorter).
inline constexpr size_t kMaxNameText = 255;

class MenuItem {
public:
    static MenuItem* Boolean(int32_t id, const char* name, int32_t group, const std::string& description,
                             std::atomic<bool>* value);
    static MenuItem* Toggle(int32_t id, const char* name, int32_t group, const std::string& description,
                            std::atomic<bool>* value);
    static MenuItem* Integer(int32_t id, const char* name, int32_t group, const std::string& description,
                             std::atomic<int32_t>* value, int32_t minimum, int32_t maximum);
    static MenuItem* Decimal(int32_t id, const char* name, int32_t group, const std::string& description,
                             std::atomic<float>* value, double maximum, double step);
    static MenuItem* OwnChoice(int32_t id, const char* name, int32_t group, const std::string& description);
    static MenuItem* TextChoice(int32_t id, const char* name, int32_t group, const std::string& description,
                                std::string* value);
    static MenuItem* Binding(int32_t id, const char* name, const std::string& description, int32_t extra);

    ~MenuItem();
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    // Choice operations; they do nothing for items without a text value.
    int OptionIndex(const std::string& text) const;
    int AddOption(const std::string& text);
    void SetValue(const std::string& text);
    void SetValue(const char* text);
    void SelectOption(size_t index);
    // The same for a stored number: an index with no option shows nothing.
    void ShowOption(int32_t index);
    std::string DisplayText() const;

    bool HasText() const { return type == ITEM_CHOICE || type == ITEM_BINDING; }
    // A copy of the text value (empty for items of other types). SetValue,
    // SelectOption and this are the ways to the text while the input job
    // runs: a capture changes it on the job's thread.
    std::string TextValue() const;
    // The value by type, or null for items of other types. The text pointer
    // is for the host's thread while no capture can run (start-up, tests).
    std::string* Text() const { return text_; }
    std::atomic<bool>* Flag() const {
        return type == ITEM_BOOLEAN || type == ITEM_TOGGLE ? static_cast<std::atomic<bool>*>(value) : nullptr;
    }
    std::atomic<int32_t>* Number() const {
        return type == ITEM_INTEGER ? static_cast<std::atomic<int32_t>*>(value) : nullptr;
    }
    std::atomic<float>* Decimal() const {
        return type == ITEM_DECIMAL ? static_cast<std::atomic<float>*>(value) : nullptr;
    }
    // Runs read on the text value (empty for items without text) under the
    // lines' text lock, without a copy: the input job matches every event
    // this way. read must be short and take no lock of its own.
    template <typename Read>
    auto WithText(Read&& read) const {
        if (!text_) return read(std::string_view());
        kvt::MutexLock lock(textLock_);
        return read(std::string_view(*text_));
    }
    // The name as another thread reads it (the hold bars' caption), under
    // the lines' text lock; Rename changes it on the host's thread.
    template <typename Read>
    auto WithName(Read&& read) const {
        kvt::MutexLock lock(textLock_);
        return read(std::string_view(name));
    }
    void Rename(const std::string& newName);
    // A copy of the name, under the same lock.
    std::string Name() const;
    // Moves on at every change of the text value (SetValue, SelectOption,
    // ShowOption): the input job reads a line's binding again only then.
    uint32_t TextVersion() const { return textVersion_.load(std::memory_order_acquire); }
    // Moves on at every change of any line's text: what reads all lines
    // reads them again only then.
    static uint32_t AnyTextVersion() { return anyTextVersion_.load(std::memory_order_acquire); }
    // Whether the text value equals the text exactly; false for items
    // without text. No copy is made: the input job asks this per event.
    bool TextEquals(std::string_view text) const;
    // The line's value column, at most kMaxValueText characters: into the
    // caller's buffer of at least kMaxValueText + 1 (the menu's per-frame
    // path, which must not allocate), or as a string.
    void WriteValueText(char* out) const;
    std::string ValueText() const;

    int32_t type = 0;
    bool ownsValue = false;
    // Renamed on the host's thread (a custom row's key) while the hold bars'
    // caption may be read by the render hook's: read through WithName or Name.
    std::string name KVT_GUARDED_BY(textLock_);
    std::string description;
    int32_t id = 0;
    int32_t group = 0;
    bool enabled = true;
    int32_t intMin = 0;
    int32_t intMax = 0;
    double step = 0.1;
    double min = 0.0;
    double max = 0.0;
    std::vector<std::string>* options = nullptr;
    // A key line's virtual-key code: read by the input job, changed by a key
    // capture on the job's thread and by the settings at start-up.
    std::atomic<int32_t> extra{-1};
    // The input job reads these while the menu changes them.
    std::atomic<uint32_t> holdTime{0};
    std::atomic<uint32_t> delayMark{0};
    std::atomic<uint32_t> contextMark{0};
    void* value = nullptr;

    // A line's text is changed by the menu on the host's thread and by a
    // binding capture on the input job's; both threads read it. One lock for
    // all lines: every access is a short copy or compare. Named outside only
    // where another lock declares its order against it.
    static kvt::Mutex textLock_;

private:
    // The text value of a choice or binding line (value, typed), else null.
    std::string* text_ KVT_PT_GUARDED_BY(textLock_) = nullptr;
    std::atomic<uint32_t> textVersion_{1};
    static std::atomic<uint32_t> anyTextVersion_;
    void TextChanged();
    MenuItem(int32_t id, const char* name, int32_t group, const std::string& description);
};

// What the menu keeps for the settings object: every binding line alive, in
// the order they were made (the settings read and write them in that order),
// and whether a line changed since the last save. One per process, like the
// settings object.
struct MenuBook {
    // The host's thread.
    std::vector<MenuItem*> bindingLines;
    // Read by the drawing of the save line; set by edits, cleared by a save.
    std::atomic<bool> unsavedChanges{false};
};
MenuBook& TheMenuBook();

// How a binding line's value names a keyboard key ("K30 Keyboard" as the
// key's name): the input room's keyboard reader knows, and sets this when
// the process's input job is made. Null (or a null answer) shows the text as
// stored. Called on the host's thread only.
using KeyNamer = const char* (*)(std::string_view bindingText);
void SetKeyNamer(KeyNamer namer);

// Everything after a binding text's first space (the device); empty when it
// has none.
std::string_view DevicePart(std::string_view binding);

// The marks shown after a binding for its delay and its game-mode rule.
const char* DelayMarkText(uint32_t index);
const char* ContextMarkText(uint32_t index);
