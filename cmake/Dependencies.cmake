# Imported targets for the codec libraries, found the same way on every machine.
# libresample's pkg-config file is broken on Debian 12, so plain find_library is used for it and libgsm.

find_library(GSM_LIBRARY gsm REQUIRED)
find_path(GSM_INCLUDE_DIR gsm.h PATH_SUFFIXES gsm REQUIRED)
add_library(Wavelorn::gsm UNKNOWN IMPORTED)
set_target_properties(Wavelorn::gsm PROPERTIES IMPORTED_LOCATION ${GSM_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${GSM_INCLUDE_DIR})

# MP3 output: LAME for the frames, id3lib (no pkg-config file) for the tags, TagLib for MP4 tags.
if(NOT TARGET PkgConfig::LAME)
  pkg_check_modules(LAME REQUIRED IMPORTED_TARGET lame)
endif()
find_library(ID3_LIBRARY id3 REQUIRED)
find_path(ID3_INCLUDE_DIR id3/tag.h REQUIRED)
add_library(Wavelorn::id3 UNKNOWN IMPORTED)
set_target_properties(Wavelorn::id3 PROPERTIES IMPORTED_LOCATION ${ID3_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${ID3_INCLUDE_DIR})
if(NOT TARGET PkgConfig::TAGLIB)
  pkg_check_modules(TAGLIB REQUIRED IMPORTED_TARGET taglib)
endif()

find_library(RESAMPLE_LIBRARY resample REQUIRED)
find_path(RESAMPLE_INCLUDE_DIR libresample.h REQUIRED)
add_library(Wavelorn::resample UNKNOWN IMPORTED)
set_target_properties(Wavelorn::resample PROPERTIES IMPORTED_LOCATION ${RESAMPLE_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${RESAMPLE_INCLUDE_DIR})

# FFmpeg: decoding, probing and the stand-in for the Windows Media runtime.
if(NOT TARGET PkgConfig::AVCODEC)
  pkg_check_modules(AVCODEC REQUIRED IMPORTED_TARGET libavcodec)
endif()
if(NOT TARGET PkgConfig::AVFORMAT)
  pkg_check_modules(AVFORMAT REQUIRED IMPORTED_TARGET libavformat)
endif()
if(NOT TARGET PkgConfig::AVUTIL)
  pkg_check_modules(AVUTIL REQUIRED IMPORTED_TARGET libavutil)
endif()
