#pragma once
#include <cstdint>
#include <memory>
#include <vector>

struct soxr;

/// Planar float sample-rate conversion over libsoxr, one or two channels.
/// A whole stream comes out with round(input frames * target / source) frames: Flush gives the
/// filter's tail and ends the stream there. One resampler per stream.
class SoxrResampler {
public:
    SoxrResampler() = default;
    SoxrResampler(const SoxrResampler&) = delete;
    SoxrResampler& operator=(const SoxrResampler&) = delete;

    /// Very high: 28-bit precision, passband to 95 % of the lower Nyquist frequency. High: 20 bits
    /// and 91 %, still flat to 20 kHz from 44.1 kHz, at single precision.
    enum class Quality { VeryHigh, High };

    /// 0 when a parameter is out of range or libsoxr refuses.
    int Setup(int sourceRate, int targetRate, int channels, Quality quality = Quality::VeryHigh);
    /// Resamples one block (in[1] only for two channels); the frames it gives are in Output(c)
    /// until the next call. -1 on a library error.
    int Process(const float* const* in, int frames);
    /// After the last block: the rest of the stream, up to its exact length, in Output(c).
    /// -1 on a library error.
    int Flush();
    const float* Output(int channel) const { return m_out[channel].data(); }

    /// Frames a whole stream of `frames` source frames becomes: frames * target / source, rounded.
    static std::int64_t StreamFrames(std::int64_t frames, int sourceRate, int targetRate);

private:
    struct Delete {
        void operator()(soxr* handle) const;
    };
    /// Runs soxr over `frames` input frames (null: the end of the stream), appending to m_out.
    int Run(const float* const* in, int frames, std::int64_t limit);

    std::unique_ptr<soxr, Delete> m_soxr;
    int m_sourceRate = 0;
    int m_targetRate = 0;
    int m_channels = 0;
    std::int64_t m_inFrames = 0;   // taken so far
    std::int64_t m_outFrames = 0;  // given so far
    std::vector<float> m_out[2];
    std::size_t m_outUsed = 0;
};
