// The patch writer and the hooks in a real process under Wine: WriteJump on an
// executable page writes the bytes it should, the jump lands where it should,
// the page's protection comes back; each hook keeps the registers the host
// relies on and continues where it is told; the module lookup of the hub patch.
#include "core/code_patch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "plugin/kvt_control.h"
#include "plugin/patch_hooks.h"
#include "platform/code_memory.h"

namespace {

uint32_t Address(const void* pointer) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

// One page of code: starts as RET everywhere, with MOV EAX, 42; RET at 0x100.
class CodePage : public ::testing::Test {
protected:
    void SetUp() override {
        page = static_cast<uint8_t*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        ASSERT_NE(page, nullptr);
        std::memset(page, 0xC3, 4096);
        const uint8_t answer[] = {0xB8, 0x2A, 0x00, 0x00, 0x00, 0xC3};
        std::memcpy(page + 0x100, answer, sizeof answer);
        DWORD old;
        ASSERT_TRUE(VirtualProtect(page, 4096, PAGE_EXECUTE_READ, &old));
    }
    void TearDown() override { VirtualFree(page, 0, MEM_RELEASE); }

    DWORD ProtectionAt(const void* address) {
        MEMORY_BASIC_INFORMATION info{};
        VirtualQuery(address, &info, sizeof info);
        return info.Protect;
    }

    uint8_t* page = nullptr;
};

TEST_F(CodePage, WriteJumpWritesTheJumpAndRestoresTheProtection) {
    ASSERT_TRUE(WriteJump(Address(page), Address(page + 0x100), true));
    const uint8_t six[] = {0xE9, 0xFB, 0x00, 0x00, 0x00, 0x90};
    EXPECT_EQ(std::memcmp(page, six, sizeof six), 0);
    EXPECT_EQ(page[6], 0xC3);
    EXPECT_EQ(ProtectionAt(page), static_cast<DWORD>(PAGE_EXECUTE_READ));
    auto jumped = reinterpret_cast<int (*)()>(page);
    EXPECT_EQ(jumped(), 42) << "the jump lands on its target";

    // Five bytes, backwards: from 0x200 to 0x100.
    ASSERT_TRUE(WriteJump(Address(page + 0x200), Address(page + 0x100), false));
    const uint8_t five[] = {0xE9, 0xFB, 0xFE, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(page + 0x200, five, sizeof five), 0);
    EXPECT_EQ(page[0x205], 0xC3);
    EXPECT_EQ(reinterpret_cast<int (*)()>(page + 0x200)(), 42);
    EXPECT_EQ(ProtectionAt(page + 0x200), static_cast<DWORD>(PAGE_EXECUTE_READ));
}

TEST_F(CodePage, WriteJumpFailsForANullOrUnmappedSite) {
    EXPECT_FALSE(WriteJump(0, Address(page), true));
    void* reserved = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(reserved, nullptr);
    EXPECT_FALSE(WriteJump(Address(reserved), Address(page), true));
    VirtualFree(reserved, 0, MEM_RELEASE);
}

// Register values going into a hook and coming out of it.
struct Registers {
    uint32_t eax, ecx, edx, ebx, esi, edi;
};
Registers g_in, g_out;
uint32_t g_hook;

// Calls the hook with g_in in the registers and stores what comes back in
// g_out. The hook ends by jumping to its continuation, set to a RET.
void CallHook(uint32_t hook) {
    g_hook = hook;
    asm volatile(
        "pushl %%ebp\n\t"
        "pushl %%ebx\n\t"
        "pushl %%esi\n\t"
        "pushl %%edi\n\t"
        "movl %[in]+0, %%eax\n\t"
        "movl %[in]+4, %%ecx\n\t"
        "movl %[in]+8, %%edx\n\t"
        "movl %[in]+12, %%ebx\n\t"
        "movl %[in]+16, %%esi\n\t"
        "movl %[in]+20, %%edi\n\t"
        "call *%[hook]\n\t"
        "movl %%eax, %[out]+0\n\t"
        "movl %%ecx, %[out]+4\n\t"
        "movl %%edx, %[out]+8\n\t"
        "movl %%ebx, %[out]+12\n\t"
        "movl %%esi, %[out]+16\n\t"
        "movl %%edi, %[out]+20\n\t"
        "popl %%edi\n\t"
        "popl %%esi\n\t"
        "popl %%ebx\n\t"
        "popl %%ebp\n\t"
        : [out] "=m"(g_out)
        : [in] "m"(g_in), [hook] "m"(g_hook)
        : "eax", "ecx", "edx", "memory", "cc");
}

TEST_F(CodePage, ModeStoreHookStoresTheModeKeepsEsiEdiAndContinues) {
    ASSERT_EQ(g_instance, nullptr) << "the hook must run without a main object too";
    uint32_t state[0x800] = {};
    kvt_mode_store_continuation = Address(page);  // RET
    g_in = {0xA, 0xC, 0xD, 0xB, Address(state), 241};
    CallHook(ModeStoreHookAddress());
    EXPECT_EQ(state[0x728 / 4], 241u) << "the host's store, done by the hook";
    EXPECT_EQ(g_out.esi, g_in.esi);
    EXPECT_EQ(g_out.edi, g_in.edi);
    EXPECT_EQ(g_out.ebx, g_in.ebx);
}

TEST_F(CodePage, RenderHookKeepsEcxEdxAndClearsEax) {
    kvt_render_continuation = Address(page);
    g_in = {0x12345678, 0xC, 0xD, 0xB, 0x5, 0x7};
    CallHook(RenderHookAddress());
    EXPECT_EQ(g_out.eax, 0u);
    EXPECT_EQ(g_out.ecx, g_in.ecx);
    EXPECT_EQ(g_out.edx, g_in.edx);
    EXPECT_EQ(g_out.ebx, g_in.ebx);
    EXPECT_EQ(g_out.esi, g_in.esi);
    EXPECT_EQ(g_out.edi, g_in.edi);
}

TEST_F(CodePage, HubHookReturnsToItsCaller) {
    g_in = {0xA, 0xC, 0xD, 0xB, 0x5, 0x7};
    CallHook(HubHookAddress());
    EXPECT_EQ(g_out.ebx, g_in.ebx);
    EXPECT_EQ(g_out.esi, g_in.esi);
    EXPECT_EQ(g_out.edi, g_in.edi);
}

TEST(Win32Modules, LoadedModulesAreFoundByName) {
    EXPECT_TRUE(platform::ModuleLoaded("kernel32.dll"));
    EXPECT_TRUE(platform::ModuleLoaded("KERNEL32.DLL"));
    EXPECT_FALSE(platform::ModuleLoaded(kHubModule));
}

}  // namespace
