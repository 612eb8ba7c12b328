// GearGate on, every shifter row bound to a button of one virtual shifter,
// an H-pattern car needing no clutch, with auto neutral: the game of the
// shifter benchmarks.
#pragma once

#include <SDL3/SDL.h>

#include <string>

#include "bench_game.h"
#include "core/host_locations.h"
#include "geargate/shifter_page.h"

inline constexpr uint32_t kCarGear = 0x1100;

struct ShifterRig : BenchGame {
    // More settings may follow GearGate's own.
    explicit ShifterRig(const std::string& moreSettings = "")
        : BenchGame("[GearGate]\nEnabled = true\nAutoNeutral = true\nClutchRequired = 0\n" + moreSettings,
                    "Bench Shifter", 16) {
        car = arena.Allocate(0x2000);
        Host().carObject = car;
        shifter = control->shifterPage;
        for (int i = 0; i < shifter_rows::kCount; ++i)
            shifter->items[static_cast<size_t>(shifter->firstBindingIndex + i)]->SetValue(
                "#" + std::to_string(i) + " Bench Shifter");
        job.AddListener(shifter);
        StartJob();
        shifter->Engine().driving = true;
        shifter->Engine().ChangeState([&](GearState& s) {
            s.currentType = 1;
            s.clutchNeeded = 0;
        });
    }
    SDL_Event Button(int button, bool down) const {
        SDL_Event event{};
        event.type = down ? SDL_EVENT_JOYSTICK_BUTTON_DOWN : SDL_EVENT_JOYSTICK_BUTTON_UP;
        event.jbutton.which = pad;
        event.jbutton.button = static_cast<Uint8>(button);
        event.jbutton.down = down;
        return event;
    }
    int32_t Gear() const { return static_cast<int32_t>(arena.ReadU32(car + kCarGear)); }

    KVTShifter* shifter = nullptr;
    uint32_t car = 0;
};
