#include "host/module_library.h"

#include "host/text.h"

#include <map>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace zrhost {

namespace {

#ifdef _WIN32
void* openLibrary(const std::string& path, std::string& error) {
    const std::u16string wide = toUtf16(path);
    std::wstring name(wide.begin(), wide.end());
    HMODULE handle = LoadLibraryW(name.c_str());
    if (!handle) error = "Windows error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(handle);
}

void* findSymbol(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void closeLibrary(void* handle) {
    FreeLibrary(static_cast<HMODULE>(handle));
}
#else
void* openLibrary(const std::string& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* text = dlerror();
        error = text ? text : "unknown error";
    }
    return handle;
}

void* findSymbol(void* handle, const char* name) {
    return dlsym(handle, name);
}

void closeLibrary(void* handle) {
    dlclose(handle);
}
#endif

// Function pointers and object pointers do not convert directly; go through the bytes.
template <typename Fn>
Fn symbolAs(void* handle, const char* name) {
    void* address = findSymbol(handle, name);
    Fn fn = nullptr;
    static_assert(sizeof fn == sizeof address);
    std::memcpy(&fn, &address, sizeof fn);
    return fn;
}

} // namespace

std::unique_ptr<ModuleLibrary> ModuleLibrary::load(const std::string& path) {
    std::unique_ptr<ModuleLibrary> lib(new ModuleLibrary);
    lib->path_ = path;
    std::string error;
    lib->handle_ = openLibrary(path, error);
    if (!lib->handle_) throw LoadError("cannot load module library '" + path + "': " + error);

    auto getFactory = symbolAs<MP_GetFactoryFn>(lib->handle_, "MP_GetFactory");
    if (!getFactory)
        throw LoadError("'" + path + "' is not a module library: it does not export MP_GetFactory");

    void* unknown = nullptr;
    const gmpi::int32 rc = getFactory(&unknown);
    if (rc != gmpi::ResultOk || !unknown)
        throw LoadError("MP_GetFactory of '" + path + "' failed with result " + std::to_string(rc));

    auto* base = static_cast<gmpi::IMpUnknown*>(unknown);
    void* factory = nullptr;
    const gmpi::int32 qi = base->queryInterface(gmpi::MP_IID_FACTORY, &factory);
    base->release();
    if (qi != gmpi::ResultOk || !factory)
        throw LoadError("the factory of '" + path + "' does not offer IMpFactory (result " +
                        std::to_string(qi) + ")");
    lib->factory_ = static_cast<gmpi::IMpFactory*>(factory);

#ifndef _WIN32
    lib->timerInterval_ = symbolAs<ZrTimerIntervalFn>(lib->handle_, "ZrTimerInterval");
    lib->timerTick_ = symbolAs<ZrTimerTickFn>(lib->handle_, "ZrTimerTick");
    lib->descriptions_ = symbolAs<ZrModuleDescriptionsFn>(lib->handle_, "ZrModuleDescriptions");
#endif
    return lib;
}

ModuleLibrary& ModuleLibrary::shared(const std::string& path) {
    // Kept for the life of the process and never destroyed: the library's own static objects
    // (its factory among them) are built after this map and so are destroyed before it at exit;
    // releasing the factory from the map's destructor would call into a destroyed object.
    static auto* const loaded = new std::map<std::string, std::unique_ptr<ModuleLibrary>>;
    std::unique_ptr<ModuleLibrary>& lib = (*loaded)[path];
    if (!lib) lib = load(path);
    return *lib;
}

ModuleLibrary::~ModuleLibrary() {
    if (factory_) factory_->release();
    if (handle_) closeLibrary(handle_);
}

gmpi::int32 ModuleLibrary::timerInterval() const {
    return timerInterval_ ? timerInterval_() : 0;
}

bool ModuleLibrary::timerTick() const {
    if (!timerTick_ || timerInterval() <= 0) return false;
    timerTick_();
    return true;
}

int ModuleLibrary::advanceTimer(int milliseconds) {
    int ticks = 0;
    timerCarry_ += milliseconds;
    for (;;) {
        const gmpi::int32 interval = timerInterval();
        if (interval <= 0) {
            timerCarry_ = 0;
            break;
        }
        if (timerCarry_ < interval) break;
        timerCarry_ -= interval;
        timerTick_();
        ++ticks;
    }
    return ticks;
}

const char* ModuleLibrary::moduleDescriptions() const {
    return descriptions_ ? descriptions_() : nullptr;
}

} // namespace zrhost
