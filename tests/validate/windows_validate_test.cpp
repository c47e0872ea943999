// The validator's cases over the Windows DLL, under Wine. The DLL exports no catalog, so the
// halves come from the module sources (scanned at build time) and the pins from probing
// (probeSubject). The cases run in this process, one after the other: a crash or a hang ends
// this test program rather than one case, and without the allocator hooks of zrhost the
// audio-thread allocation check is left to the Linux run.
#include "host/module_library.h"
#include "host/text.h"
#include "tools/validate/validator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using zrvalidate::Half;

struct Registration {
    const char16_t* id;
    Half half;
};

constexpr Registration kRegistered[] = {
#include "registered_halves.inc"
};

// Runs every case of one half; an empty string when all pass, else the first failure.
std::string validateHalf(zrhost::ModuleLibrary& library, const zrvalidate::Subject& subject,
                         Half half, std::uint64_t seed) {
    for (zrvalidate::Case c : zrvalidate::casesFor(half)) {
        const std::string failure = zrvalidate::runCase(
            library, subject, half, c, zrvalidate::caseSeed(seed, subject.info.id, c));
        if (!failure.empty())
            return std::string("FAIL in ") + zrvalidate::caseName(c) + ": " + failure;
    }
    return {};
}

TEST(WindowsValidate, EveryRegisteredHalfPasses) {
    auto& library = zrhost::ModuleLibrary::shared(ZR_MODULE_LIBRARY_PATH);
    const auto start = std::chrono::steady_clock::now();
    int halves = 0;
    for (const Registration& r : kRegistered) {
        const std::string id = zrhost::toUtf8(r.id);
        const std::string failure =
            validateHalf(library, zrvalidate::probeSubject(library, id), r.half, 1);
        std::printf("%s [%s]: %s\n", id.c_str(), zrvalidate::halfName(r.half),
                    failure.empty() ? "pass" : failure.c_str());
        EXPECT_EQ(failure, "") << id;
        ++halves;
    }
    std::printf("%d halves, %.1f s\n", halves,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

// The checks that need no hooks catch their faults here too.
TEST(WindowsValidate, FaultsOfTestModulesAreCaught) {
    auto& library = zrhost::ModuleLibrary::shared(ZR_FAULTY_LIBRARY_PATH);
    const struct {
        const char* id;
        const char* expected; // empty: passes
    } cases[] = {
        {"ZR Test Clean", ""},
        {"ZR Test Writes Before", "write before the buffer of pin 1"},
        {"ZR Test Sends NaN", "sample 0 is NaN from finite input"},
    };
    for (const auto& c : cases) {
        const std::string failure =
            validateHalf(library, zrvalidate::probeSubject(library, c.id), Half::Audio, 1);
        if (*c.expected == 0)
            EXPECT_EQ(failure, "") << c.id;
        else
            EXPECT_NE(failure.find(c.expected), std::string::npos) << c.id << ": " << failure;
    }
}

} // namespace
