// Audio halves of the patch-memory family, driven block by block through the host's audio
// wrapper. Every script runs under each identifier that shares the class and must give the
// same output there.
#include "pm_layouts.h"

#include "host/audio_module.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace zrhost;
using namespace pmtest;

namespace {

constexpr gmpi::int32 kIn = 0, kOut = 1;

struct Sent {
    gmpi::int32 block, time;
    std::vector<uint8_t> bytes;
    bool operator==(const Sent&) const = default;
};

class PatchMemoryAudio : public ::testing::Test {
  protected:
    std::unique_ptr<ModuleLibrary> lib = loadLibrary();
    HostContext context;

    // Runs the blocks built by `script(block, events)` (block 0 also carries the graph start)
    // and returns what the module sent on its output, block and time stamped.
    template <class Script>
    std::vector<Sent> run(const std::u16string& id, int blocks, Script script) {
        rig::ModuleRig r(id, {}, &context, lib.get());
        AudioModule& m = r.module();
        EXPECT_EQ(m.createResult(), gmpi::ResultOk) << toUtf8(id);
        EXPECT_EQ(m.attachOwnBuffer(kIn), gmpi::ResultOk);
        EXPECT_EQ(m.attachOwnBuffer(kOut), gmpi::ResultOk);
        EXPECT_EQ(m.attachOwnBuffer(2), gmpi::ResultFail); // two pins only
        for (int b = 0; b < blocks; ++b) {
            EventList events;
            if (b == 0) events.addGraphStart(0);
            script(b, events);
            r.block(events);
        }
        std::vector<Sent> out;
        for (const auto& c : m.valuesSent(kOut))
            out.push_back({static_cast<gmpi::int32>(c.block), c.time, c.bytes});
        EXPECT_TRUE(m.valuesSent(kIn).empty());
        return out;
    }

    // The same script under every identifier of a class: equal outputs, returned once.
    template <class Script>
    std::vector<Sent> runAll(std::initializer_list<const char16_t*> ids, int blocks,
                             Script script) {
        std::vector<Sent> first;
        for (const char16_t* id : ids) {
            auto out = run(id, blocks, script);
            if (id == *ids.begin())
                first = out;
            else
                EXPECT_EQ(out, first) << toUtf8(id) << " differs from " << toUtf8(*ids.begin());
        }
        return first;
    }
};

TEST_F(PatchMemoryAudio, FloatSendsChangesAtTheirTimeAndNanEveryTime) {
    const float nan = std::nanf("");
    const auto out = runAll(
        {u"VL PatchMemory Float", u"VL PatchMemory Float Out", u"VL PatchMemory Float Out B2"}, 3,
        [&](int b, EventList& e) {
            if (b == 0) e.addFloat(0, kIn, 0.5f);
            if (b != 1) return;
            e.addFloat(3, kIn, 0.5f).addFloat(10, kIn, 0.75f);
            e.addFloat(20, kIn, nan).addFloat(30, kIn, nan);
            e.addBytes(35, gmpi::EventPinValue, kIn, "\1\2", 2); // no float
            e.addFloat(40, kIn, 0.75f);
        });
    // Graph start sends the output's initial 0 before the first copy.
    ASSERT_EQ(out.size(), 6u);
    const std::vector<std::pair<int, float>> expected = {{0, 0.0f}, {0, 0.5f}, {10, 0.75f},
                                                         {20, nan}, {30, nan}, {40, 0.75f}};
    for (std::size_t i = 0; i < out.size(); ++i) {
        float v;
        ASSERT_EQ(out[i].bytes.size(), 4u);
        std::memcpy(&v, out[i].bytes.data(), 4);
        EXPECT_EQ(out[i].time, expected[i].first);
        EXPECT_TRUE(v == expected[i].second || (std::isnan(v) && std::isnan(expected[i].second)))
            << i;
    }
}

TEST_F(PatchMemoryAudio, IntAndListPassIndicesUncheckedAndBoolByByte) {
    auto ints = [](int b, EventList& e) {
        if (b == 0) e.addInt(0, kIn, 7);
        if (b == 1) e.addInt(5, kIn, 7).addInt(6, kIn, -3).addInt(9, kIn, 1000);
    };
    const auto i = runAll({u"VL PatchMemory Int", u"VL PatchMemory Int Out"}, 2, ints);
    EXPECT_EQ(run(u"VL PatchMemory List3", 2, ints), i);
    ASSERT_EQ(i.size(), 4u);
    EXPECT_EQ(i[1].bytes, (std::vector<uint8_t>{7, 0, 0, 0}));
    EXPECT_EQ(i[2].time, 6);
    EXPECT_EQ(i[3].bytes, (std::vector<uint8_t>{0xE8, 0x03, 0, 0}));

    const auto b =
        runAll({u"VL PatchMemory Bool", u"VL PatchMemory Bool Out"}, 2, [](int blk, EventList& e) {
            if (blk == 0) e.addBool(0, kIn, true);
            if (blk == 1) e.addInt(1, kIn, 5).addBool(2, kIn, false);
            if (blk == 1) e.addBytes(3, gmpi::EventPinValue, kIn, "", 0);
        });
    EXPECT_EQ(b, (std::vector<Sent>{{0, 0, {0}}, {0, 0, {1}}, {1, 2, {0}}}));
}

TEST_F(PatchMemoryAudio, TextAndBlobCompareWholeValuesAndStayInsideTheirBytes) {
    // Exactly sized values handed over as the host's own extra data.
    static const char odd[3] = {'x', 0, 'y'};
    static const char five[5] = {1, 2, 3, 4, 5};
    const auto t =
        runAll({u"VL PatchMemory Text2", u"VL PatchMemory Text Out"}, 2, [](int b, EventList& e) {
            if (b == 0) e.addText(0, kIn, u"ab");
            if (b != 1) return;
            e.addText(1, kIn, u"ab").addText(2, kIn, u"abc");
            e.addRaw(3, gmpi::EventPinValue, kIn, 3, {}, odd);
            e.addRaw(4, gmpi::EventPinValue, kIn, -9, {}, odd);
        });
    EXPECT_EQ(t, (std::vector<Sent>{{0, 0, {}},
                                    {0, 0, {'a', 0, 'b', 0}},
                                    {1, 2, {'a', 0, 'b', 0, 'c', 0}},
                                    {1, 3, {'x', 0}},
                                    {1, 4, {}}}));

    const std::vector<uint8_t> three = {1, 2, 3}, four = {1, 2, 3, 0};
    const auto b =
        runAll({u"VL PatchMemory Blob", u"VL PatchMemory Blob Out"}, 2, [&](int blk, EventList& e) {
            if (blk == 0) e.addBlob(0, kIn, three);
            if (blk != 1) return;
            e.addBlob(1, kIn, three).addBlob(2, kIn, four);
            e.addRaw(3, gmpi::EventPinValue, kIn, 5, {}, five);
            // Inline values never exceed their 8 bytes.
            e.addRaw(4, gmpi::EventPinValue, kIn, 40, four);
        });
    EXPECT_EQ(b, (std::vector<Sent>{{0, 0, {}},
                                    {0, 0, three},
                                    {1, 2, four},
                                    {1, 3, {1, 2, 3, 4, 5}},
                                    {1, 4, {1, 2, 3, 0, 0, 0, 0, 0}}}));
}

} // namespace
