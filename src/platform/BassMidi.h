#pragma once
// The MIDI add-on's operations, stood in for by FluidSynth rendering into memory.
#include <cstdint>

#include "platform/Bass.h"

using HSOUNDFONT = std::uint32_t;

struct BASS_MIDI_FONT {
    HSOUNDFONT font;
    int preset;  // -1: all presets
    int bank;
};

/// Checks that the file is a SoundFont; 0 when it is not (or BASS is not initialised).
HSOUNDFONT BASS_MIDI_FontInit(const void* file, std::uint32_t flags);
int BASS_MIDI_FontFree(HSOUNDFONT handle);
/// Only handle 0 (the default font list) and one entry with preset -1 are supported.
int BASS_MIDI_StreamSetFonts(HSTREAM handle, const BASS_MIDI_FONT* fonts, std::uint32_t count);
/// 16-bit stereo rendering at freq (0: the BASS_Init rate; outside 8000..96000 Hz the nearest of
/// those, which the stream reports as its rate) with the default SoundFont. Without a default
/// SoundFont the stream opens, so that its properties can be read, but delivers no data. The
/// length ends at the song's last event.
HSTREAM BASS_MIDI_StreamCreateFile(int mem, const void* file, std::uint64_t offset, std::uint64_t length,
                                   std::uint32_t flags, std::uint32_t freq);
