// The module catalog: one XML document (root PluginList) describing every registered
// identifier. Modules with an embedded description block appear as the block states them;
// for every other identifier the library describes the pins its halves bind, in index order,
// by building each half once around a probe host that answers every interface.
#include "framework/mp_base.h"
#include "framework/mp_enum_list.h"
#include "framework/mp_factory.h"
#include "framework/mp_gui.h"
#include "framework/mp_pins.h"
#include "framework/mp_text.h"

#include <charconv>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

namespace gmpi {
namespace {

struct CatalogInfo {
    std::string name;
    std::string category;
};

struct CatalogData {
    std::vector<const char*> blocks;
    std::map<std::u16string, CatalogInfo> info;
    std::string document;
};

CatalogData& catalog() {
    static CatalogData data;
    return data;
}

std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// The Plugin elements of a block, without the declaration and the PluginList wrapper, and
// the identifiers they describe. The blocks are the library's own constants.
std::string blockBody(const char* xml, std::set<std::string>& ids) {
    const std::string text(xml);
    std::size_t begin = text.find("<PluginList");
    begin = begin == std::string::npos ? 0 : text.find('>', begin) + 1;
    std::size_t end = text.rfind("</PluginList>");
    if (end == std::string::npos || end < begin) end = text.size();
    std::string body = text.substr(begin, end - begin);
    for (std::size_t p = body.find("<Plugin "); p != std::string::npos;
         p = body.find("<Plugin ", p + 1)) {
        const std::size_t close = body.find('>', p);
        const std::size_t idAt = body.find(" id=\"", p);
        if (idAt == std::string::npos || idAt > close) continue;
        const std::size_t idEnd = body.find('"', idAt + 5);
        ids.insert(body.substr(idAt + 5, idEnd - idAt - 5));
    }
    return body;
}

std::string floatText(float v) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
    return std::string(buffer, end);
}

// The value a control input holds as constructed: what the module works with until the host
// sends one. Nothing for pins that hold no number, flag or text (audio, blob, MIDI).
std::optional<std::string> initialValueText(const MpPinBase& pin) {
    if (const auto* f = dynamic_cast<const MpControlPinBase<float, DatatypeFloat>*>(&pin))
        return floatText(f->getValue());
    if (const auto* i = dynamic_cast<const MpControlPinBase<int32, DatatypeInt>*>(&pin))
        return std::to_string(i->getValue());
    if (const auto* l = dynamic_cast<const MpControlPinBase<int32, DatatypeList>*>(&pin))
        return std::to_string(l->getValue());
    if (const auto* b = dynamic_cast<const MpControlPinBase<bool, DatatypeBool>*>(&pin))
        return b->getValue() ? "1" : "0";
    if (const auto* t = dynamic_cast<const MpControlPinBase<MpText, DatatypeText>*>(&pin))
        return utf16ToUtf8(t->getValue());
    return std::nullopt;
}

// The documentation attributes of a pin: its default, its range and its value names. The
// range of an enumerated pin runs from its lowest to its highest id unless the doc says more.
std::string docAttributes(const MpPinBase& pin) {
    const MpPinDoc* doc = pin.doc();
    if (!doc) return {};
    std::string out;
    if (const auto initial = initialValueText(pin)) out = " default=\"" + escape(*initial) + "\"";
    std::string minimum = doc->minimum ? doc->minimum : "";
    std::string maximum = doc->maximum ? doc->maximum : "";
    if (doc->valueNames) {
        int64_t lo = 0, hi = -1;
        // Value names are the library's own ASCII constants: widening each byte is exact.
        const std::string_view names(doc->valueNames);
        const std::u16string list(names.begin(), names.end());
        for (MpEnumListIterator it(list); !it.isDone(); it.next()) {
            if (hi < lo || it.currentId() < lo) lo = it.currentId();
            if (hi < lo || it.currentId() > hi) hi = it.currentId();
        }
        if (minimum.empty() && hi >= lo) minimum = std::to_string(lo);
        if (maximum.empty() && hi >= lo) maximum = std::to_string(hi);
    }
    if (!minimum.empty()) out += " minimum=\"" + escape(minimum) + "\"";
    if (!maximum.empty()) out += " maximum=\"" + escape(maximum) + "\"";
    if (doc->valueNames) out += " valueNames=\"" + escape(doc->valueNames) + "\"";
    return out;
}

void writePin(std::string& out, int32 id, const char* name, int32 direction, int32 datatype,
              const std::string& extra = {}) {
    out += "      <Pin id=\"" + std::to_string(id) + "\" name=\"" + escape(name ? name : "") +
           "\" direction=\"" + (direction == DirectionOut ? "out" : "in") + "\" datatype=\"" +
           schemaDatatypeName(static_cast<PinDatatype>(datatype)) + "\"";
    if (datatype == DatatypeAudio) out += " rate=\"audio\"";
    out += extra + " />\n";
}

// Answers every host interface with itself and every request with success, so that a module
// half can be built and its pin table read.
class ProbeHost final : public AudioHost, public GuiHost, public CompositedGfxHost {
  public:
    int32 MP_STDCALL queryInterface(const MpGuid& iid, void** out) override {
        if (iid == MP_IID_AUDIO_HOST)
            *out = static_cast<AudioHost*>(this);
        else if (iid == MP_IID_GUI_HOST)
            *out = static_cast<GuiHost*>(this);
        else if (iid == MP_IID_COMPOSITED_HOST)
            *out = static_cast<CompositedGfxHost*>(this);
        else if (iid == MP_IID_UNKNOWN)
            *out = static_cast<AudioHost*>(this);
        else {
            *out = nullptr;
            return ResultNoSupport;
        }
        return ResultOk;
    }
    int32 MP_STDCALL addRef() override { return 1; }
    int32 MP_STDCALL release() override { return 1; }
    int32 MP_STDCALL setPinValue(int32, int32, int32, const void*) override { return ResultOk; }
    int32 MP_STDCALL setPinStreaming(int32, int32, int32) override { return ResultOk; }
    int32 MP_STDCALL sleep() override { return ResultOk; }
    int32 MP_STDCALL reserved6() override { return ResultOk; }
    int32 MP_STDCALL getBlockSize(int32& samples) override {
        samples = 64;
        return ResultOk;
    }
    int32 MP_STDCALL getSampleRate(float& hertz) override {
        hertz = 44100.0f;
        return ResultOk;
    }
    int32 MP_STDCALL reserved9() override { return ResultOk; }
    int32 MP_STDCALL reserved10() override { return ResultOk; }
    int32 MP_STDCALL reserved11() override { return ResultOk; }
    int32 MP_STDCALL reserved12() override { return ResultOk; }
    int32 MP_STDCALL reserved13() override { return ResultOk; }
    int32 MP_STDCALL reserved14() override { return ResultOk; }
    int32 MP_STDCALL reserved15() override { return ResultOk; }
    int32 MP_STDCALL allocateSharedMemory(const char16_t*, void** p, float, int32,
                                          int32& needInitialise) override {
        *p = nullptr;
        needInitialise = 0;
        return ResultFail;
    }
    int32 MP_STDCALL getFullPath(const char16_t*, int32 maxChars, char16_t* out) override {
        if (out && maxChars > 0) out[0] = 0;
        return ResultFail;
    }
    int32 MP_STDCALL transmitPin(int32, int32, const void*, int32) override { return ResultOk; }
    int32 MP_STDCALL reserved4() override { return ResultOk; }
    int32 MP_STDCALL reserved5() override { return ResultOk; }
    int32 MP_STDCALL reserved7() override { return ResultOk; }
    int32 MP_STDCALL reserved8() override { return ResultOk; }
    int32 MP_STDCALL getPinCount(int32& count) override {
        count = 0;
        return ResultOk;
    }
    int32 MP_STDCALL invalidate(const MpRect*) override { return ResultOk; }
    int32 MP_STDCALL getStyle(const char16_t*, void*, void**) override { return ResultFail; }
};

// Builds one half around the probe host and writes its pins inside <element>; nothing when the
// half cannot be built. `Interface` is the half's interface, `Base` the framework base behind it.
template <class Interface, class Base>
void describeHalf(std::string& out, const char* element, MpCreateFunction create, ProbeHost& host) {
    IMpUnknown* object = nullptr;
    try {
        object = create(static_cast<AudioHost*>(&host));
    } catch (...) {
        return;
    }
    if (!object) return;
    object->addRef();
    out += std::string("    <") + element + ">\n";
    auto* half = static_cast<Base*>(static_cast<Interface*>(object));
    half->forEachPin([&](int32 id, auto& pin) {
        std::string extra;
        if constexpr (std::is_base_of_v<MpPinBase, std::decay_t<decltype(pin)>>)
            extra = docAttributes(pin);
        writePin(out, id, pin.name(), pin.direction(), pin.datatype(), extra);
    });
    out += std::string("    </") + element + ">\n";
    object->release();
}

std::string buildDocument() {
    CatalogData& data = catalog();
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<PluginList>\n";
    std::set<std::string> described;
    for (const char* block : data.blocks)
        out += blockBody(block, described);
    ProbeHost host;
    for (const auto& [id, entry] : MpFactory::instance().entries()) {
        const std::string utf8 = utf16ToUtf8(id);
        if (described.count(utf8)) continue;
        const auto info = data.info.find(id);
        const std::string name = info != data.info.end() ? info->second.name : utf8;
        const std::string category = info != data.info.end() ? info->second.category : "ZR";
        out += "  <Plugin id=\"" + escape(utf8) + "\" name=\"" + escape(name) + "\" category=\"" +
               escape(category) + "\">\n";
        if (entry.audio) describeHalf<IMpPlugin, MpPluginBase>(out, "Audio", entry.audio, host);
        if (entry.gui) describeHalf<IMpUserInterface, MpGuiBase>(out, "GUI", entry.gui, host);
        out += "  </Plugin>\n";
    }
    out += "</PluginList>\n";
    return out;
}

} // namespace

int32 catalogAddDescriptionBlock(const char* xml) {
    catalog().blocks.push_back(xml);
    return 0;
}

int32 catalogDescribe(const char16_t* uniqueId, const char* displayName, const char* category) {
    catalog().info[uniqueId] = CatalogInfo{displayName, category};
    return 0;
}

const char* catalogDocument() {
    CatalogData& data = catalog();
    if (data.document.empty()) data.document = buildDocument();
    return data.document.c_str();
}

} // namespace gmpi

#if !defined(_WIN32)
MP_EXPORT const char* ZrModuleDescriptions() {
    return gmpi::catalogDocument();
}
#endif
