// The binding pages' shared menu steps and device answers.
#include "input/binding_page.h"

#include "core/setting_id.h"
#include "input/binding_text.h"
#include "input/sdl_backend.h"
#include "platform/platform.h"

namespace Input {
namespace {
constexpr int32_t kVkDelete = 0x2E;
}  // namespace

bool BindingPage::IsDeviceBound(const std::string& deviceName) {
    return PageBindsDevice(*this, deviceName);
}

bool BindingPage::IsJoystickBound(SDL_JoystickID id) {
    return PageBindsJoystick(*this, Job().Marks(), id);
}

float BindingPage::DrawMenuItem(int32_t, MenuItem* item, int32_t, int32_t, float x, float y,
                                float lineHeight) {
    return capture.DrawCountdown(game, item, x, y, lineHeight, Job());
}

bool BindingPage::JoinJob() {
    if (listenerRegistered) return false;
    listenerRegistered = true;
    GetBackend().AddListener(this);
    return true;
}

void BindingPage::LeaveJob() {
    GetBackend().RemoveListener(this);
}

void BindingPage::StartCapture(MenuItem* item) {
    if (item->enabled && PageEnabled() && item->group == KEYBIND)
        capture.Start(item, platform::ClockMs(), Job());
}

bool BindingPage::UnbindWhileDeleteHeld(MenuItem& item) {
    if (item.TextEquals("") || !platform::AsyncKeyDown(kVkDelete)) return false;
    item.SetValue("");
    return true;
}

void BindingPage::ConnectAsSwitched(bool on) {
    SDLBackend& job = Job();
    if (!on) job.DisconnectAllDevices();
    job.ConnectBoundDevices(false, false);
}

}  // namespace Input
