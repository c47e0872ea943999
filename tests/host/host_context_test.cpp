#include "host/host_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace zrhost;
using gmpi::int32;

namespace {

struct Grant {
    int32 result;
    void* pointer;
    int32 needInitialise;
};

Grant ask(SharedMemoryPool& pool, const char16_t* name, float rate, int32 bytes) {
    Grant g{0, reinterpret_cast<void*>(1), -7};
    g.result = pool.allocate(name, &g.pointer, rate, bytes, g.needInitialise);
    return g;
}

TEST(SharedMemory, OnlyTheFirstCallerInitialisesAndAllShareTheBlock) {
    SharedMemoryPool pool;
    const Grant first = ask(pool, u"QORV_curve", 48000.0f, 400);
    ASSERT_EQ(first.result, gmpi::ResultOk);
    EXPECT_EQ(first.needInitialise, 1);
    const auto* bytes = static_cast<const unsigned char*>(first.pointer);
    EXPECT_TRUE(std::all_of(bytes, bytes + 400, [](unsigned char b) { return b == 0; }));
    static_cast<float*>(first.pointer)[99] = 3.5f;

    const Grant again = ask(pool, u"QORV_curve", 48000.0f, 400);
    EXPECT_EQ(again.result, gmpi::ResultOk);
    EXPECT_EQ(again.needInitialise, 0);
    EXPECT_EQ(again.pointer, first.pointer);
    EXPECT_EQ(static_cast<float*>(again.pointer)[99], 3.5f);

    // Another rate, the rate-independent marker and another name are all separate blocks.
    const Grant otherRate = ask(pool, u"QORV_curve", 44100.0f, 400);
    const Grant anyRate = ask(pool, u"QORV_curve", -1.0f, 400);
    const Grant otherName = ask(pool, u"QORV_curvf", 48000.0f, 400);
    for (const Grant& g : {otherRate, anyRate, otherName}) {
        EXPECT_EQ(g.needInitialise, 1);
        EXPECT_NE(g.pointer, first.pointer);
    }
    EXPECT_EQ(pool.blockCount(), 4u);
    ASSERT_EQ(pool.find(u"QORV_curve", 48000.0f).size(), 400u);
    EXPECT_TRUE(pool.find(u"QORV_none", 48000.0f).empty());
}

TEST(SharedMemory, RefusesToHandOutABlockSmallerThanAsked) {
    SharedMemoryPool pool;
    ask(pool, u"T", -1.0f, 16);
    const Grant bigger = ask(pool, u"T", -1.0f, 17);
    EXPECT_EQ(bigger.result, gmpi::ResultFail);
    EXPECT_EQ(bigger.pointer, nullptr);
    EXPECT_EQ(bigger.needInitialise, 0);
    EXPECT_EQ(ask(pool, u"T", -1.0f, 8).result, gmpi::ResultOk);
    EXPECT_EQ(ask(pool, nullptr, -1.0f, 8).result, gmpi::ResultFail);
    EXPECT_EQ(ask(pool, u"U", -1.0f, -4).result, gmpi::ResultFail);
}

TEST(SharedMemory, ResetStartsAfresh) {
    SharedMemoryPool pool;
    ask(pool, u"T", -1.0f, 16);
    pool.reset();
    EXPECT_EQ(pool.blockCount(), 0u);
    EXPECT_EQ(ask(pool, u"T", -1.0f, 16).needInitialise, 1);
}

// Calls resolveFullPath into a buffer pre-filled with 'x' and returns result and text.
std::pair<int32, std::u16string> resolve(std::u16string_view folder, const char16_t* name,
                                         int32 maxChars) {
    std::u16string buffer(300, u'x');
    const int32 rc = resolveFullPath(folder, name, maxChars, buffer.data());
    const auto end = buffer.find(u'\0');
    return {rc, end == std::u16string::npos ? u"<unterminated>" : buffer.substr(0, end)};
}

TEST(FullPath, JoinsRelativeNamesAndKeepsAbsoluteOnes) {
    using R = std::pair<int32, std::u16string>;
    EXPECT_EQ(resolve(u"/data/waves", u"sine.zrw", 260), R(0, u"/data/waves/sine.zrw"));
    EXPECT_EQ(resolve(u"/data/waves/", u"sine.zrw", 260), R(0, u"/data/waves/sine.zrw"));
    EXPECT_EQ(resolve(u"/data/waves", u"/abs/sine.zrw", 260), R(0, u"/abs/sine.zrw"));
    EXPECT_EQ(resolve(u"/data/waves", u"C:\\w\\a.zrw", 260), R(0, u"C:\\w\\a.zrw"));
    EXPECT_EQ(resolve(u"", u"sine.zrw", 260), R(0, u"sine.zrw"));
    EXPECT_EQ(resolve(u"/data", u"", 260), R(0, u""));
}

TEST(FullPath, NeverTruncates) {
    // "/d/abc" is 6 code units: it needs 7 with the terminator.
    EXPECT_EQ(resolve(u"/d", u"abc", 7).second, u"/d/abc");
    const auto tooSmall = resolve(u"/d", u"abc", 6);
    EXPECT_EQ(tooSmall.first, gmpi::ResultFail);
    EXPECT_EQ(tooSmall.second, u"");
    EXPECT_EQ(resolve(u"/d", u"abc", 0).first, gmpi::ResultFail);
    EXPECT_EQ(resolve(u"/d", nullptr, 10).first, gmpi::ResultFail);
}

} // namespace
