// GUI pin layouts of the patch-memory modules as the tests expect them: for every bound pin its
// value type, its name (where a module description names it) and the pins a change of it is
// relayed to, in transmission order. Pins not listed must not exist.
#pragma once

#include "host/module_library.h"
#include "host/text.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace pmtest {

using gmpi::int32;

enum class Type { Float, Int, Bool, Text, Blob };

struct PinSpec {
    int32 id;
    Type type;
    std::vector<int32> relaysTo;
    const char* name = nullptr;
};

struct Layout {
    std::u16string id;
    std::vector<PinSpec> pins;
    std::set<int32> special = {}; // bound, but with a reaction tested on its own
    const PinSpec* pin(int32 id) const {
        for (const auto& p : pins)
            if (p.id == id) return &p;
        return nullptr;
    }
};

inline const char* xmlType(Type t) {
    switch (t) {
    case Type::Float:
        return "float";
    case Type::Int:
        return "int";
    case Type::Bool:
        return "bool";
    case Type::Text:
        return "string";
    case Type::Blob:
        return "blob";
    }
    return "";
}

// A value of type `t` that differs from the pin default (0, false, empty); `k` varies it.
inline std::vector<std::uint8_t> sampleBytes(Type t, int k) {
    switch (t) {
    case Type::Float: {
        const float f = 0.25f * static_cast<float>(k + 1);
        std::vector<std::uint8_t> b(4);
        std::memcpy(b.data(), &f, 4);
        return b;
    }
    case Type::Int:
        return {static_cast<std::uint8_t>(40 + k), 0, 0, 0};
    case Type::Bool:
        return {1};
    case Type::Text:
        return {static_cast<std::uint8_t>('a' + k), 0, 'z', 0};
    case Type::Blob:
        return {static_cast<std::uint8_t>(k), 0xAB, 0};
    }
    return {};
}

// Two pins relayed to each other: {a, b, type, nameA, nameB}.
struct Pair {
    int32 a, b;
    Type type;
    const char* nameA = nullptr;
    const char* nameB = nullptr;
};
inline std::vector<PinSpec> pairs(std::initializer_list<Pair> ps) {
    std::vector<PinSpec> out;
    for (const auto& p : ps) {
        out.push_back({p.a, p.type, {p.b}, p.nameA});
        out.push_back({p.b, p.type, {p.a}, p.nameB});
    }
    return out;
}

inline Layout plainLayout(std::u16string id, Type t) {
    return {id, pairs({{0, 7, t, "Value In", "Value"},
                       {1, 6, Type::Text, "Name In", "Name"},
                       {2, 9, Type::Text, "Menu Items", "Menu Items"},
                       {3, 10, Type::Int, "Menu Selection", "Menu Selection"},
                       {4, 11, Type::Bool, "Mouse Down", "Mouse Down"},
                       {5, 8, Type::Float, "AnimationIn", "Animation Position"}})};
}

inline Layout textLikeLayout(std::u16string id, Type t) {
    return {id, pairs({{0, 6, t, "Value In", "Value"},
                       {1, 5, Type::Text, "Name In", "Name"},
                       {2, 7, Type::Text, "File Extension", "File Extension"},
                       {3, 8, Type::Text, "Menu Items", "Menu Items"},
                       {4, 9, Type::Int, "Menu Selection", "Menu Selection"}})};
}

inline Layout outLayout(std::u16string id, Type t) {
    Layout l{id, pairs({{1, 5, Type::Text, "PM Name In", "Name"},
                        {2, 9, Type::Text, "PM Menu Items", "Menu Items"},
                        {3, 10, Type::Int, "PM Menu Selection", "Menu Selection"}})};
    l.pins.push_back({0, t, {6}, "PM Value In"});
    l.pins.push_back({6, t, {0}, "Value"});
    if (t == Type::Float) {
        l.pins[l.pins.size() - 2].relaysTo = {6, 7};
        l.pins.push_back({7, Type::Float, {}, "Value Out"});
    }
    if (t != Type::Text) {
        l.pins.push_back({4, Type::Float, {8}, "AnimationIn"});
        l.pins.push_back({8, Type::Float, {}, "Animation Position"});
    }
    return l;
}

inline std::vector<Layout> allLayouts() {
    const Type I = Type::Int, S = Type::Text, F = Type::Float, B = Type::Bool;
    std::vector<Layout> all = {
        plainLayout(u"VL PatchMemory Float", F),
        plainLayout(u"VL PatchMemory Int", I),
        plainLayout(u"VL PatchMemory Bool", B),
        textLikeLayout(u"VL PatchMemory Text2", S),
        textLikeLayout(u"VL PatchMemory Blob", Type::Blob),
        outLayout(u"VL PatchMemory Float Out", F),
        outLayout(u"VL PatchMemory Float Out B2", F),
        outLayout(u"VL PatchMemory Int Out", I),
        outLayout(u"VL PatchMemory Bool Out", B),
        outLayout(u"VL PatchMemory Text Out", S),
        {u"VL PatchMemory Blob Out", pairs({{0, 5, Type::Blob}, {1, 4, S}, {2, 6, S}, {3, 7, I}})},
        {u"VL PatchMemory List3",
         pairs({{0, 7, I}, {1, 6, S}, {2, 8, S}, {3, 9, S}, {4, 10, I}, {5, 11, B}})},
        {u"VL PatchMemory",
         {{0, F, {}},
          {1, S, {}},
          {2, S, {}},
          {3, I, {}},
          {4, B, {}},
          {5, F, {}},
          {6, S, {}},
          {7, F, {}},
          {8, F, {}},
          {9, S, {}},
          {10, I, {}},
          {11, B, {}}}},
        {u"VL Patch Info",
         {{0, I, {5}},
          {1, S, {6}},
          {2, S, {7}},
          {3, I, {8}},
          {4, I, {}},
          {5, I, {0}},
          {6, S, {}},
          {7, S, {2}},
          {8, I, {3}},
          {9, S, {}},
          {10, I, {}},
          {11, S, {}},
          {12, S, {11}}},
         {10}},
    };
    return all;
}

inline std::unique_ptr<zrhost::ModuleLibrary> loadLibrary() {
    return zrhost::ModuleLibrary::load(ZR_MODULE_LIBRARY_PATH);
}

} // namespace pmtest
