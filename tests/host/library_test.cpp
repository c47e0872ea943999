#include "fake_library.h"

#include <gtest/gtest.h>

#include <string>

using namespace zrhost;

namespace {

std::string loadErrorFor(const std::string& path) {
    try {
        ModuleLibrary::load(path);
    } catch (const LoadError& e) {
        return e.what();
    }
    return {};
}

TEST(ModuleLibrary, ReportsWhyALibraryCannotBeUsed) {
    const std::string missing = "/nonexistent/dir/libnothing.so";
    const std::string missingError = loadErrorFor(missing);
    EXPECT_NE(missingError.find("cannot load"), std::string::npos) << missingError;
    EXPECT_NE(missingError.find(missing), std::string::npos) << missingError;

    const std::string noFactoryError = loadErrorFor(ZR_NO_FACTORY_PLUGIN);
    EXPECT_NE(noFactoryError.find("MP_GetFactory"), std::string::npos) << noFactoryError;
    EXPECT_NE(noFactoryError.find(ZR_NO_FACTORY_PLUGIN), std::string::npos) << noFactoryError;
}

TEST(ModuleLibrary, FindsFactoryAndOptionalExports) {
    auto lib = test::loadFake();
    ASSERT_NE(lib->factory(), nullptr);
    EXPECT_EQ(lib->path(), ZR_FAKE_PLUGIN);
#ifdef _WIN32
    // The optional exports belong to the platform layer of other systems.
    EXPECT_EQ(lib->timerIntervalFn(), nullptr);
    EXPECT_EQ(lib->moduleDescriptions(), nullptr);
#else
    EXPECT_NE(lib->timerIntervalFn(), nullptr);
    EXPECT_NE(lib->timerTickFn(), nullptr);
    ASSERT_NE(lib->moduleDescriptions(), nullptr);
    EXPECT_NE(std::string(lib->moduleDescriptions()).find("<PluginList>"), std::string::npos);
#endif

    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(lib->factory()->createInstance(u"No Such Module", 0, nullptr, &object),
              gmpi::ResultNoSupport);
    EXPECT_EQ(object, nullptr);
}

} // namespace
