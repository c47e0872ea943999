#include "host/module_catalog.h"

#include "host/module_library.h"

#include "framework/mp_enum_list.h"
#include "framework/mp_text.h"
#include "host/text.h"

#include <pugixml.hpp>

#include <cmath>
#include <cstdlib>

namespace zrhost {

namespace {

std::map<std::string, std::string> attributesOf(const pugi::xml_node& node) {
    std::map<std::string, std::string> out;
    for (const auto& a : node.attributes())
        out[a.name()] = a.value();
    return out;
}

std::optional<double> numberAttribute(const pugi::xml_node& node, const char* name,
                                      const std::string& where) {
    const auto attr = node.attribute(name);
    if (!attr) return std::nullopt;
    const char* text = attr.value();
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end != 0 || !std::isfinite(v))
        throw CatalogError(where + ": " + name + " '" + text + "' is not a number");
    return v;
}

// Range and value names. A "range lo,hi" list names no values (its items are the numbers
// themselves), so descriptions give such ranges as minimum and maximum instead.
void readDoc(const pugi::xml_node& node, PinInfo& pin, const std::string& where) {
    pin.minimum = numberAttribute(node, "minimum", where);
    pin.maximum = numberAttribute(node, "maximum", where);
    const auto names = node.attribute("valueNames");
    if (!names) return;
    const std::u16string list = toUtf16(names.value());
    gmpi::MpEnumListIterator it(list);
    if (it.isRange()) throw CatalogError(where + ": valueNames holds a range, not names");
    for (; !it.isDone(); it.next())
        pin.valueNames.push_back({it.currentId(), toUtf8(it.currentText())});
}

std::vector<PinInfo> parsePins(const pugi::xml_node& half, const std::string& moduleId) {
    std::vector<PinInfo> pins;
    gmpi::int32 nextId = 0;
    for (const auto& node : half.children("Pin")) {
        PinInfo pin;
        pin.attributes = attributesOf(node);
        const auto idAttr = node.attribute("id");
        pin.id =
            idAttr ? static_cast<gmpi::int32>(std::strtol(idAttr.value(), nullptr, 10)) : nextId;
        nextId = pin.id + 1;
        const std::string where =
            "module '" + moduleId + "', " + half.name() + " pin " + std::to_string(pin.id);
        pin.name = node.attribute("name").value();

        const std::string_view direction = node.attribute("direction").value();
        if (direction == "in" || direction.empty())
            pin.direction = gmpi::DirectionIn;
        else if (direction == "out")
            pin.direction = gmpi::DirectionOut;
        else
            throw CatalogError(where + ": unknown direction '" + std::string(direction) + "'");

        pin.datatypeName = node.attribute("datatype").value();
        const auto datatype = gmpi::datatypeFromSchemaName(pin.datatypeName);
        if (!datatype) throw CatalogError(where + ": unknown datatype '" + pin.datatypeName + "'");
        pin.datatype = *datatype;
        pin.audioRate = std::string_view(node.attribute("rate").value()) == "audio";
        if (pin.audioRate) {
            if (pin.datatype != gmpi::DatatypeFloat)
                throw CatalogError(where + ": rate=\"audio\" on a non-float pin");
            pin.datatype = gmpi::DatatypeAudio;
        }
        if (const auto def = node.attribute("default")) pin.defaultValue = def.value();
        readDoc(node, pin, where);
        pins.push_back(std::move(pin));
    }
    return pins;
}

const PinInfo* findPin(const std::vector<PinInfo>& pins, gmpi::int32 id) {
    for (const auto& p : pins)
        if (p.id == id) return &p;
    return nullptr;
}

} // namespace

const PinInfo* ModuleInfo::audioPin(gmpi::int32 pinId) const {
    return findPin(audioPins, pinId);
}
const PinInfo* ModuleInfo::guiPin(gmpi::int32 pinId) const {
    return findPin(guiPins, pinId);
}

const ModuleInfo* ModuleCatalog::find(std::string_view id) const {
    for (const auto& m : modules)
        if (m.id == id) return &m;
    return nullptr;
}

ModuleCatalog parseModuleCatalog(std::string_view xml) {
    pugi::xml_document doc;
    const auto result = doc.load_buffer(xml.data(), xml.size());
    if (!result)
        throw CatalogError(std::string("module descriptions are not well-formed XML: ") +
                           result.description() + " at offset " + std::to_string(result.offset));
    const auto root = doc.child("PluginList");
    if (!root) throw CatalogError("module descriptions have no PluginList root");

    ModuleCatalog catalog;
    for (const auto& plugin : root.children("Plugin")) {
        ModuleInfo info;
        info.attributes = attributesOf(plugin);
        const auto id = plugin.attribute("id");
        if (!id || !*id.value()) throw CatalogError("a Plugin element has no id");
        info.id = id.value();
        info.name = plugin.attribute("name").value();
        info.category = plugin.attribute("category").value();
        if (const auto audio = plugin.child("Audio")) {
            info.hasAudio = true;
            info.audioPins = parsePins(audio, info.id);
        }
        if (const auto gui = plugin.child("GUI")) {
            info.hasGui = true;
            info.guiPins = parsePins(gui, info.id);
        }
        catalog.modules.push_back(std::move(info));
    }
    return catalog;
}

std::optional<ModuleCatalog> loadModuleCatalog(const ModuleLibrary& library) {
    const char* text = library.moduleDescriptions();
    if (!text) return std::nullopt;
    return parseModuleCatalog(text);
}

const ModuleCatalog& sharedModuleCatalog(const std::string& path) {
    static std::map<std::string, ModuleCatalog> read;
    auto it = read.find(path);
    if (it == read.end()) {
        auto catalog = loadModuleCatalog(ModuleLibrary::shared(path));
        if (!catalog) throw CatalogError("'" + path + "' exports no module descriptions");
        it = read.emplace(path, std::move(*catalog)).first;
    }
    return it->second;
}

} // namespace zrhost
