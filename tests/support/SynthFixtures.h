#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

/// A one-track Standard MIDI File (96 ticks per quarter): two notes, the tempo doubling at
/// tick 96, the end at tick 192, so the song lasts 0.5 s + 0.25 s = 0.75 s.
std::vector<std::uint8_t> TinyMidiFile();
inline constexpr double kTinyMidiSeconds = 0.75;

/// A four-channel ProTracker module with one looped square-wave sample and one pattern that
/// breaks after 16 rows at speed 6 and 125 BPM: 16 x 0.12 s = 1.92 s.
std::vector<std::uint8_t> TinyModFile();
inline constexpr double kTinyModSeconds = 1.92;

/// Runs sox to make a 16-bit sine-tone WAV; false when sox fails.
bool MakeToneWav(const std::string& path, int rate, int channels, double seconds, int bits = 16);

}  // namespace testsupport
