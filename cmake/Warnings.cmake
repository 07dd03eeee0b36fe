# Every target of the project calls yhz_warnings() so the same rules hold everywhere.
function(yhz_warnings target)
  if(MSVC)
    # Sources are UTF-8; the program's texts are converted to GBK at run time.
    target_compile_options(${target} PRIVATE /W4 /utf-8 /permissive- /Zc:__cplusplus)
    if(YHZ_WERROR)
      target_compile_options(${target} PRIVATE /WX)
    endif()
    return()
  endif()
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wold-style-cast -Wcast-align -Woverloaded-virtual
                                           -Wconversion -Wsign-conversion -Wnull-dereference
                                           -Wimplicit-fallthrough)
  if(YHZ_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
