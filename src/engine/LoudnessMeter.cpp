#include "engine/LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/ConversionFrame.h"
#include "engine/TruePeakMeter.h"
#include "sources/AudioSource.h"

namespace {

// Frames handed to the meter's thread at once: few handovers, and a bounded wait for memory.
constexpr int kChunkFrames = 16384;

// Planar float frames waiting to be measured.
struct Chunk {
    std::vector<float> planes[TruePeakMeter::kMaxChannels];
    int frames = 0;
};

}  // namespace

// The meter runs on a thread of its own, so that measuring overlaps with encoding where a core is
// free; handed a chunk at a time, it costs no more than measuring on the caller's. The caller fills
// one chunk while the thread measures the other, and waits only when it has filled its chunk before
// the thread is done with the other. Results are read after Drain.
struct LoudnessMeter::State {
    State(ebur128_state* m, int rate, int channels) : meter(m), channels(channels) {
        peak.Setup(rate, channels);
        try {
            worker = std::thread([this] { Run(); });
        } catch (const std::system_error&) {  // no thread to be had: measure on the caller's
        }
    }
    ~State() {
        Drain();
        ebur128_destroy(&meter);
    }

    // How many frames fit before the chunk is full, and where the caller writes them.
    int Room() {
        for (int c = 0; c < channels; ++c) filling.planes[c].resize(kChunkFrames);  // the first time
        return kChunkFrames - filling.frames;
    }
    float* Plane(int channel) { return filling.planes[channel].data() + filling.frames; }

    // The caller wrote `frames` frames at Plane; a full chunk goes to the thread.
    bool Commit(int frames) {
        filling.frames += frames;
        if (filling.frames < kChunkFrames) return true;
        if (!worker.joinable()) {
            ok = Measure(filling) && ok;
            return ok;
        }
        std::unique_lock lock(mutex);
        // The other chunk must be measured before it is filled again: memory stays bounded, and a
        // slow meter holds back the conversion.
        done.wait(lock, [&] { return !pending; });
        std::swap(filling, handed);
        filling.frames = 0;
        pending = true;
        wake.notify_one();
        return ok;
    }

    // Everything handed over is measured once this returns, and the thread is gone: results are read
    // at the end, and a batch may keep many meters for its albums. Later frames are measured here.
    bool Drain() {
        if (worker.joinable()) {
            {
                std::lock_guard lock(mutex);
                stop = true;
            }
            wake.notify_all();
            worker.join();
        }
        if (filling.frames > 0) ok = Measure(filling) && ok;
        // A measured meter may be kept until its album ends: only libebur128's state need stay.
        filling = Chunk();
        handed = Chunk();
        interleaved = std::vector<float>();
        return ok;
    }

    void Run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return stop || pending; });
            if (!pending) return;  // stopping
            lock.unlock();
            const bool measured = Measure(handed);
            lock.lock();
            ok = ok && measured;
            pending = false;
            done.notify_all();
        }
    }

    // Integrated loudness by libebur128, which takes interleaved frames; the true peak by our own.
    bool Measure(Chunk& chunk) {
        const auto n = static_cast<std::size_t>(chunk.frames);
        const float* planes[TruePeakMeter::kMaxChannels] = {chunk.planes[0].data(),
                                                            channels == 2 ? chunk.planes[1].data() : nullptr};
        int result = EBUR128_SUCCESS;
        if (channels == 1) {
            result = ebur128_add_frames_float(meter, planes[0], n);
        } else {
            interleaved.resize(2 * n);
            for (std::size_t i = 0; i < n; ++i) {
                interleaved[2 * i] = planes[0][i];
                interleaved[2 * i + 1] = planes[1][i];
            }
            result = ebur128_add_frames_float(meter, interleaved.data(), n);
        }
        peak.Add(planes, chunk.frames);
        chunk.frames = 0;
        return result == EBUR128_SUCCESS;
    }

    ebur128_state* meter;
    const int channels;
    TruePeakMeter peak;
    Chunk filling;                   // the caller's
    Chunk handed;                    // the thread's while pending
    std::vector<float> interleaved;  // of the thread, or of the caller once it is gone
    std::mutex mutex;
    std::condition_variable wake;  // the thread: a chunk is pending, or stop
    std::condition_variable done;  // the caller: the pending chunk was measured
    bool pending = false;
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
    // The true peak is measured apart, by a meter that is much cheaper than libebur128's.
    ebur128_state* meter = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate),
                                        EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM);
    if (!meter) return 0;
    try {
        m_state.reset(new State(meter, rate, channels));
    } catch (...) {
        ebur128_destroy(&meter);
        return 0;
    }
    m_channels = channels;
    return 1;
}

int LoudnessMeter::AddFloat(const float* left, const float* right, int frames) {
    if (!m_state || frames < 0) return 0;
    const float* planes[2] = {left, right};
    for (int done = 0; done < frames;) {
        const int n = std::min(frames - done, m_state->Room());
        for (int c = 0; c < m_channels; ++c)
            std::memcpy(m_state->Plane(c), planes[c] + done, static_cast<std::size_t>(n) * sizeof(float));
        if (!m_state->Commit(n)) return 0;
        done += n;
    }
    return 1;
}

int LoudnessMeter::Add(const PcmBlock& block) {
    if (block.bits == kFloatBits) return AddFloat(block.LeftFloat(), block.RightFloat(), block.frames);
    if (!m_state || block.frames < 0) return 0;
    const void* planes[2] = {block.left, block.right};
    for (int done = 0; done < block.frames;) {
        const int n = std::min(block.frames - done, m_state->Room());
        for (int c = 0; c < m_channels; ++c) {
            float* out = m_state->Plane(c);
            switch (block.bits) {
                case 8: {
                    const auto* in = static_cast<const std::uint8_t*>(planes[c]) + done;
                    for (int i = 0; i < n; ++i) out[i] = (in[i] - 128) * (1.0f / 128.0f);
                    break;
                }
                case 16: {
                    const auto* in = static_cast<const std::int16_t*>(planes[c]) + done;
                    for (int i = 0; i < n; ++i) out[i] = in[i] * (1.0f / 32768.0f);
                    break;
                }
                default: {  // 24 bits in 32-bit words
                    const auto* in = static_cast<const std::int32_t*>(planes[c]) + done;
                    for (int i = 0; i < n; ++i) out[i] = static_cast<float>(in[i]) * (1.0f / 8388608.0f);
                }
            }
        }
        if (!m_state->Commit(n)) return 0;
        done += n;
    }
    return 1;
}

double LoudnessMeter::Integrated() const {
    double lufs = -HUGE_VAL;
    if (!m_state || !m_state->Drain() || ebur128_loudness_global(m_state->meter, &lufs) != EBUR128_SUCCESS)
        return -HUGE_VAL;
    return lufs;
}

double LoudnessMeter::TruePeak() const {
    if (!m_state) return 0.0;
    m_state->Drain();
    return m_state->peak.Peak();
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
