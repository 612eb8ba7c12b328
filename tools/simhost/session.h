// One scripted session of the simulated host: it owns the host's memory, its
// window and its game object, loads the plug-in and plays the script's
// commands against it, checking every expectation on the way.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "call_log.h"
#include "foreign_patch.h"
#include "frame_text.h"
#include "host_layout.h"
#include "machine_calls.h"
#include "pad_link.h"
#include "recording_host.h"
#include "script_text.h"
#include "store_counter.h"

namespace simhost {

struct SessionOptions {
    std::string scriptPath;
    std::string pngAtEnd;      // picture of the last frame when the script ends
    bool printCalls = false;   // raw call log after every frame
    bool builtinFont = false;  // draw pictures with the built-in font
};

// Exit codes: the script's verdict, or why it could not be played.
enum SessionExit : int {
    kExitPassed = 0,
    kExitFailed = 1,
    kExitLayout = 2,
    kExitLoad = 3,
    kExitTimeout = 4,
    // The plug-in called a host entry it must never call: a render-device
    // entry other than the creation-parameters query, or IHostGame position
    // 1, 2, 4 or 8.
    kExitUnexpectedEntry = 5,
    kExitCrash = 6,
};

// The whole file, or nullopt when it cannot be opened (missing, a folder, or
// held without sharing).
std::optional<std::string> ReadBytes(const std::string& path);

class Session {
public:
    Session(uint32_t imageBase, uint32_t arenaStart, uint32_t arenaSize, SessionOptions options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    int Run();

private:
    bool Prepare();
    void Play(const ScriptLine& line);

    // Commands (session.cpp).
    void Create(const ScriptLine& line);
    void Name(const ScriptLine& line);
    void Frame(const ScriptLine& line, bool withPage);
    void FrameWithPage(const ScriptLine& line);
    void RenderOnly(const ScriptLine& line);
    void Key(const ScriptLine& line);
    void Keyboard(const ScriptLine& line);
    void Mode(const ScriptLine& line);
    void Abi(const ScriptLine& line);
    void Destroy(const ScriptLine& line);
    void CloseGame();
    void Picture(const ScriptLine& line, const std::string& path, bool backdrop = false);
    void Messages(const ScriptLine& line);
    void CollectMessages();
    void Set32(const ScriptLine& line);
    void SetFloat(const ScriptLine& line);
    // The session's own: what the last frame called, a picture of it, the
    // host's device and controls, waiting, the font, printing.
    void Calls(const ScriptLine& line);
    void Png(const ScriptLine& line);
    void Device(const ScriptLine& line);
    void Control(const ScriptLine& line);
    void Wait(const ScriptLine& line);
    void Font(const ScriptLine& line);
    void Print(const ScriptLine& line);
    // Key and gear latencies over many presses, Wine's own share, a held
    // key's repeats and the input job's CPU time (latency.cpp).
    void Latency(const ScriptLine& line);
    void PadLatency(const ScriptLine& line, uint32_t button, uint32_t virtualKey, uint32_t count);
    void FloorLatency(const ScriptLine& line);
    // count presses, each timed from press(true) to the window's key-down of
    // virtualKey, held holdMs and an uneven gap, and as long apart; before
    // runs untimed ahead of each.
    void TimeKeyDowns(const ScriptLine& line, const char* what, uint32_t virtualKey, uint32_t count,
                      DWORD holdMs, const std::function<std::string(bool down)>& press,
                      const std::function<std::string()>& before = nullptr);
    void JobCpu(const ScriptLine& line);
    void RepeatTimes(const ScriptLine& line);

    // The player's controllers through the controller stand-in, and waiting
    // for the plug-in's log (pad_commands.cpp).
    struct PadState {
        std::string name;  // empty before its first plug
        bool plugged = false;
    };
    static constexpr uint32_t kPadSlots = 4;
    void Pad(const ScriptLine& line);
    void PadWait(const ScriptLine& line, const PadState& pad, uint32_t limitMs);
    void WaitLog(const ScriptLine& line);

    // The code sites and what else lives in the host's process (code_sites.cpp).
    void Load(const ScriptLine& line);
    void Hub(const ScriptLine& line);
    void SiteBytes(const ScriptLine& line);
    void ForeignJump(const ScriptLine& line);
    void ExpectSite(const ScriptLine& line, const std::string& kind);

    // The stand-in VR plug-in the game folder may hold as
    // Plugins/openKVTVR.dll (vr_plugin.cpp).
    void VrAnswers(const ScriptLine& line);
    void ExpectVrCalls(const ScriptLine& line);
    bool CollectVrCalls(std::string& error);

    // The game folder (game_files.cpp): commands that prepare files, which may
    // run before the plug-in is loaded, and the expectations on files.
    static bool IsFileCommand(const ScriptLine& line);
    void WriteLine(const ScriptLine& line);
    void Copy(const ScriptLine& line);
    void Remove(const ScriptLine& line);
    void Lock(const ScriptLine& line);
    void Unlock(const ScriptLine& line);
    void ReleaseLocks();
    void ExpectFile(const ScriptLine& line, const std::string& kind);

    // Expectations (expectations.cpp).
    void Expect(const ScriptLine& line);
    void ExpectCall(const ScriptLine& line, const std::string& kind);
    void ExpectFrame(const ScriptLine& line, const std::string& kind);
    void ExpectHost(const ScriptLine& line, const std::string& kind);

    // Helpers.
    bool NeedPlugin(const ScriptLine& line);
    MachineState CallSlot(unsigned slot, std::initializer_list<uint32_t> args);
    // What a thiscall callee left wrong: the stack (when asked) or one of the
    // registers it must preserve. Empty when nothing.
    std::string CalleeProblems(const MachineState& state, bool checkStack) const;
    void Pass(const ScriptLine& line);
    void Fail(int line, const std::string& expected, const std::string& seen);
    void Fail(const ScriptLine& line, const std::string& seen);
    void Usage(const ScriptLine& line, const std::string& form);
    std::string GamePath(const std::string& relative) const;

    SessionOptions options_;
    // What the last picture drew past the frame's right edge.
    bool pictureMade_ = false;
    std::vector<std::string> picturePastEdge_;
    uint32_t imageBase_, arenaStart_, arenaSize_;
    HostLayout layout_;
    RecordingHost host_;
    HWND window_ = nullptr;
    std::string gameFolder_;
    // Files held open without sharing by lock, keyed by their full path in
    // lower case (the file system ignores case).
    std::map<std::string, HANDLE> locks_;
    HMODULE pluginModule_ = nullptr;
    const void* createExport_ = nullptr;

    void* plugin_ = nullptr;  // null before create and after the object deleted itself
    std::vector<uint32_t> created_;
    bool destroyed_ = false;
    std::string lastName_;
    bool nameSeen_ = false;
    int abiRuns_ = 0;
    bool abiOk_ = true;

    StoreCounter storeCounter_;
    int modeCalls_ = 0;
    uint32_t lastModeStores_ = 0;  // writes to the game mode word during the last mode command

    int frames_ = 0;
    CallLog lastFrame_;
    std::vector<FrameRow> lastRows_;
    int cursor_ = -1;  // index of the call the last call expectation matched
    std::vector<std::string> windowMessages_;
    size_t printedMessages_ = 0;
    // Calls the VR stand-in received, as "command arg1 arg2 arg3".
    std::vector<std::string> vrCalls_;
    PadLink padLink_;
    PadState pads_[kPadSlots];

    int checks_ = 0;
    int failures_ = 0;
};

// Line output to the process's standard output, whole lines at a time.
void Say(const std::string& line);
std::string Hex(uint32_t value);
std::string JoinTokens(const std::vector<Token>& tokens, size_t from);

// The line being played and when it started, for the watchdog and the crash
// report (session_entry.cpp).
void NoteCommand(int line, const std::string& text, DWORD allowanceMs);

// For host entries whose argument count is unknown: returning from them would
// unbalance the caller's stack, so the session ends at once with a FAIL line
// for the line being played (session_entry.cpp).
[[noreturn]] void StopAtUnexpectedEntry(const std::string& seen);

}  // namespace simhost
