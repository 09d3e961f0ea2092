#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

/// Converts planar PCM blocks between sample rates (libresample, high quality, fixed factor),
/// channel counts (1 <-> 2) and bit depths (8-bit unsigned, 16-bit signed).
///
/// One converter per file: the resamplers keep filter state from block to block; `Flush` drains
/// what they still hold once the source has ended. Work buffers grow when a block needs more and never
/// shrink, so after the first block of the largest size no allocation happens.
class PcmConverter {
public:
    PcmConverter();
    ~PcmConverter();
    PcmConverter(const PcmConverter&) = delete;
    PcmConverter& operator=(const PcmConverter&) = delete;

    /// Stores the formats and, when the rates differ, opens the resamplers.
    /// 0 when a parameter is out of range (channels 1-2, bits 8/16, rates > 0) or libresample fails.
    int Setup(int sourceRate, int inputChannels, int targetRate, int targetChannels, int sourceBits,
              int targetBits);

    /// Converts one block. right may be null for one input channel; outRight is only written for
    /// two target channels. Each output buffer must hold OutputCapacity(frames) samples.
    /// Returns 1, or 0 when the converter is not set up or libresample reports an error.
    int Process(const void* left, const void* right, int frames, void* outLeft, void* outRight,
                int& outFrames);

    /// Drains the resamplers after the last block, in pieces of at most `capacity` frames: call it
    /// until outFrames is 0. Without resampling there is nothing held back and outFrames is 0.
    /// Together with Process it yields round(input frames x target / source) frames in all: a
    /// filter tail beyond that is dropped, a shortfall made up with silence.
    /// Returns 0 when the converter is not set up or libresample reports an error.
    int Flush(void* outLeft, void* outRight, int capacity, int& outFrames);

    /// Samples each caller output buffer must hold for a block: (target / source + 1) * frames,
    /// with an integer division.
    static std::int64_t OutputCapacity(int sourceRate, int targetRate, int frames);
    std::int64_t OutputCapacity(int frames) const {
        return OutputCapacity(m_sourceRate, m_targetRate, frames);
    }

    /// Work-buffer allocations so far (first allocations and replacements by larger ones).
    std::size_t AllocationCount() const { return m_allocations; }

private:
    struct ResampleClose {
        void operator()(void* handle) const;
    };
    using ResampleHandle = std::unique_ptr<void, ResampleClose>;

    /// Raw storage that is replaced by a larger block when needed and never shrinks.
    class WorkBuffer {
    public:
        template <typename T>
        T* Get(std::size_t count, std::size_t& allocations) {
            return static_cast<T*>(Ensure(count * sizeof(T), allocations));
        }
        template <typename T>
        T* Data() const {
            return reinterpret_cast<T*>(m_data.get());
        }

    private:
        void* Ensure(std::size_t bytes, std::size_t& allocations);
        std::unique_ptr<unsigned char[]> m_data;
        std::size_t m_capacity = 0;
    };

    /// Resamples one channel into out (target depth); returns the frame count, -1 on failure.
    int ResampleChannel(int channel, const void* in, int frames, WorkBuffer& out);
    /// Runs libresample over floatIn[0, total) into at most capacity frames of out (target depth);
    /// input it could not take is kept for the next call. Returns the frame count, -1 on failure.
    int RunResampler(int channel, float* floatIn, int total, int capacity, bool last, WorkBuffer& out);
    /// Channels that go through a resampler of their own: one unless two stay two.
    int ResampledChannels() const { return m_inputChannels == 2 && m_targetChannels == 2 ? 2 : 1; }

    int m_targetChannels = 0;
    int m_targetRate = 0;
    int m_targetBits = 0;
    int m_inputChannels = 0;
    int m_sourceRate = 0;
    int m_sourceBits = 0;
    double m_factor = 1.0;
    ResampleHandle m_resampler[2];

    WorkBuffer m_mix;
    WorkBuffer m_depth[2];
    WorkBuffer m_floatIn;
    WorkBuffer m_floatOut;
    WorkBuffer m_resampled[2];
    // Input the resampler could not take because the output of its block was full; it is fed
    // first with the next block so nothing is dropped. Stays empty at ordinary block sizes.
    WorkBuffer m_pending[2];
    int m_pendingFrames[2] = {0, 0};
    // Frames taken in and given out while resampling: the length of the result is owed to the input.
    std::int64_t m_framesIn = 0;
    std::int64_t m_framesOut = 0;
    std::size_t m_allocations = 0;
};
