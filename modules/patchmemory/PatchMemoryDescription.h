// The embedded descriptions of the patch-memory identifiers, composed from one table per GUI
// layout: the identifiers that share a layout differ only in their name, category, value type
// and variant flags, so their pin lists cannot drift apart. The catalog test checks the
// composed pins against the pins the classes bind.
#pragma once

#include <initializer_list>
#include <string>

namespace zr::pmdesc {

enum class Layout { Plain, TextLike, Out };
// The legacy float pin 7 of the "Out" layout: absent, listed minimised, or listed.
enum class LegacyPin { None, Minimised, Shown };

struct Entry {
    const char* id;
    const char* name;
    const char* category;
    const char* datatype; // of the parameter and the value pins
    Layout layout;
    bool parameterOut = false;          // parameter declared direction="out"
    LegacyPin legacy = LegacyPin::None; // "Out" layout only
    bool animation = true; // "Out" layout: pins 4 and 8; without, pin 8 is listed private
};

namespace detail {

// One GUI pin. `type` null: the value's datatype. `field` null: not bound to the parameter;
// "": bound to its value.
struct GuiPin {
    int id;
    const char* name;
    bool out;
    const char* type;
    const char* field;
};

inline constexpr GuiPin kPlainPins[] = {
    {0, "Value In", false, nullptr, ""},
    {1, "Name In", false, "string", "ShortName"},
    {2, "Menu Items", false, "string", "MenuItems"},
    {3, "Menu Selection", false, "int", "MenuSelection"},
    {4, "Mouse Down", false, "bool", "Grab"},
    {5, "AnimationIn", false, "float", "Normalized"},
    {6, "Name", true, "string", nullptr},
    {7, "Value", true, nullptr, nullptr},
    {8, "Animation Position", true, "float", nullptr},
    {9, "Menu Items", true, "string", nullptr},
    {10, "Menu Selection", true, "int", nullptr},
    {11, "Mouse Down", true, "bool", nullptr},
};

inline constexpr GuiPin kTextLikePins[] = {
    {0, "Value In", false, nullptr, ""},
    {1, "Name In", false, "string", "ShortName"},
    {2, "File Extension", false, "string", "FileExtension"},
    {3, "Menu Items", false, "string", "MenuItems"},
    {4, "Menu Selection", false, "int", "MenuSelection"},
    {5, "Name", true, "string", nullptr},
    {6, "Value", true, nullptr, nullptr},
    {7, "File Extension", true, "string", nullptr},
    {8, "Menu Items", true, "string", nullptr},
    {9, "Menu Selection", true, "int", nullptr},
};

inline constexpr GuiPin kOutPins[] = {
    {0, "PM Value In", false, nullptr, ""},
    {1, "PM Name In", false, "string", "ShortName"},
    {2, "PM Menu Items", false, "string", "MenuItems"},
    {3, "PM Menu Selection", false, "int", "MenuSelection"},
    {4, "AnimationIn", false, "float", "Normalized"},
    {5, "Name", true, "string", nullptr},
    {6, "Value", true, nullptr, nullptr},
    {7, "Value Out", false, "float", nullptr},
    {8, "Animation Position", true, "float", nullptr},
    {9, "Menu Items", true, "string", nullptr},
    {10, "Menu Selection", true, "int", nullptr},
};

inline std::string pinLine(int id, const char* name, bool out, const char* type) {
    return "      <Pin id=\"" + std::to_string(id) + "\" name=\"" + name + "\" direction=\"" +
           (out ? "out" : "in") + "\" datatype=\"" + type + "\"";
}

// The GUI pin as the entry lists it; empty when the entry leaves it out.
inline std::string guiPin(const Entry& e, const GuiPin& p) {
    std::string extra;
    if (e.layout == Layout::Out && p.id == 7) {
        if (e.legacy == LegacyPin::None) return {};
        if (e.legacy == LegacyPin::Minimised) extra = " isMinimised=\"true\"";
    }
    if (e.layout == Layout::Out && !e.animation) {
        if (p.id == 4) return {};
        if (p.id == 8) extra = " private=\"true\"";
    }
    std::string line = pinLine(p.id, p.name, p.out, p.type ? p.type : e.datatype);
    if (p.field) line += std::string(" parameterId=\"0\"");
    if (p.field && *p.field) line += std::string(" parameterField=\"") + p.field + "\"";
    return line + extra + " />\n";
}

inline std::string plugin(const Entry& e) {
    const bool out = e.layout == Layout::Out;
    std::string s = std::string("  <Plugin id=\"") + e.id + "\" name=\"" + e.name +
                    "\" category=\"" + e.category +
                    "\" helpUrl=\"Patchmemory.htm\" graphicsApi=\"none\">\n"
                    "    <Parameters>\n      <Parameter id=\"0\" datatype=\"" +
                    e.datatype + "\"" + (e.parameterOut ? " direction=\"out\"" : "") +
                    " />\n    </Parameters>\n    <Audio>\n";
    // The plain modules bind parameter 0 to the input; the "Out" modules to the hidden output.
    s += pinLine(0, "Value In", false, e.datatype) + (out ? "" : " parameterId=\"0\"") + " />\n";
    s += pinLine(1, out ? "PM Value Out" : "Value Out", true, e.datatype) +
         (out ? " parameterId=\"0\" private=\"true\"" : "") +
         " autoConfigureParameter=\"true\" />\n";
    s += "    </Audio>\n    <GUI>\n";
    const auto add = [&](const auto& pins) {
        for (const GuiPin& p : pins)
            s += guiPin(e, p);
    };
    if (e.layout == Layout::Plain) add(kPlainPins);
    if (e.layout == Layout::TextLike) add(kTextLikePins);
    if (out) add(kOutPins);
    return s + "    </GUI>\n  </Plugin>\n";
}

} // namespace detail

// The description block of `entries`, in their order.
inline std::string compose(std::initializer_list<Entry> entries) {
    std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<PluginList>\n";
    for (const Entry& e : entries)
        s += detail::plugin(e);
    return s + "</PluginList>\n";
}

} // namespace zr::pmdesc
