# The model is built as a stack of static libraries, one per layer, each
# listing its own sources and linking only the layers below it:
#
#   params -> dsp -> eye -> blocks -> model -> the shared library
#
# norvask_layer() makes one layer and records its files, in order, so the test
# suite can check that no file includes a header of a layer above its own.

set(NORVASK_LAYER_MANIFEST ${PROJECT_BINARY_DIR}/layers.txt)
file(WRITE ${NORVASK_LAYER_MANIFEST} "")
set_property(GLOBAL PROPERTY NORVASK_LAYER_COUNT 0)

# norvask_layer(<target> SOURCES <files...> [DEPENDS <lower layer>])
function(norvask_layer target)
  cmake_parse_arguments(PARSE_ARGV 1 LAYER "" "DEPENDS" "SOURCES")
  add_library(${target} STATIC ${LAYER_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  if(LAYER_DEPENDS)
    target_link_libraries(${target} PUBLIC ${LAYER_DEPENDS})
  endif()
  # The block FIR path must round exactly as the per-sample one: no fused
  # multiply-add anywhere (clang contracts by default once FMA is available).
  target_compile_options(${target} PRIVATE ${NORVASK_WARNINGS} -ffp-contract=off)

  get_property(index GLOBAL PROPERTY NORVASK_LAYER_COUNT)
  foreach(source ${LAYER_SOURCES})
    file(APPEND ${NORVASK_LAYER_MANIFEST} "${index} ${target} ${source}\n")
  endforeach()
  math(EXPR index "${index} + 1")
  set_property(GLOBAL PROPERTY NORVASK_LAYER_COUNT ${index})
endfunction()
