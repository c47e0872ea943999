// Block D1 in the library's catalog, for the converter and scaling entries: well-formed XML,
// each identifier exactly once, with its display name, category, help page, and pins as the
// module tables list them. Also the entries of the two scaling modules without a block.
#include "converter_rig.h"
#include "tests/rig/catalog_rig.h"

#include <pugixml.hpp>

#include <map>

using namespace convtest;

namespace {

struct PinRow {
    std::string name, direction, datatype, defaultValue;
};

struct Entry {
    std::string id, name, category, helpUrl, graphicsApi, half;
    std::vector<PinRow> pins;
};

std::vector<Entry> expectedEntries() {
    std::vector<Entry> out;
    struct Pair {
        const char *stem, *name, *pin0, *type0, *pin1, *type1;
    };
    const Pair pairs[] = {
        {"IntToBool", "Int to Bool", "Int Val", "int", "Bool Val", "bool"},
        {"IntToFloat", "Int To Float", "Int Val", "int", "Float Val", "float"},
        {"IntToText", "Int To Text", "Int Val", "int", "Text Val", "string"},
        {"FloatToInt", "Float To Int", "Float Val", "float", "Int Val", "int"},
        {"FloatToBool", "Float To Bool", "Float Val", "float", "Bool Val", "bool"},
        {"FloatToText", "Float To Text", "Float Val", "float", "Text Val", "string"},
        {"BoolToInt", "Bool To Int", "Bool Val", "bool", "Int Val", "int"},
        {"BoolToFloat", "Bool To Float", "Bool Val", "bool", "Float Val", "float"},
        {"BoolToText", "Bool To Text", "Bool Val", "bool", "Text Val", "string"},
        {"TextToInt", "Text To Int", "Text Val", "string", "Int Val", "int"},
        {"TextToFloat", "Text To Float", "Text Val", "string", "Float Val", "float"},
        {"TextToBool", "Text To Bool", "Text Val", "string", "Bool Val", "bool"},
        {"ListToInt", "List To Int", "List Val", "enum", "Int Val", "int"},
        {"TextToBlob", "Text to Blob", "Value In", "string", "Value Out", "blob"},
        {"BlobToText", "Blob to Text", "Value In", "blob", "Value Out", "string"},
    };
    for (const Pair& p : pairs) {
        const std::string stem = p.stem;
        const std::vector<PinRow> pins = {{p.pin0, "in", p.type0, ""},
                                          {p.pin1, "out", p.type1, ""}};
        const bool blob = stem.find("Blob") != std::string::npos;
        if (!blob)
            out.push_back({"VL " + stem, p.name, stem == "ListToInt" ? "Obsolete" : "Conversion",
                           "converters.htm", "", "Audio", pins});
        if (stem == "FloatToText" || stem == "ListToInt") continue;
        out.push_back({"VL " + stem + " GUI", p.name, "Sub-Controls/Conversion",
                       blob ? "converters.htm" : "Sub-control-converters.htm", blob ? "none" : "",
                       "GUI", pins});
    }
    out.push_back({"VL Float Scaler2",
                   "Float Scaler2",
                   "Sub-Controls/Conversion",
                   "",
                   "none",
                   "GUI",
                   {{"Value Out", "out", "float", ""},
                    {"Multiply by", "in", "float", "1"},
                    {"Add", "in", "float", ""},
                    {"Value In", "in", "float", ""}}});
    out.push_back({"VL FloatToText GUI",
                   "Float To Text",
                   "Sub-Controls/Conversion",
                   "",
                   "",
                   "GUI",
                   {{"Float Val", "in", "float", ""},
                    {"Decimal Places", "in", "int", "-1"},
                    {"Text Val", "out", "string", ""}}});
    return out;
}

class CatalogD1 : public ConverterRig, protected rig::CatalogIndex {
  protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(parseCatalog(lib->moduleDescriptions())); }
};

TEST_F(CatalogD1, EachEntryOnceWithNameCategoryHelpPageAndPins) {
    const auto entries = expectedEntries();
    EXPECT_EQ(entries.size(), 28u); // 13 audio, 13 GUI converters, scaler, formatter
    for (const Entry& e : entries) {
        SCOPED_TRACE(e.id);
        ASSERT_EQ(plugins[e.id].size(), 1u);
        const auto p = plugins[e.id][0];
        EXPECT_EQ(p.attribute("name").value(), e.name);
        EXPECT_EQ(p.attribute("category").value(), e.category);
        EXPECT_EQ(p.attribute("helpUrl").value(), e.helpUrl);
        EXPECT_EQ(p.attribute("graphicsApi").value(), e.graphicsApi);
        std::vector<std::string> children;
        for (const auto& c : p.children())
            children.push_back(c.name());
        EXPECT_EQ(children, std::vector<std::string>{e.half});
        std::vector<PinRow> pins;
        int index = 0;
        for (const auto& pin : p.child(e.half.c_str()).children("Pin")) {
            EXPECT_EQ(pin.attribute("id").as_int(-1), index++);
            pins.push_back({pin.attribute("name").value(), pin.attribute("direction").value(),
                            pin.attribute("datatype").value(), pin.attribute("default").value()});
        }
        ASSERT_EQ(pins.size(), e.pins.size());
        for (std::size_t k = 0; k < pins.size(); ++k) {
            EXPECT_EQ(pins[k].name, e.pins[k].name) << "pin " << k;
            EXPECT_EQ(pins[k].direction, e.pins[k].direction) << "pin " << k;
            EXPECT_EQ(pins[k].datatype, e.pins[k].datatype) << "pin " << k;
            EXPECT_EQ(pins[k].defaultValue, e.pins[k].defaultValue) << "pin " << k;
        }
    }
}

// The modules without a block appear once, described from the pins their halves bind.
TEST_F(CatalogD1, UnitConverterAndLimiterAreDescribedFromTheirPins) {
    using Row = std::tuple<std::string, std::string, std::string>;
    const std::vector<std::tuple<std::string, std::string, std::vector<Row>>> cases = {
        {"VL Unit Converter",
         "Audio",
         {{"Value In", "in", "float"},
          {"Value Out", "out", "float"},
          {"Conversion", "in", "enum"}}},
        {"VL Float Limiter",
         "GUI",
         {{"Minimum", "in", "float"}, {"Maximum", "in", "float"}, {"Value", "in", "float"}}},
    };
    for (const auto& [id, half, expected] : cases) {
        SCOPED_TRACE(id);
        ASSERT_EQ(plugins[id].size(), 1u);
        std::vector<Row> pins;
        for (const auto& pin : plugins[id][0].child(half.c_str()).children("Pin"))
            pins.emplace_back(pin.attribute("name").value(), pin.attribute("direction").value(),
                              pin.attribute("datatype").value());
        EXPECT_EQ(pins, expected);
    }
}

} // namespace
