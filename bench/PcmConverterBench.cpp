#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/PcmConverter.h"

namespace {

constexpr int kFrames = 1152;

// Process on full blocks of a 16-bit stereo tone; frames per second counts input frames.
void RunProcess(benchmark::State& state, int sourceRate, int targetRate, int targetChannels) {
    PcmConverter conv;
    if (!conv.Setup(sourceRate, 2, targetRate, targetChannels, 16, 16)) {
        state.SkipWithError("Setup failed");
        return;
    }
    std::vector<std::int16_t> left(kFrames), right(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        left[i] = static_cast<std::int16_t>(12000 * std::sin(i * 0.0712));
        right[i] = static_cast<std::int16_t>(9000 * std::sin(i * 0.1013));
    }
    std::vector<std::int16_t> outLeft(conv.OutputCapacity(kFrames)), outRight(outLeft.size());
    int outFrames = 0;
    conv.Process(left.data(), right.data(), kFrames, outLeft.data(), outRight.data(), outFrames);
    const std::size_t allocations = conv.AllocationCount();
    std::int64_t produced = 0;
    for (auto _ : state) {
        conv.Process(left.data(), right.data(), kFrames, outLeft.data(), outRight.data(), outFrames);
        benchmark::DoNotOptimize(outLeft.data());
        benchmark::ClobberMemory();
        produced += outFrames;
    }
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kFrames, benchmark::Counter::kIsRate);
    state.counters["out_frames_per_block"] =
        static_cast<double>(produced) / static_cast<double>(std::max<std::int64_t>(1, state.iterations()));
    // Should stay 0: the work buffers are sized by the first block.
    state.counters["allocations_after_first_block"] =
        static_cast<double>(conv.AllocationCount() - allocations);
}

void BM_Stereo16_44100To48000(benchmark::State& state) {
    RunProcess(state, 44100, 48000, 2);
}
void BM_Stereo16To_Mono_44100(benchmark::State& state) {
    RunProcess(state, 44100, 44100, 1);
}

BENCHMARK(BM_Stereo16_44100To48000);
BENCHMARK(BM_Stereo16To_Mono_44100);

}  // namespace
