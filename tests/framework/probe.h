// Shared helpers of the framework tests: the test-module library and the log that
// "ZR Test Probe" reports on its MIDI output.
#pragma once

#include "host/audio_module.h"
#include "host/event_list.h"
#include "host/host_context.h"
#include "host/module_library.h"
#include "tests/framework/probe_protocol.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace probe {

inline zrhost::ModuleLibrary& testLibrary() {
    return zrhost::ModuleLibrary::shared(ZR_TEST_MODULE_LIBRARY_PATH);
}

inline zrhost::ModuleLibrary& shippedLibrary() {
    return zrhost::ModuleLibrary::shared(ZR_MODULE_LIBRARY_PATH);
}

struct Probe {
    zrhost::HostContext context;
    zrhost::AudioModule module{testLibrary(), u"ZR Test Probe", context};

    Probe() {
        EXPECT_TRUE(module.valid());
        module.attachOwnBuffer(AudioIn);
        module.attachOwnBuffer(AudioOut);
        module.open();
    }

    // Every log line so far, optionally only those of one block.
    std::vector<std::string> log(std::int64_t block = -2) const {
        std::vector<std::string> lines;
        for (const auto& call : module.valuesSent(Log))
            if (block == -2 || call.block == block)
                lines.emplace_back(call.bytes.begin(), call.bytes.end());
        return lines;
    }
    bool run(const zrhost::EventList& events) { return module.processBlock(events); }
    bool run() { return module.processBlock(zrhost::EventList{}); }
};

using Lines = std::vector<std::string>;

} // namespace probe
