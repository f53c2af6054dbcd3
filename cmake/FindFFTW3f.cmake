# Finds single-precision FFTW3 through pkg-config (fftw3f). Defines FFTW3f::fftw3f.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(PC_FFTW3F QUIET fftw3f)
endif()
find_path(FFTW3f_INCLUDE_DIR fftw3.h HINTS ${PC_FFTW3F_INCLUDE_DIRS})
find_library(FFTW3f_LIBRARY NAMES fftw3f HINTS ${PC_FFTW3F_LIBRARY_DIRS})
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(FFTW3f REQUIRED_VARS FFTW3f_LIBRARY FFTW3f_INCLUDE_DIR)
if(FFTW3f_FOUND AND NOT TARGET FFTW3f::fftw3f)
  add_library(FFTW3f::fftw3f UNKNOWN IMPORTED)
  set_target_properties(FFTW3f::fftw3f PROPERTIES
    IMPORTED_LOCATION "${FFTW3f_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${FFTW3f_INCLUDE_DIR}")
endif()
mark_as_advanced(FFTW3f_INCLUDE_DIR FFTW3f_LIBRARY)
