// Pin values in patch files: JSON values and the catalog's default texts turned into the bytes
// in which each datatype crosses the module boundary.
#include "tools/zrhost/patch_values.h"

#include "framework/mp_text.h"
#include "host/text.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace zrhost {

namespace {

std::vector<std::uint8_t> byteList(const PatchJson& v, const std::string& file,
                                   const std::string& place) {
    std::vector<std::uint8_t> bytes;
    for (const auto& b : v) {
        if (!b.is_number_integer() || b.get<long long>() < 0 || b.get<long long>() > 255)
            throw PatchError(file, place, "expected a list of bytes (0 to 255)");
        bytes.push_back(static_cast<std::uint8_t>(b.get<long long>()));
    }
    return bytes;
}

} // namespace

std::string inQuotes(std::string_view s) {
    return "\"" + std::string(s) + "\"";
}

const char* jsonKind(const PatchJson& v) {
    switch (v.type()) {
    case PatchJson::value_t::null:
        return "null";
    case PatchJson::value_t::object:
        return "an object";
    case PatchJson::value_t::array:
        return "a list";
    case PatchJson::value_t::string:
        return "text";
    case PatchJson::value_t::boolean:
        return "true/false";
    case PatchJson::value_t::number_integer:
    case PatchJson::value_t::number_unsigned:
    case PatchJson::value_t::number_float:
        return "a number";
    default:
        return "something else";
    }
}

PinValue pinValueOf(const PatchJson& v, const PinAddress& target, const std::string& file,
                    const std::string& place) {
    PinValue out;
    out.datatype = target.datatype;
    const std::string expects =
        "pin " + inQuotes(target.text) + " (" + gmpi::datatypeName(target.datatype) + ") expects ";
    switch (target.datatype) {
    case gmpi::DatatypeAudio:
    case gmpi::DatatypeFloat: {
        if (!v.is_number()) throw PatchError(file, place, expects + "a number, not " + jsonKind(v));
        const double d = v.get<double>();
        if (!std::isfinite(d) || std::abs(d) > std::numeric_limits<float>::max())
            throw PatchError(file, place, expects + "a finite single-precision number");
        return PinValue::ofFloat(target.datatype, static_cast<float>(d));
    }
    case gmpi::DatatypeInt:
    case gmpi::DatatypeList: {
        if (!v.is_number())
            throw PatchError(file, place, expects + "a whole number, not " + jsonKind(v));
        const double d = v.get<double>();
        if (d != std::floor(d) || d < std::numeric_limits<gmpi::int32>::min() ||
            d > std::numeric_limits<gmpi::int32>::max())
            throw PatchError(file, place, expects + "a whole number within 32 bits");
        const gmpi::int32 i = static_cast<gmpi::int32>(d);
        out.bytes.resize(sizeof i);
        std::memcpy(out.bytes.data(), &i, sizeof i);
        return out;
    }
    case gmpi::DatatypeBool:
        if (v.is_boolean())
            out.bytes = {static_cast<std::uint8_t>(v.get<bool>() ? 1 : 0)};
        else if (v.is_number_integer() && (v.get<long long>() == 0 || v.get<long long>() == 1))
            out.bytes = {static_cast<std::uint8_t>(v.get<long long>())};
        else
            throw PatchError(file, place, expects + "true or false, not " + jsonKind(v));
        return out;
    case gmpi::DatatypeText: {
        if (!v.is_string()) throw PatchError(file, place, expects + "text, not " + jsonKind(v));
        const std::u16string text = toUtf16(v.get<std::string>());
        out.bytes.resize(text.size() * sizeof(char16_t));
        if (!text.empty()) std::memcpy(out.bytes.data(), text.data(), out.bytes.size());
        return out;
    }
    case gmpi::DatatypeBlob:
        if (v.is_string()) {
            const std::string& s = v.get_ref<const std::string&>();
            out.bytes.assign(s.begin(), s.end());
        } else if (v.is_array()) {
            out.bytes = byteList(v, file, place);
        } else {
            throw PatchError(file, place, expects + "text or a list of bytes, not " + jsonKind(v));
        }
        return out;
    case gmpi::DatatypeMidi:
        if (!v.is_array() || v.empty())
            throw PatchError(file, place, expects + "a MIDI message as a list of bytes");
        out.bytes = byteList(v, file, place);
        if (out.bytes.front() < 0x80)
            throw PatchError(file, place, "a MIDI message starts with a status byte (128 to 255)");
        return out;
    }
    throw PatchError(file, place, "pin " + inQuotes(target.text) + " has an unknown datatype");
}

std::optional<PinValue> defaultValueOf(const PinInfo& info) {
    if (!info.defaultValue) return std::nullopt;
    const std::string& text = *info.defaultValue;
    PinValue v;
    v.datatype = info.datatype;
    try {
        switch (info.datatype) {
        case gmpi::DatatypeAudio:
        case gmpi::DatatypeFloat:
            return PinValue::ofFloat(info.datatype, std::stof(text));
        case gmpi::DatatypeInt:
        case gmpi::DatatypeList: {
            const gmpi::int32 i = static_cast<gmpi::int32>(std::stol(text));
            v.bytes.resize(sizeof i);
            std::memcpy(v.bytes.data(), &i, sizeof i);
            return v;
        }
        case gmpi::DatatypeBool:
            if (text == "1" || text == "true")
                v.bytes = {1};
            else if (text == "0" || text == "false")
                v.bytes = {0};
            else
                return std::nullopt;
            return v;
        case gmpi::DatatypeText: {
            const std::u16string t = toUtf16(text);
            v.bytes.resize(t.size() * sizeof(char16_t));
            if (!t.empty()) std::memcpy(v.bytes.data(), t.data(), v.bytes.size());
            return v;
        }
        default:
            return std::nullopt;
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace zrhost
