#pragma once
#include <cstdint>

// The AMR speech encoders the conversion routine calls by these names. Each writes a single-channel
// AMR storage file itself: the magic line, then one TOC byte and the speech bits per 20 ms frame.

/// Narrow-band encoder (8000 Hz, 160-sample frames) with the file it writes.
struct AmrNbEncoder;
/// Wide-band encoder (16000 Hz, 320-sample frames) with the file it writes.
struct AmrWbEncoder;

constexpr int kAmrNbFrameSamples = 160;
constexpr int kAmrWbFrameSamples = 320;
constexpr int kAmrNbModes = 8;  // 4.75 to 12.2 kbit/s
constexpr int kAmrWbModes = 9;  // 6.60 to 23.85 kbit/s

/// Creates the file at path with the "#!AMR\n" magic and an encoder for `mode` (0 to 7), with
/// discontinuous transmission when dtx is nonzero. Null when the mode is out of range, the encoder
/// cannot be made or the magic cannot be written; the caller deletes any file left behind.
AmrNbEncoder* amrnbenc_init(const char* path, int dtx, int mode);
/// Encodes exactly 160 samples and appends the frame: its size in bytes (TOC included), or 0 when
/// encoding or writing failed. After a failure every later call returns 0.
int amrnbenc_encode(AmrNbEncoder* handle, const std::int16_t* frame);
/// Completes the file and releases the handle: 1 when every write of this file reached the disk.
int amrnbenc_quit(AmrNbEncoder* handle);

/// As amrnbenc_init, with "#!AMR-WB\n" and modes 0 to 8.
AmrWbEncoder* amrwbenc_init(const char* path, int dtx, int mode);
/// As amrnbenc_encode, with exactly 320 samples.
int amrwbenc_encode(AmrWbEncoder* handle, const std::int16_t* frame);
/// As amrnbenc_quit.
int amrwbenc_quit(AmrWbEncoder* handle);
