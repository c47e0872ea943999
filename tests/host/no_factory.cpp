// A shared library that is not a module library: it exports no MP_GetFactory.
extern "C" __attribute__((visibility("default"))) int zrNotAModuleLibrary() {
    return 42;
}
