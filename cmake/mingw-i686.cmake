# Cross-compiles the 32-bit Windows build with MinGW-w64 (i686-w64-mingw32) on Linux.
# Test executables run through Wine (CMAKE_CROSSCOMPILING_EMULATOR), so ctest works as on
# Linux once a Wine prefix can be created (see scripts/test-all.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(ZR_MINGW_TRIPLET i686-w64-mingw32)
# The posix thread-model variant of the compiler: GoogleTest needs std::mutex, which the win32
# variant lacks. The library uses no threads of its own; with the runtime linked statically
# the DLL still imports only system libraries.
set(ZR_MINGW_THREADS "posix" CACHE STRING "MinGW-w64 thread model variant (posix or win32)")
find_program(CMAKE_C_COMPILER NAMES ${ZR_MINGW_TRIPLET}-gcc-${ZR_MINGW_THREADS}
                                    ${ZR_MINGW_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${ZR_MINGW_TRIPLET}-g++-${ZR_MINGW_THREADS}
                                      ${ZR_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${ZR_MINGW_TRIPLET}-windres)
find_program(CMAKE_AR NAMES ${ZR_MINGW_TRIPLET}-gcc-ar-${ZR_MINGW_THREADS}
                            ${ZR_MINGW_TRIPLET}-ar)
find_program(CMAKE_RANLIB NAMES ${ZR_MINGW_TRIPLET}-gcc-ranlib-${ZR_MINGW_THREADS}
                                ${ZR_MINGW_TRIPLET}-ranlib)

set(CMAKE_FIND_ROOT_PATH /usr/${ZR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test executables run through Wine, in a prefix of the build tree unless WINEPREFIX is set.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh
                                  ${CMAKE_BINARY_DIR}/wineprefix)
