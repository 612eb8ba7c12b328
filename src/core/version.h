// The plug-in's version, which the build sets once for the code, the log and
// the package name (CMakeLists.txt, project()).
#pragma once

#ifndef KVT_VERSION
#error "KVT_VERSION is set by the build"
#endif
