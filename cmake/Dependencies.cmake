# Imported targets for the codec libraries, found the same way on every machine.
# libresample's pkg-config file is broken on Debian 12, so plain find_library is used for it and libgsm.

find_library(GSM_LIBRARY gsm REQUIRED)
find_path(GSM_INCLUDE_DIR gsm.h PATH_SUFFIXES gsm REQUIRED)
add_library(Wavelorn::gsm UNKNOWN IMPORTED)
set_target_properties(Wavelorn::gsm PROPERTIES IMPORTED_LOCATION ${GSM_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${GSM_INCLUDE_DIR})

# id3lib renders the ID3 tags of MP3 output; it ships no pkg-config file.
find_library(ID3_LIBRARY id3 REQUIRED)
find_path(ID3_INCLUDE_DIR id3/tag.h REQUIRED)
add_library(Wavelorn::id3 UNKNOWN IMPORTED)
set_target_properties(Wavelorn::id3 PROPERTIES IMPORTED_LOCATION ${ID3_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${ID3_INCLUDE_DIR})

find_library(RESAMPLE_LIBRARY resample REQUIRED)
find_path(RESAMPLE_INCLUDE_DIR libresample.h REQUIRED)
add_library(Wavelorn::resample UNKNOWN IMPORTED)
set_target_properties(Wavelorn::resample PROPERTIES IMPORTED_LOCATION ${RESAMPLE_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${RESAMPLE_INCLUDE_DIR})

# Libraries with working pkg-config files; each becomes PkgConfig::<NAME>.
function(wavelorn_pkg name module)
  if(NOT TARGET PkgConfig::${name})
    pkg_check_modules(${name} REQUIRED IMPORTED_TARGET GLOBAL ${module})
  endif()
endfunction()
wavelorn_pkg(MPG123 libmpg123)
wavelorn_pkg(FLUIDSYNTH fluidsynth)
wavelorn_pkg(OPENMPT libopenmpt)
wavelorn_pkg(AVFORMAT libavformat)
wavelorn_pkg(AVCODEC libavcodec)
wavelorn_pkg(AVUTIL libavutil)
wavelorn_pkg(SWRESAMPLE libswresample)
wavelorn_pkg(SOXR soxr)
wavelorn_pkg(TAGLIB taglib)
wavelorn_pkg(FLAC flac)
wavelorn_pkg(OPUSENC libopusenc)
wavelorn_pkg(LAME lame)
# vorbisenc.pc lists libvorbis and libogg only as private, so they are named here.
wavelorn_pkg(VORBISENC "vorbisenc;vorbis;ogg")
wavelorn_pkg(OPENCORE_AMRNB opencore-amrnb)
wavelorn_pkg(OPENCORE_AMRWB opencore-amrwb)
wavelorn_pkg(VO_AMRWBENC vo-amrwbenc)

# libfaac (Debian's non-free component) ships no pkg-config file.
find_library(FAAC_LIBRARY faac REQUIRED)
find_path(FAAC_INCLUDE_DIR faac.h REQUIRED)
add_library(Wavelorn::faac UNKNOWN IMPORTED)
set_target_properties(Wavelorn::faac PROPERTIES IMPORTED_LOCATION ${FAAC_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${FAAC_INCLUDE_DIR})
