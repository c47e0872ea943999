// The module DLL as a Windows host meets it: a 32-bit image loaded with LoadLibrary, two
// exports found by name, and every call across the boundary in the stdcall convention (the
// callee removes its arguments from the stack).
#include "pe_image.h"

#include "framework/mp_interfaces.h"
#include "host/module_library.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

static_assert(sizeof(void*) == 4, "the Windows build is 32-bit");

// Calls `fn` with `count` 32-bit arguments pushed right to left, stores its 32-bit result in
// `*result` and returns how many argument bytes the callee left on the stack: 0 for a stdcall
// callee, 4 × count for a cdecl one. The stack is restored either way.
extern "C" int zrCallMeasured(const void* fn, const std::uint32_t* args, int count,
                              std::uint32_t* result);
asm(R"(
    .text
    .globl _zrCallMeasured
_zrCallMeasured:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    movl %esp, %ebx
    movl 16(%ebp), %ecx
    movl 12(%ebp), %esi
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  call *8(%ebp)
    movl 20(%ebp), %ecx
    movl %eax, (%ecx)
    movl %ebx, %eax
    subl %esp, %eax
    movl %ebx, %esp
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

namespace {

std::uint32_t word(const void* p) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p));
}

// The function in slot `slot` of an interface's operation table.
const void* slot(const void* object, int slot) {
    return (*static_cast<const void* const* const*>(object))[slot];
}

class LoadedDll : public ::testing::Test {
  protected:
    void SetUp() override {
        module = LoadLibraryW(zrwin::widePath(ZR_MODULE_LIBRARY_PATH).c_str());
        ASSERT_NE(module, nullptr) << "LoadLibraryW failed with error " << GetLastError();
    }
    void TearDown() override {
        if (module) FreeLibrary(module);
    }
    const void* proc(const char* name) const {
        return reinterpret_cast<const void*>(GetProcAddress(module, name));
    }
    HMODULE module = nullptr;
};

TEST_F(LoadedDll, IsA32BitImageExportingOnlyTheFactoryAndTheEntryPoint) {
    const zrwin::PeImage image = zrwin::readPeImage(module);
    EXPECT_EQ(image.machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(image.optionalMagic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_EQ(image.exports, (std::vector<std::string>{"DllMain@12", "MP_GetFactory"}));

    // The factory under its plain name only; the entry point under its decorated name only.
    EXPECT_NE(proc("MP_GetFactory"), nullptr);
    EXPECT_NE(proc("DllMain@12"), nullptr);
    for (const char* absent : {"MP_GetFactory@4", "_MP_GetFactory@4", "DllMain", "_DllMain@12",
                               "ZrTimerTick", "ZrTimerInterval", "ZrModuleDescriptions"})
        EXPECT_EQ(proc(absent), nullptr) << absent;
}

TEST_F(LoadedDll, ImportsOnlyLibrariesOfTheSystem) {
    // The C and C++ runtimes are linked in: nothing of the compiler's own must be beside it.
    const std::vector<std::string> system = {"advapi32.dll", "gdi32.dll",   "kernel32.dll",
                                             "msvcrt.dll",   "shell32.dll", "user32.dll"};
    const zrwin::PeImage image = zrwin::readPeImage(module);
    EXPECT_FALSE(image.imports.empty());
    for (const std::string& name : image.imports)
        EXPECT_NE(std::find(system.begin(), system.end(), name), system.end()) << name;
}

TEST_F(LoadedDll, EntryPointsRemoveTheirArgumentsAndAnswerAsSpecified) {
    std::uint32_t result = 0xDEADBEEF;
    void* factory = nullptr;
    const std::uint32_t getFactoryArgs[] = {word(&factory)};
    EXPECT_EQ(zrCallMeasured(proc("MP_GetFactory"), getFactoryArgs, 1, &result), 0);
    EXPECT_EQ(static_cast<gmpi::int32>(result), gmpi::ResultOk);
    ASSERT_NE(factory, nullptr);

    // DllMain answers 1 for every reason (thread attach and detach are safe to repeat).
    for (std::uint32_t reason : {DLL_THREAD_ATTACH, DLL_THREAD_DETACH}) {
        const std::uint32_t args[] = {word(module), reason, 0};
        result = 0;
        EXPECT_EQ(zrCallMeasured(proc("DllMain@12"), args, 3, &result), 0) << reason;
        EXPECT_EQ(result, 1u) << reason;
    }

    // Interface operations too: addRef (slot 1) and release (slot 2) of the factory count
    // nothing, createInstance (slot 3) takes four arguments after the object.
    const std::uint32_t self[] = {word(factory)};
    EXPECT_EQ(zrCallMeasured(slot(factory, 1), self, 1, &result), 0);
    EXPECT_EQ(result, 16u);
    EXPECT_EQ(zrCallMeasured(slot(factory, 2), self, 1, &result), 0);
    EXPECT_EQ(result, 1u);
    void* instance = reinterpret_cast<void*>(1);
    const std::uint32_t createArgs[] = {word(factory), word(u"No Such Module"), 0, 0,
                                        word(&instance)};
    EXPECT_EQ(zrCallMeasured(slot(factory, 3), createArgs, 5, &result), 0);
    EXPECT_EQ(static_cast<gmpi::int32>(result), gmpi::ResultNoSupport);
    EXPECT_EQ(instance, nullptr);
}

TEST_F(LoadedDll, HostLibraryReachesTheSameFactory) {
    using GetFactory = gmpi::int32(__stdcall*)(void**);
    GetFactory getFactory = nullptr;
    const FARPROC address = GetProcAddress(module, "MP_GetFactory");
    static_assert(sizeof getFactory == sizeof address);
    std::memcpy(&getFactory, &address, sizeof getFactory);
    ASSERT_NE(getFactory, nullptr);
    void* unknown = nullptr;
    ASSERT_EQ(getFactory(&unknown), gmpi::ResultOk);
    void* factory = nullptr;
    ASSERT_EQ(
        static_cast<gmpi::IMpUnknown*>(unknown)->queryInterface(gmpi::MP_IID_FACTORY, &factory),
        gmpi::ResultOk);

    // LoadLibrary of a loaded DLL hands out the same module, so the same process-wide factory.
    const auto library = zrhost::ModuleLibrary::load(ZR_MODULE_LIBRARY_PATH);
    EXPECT_EQ(static_cast<void*>(library->factory()), factory);
    EXPECT_EQ(library->timerIntervalFn(), nullptr);
    EXPECT_EQ(library->moduleDescriptions(), nullptr);

    gmpi::int32 sdk = 0;
    char16_t text[32] = {};
    EXPECT_EQ(library->factory()->getBuildInformation(sdk, 32, text), gmpi::ResultOk);
    EXPECT_EQ(sdk, 30400);
    EXPECT_EQ(std::u16string(text), u"MS Compiler V1600");
}

} // namespace
