// GUI halves of the patch-memory family and Patch Info, driven through the host's GUI wrapper:
// every relay of every layout, echoes, NaN, bad value sizes and the command pulse.
#include "pm_layouts.h"

#include "host/gui_module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace zrhost;
using namespace pmtest;

namespace {

class PatchMemoryGui : public ::testing::Test {
  protected:
    std::unique_ptr<ModuleLibrary> lib = loadLibrary();
    HostContext context;

    std::unique_ptr<GuiModule> make(const std::u16string& id) {
        auto m = std::make_unique<GuiModule>(*lib, id, context);
        EXPECT_EQ(m->createResult(), gmpi::ResultOk) << toUtf8(id);
        return m;
    }
    static gmpi::int32 deliver(GuiModule& m, gmpi::int32 pin, const std::vector<uint8_t>& b) {
        // An exactly sized heap copy, so that a read past the value is a read past the block.
        auto copy = std::make_unique<uint8_t[]>(b.size() + (b.empty() ? 1 : 0));
        if (!b.empty()) std::memcpy(copy.get(), b.data(), b.size());
        return m.deliver(pin, copy.get(), static_cast<gmpi::int32>(b.size()));
    }
};

// Each pin on its own, on a fresh module: a new value reaches exactly the listed partners, once,
// unchanged; the host echoing every transmitted value back sends nothing more; an index that
// is not listed has no pin.
TEST_F(PatchMemoryGui, EveryPinRelaysToItsPartnersOnlyAndEchoesStop) {
    for (const Layout& layout : allLayouts()) {
        const gmpi::int32 top = layout.pins.size() + 2;
        for (gmpi::int32 id = 0; id <= top; ++id) {
            SCOPED_TRACE(toUtf8(layout.id) + " pin " + std::to_string(id));
            if (layout.special.count(id)) continue;
            auto m = make(layout.id);
            const PinSpec* spec = layout.pin(id);
            const auto value = sampleBytes(spec ? spec->type : Type::Int, id);
            if (!spec) {
                EXPECT_EQ(deliver(*m, id, value), gmpi::ResultFail);
                EXPECT_TRUE(m->transmits().empty());
                continue;
            }
            EXPECT_EQ(deliver(*m, id, value), gmpi::ResultOk);
            const auto sent = m->transmits();
            ASSERT_EQ(sent.size(), spec->relaysTo.size());
            for (std::size_t i = 0; i < sent.size(); ++i) {
                EXPECT_EQ(sent[i].pinId, spec->relaysTo[i]);
                EXPECT_EQ(sent[i].bytes, value);
                EXPECT_EQ(sent[i].voice, 0);
            }
            // Echo: a relayed pin passes the value on only to partners that do not hold it yet
            // (the legacy float "Value Out" follows "PM Value In" this way); a second echo
            // round, and the source value again, send nothing.
            std::vector<gmpi::int32> onward;
            for (const auto& t : sent)
                for (gmpi::int32 x : layout.pin(t.pinId)->relaysTo)
                    if (x != id && !std::count(spec->relaysTo.begin(), spec->relaysTo.end(), x))
                        onward.push_back(x);
            auto echo = sent;
            for (int round = 0; round < 2; ++round) {
                m->clearRecord();
                for (const auto& t : echo)
                    deliver(*m, t.pinId, t.bytes);
                echo = m->transmits();
                std::vector<gmpi::int32> pins;
                for (const auto& t : echo)
                    pins.push_back(t.pinId);
                EXPECT_EQ(pins, round == 0 ? onward : std::vector<gmpi::int32>{});
            }
            deliver(*m, id, value);
            EXPECT_TRUE(m->transmits().empty());
        }
    }
}

TEST_F(PatchMemoryGui, NanIsRelayedEveryTimeBothWays) {
    const float nan = std::nanf("");
    auto plain = make(u"VL PatchMemory Float");
    auto out = make(u"VL PatchMemory Float Out");
    for (int i = 0; i < 3; ++i) {
        plain->deliverFloat(0, nan); // host side to panel side
        plain->deliverFloat(7, nan); // and back
        out->deliverFloat(0, nan);
    }
    ASSERT_EQ(plain->floatsSent(7).size(), 3u);
    ASSERT_EQ(plain->floatsSent(0).size(), 3u);
    EXPECT_TRUE(std::isnan(plain->floatsSent(7)[2]) && std::isnan(plain->floatsSent(0)[2]));
    // "Value" and the legacy "Value Out" both follow every NaN.
    EXPECT_EQ(out->floatsSent(6).size(), 3u);
    EXPECT_EQ(out->floatsSent(7).size(), 3u);
}

TEST_F(PatchMemoryGui, ValuesOfWrongSizeAreTakenOnlyAsFarAsTheyGo) {
    auto plain = make(u"VL PatchMemory Float");
    deliver(*plain, 0, {0, 0, 0x80}); // 3 bytes: no float
    deliver(*plain, 4, {});           // empty bool
    plain->deliver(2, nullptr, -4);   // negative text size
    EXPECT_TRUE(plain->transmits().empty());
    deliver(*plain, 3, {7, 0, 0, 0, 9, 9, 9}); // 7 bytes: not an int
    EXPECT_TRUE(plain->transmits().empty());

    auto text = make(u"VL PatchMemory Text2");
    deliver(*text, 0, {'h', 0, 'i', 0, '!'}); // odd byte count: two whole code units
    EXPECT_EQ(text->textsSent(6), std::vector<std::u16string>{u"hi"});

    auto blob = make(u"VL PatchMemory Blob Out");
    deliver(*blob, 0, {1, 2, 3});
    deliver(*blob, 0, {1, 2, 3, 0}); // only the length differs
    blob->deliver(0, nullptr, -8);   // nothing
    const auto sent = blob->transmitsOn(5);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1].bytes, (std::vector<uint8_t>{1, 2, 3, 0}));
    EXPECT_TRUE(sent[2].bytes.empty());
}

TEST_F(PatchMemoryGui, PatchInfoOffersTheChannelMenuOnce) {
    auto m = make(u"VL Patch Info");
    EXPECT_EQ(m->initialize(), gmpi::ResultOk);
    std::u16string expected = u"All=-1";
    for (int channel = 1; channel <= 16; ++channel)
        expected += u"," + toUtf16(std::to_string(channel));
    ASSERT_EQ(expected.size(), 45u);
    EXPECT_EQ(m->textsSent(9), std::vector<std::u16string>{expected});
    m->initialize();
    EXPECT_EQ(m->transmits().size(), 1u);
}

// A positive command becomes one pulse on pin 4, and both pins return to 0 in the same call;
// zero and negative values are only passed on. Timer ticks add nothing.
TEST_F(PatchMemoryGui, PatchInfoCommandPulse) {
    auto m = make(u"VL Patch Info");
    m->initialize();
    m->clearRecord();
    auto sequence = [&] {
        std::vector<std::pair<gmpi::int32, gmpi::int32>> s;
        for (const auto& t : m->transmits())
            s.emplace_back(t.pinId, t.asInt());
        m->clearRecord();
        return s;
    };
    using S = std::vector<std::pair<gmpi::int32, gmpi::int32>>;
    m->deliverInt(10, 3);
    EXPECT_EQ(sequence(), (S{{4, 3}, {10, 0}, {4, 0}}));
    m->deliverInt(10, 0); // the host echoes the reset: nothing left to do
    for (int i = 0; i < 5; ++i)
        lib->timerTick();
    lib->advanceTimer(500);
    EXPECT_EQ(sequence(), S{});
    m->deliverInt(10, -2);
    EXPECT_EQ(sequence(), (S{{4, -2}}));
    m->deliverInt(10, 0);
    EXPECT_EQ(sequence(), (S{{4, 0}}));
    m->deliverInt(10, 1);
    m->deliverInt(10, 1);
    EXPECT_EQ(sequence(), (S{{4, 1}, {10, 0}, {4, 0}, {4, 1}, {10, 0}, {4, 0}}));
}

} // namespace
