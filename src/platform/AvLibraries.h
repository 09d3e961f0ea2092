#pragma once

/// FFmpeg's libraries are opened when first needed, not when the program starts: libavcodec and
/// libavformat pull in about 140 shared objects (some 30 MiB resident and 30 ms of start-up), which
/// a conversion that never touches FFmpeg (an MP3 or a PCM WAV file to MP3, Ogg, AAC or AMR) should
/// not pay for. The FFmpeg functions this program calls are defined here as forwarders into the
/// loaded libraries, so callers use FFmpeg's own headers and names.
///
/// True when libavutil, libswresample, libavcodec and libavformat are loaded (now or before). Every
/// path into FFmpeg asks this first and fails cleanly when it is false; a forwarder called without
/// the libraries ends the process with a message rather than jump to nothing.
bool LoadAvLibraries();
