// How identical controllers get their marks, and the job's list of them.
#include "input/controller_marks.h"

#include <SDL3/SDL_stdinc.h>

#include <algorithm>
#include <cctype>
#include <charconv>

#include "core/log.h"
#include "core/text.h"

namespace Input {
namespace {
bool LessNoCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

bool Held(const std::vector<ControllerSeen>& connected, const std::string& name, uint32_t mark) {
    return std::any_of(connected.begin(), connected.end(),
                       [&](const ControllerSeen& c) { return c.mark == mark && c.name == name; });
}

size_t Namesakes(const std::vector<ControllerSeen>& connected, const std::string& name) {
    return static_cast<size_t>(std::count_if(connected.begin(), connected.end(),
                                             [&](const ControllerSeen& c) { return c.name == name; }));
}

bool Rememberable(const ControllerSeen& c) {
    return !c.path.empty() && c.path.find(' ') == std::string::npos && !c.name.empty() && c.mark != 0;
}

// Keeps what a connected twin holds: an identical entry stays where it is,
// any other for its path or its name and mark gives way to it, newest first.
bool Remember(std::vector<RememberedMark>& memory, const ControllerSeen& c) {
    for (const RememberedMark& m : memory)
        if (m.mark == c.mark && m.name == c.name && EqualsNoCase(m.path, c.path)) return false;
    std::erase_if(memory, [&](const RememberedMark& m) {
        return EqualsNoCase(m.path, c.path) || (m.mark == c.mark && m.name == c.name);
    });
    memory.insert(memory.begin(), RememberedMark{c.mark, c.path, c.name});
    if (memory.size() > Config::kRememberedControllersRoom) memory.resize(Config::kRememberedControllersRoom);
    return true;
}
}  // namespace

bool GiveMarks(std::vector<ControllerSeen>& connected, std::vector<RememberedMark>& memory) {
    std::vector<ControllerSeen*> newcomers;
    for (ControllerSeen& c : connected)
        if (c.mark == 0) newcomers.push_back(&c);
    // Paths first, in their order; those without keep SDL's.
    std::stable_sort(newcomers.begin(), newcomers.end(),
                     [](const ControllerSeen* a, const ControllerSeen* b) {
                         if (a->path.empty() || b->path.empty()) return !a->path.empty() && b->path.empty();
                         return LessNoCase(a->path, b->path);
                     });
    for (ControllerSeen* c : newcomers) {
        if (c->path.empty()) continue;
        for (const RememberedMark& m : memory) {
            if (m.name != c->name || !EqualsNoCase(m.path, c->path)) continue;
            if (!Held(connected, c->name, m.mark)) c->mark = m.mark;
            break;
        }
    }
    for (ControllerSeen* c : newcomers) {
        if (c->mark != 0) continue;
        uint32_t mark = 1;
        while (mark < kMaxMark && Held(connected, c->name, mark)) ++mark;
        c->mark = mark;
    }
    bool changed = false;
    for (const ControllerSeen& c : connected)
        if (Namesakes(connected, c.name) > 1 && Rememberable(c)) changed = Remember(memory, c) || changed;
    return changed;
}

std::string RememberedMarkText(const RememberedMark& remembered) {
    return std::to_string(remembered.mark) + " " + remembered.path + " " + remembered.name;
}

bool ReadRememberedMark(std::string_view text, RememberedMark& out) {
    const size_t first = text.find(' ');
    const size_t second = first == std::string_view::npos ? first : text.find(' ', first + 1);
    if (second == std::string_view::npos || second == first + 1 || second + 1 >= text.size()) return false;
    uint32_t mark = 0;
    const auto read = std::from_chars(text.data(), text.data() + first, mark);
    if (read.ec != std::errc() || read.ptr != text.data() + first || mark < 1 || mark > kMaxMark)
        return false;
    out.mark = mark;
    out.path.assign(text.substr(first + 1, second - first - 1));
    out.name.assign(text.substr(second + 1));
    return true;
}

std::string MarkedName(std::string_view name, uint32_t mark) {
    std::string marked(name);
    if (mark >= 2 && !name.empty()) marked += " #" + std::to_string(mark);
    return marked;
}

void ControllerMarks::Refresh() {
    int count = 0;
    SDL_JoystickID* ids = SDL_GetJoysticks(&count);
    // Only this thread writes the list, so SDL is asked outside the lock.
    const std::vector<ControllerSeen> before = Listed();
    std::vector<ControllerSeen> now;
    for (int i = 0; ids && i < count; ++i) {
        const auto known = std::find_if(before.begin(), before.end(),
                                        [&](const ControllerSeen& c) { return c.id == ids[i]; });
        if (known != before.end()) {
            now.push_back(*known);
            continue;
        }
        const char* name = SDL_GetJoystickNameForID(ids[i]);
        const char* path = SDL_GetJoystickPathForID(ids[i]);
        now.push_back({ids[i], name ? name : "", path ? path : "", 0});
    }
    SDL_free(ids);
    std::vector<bool> fresh;
    for (const ControllerSeen& c : now) fresh.push_back(c.mark == 0);

    std::vector<RememberedMark> memory;
    if (g_settings) {
        for (const std::string& text : g_settings->RememberedControllers()) {
            RememberedMark remembered;
            if (ReadRememberedMark(text, remembered)) memory.push_back(remembered);
        }
    }
    if (GiveMarks(now, memory) && g_settings) {
        std::vector<std::string> texts;
        for (const RememberedMark& remembered : memory) texts.push_back(RememberedMarkText(remembered));
        g_settings->RememberControllers(texts);
    }
    for (size_t i = 0; i < now.size(); ++i) {
        if (!fresh[i] || Namesakes(now, now[i].name) < 2) continue;
        LogLine("Two or more controllers are named \"" + now[i].name + "\": the one at " +
                (now[i].path.empty() ? std::string("no path") : now[i].path) + " (joyID" +
                std::to_string(now[i].id) + ") is \"" + MarkedName(now[i].name, now[i].mark) + "\"");
    }
    const bool anyFresh = std::find(fresh.begin(), fresh.end(), true) != fresh.end();
    const bool anyMarked =
        std::any_of(now.begin(), now.end(), [](const ControllerSeen& c) { return c.mark >= 2; });
    kvt::MutexLock lock(lock_);
    connected_ = std::move(now);
    anyMarked_.store(anyMarked, std::memory_order_release);
    if (anyFresh) generation_.fetch_add(1, std::memory_order_acq_rel);
}

uint32_t ControllerMarks::MarkOf(SDL_JoystickID id) const {
    kvt::MutexLock lock(lock_);
    for (const ControllerSeen& c : connected_)
        if (c.id == id) return c.mark >= 2 ? c.mark : 0;
    return 0;
}

std::string ControllerMarks::NameOf(SDL_JoystickID id) const {
    {
        kvt::MutexLock lock(lock_);
        for (const ControllerSeen& c : connected_)
            if (c.id == id) return MarkedName(c.name, c.mark);
    }
    const char* name = SDL_GetJoystickNameForID(id);
    return name ? name : "";
}

std::vector<ControllerSeen> ControllerMarks::Listed() const {
    kvt::MutexLock lock(lock_);
    return connected_;
}

void ControllerMarks::Forget() {
    kvt::MutexLock lock(lock_);
    connected_.clear();
    anyMarked_.store(false, std::memory_order_release);
    generation_.fetch_add(1, std::memory_order_acq_rel);
}

}  // namespace Input
