# Builds each probe of the layer fence and passes only when every one compiles. A probe is
# compiled with its library's include path and asks __has_include (which looks where an
# #include would) that the headers of its own and lower folders are in sight, that the
# header of a folder above is in the source tree, and that it is not on the include path;
# any other answer stops it with #error. No compiler's wording is read. Without the compiler
# cache, and with its object removed first: neither the cache nor the build knows that a
# header newly put on the path changes the result.
# Usage: cmake -DBUILD_DIR=... -DPROBES="target|object,..." -P LayerFence.cmake
string(REPLACE "," ";" probes "${PROBES}")
if(NOT probes)
  message(SEND_ERROR "no probe to build")
endif()
foreach(probe ${probes})
  string(REPLACE "|" ";" parts ${probe})
  list(GET parts 0 target)
  list(GET parts 1 object)
  file(REMOVE ${object})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env CCACHE_DISABLE=1 ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(SEND_ERROR "${target} did not compile:\n${output}")
  elseif(NOT EXISTS ${object})
    message(SEND_ERROR "${target} built no ${object}: the probe was not compiled")
  else()
    message(STATUS "${target}: holds")
  endif()
endforeach()
