// The simulated keyboard of the native tests: DirectInput's keyboard as the
// reader relies on it (acquire rules, foreground loss, S_FALSE when already
// acquired, key names), scripted by the tests and watching for misuse.
#include "platform/sim/sim_keyboard.h"

#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/mutex.h"

// The opaque handles of the seam are the simulation's own records.
struct platform::DirectInputObject {
    bool released = false;
};

struct platform::KeyboardDevice {
    bool released = false;
    bool formatSet = false;
    bool acquired = false;
    int inUse = 0;
    // Keys down when it was acquired, which it does not show (Wine's way).
    bool hidden[platform::kKeyCount] = {};
};

namespace platform {
namespace {
// DirectInput's failure codes the reader can meet.
constexpr InputResult kNotAcquired = static_cast<InputResult>(0x8007000C);
constexpr InputResult kOtherAppHasPriority = static_cast<InputResult>(0x80070005);
constexpr InputResult kInvalidParameter = static_cast<InputResult>(0x80070057);
constexpr InputResult kNotFound = static_cast<InputResult>(0x80070002);
constexpr InputResult kGenericFailure = static_cast<InputResult>(0x80004005);

constexpr int kCallKinds = static_cast<int>(sim::KeyboardCall::ReadName) + 1;

kvt::Mutex g_keyboardSimLock;
struct SimKeyboard {
    uint8_t keys[kKeyCount] = {};
    std::map<int32_t, std::u16string> names;
    InputResult failWith[kCallKinds] = {};
    bool yieldsNull[kCallKinds] = {};
    bool throws[kCallKinds] = {};
    bool inFront = true;
    bool acquireHidesHeldKeys = false;
    std::function<void()> hooks[kCallKinds];
    sim::KeyboardCounts counts;
    // Every record ever handed out stays here, so a use after release is
    // counted instead of touching freed memory.
    std::vector<std::unique_ptr<DirectInputObject>> objects;
    std::vector<std::unique_ptr<KeyboardDevice>> devices;
};
SimKeyboard g_sim KVT_GUARDED_BY(g_keyboardSimLock);

// The scripted outcome of a call: throws, or a failure to return, or 0.
InputResult Scripted(sim::KeyboardCall call) KVT_REQUIRES(g_keyboardSimLock) {
    const int index = static_cast<int>(call);
    if (g_sim.throws[index]) throw std::runtime_error("simulated DirectInput fault");
    return g_sim.failWith[index];
}

// False, counted, for a device already released.
bool Alive(const KeyboardDevice* device) KVT_REQUIRES(g_keyboardSimLock) {
    if (!device->released) return true;
    ++g_sim.counts.callsAfterRelease;
    return false;
}
}  // namespace

InputResult CreateDirectInput(DirectInputObject** object) {
    kvt::MutexLock lock(g_keyboardSimLock);
    *object = nullptr;
    if (const InputResult failed = Scripted(sim::KeyboardCall::CreateDirectInput)) return failed;
    if (g_sim.yieldsNull[static_cast<int>(sim::KeyboardCall::CreateDirectInput)]) return kInputOk;
    ++g_sim.counts.directInputsCreated;
    g_sim.objects.push_back(std::make_unique<DirectInputObject>());
    *object = g_sim.objects.back().get();
    return kInputOk;
}

void ReleaseDirectInput(DirectInputObject* object) {
    kvt::MutexLock lock(g_keyboardSimLock);
    if (object->released) ++g_sim.counts.callsAfterRelease;
    object->released = true;
    ++g_sim.counts.directInputsReleased;
}

InputResult CreateSystemKeyboard(DirectInputObject* object, KeyboardDevice** device) {
    kvt::MutexLock lock(g_keyboardSimLock);
    *device = nullptr;
    if (object->released) {
        ++g_sim.counts.callsAfterRelease;
        return kGenericFailure;
    }
    if (const InputResult failed = Scripted(sim::KeyboardCall::CreateDevice)) return failed;
    if (g_sim.yieldsNull[static_cast<int>(sim::KeyboardCall::CreateDevice)]) return kInputOk;
    ++g_sim.counts.devicesCreated;
    g_sim.devices.push_back(std::make_unique<KeyboardDevice>());
    *device = g_sim.devices.back().get();
    return kInputOk;
}

// One call on a device: counted as in use while its hook runs (without the
// simulation's lock, so the hook may drive the reader from other threads),
// then the script's outcome, then the call's own work under the lock.
template <typename Work>
InputResult DeviceCall(KeyboardDevice* device, sim::KeyboardCall call, Work work) {
    std::function<void()> hook;
    {
        kvt::MutexLock lock(g_keyboardSimLock);
        if (!Alive(device)) return kGenericFailure;
        ++device->inUse;
        hook = g_sim.hooks[static_cast<int>(call)];
    }
    if (hook) hook();
    kvt::MutexLock lock(g_keyboardSimLock);
    --device->inUse;
    if (const InputResult failed = Scripted(call)) return failed;
    return work();
}

InputResult SetKeyboardDataFormat(KeyboardDevice* device) {
    return DeviceCall(device, sim::KeyboardCall::SetDataFormat, [&]() KVT_REQUIRES(g_keyboardSimLock) {
        device->formatSet = true;
        ++g_sim.counts.formatsSet;
        return kInputOk;
    });
}

InputResult SetKeyboardCooperativeLevel(KeyboardDevice* device, uint32_t window, uint32_t flags) {
    return DeviceCall(device, sim::KeyboardCall::SetCooperativeLevel, [&]() KVT_REQUIRES(g_keyboardSimLock) {
        g_sim.counts.lastWindow = window;
        g_sim.counts.lastFlags = flags;
        return kInputOk;
    });
}

InputResult AcquireKeyboard(KeyboardDevice* device) {
    return DeviceCall(device, sim::KeyboardCall::Acquire, [&]() KVT_REQUIRES(g_keyboardSimLock) {
        ++g_sim.counts.acquires;
        if (!device->formatSet) return kInvalidParameter;
        if (!g_sim.inFront) return kOtherAppHasPriority;
        if (device->acquired) return kInputAlreadyAcquired;
        device->acquired = true;
        for (int key = 0; key < kKeyCount; ++key)
            device->hidden[key] = g_sim.acquireHidesHeldKeys && g_sim.keys[key] != 0;
        return kInputOk;
    });
}

InputResult UnacquireKeyboard(KeyboardDevice* device) {
    return DeviceCall(device, sim::KeyboardCall::Unacquire, [&]() KVT_REQUIRES(g_keyboardSimLock) {
        ++g_sim.counts.unacquires;
        const bool was = device->acquired;
        device->acquired = false;
        return was ? kInputOk : kInputAlreadyAcquired;
    });
}

InputResult ReadKeyboardState(KeyboardDevice* device, uint8_t (&state)[kKeyCount]) {
    return DeviceCall(device, sim::KeyboardCall::ReadState, [&]() KVT_REQUIRES(g_keyboardSimLock) {
        ++g_sim.counts.stateReads;
        if (!device->acquired) return kNotAcquired;
        for (int key = 0; key < kKeyCount; ++key) state[key] = device->hidden[key] ? 0 : g_sim.keys[key];
        return kInputOk;
    });
}

InputResult ReadKeyName(KeyboardDevice* device, int32_t key, std::u16string* name) {
    name->clear();
    return DeviceCall(device, sim::KeyboardCall::ReadName, [&]() KVT_REQUIRES(g_keyboardSimLock) {
        ++g_sim.counts.nameReads;
        if (device->acquired) ++g_sim.counts.nameReadsOnConnectedDevice;
        auto found = g_sim.names.find(key);
        if (found == g_sim.names.end()) return kNotFound;
        *name = found->second;
        return kInputOk;
    });
}

void ReleaseKeyboard(KeyboardDevice* device) {
    kvt::MutexLock lock(g_keyboardSimLock);
    if (!Alive(device)) return;
    if (device->inUse > 0) ++g_sim.counts.releasesWhileInUse;
    device->released = true;
    device->acquired = false;
    ++g_sim.counts.devicesReleased;
}

namespace sim {

void ResetKeyboard() {
    kvt::MutexLock lock(g_keyboardSimLock);
    for (uint8_t& key : g_sim.keys) key = 0;
    g_sim.names.clear();
    for (int call = 0; call < kCallKinds; ++call) {
        g_sim.failWith[call] = 0;
        g_sim.yieldsNull[call] = false;
        g_sim.throws[call] = false;
    }
    g_sim.inFront = true;
    g_sim.acquireHidesHeldKeys = false;
    for (auto& hook : g_sim.hooks) hook = nullptr;
    g_sim.counts = KeyboardCounts{};
}

void SetKeyDown(int32_t key, bool down) {
    kvt::MutexLock lock(g_keyboardSimLock);
    if (key < 0 || key >= kKeyCount) return;
    g_sim.keys[key] = down ? 0x80 : 0x00;
    // A hidden key's release goes unseen; its next press is shown.
    if (!down)
        for (const auto& device : g_sim.devices) device->hidden[key] = false;
}

void SetAcquireHidesHeldKeys(bool hides) {
    kvt::MutexLock lock(g_keyboardSimLock);
    g_sim.acquireHidesHeldKeys = hides;
}

void SetKeyName(int32_t key, const std::u16string& name) {
    kvt::MutexLock lock(g_keyboardSimLock);
    g_sim.names[key] = name;
}

void FailCall(KeyboardCall call, InputResult result) {
    kvt::MutexLock lock(g_keyboardSimLock);
    g_sim.failWith[static_cast<int>(call)] = result;
}

void CreateYieldsNull(KeyboardCall call, bool yieldsNull) {
    kvt::MutexLock lock(g_keyboardSimLock);
    g_sim.yieldsNull[static_cast<int>(call)] = yieldsNull;
}

void ThrowOnCall(KeyboardCall call, bool throws) {
    kvt::MutexLock lock(g_keyboardSimLock);
    g_sim.throws[static_cast<int>(call)] = throws;
}

void SetWindowInFront(bool inFront) {
    kvt::MutexLock lock(g_keyboardSimLock);
    g_sim.inFront = inFront;
    if (inFront) return;
    for (const auto& device : g_sim.devices) device->acquired = false;
}

void SetCallHook(KeyboardCall call, std::function<void()> hook) {
    kvt::MutexLock lock(g_keyboardSimLock);
    g_sim.hooks[static_cast<int>(call)] = std::move(hook);
}

KeyboardCounts KeyboardCallCounts() {
    kvt::MutexLock lock(g_keyboardSimLock);
    return g_sim.counts;
}

}  // namespace sim
}  // namespace platform
