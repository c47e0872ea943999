// The module catalog: the XML module descriptions a library hands out through
// ZrModuleDescriptions (root PluginList, one Plugin per identifier, Audio and GUI children
// holding Pin elements), parsed into plain structs.
//
// Available when the host library is built with the XML parser (ZRHOST_HAS_CATALOG defined
// to 1); Windows builds leave it out.
//
// Threads: pure parsing, any thread. The returned structs own all their text (UTF-8).
#pragma once

#include "framework/mp_interfaces.h"

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zrhost {

class ModuleLibrary;

class CatalogError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct PinInfo {
    gmpi::int32 id = 0;
    std::string name;
    gmpi::PinDirection direction = gmpi::DirectionIn;
    // Datatype attribute as written ("float", "int", ...).
    std::string datatypeName;
    // Datatype code; a float pin with rate="audio" is DatatypeAudio.
    gmpi::PinDatatype datatype = gmpi::DatatypeFloat;
    bool audioRate = false;
    std::optional<std::string> defaultValue;
    // The range the module works with, where its description gives one (minimum and maximum
    // attributes, numbers as text).
    std::optional<double> minimum, maximum;
    // Names of enumerated values (valueNames attribute, an enumeration list such as
    // "Sine=0,Saw=1"), in list order; empty when the pin has none.
    struct ValueName {
        std::int64_t id = 0;
        std::string name;
    };
    std::vector<ValueName> valueNames;
    // Every attribute of the element, as written (hostConnect, parameterId, ...).
    std::map<std::string, std::string> attributes;
};

struct ModuleInfo {
    std::string id;
    std::string name;
    std::string category;
    bool hasAudio = false; // an Audio element is present
    bool hasGui = false;   // a GUI element is present
    std::vector<PinInfo> audioPins;
    std::vector<PinInfo> guiPins;
    std::map<std::string, std::string> attributes;

    const PinInfo* audioPin(gmpi::int32 pinId) const;
    const PinInfo* guiPin(gmpi::int32 pinId) const;
};

struct ModuleCatalog {
    std::vector<ModuleInfo> modules; // document order

    const ModuleInfo* find(std::string_view id) const;
};

// Parses a description document. A Pin without an id takes the previous pin's id + 1 (0 for
// the first). Throws CatalogError on malformed XML, a missing PluginList root, a Plugin without
// id, or a pin with an unknown direction or datatype, a minimum or maximum that is not a
// number, or a "range" value list (the message names module and pin).
ModuleCatalog parseModuleCatalog(std::string_view xml);

// The catalog of a loaded library; nullopt when it does not export ZrModuleDescriptions.
std::optional<ModuleCatalog> loadModuleCatalog(const ModuleLibrary& library);

// The catalog of ModuleLibrary::shared(path), read once. Throws CatalogError when the library
// exports none.
const ModuleCatalog& sharedModuleCatalog(const std::string& path);

} // namespace zrhost
