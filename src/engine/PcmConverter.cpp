#include "engine/PcmConverter.h"

#include <libresample.h>

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstring>

namespace {

// libresample sizes its filter buffers by the factor; beyond this range a damaged rate would
// make it (and our buffers) allocate gigabytes.
constexpr double kMinFactor = 1.0 / 256.0;
constexpr double kMaxFactor = 256.0;

bool ValidBits(int bits) {
    return bits == 8 || bits == 16;
}
bool ValidChannels(int channels) {
    return channels == 1 || channels == 2;
}

void EightToSixteen(const std::uint8_t* in, std::size_t n, std::int16_t* out) {
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::int16_t>((in[i] - 128) * 256);
}

void SixteenToEight(const std::int16_t* in, std::size_t n, std::uint8_t* out) {
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>((in[i] >> 8) + 128);
}

// Floor of half the sum; the 16-bit shift is arithmetic.
void MixSixteen(const std::int16_t* l, const std::int16_t* r, std::size_t n, std::int16_t* out) {
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::int16_t>((l[i] + r[i]) >> 1);
}

void MixEight(const std::uint8_t* l, const std::uint8_t* r, std::size_t n, std::uint8_t* out) {
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>((l[i] + r[i]) >> 1);
}

void ToFloat(const void* in, int bits, std::size_t n, float* out) {
    if (bits == 16) {
        const auto* s = static_cast<const std::int16_t*>(in);
        for (std::size_t i = 0; i < n; ++i) out[i] = s[i] * (1.0f / 32768.0f);
    } else {
        const auto* s = static_cast<const std::uint8_t*>(in);
        for (std::size_t i = 0; i < n; ++i) out[i] = (s[i] - 128) * (1.0f / 128.0f);
    }
}

// The output scale is 32767 (127), not 32768, so a full-scale value cannot wrap.
void FromFloat(const float* in, std::size_t n, int bits, void* out) {
    if (bits == 16) {
        auto* d = static_cast<std::int16_t*>(out);
        for (std::size_t i = 0; i < n; ++i) {
            const float v = std::clamp(in[i], -1.0f, 1.0f);
            d[i] = static_cast<std::int16_t>(v * 32767.0f);
        }
    } else {
        auto* d = static_cast<std::uint8_t*>(out);
        for (std::size_t i = 0; i < n; ++i) {
            const float v = std::clamp(in[i], -1.0f, 1.0f);
            d[i] = static_cast<std::uint8_t>(128 + static_cast<int>(v * 127.0f));
        }
    }
}

}  // namespace

void PcmConverter::ResampleClose::operator()(void* handle) const {
    resample_close(handle);
}

void* PcmConverter::WorkBuffer::Ensure(std::size_t bytes, std::size_t& allocations) {
    if (bytes > m_capacity) {
        m_data = std::make_unique_for_overwrite<unsigned char[]>(bytes);
        m_capacity = bytes;
        ++allocations;
    }
    return m_data.get();
}

PcmConverter::PcmConverter() = default;
PcmConverter::~PcmConverter() = default;

std::int64_t PcmConverter::OutputCapacity(int sourceRate, int targetRate, int frames) {
    if (sourceRate <= 0 || frames <= 0) return 0;
    return (static_cast<std::int64_t>(targetRate) / sourceRate + 1) * frames;
}

int PcmConverter::Setup(int sourceRate, int inputChannels, int targetRate, int targetChannels, int sourceBits,
                        int targetBits) {
    m_sourceRate = 0;  // not usable until everything below succeeded
    m_resampler[0].reset();
    m_resampler[1].reset();
    m_pendingFrames[0] = m_pendingFrames[1] = 0;
    m_framesIn = m_framesOut = 0;
    m_factor = 1.0;
    if (sourceRate <= 0 || targetRate <= 0 || !ValidChannels(inputChannels) ||
        !ValidChannels(targetChannels) || !ValidBits(sourceBits) || !ValidBits(targetBits)) {
        return 0;
    }
    if (sourceRate != targetRate) {
        const double factor = static_cast<double>(targetRate) / sourceRate;
        if (factor < kMinFactor || factor > kMaxFactor) return 0;
        for (int c = 0; c < targetChannels; ++c) {
            m_resampler[c].reset(resample_open(1, factor, factor));
            if (!m_resampler[c]) {
                m_resampler[0].reset();
                return 0;
            }
        }
        m_factor = factor;
    }
    m_targetChannels = targetChannels;
    m_targetRate = targetRate;
    m_targetBits = targetBits;
    m_inputChannels = inputChannels;
    m_sourceBits = sourceBits;
    m_sourceRate = sourceRate;
    return 1;
}

int PcmConverter::ResampleChannel(int channel, const void* in, int frames, WorkBuffer& out) {
    const std::int64_t capacity64 = OutputCapacity(frames);
    const int pending = m_pendingFrames[channel];
    const std::int64_t total64 = static_cast<std::int64_t>(pending) + frames;
    if (capacity64 > INT_MAX || total64 > INT_MAX) return -1;
    const int total = static_cast<int>(total64);

    float* floatIn = m_floatIn.Get<float>(total, m_allocations);
    if (pending > 0) std::memcpy(floatIn, m_pending[channel].Data<float>(), pending * sizeof(float));
    ToFloat(in, m_sourceBits, frames, floatIn + pending);
    return RunResampler(channel, floatIn, total, static_cast<int>(capacity64), false, out);
}

int PcmConverter::RunResampler(int channel, float* floatIn, int total, int capacity, bool last,
                               WorkBuffer& out) {
    // The capacity handed to libresample is what the caller's buffers hold, so whatever it
    // returns fits them. It stops taking input when its output is full (inUsed may be 0).
    float* floatOut = m_floatOut.Get<float>(capacity, m_allocations);
    void* handle = m_resampler[channel].get();
    int used = 0;
    int produced = 0;
    while (used < total || (last && produced < capacity)) {
        int usedNow = 0;
        const int got = resample_process(handle, m_factor, floatIn + used, total - used, last ? 1 : 0,
                                         &usedNow, floatOut + produced, capacity - produced);
        if (got < 0) return -1;
        used += usedNow;
        produced += got;
        if (got == 0 && usedNow == 0) break;  // output full, or nothing left to drain
    }
    const int rest = total - used;
    if (rest > 0) {
        float* keep = m_pending[channel].Get<float>(rest, m_allocations);
        std::memmove(keep, floatIn + used, rest * sizeof(float));
    }
    m_pendingFrames[channel] = rest;

    void* target =
        out.Get<unsigned char>(static_cast<std::size_t>(capacity) * (m_targetBits / 8), m_allocations);
    FromFloat(floatOut, produced, m_targetBits, target);
    return produced;
}

int PcmConverter::Flush(void* outLeft, void* outRight, int capacity, int& outFrames) {
    outFrames = 0;
    if (m_sourceRate == 0) return 0;
    if (m_sourceRate == m_targetRate || capacity <= 0) return 1;
    assert(outLeft && (m_targetChannels == 1 || outRight));

    // The result lasts as long as the input, to the nearest frame: libresample's tail runs a
    // little past that, and what it does not cover is silence.
    const std::int64_t owed =
        (m_framesIn * m_targetRate * 2 + m_sourceRate) / (2 * static_cast<std::int64_t>(m_sourceRate)) -
        m_framesOut;
    if (owed <= 0) return 1;
    const int room = static_cast<int>(std::min<std::int64_t>(capacity, owed));

    int produced[2] = {0, 0};
    const int channels = ResampledChannels();
    for (int c = 0; c < channels; ++c) {
        const int pending = m_pendingFrames[c];
        float* floatIn = m_floatIn.Get<float>(std::max(pending, 1), m_allocations);
        if (pending > 0) std::memcpy(floatIn, m_pending[c].Data<float>(), pending * sizeof(float));
        produced[c] = RunResampler(c, floatIn, pending, room, true, m_resampled[c]);
        if (produced[c] < 0) return 0;
    }
    int frames = channels == 2 ? std::min(produced[0], produced[1]) : produced[0];
    const std::size_t sampleBytes = m_targetBits / 8;
    const std::size_t bytes = static_cast<std::size_t>(frames) * sampleBytes;
    if (bytes > 0) {
        std::memcpy(outLeft, m_resampled[0].Data<unsigned char>(), bytes);
        if (m_targetChannels == 2)
            std::memcpy(outRight, m_resampled[channels == 2 ? 1 : 0].Data<unsigned char>(), bytes);
    } else {
        frames = room;
        const int silence = m_targetBits == 16 ? 0 : 128;
        std::memset(outLeft, silence, static_cast<std::size_t>(frames) * sampleBytes);
        if (m_targetChannels == 2)
            std::memset(outRight, silence, static_cast<std::size_t>(frames) * sampleBytes);
    }
    m_framesOut += frames;
    outFrames = frames;
    return 1;
}

int PcmConverter::Process(const void* left, const void* right, int frames, void* outLeft, void* outRight,
                          int& outFrames) {
    outFrames = 0;
    if (m_sourceRate == 0) return 0;
    assert(left && outLeft);
    assert(m_inputChannels == 1 || right);
    assert(m_targetChannels == 1 || outRight);
    if (frames <= 0) return 1;

    const auto n = static_cast<std::size_t>(frames);
    const void* curLeft = left;
    const void* curRight = m_inputChannels == 2 ? right : nullptr;
    int channels = m_inputChannels;
    int resultFrames = frames;

    auto mix = [&](int bits) {
        if (bits == 16) {
            auto* dst = m_mix.Get<std::int16_t>(n, m_allocations);
            MixSixteen(static_cast<const std::int16_t*>(curLeft), static_cast<const std::int16_t*>(curRight),
                       n, dst);
            curLeft = dst;
        } else {
            auto* dst = m_mix.Get<std::uint8_t>(n, m_allocations);
            MixEight(static_cast<const std::uint8_t*>(curLeft), static_cast<const std::uint8_t*>(curRight), n,
                     dst);
            curLeft = dst;
        }
        curRight = nullptr;
        channels = 1;
    };

    if (m_sourceRate == m_targetRate) {
        if (m_sourceBits != m_targetBits) {
            const void** cur[2] = {&curLeft, &curRight};
            for (int c = 0; c < channels; ++c) {
                if (m_targetBits == 16) {
                    auto* dst = m_depth[c].Get<std::int16_t>(n, m_allocations);
                    EightToSixteen(static_cast<const std::uint8_t*>(*cur[c]), n, dst);
                    *cur[c] = dst;
                } else {
                    auto* dst = m_depth[c].Get<std::uint8_t>(n, m_allocations);
                    SixteenToEight(static_cast<const std::int16_t*>(*cur[c]), n, dst);
                    *cur[c] = dst;
                }
            }
        }
        if (channels == 2 && m_targetChannels == 1) mix(m_targetBits);
    } else {
        if (channels == 2 && m_targetChannels == 1) mix(m_sourceBits);
        m_framesIn += frames;
        const int got = ResampleChannel(0, curLeft, frames, m_resampled[0]);
        if (got < 0) return 0;
        curLeft = m_resampled[0].Data<unsigned char>();
        resultFrames = got;
        if (channels == 2) {
            const int gotRight = ResampleChannel(1, curRight, frames, m_resampled[1]);
            if (gotRight < 0) return 0;
            // Both handles see the same input counts, so they return the same counts.
            assert(gotRight == got);
            resultFrames = std::min(got, gotRight);
            curRight = m_resampled[1].Data<unsigned char>();
        }
        m_framesOut += resultFrames;
    }
    if (m_targetChannels == 2 && channels == 1) curRight = curLeft;

    // memmove: a caller may convert in place when nothing changes.
    const std::size_t bytes = static_cast<std::size_t>(resultFrames) * (m_targetBits / 8);
    if (bytes > 0) {
        std::memmove(outLeft, curLeft, bytes);
        if (m_targetChannels == 2) std::memmove(outRight, curRight, bytes);
    }
    outFrames = resultFrames;
    return 1;
}
