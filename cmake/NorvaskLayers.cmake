# The model is built as a stack of static libraries, one per layer, each
# listing its own sources and linking only the layers below it:
#
#   params -> dsp -> eye -> blocks -> model -> the shared library
#
# norvask_layer() makes one layer and records its files, in order, so the test
# suite can check that no file includes a header of a layer above its own. It
# also collects every layer's sources in the global property
# NORVASK_MODEL_SOURCES, from which the shipped library compiles its own copy
# of the model (see NorvaskPortable.cmake).

set(NORVASK_LAYER_MANIFEST ${PROJECT_BINARY_DIR}/layers.txt)
file(WRITE ${NORVASK_LAYER_MANIFEST} "")
set_property(GLOBAL PROPERTY NORVASK_LAYER_COUNT 0)

# The block FIR path must round exactly as the per-sample one: no fused
# multiply-add anywhere (clang contracts by default once FMA is available).
set(NORVASK_MODEL_OPTIONS -ffp-contract=off)

# norvask_layer(<target> SOURCES <files...> [DEPENDS <lower layer>])
function(norvask_layer target)
  cmake_parse_arguments(PARSE_ARGV 1 LAYER "" "DEPENDS" "SOURCES")
  add_library(${target} STATIC ${LAYER_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  if(LAYER_DEPENDS)
    target_link_libraries(${target} PUBLIC ${LAYER_DEPENDS})
  endif()
  target_compile_options(${target} PRIVATE ${NORVASK_WARNINGS} ${NORVASK_MODEL_OPTIONS})

  get_property(index GLOBAL PROPERTY NORVASK_LAYER_COUNT)
  foreach(source ${LAYER_SOURCES})
    file(APPEND ${NORVASK_LAYER_MANIFEST} "${index} ${target} ${source}\n")
    set_property(GLOBAL APPEND PROPERTY NORVASK_MODEL_SOURCES ${PROJECT_SOURCE_DIR}/${source})
  endforeach()
  math(EXPR index "${index} + 1")
  set_property(GLOBAL PROPERTY NORVASK_LAYER_COUNT ${index})
endfunction()
