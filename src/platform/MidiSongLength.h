#pragma once
#include <cstdint>
#include <optional>
#include <vector>

/// The Standard MIDI File inside a file's bytes: the file itself, or the "data" chunk of a
/// RIFF RMID file. Empty when neither is found.
std::vector<std::uint8_t> ExtractStandardMidi(const std::vector<std::uint8_t>& file);

/// Seconds from the start of the song to its last event, following the tempo map; empty when
/// the bytes are not a well-formed Standard MIDI File.
std::optional<double> MidiSongSeconds(const std::vector<std::uint8_t>& smf);
