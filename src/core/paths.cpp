// The well-known paths and what happens when the library is loaded.
#include "core/paths.h"

#include <algorithm>

#include "core/log.h"
#include "core/version.h"
#include "platform/platform.h"

namespace {
WellKnownPaths g_paths;

std::string DirectoryOf(const std::string& file) {
    const size_t cut = file.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : file.substr(0, cut);
}
}  // namespace

const WellKnownPaths& Paths() {
    return g_paths;
}

void ComputePaths() {
    const std::string sep(1, platform::kPathSeparator);
    g_paths.hostDirectory = DirectoryOf(platform::HostExecutablePath());
    g_paths.pluginFolder = g_paths.hostDirectory + sep + "Plugins" + sep + "KVTControls";
    g_paths.settingsFile = g_paths.pluginFolder + sep + "KVTControls.ini";
    g_paths.carInfoFile = g_paths.pluginFolder + sep + "CarInfo.ini";
    g_paths.logFile = g_paths.pluginFolder + sep + "KVTControls" + ".log";
}

std::string HostPath(std::string relative) {
    std::replace(relative.begin(), relative.end(), '\\', platform::kPathSeparator);
    return g_paths.hostDirectory + relative;
}

void OpenPluginLog() {
    // A quiet start writes nothing but errors and warnings; the verbose
    // start-up's "KVTControl <version> created" names the build.
    OpenLog(Paths().logFile);
}

void OnLibraryLoad() {
    ComputePaths();
    OpenPluginLog();
}

void OnLibraryUnload() {
    CloseLog();
}
