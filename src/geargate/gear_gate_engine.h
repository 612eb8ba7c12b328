// The GearGate engine: bound gear rows become the gear word of the host's car
// (H-pattern with its clutch and grind, or sequential with its guards), the
// shifter type is set per car and by the toggle, and the host's gearbox
// option words are set and given back. It knows no menu: the page hands it
// the binding rows and hears of a toggle through GearGateReports.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "core/menu_item.h"
#include "geargate/car_profiles.h"
#include "input/binding_text.h"
#include "input/device_locks.h"
#include "platform/mutex.h"
#include "sound/sound_player.h"

union SDL_Event;
namespace Input {
class SDLBackend;
}

namespace gears {
inline constexpr int32_t kReverse = 0;
inline constexpr int32_t kNeutral = 1;
inline constexpr int32_t kFirst = 2;
inline constexpr int32_t kTop = 7;
}  // namespace gears

// The binding rows, in page order from "H-Pattern Gear 1".
namespace shifter_rows {
inline constexpr int kGearR = 6;
inline constexpr int kSequentialNeutral = 7;
inline constexpr int kSequentialUp = 8;
inline constexpr int kSequentialDown = 9;
inline constexpr int kToggleType = 10;
inline constexpr int kCount = 11;
}  // namespace shifter_rows

// What the engine asks of and tells its page.
class GearGateReports {
public:
    virtual ~GearGateReports() = default;
    // While a binding capture waits, a released Toggle Type row is being
    // bound, not used.
    virtual bool CaptureWaiting() const = 0;
    // The player's toggle chose this stored type (0 to 2). The engine's lock
    // is not held.
    virtual void ShifterTypeToggled(int32_t type) = 0;
};

// What the host's thread (mode changes, the menu) and the job's thread
// (events, passes) both read and write, as one group under the engine's lock.
struct GearState {
    // kRowHeld while the row's input is held; a sequential row's shift turns
    // it into kRowDone until the input is let go, so an axis that reports
    // every move past its threshold shifts once.
    static constexpr int32_t kRowUp = 0, kRowHeld = 1, kRowDone = 2;
    std::array<int32_t, shifter_rows::kCount> pressed{};
    // The car's upshift revs per gear word.
    std::array<float, 8> upshiftTable{};
    int32_t currentType = 0;
    int32_t clutchNeeded = 1;
    bool fadePending = false;
    bool grinding = false;
    int32_t topGear = gears::kTop;
    int32_t requestedGear = gears::kNeutral;
    int32_t appliedGear = gears::kNeutral;
    int32_t shiftDeadzoneMs = 0;
    // The type of the distribution's configured car (3, unknown, until a
    // stage loads), found on the host's thread at the stage load and the car
    // set-up, so a toggle to Auto detected on the job's thread never waits on
    // car files.
    int32_t configuredCarType = 3;
    // The last car set up, for the player's status lines: its slot (-1:
    // none yet) and where its type and clutch requirement came from.
    int32_t carSlot = -1;
    CarSource typeSource = CarSource::kNone;
    CarSource clutchSource = CarSource::kNone;
    // The last accepted sequential shifts, against the shift deadzone.
    uint32_t lastUpShiftTime = 0;
    uint32_t lastDownShiftTime = 0;
};

class GearGateEngine {
public:
    GearGateEngine(GearGateReports& reports, SoundBank& sounds);
    GearGateEngine(const GearGateEngine&) = delete;
    GearGateEngine& operator=(const GearGateEngine&) = delete;

    // The binding rows (null where the page has none), set before the page
    // listens to the job; the texts change under their own lock.
    void SetRows(const std::array<const MenuItem*, shifter_rows::kCount>& rows) { rows_ = rows; }

    // The job's thread. An event presses or releases rows and, while
    // driving, shifts; false when not driving (the page's capture may take
    // the event then).
    bool OnInputEvent(const SDL_Event& event, Input::SDLBackend& job) KVT_EXCLUDES(lock_);
    void OnTick(Input::SDLBackend& job) KVT_EXCLUDES(lock_);

    // Either thread: every held row lets go (a held Toggle Type toggles once).
    void ReleaseAllRows(Input::SDLBackend& job) KVT_EXCLUDES(lock_);
    void ClearPressed() KVT_EXCLUDES(lock_);
    void ToggleShifterType(Input::SDLBackend& job) KVT_EXCLUDES(lock_);

    // The host's thread: reactions to the host's game modes (13, 241, 3)
    // and to GearGate switched off. SetupForCar says whether it set a car up.
    bool SetupForCar(Input::SDLBackend& job) KVT_EXCLUDES(lock_);
    void LoadShiftDeadzone() KVT_EXCLUDES(lock_);
    void RestoreHostGearbox() KVT_EXCLUDES(lock_);
    void SwitchedOff(Input::SDLBackend& job) KVT_EXCLUDES(lock_);
    void ApplyHostGearbox(int32_t type) KVT_EXCLUDES(lock_);

    // A copy of the shared state, and a change of it in one step (tests,
    // benchmarks).
    GearState State() const KVT_EXCLUDES(lock_);
    template <typename Change>
    void ChangeState(Change&& change) KVT_EXCLUDES(lock_) {
        kvt::MutexLock lock(lock_);
        change(state_);
    }
    // The host's gearbox option words as they were before GearGate set them
    // (none or four).
    std::vector<int32_t> SavedHostWords() const KVT_EXCLUDES(lock_);

    // True exactly while the host's game mode is 1; one flag, set by the
    // host's thread, read by the job's.
    std::atomic<bool> driving{false};

private:
    // A row's release as a button up makes it: false when it was not held.
    // A held Toggle Type asks for a toggle unless the release event is no
    // player's (none: the devices closed).
    bool ReleaseRowLocked(int index, const SDL_Event* release, bool* toggle) KVT_REQUIRES(lock_);
    bool NoGearRowHeldLocked() const KVT_REQUIRES(lock_);
    int32_t ResolvedTypeLocked(int32_t type) const KVT_REQUIRES(lock_);
    bool StopOrFade(bool force);
    void ApplyHPatternGearLocked() KVT_REQUIRES(lock_);
    // Whether a sequential shift at now is past the deadzone since the last
    // shift the same way; if so, it becomes that last shift.
    bool OutsideDeadzoneLocked(uint32_t now, uint32_t& lastThisWay, uint32_t& lastOtherWay)
        KVT_REQUIRES(lock_);
    void SequentialUpLocked(uint32_t now) KVT_REQUIRES(lock_);
    void SequentialDownLocked(uint32_t now) KVT_REQUIRES(lock_);
    void SequentialNeutralLocked() KVT_REQUIRES(lock_);
    void AnnounceShifterTypeLocked(int32_t type) KVT_REQUIRES(lock_);
    void ApplyHostGearboxLocked(int32_t type) KVT_REQUIRES(lock_);
    void RestoreLocked() KVT_REQUIRES(lock_);

    GearGateReports& reports_;
    SoundBank& sounds_;
    std::array<const MenuItem*, shifter_rows::kCount> rows_{};
    // The rows' bindings as the job last read them.
    std::array<Input::BindingRecord, shifter_rows::kCount> bindings_ KVT_GUARDED_BY(Input::g_jobThread);
    // Taken before the sound bank's lock and the lines' text lock; never
    // held while the host's window is sent a message, which waits for the
    // host's thread.
    mutable kvt::Mutex lock_ KVT_ACQUIRED_BEFORE(sounds_.lock_, MenuItem::textLock_);
    GearState state_ KVT_GUARDED_BY(lock_);
    std::vector<int32_t> savedHostWords_ KVT_GUARDED_BY(lock_);
    // Whether the last pass's game could see gears; the job's thread only.
    bool wasInPlay_ KVT_GUARDED_BY(Input::g_jobThread) = false;
};
