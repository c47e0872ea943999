// Command-line pin values: "module.pin=value" parsed, its pin found on a resolved patch and its
// value converted as the patch reader converts values.
#include "tools/zrhost/patch_overrides.h"

#include "tools/zrhost/patch_values.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace zrhost {

namespace {

constexpr const char* kOption = "--set";

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string namesOf(const std::vector<PinInfo>& pins) {
    std::string out;
    for (const auto& p : pins)
        if (p.direction == gmpi::DirectionIn) out += (out.empty() ? "" : ", ") + inQuotes(p.name);
    return out;
}

// `pinText` ("Name", "7", "gui.Name") on module `index`, addressed as a patch file does.
PinAddress findPin(const Patch& patch, int index, std::string_view pinText,
                   const std::string& setting) {
    const PatchModule& m = patch.modules[static_cast<std::size_t>(index)];
    const auto fail = [&](const std::string& problem) {
        throw PatchError(kOption, setting, problem);
    };
    Half half = m.audio ? Half::Audio : Half::Gui;
    std::string_view name = pinText;
    if (name.substr(0, 4) == "gui.") {
        // A GUI half brings relays and defaults the patch reader sets up; one the patch does
        // not create cannot be added afterwards.
        if (!m.gui)
            fail("the patch does not create the GUI half of module " + inQuotes(m.name) +
                 " (name one of its GUI pins in the patch file)");
        half = Half::Gui;
        name.remove_prefix(4);
    }
    const std::vector<PinInfo>& pins = half == Half::Audio ? m.audioPins : m.guiPins;
    const PinInfo* found = nullptr;
    int number = -1;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), number);
    if (!name.empty() && ec == std::errc() && end == name.data() + name.size()) {
        for (const auto& p : pins)
            if (p.id == number) found = &p;
    } else {
        for (const auto& p : pins)
            if (p.name == name) found = &p;
        for (const auto& p : pins)
            if (!found && sameIgnoringCase(p.name, name)) found = &p;
    }
    if (!found)
        fail("module " + inQuotes(m.name) + " (" + m.id + ") has no " +
             (half == Half::Gui ? "GUI " : "") + "pin " + inQuotes(name) + "; its inputs are " +
             namesOf(pins));
    const PinAddress a = PinAddress::of(index, half, *found, m.name + "." + std::string(pinText));
    if (a.direction != gmpi::DirectionIn)
        fail(inQuotes(a.text) + " is an output; only inputs take values");
    if (a.datatype == gmpi::DatatypeMidi)
        fail("MIDI inputs take messages in the patch's \"automation\", not values");
    return a;
}

// The value text as the JSON value a patch file would hold for a pin of `datatype`.
PatchJson jsonOf(const std::string& text, gmpi::PinDatatype datatype) {
    if (datatype == gmpi::DatatypeText || datatype == gmpi::DatatypeBlob) return PatchJson(text);
    PatchJson v = PatchJson::parse(text, nullptr, false);
    if (!v.is_discarded()) return v;
    // Numbers JSON refuses but people write: ".5", "5.", "+1".
    double d = 0.0;
    const char* first = text.data() + (text.size() > 1 && text[0] == '+' ? 1 : 0);
    const auto [end, ec] = std::from_chars(first, text.data() + text.size(), d);
    if (ec == std::errc() && end == text.data() + text.size() && !text.empty()) return d;
    return PatchJson(text);
}

} // namespace

void applyPinOverrides(Patch& patch, const std::vector<std::string>& settings) {
    for (const auto& setting : settings) {
        const std::size_t eq = setting.find('=');
        const std::size_t dot = setting.find('.');
        if (eq == std::string::npos || dot == std::string::npos || dot == 0 || dot + 1 >= eq)
            throw PatchError(kOption, setting, "expected module.pin=value");
        const std::string moduleName = setting.substr(0, dot);
        const int index = patch.findModule(moduleName);
        if (index < 0) {
            std::string names;
            for (const auto& m : patch.modules)
                names += (names.empty() ? "" : ", ") + inQuotes(m.name);
            throw PatchError(kOption, setting,
                             "the patch has no module named " + inQuotes(moduleName) +
                                 "; its modules are " + names);
        }
        const std::string pinText = setting.substr(dot + 1, eq - dot - 1);
        PinAddress a = findPin(patch, index, pinText, setting);
        PinValue value =
            pinValueOf(jsonOf(setting.substr(eq + 1), a.datatype), a, kOption, setting);
        auto& values = patch.modules[static_cast<std::size_t>(index)].values;
        values.erase(std::remove_if(values.begin(), values.end(),
                                    [&](const auto& kv) { return kv.first == a; }),
                     values.end());
        values.emplace_back(std::move(a), std::move(value));
    }
}

} // namespace zrhost
