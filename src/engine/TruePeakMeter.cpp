#include "engine/TruePeakMeter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

constexpr int kTaps = 49;
constexpr int kChunk = 256;  // frames oversampled at once; also the grain of the skip

float AbsMax(const float* samples, int count) {
    // Lanes of their own, so that the compiler keeps several maxima at once.
    float lanes[8] = {};
    int i = 0;
    for (; i + 8 <= count; i += 8)
        for (int k = 0; k < 8; ++k) lanes[k] = std::max(lanes[k], std::fabs(samples[i + k]));
    float largest = 0.0f;
    for (; i < count; ++i) largest = std::max(largest, std::fabs(samples[i]));
    for (float lane : lanes) largest = std::max(largest, lane);
    return largest;
}

// Whole chunks are summed, so that the loops have a fixed length the compiler vectorises; sums past
// `frames` are dropped.
[[gnu::always_inline]] inline double PhasePeakOf(const double* samples, int frames, const int* delays,
                                                 const double* coeffs, std::size_t taps) {
    double sums[kChunk] = {};
    for (std::size_t t = 0; t < taps; ++t) {
        const double* in = samples - delays[t];
        const double c = coeffs[t];
        for (int i = 0; i < kChunk; ++i) sums[i] += in[i] * c;
    }
    std::fill(sums + frames, sums + kChunk, 0.0);
    double lanes[8] = {};
    for (int i = 0; i < kChunk; i += 8)
        for (int k = 0; k < 8; ++k) lanes[k] = std::max(lanes[k], std::fabs(sums[i + k]));
    return *std::max_element(lanes, lanes + 8);
}

// AVX2 doubles the lanes where the processor has it; without FMA, so that every sum rounds as
// libebur128's. Chosen at run time rather than by an ifunc, which the sanitizers cannot run.
#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("avx2")]] double PhasePeakAvx2(const double* samples, int frames, const int* delays,
                                             const double* coeffs, std::size_t taps) {
    return PhasePeakOf(samples, frames, delays, coeffs, taps);
}
#endif

double PhasePeak(const double* samples, int frames, const int* delays, const double* coeffs,
                 std::size_t taps) {
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) return PhasePeakAvx2(samples, frames, delays, coeffs, taps);
#endif
    return PhasePeakOf(samples, frames, delays, coeffs, taps);
}

}  // namespace

int TruePeakMeter::Setup(int rate, int channels) {
    if (rate < 1 || channels < 1 || channels > kMaxChannels) return 0;
    m_channels = channels;
    m_phases.clear();
    m_gain = 0.0;
    m_history = 0;
    m_held = 0;
    m_peak = 0.0f;
    const int factor = rate < 96000 ? 4 : rate < 192000 ? 2 : 1;
    if (factor > 1) {
        m_phases.resize(static_cast<std::size_t>(factor));
        for (int j = 0; j < kTaps; ++j) {
            const double m = j - (kTaps - 1) / 2.0;
            double c = 1.0;
            if (std::fabs(m) > 1e-6)
                c = std::sin(m * std::numbers::pi / factor) / (m * std::numbers::pi / factor);
            c *= 0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * j / (kTaps - 1)));
            if (std::fabs(c) <= 1e-6) continue;  // libebur128 drops these too
            Phase& phase = m_phases[static_cast<std::size_t>(j % factor)];
            phase.delays.push_back(j / factor);
            phase.coeffs.push_back(c);
            m_history = std::max(m_history, j / factor);
        }
        // A phase that passes the sample through unchanged adds nothing to the sample peak.
        std::erase_if(m_phases, [](const Phase& p) {
            return p.coeffs.empty() || (p.coeffs.size() == 1 && p.coeffs[0] == 1.0);
        });
        for (const Phase& p : m_phases) {
            double sum = 0.0;
            for (double c : p.coeffs) sum += std::fabs(c);
            m_gain = std::max(m_gain, sum);
        }
    }
    for (int c = 0; c < kMaxChannels; ++c)
        m_buffers[c].assign(c < channels ? static_cast<std::size_t>(m_history + kChunk) : 0, 0.0f);
    return 1;
}

void TruePeakMeter::Add(const float* const* planes, int frames) {
    for (int done = 0; done < frames;) {
        const int n = std::min(frames - done, kChunk - m_held);
        for (int c = 0; c < m_channels; ++c)
            std::memcpy(m_buffers[c].data() + m_history + m_held, planes[c] + done,
                        static_cast<std::size_t>(n) * sizeof(float));
        m_held += n;
        done += n;
        if (m_held == kChunk) Measure();
    }
}

// The sample peak of the held chunk, and its interpolated peak unless it provably cannot pass the
// peak so far: an output is a sum of coefficients times samples of its span, so it is at most
// m_gain times the span's largest sample. The history then moves to the chunk's end.
void TruePeakMeter::Measure() {
    for (int c = 0; c < m_channels; ++c) {
        float* buffer = m_buffers[c].data();
        const float samples = AbsMax(buffer + m_history, m_held);
        m_peak = std::max(m_peak, samples);
        if (m_phases.empty()) continue;
        const float span = std::max(samples, AbsMax(buffer, m_history));
        // The margin covers the rounding of the sums and of their conversion to float.
        if (m_gain * span * (1.0 + 1e-6) > m_peak) m_peak = std::max(m_peak, Oversampled(c, m_held));
        std::memmove(buffer, buffer + m_held, static_cast<std::size_t>(m_history) * sizeof(float));
    }
    m_held = 0;
}

// The largest |output| of every phase for the first `frames` held frames of a channel. The output at
// frame i is the phase's sum over its taps of coefficient × sample (i - delay), summed in double in
// tap order and rounded to float, as libebur128 does.
float TruePeakMeter::Oversampled(int channel, int frames) const {
    double samples[kTaps + kChunk];
    const float* from = m_buffers[channel].data();
    for (int i = 0; i < m_history + kChunk; ++i) samples[i] = from[i];
    double largest = 0.0;
    for (const Phase& phase : m_phases)
        largest = std::max(largest, PhasePeak(samples + m_history, frames, phase.delays.data(),
                                              phase.coeffs.data(), phase.coeffs.size()));
    // Rounding to float keeps the order, so the largest rounded output is the rounded largest sum.
    return static_cast<float>(largest);
}

double TruePeakMeter::Peak() const {
    float peak = m_peak;
    // The held frames are measured without moving the history, so that more may follow.
    for (int c = 0; c < m_channels && m_held > 0; ++c) {
        peak = std::max(peak, AbsMax(m_buffers[c].data() + m_history, m_held));
        if (!m_phases.empty()) peak = std::max(peak, Oversampled(c, m_held));
    }
    return peak;
}
