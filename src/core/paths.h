// The well-known paths, computed once when the library is loaded from the host
// executable's own file name.
#pragma once

#include <string>

struct WellKnownPaths {
    std::string hostDirectory;  // no trailing separator
    std::string pluginFolder;   // hostDirectory \Plugins\KVTControls
    std::string settingsFile;   // pluginFolder \KVTControls.ini
    std::string carInfoFile;    // pluginFolder \CarInfo.ini
    std::string logFile;        // pluginFolder \KVTControls.log
};

const WellKnownPaths& Paths();
void ComputePaths();

// A file below the host folder, its path written from there with the host's
// backslashes ("\\cars\\cars.ini"), in the platform's separators.
std::string HostPath(std::string relative);

// Library load and unload: paths, then the log (truncated).
// Opens (and truncates) KVTControls.log in the plug-in folder; its first line
// names the plug-in's version.
void OpenPluginLog();
void OnLibraryLoad();
void OnLibraryUnload();
