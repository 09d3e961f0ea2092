#include "engine/SoxrResampler.h"

#include <soxr.h>

#include <algorithm>

void SoxrResampler::Delete::operator()(soxr* handle) const {
    soxr_delete(handle);
}

std::int64_t SoxrResampler::StreamFrames(std::int64_t frames, int sourceRate, int targetRate) {
    if (sourceRate <= 0) return 0;
    const auto num = static_cast<__int128>(frames) * targetRate * 2 + sourceRate;
    return static_cast<std::int64_t>(num / (static_cast<__int128>(sourceRate) * 2));
}

int SoxrResampler::Setup(int sourceRate, int targetRate, int channels, Quality quality) {
    m_soxr.reset();
    if (sourceRate <= 0 || targetRate <= 0 || (channels != 1 && channels != 2)) return 0;
    m_sourceRate = sourceRate;
    m_targetRate = targetRate;
    m_channels = channels;
    m_inFrames = m_outFrames = 0;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_S, SOXR_FLOAT32_S);
    const soxr_quality_spec_t filter = soxr_quality_spec(quality == Quality::High ? SOXR_HQ : SOXR_VHQ, 0);
    // One thread: the batch already runs one file per core.
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    m_soxr.reset(
        soxr_create(sourceRate, targetRate, static_cast<unsigned>(channels), &error, &io, &filter, &runtime));
    return m_soxr && !error ? 1 : 0;
}

int SoxrResampler::Run(const float* const* in, int frames, std::int64_t limit) {
    m_outUsed = 0;
    const auto room = [&] {
        return static_cast<std::size_t>(
            std::max<std::int64_t>(StreamFrames(frames, m_sourceRate, m_targetRate) + 64, 1024));
    };
    for (int c = 0; c < m_channels; ++c)
        if (m_out[c].size() < room()) m_out[c].resize(room());
    std::size_t taken = 0;
    for (int rounds = 0; rounds < 4096; ++rounds) {
        const float* inNow[2] = {in ? in[0] + taken : nullptr,
                                 in && m_channels == 2 ? in[1] + taken : nullptr};
        float* outNow[2] = {m_out[0].data() + m_outUsed,
                            m_channels == 2 ? m_out[1].data() + m_outUsed : nullptr};
        const std::size_t outRoom = m_out[0].size() - m_outUsed;
        std::size_t idone = 0, odone = 0;
        const soxr_error_t error =
            soxr_process(m_soxr.get(), in ? static_cast<soxr_in_t>(inNow) : nullptr,
                         in ? static_cast<std::size_t>(frames) - taken : 0, &idone, outNow, outRoom, &odone);
        if (error) return -1;
        taken += idone;
        m_outUsed += odone;
        const bool inputDone = in ? taken >= static_cast<std::size_t>(frames) : odone == 0;
        if (inputDone && odone < outRoom) break;
        if (odone == outRoom)
            for (int c = 0; c < m_channels; ++c) m_out[c].resize(m_out[c].size() * 2);
    }
    // The stream never grows past its exact length; what the filter holds beyond it is dropped.
    const std::int64_t allowed = std::max<std::int64_t>(limit - m_outFrames, 0);
    m_outUsed =
        static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(m_outUsed), allowed));
    m_outFrames += static_cast<std::int64_t>(m_outUsed);
    return static_cast<int>(m_outUsed);
}

int SoxrResampler::Process(const float* const* in, int frames) {
    if (!m_soxr || frames < 0) return -1;
    m_inFrames += frames;
    return Run(in, frames, StreamFrames(m_inFrames, m_sourceRate, m_targetRate));
}

int SoxrResampler::Flush() {
    if (!m_soxr) return -1;
    const std::int64_t total = StreamFrames(m_inFrames, m_sourceRate, m_targetRate);
    const int got = Run(nullptr, 0, total);
    if (got < 0) return -1;
    // A filter that gave less than the exact length is topped up with silence.
    const std::int64_t missing = total - m_outFrames;
    if (missing > 0) {
        const std::size_t end = m_outUsed + static_cast<std::size_t>(missing);
        for (int c = 0; c < m_channels; ++c) {
            if (m_out[c].size() < end) m_out[c].resize(end);
            std::fill(m_out[c].begin() + static_cast<std::ptrdiff_t>(m_outUsed),
                      m_out[c].begin() + static_cast<std::ptrdiff_t>(end), 0.0f);
        }
        m_outUsed = end;
        m_outFrames = total;
    }
    return static_cast<int>(m_outUsed);
}
