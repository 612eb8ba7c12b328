// The RurAzu pages' shared entries.
#include "rurazu/rurazu_pages.h"

const char* KVT_THISCALL KVTRurazuBase::GetPluginName() {
    // The listener joins the input job here once the engine exists.
    listenerRegistered = true;
    return "KVT RurAzu";
}
