// A test's own hold on the stand-in VR plug-in the bridge loaded: the same
// library reached a second time by its path, for its answers and its record.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/modules.h"
#include "shared/vr_standin.h"

namespace kvt_test {

class VrStandInLink {
public:
    ~VrStandInLink() { Release(); }
    // Loads the library at that path, sets its answers and forgets its
    // record; false when the library or one of its exports is missing.
    bool Attach(const std::string& path, int32_t apiLevel, int32_t seatAnswer) {
        Release();
        module_ = platform::OpenModule(path);
        if (!module_) return false;
        auto answers =
            reinterpret_cast<VrStandInSetAnswers>(platform::FindModuleExport(module_, kVrStandInAnswers));
        takeCalls_ =
            reinterpret_cast<VrStandInTakeCalls>(platform::FindModuleExport(module_, kVrStandInTakeCalls));
        if (!answers || !takeCalls_) return false;
        answers(apiLevel, seatAnswer);
        takeCalls_(nullptr, 0);
        return true;
    }
    // The calls since the last look, oldest first, at most room of them.
    std::vector<VrCall> Calls(int32_t room = 16) {
        std::vector<VrCall> calls(static_cast<size_t>(room));
        const int32_t count = takeCalls_ ? takeCalls_(calls.data(), room) : 0;
        calls.resize(static_cast<size_t>(std::min(count, room)));
        return calls;
    }
    void Release() {
        platform::ReleaseModule(module_);
        module_ = nullptr;
        takeCalls_ = nullptr;
    }

private:
    platform::ModuleHandle module_ = nullptr;
    VrStandInTakeCalls takeCalls_ = nullptr;
};

}  // namespace kvt_test
