// The host's words the GearGate engine reads and writes, shared by its two
// files: the car's gear word, telemetry, the car selection's gearbox option
// words, the gearbox message, and the settings it asks. Inside geargate/ only.
#pragma once

#include <cstdint>

#include "config/setting.h"
#include "core/host_locations.h"
#include "core/host_messages.h"
#include "geargate/car_profiles.h"
#include "geargate/gear_gate_engine.h"
#include "platform/host_memory.h"

namespace gear_gate_host {
using platform::HostRead;
using platform::HostWrite;
using namespace host_offsets;

inline constexpr int32_t kDefaultDeadzoneMs = 30;
inline constexpr int32_t kAutoDetected = 2;

inline Config::Setting& S() {
    return *g_settings;
}

inline bool Enabled() {
    return g_settings && S().gearGateEnabled;
}

inline int32_t CarGear() {
    const uint32_t car = Host().carObject;
    return car ? HostRead<int32_t>(car + kCarGearField) : gears::kNeutral;
}

inline void WriteCarGear(int32_t gear) {
    const uint32_t car = Host().carObject;
    if (car) HostWrite<int32_t>(car + kCarGearField, gear);
}

inline float Telemetry(uint32_t field) {
    const uint32_t object = Host().hostObject1;
    return object ? HostRead<float>(object + field) : 0.0f;
}

inline int32_t GearboxWord(int index) {
    const uint32_t selection = Host().carSelection;
    return selection ? HostRead<int32_t>(selection + kGearboxWordFields[index]) : 0;
}

inline void WriteGearboxWord(int index, int32_t value) {
    const uint32_t selection = Host().carSelection;
    if (selection) HostWrite<int32_t>(selection + kGearboxWordFields[index], value);
}

// Sent outside the engine's lock: the host's thread answers it.
inline void SendGearboxMessage(int32_t type) {
    SendHostCommand(host_commands::kGearGateMode, type != shifter_types::kHPattern ? 1 : 0);
}

}  // namespace gear_gate_host
