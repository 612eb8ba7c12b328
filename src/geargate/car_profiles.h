// GearGate's per-car profiles: gear count, upshift values, shifter type and
// clutch requirement of the car in a host slot, read from the host's physics
// files and cars.ini, the distribution's velmora.ini and car lists, and the
// plug-in's own CarInfo.ini cache. Every call reads its files again and keeps
// nothing; none throws. They run at car set-up and toggles, never per event.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// Shifter types as the lookups give them.
namespace shifter_types {
inline constexpr int32_t kSequential = 0;
inline constexpr int32_t kHPattern = 1;
inline constexpr int32_t kUnknown = 3;
}  // namespace shifter_types

// Where a car's shifter type or clutch requirement came from, for the
// player's status lines and the log.
enum class CarSource : int32_t {
    kNone = 0,      // nothing found (unknown car, unreadable files)
    kCache = 1,     // CarInfo.ini, the plug-in's per-car cache
    kCarFiles = 2,  // the distribution's car lists, then cached
    kDefault = 3,   // the cache has no entry: the default
    kChosen = 4,    // the player's fixed setting, not the car's
};
const char* CarSourceText(CarSource source);

// The host has eight car slots; any other slot number is out of range.
inline constexpr int32_t kCarSlots = 8;

// Upshift values per host gear index 0 to 7.
using UpshiftValues = std::array<float, 8>;

// The car's top gear index ("numberofgears" minus 1); 7 when unknown.
int32_t GearCount(int32_t slot);
// The car's "Gear%dUpshift" values; all 0.0 when unknown.
UpshiftValues UpshiftTable(int32_t slot);
// The slot the distribution has selected; 5 when unknown.
int32_t ConfiguredSlot();
// The distribution car in the slot; -1 when unknown.
int32_t CarIdForSlot(int32_t slot);
// The shifter type of the car in the slot: 0, 1, or 3 when unknown; where it
// came from into source when given.
int32_t DetectTypeForSlot(int32_t slot, CarSource* source = nullptr);
// Whether the car in the slot needs the clutch: 0 or 1 (1 on a read error, 0
// for a slot out of range).
int32_t ClutchRequiredForSlot(int32_t slot, CarSource* source = nullptr);
// The shifter type of a distribution car, from the cache, or from the car
// lists and then cached.
int32_t TypeForCarId(int32_t carId, CarSource* source = nullptr);
// The distribution car's name from cars.json; empty when unknown.
std::string CarNameFromJson(int32_t carId);
// The distribution car's shifter type from cars_data.json: 0, 1 or 3.
int32_t TypeFromJson(int32_t carId);
