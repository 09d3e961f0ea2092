#pragma once
#include <vector>

/// True peak of planar float audio (BS.1770-4): every channel oversampled 4× below 96 kHz, 2× below
/// 192 kHz and not at all above, through the 49-tap Hann-windowed sinc that libebur128 builds, so that
/// both read the same. Like libebur128 it reports the larger of the true and the sample peak.
class TruePeakMeter {
public:
    static constexpr int kMaxChannels = 2;

    /// 0 for a rate below 1 or a channel count outside 1..kMaxChannels.
    int Setup(int rate, int channels);
    /// Adds `frames` frames, one plane per channel.
    void Add(const float* const* planes, int frames);
    /// The largest true or sample peak of any channel so far, linear (1.0 is full scale).
    double Peak() const;

private:
    // One phase of the polyphase interpolator: sample delays and their coefficients, in the order
    // libebur128 sums them, so that the sums round alike.
    struct Phase {
        std::vector<int> delays;
        std::vector<double> coeffs;
    };
    float Oversampled(int channel, int frames) const;
    void Measure();

    std::vector<Phase> m_phases;
    double m_gain = 0.0;  // the largest sum of |coefficient| of a phase
    int m_history = 0;    // samples before a chunk that its first outputs read
    int m_channels = 0;
    int m_held = 0;                              // frames after the history, not measured yet
    std::vector<float> m_buffers[kMaxChannels];  // per channel: history, then up to one chunk
    float m_peak = 0.0f;
};
