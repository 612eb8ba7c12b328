// The host's state at fixed offsets from the host executable's load address.
// These offsets belong to one build of the host executable. Every value is a
// 32-bit host address (0 = null), read through the host memory view.
#pragma once

#include <atomic>
#include <cstdint>

namespace host_offsets {
inline constexpr uint32_t kGameState = 0x3EAC48;
inline constexpr uint32_t kGameState2 = 0x493634;
inline constexpr uint32_t kHostObject1 = 0x125FC68;
inline constexpr uint32_t kHostObject2 = 0x125FC48;
inline constexpr uint32_t kCarSelection = 0x1260800;
inline constexpr uint32_t kHostBlock = 0x4937C8;
inline constexpr uint32_t kStageName = 0x3D1D64;
inline constexpr uint32_t kRenderRoot = 0x3EA990;
inline constexpr uint32_t kRenderChild = 0x28;
inline constexpr uint32_t kRenderDevice = 0xF4;
inline constexpr uint32_t kCarObject = 0x4EF660;

// Fields of the game state object.
inline constexpr uint32_t kGameModeField = 0x728;
inline constexpr uint32_t kRunningField = 0x5C;
inline constexpr uint32_t kControlTableField = 0xCF8;
// State word of gameState2.
inline constexpr uint32_t kState2Field = 0x10;

// Fields of the player's car (carObject): the gear word, the clutch pedal
// (0.0 up to 1.0 down) and the car's position (three floats).
inline constexpr uint32_t kCarGearField = 0x1100;
inline constexpr uint32_t kCarClutchField = 0x86C;
inline constexpr uint32_t kCarPositionField = 0x140;
// Fields of the car selection: the slot of the car being set up, and the
// gearbox option words A to D.
inline constexpr uint32_t kSelectionSlotField = 0x8;
inline constexpr uint32_t kGearboxWordFields[] = {0x69C, 0x6A0, 0x6A4, 0x6A8};
// Telemetry floats of hostObject1: the speed that must be 0.0 for first to
// neutral while word B is set, the revs held against the gear's upshift
// value while word D is set, and the grind hold (0.0 drops a refused gear).
inline constexpr uint32_t kSpeedToNeutralField = 0x0C;
inline constexpr uint32_t kRevsField = 0x10;
inline constexpr uint32_t kGrindHoldField = 0x2B8;
// The camera: hostObject1's holder, the holder's record, the record's three
// orientation rows and its position (three floats each).
inline constexpr uint32_t kCameraHolderField = 0x758;
inline constexpr uint32_t kCameraRecordField = 0x10;
inline constexpr uint32_t kCameraRowFields[] = {0xCC, 0xD8, 0xE4};
inline constexpr uint32_t kCameraPositionField = 0xF0;

// What the menu rule reads: in mode 1 a car in the host's yard is a menu to
// the player (hostObject1 + 8 is 0, hostObject2 + 0x78 is 1 and the stage
// name, 16-bit characters, reads "Rally Yard"); in modes 10 and 15 the host
// block's word at + 0x130 is 1 in a menu.
inline constexpr uint32_t kYardObject1Field = 8;
inline constexpr uint32_t kYardObject2Field = 0x78;
inline constexpr uint32_t kBlockMenuField = 0x130;

// The host's control table: its second word points to the control records,
// 20 bytes each from byte 48 on; a record's first word is non-zero while a
// button is bound to that control.
inline constexpr uint32_t kControlRecordsField = 4;
inline constexpr uint32_t kControlRecordsStart = 48;
inline constexpr uint32_t kControlRecordSize = 20;
// The host's own H-pattern controls: gears 1 to 6 and reverse (14 is none).
inline constexpr uint32_t kHostGearControls[] = {13, 15, 16, 17, 18, 19, 20};
}  // namespace host_offsets

// The game-mode values the plug-in tells apart (the word at gameState + 0x728).
namespace host_modes {
inline constexpr int32_t kUnknown = -1;       // no game state yet
inline constexpr int32_t kDriving = 1;        // a car on a stage: the only mode GearGate shifts in
inline constexpr int32_t kMenus = 3;          // the host's menus: the overlay sits at the top
inline constexpr int32_t kCarSetup = 13;      // a car is being set up for a stage
inline constexpr int32_t kShiftReload = 241;  // the host re-reads its shift settings
// Modes only RurAzu's rules tell apart. What they are is the host's; the
// names say how the rules treat them.
inline constexpr int32_t kStageMenu = 2;   // a menu over a stage: restart and retire act, Backspace backs out
inline constexpr int32_t kRetireMenu = 8;  // a menu where retiring still acts
inline constexpr int32_t kOtherMenu = 9;   // a menu to the menu rule
inline constexpr int32_t kRaceOverlay = 10;  // racing to the race rule; a menu while the host block says so
inline constexpr int32_t kBlockMenu = 15;    // a menu while the host block says so
}  // namespace host_modes

// Written by the host's thread and the input job; each field is one machine
// word, so readers see either the old or the new value.
struct HostLocations {
    std::atomic<uint32_t> base{0};
    std::atomic<uint32_t> gameState{0};
    std::atomic<uint32_t> gameState2{0};
    std::atomic<uint32_t> hostObject1{0};
    std::atomic<uint32_t> hostObject2{0};
    std::atomic<uint32_t> carSelection{0};
    std::atomic<uint32_t> hostBlock{0};
    std::atomic<uint32_t> stageName{0};
    std::atomic<uint32_t> renderDevice{0};
    std::atomic<uint32_t> hostWindow{0};
    std::atomic<uint32_t> carObject{0};
};

HostLocations& Host();

// Resolves the base if needed, then refreshes the locations; false when the
// base cannot be found (nothing else is touched then).
bool RefreshHostLocations();
// The one location re-read on every game-mode change.
void RefreshCarObject();
// The player's car as the host's pointer says now (0: none), without
// changing carObject: for a reader off the engine's path, such as drawing.
uint32_t CurrentCarObject();
// Forgets every location (a new host session in the tests).
void ResetHostLocations();

// The game mode word, or -1 while the game state is unknown.
int32_t ReadGameMode();
// The host's running flag; false while it shuts down or its state is unknown.
bool HostRunning();
// True when any of the host's own H-pattern gear controls (13, 15 to 20) has a
// button bound in the host's control table.
bool HostHPatternBound();
