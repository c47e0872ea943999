// The library's catalog describes each float-function module once, with its display name,
// category and pins, in pin order.
#include "host/module_catalog.h"
#include "host/module_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace zrhost;

namespace {

struct PinRow {
    std::string name, direction, datatype, defaultValue;
};

std::vector<PinRow> rows(const std::vector<PinInfo>& pins) {
    std::vector<PinRow> out;
    for (const PinInfo& p : pins)
        out.push_back({p.name, p.direction == gmpi::DirectionIn ? "in" : "out", p.datatypeName,
                       p.defaultValue.value_or("")});
    return out;
}

bool operator==(const PinRow& a, const PinRow& b) {
    return a.name == b.name && a.direction == b.direction && a.datatype == b.datatype &&
           a.defaultValue == b.defaultValue;
}

TEST(FloatFunctionCatalog, DescribedOnceWithNameCategoryAndPins) {
    const auto lib = ModuleLibrary::load(ZR_MODULE_LIBRARY_PATH);
    const auto catalog = loadModuleCatalog(*lib);
    ASSERT_TRUE(catalog.has_value());
    const struct {
        const char* id;
        const char* category;
        bool gui;
        std::vector<PinRow> pins;
    } expected[] = {
        {"VL Float Function DSP",
         "Conversion",
         false,
         {{"A", "in", "float", ""},
          {"B", "out", "float", ""},
          {"Formula: B=", "in", "string", "A*2"}}},
        {"VL Float Function GUI",
         "Sub-Controls/Conversion",
         true,
         {{"A", "in", "float", ""},
          {"B", "out", "float", ""},
          {"Formula: A=", "in", "string", "B*2"},
          {"Formula: B=", "in", "string", "A/2"}}},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.id);
        EXPECT_EQ(std::count_if(catalog->modules.begin(), catalog->modules.end(),
                                [&](const ModuleInfo& m) { return m.id == e.id; }),
                  1);
        const ModuleInfo* m = catalog->find(e.id);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->name, "Float Function");
        EXPECT_EQ(m->category, e.category);
        EXPECT_EQ(m->hasGui, e.gui);
        EXPECT_EQ(m->hasAudio, !e.gui);
        EXPECT_TRUE(rows(e.gui ? m->guiPins : m->audioPins) == e.pins);
        for (std::size_t i = 0; i < e.pins.size(); ++i)
            EXPECT_EQ((e.gui ? m->guiPins : m->audioPins)[i].id, static_cast<gmpi::int32>(i));
        if (e.gui) {
            EXPECT_EQ(m->attributes.at("graphicsApi"), "none");
        }
    }
}

} // namespace
