# One library per folder of src/, and a build that refuses includes against
# the grain. Each library publishes its own headers under an include root of
# its own (symbolic links in the build tree), so a file sees the headers of
# its own folder and of the libraries its library links, and nothing else:
# an include of a folder it may not use fails to compile.
#
#   zel_folder_library(<target>
#     HEADERS <folder>...        folders below src/ whose headers it publishes
#     SOURCES <file>...
#     DEPENDS <target>...        libraries of this project it builds on (public)
#     PRIVATE <target>...)       outside libraries used only inside it
function(zel_folder_library target)
  cmake_parse_arguments(ARG "" "" "HEADERS;SOURCES;DEPENDS;PRIVATE" ${ARGN})
  if(ARG_SOURCES)
    add_library(${target} STATIC ${ARG_SOURCES})
    set(scope PUBLIC)
  else()
    add_library(${target} INTERFACE)
    set(scope INTERFACE)
  endif()
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  foreach(folder IN LISTS ARG_HEADERS)
    file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*.h)
    file(MAKE_DIRECTORY ${root}/${folder})
    foreach(header IN LISTS headers)
      get_filename_component(name ${header} NAME)
      file(CREATE_LINK ${header} ${root}/${folder}/${name} SYMBOLIC)
    endforeach()
  endforeach()
  target_include_directories(${target} ${scope} ${root})
  target_link_libraries(${target} ${scope} ${ARG_DEPENDS})
  if(ARG_PRIVATE)
    target_link_libraries(${target} PRIVATE ${ARG_PRIVATE})
  endif()
endfunction()
