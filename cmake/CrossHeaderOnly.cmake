# Header-only C++ libraries of the build machine, made visible to a cross build.
#
# A cross build searches only the target's root (/usr/i686-w64-mingw32): the build machine's
# /usr/include must stay out of it (its C library headers would shadow the target's). Headers
# that need no compiled library and no system headers beyond the C++ standard library are
# copied into a root of their own inside the build tree, so that the usual
# find_path(... kissfft/kissfft.hh) finds them there and nothing else.
if(NOT CMAKE_CROSSCOMPILING)
  return()
endif()
set(ZR_CROSS_HEADER_ROOT ${CMAKE_BINARY_DIR}/cross-headers)
set(ZR_CROSS_HEADERS
    kissfft/kissfft.hh # the C++ FFT template; the C API needs the compiled library
)
foreach(header ${ZR_CROSS_HEADERS})
  if(EXISTS /usr/include/${header})
    get_filename_component(subdir ${header} DIRECTORY)
    file(COPY /usr/include/${header} DESTINATION ${ZR_CROSS_HEADER_ROOT}/usr/include/${subdir})
  endif()
endforeach()
list(APPEND CMAKE_FIND_ROOT_PATH ${ZR_CROSS_HEADER_ROOT})
