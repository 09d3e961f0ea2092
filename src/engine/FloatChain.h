#pragma once
#include <vector>

#include "engine/SoxrResampler.h"

/// The full-resolution chain: widens 8- or 16-bit blocks to floats (exactly), converts one channel
/// to two or two to one (the mean), resamples with libsoxr and amplifies, all in float. Nothing is
/// limited here; the last conversion clips. One chain per file.
class FloatChain {
public:
    /// sourceBits: 8, 16 or kFloatBits, as the blocks arrive. gain 0 or 1: none. 0 when a
    /// parameter is out of range or the resampler cannot be made.
    int Setup(int sourceRate, int inputChannels, int sourceBits, int targetRate, int targetChannels,
              float gain, SoxrResampler::Quality quality = SoxrResampler::Quality::VeryHigh);
    /// Converts one block (right null for one input channel); the result is in Left()/Right() until
    /// the next call. Returns its frame count, -1 on failure.
    int Process(const void* left, const void* right, int frames);
    /// After the last block: what the resampler still holds (0 frames without resampling), -1 on failure.
    int Flush();
    float* Left() { return m_result[0]; }
    float* Right() { return m_targetChannels == 2 ? m_result[1] : nullptr; }

private:
    int Finish(int frames);  // channel copy and gain on the result

    int m_inputChannels = 0;
    int m_targetChannels = 0;
    int m_sourceBits = 0;
    float m_gain = 0.0f;
    bool m_resample = false;
    SoxrResampler m_resampler;
    std::vector<float> m_wide[2];
    std::vector<float> m_copy[2];  // resampled output taken out of the resampler, so gain can apply
    float* m_result[2] = {nullptr, nullptr};
};
