// The stand-in VR plug-in in the game's Plugins folder. The plug-in loads it
// as openKVTVR.dll into this process, so the session reads what reached it
// through the stand-in's own exports: every call with its exact arguments, in
// the order it came.
#include <cstdio>
#include <cstdlib>

#include "session.h"
#include "shared/vr_standin.h"

namespace simhost {

namespace {

const char* const kVrPluginPath = "Plugins\\openKVTVR.dll";

std::string FormatVrCall(const kvt_test::VrCall& call) {
    char text[64];
    std::snprintf(text, sizeof text, "%d %d %d %d", static_cast<int>(call.command),
                  static_cast<int>(call.arg1), static_cast<int>(call.arg2), static_cast<int>(call.arg3));
    return text;
}

bool ParseInt(const Token& token, int32_t& value) {
    if (token.quoted || token.text.empty()) return false;
    char* end = nullptr;
    value = static_cast<int32_t>(std::strtol(token.text.c_str(), &end, 0));
    return *end == '\0';
}

}  // namespace

// Loads the stand-in before the plug-in does when the answers must differ
// from its defaults (API level 2, seat moves succeed); the plug-in's own load
// later finds the same module.
void Session::VrAnswers(const ScriptLine& line) {
    int32_t apiLevel = 0, seatAnswer = 0;
    if (line.tokens.size() != 3 || !ParseInt(line.tokens[1], apiLevel) ||
        !ParseInt(line.tokens[2], seatAnswer))
        return Usage(line, "vr-answers API-LEVEL SEAT-ANSWER");
    HMODULE module = LoadLibraryA(GamePath(kVrPluginPath).c_str());
    if (module == nullptr)
        return Fail(line, "cannot load Plugins/openKVTVR.dll, error " + std::to_string(GetLastError()));
    auto setAnswers = reinterpret_cast<kvt_test::VrStandInSetAnswers>(
        reinterpret_cast<void*>(GetProcAddress(module, kvt_test::kVrStandInAnswers)));
    if (setAnswers == nullptr) return Fail(line, "Plugins/openKVTVR.dll is not the stand-in VR plug-in");
    setAnswers(apiLevel, seatAnswer);
    Say("vr-answers: API level " + std::to_string(apiLevel) + ", seat answer " + std::to_string(seatAnswer));
}

// False with the reason when the loaded module is not the stand-in; a module
// nobody loaded has received nothing.
bool Session::CollectVrCalls(std::string& error) {
    HMODULE module = GetModuleHandleA(GamePath(kVrPluginPath).c_str());
    if (module == nullptr) return true;
    auto takeCalls = reinterpret_cast<kvt_test::VrStandInTakeCalls>(
        reinterpret_cast<void*>(GetProcAddress(module, kvt_test::kVrStandInTakeCalls)));
    if (takeCalls == nullptr) {
        error = "Plugins/openKVTVR.dll is loaded but is not the stand-in VR plug-in";
        return false;
    }
    // The stand-in forgets every call it hands over, also those beyond the
    // room, so the lost ones are counted where they would be.
    kvt_test::VrCall calls[64];
    int32_t count = takeCalls(calls, 64);
    for (int32_t i = 0; i < count && i < 64; ++i) vrCalls_.push_back(FormatVrCall(calls[i]));
    if (count > 64) vrCalls_.push_back(std::to_string(count - 64) + " more calls");
    return true;
}

void Session::ExpectVrCalls(const ScriptLine& line) {
    const std::vector<Token>& t = line.tokens;
    if (t.size() < 3) return Usage(line, "expect vr-calls none|\"COMMAND ARG1 ARG2 ARG3\"...");
    std::vector<std::string> wanted;
    if (!(t.size() == 3 && !t[2].quoted && t[2].text == "none"))
        for (size_t i = 2; i < t.size(); ++i) wanted.push_back(t[i].text);
    std::string error;
    if (!CollectVrCalls(error)) return Fail(line, error);
    if (vrCalls_ == wanted) return Pass(line);
    std::string seen;
    // Piece by piece: GCC 12 misreads the one-expression concatenation as an
    // overlapping copy (-Wrestrict).
    for (const std::string& call : vrCalls_) seen.append(seen.empty() ? "(" : ", (").append(call).append(")");
    bool loaded = GetModuleHandleA(GamePath(kVrPluginPath).c_str()) != nullptr;
    Fail(line, seen.empty() ? (loaded ? "the VR plug-in received no call" : "the VR plug-in was never loaded")
                            : "the VR plug-in received " + seen);
}

}  // namespace simhost
