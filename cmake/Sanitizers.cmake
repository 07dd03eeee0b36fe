set(YHZ_SANITIZE "" CACHE STRING "Sanitizers to build with: address;undefined or thread")
if(YHZ_SANITIZE)
  list(JOIN YHZ_SANITIZE "," _yhz_san)
  add_compile_options(-fsanitize=${_yhz_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_yhz_san})
endif()
# Boost.Asio (the demo servers' engine and the tests' latency proxy) fences
# its handlers with std::atomic_thread_fence, which the thread sanitizer
# cannot follow and GCC warns about. Our own code uses no fences; a race in
# it is still reported.
if("thread" IN_LIST YHZ_SANITIZE)
  add_compile_options(-Wno-tsan)
endif()
