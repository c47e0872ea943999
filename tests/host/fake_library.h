// Access to the test libraries built next to the tests.
#pragma once

#include "host/module_library.h"

#include <memory>

namespace zrhost::test {

inline std::unique_ptr<ModuleLibrary> loadFake() {
    return ModuleLibrary::load(ZR_FAKE_PLUGIN);
}

inline constexpr const char16_t* kEcho = u"Fake Echo";

} // namespace zrhost::test
