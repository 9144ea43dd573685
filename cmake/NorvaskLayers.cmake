# The model is built as a stack of static libraries, one per layer, each
# listing its own sources and linking only the layers below it:
#
#   params -> dsp -> eye -> blocks -> model -> the shared library
#
# norvask_layer() makes one layer and records its files, in order, so the test
# suite can check that no file includes a header of a layer above its own.
# Where the shipped library needs other compiler settings, each layer also has
# a twin built with them (see NorvaskPortable.cmake).

set(NORVASK_LAYER_MANIFEST ${PROJECT_BINARY_DIR}/layers.txt)
file(WRITE ${NORVASK_LAYER_MANIFEST} "")
set_property(GLOBAL PROPERTY NORVASK_LAYER_COUNT 0)

# The block FIR path must round exactly as the per-sample one: no fused
# multiply-add anywhere (clang contracts by default once FMA is available).
set(NORVASK_MODEL_OPTIONS -ffp-contract=off)

# norvask_layer(<target> SOURCES <files...> [DEPENDS <lower layer>])
function(norvask_layer target)
  cmake_parse_arguments(PARSE_ARGV 1 LAYER "" "DEPENDS" "SOURCES")
  norvask_layer_library(${target} "${LAYER_DEPENDS}" ${LAYER_SOURCES})
  if(NORVASK_PORTABLE)
    set(portable_depends "")
    if(LAYER_DEPENDS)
      set(portable_depends ${LAYER_DEPENDS}_portable)
    endif()
    norvask_layer_library(${target}_portable "${portable_depends}" ${LAYER_SOURCES})
    target_link_libraries(${target}_portable PUBLIC norvask_portable_settings)
  else()
    # Without a twin the layers themselves are what the library ships.
    target_link_libraries(${target} PUBLIC norvask_shipped_settings)
  endif()

  get_property(index GLOBAL PROPERTY NORVASK_LAYER_COUNT)
  foreach(source ${LAYER_SOURCES})
    file(APPEND ${NORVASK_LAYER_MANIFEST} "${index} ${target} ${source}\n")
  endforeach()
  math(EXPR index "${index} + 1")
  set_property(GLOBAL PROPERTY NORVASK_LAYER_COUNT ${index})
endfunction()

function(norvask_layer_library target depends)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  if(depends)
    target_link_libraries(${target} PUBLIC ${depends})
  endif()
  target_compile_options(${target} PRIVATE ${NORVASK_WARNINGS} ${NORVASK_MODEL_OPTIONS})
endfunction()

# The host program's rooms sit above the shared library in the same manifest,
# so the include check covers them too. They are built with the project's
# warnings only: they are not shipped, and they keep the compiler's default
# floating-point contraction.
#
# norvask_host_room(<target> SOURCES <files...> [DEPENDS <targets...>]
#                   [CHECKED_ONLY <files...>])
# CHECKED_ONLY files are checked with the room but built elsewhere (the other
# platform's loader, the program's main).
function(norvask_host_room target)
  cmake_parse_arguments(PARSE_ARGV 1 ROOM "" "" "SOURCES;DEPENDS;CHECKED_ONLY")
  add_library(${target} STATIC ${ROOM_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ROOM_DEPENDS})
  target_compile_options(${target} PRIVATE ${NORVASK_WARNINGS})

  get_property(index GLOBAL PROPERTY NORVASK_LAYER_COUNT)
  foreach(source ${ROOM_SOURCES} ${ROOM_CHECKED_ONLY})
    file(RELATIVE_PATH path ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/${source})
    file(APPEND ${NORVASK_LAYER_MANIFEST} "${index} ${target} ${path}\n")
  endforeach()
  math(EXPR index "${index} + 1")
  set_property(GLOBAL PROPERTY NORVASK_LAYER_COUNT ${index})
endfunction()
