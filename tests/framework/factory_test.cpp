// The exported entry point and the factory, reached as a host reaches them.
#include "probe.h"

#include "host/gui_module.h"

using namespace gmpi;
using probe::shippedLibrary;
using probe::testLibrary;

namespace {

std::u16string buildText(int32 maxChars, int32* version = nullptr) {
    std::u16string buffer(40, u'#');
    int32 sdk = 0;
    EXPECT_EQ(testLibrary().factory()->getBuildInformation(sdk, maxChars, buffer.data()), ResultOk);
    if (version) *version = sdk;
    return buffer.substr(0, buffer.find(u'\0'));
}

} // namespace

TEST(Factory, AnswersItsTwoIdentifiersAndCountsNothing) {
    IMpFactory* factory = testLibrary().factory();
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->queryInterface(MP_IID_FACTORY, &out), ResultOk);
    EXPECT_EQ(out, factory);
    EXPECT_EQ(factory->queryInterface(MP_IID_UNKNOWN, &out), ResultOk);
    EXPECT_EQ(factory->queryInterface(MP_IID_PLUGIN, &out), ResultNoSupport);
    EXPECT_EQ(out, nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(factory->addRef(), 16);
        EXPECT_EQ(factory->release(), 1);
    }
    void* again = nullptr;
    EXPECT_EQ(factory->queryInterface(MP_IID_UNKNOWN, &again), ResultOk);
    EXPECT_EQ(again, factory);
}

TEST(Factory, CreatesHalvesByExactIdentifierAndSubType) {
    IMpFactory* factory = testLibrary().factory();
    zrhost::HostContext context;

    zrhost::AudioModule audio(testLibrary(), u"ZR Test Both", context);
    zrhost::GuiModule gui(testLibrary(), u"ZR Test Both", context);
    ASSERT_EQ(audio.createResult(), ResultOk);
    ASSERT_EQ(gui.createResult(), ResultOk);
    // Two different classes: the audio half is no GUI and the other way round.
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(audio.plugin()->queryInterface(MP_IID_USER_INTERFACE, &p), ResultNoSupport);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(gui.ui()->queryInterface(MP_IID_PLUGIN, &p), ResultNoSupport);

    struct Case {
        const char16_t* id;
        int32 subType;
    };
    for (const Case& c :
         {Case{u"ZR Test Probe", 1}, Case{u"ZR Test Gui Probe", 0}, Case{u"ZR Test Both", 2},
          Case{u"ZR Test Both", -1}, Case{u"zr test probe", 0}, Case{u"ZR Test Probe ", 0},
          Case{u"", 0}, Case{u"No Such Module", 0}}) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->createInstance(c.id, c.subType, &audio.host(), &out), ResultNoSupport);
        EXPECT_EQ(out, nullptr);
    }
}

TEST(Factory, CreatedObjectStartsWithOneReference) {
    zrhost::HostContext context;
    zrhost::AudioModule audio(testLibrary(), u"ZR Test Probe", context);
    ASSERT_TRUE(audio.valid());
    EXPECT_EQ(audio.plugin()->addRef(), 2);
    EXPECT_EQ(audio.plugin()->release(), 1);
}

TEST(Factory, GuiHalfWithoutItsHostInterfacesFailsAndFactoryStaysUsable) {
    zrhost::HostContext context;
    zrhost::GuiHostOptions noGuiHost;
    noGuiHost.offerGuiHost = false;
    zrhost::GuiModule a(testLibrary(), u"ZR Test Gui Probe", context, noGuiHost);
    EXPECT_EQ(a.createResult(), ResultFail);
    EXPECT_FALSE(a.valid());

    zrhost::GuiHostOptions noComposited;
    noComposited.offerCompositedHost = false;
    zrhost::GuiModule b(testLibrary(), u"ZR Test Gui Probe", context, noComposited);
    EXPECT_EQ(b.createResult(), ResultFail);
    // The partly built object gave back the interfaces it had taken.
    EXPECT_EQ(b.hostReferences(), 0);

    zrhost::GuiModule c(testLibrary(), u"ZR Test Gui Probe", context);
    EXPECT_EQ(c.createResult(), ResultOk);
}

TEST(Factory, BuildInformationIsTruncatedToFit) {
    int32 version = 0;
    EXPECT_EQ(buildText(40, &version), u"MS Compiler V1600");
    EXPECT_EQ(version, 30400);
    EXPECT_EQ(buildText(8), u"MS Comp");
    EXPECT_EQ(buildText(18), u"MS Compiler V1600");
    EXPECT_EQ(buildText(17), u"MS Compiler V160");
    EXPECT_EQ(buildText(1), u"");
    // No room at all: nothing is written.
    std::u16string untouched(4, u'#');
    int32 sdk = 0;
    testLibrary().factory()->getBuildInformation(sdk, 0, untouched.data());
    EXPECT_EQ(untouched, u"####");
}

TEST(Factory, ShippedLibraryLoadsAndDescribesWhatItRegisters) {
#ifdef _WIN32
    GTEST_SKIP() << "the module catalog is exported off Windows only";
#endif
    zrhost::ModuleLibrary& lib = shippedLibrary();
    ASSERT_NE(lib.factory(), nullptr);
    ASSERT_NE(lib.moduleDescriptions(), nullptr);
    const std::string catalog = lib.moduleDescriptions();
    EXPECT_EQ(catalog.rfind("<?xml version=\"1.0\" encoding=\"utf-8\" ?>", 0), 0u);
    EXPECT_NE(catalog.find("<PluginList>"), std::string::npos);
    EXPECT_NE(catalog.find("</PluginList>"), std::string::npos);
    // Test modules are not part of the shipped registry.
    EXPECT_EQ(catalog.find("ZR Test Probe"), std::string::npos);
}

TEST(Factory, CatalogOfUndescribedModulesListsPinsInIndexOrder) {
#ifdef _WIN32
    GTEST_SKIP() << "the module catalog is exported off Windows only";
#endif
    const std::string catalog = testLibrary().moduleDescriptions();
    const auto at = catalog.find("id=\"ZR Test Probe\"");
    ASSERT_NE(at, std::string::npos);
    const auto end = catalog.find("</Plugin>", at);
    const std::string probe = catalog.substr(at, end - at);
    const char* expected[] = {
        "<Pin id=\"0\" name=\"Float\" direction=\"in\" datatype=\"float\" />",
        "<Pin id=\"3\" name=\"Text\" direction=\"in\" datatype=\"string\" />",
        "<Pin id=\"5\" name=\"List\" direction=\"in\" datatype=\"enum\" />",
        "<Pin id=\"6\" name=\"Audio In\" direction=\"in\" datatype=\"float\" rate=\"audio\" />",
        "<Pin id=\"9\" name=\"Float Out\" direction=\"out\" datatype=\"float\" />",
    };
    std::size_t last = 0;
    for (const char* pin : expected) {
        const auto pos = probe.find(pin);
        ASSERT_NE(pos, std::string::npos) << pin;
        EXPECT_GT(pos, last) << pin;
        last = pos;
    }
    // A module with both halves lists both.
    const auto both = catalog.find("id=\"ZR Test Both\"");
    ASSERT_NE(both, std::string::npos);
    const std::string bothText = catalog.substr(both, catalog.find("</Plugin>", both) - both);
    EXPECT_NE(bothText.find("<Audio>"), std::string::npos);
    EXPECT_NE(bothText.find("<GUI>"), std::string::npos);
}
