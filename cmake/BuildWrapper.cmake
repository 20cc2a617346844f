# Configures, builds and runs the wrapper project of the embedding test (see CMakeLists.txt): the tree
# added with add_subdirectory, one library linked, its header included by the tree's own path.
foreach(step configure build run)
  if(step STREQUAL configure)
    set(command ${CMAKE_COMMAND} -S ${WRAPPER} -B ${WRAPPER}/build -G ${GENERATOR}
        -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_BUILD_TYPE=${BUILD_TYPE}
        -DTANDREL_DEBUG_INFO=${DEBUG_INFO} -DTANDREL_UNITY=${UNITY} -DTANDREL_BENCH=OFF)
  elseif(step STREQUAL build)
    set(command ${CMAKE_COMMAND} --build ${WRAPPER}/build --target wrapper)
  else()
    set(command ${WRAPPER}/build/wrapper)
  endif()
  execute_process(COMMAND ${command} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "the wrapper's ${step} failed (${result}):\n${output}")
  endif()
endforeach()
message(STATUS "the wrapper ran: ${output}")
