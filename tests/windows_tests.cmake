# The GUI-free tests built for Windows, which scripts/test-windows runs under
# wine. cpp-httplib, Boost.Asio's proxy and the demo servers are not built
# for Windows, so a test source that includes a loopback server (or a demo
# server's header) is left out of its program; windows-skipped.txt names it
# with the header that keeps it out, and windows-tests.txt lists the
# programs, for the runner.
set(YHZ_WINDOWS_TESTS ${PROJECT_BINARY_DIR}/windows-tests.txt)
set(YHZ_WINDOWS_SKIPPED ${PROJECT_BINARY_DIR}/windows-skipped.txt)
file(WRITE ${YHZ_WINDOWS_TESTS} "")
file(WRITE ${YHZ_WINDOWS_SKIPPED} "")

find_package(Threads REQUIRED)
add_library(yhz_test_support STATIC
  support/signing_key.cpp support/signing_key.h
  support/temp_dir.cpp support/temp_dir.h
  support/recording_window.h
)
target_include_directories(yhz_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(yhz_test_support PUBLIC yhz_base yhz_service_client yhz_package_signing
                                              OpenSSL::Crypto
                                       PRIVATE yhz_platform yhz_text Threads::Threads)
yhz_warnings(yhz_test_support)

set(YHZ_SERVER_INCLUDE
    "^#include \"(support/(loopback|loopback_service|scripted_server|server_process|latency_proxy|raw_client|demo_ca)\\.h|demo/)")

function(yhz_core_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  set(kept "")
  set(tests_kept FALSE)
  foreach(source ${ARG_SOURCES})
    file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/${source} servers REGEX "${YHZ_SERVER_INCLUDE}")
    if(servers)
      list(GET servers 0 first)
      string(REGEX REPLACE "^#include \"([^\"]*)\".*" "\\1" header "${first}")
      file(RELATIVE_PATH shown ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/${source})
      file(APPEND ${YHZ_WINDOWS_SKIPPED} "${shown}\t${header}\n")
    else()
      list(APPEND kept ${source})
      if(source MATCHES "_test\\.cpp$")
        set(tests_kept TRUE)
      endif()
    endif()
  endforeach()
  if(NOT tests_kept)
    return()
  endif()
  set(libs "")
  foreach(lib ${ARG_LIBS})
    if(TARGET ${lib})
      list(APPEND libs ${lib})
    endif()
  endforeach()
  add_executable(${name} ${kept})
  target_link_libraries(${name} PRIVATE ${libs} yhz_test_support GTest::gmock GTest::gtest_main)
  yhz_warnings(${name})
  file(RELATIVE_PATH program ${PROJECT_BINARY_DIR} ${CMAKE_CURRENT_BINARY_DIR}/${name}.exe)
  file(APPEND ${YHZ_WINDOWS_TESTS} "${program}\n")
endfunction()

foreach(area text base net json package_signing service_client startup region retrieval plates query update)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${area}/CMakeLists.txt)
    add_subdirectory(${area})
  endif()
endforeach()
