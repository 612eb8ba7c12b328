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
    // Texts whose right end lies past the frame's right edge, each with where it ends.
    std::vector<std::string> pastEdge;
};

PictureResult WriteFramePicture(const CallLog& calls, const std::string& path, bool forceBuiltinFont);

}  // namespace simhost
