// GUI pin layouts of the patch-memory modules as the tests expect them: each bound pin's type
// (as the descriptions write it), its described name, and the pins a change of it is relayed
// to, in transmission order. Pins not listed must not exist.
#pragma once

#include "host/text.h"
#include "tests/rig/module_rig.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace pmtest {

using gmpi::int32;

struct PinRow {
    int32 id;
    std::string type; // "float", "int", "bool", "string", "blob"
    std::vector<int32> relaysTo;
    const char* name = nullptr;
};

struct Layout {
    std::u16string id;
    std::vector<PinRow> pins;
    int32 special = -1; // bound, but its reaction is tested on its own
    const PinRow* pin(int32 id) const {
        for (const auto& p : pins)
            if (p.id == id) return &p;
        return nullptr;
    }
};

// A value of `type` that differs from the pin default (0, false, empty); `k` varies it.
inline std::vector<std::uint8_t> sampleBytes(const std::string& type, int k) {
    const auto b = static_cast<std::uint8_t>(k);
    if (type == "float") {
        const float f = 0.25f * static_cast<float>(k + 1);
        std::vector<std::uint8_t> v(4);
        std::memcpy(v.data(), &f, 4);
        return v;
    }
    if (type == "int") return {static_cast<std::uint8_t>(40 + k), 0, 0, 0};
    if (type == "bool") return {1};
    if (type == "string") return {static_cast<std::uint8_t>('a' + k), 0, 'z', 0};
    return {b, 0xAB, 0};
}

// Pins relayed to each other: {a, b, type, name of a, name of b}.
struct Pair {
    int32 a, b;
    const char* type;
    const char* nameA = nullptr;
    const char* nameB = nullptr;
};
inline Layout pairs(std::u16string id, std::initializer_list<Pair> ps) {
    Layout l{id, {}};
    for (const auto& p : ps) {
        l.pins.push_back({p.a, p.type, {p.b}, p.nameA});
        l.pins.push_back({p.b, p.type, {p.a}, p.nameB});
    }
    return l;
}

inline Layout plainLayout(std::u16string id, const char* t) {
    return pairs(id, {{0, 7, t, "Value In", "Value"},
                      {1, 6, "string", "Name In", "Name"},
                      {2, 9, "string", "Menu Items", "Menu Items"},
                      {3, 10, "int", "Menu Selection", "Menu Selection"},
                      {4, 11, "bool", "Mouse Down", "Mouse Down"},
                      {5, 8, "float", "AnimationIn", "Animation Position"}});
}

inline Layout textLikeLayout(std::u16string id, const char* t) {
    return pairs(id, {{0, 6, t, "Value In", "Value"},
                      {1, 5, "string", "Name In", "Name"},
                      {2, 7, "string", "File Extension", "File Extension"},
                      {3, 8, "string", "Menu Items", "Menu Items"},
                      {4, 9, "int", "Menu Selection", "Menu Selection"}});
}

// The "Out" layout: the float value also feeds the legacy pin 7; text has no pins 4 and 8.
inline Layout outLayout(std::u16string id, const std::string& t) {
    Layout l = pairs(id, {{0, 6, t.c_str(), "PM Value In", "Value"},
                          {1, 5, "string", "PM Name In", "Name"},
                          {2, 9, "string", "PM Menu Items", "Menu Items"},
                          {3, 10, "int", "PM Menu Selection", "Menu Selection"}});
    if (t == "float") {
        l.pins[0].relaysTo = {6, 7};
        l.pins.push_back({7, "float", {}, "Value Out"});
    }
    if (t != "string") {
        l.pins.push_back({4, "float", {8}, "AnimationIn"});
        l.pins.push_back({8, "float", {}, "Animation Position"});
    }
    return l;
}

inline std::vector<Layout> allLayouts() {
    Layout patchmemory{u"VL PatchMemory", {}};
    const char* types[] = {"float",  "string", "string", "int",    "bool", "float",
                           "string", "float",  "float",  "string", "int",  "bool"};
    for (int32 i = 0; i < 12; ++i)
        patchmemory.pins.push_back({i, types[i], {}});
    const std::vector<std::vector<int32>> infoRelays = {{5}, {6}, {7}, {8}, {}, {0}, {},
                                                        {2}, {3}, {},  {},  {}, {11}};
    Layout info{u"VL Patch Info", {}, 10};
    const char* infoTypes[] = {"int",    "string", "string", "int", "int",    "int",   "string",
                               "string", "int",    "string", "int", "string", "string"};
    for (int32 i = 0; i < 13; ++i)
        info.pins.push_back({i, infoTypes[i], infoRelays[i]});
    return {plainLayout(u"VL PatchMemory Float", "float"),
            plainLayout(u"VL PatchMemory Int", "int"),
            plainLayout(u"VL PatchMemory Bool", "bool"),
            textLikeLayout(u"VL PatchMemory Text2", "string"),
            textLikeLayout(u"VL PatchMemory Blob", "blob"),
            outLayout(u"VL PatchMemory Float Out", "float"),
            outLayout(u"VL PatchMemory Float Out B2", "float"),
            outLayout(u"VL PatchMemory Int Out", "int"),
            outLayout(u"VL PatchMemory Bool Out", "bool"),
            outLayout(u"VL PatchMemory Text Out", "string"),
            pairs(u"VL PatchMemory Blob Out",
                  {{0, 5, "blob"}, {1, 4, "string"}, {2, 6, "string"}, {3, 7, "int"}}),
            pairs(u"VL PatchMemory List3", {{0, 7, "int"},
                                            {1, 6, "string"},
                                            {2, 8, "string"},
                                            {3, 9, "string"},
                                            {4, 10, "int"},
                                            {5, 11, "bool"}}),
            patchmemory,
            info};
}

using rig::loadLibrary;

} // namespace pmtest
