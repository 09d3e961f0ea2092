#include "engine/LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/ConversionFrame.h"
#include "sources/AudioSource.h"

// The meter runs on a thread of its own, so that measuring (mostly the true peak's oversampling)
// overlaps with encoding instead of adding to it. Blocks are copied into a pending buffer that the
// thread takes whole; a reader of the results waits until everything handed over is measured.
struct LoudnessMeter::State {
    explicit State(ebur128_state* m) : meter(m) {
        try {
            worker = std::thread([this] { Run(); });
        } catch (const std::system_error&) {  // no thread to be had: measure on the caller's
        }
    }
    ~State() {
        Drain();
        ebur128_destroy(&meter);
    }

    bool Add(const float* frames, std::size_t count, std::size_t channels) {
        if (!worker.joinable()) return ebur128_add_frames_float(meter, frames, count) == EBUR128_SUCCESS;
        std::unique_lock lock(mutex);
        // At most about a second waits, so a slow meter holds back the conversion, not memory.
        done.wait(lock, [&] { return pending.size() < kPendingLimit; });
        pending.insert(pending.end(), frames, frames + count * channels);
        pendingFrames += count;
        wake.notify_one();
        return ok;
    }

    // Everything handed over is measured once this returns, and the thread is gone: results are read
    // at the end, and a batch may keep many meters for its albums. Later blocks are measured here.
    bool Drain() {
        if (worker.joinable()) {
            {
                std::lock_guard lock(mutex);
                stop = true;
            }
            wake.notify_all();
            worker.join();
        }
        return ok;
    }

    void Run() {
        std::vector<float> working;
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return stop || pendingFrames > 0; });
            if (pendingFrames == 0) return;  // stopping
            working.swap(pending);
            const std::size_t frames = pendingFrames;
            pending.clear();
            pendingFrames = 0;
            busy = true;
            done.notify_all();
            lock.unlock();
            const bool added = ebur128_add_frames_float(meter, working.data(), frames) == EBUR128_SUCCESS;
            lock.lock();
            ok = ok && added;
            busy = false;
            done.notify_all();
        }
    }

    static constexpr std::size_t kPendingLimit = 96000;  // samples

    ebur128_state* meter;
    std::mutex mutex;
    std::condition_variable wake;  // the thread: blocks are pending, or stop
    std::condition_variable done;  // the caller: the pending buffer was taken, or measured
    std::vector<float> pending;
    std::size_t pendingFrames = 0;
    bool busy = false;
    bool stop = false;
    bool ok = true;
    std::thread worker;
};

void LoudnessMeter::Free::operator()(State* state) const {
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
    try {
        m_state.reset(new State(meter));
    } catch (...) {
        ebur128_destroy(&meter);
        return 0;
    }
    m_channels = channels;
    return 1;
}

int LoudnessMeter::AddFloat(const float* left, const float* right, int frames) {
    if (!m_state || frames < 0) return 0;
    const auto n = static_cast<std::size_t>(frames);
    if (m_channels == 1) return m_state->Add(left, n, 1);
    if (m_frames.size() < 2 * n) m_frames.resize(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        m_frames[2 * i] = left[i];
        m_frames[2 * i + 1] = right[i];
    }
    return m_state->Add(m_frames.data(), n, static_cast<std::size_t>(m_channels));
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
    return m_state->Add(m_frames.data(), n, static_cast<std::size_t>(m_channels));
}

double LoudnessMeter::Integrated() const {
    double lufs = -HUGE_VAL;
    if (!m_state || !m_state->Drain() || ebur128_loudness_global(m_state->meter, &lufs) != EBUR128_SUCCESS)
        return -HUGE_VAL;
    return lufs;
}

double LoudnessMeter::TruePeak() const {
    double peak = 0.0;
    if (m_state) m_state->Drain();
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
        if (m && m->m_state && m->m_state->Drain()) states.push_back(m->m_state->meter);
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
