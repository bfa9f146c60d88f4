# FindGLPK
# --------
# The GNU Linear Programming Kit, which the peer checks solve with and
# mps2deck reads MPS models through.
#
# Result variables: GLPK_FOUND, GLPK_VERSION, GLPK_INCLUDE_DIR, GLPK_LIBRARY.
# Imported target: GLPK::GLPK (the library with its include folder).
find_path(GLPK_INCLUDE_DIR glpk.h)
find_library(GLPK_LIBRARY glpk)

if(GLPK_INCLUDE_DIR AND EXISTS "${GLPK_INCLUDE_DIR}/glpk.h")
  file(STRINGS "${GLPK_INCLUDE_DIR}/glpk.h" glpk_version_lines
       REGEX "^#define GLP_M(AJ|IN)OR_VERSION")
  string(REGEX REPLACE ".*GLP_MAJOR_VERSION +([0-9]+).*" "\\1" glpk_major "${glpk_version_lines}")
  string(REGEX REPLACE ".*GLP_MINOR_VERSION +([0-9]+).*" "\\1" glpk_minor "${glpk_version_lines}")
  set(GLPK_VERSION "${glpk_major}.${glpk_minor}")
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(GLPK
  REQUIRED_VARS GLPK_LIBRARY GLPK_INCLUDE_DIR
  VERSION_VAR GLPK_VERSION)
mark_as_advanced(GLPK_INCLUDE_DIR GLPK_LIBRARY)

if(GLPK_FOUND AND NOT TARGET GLPK::GLPK)
  add_library(GLPK::GLPK UNKNOWN IMPORTED)
  set_target_properties(GLPK::GLPK PROPERTIES
    IMPORTED_LOCATION "${GLPK_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${GLPK_INCLUDE_DIR}")
endif()
