# Installs the library twice, static and shared, each into a prefix of its
# own under WORK_DIR, then builds the example programs against each package
# twice, once as a CMake project that finds karvon with find_package and once
# with the flags pkg-config gives, runs them and checks what they print.
# The build tree BUILD_DIR gives one kind (shared when SHARED); a build of
# the library alone, kept in WORK_DIR/other-build between runs, the other.
#   cmake -DSOURCE_DIR=... -DBUILD_DIR=... -DEXAMPLE_DIR=... -DWORK_DIR=...
#         -DCXX=... -DBUILD_TYPE=... -DSANITIZE=ON|OFF -DSHARED=ON|OFF
#         -P install_test.cmake

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

function(expect_output text)
  foreach(line ${ARGN})
    string(FIND "${text}" "${line}" found)
    if(found EQUAL -1)
      message(FATAL_ERROR "expected \"${line}\" in the output:\n${text}")
    endif()
  endforeach()
endfunction()

find_program(PKG_CONFIG pkg-config REQUIRED)

# Runs both examples, built the two ways, against the package in `prefix`.
function(use_package kind prefix)
  set(lib ${prefix}/lib)
  set(env ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${lib})
  set(fp ${WORK_DIR}/${kind}-find-package)
  run(${CMAKE_COMMAND} -S ${EXAMPLE_DIR} -B ${fp} -DCMAKE_PREFIX_PATH=${prefix}
      -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=${BUILD_TYPE})
  run(${CMAKE_COMMAND} --build ${fp})
  set(pc ${WORK_DIR}/${kind}-pkg-config)
  file(MAKE_DIRECTORY ${pc})
  set(ENV{PKG_CONFIG_PATH} ${lib}/pkgconfig)
  run(${PKG_CONFIG} --cflags --libs karvon)
  string(STRIP "${output}" flags)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  foreach(example linear_example model_example)
    # The headers as a C++17 program sees them.
    run(${CXX} -std=c++17 ${EXAMPLE_DIR}/${example}.cpp ${flags} -o ${pc}/${example})
  endforeach()
  foreach(dir ${fp} ${pc})
    run(${env} ${dir}/linear_example)
    expect_output("${output}" "status 0 after 2 iterations\nx = 3 1 0 0\nobjective -5\n"
                  "refused: row 2 has 2 values; row 1 has 3")
    run(${env} ${dir}/model_example)
    expect_output("${output}"
                  "optimal: objective 5, x 3 1, row duals 0.5 0.5\n")
    if(kind STREQUAL "shared")
      run(readelf -d ${dir}/model_example)
      expect_output("${output}" "libkarvon.so.${MAJOR}")
    endif()
  endforeach()
endfunction()

file(STRINGS ${SOURCE_DIR}/include/karvon/version.h major_line
     REGEX "^#define KARVON_VERSION_MAJOR ")
string(REGEX REPLACE ".* " "" MAJOR "${major_line}")
if(SHARED)
  set(this_kind shared)
  set(other_kind static)
  set(other_shared OFF)
else()
  set(this_kind static)
  set(other_kind shared)
  set(other_shared ON)
endif()
file(REMOVE_RECURSE ${WORK_DIR}/static ${WORK_DIR}/shared
     ${WORK_DIR}/static-find-package ${WORK_DIR}/shared-find-package
     ${WORK_DIR}/static-pkg-config ${WORK_DIR}/shared-pkg-config)

# The whole project from the build tree.
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/${this_kind})
# The library alone, the other kind; no sanitizers, so that the examples
# need no sanitizer flags against it.
set(other ${WORK_DIR}/other-build)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${other} -DBUILD_SHARED_LIBS=${other_shared}
    -DKARVON_TESTS=OFF -DKARVON_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_CXX_COMPILER=${CXX})
run(${CMAKE_COMMAND} --build ${other} --target karvon_api)
foreach(component library development)
  run(${CMAKE_COMMAND} --install ${other} --component ${component}
      --prefix ${WORK_DIR}/${other_kind})
endforeach()

foreach(installed include/karvon/karvon.h include/karvon/version.h
                  lib/cmake/karvon/karvonConfig.cmake lib/pkgconfig/karvon.pc)
  foreach(kind static shared)
    if(NOT EXISTS ${WORK_DIR}/${kind}/${installed})
      message(FATAL_ERROR "not installed (${kind}): ${installed}")
    endif()
  endforeach()
endforeach()
foreach(installed static/lib/libkarvon.a shared/lib/libkarvon.so
                  shared/lib/libkarvon.so.${MAJOR} ${this_kind}/bin/karvon)
  if(NOT EXISTS ${WORK_DIR}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()

use_package(static ${WORK_DIR}/static)
use_package(shared ${WORK_DIR}/shared)
message(STATUS "static and shared packages build and run the examples with "
               "find_package and with pkg-config")
