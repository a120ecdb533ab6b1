# Builds the Debian package for the package tests (the fixture package.build):
#
#   cmake -DCPACK=... -DCONFIG=.../CPackConfig.cmake -DOUT=<folder> -DBUILD=<build folder> -P BuildPackage.cmake
#
# cpack installs the build through the build's install script, which writes
# the list of what it installed into the build folder (install_manifest.txt).
# The tests leave nothing in the build folder: the list that was there before
# (of an installation the developer made) is put back, or the new one goes.
foreach(required CPACK CONFIG OUT BUILD)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "BuildPackage.cmake: ${required} is not given")
  endif()
endforeach()
set(manifest "${BUILD}/install_manifest.txt")
set(had_manifest OFF)
if(EXISTS "${manifest}")
  file(READ "${manifest}" earlier)
  set(had_manifest ON)
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=DESTDIR "${CPACK}" -G DEB --config "${CONFIG}" -B "${OUT}"
                RESULT_VARIABLE result)
if(had_manifest)
  file(WRITE "${manifest}" "${earlier}")
else()
  file(REMOVE "${manifest}")
endif()
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cpack failed: ${result}")
endif()
