# Finds SLEEF (vectorised math) through its pkg-config file, falling back to a
# plain header/library search. Defines SLEEF::sleef.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(PC_SLEEF QUIET sleef)
endif()
find_path(SLEEF_INCLUDE_DIR sleef.h HINTS ${PC_SLEEF_INCLUDE_DIRS})
find_library(SLEEF_LIBRARY NAMES sleef HINTS ${PC_SLEEF_LIBRARY_DIRS})
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(SLEEF REQUIRED_VARS SLEEF_LIBRARY SLEEF_INCLUDE_DIR)
if(SLEEF_FOUND AND NOT TARGET SLEEF::sleef)
  add_library(SLEEF::sleef UNKNOWN IMPORTED)
  set_target_properties(SLEEF::sleef PROPERTIES
    IMPORTED_LOCATION "${SLEEF_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${SLEEF_INCLUDE_DIR}")
endif()
mark_as_advanced(SLEEF_INCLUDE_DIR SLEEF_LIBRARY)
