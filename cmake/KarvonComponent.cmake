# karvon_component(NAME <library> SOURCES <file>... [TESTS <file>...]
#                  [LINKS <library>...])
#
# A static library of SOURCES and, when tests are built and TESTS are given,
# one test executable <library>_tests of those files, each test its own
# CTest entry labelled `unit`.
function(karvon_component)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;TESTS;LINKS" ${ARGN})
  add_library(${ARG_NAME} STATIC ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PUBLIC ${ARG_LINKS})
  if(KARVON_TESTS AND ARG_TESTS)
    karvon_unit_tests(${ARG_NAME}_tests SOURCES ${ARG_TESTS}
                      LINKS ${ARG_NAME} karvon_test_support)
  endif()
endfunction()

# karvon_unit_tests(<executable> SOURCES <file>... [LINKS <library>...])
#
# A GoogleTest executable whose tests are each a CTest entry labelled `unit`.
function(karvon_unit_tests exe)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${exe} ${ARG_SOURCES})
  target_link_libraries(${exe} PRIVATE ${ARG_LINKS} karvon_flags GTest::gtest_main)
  gtest_discover_tests(${exe} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit)
endfunction()
