# Every target of the project calls yhz_warnings() so the same rules hold everywhere.
function(yhz_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wold-style-cast -Wcast-align -Woverloaded-virtual
                                           -Wconversion -Wsign-conversion -Wnull-dereference
                                           -Wimplicit-fallthrough)
  if(YHZ_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
