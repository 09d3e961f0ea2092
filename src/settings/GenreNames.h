#pragma once
#include <array>

/// The genre names offered for a tag template: ID3v1 genre numbers 0 to 147, in that order.
extern const std::array<const char*, 148> kGenreNames;
