// GUI halves of the patch-memory family and Patch Info, driven through the host's GUI wrapper:
// every relay of every layout, echoes, NaN, bad value sizes and the command pulse.
#include "pm_layouts.h"

#include "host/gui_module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace zrhost;
using namespace pmtest;
using Bytes = std::vector<uint8_t>;

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
    // Delivers an exactly sized heap copy: a read past the value is a read past the block.
    static gmpi::int32 deliver(GuiModule& m, gmpi::int32 pin, const Bytes& b) {
        auto copy = std::make_unique<uint8_t[]>(b.size() + 1);
        if (!b.empty()) std::memcpy(copy.get(), b.data(), b.size());
        return m.deliver(pin, copy.get(), static_cast<gmpi::int32>(b.size()));
    }
    static std::vector<gmpi::int32> pinsOf(const std::vector<GuiTransmit>& sent) {
        std::vector<gmpi::int32> pins;
        for (const auto& t : sent)
            pins.push_back(t.pinId);
        return pins;
    }
};

// Each pin on a fresh module: a new value reaches exactly the listed partners, once, unchanged.
// Echoing the transmitted values back passes them on only to partners that do not hold them
// yet (the legacy float "Value Out" follows "PM Value In" so); a second echo sends nothing.
// An unlisted index has no pin.
TEST_F(PatchMemoryGui, EveryPinRelaysToItsPartnersOnlyAndEchoesStop) {
    for (const Layout& layout : allLayouts()) {
        for (gmpi::int32 id = 0; id <= static_cast<gmpi::int32>(layout.pins.size()) + 2; ++id) {
            SCOPED_TRACE(toUtf8(layout.id) + " pin " + std::to_string(id));
            if (id == layout.special) continue;
            auto m = make(layout.id);
            const PinRow* row = layout.pin(id);
            const Bytes value = sampleBytes(row ? row->type : "int", id);
            EXPECT_EQ(deliver(*m, id, value), row ? gmpi::ResultOk : gmpi::ResultFail);
            if (!row) {
                EXPECT_TRUE(m->transmits().empty());
                continue;
            }
            auto sent = m->transmits();
            EXPECT_EQ(pinsOf(sent), row->relaysTo);
            std::vector<gmpi::int32> onward;
            for (const auto& t : sent) {
                EXPECT_EQ(t.bytes, value);
                EXPECT_EQ(t.voice, 0);
                for (gmpi::int32 x : layout.pin(t.pinId)->relaysTo)
                    if (x != id && !std::count(row->relaysTo.begin(), row->relaysTo.end(), x))
                        onward.push_back(x);
            }
            for (const auto& expected : {onward, std::vector<gmpi::int32>{}}) {
                m->clearRecord();
                for (const auto& t : sent)
                    deliver(*m, t.pinId, t.bytes);
                sent = m->transmits();
                EXPECT_EQ(pinsOf(sent), expected);
            }
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
    EXPECT_EQ(pinsOf(plain->transmits()), (std::vector<gmpi::int32>{7, 0, 7, 0, 7, 0}));
    EXPECT_TRUE(std::isnan(plain->floatsSent(7)[2]) && std::isnan(plain->floatsSent(0)[2]));
    // "Value" and the legacy "Value Out" both follow every NaN.
    EXPECT_EQ(pinsOf(out->transmits()), (std::vector<gmpi::int32>{6, 7, 6, 7, 6, 7}));
}

TEST_F(PatchMemoryGui, ValuesOfWrongSizeAreTakenOnlyAsFarAsTheyGo) {
    auto plain = make(u"VL PatchMemory Float");
    deliver(*plain, 0, {0, 0, 0x80});          // 3 bytes: no float
    deliver(*plain, 4, {});                    // empty bool
    plain->deliver(2, nullptr, -4);            // negative text size
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
    EXPECT_EQ(sent[1].bytes, (Bytes{1, 2, 3, 0}));
    EXPECT_TRUE(sent[2].bytes.empty());
}

// Start-up offers the channel menu once. A positive command becomes one pulse on pin 4 and both
// pins return to 0 in the same call; zero and negative values are only passed on; timer ticks
// add nothing.
TEST_F(PatchMemoryGui, PatchInfoMenuAndCommandPulse) {
    auto m = make(u"VL Patch Info");
    m->initialize();
    m->initialize();
    std::u16string menu = u"All=-1";
    for (int channel = 1; channel <= 16; ++channel)
        menu += u"," + toUtf16(std::to_string(channel));
    EXPECT_EQ(menu.size(), 45u);
    EXPECT_EQ(m->textsSent(9), std::vector<std::u16string>{menu});
    EXPECT_EQ(m->transmits().size(), 1u);

    using S = std::vector<std::pair<gmpi::int32, gmpi::int32>>;
    auto sequence = [&] {
        S s;
        for (const auto& t : m->transmits())
            s.emplace_back(t.pinId, t.asInt());
        m->clearRecord();
        return s;
    };
    sequence();
    m->deliverInt(10, 3);
    EXPECT_EQ(sequence(), (S{{4, 3}, {10, 0}, {4, 0}}));
    m->deliverInt(10, 0); // the host echoes the reset: nothing left to do
    for (int i = 0; i < 5; ++i)
        lib->timerTick();
    lib->advanceTimer(500);
    EXPECT_EQ(sequence(), S{});
    m->deliverInt(10, -2);
    m->deliverInt(10, 0);
    EXPECT_EQ(sequence(), (S{{4, -2}, {4, 0}}));
    m->deliverInt(10, 1);
    m->deliverInt(10, 1);
    EXPECT_EQ(sequence(), (S{{4, 1}, {10, 0}, {4, 0}, {4, 1}, {10, 0}, {4, 0}}));
}

} // namespace
