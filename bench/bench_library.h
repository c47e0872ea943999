// The module library the benchmark programs load once per process, for the ones that create
// module halves through the host library.
#pragma once

#include "host/module_library.h"

namespace benchrig {

inline zrhost::ModuleLibrary& library() {
    return zrhost::ModuleLibrary::shared(ZR_MODULE_LIBRARY_PATH);
}

} // namespace benchrig
