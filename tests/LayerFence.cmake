# Builds each probe of the layer fence and passes only when every one fails for the reason
# it was written: its wrong-way include is not on its library's include path, although the
# header is in the source tree.
# Usage: cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DPROBES="target|include|module,..." -P LayerFence.cmake
string(REPLACE "," ";" probes "${PROBES}")
foreach(probe ${probes})
  string(REPLACE "|" ";" parts ${probe})
  list(GET parts 0 target)
  list(GET parts 1 include)
  list(GET parts 2 module)
  if(NOT EXISTS ${SOURCE_DIR}/${module}/${include})
    message(SEND_ERROR "${target}: ${module}/${include} is not in the source tree, so the probe proves nothing")
    continue()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  string(FIND "${output}" "${include}: No such file or directory" refused)
  if(result EQUAL 0)
    message(SEND_ERROR "${target} compiled: the fence let ${include} through")
  elseif(refused EQUAL -1)
    message(SEND_ERROR "${target} failed for another reason:\n${output}")
  else()
    message(STATUS "${target}: ${include} refused")
  endif()
endforeach()
