// The one export the host calls to create the plug-in.
#include <filesystem>

#include "core/host_interface.h"
#include "core/log.h"
#include "core/paths.h"
#include "plugin/kvt_control.h"

extern "C" IPlugin* KVT_CreatePlugin(IHostGame* game) {
    if (g_instance) return g_instance;
    // Nothing may escape into the host: a folder that cannot be made, or a
    // failed construction, means no plug-in instead of a crashed game.
    try {
        std::filesystem::create_directory(Paths().pluginFolder);
    } catch (...) {
        LogException("ERROR. Cannot create the plug-in folder " + Paths().pluginFolder + ".");
        return nullptr;
    }
    // On the very first start the folder did not exist when the library was
    // loaded, so the log could not be opened then; this start is logged too.
    if (!LogIsOpen()) OpenPluginLog();
    try {
        g_instance = new KVTControl(game);
    } catch (...) {
        LogException("ERROR. Cannot create KVTControl.");
        return nullptr;
    }
    return g_instance;
}
