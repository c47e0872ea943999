// Shared rig for the converter and scaling tests: pin values as raw bytes, and a script of
// steps (a value delivered to one pin, what must come out) run against an audio half block by
// block or against a GUI half notification by notification.
#pragma once

#include "host/audio_module.h"
#include "host/gui_module.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace convtest {

using gmpi::int32;
using Bytes = std::vector<std::uint8_t>;

inline Bytes I(int32 v) {
    Bytes b(4);
    std::memcpy(b.data(), &v, 4);
    return b;
}
inline Bytes F(float v) {
    Bytes b(4);
    std::memcpy(b.data(), &v, 4);
    return b;
}
inline Bytes B(bool v) {
    return Bytes{static_cast<std::uint8_t>(v)};
}
inline Bytes T(std::u16string_view text) {
    Bytes b(text.size() * 2);
    if (!b.empty()) std::memcpy(b.data(), text.data(), b.size());
    return b;
}
inline Bytes X(std::initializer_list<std::uint8_t> bytes) {
    return Bytes(bytes);
}

inline std::unique_ptr<zrhost::ModuleLibrary> loadLibrary() {
    return zrhost::ModuleLibrary::load(ZR_MODULE_LIBRARY_PATH);
}

// A value delivered to `pin`, and what the module must send in answer: `sent` on `onPin`
// (by default the converter's other pin), or nothing anywhere when nullopt.
struct Step {
    int32 pin;
    Bytes value;
    std::optional<Bytes> sent;
    int32 onPin = -1;
};

struct Script {
    const char16_t* id;
    std::vector<Step> steps;
};

// What a step made the module send: (pin, bytes) in order.
using Sends = std::vector<std::pair<int32, Bytes>>;

inline Sends expectedOf(const Step& s) {
    if (!s.sent) return {};
    return {{s.onPin >= 0 ? s.onPin : 1 - s.pin, *s.sent}};
}

inline std::string describe(const Sends& sends) {
    std::string out;
    for (const auto& [pin, bytes] : sends) {
        out += "pin " + std::to_string(pin) + ":";
        for (auto b : bytes)
            out += " " + std::to_string(b);
        out += "; ";
    }
    return out;
}

class ConverterRig : public ::testing::Test {
  protected:
    std::unique_ptr<zrhost::ModuleLibrary> lib = loadLibrary();
    zrhost::HostContext context;

    // One block per step, after a first block that carries the graph start.
    void runAudio(const Script& script) {
        SCOPED_TRACE(zrhost::toUtf8(script.id));
        zrhost::AudioModule m(*lib, script.id, context);
        ASSERT_EQ(m.createResult(), gmpi::ResultOk);
        m.open();
        zrhost::EventList start;
        start.addGraphStart(0);
        m.processBlock(start);
        for (std::size_t k = 0; k < script.steps.size(); ++k) {
            const Step& s = script.steps[k];
            SCOPED_TRACE("step " + std::to_string(k));
            m.clearCalls();
            zrhost::EventList events;
            events.addBytes(5, gmpi::EventPinValue, s.pin, s.value.data(),
                            static_cast<int32>(s.value.size()));
            m.processBlock(events);
            Sends sends;
            for (const auto& c : m.callsOf(zrhost::AudioCallKind::SetPinValue)) {
                EXPECT_EQ(c.time, 5);
                sends.emplace_back(c.pinId, c.bytes);
            }
            EXPECT_EQ(sends, expectedOf(s)) << describe(sends);
        }
    }

    void runGui(const Script& script) {
        SCOPED_TRACE(zrhost::toUtf8(script.id));
        zrhost::GuiModule m(*lib, script.id, context);
        ASSERT_EQ(m.createResult(), gmpi::ResultOk);
        for (std::size_t k = 0; k < script.steps.size(); ++k) {
            const Step& s = script.steps[k];
            SCOPED_TRACE("step " + std::to_string(k));
            m.clearRecord();
            deliver(m, s.pin, s.value);
            Sends sends;
            for (const auto& t : m.transmits()) {
                EXPECT_EQ(t.voice, 0);
                sends.emplace_back(t.pinId, t.bytes);
            }
            EXPECT_EQ(sends, expectedOf(s)) << describe(sends);
        }
    }

    // Delivers an exactly sized heap copy, so that a read past the value is a read past
    // the block.
    static void deliver(zrhost::GuiModule& m, int32 pin, const Bytes& b) {
        auto copy = std::make_unique<std::uint8_t[]>(b.size() + 1);
        if (!b.empty()) std::memcpy(copy.get(), b.data(), b.size());
        m.deliver(pin, b.empty() ? nullptr : copy.get(), static_cast<int32>(b.size()));
    }

    // Hands every transmission straight back to the module until it falls quiet; returns the
    // number of rounds that still transmitted (a loop runs into the limit).
    static int echoUntilQuiet(zrhost::GuiModule& m, int limit = 16) {
        for (int round = 0; round < limit; ++round) {
            const auto sent = m.transmits();
            if (sent.empty()) return round;
            m.clearRecord();
            for (const auto& t : sent)
                deliver(m, t.pinId, t.bytes);
        }
        return limit;
    }
};

} // namespace convtest
