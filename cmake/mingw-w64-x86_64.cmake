# Cross build for 64-bit Windows with Debian's mingw-w64 compilers, the
# "posix" flavour whose std::thread and std::mutex work. Libraries Debian does
# not ship for mingw (libcurl with Schannel, minizip, OpenSSL's libcrypto,
# GoogleTest) are built by scripts/build-windows-deps into
# build/windows-deps/prefix, which is searched before the compiler's own
# folder. Everything links statically: a test program runs under wine, or on a
# Windows machine, without a DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(YHZ_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${YHZ_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${YHZ_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${YHZ_MINGW_TRIPLE}-windres)

get_filename_component(YHZ_WINDOWS_DEPS "${CMAKE_CURRENT_LIST_DIR}/../build/windows-deps/prefix"
                       ABSOLUTE)
set(CMAKE_FIND_ROOT_PATH ${YHZ_WINDOWS_DEPS} /usr/${YHZ_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees only the libraries built for Windows, with what a static
# link needs besides them.
set(ENV{PKG_CONFIG_LIBDIR} "${YHZ_WINDOWS_DEPS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
set(PKG_CONFIG_ARGN --static)
set(OPENSSL_USE_STATIC_LIBS TRUE)
set(ZLIB_USE_STATIC_LIBS TRUE)

# Windows 10 and later; the Win32 calls are named with their A or W suffix.
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=0x0A00")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0A00")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
