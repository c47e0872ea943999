// The factory, the registration operations and the exported entry point.
#include "framework/mp_factory.h"

namespace gmpi {

MpFactory& MpFactory::instance() {
    // Created on first use, by a registration line or by MP_GetFactory, whichever comes first.
    static MpFactory factory;
    return factory;
}

int32 MpFactory::queryInterface(const MpGuid& iid, void** returnInterface) {
    if (iid == MP_IID_UNKNOWN || iid == MP_IID_FACTORY) {
        *returnInterface = static_cast<IMpFactory*>(this);
        addRef();
        return ResultOk;
    }
    *returnInterface = nullptr;
    return ResultNoSupport;
}

int32 MpFactory::createInstance(const char16_t* uniqueId, int32 subType, IMpUnknown* host,
                                void** returnInterface) {
    if (!returnInterface) return ResultFail;
    *returnInterface = nullptr;
    if (!uniqueId) return ResultNoSupport;
    const auto it = registry.find(uniqueId);
    if (it == registry.end()) return ResultNoSupport;
    MpCreateFunction create = subType == SubTypeAudio ? it->second.audio
                              : subType == SubTypeGui ? it->second.gui
                                                      : nullptr;
    if (!create) return ResultNoSupport;
    IMpUnknown* object = nullptr;
    try {
        object = create(host);
    } catch (...) {
        return ResultFail;
    }
    if (!object) return ResultFail;
    *returnInterface = object;
    object->addRef();
    return ResultOk;
}

int32 MpFactory::getBuildInformation(int32& sdkVersion, int32 maxChars, char16_t* returnString) {
    sdkVersion = 30400;
    // The text is "MS Compiler V%d" formatted with 1600, truncated to fit maxChars
    // characters including the terminator.
    static constexpr char text[] = "MS Compiler V1600";
    if (!returnString || maxChars <= 0) return ResultOk;
    int32 n = 0;
    for (; n < maxChars - 1 && text[n]; ++n)
        returnString[n] = static_cast<char16_t>(text[n]);
    returnString[n] = u'\0';
    return ResultOk;
}

int32 registerAudioModule(const char16_t* uniqueId, MpCreateFunction create) {
    MpFactory::instance().setAudio(uniqueId, create);
    return 0;
}

int32 registerGuiModule(const char16_t* uniqueId, MpCreateFunction create) {
    MpFactory::instance().setGui(uniqueId, create);
    return 0;
}

int32 registerModuleDescription(const char*) {
    return 0;
}

} // namespace gmpi

MP_EXPORT gmpi::int32 MP_STDCALL MP_GetFactory(void** returnInterface) {
    if (!returnInterface) return gmpi::ResultFail;
    return gmpi::MpFactory::instance().queryInterface(gmpi::MP_IID_UNKNOWN, returnInterface);
}

#if defined(_WIN32)
#include <windows.h>

// The instance handle is kept for completeness; nothing reads it.
HINSTANCE dllInstanceHandle = nullptr;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID) {
    dllInstanceHandle = instance;
    return TRUE;
}
#endif
