// The patch writer and the hooks in a real process under Wine: WriteJump on an
// executable page writes the bytes it should, the jump lands where it should,
// the page's protection comes back; each hook keeps the registers the host
// relies on and continues where it is told; the module lookup of the hub patch.
#include "core/code_patch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/code_memory.h"
#include "plugin/kvt_control.h"
#include "plugin/patch_hooks.h"

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

// Register values going into a hook and coming out of it (on x86_64 the
// whole registers, eax naming RAX, and R8-R15 too).
#if defined(__i386__)
using Word = uint32_t;
struct Registers {
    Word eax, ecx, edx, ebx, esi, edi;
};
#else
using Word = uint64_t;
struct Registers {
    Word eax, ecx, edx, ebx, esi, edi;
    Word r8, r9, r10, r11, r12, r13, r14, r15;
};
#endif

extern "C" {
Registers g_in asm("kvt_test_in");
Registers g_out asm("kvt_test_out");
Word g_hook asm("kvt_test_hook");
void kvt_test_call_hook() asm("kvt_test_call_hook");
}

// Calls the hook with g_in in the registers and stores what comes back in
// g_out. The hook ends by jumping to its continuation, set to a RET.
#if defined(__i386__)
asm(".text\n"
    "kvt_test_call_hook:\n"
    "    pushl %ebp\n"
    "    pushl %ebx\n"
    "    pushl %esi\n"
    "    pushl %edi\n"
    "    movl kvt_test_in+0, %eax\n"
    "    movl kvt_test_in+4, %ecx\n"
    "    movl kvt_test_in+8, %edx\n"
    "    movl kvt_test_in+12, %ebx\n"
    "    movl kvt_test_in+16, %esi\n"
    "    movl kvt_test_in+20, %edi\n"
    "    call *kvt_test_hook\n"
    "    movl %eax, kvt_test_out+0\n"
    "    movl %ecx, kvt_test_out+4\n"
    "    movl %edx, kvt_test_out+8\n"
    "    movl %ebx, kvt_test_out+12\n"
    "    movl %esi, kvt_test_out+16\n"
    "    movl %edi, kvt_test_out+20\n"
    "    popl %edi\n"
    "    popl %esi\n"
    "    popl %ebx\n"
    "    popl %ebp\n"
    "    ret\n");
#else
#define KVT_TEST_REGISTERS(op, from, to)                                                            \
    op(rax, 0, from, to) op(rcx, 8, from, to) op(rdx, 16, from, to) op(rbx, 24, from, to)           \
        op(rsi, 32, from, to) op(rdi, 40, from, to) op(r8, 48, from, to) op(r9, 56, from, to)       \
            op(r10, 64, from, to) op(r11, 72, from, to) op(r12, 80, from, to) op(r13, 88, from, to) \
                op(r14, 96, from, to) op(r15, 104, from, to)
#define KVT_TEST_LOAD(reg, at, from, to) "    movq " #from "+" #at "(%rip), %" #reg "\n"
#define KVT_TEST_STORE(reg, at, from, to) "    movq %" #reg ", " #to "+" #at "(%rip)\n"
asm(".text\n"
    ".seh_proc kvt_test_call_hook\n"
    "kvt_test_call_hook:\n"
    "    pushq %rbp\n"
    "    .seh_pushreg %rbp\n"
    "    pushq %rbx\n"
    "    .seh_pushreg %rbx\n"
    "    pushq %rsi\n"
    "    .seh_pushreg %rsi\n"
    "    pushq %rdi\n"
    "    .seh_pushreg %rdi\n"
    "    pushq %r12\n"
    "    .seh_pushreg %r12\n"
    "    pushq %r13\n"
    "    .seh_pushreg %r13\n"
    "    pushq %r14\n"
    "    .seh_pushreg %r14\n"
    "    pushq %r15\n"
    "    .seh_pushreg %r15\n"
    "    subq $8, %rsp\n"
    "    .seh_stackalloc 8\n"
    "    .seh_endprologue\n" KVT_TEST_REGISTERS(KVT_TEST_LOAD, kvt_test_in, _)
    "    call *kvt_test_hook(%rip)\n" KVT_TEST_REGISTERS(KVT_TEST_STORE, _, kvt_test_out)
    "    addq $8, %rsp\n"
    "    popq %r15\n"
    "    popq %r14\n"
    "    popq %r13\n"
    "    popq %r12\n"
    "    popq %rdi\n"
    "    popq %rsi\n"
    "    popq %rbx\n"
    "    popq %rbp\n"
    "    ret\n"
    "    .seh_endproc\n");
#endif

void CallHook(uint32_t hook) {
    g_hook = hook;
    kvt_test_call_hook();
}

// Distinct values in every register, the upper halves marked on x86_64.
Registers Marked(Word eax, Word esi, Word edi) {
    Registers in{};
    Word* words = reinterpret_cast<Word*>(&in);
    for (size_t i = 0; i < sizeof in / sizeof(Word); ++i)
        words[i] = static_cast<Word>(0x6B767400u + i) | static_cast<Word>(0x5A5A5A5A00000000ull);
    in.eax = eax;
    in.esi = esi;
    in.edi = edi;
    return in;
}

#if defined(__x86_64__)
// Which registers came back changed, by their offset in Registers.
std::string Changed(const Registers& in, const Registers& out, bool withEax) {
    std::string changed;
    const Word* a = reinterpret_cast<const Word*>(&in);
    const Word* b = reinterpret_cast<const Word*>(&out);
    for (size_t i = withEax ? 0 : 1; i < sizeof in / sizeof(Word); ++i)
        if (a[i] != b[i]) changed += " #" + std::to_string(i);
    return changed;
}
#endif

// The mode-store and render hooks run inside the host's instruction stream:
// every register but the one the host's own instruction sets comes back as
// it went in (on i686 the hooks' contract names ESI/EDI and ECX/EDX, and the
// called C keeps EBX, EBP; on x86_64 they keep all of them).
TEST_F(CodePage, ModeStoreHookStoresTheModeKeepsEsiEdiAndContinues) {
    ASSERT_EQ(g_instance, nullptr) << "the hook must run without a main object too";
    uint32_t state[0x800] = {};
    kvt_mode_store_continuation = Address(page);  // RET
    g_in = Marked(0xA, Address(state), 241);
    CallHook(ModeStoreHookAddress());
    EXPECT_EQ(state[0x728 / 4], 241u) << "the host's store, done by the hook";
    EXPECT_EQ(g_out.esi, g_in.esi);
    EXPECT_EQ(g_out.edi, g_in.edi);
    EXPECT_EQ(g_out.ebx, g_in.ebx);
#if defined(__x86_64__)
    EXPECT_EQ(Changed(g_in, g_out, true), "");
#endif
}

TEST_F(CodePage, RenderHookKeepsEcxEdxAndClearsEax) {
    kvt_render_continuation = Address(page);
    g_in = Marked(0x12345678, 0x5, 0x7);
    CallHook(RenderHookAddress());
    EXPECT_EQ(g_out.eax, 0u);
    EXPECT_EQ(g_out.ecx, g_in.ecx);
    EXPECT_EQ(g_out.edx, g_in.edx);
    EXPECT_EQ(g_out.ebx, g_in.ebx);
    EXPECT_EQ(g_out.esi, g_in.esi);
    EXPECT_EQ(g_out.edi, g_in.edi);
#if defined(__x86_64__)
    EXPECT_EQ(Changed(g_in, g_out, false), "");
#endif
}

TEST_F(CodePage, HubHookReturnsToItsCaller) {
    g_in = Marked(0xA, 0x5, 0x7);
    CallHook(HubHookAddress());
    EXPECT_EQ(g_out.ebx, g_in.ebx);
    EXPECT_EQ(g_out.esi, g_in.esi);
    EXPECT_EQ(g_out.edi, g_in.edi);
#if defined(__x86_64__)
    EXPECT_EQ(g_out.r12, g_in.r12);
    EXPECT_EQ(g_out.r15, g_in.r15);
#endif
}

#if defined(__x86_64__)
// On x64 a fault is dispatched by unwinding each frame from its function
// table entry: a hook without one would cut the walk, and the host's crash
// handling would never see the fault.
TEST(Win32Hooks, EachHookCarriesUnwindInformationFromItsFirstByte) {
    for (uint32_t hook : {ModeStoreHookAddress(), RenderHookAddress(), HubHookAddress()}) {
        DWORD64 imageBase = 0;
        const RUNTIME_FUNCTION* entry = RtlLookupFunctionEntry(hook, &imageBase, nullptr);
        ASSERT_NE(entry, nullptr) << std::hex << hook;
        EXPECT_EQ(imageBase + entry->BeginAddress, hook);
    }
}
#endif

TEST(Win32Modules, LoadedModulesAreFoundByName) {
    EXPECT_TRUE(platform::ModuleLoaded("kernel32.dll"));
    EXPECT_TRUE(platform::ModuleLoaded("KERNEL32.DLL"));
    EXPECT_FALSE(platform::ModuleLoaded(kHubModule));
}

}  // namespace
