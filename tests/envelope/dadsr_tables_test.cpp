// The six shared curve tables: size, contents at chosen entries against the closed forms, and
// the rule that only the instance told that the last block is new fills them.
#include "dadsr_rig.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace envtest;

namespace {

constexpr std::pair<const char16_t*, int> kTables[] = {
    {u"QORV_Shaper_Exp+", 0},     {u"QORV_Shaper_Exp", 1},   {u"QORV_Shaper_Exp_Inv", 3},
    {u"QORV_Shaper_Exp_Inv+", 4}, {u"QORV_Shaper_VL_Db", 5}, {u"QORV_Shaper_VL_Db+", 6}};
constexpr int kEntries = 10002; // x = 0..1 in steps of 0.0001, and one guard

std::vector<float> table(const zrhost::HostContext& context, const char16_t* name) {
    auto bytes = context.sharedMemory().find(name, -1.0f);
    std::vector<float> t(bytes.size() / sizeof(float));
    if (!t.empty()) std::memcpy(t.data(), bytes.data(), t.size() * sizeof(float));
    return t;
}

} // namespace

TEST(EnvelopeTables, EntriesFollowTheirFormulasWhateverTheSampleRate) {
    zrhost::HostContext context;
    DadsrRig(48000.0f, 64, &context).block();
    EXPECT_EQ(context.sharedMemory().blockCount(), 6u);
    for (const auto& [name, type] : kTables) {
        const auto t = table(context, name);
        ASSERT_EQ(t.size(), static_cast<std::size_t>(kEntries)) << type;
        for (int i : {0, 1, 7, 1234, 2500, 5000, 6789, 9000, 9999, 10000}) {
            const double x = i / 10000.0;
            // Type 5 is stored with its small negative start; type 4 is stored halved.
            const double expected =
                type == 5 ? std::exp(x * 4.462 - 4.45) - 0.0117 : referenceCurve(type, x);
            const double stored =
                type == 4 ? 2.0 * t[static_cast<std::size_t>(i)] : t[static_cast<std::size_t>(i)];
            EXPECT_NEAR(stored, expected, 2e-6 * (1.0 + std::abs(expected)))
                << "type " << type << " entry " << i;
        }
        EXPECT_EQ(t[10001], t[10000]) << type; // the guard repeats the last point
    }
    // Points known without the formulas: a quarter sine, 100 dB, a start just below 0.
    EXPECT_NEAR(table(context, u"QORV_Shaper_Exp_Inv")[5000], std::sqrt(0.5), 1e-6);
    EXPECT_NEAR(table(context, u"QORV_Shaper_VL_Db+")[0], 1.01301e-5, 1e-9);
    EXPECT_NEAR(table(context, u"QORV_Shaper_VL_Db")[0], -2.1433e-5, 2e-7);
}

TEST(EnvelopeTables, OnlyTheInstanceToldTheLastBlockIsNewFillsThem) {
    zrhost::HostContext context;
    void* block = nullptr;
    gmpi::int32 isNew = 0;
    // Another party created the last table first: none of the six is filled.
    context.sharedMemory().allocate(u"QORV_Shaper_VL_Db+", &block, -1.0f, 4 * kEntries, isNew);
    DadsrRig(44100.0f, 64, &context).block();
    for (const auto& [name, type] : kTables)
        EXPECT_EQ(table(context, name)[10000], 0.0f) << type;

    // In a fresh context the first instance fills them and a second one leaves them alone.
    zrhost::HostContext fresh;
    DadsrRig(44100.0f, 64, &fresh).block();
    fresh.sharedMemory().allocate(u"QORV_Shaper_Exp_Inv", &block, -1.0f, 4 * kEntries, isNew);
    ASSERT_EQ(isNew, 0);
    static_cast<float*>(block)[5000] = 123.0f;
    DadsrRig(96000.0f, 32, &fresh).block();
    EXPECT_EQ(table(fresh, u"QORV_Shaper_Exp_Inv")[5000], 123.0f);
    EXPECT_NEAR(table(fresh, u"QORV_Shaper_Exp")[10000], 1.0, 1e-6);
}
