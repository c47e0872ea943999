// The process-wide module factory and its registry. Each module source registers its own
// halves with one line per half, run by a static initialiser when the library loads:
//
//     const int32 registered = registerAudioModule(u"Osc ZRPM", &createAudio<OscZrpm>);
//
// Registration runs on the loading thread before any host call; afterwards the registry is
// only read, so `createInstance` may be called from any host thread.
#pragma once

#include "framework/mp_interfaces.h"

#include <map>
#include <string>

#if defined(_WIN32)
#define MP_EXPORT extern "C"
#else
#define MP_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace gmpi {

// Builds a module half around the host object; returns it with a reference count of 0.
using MpCreateFunction = IMpUnknown* (*)(IMpUnknown* host);

template <class Module>
IMpUnknown* createAudio(IMpUnknown* host) {
    return static_cast<IMpPlugin*>(new Module(host));
}
template <class Module>
IMpUnknown* createGui(IMpUnknown* host) {
    return static_cast<IMpUserInterface*>(new Module(host));
}

int32 registerAudioModule(const char16_t* uniqueId, MpCreateFunction create);
int32 registerGuiModule(const char16_t* uniqueId, MpCreateFunction create);
// Accepts a module description (XML) and keeps nothing.
int32 registerModuleDescription(const char* xml);

// The library's module catalog (what `ZrModuleDescriptions` returns), fed alongside the
// registrations: embedded description blocks as they are, and display names and categories
// for modules that have no block.
int32 catalogAddDescriptionBlock(const char* xml);
int32 catalogDescribe(const char16_t* uniqueId, const char* displayName, const char* category);

// An embedded description block, handed to `registerModuleDescription` and shown in the
// catalog: the one line a module source writes after the registrations the block describes.
inline int32 registerDescriptionBlock(const char* xml) {
    registerModuleDescription(xml);
    return catalogAddDescriptionBlock(xml);
}

class MpFactory : public IMpFactory {
  public:
    struct Entry {
        MpCreateFunction audio = nullptr;
        MpCreateFunction gui = nullptr;
    };

    static MpFactory& instance();

    int32 MP_STDCALL queryInterface(const MpGuid& iid, void** returnInterface) override;
    int32 MP_STDCALL addRef() override { return 16; }
    int32 MP_STDCALL release() override { return 1; }
    int32 MP_STDCALL createInstance(const char16_t* uniqueId, int32 subType, IMpUnknown* host,
                                    void** returnInterface) override;
    int32 MP_STDCALL getBuildInformation(int32& sdkVersion, int32 maxChars,
                                         char16_t* returnString) override;
    virtual ~MpFactory() = default;

    void setAudio(const char16_t* uniqueId, MpCreateFunction create) {
        registry[uniqueId].audio = create;
    }
    void setGui(const char16_t* uniqueId, MpCreateFunction create) {
        registry[uniqueId].gui = create;
    }
    const std::map<std::u16string, Entry>& entries() const { return registry; }

  private:
    MpFactory() = default;
    std::map<std::u16string, Entry> registry;
};

} // namespace gmpi
