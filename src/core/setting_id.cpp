// The name table of SettingId and the bindings' defaults, from the one list.
#include "core/setting_id.h"

namespace {
struct IdEntry {
    const char* name;
    BindingDefaults defaults;
};
constexpr IdEntry kIds[NUM_OF_ITEMS + 1] = {
#define KVT_SETTING_ID(name, triggerType, gameMode) {#name, {triggerType, gameMode}},
    KVT_SETTING_IDS(KVT_SETTING_ID)
#undef KVT_SETTING_ID
        {"NUM_OF_ITEMS", {}},
};
}  // namespace

const char* SettingName(int32_t id) {
    if (id < 0 || id > NUM_OF_ITEMS) return "";
    return kIds[id].name;
}

BindingDefaults DefaultsFor(int32_t id) {
    return id >= 0 && id < NUM_OF_ITEMS ? kIds[id].defaults : BindingDefaults{};
}
