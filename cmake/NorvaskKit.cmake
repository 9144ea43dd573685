# The release kit: norvask-<version>-kit.zip, one folder holding both model
# libraries (stripped Release builds), the IBIS and AMI files and the usage
# note. `cmake --workflow --preset kit` builds it into build-kit/.
#
# NORVASK_KIT_FILES is the one list of what the kit holds; the archive is made
# from exactly these names (a missing one fails the build), and the test suite
# checks that every file norvask.ibs names is among them.
set(NORVASK_KIT_FILES libnorvask.so norvask.dll Norvask.ami norvask.ibs USAGE.txt)

# Only a native Linux build can make the kit: it cross-builds the DLL itself.
if(CMAKE_CROSSCOMPILING OR NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  return()
endif()

set(NORVASK_KIT_NAME norvask-${PROJECT_VERSION})
set(NORVASK_KIT_ARCHIVE ${PROJECT_BINARY_DIR}/${NORVASK_KIT_NAME}-kit.zip)
set(kit_stage ${PROJECT_BINARY_DIR}/kit)
set(kit_windows ${PROJECT_BINARY_DIR}/kit-windows)
list(TRANSFORM NORVASK_KIT_FILES PREPEND ${NORVASK_KIT_NAME}/ OUTPUT_VARIABLE kit_members)

# The Windows DLL, cross-built in a build folder of its own (mingw-w64). The
# inner build is incremental, so running it every time costs little; it takes
# its parallelism from the outer build (make passes its job server down).
add_custom_target(kit_windows_dll
  COMMAND ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR} -B ${kit_windows}
          --toolchain ${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
          -DCMAKE_BUILD_TYPE=Release -DNORVASK_TESTS=OFF -DNORVASK_BENCH=OFF
          -DNORVASK_WERROR=${NORVASK_WERROR}
  COMMAND ${CMAKE_COMMAND} -E env --unset=CMAKE_BUILD_PARALLEL_LEVEL
          ${CMAKE_COMMAND} --build ${kit_windows} --target norvask
  VERBATIM)

# Both builds' install rules put the library and the model files, stripped,
# into <prefix>/lib; the Linux library must still meet the symbol baseline.
add_custom_target(kit
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${kit_stage} ${NORVASK_KIT_ARCHIVE}
  COMMAND ${CMAKE_COMMAND} --install ${PROJECT_BINARY_DIR} --prefix ${kit_stage} --strip
  COMMAND ${CMAKE_COMMAND} --install ${kit_windows} --prefix ${kit_stage} --strip
  COMMAND ${PROJECT_SOURCE_DIR}/tests/kit/check_symbol_baseline.sh ${kit_stage}/lib/libnorvask.so
  COMMAND ${CMAKE_COMMAND} -E rename ${kit_stage}/lib ${kit_stage}/${NORVASK_KIT_NAME}
  COMMAND ${CMAKE_COMMAND} -E chdir ${kit_stage}
          ${CMAKE_COMMAND} -E tar cf ${NORVASK_KIT_ARCHIVE} --format=zip ${kit_members}
  COMMAND ${CMAKE_COMMAND} -E echo "kit: ${NORVASK_KIT_ARCHIVE}"
  DEPENDS norvask kit_windows_dll
  VERBATIM)
