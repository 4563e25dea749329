# The layers of the code, each a library that sees only itself and the
# layers below it. A layer's include folder (<build>/include/<layer>) holds
# links to those source folders and nothing else, and no target has the
# source tree itself on its include path: an include of a layer above or
# beside does not build.

# Makes <build>/include/<name> with a link to each source folder given (a
# path below the source tree, such as "tests/support"), and sets
# KELVANE_INCLUDE_<name> to it. Links already there are kept; a link left
# from an earlier configuration to a folder no longer given is removed, so
# that what the folder no longer sees does not build.
function(kelvane_include_folder name)
  set(dir ${CMAKE_BINARY_DIR}/include/${name})
  file(GLOB_RECURSE present LIST_DIRECTORIES true RELATIVE ${dir} ${dir}/*)
  foreach(entry IN LISTS present)
    if(IS_SYMLINK ${dir}/${entry} AND NOT entry IN_LIST ARGN)
      file(REMOVE ${dir}/${entry})
    endif()
  endforeach()
  foreach(folder IN LISTS ARGN)
    set(link ${dir}/${folder})
    get_filename_component(parent ${link} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    if(NOT IS_SYMLINK ${link})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${link} SYMBOLIC)
    endif()
  endforeach()
  set(KELVANE_INCLUDE_${name} ${dir} PARENT_SCOPE)
endfunction()

# kelvane_layer(NAME FOLDERS folder... SOURCES file... LINKS target...):
# the static library kelvane_NAME of the sources, whose include folder links
# the folders (its own and those of the layers below), linked to the layers
# below it.
function(kelvane_layer name)
  cmake_parse_arguments(LAYER "" "" "FOLDERS;SOURCES;LINKS" ${ARGN})
  kelvane_include_folder(${name} ${LAYER_FOLDERS})
  add_library(kelvane_${name} STATIC ${LAYER_SOURCES})
  # A value that changes in a conversion, or a name that hides another, is
  # a fault in a codec: with g++, an error.
  target_compile_options(kelvane_${name} PRIVATE -Wshadow -Wconversion -Wsign-conversion)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(kelvane_${name} PRIVATE -Werror)
  endif()
  target_include_directories(kelvane_${name} PUBLIC ${CMAKE_BINARY_DIR}/include/${name})
  target_link_libraries(kelvane_${name} PUBLIC ${LAYER_LINKS})
  set(KELVANE_INCLUDE_${name} ${CMAKE_BINARY_DIR}/include/${name} PARENT_SCOPE)
endfunction()
