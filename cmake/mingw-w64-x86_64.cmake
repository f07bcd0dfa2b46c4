# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix).
# The runtime (libgcc, libstdc++, winpthread) is linked statically, so the executables need no
# DLLs beside them.
#
# QN_DEPS_PREFIX (optional): a folder laid out as an install prefix that holds libraries built
# with this same toolchain (GoogleTest) and header-only packages; it is searched like the
# compiler's own root.
# QN_PKG_CONFIG_LIBDIR (optional): the only folder of .pc files pkg-config reads (libFLAC's prefix);
# without it, MinGW's own. The build machine's packages are never seen.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QN_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QN_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QN_MINGW_TRIPLE})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QN_DEPS_PREFIX QN_PKG_CONFIG_LIBDIR)
if(QN_DEPS_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH "${QN_DEPS_PREFIX}")
endif()
# Set here rather than left to the caller's environment, so that a later run of cmake (a rebuild
# after a CMakeLists.txt changed) sees the same packages.
if(QN_PKG_CONFIG_LIBDIR)
  set(ENV{PKG_CONFIG_LIBDIR} "${QN_PKG_CONFIG_LIBDIR}")
else()
  set(ENV{PKG_CONFIG_LIBDIR} "/usr/${QN_MINGW_TRIPLE}/lib/pkgconfig")
endif()
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
unset(ENV{PKG_CONFIG_PATH})
# Programs run on the build machine; libraries, headers and packages come from the target's roots
# only, never from the build machine's /usr.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# GCC 12 warns of a string copy of "9223372036854775810 or more bytes" inside std::string's
# operator+ wherever it is inlined: a known false report that would bury the real warnings.
set(CMAKE_CXX_FLAGS_INIT "-Wno-stringop-overflow")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
