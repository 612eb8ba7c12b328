// Playing a session: preparing the host, dispatching script commands, and the
// commands that drive the plug-in.
#include "session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "frame_picture.h"
#include "host_window.h"

namespace simhost {

namespace {

// IPlugin's vtable: index and number of 32-bit stack arguments of each entry.
constexpr unsigned kSlotDestructor = 0, kSlotName = 1, kSlotDraw = 2, kSlotInput = 4;
constexpr uint32_t kSlotArgCounts[9] = {1, 0, 0, 0, 6, 1, 3, 4, 3};
constexpr uint32_t kDeleteFlag = 1;

const char* const kPluginPath = "Plugins\\KVTControls.dll";

std::string ReadWholeFile(const std::string& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    ok = static_cast<bool>(in) || in.eof();
    return text.str();
}

// Empty when the plug-in's image lies within a rel32 jump of the host's code
// (below 2 GB) and the host's game object at a 32-bit address; otherwise
// what lies where.
std::string HostWordReach(HMODULE plugin, const void* hostObject) {
#if defined(__x86_64__)
    const uintptr_t object = reinterpret_cast<uintptr_t>(hostObject);
    if (object > 0xFFFFFFFFu - sizeof(RecordingHost))
        return "the host's game object lies at " + std::to_string(object) +
               ", above 4 GB where a 32-bit host word cannot reach it";
    const uintptr_t module = reinterpret_cast<uintptr_t>(plugin);
    if (module >= 0x7FF00000u)
        return "the plug-in's image lies at " + std::to_string(module) +
               ", beyond a 32-bit jump's reach from the host's code (link it below 2 GB)";
#else
    (void)plugin;
    (void)hostObject;
#endif
    return std::string();
}

}  // namespace

Session::Session(uint32_t imageBase, uint32_t arenaStart, uint32_t arenaSize, SessionOptions options)
    : options_(std::move(options)), imageBase_(imageBase), arenaStart_(arenaStart), arenaSize_(arenaSize) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    gameFolder_.assign(path, length);
    size_t slash = gameFolder_.find_last_of("\\/");
    gameFolder_ = slash == std::string::npos ? "." : gameFolder_.substr(0, slash);
}

Session::~Session() {
    ReleaseLocks();
}

bool Session::Prepare() {
    window_ = CreateHostWindow();
    if (window_ == nullptr) {
        Say("simhost: cannot create the host window, error " + std::to_string(GetLastError()));
        return false;
    }
    std::string error;
    if (!layout_.Build(imageBase_, arenaStart_, arenaSize_, window_, error)) {
        Say("simhost: " + error);
        return false;
    }
    std::string pluginPath = GamePath(kPluginPath);
    pluginModule_ = LoadLibraryA(pluginPath.c_str());
    if (pluginModule_ == nullptr) {
        Say("simhost: cannot load " + pluginPath + ", error " + std::to_string(GetLastError()));
        return false;
    }
    // Every host word is 32 bits and the patches jump with 32-bit
    // displacements: on the 64-bit test build an image or object placed high
    // would be cut, so say where it lies instead of crashing later.
    const std::string reach = HostWordReach(pluginModule_, &host_);
    if (!reach.empty()) {
        Say("simhost: " + reach);
        return false;
    }
    createExport_ = reinterpret_cast<const void*>(GetProcAddress(pluginModule_, "KVT_CreatePlugin"));
    if (createExport_ == nullptr) {
        Say("simhost: " + pluginPath + " does not export KVT_CreatePlugin");
        return false;
    }
    Say("simhost: host thread " + std::to_string(GetCurrentThreadId()) + ", host image at " +
        Hex(layout_.Base()) + ", window " + Hex(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window_))) +
        ", plug-in loaded from " + pluginPath);
    return true;
}

int Session::Run() {
    bool readOk = false;
    std::string text = ReadWholeFile(options_.scriptPath, readOk);
    if (!readOk || text.empty()) {
        Say("simhost: cannot read the script " + options_.scriptPath);
        return kExitLoad;
    }
    // The version the build gives (run_e2e.sh passes it on), so that a
    // version bump changes no scenario.
    const char* version = std::getenv("KVT_VERSION");
    for (size_t at = text.find("@VERSION@"); at != std::string::npos; at = text.find("@VERSION@", at)) {
        if (!version || !*version) {
            Say("simhost: the script uses @VERSION@, and KVT_VERSION is not set");
            return kExitLoad;
        }
        text.replace(at, 9, version);
    }
    std::vector<std::string> errors;
    std::vector<ScriptLine> lines = ParseScript(text, errors);
    for (const std::string& error : errors) Say("FAIL: " + error + " / the line was not played");
    if (!errors.empty()) return kExitFailed;
    // Files prepared before anything else exist when the plug-in is loaded, as
    // a player's settings do when the game starts.
    size_t first = 0;
    for (; first < lines.size() && IsFileCommand(lines[first]); ++first) Play(lines[first]);
    if (!Prepare()) return kExitLoad;

    for (size_t index = first; index < lines.size(); ++index) {
        const ScriptLine& line = lines[index];
        NoteCommand(line.number, JoinTokens(line.tokens, 0), 0);
        Play(line);
        PumpMessages();
    }
    NoteCommand(0, "end of script", 0);
    ReleaseLocks();
    if (!options_.pngAtEnd.empty()) Picture(ScriptLine{}, options_.pngAtEnd);
    CloseGame();
    // Commands alone only fail when something breaks outright; a script that
    // checks nothing would pass whatever the plug-in drew or wrote.
    if (checks_ == 0) Fail(0, "the script has no expectations", "nothing was checked");
    Say("simhost: " + std::to_string(checks_) + " expectations, " + std::to_string(failures_) + " failed");
    return failures_ == 0 ? kExitPassed : kExitFailed;
}

namespace {
// One script command and the member that plays it.
struct Command {
    const char* name;
    void (Session::*play)(const ScriptLine& line);
};
}  // namespace

void Session::Play(const ScriptLine& line) {
    static constexpr Command kCommands[] = {
        {"expect", &Session::Expect},
        {"create", &Session::Create},
        {"name", &Session::Name},
        {"frame", &Session::FrameWithPage},
        {"render", &Session::RenderOnly},
        {"key", &Session::Key},
        {"keyboard", &Session::Keyboard},
        {"vr-answers", &Session::VrAnswers},
        {"mode", &Session::Mode},
        {"abi", &Session::Abi},
        {"destroy", &Session::Destroy},
        {"messages", &Session::Messages},
        {"set32", &Session::Set32},
        {"setf", &Session::SetFloat},
        {"load", &Session::Load},
        {"hub", &Session::Hub},
        {"site-bytes", &Session::SiteBytes},
        {"foreign-jump", &Session::ForeignJump},
        {"calls", &Session::Calls},
        {"png", &Session::Png},
        {"device", &Session::Device},
        {"control", &Session::Control},
        {"wait", &Session::Wait},
        {"latency", &Session::Latency},
        {"pad", &Session::Pad},
        {"wait-log", &Session::WaitLog},
        {"font", &Session::Font},
        {"print", &Session::Print},
        {"write-line", &Session::WriteLine},
        {"copy", &Session::Copy},
        {"remove", &Session::Remove},
        {"lock", &Session::Lock},
        {"unlock", &Session::Unlock},
    };
    const std::string& command = line.tokens[0].text;
    if (line.tokens[0].quoted) return Fail(line, "a quoted text where a command was expected");
    for (const Command& entry : kCommands)
        if (command == entry.name) return (this->*entry.play)(line);
    Fail(line, "unknown command \"" + command + "\"");
}

void Session::FrameWithPage(const ScriptLine& line) {
    Frame(line, true);
}

void Session::RenderOnly(const ScriptLine& line) {
    Frame(line, false);
}

void Session::Calls(const ScriptLine&) {
    Say("calls of frame " + std::to_string(frames_) + ":");
    for (const HostCall& call : lastFrame_) Say("  " + FormatCall(call));
}

void Session::Png(const ScriptLine& line) {
    const bool backdrop = line.tokens.size() == 3 && line.tokens[2].text == "race";
    if (line.tokens.size() != 2 && !backdrop) return Usage(line, "png FILE [race]");
    Picture(line, line.tokens[1].text, backdrop);
}

void Session::Device(const ScriptLine& line) {
    if (line.tokens.size() != 2 || (line.tokens[1].text != "on" && line.tokens[1].text != "off"))
        return Usage(line, "device on|off");
    layout_.SetDevicePresent(line.tokens[1].text == "on");
    Say("device " + line.tokens[1].text);
}

void Session::Control(const ScriptLine& line) {
    uint32_t control = 0;
    if (line.tokens.size() != 3 || !ParseUnsigned(line.tokens[1], control) ||
        (line.tokens[2].text != "bound" && line.tokens[2].text != "unbound"))
        return Usage(line, "control N bound|unbound");
    layout_.SetControlBound(control, line.tokens[2].text == "bound");
    Say("control " + std::to_string(control) + " " + line.tokens[2].text);
}

void Session::Wait(const ScriptLine& line) {
    uint32_t ms = 0;
    if (line.tokens.size() != 2 || !ParseUnsigned(line.tokens[1], ms)) return Usage(line, "wait MS");
    NoteCommand(line.number, JoinTokens(line.tokens, 0), ms);
    WaitPumping(ms);
    Say("wait " + std::to_string(ms));
}

void Session::Font(const ScriptLine& line) {
    if (line.tokens.size() != 2 || (line.tokens[1].text != "builtin" && line.tokens[1].text != "gdi"))
        return Usage(line, "font builtin|gdi");
    options_.builtinFont = line.tokens[1].text == "builtin";
}

void Session::Print(const ScriptLine& line) {
    Say(JoinTokens(line.tokens, 1));
}

bool Session::NeedPlugin(const ScriptLine& line) {
    if (plugin_ != nullptr) return true;
    Fail(line,
         destroyed_ ? "the plug-in object was already destroyed" : "no plug-in object yet (use create)");
    return false;
}

MachineState Session::CallSlot(unsigned slot, std::initializer_list<uint32_t> args) {
    return CallThiscall(VtableEntry(plugin_, slot), plugin_, args.begin(),
                        static_cast<uint32_t>(args.size()));
}

std::string Session::CalleeProblems(const MachineState& state, bool checkStack) const {
    std::string problems;
    auto add = [&](const std::string& what) { problems += (problems.empty() ? "" : ", ") + what; };
    if (checkStack && state.espDelta != 0) add("esp off by " + std::to_string(state.espDelta));
    if (state.ebx != kMarkEbx) add("EBX changed");
    if (state.esi != kMarkEsi) add("ESI changed");
    if (state.edi != kMarkEdi) add("EDI changed");
    if (state.ebp != state.ebpBefore) add("EBP changed");
#if defined(__x86_64__)
    const std::string high = ChangedHighRegisters(state, false);
    if (!high.empty()) add(high + " changed");
#endif
    return problems;
}

void Session::Create(const ScriptLine& line) {
    uint32_t hostArg = host_.ObjectAddress();
#if defined(__i386__)
    MachineState state = CallThiscall(createExport_, nullptr, &hostArg, 1);
#else
    // The first argument of any x64 call travels where `this` does (RCX).
    MachineState state =
        CallThiscall(createExport_, reinterpret_cast<void*>(static_cast<uintptr_t>(hostArg)), nullptr, 0);
#endif
#if defined(__i386__)
    // cdecl: the caller removes the one argument, so the stack comes back 4
    // bytes lower than before the push.
    if (state.espDelta != -4)
        Fail(line,
             "KVT_CreatePlugin left the stack off by " + std::to_string(state.espDelta + 4) + " (not cdecl)");
#else
    // x64 has one convention: no cdecl to tell apart, only a stack kept.
    if (state.espDelta != 0)
        Fail(line, "KVT_CreatePlugin left the stack off by " + std::to_string(state.espDelta));
    if (state.eax > 0xFFFFFFFFu)
        return Fail(line, "KVT_CreatePlugin returned " + std::to_string(state.eax) +
                              ", above 4 GB where the host's 32-bit words cannot reach it");
#endif
    std::string problems = CalleeProblems(state, false);
    if (!problems.empty()) Fail(line, "KVT_CreatePlugin: " + problems);
    uint32_t object = static_cast<uint32_t>(state.eax);
    if (created_.empty()) {
        Say("create: object " + Hex(object));
    } else if (object == created_.front()) {
        Say("create: same object " + Hex(object));
    } else {
        Say("create: NEW object " + Hex(object) + " (first was " + Hex(created_.front()) + ")");
    }
    created_.push_back(object);
    plugin_ = reinterpret_cast<void*>(static_cast<uintptr_t>(object));
    if (object != 0) destroyed_ = false;
}

void Session::Name(const ScriptLine& line) {
    if (!NeedPlugin(line)) return;
    MachineState state = CallSlot(kSlotName, {});
    std::string problems = CalleeProblems(state, true);
    if (!problems.empty()) Fail(line, "GetPluginName: " + problems);
    const char* text = reinterpret_cast<const char*>(static_cast<uintptr_t>(state.eax));
    nameSeen_ = true;
    lastName_ = text != nullptr ? std::string(text) : "(null)";
    Say("name: \"" + lastName_ + "\"");
}

void Session::Frame(const ScriptLine& line, bool withPage) {
    if (withPage && !NeedPlugin(line)) return;
    CallLog stray = host_.TakeLog();
    if (!stray.empty())
        Say("note: " + std::to_string(stray.size()) + " host calls outside a frame, first " +
            FormatCall(stray[0]));
    if (withPage) {
        MachineState state = CallSlot(kSlotDraw, {});
        std::string problems = CalleeProblems(state, true);
        if (!problems.empty()) Fail(line, "DrawPluginPage: " + problems);
    }
    MachineState render = CallRenderSite(layout_.RenderSite());
    std::string problems;
    if (render.espDelta != 0) problems += " esp off by " + std::to_string(render.espDelta);
    if (render.eax != 0) problems += " EAX not 0";
    if (render.ebx != kMarkEbx || render.esi != kMarkEsi || render.edi != kMarkEdi)
        problems += " EBX/ESI/EDI changed";
    if (render.ecx != kMarkEcx || render.edx != kMarkEdx) problems += " ECX/EDX changed";
    if (render.ebp != render.ebpBefore) problems += " EBP changed";
#if defined(__x86_64__)
    const std::string high = ChangedHighRegisters(render, true);
    if (!high.empty()) problems += " " + high + " changed";
#endif
    if (!problems.empty()) Fail(line, "render site returned with" + problems);
    PumpMessages();

    lastFrame_ = host_.TakeLog();
    lastRows_ = LayoutFrame(lastFrame_);
    cursor_ = -1;
    ++frames_;
    Say(std::string(withPage ? "frame " : "render ") + std::to_string(frames_) + ":");
    std::string text = RenderFrame(lastRows_);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        Say("  |" + text.substr(start, end - start));
        start = end + 1;
    }
    if (options_.printCalls)
        for (const HostCall& call : lastFrame_) Say("  . " + FormatCall(call));
}

void Session::Key(const ScriptLine& line) {
    if (!NeedPlugin(line)) return;
    // HandlePluginInput(key, up, down, left, right, select)
    uint32_t args[6] = {0, 0, 0, 0, 0, 0};
    for (size_t i = 1; i < line.tokens.size(); ++i) {
        const std::string& word = line.tokens[i].text;
        if (word == "up")
            args[1] = 1;
        else if (word == "down")
            args[2] = 1;
        else if (word == "left")
            args[3] = 1;
        else if (word == "right")
            args[4] = 1;
        else if (word == "select")
            args[5] = 1;
        else if (word == "none")
            continue;
        else if (word == "char" && i + 1 < line.tokens.size() && line.tokens[i + 1].text.size() == 1)
            args[0] = static_cast<unsigned char>(line.tokens[++i].text[0]);
        else if (word == "code" && i + 1 < line.tokens.size() && ParseUnsigned(line.tokens[i + 1], args[0]))
            ++i;
        else
            return Usage(line, "key [up] [down] [left] [right] [select] [none] [char X] [code N]");
    }
    MachineState state = CallThiscall(VtableEntry(plugin_, kSlotInput), plugin_, args, 6);
    std::string problems = CalleeProblems(state, true);
    if (!problems.empty()) Fail(line, "HandlePluginInput: " + problems);
    Say("key " + JoinTokens(line.tokens, 1));
}

// The player's keyboard, not the host's menu call: the key goes through the
// system's input like a typed one, so the window receives it and DirectInput
// sees it, and the plug-in learns of it only through its own keyboard reader.
void Session::Keyboard(const ScriptLine& line) {
    uint32_t keyIndex = 0;
    if (line.tokens.size() != 3 || (line.tokens[1].text != "down" && line.tokens[1].text != "up") ||
        !ParseUnsigned(line.tokens[2], keyIndex) || keyIndex < 1 || keyIndex > 255)
        return Usage(line, "keyboard down|up KEY (the DirectInput key index, 1 to 255)");
    std::string error = SendPlayerKey(window_, keyIndex, line.tokens[1].text == "up");
    if (!error.empty()) return Fail(line, error);
    Say("keyboard " + line.tokens[1].text + " " + std::to_string(keyIndex));
}

void Session::Mode(const ScriptLine& line) {
    uint32_t mode = 0;
    if (line.tokens.size() != 2 || !ParseUnsigned(line.tokens[1], mode)) return Usage(line, "mode N");
    uint32_t gameState = layout_.GameState();
    std::string problems;
    const bool counting = storeCounter_.Start(gameState + kGameMode);
    if (!counting) problems += " (the stores could not be counted)";
    MachineState state = CallModeStoreSite(layout_.ModeStoreSite(), gameState, mode);
    lastModeStores_ = counting ? storeCounter_.Stop() : 0;
    ++modeCalls_;
    if (state.espDelta != 0) problems += " esp off by " + std::to_string(state.espDelta);
    if (state.esi != gameState || state.edi != mode) problems += " ESI/EDI changed";
    if (state.ebx != kMarkEbx || state.ebp != state.ebpBefore) problems += " EBX/EBP changed";
#if defined(__x86_64__)
    const std::string high = ChangedHighRegisters(state, false);
    if (!high.empty()) problems += " " + high + " changed";
#endif
    uint32_t stored = HostLayout::Read32(gameState + kGameMode);
    if (stored != mode) problems += " the game mode word holds " + std::to_string(stored);
    if (!problems.empty()) Fail(line, "mode store returned with" + problems);
    Say("mode " + std::to_string(mode) + " (stored " + std::to_string(lastModeStores_) +
        (lastModeStores_ == 1 ? " time)" : " times)"));
}

void Session::Abi(const ScriptLine& line) {
    if (!NeedPlugin(line)) return;
#if defined(__x86_64__)
    // x64 has no callee pops and no per-entry argument count to get wrong:
    // this check means something only in the 32-bit build.
    abiOk_ = false;
    return Fail(line, "argument counts and callee pops exist only in 32 bits; run the 32-bit build");
#endif
    ++abiRuns_;
    bool allOk = true;
    // Every entry but the destructor first, then the destructor, which frees
    // the object.
    for (unsigned slot : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 0u}) {
        uint32_t args[6] = {0, 0, 0, 0, 0, 0};
        if (slot == kSlotDestructor) args[0] = kDeleteFlag;
        MachineState state = CallThiscall(VtableEntry(plugin_, slot), plugin_, args, kSlotArgCounts[slot]);
        std::string problems = CalleeProblems(state, false);
        std::string report =
            "abi slot " + std::to_string(slot) + " args " + std::to_string(kSlotArgCounts[slot]) +
            (state.espDelta == 0 ? " esp ok" : " esp off by " + std::to_string(state.espDelta));
        if (!problems.empty()) report += ", " + problems;
        if (state.espDelta != 0 || !problems.empty()) allOk = false;
        Say(report);
    }
    host_.TakeLog();
    abiOk_ = abiOk_ && allOk;
    plugin_ = nullptr;
    destroyed_ = true;
}

// The game destroys its plug-ins when it closes; a plug-in whose destructor
// hangs (an input job that will not stop) shows up here as a time-out, and
// no thread of the plug-in is left running into the process's exit.
void Session::CloseGame() {
    if (plugin_ == nullptr) return;
    NoteCommand(0, "closing the game: destructor", 0);
    MachineState state = CallSlot(kSlotDestructor, {kDeleteFlag});
    std::string problems = CalleeProblems(state, true);
    if (!problems.empty()) Fail(0, "the game closes", "destructor: " + problems);
    plugin_ = nullptr;
    destroyed_ = true;
    Say("closing the game: plug-in destroyed");
}

void Session::Destroy(const ScriptLine& line) {
    if (!NeedPlugin(line)) return;
    MachineState state = CallSlot(kSlotDestructor, {kDeleteFlag});
    std::string problems = CalleeProblems(state, true);
    if (!problems.empty()) Fail(line, "destructor: " + problems);
    plugin_ = nullptr;
    destroyed_ = true;
    Say("destroy: done");
}

void Session::Picture(const ScriptLine& line, const std::string& path, bool backdrop) {
    PictureResult result = WriteFramePicture(lastFrame_, path, options_.builtinFont, backdrop);
    if (!result.written) return Fail(line, "picture not written: " + result.error);
    Say("png: frame " + std::to_string(frames_) + " written to " + path +
        (result.builtinFont ? " (built-in font)" : ""));
    picturePastEdge_ = result.pastEdge;
    pictureMade_ = true;
    for (const std::string& text : result.pastEdge) Say("png: past the frame's edge: " + text);
}

void Session::CollectMessages() {
    PumpMessages();
    std::vector<std::string> fresh = TakeWindowMessages();
    windowMessages_.insert(windowMessages_.end(), fresh.begin(), fresh.end());
}

void Session::Messages(const ScriptLine& line) {
    CollectMessages();
    if (line.tokens.size() == 2 && line.tokens[1].text == "clear") {
        windowMessages_.clear();
        printedMessages_ = 0;
        return Say("messages: cleared");
    }
    if (line.tokens.size() != 1) return Usage(line, "messages [clear]");
    Say("messages: " + std::to_string(windowMessages_.size() - printedMessages_) + " new");
    for (; printedMessages_ < windowMessages_.size(); ++printedMessages_)
        Say("  " + windowMessages_[printedMessages_]);
}

void Session::Set32(const ScriptLine& line) {
    uint32_t address = 0, value = 0;
    if (line.tokens.size() != 3 || !layout_.ResolveAddress(line.tokens[1].text, address) ||
        !ParseUnsigned(line.tokens[2], value))
        return Usage(
            line,
            "set32 base+OFFSET|gameState+OFFSET|gameState2+..|hostObject1+..|hostObject2+..|carObject+..|"
            "carSelection+.. VALUE");
    HostLayout::Write32(address, value);
    Say("set32 " + line.tokens[1].text + " = " + std::to_string(value));
}

void Session::SetFloat(const ScriptLine& line) {
    uint32_t address = 0;
    char* end = nullptr;
    const std::string text = line.tokens.size() == 3 ? line.tokens[2].text : std::string();
    const float value = std::strtof(text.c_str(), &end);
    if (line.tokens.size() != 3 || !layout_.ResolveAddress(line.tokens[1].text, address) || text.empty() ||
        *end != '\0')
        return Usage(line, "setf LOCATION DECIMAL");
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    HostLayout::Write32(address, bits);
    Say("setf " + line.tokens[1].text + " = " + text);
}

void Session::Pass(const ScriptLine& line) {
    ++checks_;
    Say("ok: " + std::to_string(line.number) + ": " + JoinTokens(line.tokens, 1));
}

void Session::Fail(int line, const std::string& expected, const std::string& seen) {
    ++checks_;
    ++failures_;
    Say("FAIL: " + std::to_string(line) + ": " + expected + " / " + seen);
}

void Session::Fail(const ScriptLine& line, const std::string& seen) {
    Fail(line.number, JoinTokens(line.tokens, 0), seen);
}

void Session::Usage(const ScriptLine& line, const std::string& form) {
    Fail(line, "usage: " + form);
}

std::string Session::GamePath(const std::string& relative) const {
    std::string path = gameFolder_ + "\\" + relative;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

std::string JoinTokens(const std::vector<Token>& tokens, size_t from) {
    std::string joined;
    for (size_t i = from; i < tokens.size(); ++i) {
        if (!joined.empty()) joined += ' ';
        if (tokens[i].quoted) {
            joined += '"';
            for (char c : tokens[i].text) {
                if (c == '"' || c == '\\') joined += '\\';
                joined += c;
            }
            joined += '"';
        } else {
            joined += tokens[i].text;
        }
    }
    return joined;
}

}  // namespace simhost
