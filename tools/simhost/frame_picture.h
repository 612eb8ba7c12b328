// A recorded frame drawn as the player would see it, saved as a PNG picture.
#pragma once

#include <string>
#include <vector>

#include "call_log.h"

namespace simhost {

struct PictureResult {
    bool written = false;
    bool builtinFont = false;  // no GDI font rendered, or the built-in one was asked for
    std::string error;
    // Texts that end past the frame's right or bottom edge, each with where it ends.
    std::vector<std::string> pastEdge;
};

// backdrop: a plain stage behind the frame (sky, verge, road), for what the
// plug-in draws over the game in a race.
PictureResult WriteFramePicture(const CallLog& calls, const std::string& path, bool forceBuiltinFont,
                                bool backdrop = false);

}  // namespace simhost
