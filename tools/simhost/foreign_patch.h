// Another plug-in that patched a code site before ours, as the host's
// community plug-ins do: an E9 jump at the site to its own code, which counts
// that it ran, does the host's instruction it replaced and continues after it.
#pragma once

#include <cstdint>
#include <string>

namespace simhost {

enum class ForeignSite { kModeStore, kRender };

// Writes E9 xxxxxxxx 90 (mode store) or E9 xxxxxxxx (render) at site, leading
// to the stand-in's code for that site. False with a reason.
bool PatchLikeAnotherPlugin(ForeignSite which, uint32_t site, std::string& error);

// How often the stand-in's code for that site ran.
uint32_t ForeignRuns(ForeignSite which);

// The stand-in's code for that site, where its jump leads.
uint32_t ForeignStub(ForeignSite which);

}  // namespace simhost
