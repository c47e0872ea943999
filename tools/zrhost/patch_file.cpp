// Patch files: JSON read and resolved against the module catalog, entry by entry, with a message
// naming the file, the place and the problem for anything that cannot be used.
#include "tools/zrhost/patch_file.h"

#include "framework/mp_text.h"
#include "tools/zrhost/patch_json.h"
#include "tools/zrhost/patch_midi.h"
#include "tools/zrhost/patch_values.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>
#include <unordered_map>

namespace zrhost {

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            const std::size_t cost = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                                             std::tolower(static_cast<unsigned char>(b[j - 1]))
                                         ? 0
                                         : 1;
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + cost});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// " (did you mean "X"?)" for the closest candidate within a few edits, or nothing.
std::string suggestion(std::string_view wrong, const std::vector<std::string>& candidates) {
    std::string best;
    std::size_t bestDistance = std::max<std::size_t>(2, wrong.size() / 3) + 1;
    for (const auto& c : candidates) {
        const std::size_t d = editDistance(wrong, c);
        if (d < bestDistance) {
            bestDistance = d;
            best = c;
        }
    }
    return best.empty() ? "" : " (did you mean " + inQuotes(best) + "?)";
}

bool datatypesConnect(gmpi::PinDatatype from, gmpi::PinDatatype to) {
    if (from == to) return true;
    // An audio output can drive a number input: it receives the signal's value as it changes.
    if (from == gmpi::DatatypeAudio)
        return to == gmpi::DatatypeFloat || to == gmpi::DatatypeInt || to == gmpi::DatatypeList ||
               to == gmpi::DatatypeBool;
    // A list (enum) value travels as an int32, so list and int pins carry the same values.
    const auto intLike = [](gmpi::PinDatatype d) {
        return d == gmpi::DatatypeInt || d == gmpi::DatatypeList;
    };
    return intLike(from) && intLike(to);
}

class Resolver {
  public:
    Resolver(const std::string& file, const ModuleCatalog& catalog, const PatchOptions& options)
        : file_(file), catalog_(catalog), options_(options) {
        patch_.file = file;
    }

    Patch run(const PatchJson& doc) {
        if (!doc.is_object())
            fail("", "a patch is a JSON object, not " + std::string(jsonKind(doc)));
        checkKeys(doc, "",
                  {"sampleRate", "blockSize", "seconds", "folder", "standardWavetables", "modules",
                   "connections", "automation", "output", "description"});
        settings(doc);
        if (!doc.contains("modules")) fail("modules", "the patch has no modules");
        modules(doc["modules"]);
        moduleValues(doc["modules"]);
        if (doc.contains("connections")) connections(doc["connections"]);
        if (doc.contains("automation")) automation(doc["automation"]);
        if (doc.contains("output")) outputs(doc["output"]);
        guiRelays();
        defaults();
        return std::move(patch_);
    }

  private:
    [[noreturn]] void fail(const std::string& place, const std::string& problem) const {
        throw PatchError(file_, place, problem);
    }

    void checkKeys(const PatchJson& obj, const std::string& place,
                   std::initializer_list<std::string_view> known) const {
        for (const auto& [key, value] : obj.items()) {
            if (!key.empty() && key[0] == '_') continue; // comments
            if (std::find(known.begin(), known.end(), key) != known.end()) continue;
            std::vector<std::string> names(known.begin(), known.end());
            fail(join(place, key), "unknown entry" + suggestion(key, names));
        }
    }

    static std::string join(const std::string& place, const std::string& key) {
        return place.empty() ? key : place + "." + key;
    }
    static std::string at(const std::string& place, std::size_t index) {
        return place + "[" + std::to_string(index) + "]";
    }

    double number(const PatchJson& v, const std::string& place) const {
        if (!v.is_number()) fail(place, "expected a number, found " + std::string(jsonKind(v)));
        const double d = v.get<double>();
        if (!std::isfinite(d)) fail(place, "expected a finite number");
        return d;
    }

    void settings(const PatchJson& doc) {
        if (doc.contains("sampleRate"))
            setSampleRate(patch_, number(doc["sampleRate"], "sampleRate"), "sampleRate");
        if (doc.contains("blockSize"))
            setBlockSize(patch_, number(doc["blockSize"], "blockSize"), "blockSize");
        if (doc.contains("seconds"))
            setSeconds(patch_, number(doc["seconds"], "seconds"), "seconds");
        if (doc.contains("standardWavetables")) {
            const auto& v = doc["standardWavetables"];
            if (!v.is_boolean()) fail("standardWavetables", "expected true or false");
            patch_.standardWavetables = v.get<bool>();
        }
        patch_.folder = options_.baseFolder;
        if (doc.contains("folder")) {
            const auto& v = doc["folder"];
            if (!v.is_string()) fail("folder", "expected a folder name");
            const std::filesystem::path given(
                reinterpret_cast<const char8_t*>(v.get_ref<const std::string&>().c_str()));
            patch_.folder = given.is_absolute() ? given : options_.baseFolder / given;
            patch_.folderGiven = true;
            // The standard tables are written into the cache only, never into a folder of the
            // user's, where they could replace the user's own tables of the same names.
            if (patch_.standardWavetables)
                fail("standardWavetables",
                     "the standard wavetables live in zrhost's cache folder, not in a \"folder\" "
                     "the patch names; leave out one of the two");
        }
        if (doc.contains("description") && !doc["description"].is_string())
            fail("description", "expected text");
    }

    void modules(const PatchJson& mods) {
        if (!mods.is_object())
            fail("modules", "expected an object of module instances by name, found " +
                                std::string(jsonKind(mods)));
        if (mods.empty()) fail("modules", "the patch has no modules");
        std::vector<std::string> ids;
        for (const auto& m : catalog_.modules)
            ids.push_back(m.id);
        for (const auto& [name, entry] : mods.items()) {
            const std::string place = "modules." + name;
            if (name.empty() || name.find('.') != std::string::npos)
                fail(place, "a module name must be non-empty and contain no '.'");
            PatchModule module;
            module.name = name;
            const PatchJson* idValue = &entry;
            bool wantGui = false;
            if (entry.is_object()) {
                checkKeys(entry, place, {"id", "values", "gui"});
                if (!entry.contains("id")) fail(place, "the module has no \"id\"");
                idValue = &entry["id"];
                if (entry.contains("gui")) {
                    if (!entry["gui"].is_boolean()) fail(place + ".gui", "expected true or false");
                    wantGui = entry["gui"].get<bool>();
                }
            }
            if (!idValue->is_string())
                fail(entry.is_object() ? place + ".id" : place,
                     "expected a module identifier (text), found " +
                         std::string(jsonKind(*idValue)));
            module.id = idValue->get<std::string>();
            const ModuleInfo* info = catalog_.find(module.id);
            if (!info)
                fail(entry.is_object() ? place + ".id" : place, "unknown module identifier " +
                                                                    inQuotes(module.id) +
                                                                    suggestion(module.id, ids));
            module.audio = info->hasAudio;
            module.gui = !info->hasAudio && info->hasGui;
            if (std::find(options_.guiModules.begin(), options_.guiModules.end(), name) !=
                options_.guiModules.end())
                wantGui = true;
            if (wantGui) {
                if (!info->hasGui)
                    fail(place, "module " + inQuotes(module.id) + " has no GUI half");
                module.gui = true;
            }
            module.audioPins = info->audioPins;
            module.guiPins = info->guiPins;
            byName_.emplace(name, static_cast<int>(patch_.modules.size()));
            patch_.modules.push_back(std::move(module));
        }
        for (const auto& wanted : options_.guiModules)
            if (!byName_.count(wanted))
                fail("modules", "the patch has no module named " + inQuotes(wanted));
    }

    // Finds `pinText` ("Name", "7", "gui.Name", "gui.7") on module `index`.
    PinAddress pin(int index, std::string_view pinText, const std::string& place,
                   const std::string& fullText) {
        PatchModule& m = patch_.modules[static_cast<std::size_t>(index)];
        // A module without an audio half is addressed through its GUI pins directly.
        Half half = m.audio ? Half::Audio : Half::Gui;
        std::string_view name = pinText;
        if (name.substr(0, 4) == "gui.") {
            if (!catalog_.find(m.id)->hasGui)
                fail(place, "module " + inQuotes(m.name) + " (" + m.id + ") has no GUI half");
            half = Half::Gui;
            name.remove_prefix(4);
        }
        const std::vector<PinInfo>& pins = half == Half::Audio ? m.audioPins : m.guiPins;
        const char* halfName = half == Half::Audio ? "" : "GUI ";
        const PinInfo* found = nullptr;
        if (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
                return std::isdigit(static_cast<unsigned char>(c));
            })) {
            const long idx = name.size() <= 6 ? std::stol(std::string(name)) : -1;
            for (const auto& p : pins)
                if (p.id == idx) found = &p;
            if (!found)
                fail(place, "module " + inQuotes(m.name) + " (" + m.id + ") has no " + halfName +
                                "pin with index " + std::string(name));
        } else {
            std::vector<const PinInfo*> exact, folded;
            for (const auto& p : pins) {
                if (p.name == name) exact.push_back(&p);
                if (lower(p.name) == lower(name)) folded.push_back(&p);
            }
            const auto& matches = exact.empty() ? folded : exact;
            if (matches.size() > 1)
                fail(place, "module " + inQuotes(m.name) + " has several " + halfName +
                                "pins named " + inQuotes(name) + "; give the pin's index instead");
            if (matches.empty()) {
                std::vector<std::string> names;
                for (const auto& p : pins)
                    names.push_back(p.name);
                fail(place, "module " + inQuotes(m.name) + " (" + m.id + ") has no " + halfName +
                                "pin named " + inQuotes(name) + suggestion(name, names));
            }
            found = matches.front();
        }
        if (half == Half::Gui) m.gui = true;
        return PinAddress::of(index, half, *found, fullText);
    }

    // "module.pin" → the pin.
    PinAddress endpoint(const PatchJson& v, const std::string& place) {
        if (!v.is_string())
            fail(place, "expected \"module.pin\", found " + std::string(jsonKind(v)));
        const std::string text = v.get<std::string>();
        const std::size_t dot = text.find('.');
        if (dot == std::string::npos || dot == 0 || dot + 1 == text.size())
            fail(place, inQuotes(text) + " is not of the form \"module.pin\"");
        const std::string moduleName = text.substr(0, dot);
        const auto found = byName_.find(moduleName);
        const int index = found == byName_.end() ? -1 : found->second;
        if (index < 0) {
            std::vector<std::string> names;
            for (const auto& m : patch_.modules)
                names.push_back(m.name);
            fail(place, "the patch has no module named " + inQuotes(moduleName) +
                            suggestion(moduleName, names));
        }
        return pin(index, std::string_view(text).substr(dot + 1), place, text);
    }

    void connections(const PatchJson& list) {
        if (!list.is_array()) fail("connections", "expected a list of connections");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const auto& c = list[i];
            const std::string place = at("connections", i);
            PatchConnection conn;
            conn.place = place;
            std::string fromPlace = place, toPlace = place;
            const PatchJson *from = nullptr, *to = nullptr;
            if (c.is_array()) {
                if (c.size() != 2) fail(place, "a connection is [\"module.pin\", \"module.pin\"]");
                from = &c[0];
                to = &c[1];
                fromPlace = at(place, 0);
                toPlace = at(place, 1);
            } else if (c.is_object()) {
                checkKeys(c, place, {"from", "to", "delayed"});
                if (!c.contains("from") || !c.contains("to"))
                    fail(place, "a connection needs \"from\" and \"to\"");
                from = &c["from"];
                to = &c["to"];
                fromPlace = place + ".from";
                toPlace = place + ".to";
                if (c.contains("delayed")) {
                    if (!c["delayed"].is_boolean())
                        fail(place + ".delayed", "expected true or false");
                    conn.delayed = c["delayed"].get<bool>();
                }
            } else {
                fail(place, "expected [\"module.pin\", \"module.pin\"] or an object, found " +
                                std::string(jsonKind(c)));
            }
            conn.from = endpoint(*from, fromPlace);
            conn.to = endpoint(*to, toPlace);
            if (conn.from.direction != gmpi::DirectionOut)
                fail(fromPlace,
                     inQuotes(conn.from.text) + " is an input; connections run from an output");
            if (conn.to.direction != gmpi::DirectionIn)
                fail(toPlace,
                     inQuotes(conn.to.text) + " is an output; connections run to an input");
            const bool toGui = conn.to.half == Half::Gui, fromGui = conn.from.half == Half::Gui;
            if (!datatypesConnect(conn.from.datatype, conn.to.datatype) ||
                ((toGui || fromGui) && conn.from.datatype == gmpi::DatatypeAudio))
                fail(place, "cannot connect " + inQuotes(conn.from.text) + " (" +
                                gmpi::datatypeName(conn.from.datatype) + ") to " +
                                inQuotes(conn.to.text) + " (" +
                                gmpi::datatypeName(conn.to.datatype) + ")");
            if (conn.delayed && (toGui || fromGui))
                fail(place + ".delayed", "only connections between audio halves can be delayed");
            patch_.connections.push_back(std::move(conn));
        }
    }

    void automation(const PatchJson& list) {
        if (!list.is_array()) fail("automation", "expected a list of timed pin changes");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const auto& a = list[i];
            const std::string place = at("automation", i);
            if (!a.is_object())
                fail(place, "expected {\"at\": seconds, \"pin\": ..., \"value\": ...}");
            checkKeys(a, place, {"at", "pin", "value", "ramp"});
            PatchChange change;
            change.place = place;
            if (!a.contains("at")) fail(place, "the change has no time (\"at\", in seconds)");
            change.seconds = number(a["at"], place + ".at");
            if (change.seconds < 0) fail(place + ".at", "a time cannot be negative");
            if (!a.contains("pin"))
                fail(place, "the change names no pin (\"pin\": \"module.pin\")");
            change.pin = endpoint(a["pin"], place + ".pin");
            if (change.pin.direction != gmpi::DirectionIn)
                fail(place + ".pin",
                     inQuotes(change.pin.text) + " is an output; only inputs change");
            if (!a.contains("value")) fail(place, "the change has no \"value\"");
            change.value = pinValueOf(a["value"], change.pin, file_, place + ".value");
            if (a.contains("ramp")) {
                change.rampSeconds = number(a["ramp"], place + ".ramp");
                if (change.rampSeconds < 0) fail(place + ".ramp", "a ramp cannot be negative");
                if (change.pin.datatype != gmpi::DatatypeAudio)
                    fail(place + ".ramp", "only audio inputs glide; " + inQuotes(change.pin.text) +
                                              " is " + gmpi::datatypeName(change.pin.datatype));
            }
            patch_.changes.push_back(std::move(change));
        }
        std::stable_sort(
            patch_.changes.begin(), patch_.changes.end(),
            [](const PatchChange& a, const PatchChange& b) { return a.seconds < b.seconds; });
    }

    OutputSource outputSource(const PatchJson& v, const std::string& place) {
        OutputSource source;
        if (v.is_object()) {
            checkKeys(v, place, {"pin", "gain"});
            if (!v.contains("pin")) fail(place, "the output names no pin");
            source.pin = endpoint(v["pin"], place + ".pin");
            if (v.contains("gain")) {
                const double gain = number(v["gain"], place + ".gain");
                // Beyond a float the conversion itself would be undefined.
                if (std::fabs(gain) > std::numeric_limits<float>::max())
                    fail(place + ".gain", "the gain is beyond what a float sample holds (about "
                                          "3.4e38 at most), so the output would be infinite");
                source.gain = static_cast<float>(gain);
            }
        } else {
            source.pin = endpoint(v, place);
        }
        if (source.pin.half != Half::Audio || source.pin.datatype != gmpi::DatatypeAudio ||
            source.pin.direction != gmpi::DirectionOut)
            fail(place, inQuotes(source.pin.text) + " is not an audio output");
        return source;
    }

    void outputs(const PatchJson& list) {
        if (!list.is_array()) fail("output", "expected a list of WAV channels");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string place = at("output", i);
            OutputChannel channel;
            if (list[i].is_array()) {
                if (list[i].empty()) fail(place, "a channel sums at least one output");
                for (std::size_t j = 0; j < list[i].size(); ++j)
                    channel.sources.push_back(outputSource(list[i][j], at(place, j)));
            } else {
                channel.sources.push_back(outputSource(list[i], place));
            }
            patch_.outputs.push_back(std::move(channel));
        }
    }

    // A module whose two halves both exist gets its audio outputs relayed to the GUI inputs of
    // the same name and datatype, unless the patch connects that GUI input itself.
    void guiRelays() {
        std::set<std::pair<int, gmpi::int32>> connectedGuiInputs;
        for (const auto& c : patch_.connections)
            if (c.to.half == Half::Gui) connectedGuiInputs.emplace(c.to.module, c.to.pin);
        for (std::size_t i = 0; i < patch_.modules.size(); ++i) {
            const PatchModule& m = patch_.modules[i];
            if (!m.audio || !m.gui) continue;
            for (const auto& in : m.guiPins) {
                if (in.direction != gmpi::DirectionIn) continue;
                if (connectedGuiInputs.count({static_cast<int>(i), in.id})) continue;
                for (const auto& out : m.audioPins) {
                    if (out.direction != gmpi::DirectionOut || out.name != in.name ||
                        out.datatype != in.datatype || out.datatype == gmpi::DatatypeAudio)
                        continue;
                    PatchConnection c;
                    c.place = "modules." + m.name;
                    c.from = address(static_cast<int>(i), Half::Audio, out);
                    c.to = address(static_cast<int>(i), Half::Gui, in);
                    patch_.connections.push_back(std::move(c));
                    break;
                }
            }
        }
    }

    PinAddress address(int module, Half half, const PinInfo& info) const {
        return PinAddress::of(module, half, info,
                              patch_.modules[static_cast<std::size_t>(module)].name +
                                  (half == Half::Gui ? ".gui." : ".") + info.name);
    }

    void defaults() {
        for (std::size_t i = 0; i < patch_.modules.size(); ++i) {
            PatchModule& m = patch_.modules[i];
            const auto add = [&](Half half, const std::vector<PinInfo>& pins) {
                for (const auto& p : pins) {
                    if (p.direction != gmpi::DirectionIn) continue;
                    const bool given =
                        std::any_of(m.values.begin(), m.values.end(), [&](const auto& kv) {
                            return kv.first.half == half && kv.first.pin == p.id;
                        });
                    if (given) continue;
                    if (auto v = defaultValueOf(p))
                        m.values.emplace_back(address(static_cast<int>(i), half, p), *v);
                }
            };
            if (m.audio) add(Half::Audio, m.audioPins);
            if (m.gui) add(Half::Gui, m.guiPins);
        }
    }

    // Initial pin values, read once every module exists.
    // Initial pin values, read once every module exists. Modules were added in the order of
    // the entries, so entry i is module i (a lookup by name would be linear in the entries).
    void moduleValues(const PatchJson& mods) {
        std::size_t i = 0;
        for (const auto& [name, entry] : mods.items()) {
            const std::size_t index = i++;
            if (!entry.is_object() || !entry.contains("values")) continue;
            const std::string place = "modules." + name + ".values";
            const auto& vals = entry["values"];
            if (!vals.is_object()) fail(place, "expected an object of pin values by pin name");
            for (const auto& [pinText, v] : vals.items()) {
                const std::string pinPlace = place + "." + pinText;
                PinAddress a =
                    pin(static_cast<int>(index), pinText, pinPlace, name + "." + pinText);
                if (a.direction != gmpi::DirectionIn)
                    fail(pinPlace, inQuotes(a.text) + " is an output; only inputs take values");
                if (a.datatype == gmpi::DatatypeMidi)
                    fail(pinPlace, "MIDI inputs take messages in \"automation\", not values");
                PinValue pv = pinValueOf(v, a, file_, pinPlace);
                auto& list = patch_.modules[index].values;
                list.erase(std::remove_if(list.begin(), list.end(),
                                          [&](const auto& kv) { return kv.first == a; }),
                           list.end());
                list.emplace_back(std::move(a), std::move(pv));
            }
        }
    }

    const std::string& file_;
    const ModuleCatalog& catalog_;
    const PatchOptions& options_;
    Patch patch_;
    std::unordered_map<std::string, int> byName_; // module index by instance name
};

} // namespace

Patch resolvePatch(const PatchJson& doc, const std::string& file, const ModuleCatalog& catalog,
                   const PatchOptions& options) {
    // Voice groups become modules first; what refers to them is attached once pins are known.
    PatchMidiEntries midi;
    const PatchJson expanded = expandMidiEntries(doc, file, midi);
    Patch patch = Resolver(file, catalog, options).run(expanded);
    attachMidiEntries(patch, midi, options.baseFolder);
    return patch;
}

Patch parsePatch(std::string_view text, const std::string& file, const ModuleCatalog& catalog,
                 const PatchOptions& options) {
    const PatchJson doc = readPatchJson(text, file);
    return resolvePatch(doc, file, catalog, options);
}

Patch loadPatchFile(const std::filesystem::path& path, const ModuleCatalog& catalog,
                    PatchOptions options) {
    const std::string file = path.string();
    std::ifstream in(path, std::ios::binary);
    if (!in) throw PatchError(file, "", "cannot open the patch file");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw PatchError(file, "", "cannot read the patch file");
    if (options.baseFolder.empty())
        options.baseFolder = std::filesystem::absolute(path).parent_path();
    return parsePatch(text.str(), file, catalog, options);
}

} // namespace zrhost
