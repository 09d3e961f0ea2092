# The Debian package, made with `cpack -G DEB` in the build folder from what `cmake --install` puts in
# place. Dependencies on linked libraries come from dpkg-shlibdeps; the libraries opened at run time
# (FFmpeg's, FluidSynth) and the SoundFont are added here.

# The package that holds a shared library, found from its development link: "libavcodec59".
function(wavelorn_library_package library out)
  get_filename_component(_real ${library} REALPATH)
  execute_process(COMMAND objdump -p ${_real} OUTPUT_VARIABLE _headers)
  if(NOT _headers MATCHES "SONAME +([^ \n]+)")
    message(FATAL_ERROR "No shared-object name in ${_real}")
  endif()
  get_filename_component(_dir ${_real} DIRECTORY)
  execute_process(COMMAND dpkg-query -S ${_dir}/${CMAKE_MATCH_1} OUTPUT_VARIABLE _owner RESULT_VARIABLE _rc
    ERROR_QUIET)
  if(NOT _rc EQUAL 0 OR NOT _owner MATCHES "^([^:,]+)")
    message(STATUS "No Debian package holds ${_dir}/${CMAKE_MATCH_1}")
    set(${out} "" PARENT_SCOPE)
    return()
  endif()
  set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
endfunction()

set(_opened)
foreach(_lib avutil swresample avcodec avformat fluidsynth)
  find_library(_path_${_lib} ${_lib} REQUIRED)
  wavelorn_library_package(${_path_${_lib}} _package)
  if(_package)
    list(APPEND _opened ${_package})
  endif()
endforeach()
# dpkg-shlibdeps adds libfaac0 (Debian's non-free component, hence the section contrib) with the
# other linked libraries.
set(_depends ${_opened} timgm6mb-soundfont)
list(JOIN _depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)

set(CPACK_PACKAGE_NAME wavelorn)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Wavelorn developers")
set(CPACK_PACKAGE_CONTACT "The Wavelorn developers <support@wavelorn.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch audio converter")
set(CPACK_PACKAGE_DESCRIPTION
  "Wavelorn lists audio files with their duration, bit rate, frequency and
channels, and converts them in a batch to MP3, WAV, WMA, Ogg Vorbis, AAC,
M4A, MP4, M4B, AMR or AWB. It reads MPEG audio, WAV, AIFF, AU, Ogg Vorbis,
FLAC, Windows Media, MIDI, tracker modules and whatever FFmpeg opens.
.
The package holds the Qt window wavelorn and the command-line converter
wavelorn-cli, which share one engine and one settings store. AAC output
uses libfaac0 from Debian's non-free component.")
set(CPACK_DEBIAN_PACKAGE_SECTION contrib/sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://wavelorn.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-wine")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Only what the programs need: not the test or benchmark libraries' own install rules.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Wavelorn;Unspecified;/")
set(CPACK_GENERATOR DEB)
include(CPack)
