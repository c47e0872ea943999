// The library's catalog entries of the panel utilities and the full-path memory: each
// identifier once, with the display name, category and pins its description gives, and the
// modules without a description listed with the pins their halves bind.
#include "panel_rig.h"

#include "host/module_catalog.h"

using namespace paneltest;

namespace {

struct Pin {
    int32 id;
    std::string name, direction, datatype;
    bool growable = false; // autoDuplicate and autoRename
};
struct Entry {
    const char* id;
    const char* name;
    const char* category;
    std::vector<Pin> gui;
    std::vector<Pin> audio = {};
};

const std::vector<Pin> kRadioPins = {{0, "Value", "in", "int"}, {1, "Spare", "out", "bool", true}};
const std::vector<Pin> kImagePins = {{0, "Animation Position", "out", "float"},
                                     {1, "Frame Count", "in", "int"},
                                     {2, "Frame Number", "in", "int"}};

std::vector<Pin> oldImagePins() {
    auto pins = kImagePins;
    pins[1].direction = "out"; // kept for old patches
    return pins;
}

const std::vector<Entry> kDescribed = {
    {"VL Int to Bools", "Int to Bools", "Sub-Controls/Conversion", kRadioPins},
    {"VL Bools to Int", "Int to Bools", "Sub-Controls/Old", kRadioPins},
    {"VL Command Trigger",
     "Command Trigger",
     "Sub-Controls/Conversion",
     {{0, "Command", "in", "int"}, {1, "Spare", "out", "bool", true}}},
    {"Veloran Image to Frame (old)", "Image to Frame (old)", "Old", oldImagePins()},
    {"Veloran Image to Frame", "Image to Frame", "Sub-Controls", kImagePins},
    {"VL ListToText",
     "List to Text",
     "Sub-Controls/Conversion",
     {{0, "Choice", "in", "int"},
      {1, "Item List", "in", "string"},
      {2, "Item Text", "out", "string"}}},
    {"VL dBToAnimation",
     "dB to Animation",
     "Sub-Controls/Conversion",
     {{0, "Animation Position", "out", "float"}, {1, "Db", "in", "float"}}},
};

// Pins of modules without a description: index order and types are the contract.
const std::vector<std::pair<const char*, std::vector<std::string>>> kUndescribedGui = {
    {"VL System Command", {"bool", "int", "string", "string"}},
    {"VL Spring2", {"float", "bool", "float"}},
    {"VL Spring", {"float", "bool", "float"}},
    {"ZR Full Path Memory-x16", {"string", "string", "string", "string", "string", "string"}},
};

std::vector<Pin> pinsOf(const std::vector<zrhost::PinInfo>& pins) {
    std::vector<Pin> out;
    for (const auto& p : pins) {
        const auto attr = [&](const char* a) {
            const auto it = p.attributes.find(a);
            return it == p.attributes.end() ? std::string() : it->second;
        };
        EXPECT_EQ(attr("autoDuplicate"), attr("autoRename")) << p.name;
        out.push_back({p.id, p.name, p.direction == gmpi::DirectionOut ? "out" : "in",
                       p.datatypeName, attr("autoDuplicate") == "true"});
    }
    return out;
}

bool operator==(const Pin& a, const Pin& b) {
    return a.id == b.id && a.name == b.name && a.direction == b.direction &&
           a.datatype == b.datatype && a.growable == b.growable;
}

class PanelCatalog : public ::testing::Test {
  protected:
    const zrhost::ModuleCatalog catalog = *zrhost::loadModuleCatalog(library());
    const zrhost::ModuleInfo& only(const char* id) {
        int n = 0;
        const zrhost::ModuleInfo* found = nullptr;
        for (const auto& m : catalog.modules)
            if (m.id == id) ++n, found = &m;
        EXPECT_EQ(n, 1) << id;
        if (!found) throw std::runtime_error(std::string("missing ") + id);
        return *found;
    }
};

TEST_F(PanelCatalog, DescribedPanelModules) {
    for (const Entry& e : kDescribed) {
        SCOPED_TRACE(e.id);
        const auto& m = only(e.id);
        EXPECT_EQ(m.name, e.name);
        EXPECT_EQ(m.category, e.category);
        EXPECT_EQ(m.attributes.at("graphicsApi"), "none");
        EXPECT_FALSE(m.hasAudio);
        EXPECT_TRUE(pinsOf(m.guiPins) == e.gui);
    }
}

// The panel entries keep their order within description block D1.
TEST_F(PanelCatalog, DescribedInBlockOrder) {
    std::vector<std::string> order;
    for (const auto& m : catalog.modules)
        for (const Entry& e : kDescribed)
            if (m.id == e.id) order.push_back(m.id);
    std::vector<std::string> expected;
    for (const Entry& e : kDescribed)
        expected.push_back(e.id);
    EXPECT_EQ(order, expected);
}

TEST_F(PanelCatalog, UndescribedModulesListTheirBoundPins) {
    for (const auto& [id, types] : kUndescribedGui) {
        SCOPED_TRACE(id);
        const auto& m = only(id);
        std::vector<std::string> seen;
        for (size_t i = 0; i < m.guiPins.size(); ++i) {
            EXPECT_EQ(m.guiPins[i].id, static_cast<int32>(i));
            seen.push_back(m.guiPins[i].datatypeName);
        }
        EXPECT_EQ(seen, types);
    }
    const auto& fullPath = only("ZR Full Path Memory-x16");
    ASSERT_EQ(fullPath.audioPins.size(), 2u);
    EXPECT_EQ(fullPath.audioPins[0].direction, gmpi::DirectionIn);
    EXPECT_EQ(fullPath.audioPins[1].direction, gmpi::DirectionOut);
    EXPECT_EQ(fullPath.audioPins[1].datatypeName, "string");
}

} // namespace
