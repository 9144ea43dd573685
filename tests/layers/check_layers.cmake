# Fails when a file of one layer includes a header of a layer above it, or a
# header that belongs to no layer at all. The layers and their files come
# from the manifest the build writes (one line per file: index, target, path).
#
#   cmake -DSOURCE_DIR=<repo> -DMANIFEST=<build>/layers.txt
#         [-DPLANT=<file>:<header>] -P check_layers.cmake
#
# PLANT adds one include that is not in the sources, to show the check
# catches it.

file(STRINGS ${MANIFEST} entries)
foreach(entry ${entries})
  string(REPLACE " " ";" fields "${entry}")
  list(GET fields 0 index)
  list(GET fields 1 target)
  list(GET fields 2 path)
  list(APPEND files ${path})
  set(layer_of_${path} ${index})
  set(target_of_${path} ${target})
endforeach()

if(PLANT)
  string(REPLACE ":" ";" plant "${PLANT}")
  list(GET plant 0 planted_file)
  list(GET plant 1 planted_header)
endif()

set(violations "")
foreach(path ${files})
  file(STRINGS ${SOURCE_DIR}/${path} lines REGEX "^#include \"")
  set(headers "")
  foreach(line ${lines})
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
    list(APPEND headers ${header})
  endforeach()
  if(PLANT AND path STREQUAL planted_file)
    list(APPEND headers ${planted_header})
  endif()
  foreach(header ${headers})
    if(NOT DEFINED layer_of_${header})
      string(APPEND violations
        "${path} (${target_of_${path}}) includes ${header}, which is in no layer\n")
    elseif(layer_of_${header} GREATER layer_of_${path})
      string(APPEND violations
        "${path} (${target_of_${path}}) includes ${header} (${target_of_${header}})\n")
    endif()
  endforeach()
endforeach()

list(LENGTH files count)
if(violations)
  message(FATAL_ERROR "Includes that reach up a layer:\n${violations}")
endif()
message(STATUS "${count} files checked: no file includes a header above its layer")
