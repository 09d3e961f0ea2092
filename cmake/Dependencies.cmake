# Imported targets for the codec libraries, found the same way on every machine.
# libresample's pkg-config file is broken on Debian 12, so plain find_library is used for it and libgsm.

find_library(GSM_LIBRARY gsm REQUIRED)
find_path(GSM_INCLUDE_DIR gsm.h PATH_SUFFIXES gsm REQUIRED)
add_library(Wavelorn::gsm UNKNOWN IMPORTED)
set_target_properties(Wavelorn::gsm PROPERTIES IMPORTED_LOCATION ${GSM_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${GSM_INCLUDE_DIR})

find_library(RESAMPLE_LIBRARY resample REQUIRED)
find_path(RESAMPLE_INCLUDE_DIR libresample.h REQUIRED)
add_library(Wavelorn::resample UNKNOWN IMPORTED)
set_target_properties(Wavelorn::resample PROPERTIES IMPORTED_LOCATION ${RESAMPLE_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${RESAMPLE_INCLUDE_DIR})

# Decoders behind the decoding-library stand-in.
pkg_check_modules(MPG123 REQUIRED IMPORTED_TARGET libmpg123)
pkg_check_modules(FLUIDSYNTH REQUIRED IMPORTED_TARGET fluidsynth)
pkg_check_modules(OPENMPT REQUIRED IMPORTED_TARGET libopenmpt)
pkg_check_modules(AVFORMAT REQUIRED IMPORTED_TARGET libavformat)
pkg_check_modules(AVCODEC REQUIRED IMPORTED_TARGET libavcodec)
pkg_check_modules(AVUTIL REQUIRED IMPORTED_TARGET libavutil)
pkg_check_modules(SWRESAMPLE REQUIRED IMPORTED_TARGET libswresample)
pkg_check_modules(TAGLIB REQUIRED IMPORTED_TARGET taglib)
