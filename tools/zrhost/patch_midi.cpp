// Voice groups, MIDI-file sources and MIDI captures of a patch file: the expansion of voice
// groups into modules, and the resolution of what refers to them once the patch is resolved.
#include "tools/zrhost/patch_midi.h"

#include "tools/zrhost/midi_file.h"
#include "tools/zrhost/patch_values.h"

#include <algorithm>
#include <cctype>

namespace zrhost {

namespace {

using Json = nlohmann::ordered_json;

constexpr int kMaxVoices = 64;

std::string at(const std::string& place, std::size_t i) {
    return place + "[" + std::to_string(i) + "]";
}

std::string voiceModule(const std::string& group, int voice, const std::string& name) {
    return group + "/" + std::to_string(voice) + "/" + name;
}

class Expander {
  public:
    Expander(const std::string& file, PatchMidiEntries& entries) : file_(file), e_(entries) {}

    Json run(const Json& doc) {
        if (!doc.is_object()) return doc; // the resolver reports it
        Json out = doc;
        out.erase("voices");
        out.erase("midiFiles");
        out.erase("midiOut");
        if (doc.contains("voices")) groups(doc["voices"], out);
        if (out.contains("connections") && out["connections"].is_array())
            out["connections"] = connections(out["connections"]);
        if (out.contains("automation") && out["automation"].is_array())
            out["automation"] = automation(out["automation"]);
        if (out.contains("output") && out["output"].is_array())
            out["output"] = outputs(out["output"]);
        if (doc.contains("midiFiles")) files(doc["midiFiles"]);
        if (doc.contains("midiOut")) captures(doc["midiOut"]);
        return out;
    }

  private:
    [[noreturn]] void fail(const std::string& place, const std::string& problem) const {
        throw PatchError(file_, place, problem);
    }

    void checkKeys(const Json& obj, const std::string& place,
                   std::initializer_list<std::string_view> known) const {
        for (const auto& [key, value] : obj.items())
            if (!(key.size() && key[0] == '_') &&
                std::find(known.begin(), known.end(), key) == known.end())
                fail(place + "." + key, "unknown entry");
    }

    std::string text(const Json& v, const std::string& place) const {
        if (!v.is_string()) fail(place, "expected \"module.pin\"");
        return v.get<std::string>();
    }

    // The group a "group.rest" text names, or -1.
    int groupOf(const std::string& pin, std::string& rest) const {
        const std::size_t dot = pin.find('.');
        if (dot == std::string::npos) return -1;
        for (std::size_t g = 0; g < e_.groups.size(); ++g)
            if (pin.compare(0, dot, e_.groups[g].name) == 0 && e_.groups[g].name.size() == dot) {
                rest = pin.substr(dot + 1);
                return static_cast<int>(g);
            }
        return -1;
    }

    // "group.module.pin" for voice v, or the text unchanged when it names no voice pin.
    std::string forVoice(const std::string& pin, int voice) const {
        std::string rest;
        const int g = groupOf(pin, rest);
        if (g < 0 || rest == "MIDI In") return pin;
        return voiceModule(e_.groups[static_cast<std::size_t>(g)].name, voice, rest);
    }
    int voicesOf(const std::string& pin) const {
        std::string rest;
        const int g = groupOf(pin, rest);
        return g < 0 || rest == "MIDI In" ? 0 : e_.groups[static_cast<std::size_t>(g)].count;
    }

    void groups(const Json& list, Json& out) {
        if (!list.is_object()) fail("voices", "expected an object of voice groups by name");
        if (!out.contains("modules") || !out["modules"].is_object())
            out["modules"] = Json::object();
        for (const auto& [name, g] : list.items()) {
            const std::string place = "voices." + name;
            if (name.empty() || name.find_first_of("./") != std::string::npos)
                fail(place, "a voice group name must be non-empty and contain no '.' or '/'");
            if (out["modules"].contains(name)) fail(place, "a module has the same name");
            if (!g.is_object()) fail(place, "expected {\"count\": N, \"modules\": ...}");
            checkKeys(g, place, {"count", "modules", "connections"});
            if (!g.contains("count") || !g["count"].is_number_integer() ||
                g["count"].get<long long>() < 1 || g["count"].get<long long>() > kMaxVoices)
                fail(place + ".count",
                     "expected a whole number of voices from 1 to " + std::to_string(kMaxVoices));
            if (!g.contains("modules") || !g["modules"].is_object() || g["modules"].empty())
                fail(place + ".modules", "a voice group holds at least one module");
            PatchMidiEntries::Group group{name, static_cast<int>(g["count"].get<long long>()), {}};
            for (const auto& [m, entry] : g["modules"].items())
                if (m == "voice" || m.empty() || m.find_first_of("./") != std::string::npos)
                    fail(place + ".modules." + m,
                         "a voice module's name is non-empty, not \"voice\", without '.' or '/'");
            for (int v = 1; v <= group.count; ++v) {
                group.modules.emplace_back();
                for (const auto& [m, entry] : g["modules"].items()) {
                    out["modules"][voiceModule(name, v, m)] = entry;
                    group.modules.back().push_back(voiceModule(name, v, m));
                }
            }
            e_.groups.push_back(group);
            if (g.contains("connections")) groupConnections(g, place, out);
        }
    }

    void groupConnections(const Json& g, const std::string& place, Json& out) {
        const auto& list = g["connections"];
        if (!list.is_array()) fail(place + ".connections", "expected a list of connections");
        if (!out.contains("connections")) out["connections"] = Json::array();
        const PatchMidiEntries::Group& group = e_.groups.back();
        const auto local = [&](const std::string& pin, int v) {
            const std::size_t dot = pin.find('.');
            const std::string m = pin.substr(0, dot);
            if (dot != std::string::npos && g["modules"].contains(m))
                return voiceModule(group.name, v, m) + pin.substr(dot);
            return pin;
        };
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string cplace = at(place + ".connections", i);
            const auto& c = list[i];
            if (!c.is_array() || c.size() != 2)
                fail(cplace, "a voice connection is [\"module.pin\", \"module.pin\"]");
            const std::string from = text(c[0], at(cplace, 0)), to = text(c[1], at(cplace, 1));
            if (from.rfind("voice.", 0) == 0) {
                const std::string s = from.substr(6);
                VoiceSource source;
                if (s == "Gate")
                    source = VoiceSource::Gate;
                else if (s == "Pitch")
                    source = VoiceSource::Pitch;
                else if (s == "Velocity")
                    source = VoiceSource::Velocity;
                else if (s == "Active")
                    source = VoiceSource::Active;
                else
                    fail(at(cplace, 0), "a voice offers \"voice.Gate\", \"voice.Pitch\", "
                                        "\"voice.Velocity\" and \"voice.Active\"");
                for (int v = 1; v <= group.count; ++v)
                    e_.targets.push_back({static_cast<int>(e_.groups.size() - 1), v - 1, source,
                                          local(to, v), at(cplace, 1)});
                continue;
            }
            for (int v = 1; v <= group.count; ++v)
                out["connections"].push_back(Json::array({local(from, v), local(to, v)}));
        }
    }

    Json connections(const Json& list) {
        Json out = Json::array();
        for (std::size_t i = 0; i < list.size(); ++i) {
            const auto& c = list[i];
            const Json* from = c.is_array() && c.size() == 2         ? &c[0]
                               : c.is_object() && c.contains("from") ? &c["from"]
                                                                     : nullptr;
            const Json* to = c.is_array() && c.size() == 2       ? &c[1]
                             : c.is_object() && c.contains("to") ? &c["to"]
                                                                 : nullptr;
            if (!from || !to || !from->is_string() || !to->is_string()) {
                out.push_back(c); // the resolver reports it
                continue;
            }
            std::string rest;
            const int g = groupOf(to->get<std::string>(), rest);
            if (g >= 0 && rest == "MIDI In") {
                e_.sources.push_back({g, from->get<std::string>(), at("connections", i)});
                continue;
            }
            const int n = std::max(voicesOf(*from), voicesOf(*to));
            if (n == 0) {
                out.push_back(c);
                continue;
            }
            for (int v = 1; v <= n; ++v) {
                Json copy = c;
                (c.is_array() ? copy[0] : copy["from"]) = forVoice(*from, v);
                (c.is_array() ? copy[1] : copy["to"]) = forVoice(*to, v);
                out.push_back(copy);
            }
        }
        return out;
    }

    Json automation(const Json& list) {
        Json out = Json::array();
        for (const auto& a : list) {
            const int n = a.is_object() && a.contains("pin") && a["pin"].is_string()
                              ? voicesOf(a["pin"].get<std::string>())
                              : 0;
            if (n == 0) {
                out.push_back(a);
                continue;
            }
            for (int v = 1; v <= n; ++v) {
                Json copy = a;
                copy["pin"] = forVoice(a["pin"].get<std::string>(), v);
                out.push_back(copy);
            }
        }
        return out;
    }

    // A channel source naming a voice pin becomes one source per voice.
    void outputSources(const Json& s, Json& into) const {
        const Json* pin = s.is_string()                        ? &s
                          : s.is_object() && s.contains("pin") ? &s["pin"]
                                                               : nullptr;
        const int n = pin && pin->is_string() ? voicesOf(pin->get<std::string>()) : 0;
        if (n == 0) {
            into.push_back(s);
            return;
        }
        for (int v = 1; v <= n; ++v) {
            Json copy = s;
            (s.is_string() ? copy : copy["pin"]) = forVoice(pin->get<std::string>(), v);
            into.push_back(copy);
        }
    }

    Json outputs(const Json& list) const {
        Json out = Json::array();
        for (const auto& channel : list) {
            Json sources = Json::array();
            if (channel.is_array())
                for (const auto& s : channel)
                    outputSources(s, sources);
            else
                outputSources(channel, sources);
            out.push_back(sources.size() == 1 && !channel.is_array() ? sources[0] : sources);
        }
        return out;
    }

    void files(const Json& list) {
        if (!list.is_array()) fail("midiFiles", "expected a list of {\"file\": ..., \"to\": ...}");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string place = at("midiFiles", i);
            const auto& f = list[i];
            if (!f.is_object() || !f.contains("file") || !f["file"].is_string() ||
                !f.contains("to"))
                fail(place, "expected {\"file\": \"song.mid\", \"to\": \"module.MIDI In\"}");
            checkKeys(f, place, {"file", "to"});
            PatchMidiEntries::FileSource s;
            s.file = std::filesystem::path(
                reinterpret_cast<const char8_t*>(f["file"].get_ref<const std::string&>().c_str()));
            s.pin = text(f["to"], place + ".to");
            s.place = place;
            std::string rest;
            const int g = groupOf(s.pin, rest);
            if (g >= 0 && rest == "MIDI In") s.group = g;
            e_.files.push_back(std::move(s));
        }
    }

    void captures(const Json& list) {
        if (!list.is_array()) fail("midiOut", "expected a list of {\"pin\": ..., \"file\": ...}");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string place = at("midiOut", i);
            const auto& c = list[i];
            if (!c.is_object() || !c.contains("pin") || !c.contains("file") ||
                !c["file"].is_string())
                fail(place, "expected {\"pin\": \"module.MIDI Out\", \"file\": \"out.mid\"}");
            checkKeys(c, place, {"pin", "file"});
            e_.captures.push_back({text(c["pin"], place + ".pin"), place,
                                   std::filesystem::path(reinterpret_cast<const char8_t*>(
                                       c["file"].get_ref<const std::string&>().c_str()))});
        }
    }

    const std::string& file_;
    PatchMidiEntries& e_;
};

// "module.pin" of the resolved patch (audio half): by name, case-folded when unique, or index.
PinAddress findPin(const Patch& patch, const std::string& text, const std::string& place) {
    const std::size_t dot = text.find('.');
    const int m = dot == std::string::npos ? -1 : patch.findModule(text.substr(0, dot));
    if (m < 0) throw PatchError(patch.file, place, "no module for " + inQuotes(text));
    const PatchModule& module = patch.modules[static_cast<std::size_t>(m)];
    const std::string name = text.substr(dot + 1);
    const auto lower = [](std::string s) {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    const PinInfo* found = nullptr;
    int folded = 0;
    for (const auto& p : module.audioPins) {
        if (p.name == name || std::to_string(p.id) == name) {
            found = &p;
            folded = 1;
            break;
        }
        if (lower(p.name) == lower(name)) {
            found = &p;
            ++folded;
        }
    }
    if (!found || folded != 1 || !module.audio)
        throw PatchError(patch.file, place,
                         "module " + inQuotes(module.name) + " has no audio pin " + inQuotes(name));
    return PinAddress::of(m, Half::Audio, *found, text);
}

PinAddress midiPin(const Patch& patch, const std::string& text, const std::string& place,
                   gmpi::PinDirection direction) {
    PinAddress a = findPin(patch, text, place);
    if (a.datatype != gmpi::DatatypeMidi || a.direction != direction)
        throw PatchError(patch.file, place,
                         inQuotes(text) + " is not a MIDI " +
                             (direction == gmpi::DirectionIn ? "input" : "output"));
    return a;
}

} // namespace

Json expandMidiEntries(const Json& doc, const std::string& file, PatchMidiEntries& entries) {
    return Expander(file, entries).run(doc);
}

void attachMidiEntries(Patch& patch, const PatchMidiEntries& e,
                       const std::filesystem::path& baseFolder) {
    for (const auto& g : e.groups) {
        VoiceGroup group;
        group.name = g.name;
        group.count = g.count;
        for (int v = 0; v < g.count; ++v) {
            group.modules.emplace_back();
            for (const auto& name : g.modules[static_cast<std::size_t>(v)]) {
                const int m = patch.findModule(name);
                group.modules.back().push_back(m);
                // Pins a description binds to the voice's activity are driven by the host.
                for (const auto& p : patch.modules[static_cast<std::size_t>(m)].audioPins) {
                    const auto bound = p.attributes.find("hostConnect");
                    if (p.direction != gmpi::DirectionIn || bound == p.attributes.end() ||
                        bound->second != "Voice/Active")
                        continue;
                    group.targets.push_back(
                        {v, VoiceSource::Active,
                         findPin(patch, name + "." + std::to_string(p.id), "voices." + g.name)});
                }
            }
        }
        patch.voiceGroups.push_back(std::move(group));
    }
    for (const auto& t : e.targets) {
        PinAddress a = findPin(patch, t.pin, t.place);
        if (a.direction != gmpi::DirectionIn || a.datatype == gmpi::DatatypeMidi ||
            a.datatype == gmpi::DatatypeText || a.datatype == gmpi::DatatypeBlob)
            throw PatchError(patch.file, t.place,
                             inQuotes(t.pin) + " is not an audio, float, int or bool input");
        patch.voiceGroups[static_cast<std::size_t>(t.group)].targets.push_back(
            {t.voice, t.source, a});
    }
    for (const auto& s : e.sources)
        patch.voiceGroups[static_cast<std::size_t>(s.group)].midiSources.push_back(
            midiPin(patch, s.pin, s.place + "[0]", gmpi::DirectionOut));
    for (const auto& f : e.files) {
        PatchChange base;
        base.voiceGroup = f.group;
        base.place = f.place;
        if (f.group < 0) base.pin = midiPin(patch, f.pin, f.place + ".to", gmpi::DirectionIn);
        const std::filesystem::path path = f.file.is_absolute() ? f.file : baseFolder / f.file;
        std::vector<TimedMessage> messages;
        // Only a regular file: reading a FIFO or a device would wait or never end.
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec))
            throw PatchError(patch.file, f.place + ".file",
                             path.string() + ": " +
                                 (std::filesystem::exists(path, ec) ? "not a regular file"
                                                                    : "cannot open the MIDI file"));
        try {
            messages = readMidiFile(path);
        } catch (const MidiFileError& err) {
            throw PatchError(patch.file, f.place + ".file", path.string() + ": " + err.what());
        }
        for (auto& m : messages) {
            PatchChange c = base;
            c.seconds = m.seconds;
            c.value.datatype = gmpi::DatatypeMidi;
            c.value.bytes = std::move(m.bytes);
            patch.changes.push_back(std::move(c));
        }
    }
    std::stable_sort(
        patch.changes.begin(), patch.changes.end(),
        [](const PatchChange& a, const PatchChange& b) { return a.seconds < b.seconds; });
    for (const auto& c : e.captures)
        patch.midiCaptures.push_back(
            {midiPin(patch, c.pin, c.place + ".pin", gmpi::DirectionOut), c.file});
}

} // namespace zrhost
