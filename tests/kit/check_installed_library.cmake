# Installs a build into a fresh folder, as a user would, and fails unless the
# library there is stripped (no symbol table, no debug sections) and the model
# files sit beside it.
#
# cmake -DBUILD_DIR=<build> -DPREFIX=<scratch folder> -DLIBRARY=<file name>
#       -DREADELF=<readelf> -P check_installed_library.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE installed OUTPUT_QUIET)
if(NOT installed EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${installed}")
endif()
foreach(name ${LIBRARY} Norvask.ami norvask.ibs USAGE.txt)
  if(NOT EXISTS ${PREFIX}/lib/${name})
    message(FATAL_ERROR "not installed: lib/${name}")
  endif()
endforeach()
execute_process(COMMAND ${READELF} -S --wide ${PREFIX}/lib/${LIBRARY} OUTPUT_VARIABLE sections
                RESULT_VARIABLE read)
if(NOT read EQUAL 0)
  message(FATAL_ERROR "${READELF} cannot read lib/${LIBRARY}")
endif()
string(REGEX MATCHALL "\\.(symtab|debug_[a-z_]+)" unstripped "${sections}")
if(unstripped)
  list(REMOVE_DUPLICATES unstripped)
  message(FATAL_ERROR "lib/${LIBRARY} is not stripped: it has ${unstripped}")
endif()
message(STATUS "lib/${LIBRARY} installed stripped")
