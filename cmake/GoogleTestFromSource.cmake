# GoogleTest for cross builds, compiled from the sources that Debian's googletest package
# ships (/usr/src/googletest), with the target names that find_package(GTest) gives on Linux
# (GTest::gtest, GTest::gtest_main, GTest::gmock, GTest::gmock_main).
set(ZR_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest source tree")
if(NOT EXISTS ${ZR_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${ZR_GOOGLETEST_SOURCE_DIR} "
                      "(apt-get install googletest, or set ZR_GOOGLETEST_SOURCE_DIR)")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
# Static libraries whatever the project says: the test executables carry everything they need.
set(_zr_saved_shared ${BUILD_SHARED_LIBS})
set(BUILD_SHARED_LIBS OFF)
add_subdirectory(${ZR_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set(BUILD_SHARED_LIBS ${_zr_saved_shared})

foreach(_zr_gt gtest gtest_main gmock gmock_main)
  # Third-party code: its warnings are not ours to fix.
  target_compile_options(${_zr_gt} PRIVATE -w)
  if(NOT TARGET GTest::${_zr_gt})
    add_library(GTest::${_zr_gt} ALIAS ${_zr_gt})
  endif()
endforeach()
