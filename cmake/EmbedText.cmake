# Compiles a data file into the program: writes a source file that defines
#   const std::string_view <NAMESPACE>::<SYMBOL>
# holding the file's bytes exactly (CR LF stays CR LF), and puts its path in
# <out_var>. The file is read at configure time; editing it makes the build
# configure again.
function(yhz_embed_text out_var)
  cmake_parse_arguments(ARG "" "FILE;NAMESPACE;SYMBOL" "" ${ARGN})
  get_filename_component(source ${ARG_FILE} ABSOLUTE)
  file(READ ${source} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," YHZ_EMBED_BYTES "${hex}")
  set(YHZ_EMBED_NAMESPACE ${ARG_NAMESPACE})
  set(YHZ_EMBED_SYMBOL ${ARG_SYMBOL})
  file(RELATIVE_PATH YHZ_EMBED_SOURCE ${PROJECT_SOURCE_DIR} ${source})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/embedded/${ARG_SYMBOL}.cpp)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/embedded_text.cpp.in ${out} @ONLY)
  set(${out_var} ${out} PARENT_SCOPE)
endfunction()
