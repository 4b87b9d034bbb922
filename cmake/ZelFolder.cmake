# One library per folder of src/, and a build that refuses includes against
# the grain. Each library publishes its own headers under an include root of
# its own (symbolic links in the build tree), so a file sees the headers of
# its own folder and of the libraries its library links, and nothing else:
# an include of a folder it may not use fails to compile. An include whose
# path climbs out of the file's folder ("../agent/wake.h") would get around
# that: each library's files are checked for one before it is built.
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
  zel_check_includes(${target} ${ARG_HEADERS} SOURCES ${ARG_SOURCES})
  target_link_libraries(${target} ${scope} ${ARG_DEPENDS})
  if(ARG_PRIVATE)
    target_link_libraries(${target} PRIVATE ${ARG_PRIVATE})
  endif()
endfunction()

# Each file of the library, at build time, against CheckIncludes.cmake.
function(zel_check_includes target)
  cmake_parse_arguments(ARG "" "" "SOURCES" ${ARGN})
  set(files "")
  foreach(folder IN LISTS ARG_UNPARSED_ARGUMENTS)
    file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*.h)
    list(APPEND files ${headers})
  endforeach()
  foreach(source IN LISTS ARG_SOURCES)
    get_filename_component(source ${source} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND files ${source})
  endforeach()
  set(dir ${CMAKE_BINARY_DIR}/include-checks)
  string(REPLACE ";" "\n" listed "${files}")
  file(WRITE ${dir}/${target}.files "${listed}\n")
  set(script ${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake)
  add_custom_command(OUTPUT ${dir}/${target}.checked
    COMMAND ${CMAKE_COMMAND} -DLIBRARY=${target} -DFILES=${dir}/${target}.files -DSTAMP=${dir}/${target}.checked
            -P ${script}
    DEPENDS ${files} ${script} ${dir}/${target}.files
    COMMENT "Checking the includes of ${target}" VERBATIM)
  add_custom_target(${target}_includes DEPENDS ${dir}/${target}.checked)
  add_dependencies(${target} ${target}_includes)
endfunction()
