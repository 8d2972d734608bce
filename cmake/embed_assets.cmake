# Writes OUTPUT, a C++ source that holds the files FILES of SOURCE_DIR (the
# web wizard's pages) as byte arrays and looks them up by path for
# src/web/assets.h: "index.html" is served at "/", every file at "/NAME".
# Run by the build: cmake -DSOURCE_DIR=... -DOUTPUT=... -DFILES=a;b -P embed_assets.cmake
set(arrays "")
set(rows "")
set(i 0)
foreach(name IN LISTS FILES)
  file(READ "${SOURCE_DIR}/${name}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "const unsigned char k${i}[] = {${bytes}};\n")
  get_filename_component(extension "${name}" LAST_EXT)
  if(extension STREQUAL ".html")
    set(type "text/html; charset=utf-8")
  elseif(extension STREQUAL ".css")
    set(type "text/css; charset=utf-8")
  elseif(extension STREQUAL ".js")
    set(type "text/javascript; charset=utf-8")
  elseif(extension STREQUAL ".svg")
    set(type "image/svg+xml")
  else()
    set(type "application/octet-stream")
  endif()
  set(path "/${name}")
  if(name STREQUAL "index.html")
    set(path "/")
  endif()
  string(APPEND rows "    {\"${path}\", \"${type}\", Bytes(k${i}, sizeof k${i})},\n")
  math(EXPR i "${i} + 1")
endforeach()
file(WRITE "${OUTPUT}.new" "// Made by cmake/embed_assets.cmake from web/; do not edit.
#include \"web/assets.h\"

#include <iterator>

namespace kestrel::web {
namespace {

${arrays}
std::string_view Bytes(const unsigned char* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

const Asset kAssets[] = {
${rows}};

}  // namespace

const Asset* FindAsset(std::string_view path) {
  for (const Asset& asset : kAssets)
    if (asset.path == path) return &asset;
  return nullptr;
}

}  // namespace kestrel::web
")
# Written only when it changed, so that an unchanged page rebuilds nothing.
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
