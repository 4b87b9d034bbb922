# Run at build time for one library: fails when one of its files includes a
# header by a path that climbs out of the file's folder ("../"). Such a path
# reaches any header of the tree whatever the library links, around the
# include roots that keep dependencies pointing down.
#
#   cmake -DLIBRARY=<target> -DFILES=<list file> -DSTAMP=<file> -P CheckIncludes.cmake
file(STRINGS "${FILES}" files)
set(faults "")
foreach(file IN LISTS files)
  file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]*\\.\\.")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    string(APPEND faults "\n  ${file}: ${line}")
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "${LIBRARY}: an include climbs out of its folder; include a header by its "
                      "library's path (\"folder/header.h\") instead:${faults}")
endif()
file(TOUCH "${STAMP}")
