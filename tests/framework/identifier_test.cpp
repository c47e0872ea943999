// Interface identifiers: each constant holds the bytes of its text form, and the library
// answers the unknown-interface identifier a host writes from that text.
#include "probe.h"

#include "host/gui_module.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

using namespace gmpi;
using probe::testLibrary;

namespace {

// {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX} → the identifier's 16 bytes in memory: the first
// three groups are numbers stored least significant byte first, the last eight bytes follow
// in the order written.
std::array<std::uint8_t, 16> bytesOfText(std::string_view text) {
    std::array<std::uint8_t, 16> bytes{};
    const auto hex = [&](std::size_t at) {
        const auto digit = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
        return static_cast<std::uint8_t>(digit(text[at]) * 16 + digit(text[at + 1]));
    };
    EXPECT_EQ(text.size(), 38u);
    // Byte pairs of the text by position: groups of 4, 2 and 2 bytes reversed, then 8 in order.
    constexpr std::size_t pairAt[16] = {7, 5, 3, 1, 12, 10, 17, 15, 20, 22, 25, 27, 29, 31, 33, 35};
    for (std::size_t i = 0; i < 16; ++i)
        bytes[i] = hex(pairAt[i]);
    return bytes;
}

MpGuid guidOfText(std::string_view text) {
    const auto bytes = bytesOfText(text);
    MpGuid guid;
    std::memcpy(&guid, bytes.data(), sizeof guid);
    return guid;
}

constexpr std::string_view kUnknownText = "{00000000-0000-C000-0000-000000000046}";

} // namespace

TEST(Identifiers, EveryConstantHoldsTheBytesOfItsTextForm) {
    struct Case {
        std::string_view text;
        const MpGuid& constant;
    };
    const Case cases[] = {
        {kUnknownText, MP_IID_UNKNOWN},
        {"{9A7904B7-7F7F-4D61-B558-C1A6695BB638}", MP_IID_FACTORY},
        {"{2B0DFC7E-A539-49CD-B72D-32FF9DF0D9E4}", MP_IID_PLUGIN},
        {"{CACB3203-4A57-4209-9E00-0C4B950457F6}", MP_IID_USER_INTERFACE},
        {"{4F1B532F-3C46-4927-A498-614867425BE7}", MP_IID_AUDIO_HOST},
        {"{174F9DDC-1850-40DB-BAF0-E0B41D079645}", MP_IID_GUI_HOST},
        {"{0157347B-3FD3-4CEE-947E-88F694349254}", MP_IID_GRAPHICS_COMPOSITED},
        {"{2A3F4D28-52C5-4A31-BF85-B79853265F65}", MP_IID_COMPOSITED_HOST},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        const auto expected = bytesOfText(c.text);
        std::array<std::uint8_t, 16> actual{};
        std::memcpy(actual.data(), &c.constant, actual.size());
        EXPECT_EQ(actual, expected);
    }
}

// A host that writes the identifier from its text form reaches the factory, both module
// halves and the host library's host object, and each answer holds a reference (the factory
// counts none).
TEST(Identifiers, UnknownInterfaceAsWrittenIsAnsweredEverywhere) {
    const MpGuid unknown = guidOfText(kUnknownText);
    void* out = nullptr;
    IMpFactory* factory = testLibrary().factory();
    EXPECT_EQ(factory->queryInterface(unknown, &out), ResultOk);
    EXPECT_EQ(out, factory);

    zrhost::HostContext context;
    zrhost::AudioModule audio(testLibrary(), u"ZR Test Both", context);
    zrhost::GuiModule gui(testLibrary(), u"ZR Test Both", context);
    ASSERT_TRUE(audio.valid());
    ASSERT_TRUE(gui.valid());
    IMpUnknown* const objects[] = {audio.plugin(), gui.ui(), &audio.host()};
    for (IMpUnknown* object : objects) {
        const int32 before = object->addRef();
        object->release();
        out = nullptr;
        ASSERT_EQ(object->queryInterface(unknown, &out), ResultOk);
        ASSERT_EQ(out, object);
        EXPECT_EQ(object->addRef(), before + 1); // the answer holds one reference
        object->release();
        object->release();
    }
}
