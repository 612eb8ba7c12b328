// The guide's table of every KVTControls.ini key, made from the plug-in
// itself: it starts the plug-in in an empty game folder, lets it save its
// settings, and lists each key it wrote with the value it wrote (the default)
// and the menu line that sets it. The guide must hold exactly this table, and
// quote the menu's title line with the version.
//   kvt_settings_table                 print the table
//   kvt_settings_table --check GUIDE   fail when GUIDE's table differs
//   kvt_settings_table --write GUIDE   put the table into GUIDE
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "config/setting.h"
#include "config/setting_list.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/setting_id.h"
#include "geargate/shifter_page.h"
#include "platform/sim/sim_platform.h"
#include "plugin/kvt_control.h"
#include "rurazu/press_state.h"
#include "shared/null_game.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kBegin = "<!-- settings table: generated -->";
constexpr const char* kEnd = "<!-- end of settings table -->";

struct Entry {
    std::string section, key, value;
};

std::vector<Entry> ReadEntries(const fs::path& file) {
    std::vector<Entry> entries;
    std::ifstream in(file);
    std::string line, section;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const size_t equals = line.find(" = ");
        if (equals != std::string::npos)
            entries.push_back({section, line.substr(0, equals), line.substr(equals + 3)});
    }
    return entries;
}

struct Line {
    const MenuItem* item = nullptr;
    const CPluginBase* page = nullptr;
};

// The menu line of an item id: on the page whose enable switch it is when the
// id is the switch's, otherwise wherever it is.
Line FindLine(const KVTControl& control, int32_t id, const std::string& section) {
    for (const CPluginBase* page : control.children) {
        if (id == PLUGIN_ENABLED && section == "GearGate" && page != control.shifterPage) continue;
        for (const MenuItem* item : page->items)
            if (item->id == id) return {item, page};
    }
    return {};
}

// A text for a table cell: no bar, no line break.
std::string Cell(std::string text) {
    for (char& c : text)
        if (c == '|' || c == '\n') c = '/';
    return text;
}

std::string Describe(const Line& line) {
    if (!line.item) return "";
    std::string text =
        "\"" + line.item->Name() + "\" on " + Cell(line.page->name) + ": " + line.item->description;
    if (line.item->options && !line.item->options->empty()) {
        text += " Values:";
        for (size_t i = 0; i < line.item->options->size(); ++i)
            text += (i ? ", " : " ") + std::to_string(i) + " " + (*line.item->options)[i];
        text += ".";
    }
    return Cell(text);
}

// A field's value as the table shows a default that is not in the file.
std::string Shown(const std::atomic<bool>& flag) {
    return flag ? "true" : "false";
}
std::string Shown(const std::atomic<int32_t>& number) {
    return std::to_string(number.load());
}
std::string Shown(const std::atomic<float>& real) {
    return Config::FloatText(real);
}
std::string Shown(const std::string& text) {
    return text.empty() ? "(empty)" : text;
}

std::string BindingIdName(const std::string& key, std::string& suffix) {
    for (const char* end : {"_TRIGGERTYPE", "_GAMEMODE", "_KEYCODE"}) {
        const std::string tail(end);
        if (key.size() > tail.size() && key.compare(key.size() - tail.size(), tail.size(), tail) == 0) {
            suffix = tail;
            return key.substr(0, key.size() - tail.size());
        }
    }
    suffix.clear();
    return key;
}

int32_t IdOfName(const std::string& name) {
    for (int32_t id = 0; id < NUM_OF_ITEMS; ++id)
        if (name == SettingName(id)) return id;
    return UNKNOWN;
}

std::string MakeTable() {
    const fs::path root = fs::temp_directory_path() / ("kvt-settings-table-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "Plugins");
    platform::sim::SetHostExecutablePath((root / "game.exe").string());
    OnLibraryLoad();
    NullGame game;
    auto* control = static_cast<KVTControl*>(KVT_CreatePlugin(&game));
    g_settings->SaveAllSettings();
    const std::vector<Entry> entries = ReadEntries(Paths().settingsFile);

    std::ostringstream out;
    out << "| Section | Key | Default | What it sets |\n|---|---|---|---|\n";
    // Each declared setting: what "Save Settings" wrote for it, or, for one it
    // never writes, its value in an empty game folder.
    Config::ForEachSetting(*g_settings, [&](const Config::Declared& d, const auto& field) {
        std::string value = Shown(field);
        for (const Entry& e : entries)
            if (d.saved && e.section == d.section && e.key == d.key) value = e.value;
        out << "| " << d.section << " | " << d.key << " | " << value << " | "
            << (d.row != UNKNOWN ? Describe(FindLine(*control, d.row, d.section)) : std::string(d.note))
            << " |\n";
    });

    out << "\nThe bindings, in section [KeyBind]: each key holds the button, hat direction, key or axis "
           "bound to "
           "a menu line (\"#3 Wheel name\", \"H0.1 Wheel name\", \"K30 Keyboard\", an axis as \"A2>0 Pedals "
           "name\"; empty when unbound). "
           "Every RURAZU_ key also has a _TRIGGERTYPE (the hold delay: 0 Instant, 1 Short, held "
        << rurazu_timing::kHoldTimes[1] << " ms, 2 Long, held " << rurazu_timing::kHoldTimes[2]
        << " ms) and a _GAMEMODE (when it works: 0 any time, 1 in a race, 2 in the menus); the three "
           "Custom keys also have a _KEYCODE, the Windows virtual-key code they press (e.g. 0x41 for A).\n\n";
    out << "| Key | Menu line | Page | _TRIGGERTYPE | _GAMEMODE |\n|---|---|---|---|---|\n";
    for (const Entry& e : entries) {
        if (e.section != "KeyBind") continue;
        std::string suffix;
        const std::string name = BindingIdName(e.key, suffix);
        if (!suffix.empty()) continue;
        const Line line = FindLine(*control, IdOfName(name), e.section);
        std::string trigger = "-", mode = "-";
        for (const Entry& other : entries) {
            if (other.section != "KeyBind") continue;
            if (other.key == name + "_TRIGGERTYPE") trigger = other.value;
            if (other.key == name + "_GAMEMODE") mode = other.value;
        }
        out << "| " << e.key << " | " << (line.item ? Cell(line.item->Name()) : "") << " | "
            << (line.page ? Cell(line.page->name) : "") << " | " << trigger << " | " << mode << " |\n";
    }

    control->DeletingDestructor(1);
    OnLibraryUnload();
    fs::remove_all(root);
    return out.str();
}

bool ReadFile(const fs::path& file, std::string& text) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

// Where the table goes in the guide: between the two marker lines.
bool FindBlock(const std::string& guide, size_t& from, size_t& to) {
    const size_t begin = guide.find(kBegin);
    const size_t end = guide.find(kEnd);
    if (begin == std::string::npos || end == std::string::npos || end < begin) return false;
    from = begin + std::string(kBegin).size() + 1;
    to = end;
    return from <= to;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string table = MakeTable();
    if (argc == 1) {
        std::cout << table;
        return 0;
    }
    if (argc != 3 || (std::string(argv[1]) != "--check" && std::string(argv[1]) != "--write")) {
        std::cerr << "usage: kvt_settings_table [--check|--write GUIDE]\n";
        return 2;
    }
    std::string guide;
    size_t from = 0, to = 0;
    if (!ReadFile(argv[2], guide) || !FindBlock(guide, from, to)) {
        std::cerr << argv[2] << ": no table between \"" << kBegin << "\" and \"" << kEnd << "\"\n";
        return 1;
    }
    if (std::string(argv[1]) == "--write") {
        guide.replace(from, to - from, table);
        std::ofstream(argv[2], std::ios::binary) << guide;
        return 0;
    }
    // The guide quotes the menu's title line, version included.
    if (guide.find(kPluginTitle) == std::string::npos) {
        std::cerr << argv[2] << ": the guide does not quote the title line \"" << kPluginTitle << "\"\n";
        return 1;
    }
    if (guide.compare(from, to - from, table) == 0) return 0;
    std::cerr << argv[2] << ": the settings table differs from what the plug-in writes; run "
              << "build/native/tools/guide/kvt_settings_table --write " << argv[2]
              << "\n--- the plug-in's table:\n"
              << table;
    return 1;
}
