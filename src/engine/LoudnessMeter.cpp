#include "engine/LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>

#include "engine/ConversionFrame.h"
#include "sources/AudioSource.h"

struct LoudnessMeter::State {
    ebur128_state* meter;
};

void LoudnessMeter::Free::operator()(State* state) const {
    ebur128_destroy(&state->meter);
    delete state;
}

LoudnessMeter::LoudnessMeter() = default;
LoudnessMeter::~LoudnessMeter() = default;
LoudnessMeter::LoudnessMeter(LoudnessMeter&&) noexcept = default;
LoudnessMeter& LoudnessMeter::operator=(LoudnessMeter&&) noexcept = default;

int LoudnessMeter::Setup(int rate, int channels) {
    m_state.reset();
    if (rate <= 0 || (channels != 1 && channels != 2)) return 0;
    ebur128_state* meter = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate),
                                        EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_HISTOGRAM);
    if (!meter) return 0;
    m_state.reset(new State{meter});
    m_channels = channels;
    return 1;
}

int LoudnessMeter::AddFloat(const float* left, const float* right, int frames) {
    if (!m_state || frames < 0) return 0;
    const auto n = static_cast<std::size_t>(frames);
    if (m_channels == 1) return ebur128_add_frames_float(m_state->meter, left, n) == EBUR128_SUCCESS;
    if (m_frames.size() < 2 * n) m_frames.resize(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        m_frames[2 * i] = left[i];
        m_frames[2 * i + 1] = right[i];
    }
    return ebur128_add_frames_float(m_state->meter, m_frames.data(), n) == EBUR128_SUCCESS;
}

int LoudnessMeter::Add(const PcmBlock& block) {
    if (block.bits == kFloatBits) return AddFloat(block.LeftFloat(), block.RightFloat(), block.frames);
    if (!m_state || block.frames < 0) return 0;
    const auto n = static_cast<std::size_t>(block.frames);
    const auto channels = static_cast<std::size_t>(m_channels);
    if (m_frames.size() < channels * n) m_frames.resize(channels * n);
    const void* planes[2] = {block.left, block.right};
    for (std::size_t c = 0; c < channels; ++c) {
        float* out = m_frames.data() + c;
        for (std::size_t i = 0; i < n; ++i, out += channels) {
            switch (block.bits) {
                case 8:
                    *out = (static_cast<const std::uint8_t*>(planes[c])[i] - 128) * (1.0f / 128.0f);
                    break;
                case 16:
                    *out = static_cast<const std::int16_t*>(planes[c])[i] * (1.0f / 32768.0f);
                    break;
                default:  // 24 bits in 32-bit words
                    *out = static_cast<float>(static_cast<const std::int32_t*>(planes[c])[i]) *
                           (1.0f / 8388608.0f);
            }
        }
    }
    return ebur128_add_frames_float(m_state->meter, m_frames.data(), n) == EBUR128_SUCCESS;
}

double LoudnessMeter::Integrated() const {
    double lufs = -HUGE_VAL;
    if (m_state && ebur128_loudness_global(m_state->meter, &lufs) != EBUR128_SUCCESS) return -HUGE_VAL;
    return lufs;
}

double LoudnessMeter::TruePeak() const {
    double peak = 0.0;
    for (int c = 0; m_state && c < m_channels; ++c) {
        double p = 0.0;
        if (ebur128_true_peak(m_state->meter, static_cast<unsigned>(c), &p) == EBUR128_SUCCESS)
            peak = std::max(peak, p);
    }
    return peak;
}

double LoudnessMeter::IntegratedOf(std::span<const LoudnessMeter* const> meters) {
    std::vector<ebur128_state*> states;
    for (const LoudnessMeter* m : meters)
        if (m && m->m_state) states.push_back(m->m_state->meter);
    double lufs = -HUGE_VAL;
    if (states.empty() ||
        ebur128_loudness_global_multiple(states.data(), states.size(), &lufs) != EBUR128_SUCCESS)
        return -HUGE_VAL;
    return lufs;
}

double NormalizeGainDb(double loudness, double truePeak, double target) {
    if (!std::isfinite(loudness)) return 0.0;
    double gain = target - loudness;
    if (truePeak > 0.0) gain = std::min(gain, kNormalizeCeiling - 20.0 * std::log10(truePeak));
    return gain;
}
