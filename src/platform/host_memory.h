// The host's 32-bit address space as the plug-in sees it. A host address is a
// uint32_t; the view turns it into a pointer (origin + address). On Windows the
// origin is 0; in the native tests it is a buffer that plays the host's memory,
// so a host pointer is always read as 4 bytes, never as a native pointer.
#pragma once

#include <cstdint>
#include <cstring>

namespace platform {

struct HostMemoryView {
    uintptr_t origin = 0;
    // Size of the addressable range; 0 means unchecked (the real process).
    uint64_t size = 0;
};

HostMemoryView& HostMemory();

// The lowest 64 KiB of a Windows process are never mapped, so a null host
// pointer plus a field offset lands there; such an address is never touched.
inline constexpr uint32_t kLowestHostAddress = 0x10000;

// True when [address, address + length) may be read: above the null region and,
// in the native tests, inside the buffer that plays the host's memory.
bool HostRangeValid(uint32_t address, uint32_t length);

inline void* HostPointer(uint32_t address) {
    return reinterpret_cast<void*>(HostMemory().origin + address);
}

// The host's threads change its memory while the plug-in's two threads read
// it, so an aligned word is read and written whole, as one access (on i686 a
// plain move; in the native tests this tells the thread checker the same).
template <typename T>
T HostRead(uint32_t address) {
    T value{};
    if (!HostRangeValid(address, sizeof(T))) return value;
    if constexpr (sizeof(T) == 4) {
        if (address % 4 == 0) {
            const uint32_t word = __atomic_load_n(static_cast<uint32_t*>(HostPointer(address)), __ATOMIC_RELAXED);
            std::memcpy(&value, &word, sizeof value);
            return value;
        }
    }
    std::memcpy(&value, HostPointer(address), sizeof(T));
    return value;
}

template <typename T>
void HostWrite(uint32_t address, const T& value) {
    if (!HostRangeValid(address, sizeof(T))) return;
    if constexpr (sizeof(T) == 4) {
        if (address % 4 == 0) {
            uint32_t word;
            std::memcpy(&word, &value, sizeof word);
            __atomic_store_n(static_cast<uint32_t*>(HostPointer(address)), word, __ATOMIC_RELAXED);
            return;
        }
    }
    std::memcpy(HostPointer(address), &value, sizeof(T));
}

// A host pointer stored at a host address.
inline uint32_t HostReadPointer(uint32_t address) {
    return HostRead<uint32_t>(address);
}

}  // namespace platform
