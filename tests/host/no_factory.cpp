// A shared library that is not a module library: it exports no MP_GetFactory.
#ifdef _WIN32
#define NOT_MODULE_EXPORT extern "C" __declspec(dllexport)
#else
#define NOT_MODULE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

NOT_MODULE_EXPORT int zrNotAModuleLibrary() {
    return 42;
}
