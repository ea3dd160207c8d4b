# Writes OUTPUT: every file of the client as a byte array, and the lookup.
file(GLOB files RELATIVE ${CLIENT_DIR} ${CLIENT_DIR}/*.js ${CLIENT_DIR}/*.css ${CLIENT_DIR}/*.html)
list(SORT files)
set(arrays "")
set(table "")
set(index 0)
foreach(name ${files})
  file(READ ${CLIENT_DIR}/${name} hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "const unsigned char kFile${index}[] = {${bytes}0};\n")
  string(APPEND table "    {\"${name}\", kFile${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}.new "// Generated from client/ by embed_client.cmake.
#include \"platform/display/client_files.h\"

#include <iterator>

namespace korvel::display {
namespace {
${arrays}
const ClientFile kFiles[] = {
${table}};
}  // namespace

const ClientFile* find_client_file(std::string_view name) {
  for (const ClientFile& file : kFiles) {
    if (name == file.name) return &file;
  }
  return nullptr;
}

}  // namespace korvel::display
")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OUTPUT}.new ${OUTPUT})
