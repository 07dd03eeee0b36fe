# Links with lld where the compiler can: the test programs are many and large
# (sanitizers, Qt, Boost), and GNU ld spends seconds on each of them.
option(YHZ_USE_LLD "Link with lld when it is installed" ON)
if(YHZ_USE_LLD AND NOT WIN32 AND NOT CMAKE_CROSSCOMPILING)
  include(CheckLinkerFlag)
  check_linker_flag(CXX "-fuse-ld=lld" YHZ_LINKER_LLD_WORKS)
  if(YHZ_LINKER_LLD_WORKS)
    add_link_options(-fuse-ld=lld)
  endif()
endif()
