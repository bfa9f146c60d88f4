# Installs the built project into WORK_DIR/prefix, builds the example
# program in WORK_DIR/example as a project of its own that finds karvon with
# find_package, runs it and checks what it prints.
#   cmake -DBUILD_DIR=... -DEXAMPLE_DIR=... -DWORK_DIR=... -DCXX=...
#         -DBUILD_TYPE=... -P install_test.cmake

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix)
foreach(installed include/karvon/karvon.h lib/libkarvon.a
                  lib/cmake/karvon/karvonConfig.cmake bin/karvon)
  if(NOT EXISTS ${WORK_DIR}/prefix/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()

run(${CMAKE_COMMAND} -S ${EXAMPLE_DIR} -B ${WORK_DIR}/example
    -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_CXX_COMPILER=${CXX}
    -DCMAKE_BUILD_TYPE=${BUILD_TYPE})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/example)
run(${WORK_DIR}/example/linear_example)

set(expected "status 0 after 2 iterations\nx = 3 1 0 0\nobjective -5\n")
string(FIND "${output}" "${expected}" found)
if(found EQUAL -1)
  message(FATAL_ERROR "unexpected output of the example:\n${output}")
endif()
string(FIND "${output}" "refused: row 2 has 2 values; row 1 has 3" found)
if(found EQUAL -1)
  message(FATAL_ERROR "the example's refused problem is missing:\n${output}")
endif()
message(STATUS "installed package builds and runs the example")
