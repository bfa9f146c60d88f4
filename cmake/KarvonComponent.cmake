# karvon_component(NAME <library> TESTS <test executable> LINKS <libraries>)
#
# A static library of the sources in the current folder (files ending in
# _test.cpp or _bench.cpp excepted) and, when tests are built, one test
# executable of its *_test.cpp files, each test its own CTest entry.
function(karvon_component)
  cmake_parse_arguments(ARG "" "NAME;TESTS" "LINKS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "_(test|bench)\\.cpp$")
  add_library(${ARG_NAME} STATIC ${sources})
  target_link_libraries(${ARG_NAME} PUBLIC ${ARG_LINKS})
  if(KARVON_TESTS)
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
    if(tests)
      add_executable(${ARG_TESTS} ${tests})
      target_link_libraries(${ARG_TESTS} PRIVATE ${ARG_NAME} GTest::gtest_main)
      gtest_discover_tests(${ARG_TESTS} DISCOVERY_TIMEOUT 60)
    endif()
  endif()
endfunction()
