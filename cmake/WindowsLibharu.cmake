# libharu, the PDF library of the service certificate, for the Windows programs. Include this file in the
# Windows cross build; target_link_libraries(<target> PRIVATE quarvel_libharu) is then all a library needs
# (headers: <hpdf.h>). scripts/windows-deps libharu cross-builds it with mingw-w64, statically and with a
# static zlib, from Debian's libharu and zlib source packages, and caches it in <build>/deps/libharu (about a
# minute, once per build folder). Linked statically like SQLite and libpq: no DLL to ship or to find.
include_guard(GLOBAL)
if(NOT WIN32)
  message(FATAL_ERROR "cmake/WindowsLibharu.cmake is for the Windows cross build (on Linux: libhpdf-dev)")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/WindowsDeps.cmake)
quarvel_windows_dep(libharu _haru_dir "libharu and zlib")

add_library(quarvel_libharu INTERFACE IMPORTED GLOBAL)
set_target_properties(quarvel_libharu PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${_haru_dir}/include
  INTERFACE_LINK_LIBRARIES "${_haru_dir}/lib/libhpdf.a;${_haru_dir}/lib/libz.a")
