#include "engine/PcmAmplify.h"

#include <cmath>

namespace {

// Limits in float before narrowing, so a large factor cannot overflow the integer conversion
// (truncating then limiting gives the same result, as the limits are whole numbers).
template <typename T>
void AmplifyChannel(T* samples, int frames, float factor, int center, float low, float high) {
    for (int i = 0; i < frames; ++i) {
        const float v = std::fmax(low, std::fmin(high, static_cast<float>(samples[i] - center) * factor));
        samples[i] = static_cast<T>(static_cast<int>(v) + center);
    }
}

}  // namespace

void Amplify16(std::int16_t* left, std::int16_t* right, int frames, int channels, float factor) {
    AmplifyChannel(left, frames, factor, 0, -32767.0f, 32767.0f);
    if (channels == 2) AmplifyChannel(right, frames, factor, 0, -32767.0f, 32767.0f);
}

void Amplify8(std::uint8_t* left, std::uint8_t* right, int frames, int channels, float factor) {
    AmplifyChannel(left, frames, factor, 128, -128.0f, 127.0f);
    if (channels == 2) AmplifyChannel(right, frames, factor, 128, -128.0f, 127.0f);
}

void AmplifyFloat(float* left, float* right, int frames, int channels, float factor) {
    for (int i = 0; i < frames; ++i) left[i] *= factor;
    if (channels == 2)
        for (int i = 0; i < frames; ++i) right[i] *= factor;
}
