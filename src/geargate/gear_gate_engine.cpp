// The GearGate engine on the job's thread: rows pressed and released,
// H-pattern and sequential shifting. (The type and the gearbox words are
// shifter_type.cpp's; the car set-up on the host's thread, gear_gate_car.cpp's.)
#include "geargate/gear_gate_engine.h"

#include <SDL3/SDL_events.h>
#include <SDL3/SDL_joystick.h>

#include "geargate/gear_gate_host.h"
#include "input/binding_text.h"
#include "input/sdl_backend.h"
#include "sound/sound_player.h"

namespace {
using namespace gear_gate_host;

// SDL re-centres a controller that goes away (its buttons up, its hats
// centred) after it has marked it detached: such a release is no player's.
bool FromUnpluggedController(const SDL_Event* release) {
    SDL_JoystickID id = 0;
    if (release && release->type == SDL_EVENT_JOYSTICK_BUTTON_UP) id = release->jbutton.which;
    if (release && release->type == SDL_EVENT_JOYSTICK_HAT_MOTION) id = release->jhat.which;
    return id != 0 && !SDL_JoystickConnected(SDL_GetJoystickFromID(id));
}
}  // namespace

GearGateEngine::GearGateEngine(GearGateReports& reports, SoundBank& sounds)
    : reports_(reports), sounds_(sounds) {}

GearState GearGateEngine::State() const {
    kvt::MutexLock lock(lock_);
    return state_;
}

std::vector<int32_t> GearGateEngine::SavedHostWords() const {
    kvt::MutexLock lock(lock_);
    return savedHostWords_;
}

bool GearGateEngine::ReleaseRowLocked(int index, const SDL_Event* release, bool* toggle) {
    int32_t& held = state_.pressed[static_cast<size_t>(index)];
    if (held == GearState::kRowUp) return false;
    held = GearState::kRowUp;
    if (index == shifter_rows::kToggleType && !reports_.CaptureWaiting() && !FromUnpluggedController(release))
        *toggle = true;
    return true;
}

bool GearGateEngine::OnInputEvent(const SDL_Event& event, Input::SDLBackend& job) {
    KVT_ASSERT_JOB_THREAD(job);
    // Matched before the lock: the bindings are the job's own.
    std::array<Input::BindingMatch, shifter_rows::kCount> matches{};
    Input::BindingTexts& texts = job.Texts();
    for (size_t i = 0; i < matches.size(); ++i) {
        if (!rows_[i]) continue;
        bindings_[i].Follow(*rows_[i]);
        matches[i] = texts.Match(bindings_[i], event);
    }
    bool matched = false;
    bool toggle = false;
    {
        kvt::MutexLock lock(lock_);
        if (event.type == SDL_EVENT_JOYSTICK_REMOVED) state_.pressed.fill(0);
        for (int i = 0; i < shifter_rows::kCount; ++i) {
            switch (matches[static_cast<size_t>(i)]) {
                case Input::BindingMatch::Press:
                    // An axis reports every move past its threshold: only
                    // the crossing is a press (a sequential row shifts once).
                    if (state_.pressed[static_cast<size_t>(i)] != GearState::kRowUp) break;
                    state_.pressed[static_cast<size_t>(i)] = GearState::kRowHeld;
                    matched = true;
                    break;
                case Input::BindingMatch::Release:
                    matched = ReleaseRowLocked(i, &event, &toggle) || matched;
                    break;
                case Input::BindingMatch::None:
                    break;
            }
        }
    }
    if (toggle) ToggleShifterType(job);

    if (!driving) return false;
    if (!matched || !job.isForeground()) return true;
    kvt::MutexLock lock(lock_);
    if (state_.currentType != 0) {
        ApplyHPatternGearLocked();
    } else if (state_.pressed[shifter_rows::kSequentialUp] == GearState::kRowHeld) {
        SequentialUpLocked(job.lastTick());
    } else if (state_.pressed[shifter_rows::kSequentialDown] == GearState::kRowHeld) {
        SequentialDownLocked(job.lastTick());
    } else if (state_.pressed[shifter_rows::kSequentialNeutral] == GearState::kRowHeld) {
        SequentialNeutralLocked();
    }
    return true;
}

void GearGateEngine::ReleaseAllRows(Input::SDLBackend& job) {
    bool toggle = false;
    {
        kvt::MutexLock lock(lock_);
        for (int i = 0; i < shifter_rows::kCount; ++i) ReleaseRowLocked(i, nullptr, &toggle);
    }
    if (toggle) ToggleShifterType(job);
}

void GearGateEngine::ClearPressed() {
    kvt::MutexLock lock(lock_);
    state_.pressed.fill(0);
}

void GearGateEngine::OnTick(Input::SDLBackend& job) {
    KVT_ASSERT_JOB_THREAD(job);
    const bool enabled = Enabled();
    // Gear rows let go in a pause menu or behind another window cleared their
    // flags but wrote nothing: once the game sees gears again, auto neutral
    // catches up here, on the thread that writes every other gear.
    const bool inPlay = enabled && driving && job.isForeground();
    kvt::MutexLock lock(lock_);
    if (inPlay && !wasInPlay_ && state_.currentType != 0 && S().autoNeutral &&
        state_.appliedGear != gears::kNeutral && NoGearRowHeldLocked())
        ApplyHPatternGearLocked();
    wasInPlay_ = inPlay;
    if (state_.grinding && !(enabled && driving)) {
        // A missed gear must not engage in a pause, after the stage or with
        // GearGate off; its grind fades like any other.
        state_.grinding = false;
        state_.fadePending = true;
    }
    if (state_.grinding) {
        ApplyHPatternGearLocked();
    } else if (state_.fadePending) {
        state_.fadePending = !StopOrFade(false);
    }
}

bool GearGateEngine::NoGearRowHeldLocked() const {
    for (int i = 0; i <= shifter_rows::kGearR; ++i)
        if (state_.pressed[static_cast<size_t>(i)] == GearState::kRowHeld) return false;
    return true;
}

bool GearGateEngine::OutsideDeadzoneLocked(uint32_t now, uint32_t& lastThisWay, uint32_t& lastOtherWay) {
    if (state_.shiftDeadzoneMs == 0) return true;
    if (now - lastThisWay <= static_cast<uint32_t>(state_.shiftDeadzoneMs)) return false;
    // A shift one way lets the next shift the other way through at once.
    lastThisWay = now;
    lastOtherWay = 0;
    return true;
}

void GearGateEngine::SequentialUpLocked(uint32_t now) {
    state_.pressed[shifter_rows::kSequentialUp] = GearState::kRowDone;
    if (!OutsideDeadzoneLocked(now, state_.lastUpShiftTime, state_.lastDownShiftTime)) return;
    const int32_t gear = CarGear();
    state_.requestedGear = gear;
    if (gear >= state_.topGear) return;
    WriteCarGear(gear + 1);
    state_.requestedGear = gear + 1;
}

void GearGateEngine::SequentialDownLocked(uint32_t now) {
    state_.pressed[shifter_rows::kSequentialDown] = GearState::kRowDone;
    if (!OutsideDeadzoneLocked(now, state_.lastDownShiftTime, state_.lastUpShiftTime)) return;
    // Shifting down at revs past the gear's upshift point would over-rev the
    // engine: the gear of the last shift decides, not a fresh read.
    const int32_t previous = state_.requestedGear;
    if (GearboxWord(3) != 0 && previous >= gears::kFirst && previous <= gears::kTop) {
        const float upshift = state_.upshiftTable[static_cast<size_t>(previous)];
        if (upshift != 0.0f && Telemetry(kRevsField) >= upshift) return;
    }
    const int32_t gear = CarGear();
    state_.requestedGear = gear;
    if (gear == gears::kFirst) {
        if (GearboxWord(1) != 0 && Telemetry(kSpeedToNeutralField) != 0.0f) return;
        WriteCarGear(gears::kNeutral);
    } else if (gear != gears::kReverse) {
        WriteCarGear(gear - 1);
    }
}

void GearGateEngine::SequentialNeutralLocked() {
    state_.requestedGear = gears::kNeutral;
    WriteCarGear(gears::kNeutral);
    state_.pressed[shifter_rows::kSequentialNeutral] = GearState::kRowDone;
}

void GearGateEngine::ApplyHPatternGearLocked() {
    const uint32_t car = Host().carObject;
    const bool clutchOk =
        state_.clutchNeeded != 1 || (car && HostRead<float>(car + kCarClutchField) > S().clutchThreshold);
    static constexpr int32_t kRowGears[] = {2, 3, 4, 5, 6, 7, gears::kReverse};
    bool chosen = false;
    for (int i = 0; i <= shifter_rows::kGearR && !chosen; ++i) {
        if (state_.pressed[static_cast<size_t>(i)] != GearState::kRowHeld) continue;
        state_.requestedGear = kRowGears[i];
        chosen = true;
    }
    if (!chosen && S().autoNeutral) {
        if (state_.appliedGear != gears::kNeutral) WriteCarGear(gears::kNeutral);
        state_.requestedGear = gears::kNeutral;
        state_.appliedGear = gears::kNeutral;
        state_.grinding = false;
        state_.fadePending = !StopOrFade(false);
        return;
    }
    const int32_t wanted = state_.requestedGear;
    if (wanted == state_.appliedGear || wanted > state_.topGear) return;
    if (clutchOk) {
        WriteCarGear(wanted);
        state_.appliedGear = wanted;
        state_.grinding = false;
        state_.fadePending = !StopOrFade(false);
        return;
    }
    state_.grinding = sounds_.PlayGrindSound();
    // Without a grind to hold it, or when the host says so, the miss is
    // dropped: the player selects the gear again with the clutch down.
    if (Telemetry(kGrindHoldField) == 0.0f || !state_.grinding) state_.appliedGear = wanted;
}
