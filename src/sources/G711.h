#pragma once
#include <cstdint>

/// ITU-T G.711 expansion of one A-law byte to a 16-bit linear sample.
std::int16_t ALawToLinear(std::uint8_t code);

/// ITU-T G.711 expansion of one mu-law byte to a 16-bit linear sample.
std::int16_t MuLawToLinear(std::uint8_t code);
