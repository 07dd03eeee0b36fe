# What a Windows build needs besides the rest: the system libraries that the
# static OpenSSL and libcurl call into, and Win32 headers without min/max
# macros. With mingw-w64 every library is linked statically, so a program
# runs without a DLL beside it.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX)
if(MINGW)
  # GCC 12 warns of an overlapping memcpy inside std::string's own inlined
  # code at -O2 and above (a known false positive of that release).
  add_compile_options(-Wno-restrict)
  set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
  add_compile_definitions(CURL_STATICLIB)
  find_package(OpenSSL REQUIRED)
  set_property(TARGET OpenSSL::Crypto APPEND PROPERTY INTERFACE_LINK_LIBRARIES ws2_32 crypt32
                                                                              bcrypt)
endif()
