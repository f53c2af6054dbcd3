# Finds the float build of KissFFT through its pkg-config file (kissfft-float),
# falling back to a plain header/library search. Defines KissFFT::kissfft.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(PC_KISSFFT QUIET kissfft-float)
endif()
find_path(KissFFT_INCLUDE_DIR kiss_fftr.h
  HINTS ${PC_KISSFFT_INCLUDE_DIRS} PATH_SUFFIXES kissfft)
find_library(KissFFT_LIBRARY NAMES kissfft-float
  HINTS ${PC_KISSFFT_LIBRARY_DIRS})
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(KissFFT REQUIRED_VARS KissFFT_LIBRARY KissFFT_INCLUDE_DIR)
if(KissFFT_FOUND AND NOT TARGET KissFFT::kissfft)
  add_library(KissFFT::kissfft UNKNOWN IMPORTED)
  set_target_properties(KissFFT::kissfft PROPERTIES
    IMPORTED_LOCATION "${KissFFT_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${KissFFT_INCLUDE_DIR}"
    INTERFACE_COMPILE_DEFINITIONS "kiss_fft_scalar=float;KISS_FFT_SHARED")
endif()
mark_as_advanced(KissFFT_INCLUDE_DIR KissFFT_LIBRARY)
