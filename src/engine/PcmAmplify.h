#pragma once
#include <cstdint>

/// Amplifies a planar 16-bit block in place: sample * factor, truncated toward zero and limited
/// to -32767..32767. right is touched only when channels is 2.
void Amplify16(std::int16_t* left, std::int16_t* right, int frames, int channels, float factor);

/// Amplifies a planar 8-bit (unsigned, 128 = silence) block in place around 128, limited to 0..255.
void Amplify8(std::uint8_t* left, std::uint8_t* right, int frames, int channels, float factor);

/// Amplifies a planar full-resolution block in place. Nothing is limited here: values beyond full
/// scale clip, and are counted, at the last conversion.
void AmplifyFloat(float* left, float* right, int frames, int channels, float factor);
