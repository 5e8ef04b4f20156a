# voltra_add_shared_library(<name> OBJECTS <object library> HEADERS <public headers...>)
# A shared library made of an object library's code, with its public headers as a header file
# set (installed by cmake/Packaging.cmake) and its exports limited by <name>.map beside the
# calling CMakeLists.txt: the tests link the same objects statically to reach the rest.
function(voltra_add_shared_library name)
  cmake_parse_arguments(ARG "" "OBJECTS" "HEADERS" ${ARGN})
  set(map ${CMAKE_CURRENT_SOURCE_DIR}/${name}.map)
  add_library(${name} SHARED $<TARGET_OBJECTS:${ARG_OBJECTS}>)
  target_sources(${name} PUBLIC FILE_SET HEADERS BASE_DIRS ${CMAKE_CURRENT_SOURCE_DIR} FILES ${ARG_HEADERS})
  target_link_options(${name} PRIVATE -Wl,--version-script=${map})
  set_target_properties(${name} PROPERTIES LINK_DEPENDS ${map})
endfunction()
