// Range and value-name checks of a resolved patch against the pins' descriptions.
#include "tools/zrhost/patch_warnings.h"

#include <cmath>
#include <cstring>
#include <optional>

namespace zrhost {

namespace {

// The number a value holds, for the datatypes that carry ranges.
std::optional<double> numberOf(const PinValue& v) {
    switch (v.datatype) {
    case gmpi::DatatypeFloat:
    case gmpi::DatatypeAudio:
        return static_cast<double>(v.asFloat());
    case gmpi::DatatypeInt:
    case gmpi::DatatypeList: {
        if (v.bytes.size() < 4) return std::nullopt;
        gmpi::int32 i = 0;
        std::memcpy(&i, v.bytes.data(), sizeof i);
        return static_cast<double>(i);
    }
    default:
        return std::nullopt;
    }
}

std::string numberText(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.9g", v);
    return buffer;
}

const PinInfo* pinOf(const Patch& patch, const PinAddress& a) {
    if (a.module < 0 || static_cast<std::size_t>(a.module) >= patch.modules.size()) return nullptr;
    const PatchModule& m = patch.modules[static_cast<std::size_t>(a.module)];
    for (const auto& p : a.half == Half::Gui ? m.guiPins : m.audioPins)
        if (p.id == a.pin) return &p;
    return nullptr;
}

// What is wrong with `v` for `pin`, or nothing. An enumerated pin takes only its named ids
// (lists may skip numbers); any pin stays within its minimum and maximum.
std::optional<std::string> problem(const PinInfo& pin, double v) {
    if (!pin.valueNames.empty()) {
        std::string names;
        for (const auto& n : pin.valueNames) {
            if (static_cast<double>(n.id) == v) return std::nullopt;
            names += (names.empty() ? "" : ", ") + std::to_string(n.id) + " " + n.name;
        }
        return numberText(v) + " is not one of the values of \"" + pin.name + "\" (" + names + ")";
    }
    const bool low = pin.minimum && v < *pin.minimum, high = pin.maximum && v > *pin.maximum;
    if (!low && !high && !std::isnan(v)) return std::nullopt;
    if (std::isnan(v) && !pin.minimum && !pin.maximum) return std::nullopt;
    std::string range = pin.minimum && pin.maximum
                            ? numberText(*pin.minimum) + " to " + numberText(*pin.maximum)
                        : pin.minimum ? "at least " + numberText(*pin.minimum)
                                      : "at most " + numberText(*pin.maximum);
    return numberText(v) + " is outside the range of \"" + pin.name + "\" (" + range + ")";
}

} // namespace

std::vector<std::string> patchRangeWarnings(const Patch& patch) {
    std::vector<std::string> out;
    const auto check = [&](const PinAddress& a, const PinValue& v, const std::string& place) {
        const PinInfo* pin = pinOf(patch, a);
        const auto number = numberOf(v);
        if (!pin || !number) return;
        if (auto p = problem(*pin, *number)) out.push_back(patch.file + ": " + place + ": " + *p);
    };
    for (const auto& m : patch.modules)
        for (const auto& [address, value] : m.values)
            check(address, value, address.text);
    for (const auto& c : patch.changes)
        if (c.voiceGroup < 0) check(c.pin, c.value, c.place.empty() ? c.pin.text : c.place);
    return out;
}

void printPatchRangeWarnings(const Patch& patch, std::FILE* out) {
    for (const auto& w : patchRangeWarnings(patch))
        std::fprintf(out, "zrhost: warning: %s\n", w.c_str());
}

} // namespace zrhost
