// The GearGate page: its eighteen rows and their binding capture, and the
// shifter engine (shifter_engine.cpp) that turns the bound rows into gears
// written into the host's car. It is an input listener of the job.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "core/mutex.h"
#include "core/plugin_base.h"
#include "input/binding_capture.h"
#include "input/sdl_listener.h"

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

class KVTShifter : public CPluginBase, public Input::SDLListener {
public:
    KVTShifter(IHostGame* game, std::string name, std::atomic<bool>* enableFlag, CPluginBase* parent);
    ~KVTShifter() override;
    const char* KVT_THISCALL GetPluginName() override;
    float DrawMenuItem(int32_t selected, MenuItem* item, int32_t position, int32_t localSelected, float x,
                       float y, float lineHeight) override;
    bool HandleMenuInput(int32_t* selected, char textKey, bool* up, bool* down, bool left, bool right,
                         bool select) override;

    // Reactions to the host's game modes (241, 13, 3).
    void LoadShiftDeadzone();
    void SetupForCar();
    void RestoreHostGearbox() KVT_EXCLUDES(gearboxLock_);
    void SetGearGateEnabled(bool on);

    // The engine, on the job's thread.
    void OnTick() override;
    void OnInputEvent(const SDL_Event& event) override;
    bool IsDeviceBound(const std::string& deviceName) override;
    bool IsJoystickBound(SDL_JoystickID id) override;
    // Releases every held row (a held Toggle Type toggles once).
    void OnDevicesDisconnected() override;

    void ToggleShifterType();
    void ApplyHostGearbox(int32_t type) KVT_EXCLUDES(gearboxLock_);

    // True exactly while the host's game mode is 1.
    std::atomic<bool> driving{false};
    Input::BindingCapture capture;
    int32_t firstBindingIndex = -1;
    int32_t lastBindingIndex = -1;
    // Written by the job's thread, cleared by the host's too.
    std::array<std::atomic<int32_t>, shifter_rows::kCount> pressedFlags{};
    std::array<std::atomic<float>, 8> upshiftTable{};
    std::atomic<int32_t> currentType{0};
    std::atomic<int32_t> clutchNeeded{1};
    std::atomic<bool> fadePending{false};
    std::atomic<bool> grinding{false};
    std::atomic<int32_t> topGear{gears::kTop};
    std::atomic<int32_t> requestedGear{gears::kNeutral};
    std::atomic<int32_t> appliedGear{gears::kNeutral};
    std::atomic<int32_t> shiftDeadzoneMs{0};
    // The type of the distribution's configured car (3, unknown, until a
    // stage loads), found on the host's thread at the stage load and the car
    // set-up, so a toggle to Auto detected on the job's thread never waits on
    // car files.
    std::atomic<int32_t> configuredCarType{3};
    bool listenerRegistered = false;

    // The host's gearbox option words as they were before GearGate set them
    // (none or four).
    std::vector<int32_t> SavedHostWords() const KVT_EXCLUDES(gearboxLock_);

private:
    MenuItem* Row(int index) const;
    void ClearPressed();
    // A row's release as a button up makes it: the flag, and the toggle
    // unless the release event is no player's (none: the devices closed).
    bool ReleaseRow(int index, const SDL_Event* release);
    bool NoGearRowHeld() const;
    // The type a stored Auto detected stands for.
    int32_t ResolvedType(int32_t type) const;
    void ApplyHPatternGear();
    void SequentialUp();
    void SequentialDown();
    void SequentialNeutral();
    void AnnounceShifterType(int32_t type);
    void SendGearboxMessage(int32_t type);
    void RestoreLocked() KVT_REQUIRES(gearboxLock_);

    // Toggles run on the job's thread, mode changes on the host's.
    mutable kvt::Mutex gearboxLock_;
    std::vector<int32_t> savedHostWords_ KVT_GUARDED_BY(gearboxLock_);
    // Whether the last tick's game could see gears; the job's thread only.
    bool wasInPlay_ = false;
};

// The last accepted sequential shifts, process-wide.
extern std::atomic<uint32_t> g_lastUpShiftTime;
extern std::atomic<uint32_t> g_lastDownShiftTime;
