// The six shared curve tables: names, sizes, contents at chosen entries against the closed
// forms, and the rule that only the instance told the block is new fills them.
#include "dadsr_rig.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace envtest;

namespace {

struct TableCase {
    const char16_t* name;
    int curveType;
};

constexpr TableCase kTables[] = {
    {u"QORV_Shaper_Exp+", 0},     {u"QORV_Shaper_Exp", 1},   {u"QORV_Shaper_Exp_Inv", 3},
    {u"QORV_Shaper_Exp_Inv+", 4}, {u"QORV_Shaper_VL_Db", 5}, {u"QORV_Shaper_VL_Db+", 6},
};

constexpr int kEntries = 10002; // 10001 points for x = 0..1 and one guard

std::vector<float> readTable(const zrhost::HostContext& context, const char16_t* name) {
    auto bytes = context.sharedMemory().find(name, -1.0f);
    std::vector<float> t(bytes.size() / sizeof(float));
    if (!t.empty()) std::memcpy(t.data(), bytes.data(), t.size() * sizeof(float));
    return t;
}

// The stored entry, with the envelope's doubling of type 4 undone.
double storedAsCurve(int type, double entry) {
    return type == 4 ? 2.0 * entry : entry;
}

} // namespace

TEST(DadsrTables, SixTablesOfTenThousandAndTwoFloatsIndependentOfSampleRate) {
    zrhost::HostContext context;
    DadsrRig rig(48000.0f, 64, &context);
    ASSERT_TRUE(rig.valid());
    rig.block();
    for (const auto& tc : kTables) {
        SCOPED_TRACE(
            std::string(tc.name, tc.name + std::char_traits<char16_t>::length(tc.name)).c_str());
        EXPECT_EQ(context.sharedMemory().find(tc.name, -1.0f).size(), 4u * kEntries);
        EXPECT_TRUE(context.sharedMemory().find(tc.name, 48000.0f).empty());
    }
    EXPECT_EQ(context.sharedMemory().blockCount(), 6u);
}

TEST(DadsrTables, EntriesFollowTheirFormulas) {
    zrhost::HostContext context;
    DadsrRig rig(44100.0f, 64, &context);
    rig.block();
    for (const auto& tc : kTables) {
        const auto t = readTable(context, tc.name);
        ASSERT_EQ(t.size(), static_cast<std::size_t>(kEntries));
        for (int i : {0, 1, 7, 1234, 2500, 5000, 6789, 9000, 9999, 10000}) {
            const double x = i / 10000.0;
            // Raw formula value (negative values are stored as they are).
            double expected;
            switch (tc.curveType) {
            case 5:
                expected = std::exp(x * 4.462 - 4.45) - 0.0117;
                break;
            default:
                expected = referenceCurve(tc.curveType, x);
            }
            SCOPED_TRACE("type " + std::to_string(tc.curveType) + " entry " + std::to_string(i));
            EXPECT_NEAR(storedAsCurve(tc.curveType, t[static_cast<std::size_t>(i)]), expected,
                        2e-6 * (1.0 + std::abs(expected)));
        }
        // The guard repeats the last point, so a read at x = 1 never meets an unset value.
        EXPECT_EQ(t[10001], t[10000]);
    }
}

TEST(DadsrTables, KnownPointsOfTheShapes) {
    zrhost::HostContext context;
    DadsrRig rig(44100.0f, 64, &context);
    rig.block();
    // Exp_Inv is a quarter sine: 0 at 0, sqrt(1/2) at one half, 1 at the end.
    const auto inv = readTable(context, u"QORV_Shaper_Exp_Inv");
    EXPECT_NEAR(inv[0], 0.0, 1e-7);
    EXPECT_NEAR(inv[5000], std::sqrt(0.5), 1e-6);
    EXPECT_NEAR(inv[10000], 1.0, 1e-6);
    // Exp mirrors it about the diagonal: x - (sin - x) = 2x - sin.
    const auto exp = readTable(context, u"QORV_Shaper_Exp");
    EXPECT_NEAR(exp[5000], 1.0 - std::sqrt(0.5), 1e-6);
    EXPECT_NEAR(exp[10000], 1.0, 1e-6);
    // VL_Db+ spans 100 dB: e^-11.5 at 0, e^-5.75 in the middle, 1 at the end.
    const auto db = readTable(context, u"QORV_Shaper_VL_Db+");
    EXPECT_NEAR(db[0], 1.01301e-5, 1e-9);
    EXPECT_NEAR(db[5000], 3.1828e-3, 1e-6);
    EXPECT_NEAR(db[10000], 1.0, 1e-6);
    // VL_Db dips just below 0 at its start (e^-4.45 - 0.0117) and ends just above 1.
    const auto vl = readTable(context, u"QORV_Shaper_VL_Db");
    EXPECT_LT(vl[0], 0.0f);
    EXPECT_NEAR(vl[0], -2.1433e-5, 2e-7);
    EXPECT_NEAR(vl[10000], 1.000372, 1e-5);
}

TEST(DadsrTables, OnlyTheInstanceToldTheLastBlockIsNewFillsThem) {
    zrhost::HostContext context;
    // Someone else created the last table: the envelope must not fill any of the six.
    void* block = nullptr;
    gmpi::int32 isNew = 0;
    ASSERT_EQ(
        context.sharedMemory().allocate(u"QORV_Shaper_VL_Db+", &block, -1.0f, 4 * kEntries, isNew),
        gmpi::ResultOk);
    ASSERT_EQ(isNew, 1);
    DadsrRig rig(44100.0f, 64, &context);
    rig.block();
    for (const auto& tc : kTables) {
        const auto t = readTable(context, tc.name);
        ASSERT_EQ(t.size(), static_cast<std::size_t>(kEntries));
        EXPECT_EQ(t[5000], 0.0f);
        EXPECT_EQ(t[10000], 0.0f);
    }
}

TEST(DadsrTables, AnEarlierTableAlreadyPresentIsStillFilledWhenTheLastIsNew) {
    zrhost::HostContext context;
    void* block = nullptr;
    gmpi::int32 isNew = 0;
    context.sharedMemory().allocate(u"QORV_Shaper_Exp", &block, -1.0f, 4 * kEntries, isNew);
    DadsrRig rig(44100.0f, 64, &context);
    rig.block();
    const auto exp = readTable(context, u"QORV_Shaper_Exp");
    EXPECT_NEAR(exp[10000], 1.0, 1e-6);
}

TEST(DadsrTables, ASecondInstanceReadsWithoutRefilling) {
    zrhost::HostContext context;
    DadsrRig first(44100.0f, 64, &context);
    first.block();
    // Mark an entry; a refill by the second instance would overwrite it.
    void* block = nullptr;
    gmpi::int32 isNew = 0;
    context.sharedMemory().allocate(u"QORV_Shaper_Exp_Inv", &block, -1.0f, 4 * kEntries, isNew);
    ASSERT_EQ(isNew, 0);
    static_cast<float*>(block)[5000] = 123.0f;
    DadsrRig second(96000.0f, 32, &context);
    second.block();
    EXPECT_EQ(readTable(context, u"QORV_Shaper_Exp_Inv")[5000], 123.0f);
    EXPECT_EQ(context.sharedMemory().blockCount(), 6u);
}
