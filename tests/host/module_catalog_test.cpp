#include "fake_library.h"
#include "host/module_catalog.h"

#include <gtest/gtest.h>

using namespace zrhost;

namespace {

TEST(ModuleCatalog, ReadsTheLibrarysDescriptions) {
    auto lib = test::loadFake();
    const auto catalog = loadModuleCatalog(*lib);
    ASSERT_TRUE(catalog.has_value());
    ASSERT_EQ(catalog->modules.size(), 1u);
    const ModuleInfo* echo = catalog->find("Fake Echo");
    ASSERT_NE(echo, nullptr);
    EXPECT_EQ(echo->name, "Echo");
    EXPECT_EQ(echo->category, "Debug");
    EXPECT_EQ(echo->attributes.at("helpUrl"), "echo.htm");
    EXPECT_TRUE(echo->hasAudio);
    EXPECT_TRUE(echo->hasGui);

    ASSERT_EQ(echo->audioPins.size(), 4u);
    const PinInfo& level = echo->audioPins[0];
    EXPECT_EQ(level.datatype, gmpi::DatatypeFloat);
    EXPECT_EQ(level.defaultValue, "0.5");
    EXPECT_EQ(echo->audioPin(1)->datatype, gmpi::DatatypeInt);
    const PinInfo* out = echo->audioPin(2);
    EXPECT_EQ(out->direction, gmpi::DirectionOut);
    EXPECT_TRUE(out->audioRate);
    EXPECT_EQ(out->datatype, gmpi::DatatypeAudio);
    EXPECT_EQ(out->datatypeName, "float");
    ASSERT_NE(echo->audioPin(3), nullptr); // no id: follows the previous pin
    EXPECT_EQ(echo->audioPin(3)->name, "In");

    ASSERT_EQ(echo->guiPins.size(), 2u);
    EXPECT_EQ(echo->guiPin(0)->datatype, gmpi::DatatypeText);
    EXPECT_EQ(echo->guiPin(1), nullptr); // indices may be skipped
    EXPECT_EQ(echo->guiPin(7)->datatype, gmpi::DatatypeList);
    EXPECT_EQ(echo->guiPin(7)->attributes.at("parameterId"), "3");
    EXPECT_EQ(catalog->find("Fake echo"), nullptr); // identifiers are case-sensitive
}

TEST(ModuleCatalog, RejectsBrokenDocuments) {
    auto errorOf = [](std::string_view xml) -> std::string {
        try {
            parseModuleCatalog(xml);
        } catch (const CatalogError& e) {
            return e.what();
        }
        return "no error";
    };
    EXPECT_NE(errorOf("<PluginList><Plugin id='x'>").find("well-formed"), std::string::npos);
    EXPECT_NE(errorOf("<Modules/>").find("PluginList"), std::string::npos);
    EXPECT_NE(errorOf("<PluginList><Plugin name='n'/></PluginList>").find("id"), std::string::npos);
    const std::string badType = errorOf("<PluginList><Plugin id='M1'><Audio><Pin id='2' "
                                        "datatype='double'/></Audio></Plugin></PluginList>");
    EXPECT_NE(badType.find("M1"), std::string::npos) << badType;
    EXPECT_NE(badType.find("double"), std::string::npos) << badType;
    EXPECT_NE(errorOf("<PluginList><Plugin id='M'><GUI><Pin datatype='int' direction='up'/>"
                      "</GUI></Plugin></PluginList>")
                  .find("direction"),
              std::string::npos);
    EXPECT_EQ(errorOf("<PluginList/>"), "no error");
}

} // namespace
