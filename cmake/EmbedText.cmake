# Compiles a text file into the program: writes a source file that defines
#   const std::string_view <NAMESPACE>::<SYMBOL>
# holding the file's bytes, and puts its path in <out_var>. The file is read at
# configure time; editing it makes the build configure again.
function(yhz_embed_text out_var)
  cmake_parse_arguments(ARG "" "FILE;NAMESPACE;SYMBOL" "" ${ARGN})
  get_filename_component(source ${ARG_FILE} ABSOLUTE)
  file(READ ${source} YHZ_EMBED_TEXT)
  # The text goes into a raw string literal; its closing sequence must not
  # occur inside.
  string(FIND "${YHZ_EMBED_TEXT}" ")yhzembed\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${source} contains the sequence that ends the embedded text")
  endif()
  set(YHZ_EMBED_NAMESPACE ${ARG_NAMESPACE})
  set(YHZ_EMBED_SYMBOL ${ARG_SYMBOL})
  file(RELATIVE_PATH YHZ_EMBED_SOURCE ${PROJECT_SOURCE_DIR} ${source})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/embedded/${ARG_SYMBOL}.cpp)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/embedded_text.cpp.in ${out} @ONLY)
  set(${out_var} ${out} PARENT_SCOPE)
endfunction()
