# The floors of src/ (base, pack, store and its backends, exporter, importer,
# diff, engine, then the faces): every folder is a static library of the
# sources its CMakeLists.txt lists, linked with the floors below it and
# nothing else.
#
# Sources include a folder's headers as "folder/name.h". A folder's headers
# are reached through a folder of links in the build tree,
# floors/<target>/<folder>/<name>.h, one for each header of that folder alone
# (a subfolder, such as a store backend, is a floor of its own). The library
# gives that folder to itself and to whatever links it: a floor that does not
# link another has no path to its headers, and an upward include fails to
# compile. The public headers (include/) reach every floor, which is why each
# floor's objects are also linked alone (kestrel_floor_link_check): a call
# into a higher floor through a public header fails to link there.

# Every floor's objects go into libkestrel.so, the server backend's library
# or the web wizard's module as well as into programs.
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

# kestrel_floor(<target> <folder> SOURCES <file>... [PUBLIC <dep>...] [PRIVATE <dep>...])
#
# <folder> is relative to src/, the sources relative to <folder>. The
# headers are every *.h of <folder> itself: a header is not compiled on its
# own, and adding one needs no change here. Without sources (a folder still
# being filled), the floor is an interface library that passes its headers
# and its dependencies on, so that the targets above already link it.
function(kestrel_floor target folder)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "SOURCES;PUBLIC;PRIVATE")
  set(source_dir ${PROJECT_SOURCE_DIR}/src/${folder})
  set(include_dir ${CMAKE_BINARY_DIR}/floors/${target})
  file(GLOB headers CONFIGURE_DEPENDS ${source_dir}/*.h)
  # Made anew on every configure, so that a removed header's link goes too.
  file(REMOVE_RECURSE ${include_dir})
  file(MAKE_DIRECTORY ${include_dir}/${folder})
  foreach(header IN LISTS headers)
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${include_dir}/${folder}/${name} SYMBOLIC)
  endforeach()
  list(TRANSFORM arg_SOURCES PREPEND ${source_dir}/)
  if(arg_SOURCES)
    add_library(${target} STATIC ${arg_SOURCES})
    target_include_directories(${target} PUBLIC ${include_dir})
    target_link_libraries(${target} PUBLIC ${arg_PUBLIC} PRIVATE ${arg_PRIVATE})
    # Calls inside libkestrel.so bind to its own functions, as they would in
    # a static library, instead of going through the dynamic linker's table.
    target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-fno-semantic-interposition>)
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${include_dir})
    target_link_libraries(${target} INTERFACE ${arg_PUBLIC} ${arg_PRIVATE})
  endif()
endfunction()

# The floors that are libraries of objects (a floor without sources has none).
function(kestrel_object_floors out)
  set(result "")
  foreach(floor IN LISTS ARGN)
    get_target_property(type ${floor} TYPE)
    if(type STREQUAL "STATIC_LIBRARY")
      list(APPEND result ${floor})
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# The linker refuses a shared library that leaves a symbol undefined, except
# where a sanitizer's run time comes only with the program (clang's).
set(KESTREL_NO_UNDEFINED ON)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND (KESTREL_SANITIZE OR KESTREL_FUZZ))
  set(KESTREL_NO_UNDEFINED OFF)
endif()

# kestrel_floor_link_check(<floor> [PROBE <target> <source>...])
#
# Links the objects of <floor> alone, with the floors it links, into a shared
# library that may leave nothing undefined: a call from the floor into a
# higher one fails the build here, although libkestrel.so, which holds every
# floor, would link it. Made by the default build, so that the build refuses
# such a call. With PROBE, <target> adds <source>s to the floor's objects and
# is built only on request (the floors' tests).
function(kestrel_floor_link_check floor)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "PROBE")
  get_target_property(type ${floor} TYPE)
  if(NOT KESTREL_NO_UNDEFINED OR NOT type STREQUAL "STATIC_LIBRARY")
    return()
  endif()
  if(arg_PROBE)
    list(POP_FRONT arg_PROBE check)
    set(exclude EXCLUDE_FROM_ALL)
  else()
    set(check ${floor}_link_check)
    set(exclude "")
  endif()
  # The floor's objects themselves; linking the floor as well brings the
  # floors and libraries below it (its own archive adds nothing more).
  add_library(${check} SHARED ${exclude} $<TARGET_OBJECTS:${floor}> ${arg_PROBE})
  target_link_libraries(${check} PRIVATE ${floor})
  target_link_options(${check} PRIVATE LINKER:--no-undefined)
  set_target_properties(${check} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/floors)
endfunction()
