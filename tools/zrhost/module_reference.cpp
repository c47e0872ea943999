// Text and Markdown forms of the module catalog for `zrhost describe`.
#include "tools/zrhost/module_reference.h"

#include "framework/mp_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace zrhost {

namespace {

std::string numberText(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.9g", v);
    return buffer;
}

std::string rangeText(const PinInfo& p) {
    if (p.minimum && p.maximum) return numberText(*p.minimum) + " to " + numberText(*p.maximum);
    if (p.minimum) return "at least " + numberText(*p.minimum);
    if (p.maximum) return "at most " + numberText(*p.maximum);
    return "-";
}

std::string valuesText(const PinInfo& p) {
    std::string out;
    for (const auto& v : p.valueNames)
        out += (out.empty() ? "" : ", ") + std::to_string(v.id) + " " + v.name;
    return out;
}

// "values: 0 Sine, 1 Morph, ..." below a pin's line, wrapped at 100 columns.
std::string wrappedValues(const PinInfo& p) {
    const std::string indent(17, ' ');
    std::string out = std::string(9, ' ') + "values: ", line;
    for (std::size_t i = 0; i < p.valueNames.size(); ++i) {
        std::string item = std::to_string(p.valueNames[i].id) + " " + p.valueNames[i].name;
        if (i + 1 < p.valueNames.size()) item += ",";
        if (!line.empty() && indent.size() + line.size() + 1 + item.size() > 100) {
            out += line + "\n" + indent;
            line.clear();
        }
        line += (line.empty() ? "" : " ") + item;
    }
    return out + line + "\n";
}

std::string defaultText(const PinInfo& p) {
    if (!p.defaultValue) return "-";
    return p.defaultValue->empty() ? "\"\"" : *p.defaultValue;
}

std::string padded(const std::string& s, std::size_t width) {
    return s + std::string(width > s.size() ? width - s.size() : 0, ' ');
}

std::string pinsText(const char* title, const std::vector<PinInfo>& pins) {
    std::size_t nameWidth = 4, defaultWidth = 7;
    for (const auto& p : pins) {
        nameWidth = std::max(nameWidth, p.name.size());
        defaultWidth = std::max(defaultWidth, defaultText(p).size());
    }
    std::string out = std::string(title) + "\n";
    char index[16];
    out += "  INDEX  " + padded("NAME", nameWidth) + "  DIRECTION  DATATYPE  " +
           padded("DEFAULT", defaultWidth) + "  RANGE\n";
    for (const auto& p : pins) {
        std::snprintf(index, sizeof index, "%7d", p.id);
        const std::string line = std::string(index) + "  " + padded(p.name, nameWidth) + "  " +
                                 padded(p.direction == gmpi::DirectionOut ? "out" : "in", 9) +
                                 "  " + padded(gmpi::datatypeName(p.datatype), 8) + "  " +
                                 padded(defaultText(p), defaultWidth) + "  " + rangeText(p);
        out += line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
        if (!p.valueNames.empty()) out += wrappedValues(p);
    }
    return out;
}

// A table cell: '|' would end the cell, and a line break the table.
std::string cell(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '|')
            out += "\\|";
        else
            out += c == '\n' ? ' ' : c;
    }
    return out;
}

std::string pinsMarkdown(const char* title, const std::vector<PinInfo>& pins) {
    std::string out = std::string("\n") + title + "\n\n";
    if (pins.empty()) return out + "No pins.\n";
    out += "| Pin | Name | Direction | Datatype | Default | Range | Values |\n"
           "|---|---|---|---|---|---|---|\n";
    for (const auto& p : pins)
        out += "| " + std::to_string(p.id) + " | " + cell(p.name) + " | " +
               (p.direction == gmpi::DirectionOut ? "out" : "in") + " | " +
               gmpi::datatypeName(p.datatype) + " | " + cell(defaultText(p)) + " | " +
               cell(rangeText(p)) + " | " + cell(p.valueNames.empty() ? "-" : valuesText(p)) +
               " |\n";
    return out;
}

} // namespace

std::string halvesOf(const ModuleInfo& m) {
    if (m.hasAudio && m.hasGui) return "audio+gui";
    return m.hasAudio ? "audio" : m.hasGui ? "gui" : "-";
}

std::string moduleText(const ModuleInfo& m) {
    std::string out =
        m.id + ": " + m.name + "\ncategory: " + m.category + "\nhalves: " + halvesOf(m) + "\n";
    if (m.hasAudio) out += pinsText("audio pins:", m.audioPins);
    if (m.hasGui) out += pinsText("GUI pins:", m.guiPins);
    return out;
}

std::string moduleMarkdown(const ModuleInfo& m) {
    std::string out = "## " + cell(m.id) + "\n\n" + cell(m.name) +
                      ". Category: " + (m.category.empty() ? "-" : cell(m.category)) +
                      ". Halves: " + halvesOf(m) + ".\n";
    if (m.hasAudio) out += pinsMarkdown("Audio pins:", m.audioPins);
    if (m.hasGui) out += pinsMarkdown("GUI pins:", m.guiPins);
    return out;
}

std::string referenceMarkdown(const ModuleCatalog& catalog) {
    std::vector<const ModuleInfo*> modules;
    for (const auto& m : catalog.modules)
        modules.push_back(&m);
    std::sort(modules.begin(), modules.end(),
              [](const ModuleInfo* a, const ModuleInfo* b) { return a->id < b->id; });
    std::string out =
        "# Module reference\n\n"
        "Every module of the library with its pins, as the library describes them. Written by\n"
        "`zrhost describe --all --markdown > docs/modules.md`; a test fails when this file no\n"
        "longer matches the library, so regenerate it rather than editing it.\n\n"
        "Default is the value a pin holds until the host sends one. Range and Values are what\n"
        "the module works with; `zrhost render` warns about patch values outside them.\n";
    for (const auto* m : modules)
        out += "\n" + moduleMarkdown(*m);
    return out;
}

std::string unknownModuleMessage(const ModuleCatalog& catalog, const std::string& id) {
    std::string close;
    for (const auto& other : catalog.modules)
        if (close.empty() && other.id.size() == id.size() &&
            std::equal(id.begin(), id.end(), other.id.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            }))
            close = other.id;
    return "unknown module identifier \"" + id + "\"" +
           (close.empty() ? std::string(" (zrhost list shows them all)")
                          : " (identifiers are case-sensitive: \"" + close + "\"?)");
}

} // namespace zrhost
