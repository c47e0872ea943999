// The library's module catalog for the patch-memory family: well-formed XML, one Plugin per
// identifier, and the embedded descriptions agreeing with the description tables and with the
// pins the module halves really bind.
#include "pm_layouts.h"
#include "tests/rig/catalog_rig.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <map>

using namespace pmtest;

namespace {

struct Described {
    const char* id;
    const char* name;
    const char* category;
    const char* datatype;
    bool parameterOut; // parameter declared direction="out"
    bool outVariant;   // the patch writes the parameter through audio pin 1
    // Parameter field of host-side GUI pins 0, 1, ... ("" = the value itself).
    std::vector<std::string> fields;
};

const std::vector<std::string> kPlainFields = {"",     "ShortName", "MenuItems", "MenuSelection",
                                               "Grab", "Normalized"};
const std::vector<std::string> kTextFields = {"", "ShortName", "FileExtension", "MenuItems",
                                              "MenuSelection"};
const std::vector<std::string> kOutFields = {"", "ShortName", "MenuItems", "MenuSelection",
                                             "Normalized"};
const std::vector<std::string> kTextOutFields = {"", "ShortName", "MenuItems", "MenuSelection"};

const std::vector<Described> kDescribed = {
    {"VL PatchMemory Bool Out", "PatchMemory Bool Out", "Sub-Controls", "bool", false, true,
     kOutFields},
    {"VL PatchMemory Float Out", "PatchMemory Float Out3", "Sub-Controls", "float", true, true,
     kOutFields},
    {"VL PatchMemory Float Out B2", "PatchMemory Float Out B2", "Debug", "float", true, true,
     kOutFields},
    {"VL PatchMemory Float", "PatchMemory Float3", "Sub-Controls", "float", false, false,
     kPlainFields},
    {"VL PatchMemory Int Out", "PatchMemory Int Out", "Sub-Controls", "int", false, true,
     kOutFields},
    {"VL PatchMemory Text2", "PatchMemory Text2", "Sub-Controls", "string", false, false,
     kTextFields},
    {"VL PatchMemory Text Out", "PatchMemory Text Out", "Sub-Controls", "string", false, true,
     kTextOutFields},
};

std::string attr(const pugi::xml_node& n, const char* name) {
    return n.attribute(name).value();
}

class PatchMemoryCatalog : public ::testing::Test, protected rig::CatalogIndex {
  protected:
    std::unique_ptr<zrhost::ModuleLibrary> lib = loadLibrary();

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(parseCatalog(lib->moduleDescriptions()));
        const auto decl = doc.first_child();
        ASSERT_EQ(decl.type(), pugi::node_declaration);
        EXPECT_EQ(attr(decl, "version"), "1.0");
        EXPECT_EQ(attr(decl, "encoding"), "utf-8");
    }
};

TEST_F(PatchMemoryCatalog, EmbeddedDescriptionsMatchTheTablesAndTheModules) {
    for (const Described& d : kDescribed) {
        SCOPED_TRACE(d.id);
        ASSERT_EQ(plugins[d.id].size(), 1u);
        const auto p = plugins[d.id][0];
        EXPECT_EQ(attr(p, "name"), d.name);
        EXPECT_EQ(attr(p, "category"), d.category);
        EXPECT_EQ(attr(p, "helpUrl"), "Patchmemory.htm");
        std::vector<std::string> order;
        for (const auto& c : p.children())
            order.push_back(c.name());
        EXPECT_EQ(order, (std::vector<std::string>{"Parameters", "Audio", "GUI"}));

        const auto params = p.child("Parameters");
        ASSERT_EQ(std::distance(params.begin(), params.end()), 1);
        const auto param = params.child("Parameter");
        EXPECT_EQ(attr(param, "id"), "0");
        EXPECT_EQ(attr(param, "datatype"), d.datatype);
        EXPECT_EQ(attr(param, "direction"), d.parameterOut ? "out" : "");

        std::vector<pugi::xml_node> audio(p.child("Audio").children("Pin").begin(),
                                          p.child("Audio").children("Pin").end());
        ASSERT_EQ(audio.size(), 2u);
        EXPECT_EQ(attr(audio[0], "name") + "|" + attr(audio[0], "direction"), "Value In|in");
        EXPECT_EQ(attr(audio[1], "name"), d.outVariant ? "PM Value Out" : "Value Out");
        EXPECT_EQ(attr(audio[1], "direction"), "out");
        for (const auto& pin : audio)
            EXPECT_EQ(attr(pin, "datatype"), d.datatype);
        // Exactly one audio pin is bound to the parameter: the input of a plain module, the
        // (hidden) output of an "Out" module.
        EXPECT_EQ(attr(audio[0], "parameterId"), d.outVariant ? "" : "0");
        EXPECT_EQ(attr(audio[1], "parameterId"), d.outVariant ? "0" : "");
        EXPECT_EQ(attr(audio[1], "private"), d.outVariant ? "true" : "");
        EXPECT_EQ(attr(audio[1], "autoConfigureParameter"), "true");

        const Layout* layout = nullptr;
        static const auto layouts = allLayouts();
        for (const auto& l : layouts)
            if (zrhost::toUtf8(l.id) == d.id) layout = &l;
        ASSERT_NE(layout, nullptr);
        std::set<int32> described;
        for (const auto& pin : p.child("GUI").children("Pin")) {
            const int32 id = std::stoi(attr(pin, "id"));
            SCOPED_TRACE("GUI pin " + std::to_string(id));
            EXPECT_TRUE(described.insert(id).second);
            EXPECT_EQ(attr(pin, "isMinimised"),
                      id == 7 && std::string(d.id) == "VL PatchMemory Float Out" ? "true" : "");
            const PinRow* row = layout->pin(id);
            if (attr(pin, "private") == "true") {
                EXPECT_EQ(row, nullptr); // a hidden pin the class does not bind
                continue;
            }
            ASSERT_NE(row, nullptr);
            EXPECT_EQ(attr(pin, "name"), row->name);
            EXPECT_EQ(attr(pin, "datatype"), row->type);
            const bool hostSide = id < static_cast<int32>(d.fields.size());
            EXPECT_EQ(attr(pin, "direction"),
                      hostSide || row->name == std::string("Value Out") ? "in" : "out");
            EXPECT_EQ(attr(pin, "parameterId"), hostSide ? "0" : "");
            EXPECT_EQ(attr(pin, "parameterField"), hostSide ? d.fields[id] : "");
        }
        for (const auto& row : layout->pins)
            EXPECT_TRUE(described.count(row.id)) << "bound pin " << row.id << " undescribed";
    }
}

// Each embedded description against the pins its classes bind, as listed by the catalog of a
// library that registers the same classes without descriptions: every bound pin described with
// its index, name, direction and type; a described pin that no class binds must be private.
// One difference is by design: the plain and "Out" identifiers share their audio class, whose
// pin 1 the "Out" descriptions call "PM Value Out".
TEST_F(PatchMemoryCatalog, EmbeddedDescriptionsAgreeWithTheBoundPins) {
    auto pinLibrary = zrhost::ModuleLibrary::load(ZR_PM_PIN_LIBRARY_PATH);
    ASSERT_TRUE(pinLibrary);
    pugi::xml_document bound;
    ASSERT_TRUE(bound.load_string(pinLibrary->moduleDescriptions()));
    const auto pinText = [](const pugi::xml_node& pin) {
        return attr(pin, "name") + "|" + attr(pin, "direction") + "|" + attr(pin, "datatype");
    };
    for (const Described& d : kDescribed) {
        const auto binds = bound.child("PluginList").find_child_by_attribute("Plugin", "id", d.id);
        ASSERT_TRUE(binds) << d.id;
        for (const char* half : {"Audio", "GUI"}) {
            SCOPED_TRACE(std::string(d.id) + " " + half);
            std::map<std::string, std::string> bound;
            for (const auto& pin : binds.child(half).children("Pin"))
                bound[attr(pin, "id")] = pinText(pin);
            for (const auto& pin : plugins[d.id][0].child(half).children("Pin")) {
                const auto b = bound.find(attr(pin, "id"));
                if (b == bound.end()) {
                    EXPECT_EQ(attr(pin, "private"), "true") << "pin " << attr(pin, "id");
                    continue;
                }
                std::string described = pinText(pin);
                if (d.outVariant && half == std::string("Audio") && b->first == "1") {
                    EXPECT_EQ(described.rfind("PM ", 0), 0u); // "PM " + the class's name
                    described.erase(0, 3);
                }
                EXPECT_EQ(described, b->second) << "pin " << b->first;
                bound.erase(b);
            }
            for (const auto& [id, text] : bound)
                ADD_FAILURE() << "bound pin " << id << " (" << text << ") undescribed";
        }
    }
}

// Identifiers without an embedded description are described from the pins their halves bind:
// the types there must be the layout's.
TEST_F(PatchMemoryCatalog, OtherIdentifiersAppearWithTheirBoundPins) {
    for (const Layout& l : allLayouts()) {
        const std::string id = zrhost::toUtf8(l.id);
        SCOPED_TRACE(id);
        ASSERT_EQ(plugins[id].size(), 1u);
        if (!plugins[id][0].child("Parameters").empty()) continue; // embedded
        std::vector<std::pair<int32, std::string>> pins, expected;
        for (const auto& pin : plugins[id][0].child("GUI").children("Pin"))
            pins.emplace_back(std::stoi(attr(pin, "id")), attr(pin, "datatype"));
        for (const auto& row : l.pins)
            expected.emplace_back(row.id, row.type);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(pins, expected);
    }
}

} // namespace
