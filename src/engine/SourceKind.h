#pragma once
#include <cstdint>

/// Code of an input file type, given once by its extension and stored with the file.
/// Where a family is also an output format, its code equals that format's code.
using SourceKind = std::uint16_t;

inline constexpr SourceKind kKindMp3 = 1000;
inline constexpr SourceKind kKindWav = 2000;
inline constexpr SourceKind kKindModule = 3000;
inline constexpr SourceKind kKindMidi = 3050;
inline constexpr SourceKind kKindCdTrack = 3100;
inline constexpr SourceKind kKindFlac = 3200;
inline constexpr SourceKind kKindWavPack = 3300;
inline constexpr SourceKind kKindAdx = 3500;
inline constexpr SourceKind kKindMonkeys = 3600;
inline constexpr SourceKind kKindMusepack = 3700;
inline constexpr SourceKind kKindSpeex = 3800;
inline constexpr SourceKind kKindTta = 3900;
inline constexpr SourceKind kKindOgg = 4000;
inline constexpr SourceKind kKindAu = 5000;
inline constexpr SourceKind kKindAiff = 5100;
inline constexpr SourceKind kKindAac = 6000;
inline constexpr SourceKind kKindM4a = 6500;
inline constexpr SourceKind kKindMp4 = 6600;
inline constexpr SourceKind kKindWindowsMedia = 7000;
inline constexpr SourceKind kKindOther = 9000;
