# PostgreSQL's client library, libpq, for the Windows programs. Include this file in the Windows cross build;
# target_link_libraries(<target> PRIVATE quarvel_libpq) is then all a program or library needs (headers:
# <libpq-fe.h>).
#
# The route: Debian packages libpq and OpenSSL for Linux only, and nothing is taken from outside Debian, so
# scripts/windows-deps libpq cross-builds both with mingw-w64 from Debian's own source packages (openssl and
# postgresql-15, fetched with apt-get source through the deb-src entry scripts/setup adds) and caches them in
# <build>/deps/libpq. The first configure of a build folder waits for that (about ten minutes on two cores); later
# ones find it in place. Everything is linked statically, as SQLite is: libpq.a (which the script makes from
# libpq's own objects, since PostgreSQL's mingw build makes only libpq.dll and its import library), the
# libpgcommon_shlib and libpgport_shlib archives libpq is built with, OpenSSL's libssl.a and libcrypto.a, then
# the Windows libraries they call. So no DLL is shipped beside the programs or looked for at run time, and no
# other libpq or OpenSSL on the user's machine can be loaded in their place. The script also renames libpq's
# stand-in pthread functions, which would otherwise clash with winpthreads (std::thread, std::mutex).
include_guard(GLOBAL)
if(NOT WIN32)
  message(FATAL_ERROR "cmake/WindowsLibpq.cmake is for the Windows cross build (on Linux: find_package(PostgreSQL))")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/WindowsDeps.cmake)
quarvel_windows_dep(libpq _libpq_dir "postgresql-15 and openssl")

add_library(quarvel_libpq INTERFACE IMPORTED GLOBAL)
# Each archive before the ones it calls: libpq, PostgreSQL's common code and its portability layer, OpenSSL.
# The system libraries are Winsock (ws2_32), SSPI authentication (secur32), the Crypt*/security/event-log calls
# (advapi32), the APPDATA folder (shell32) and OpenSSL's window-station check and fatal-error box (user32).
set_target_properties(quarvel_libpq PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${_libpq_dir}/include
  INTERFACE_LINK_LIBRARIES "${_libpq_dir}/lib/libpq.a;${_libpq_dir}/lib/libpgcommon_shlib.a;\
${_libpq_dir}/lib/libpgport_shlib.a;${_libpq_dir}/openssl/lib/libssl.a;${_libpq_dir}/openssl/lib/libcrypto.a;\
ws2_32;secur32;advapi32;shell32;user32")
