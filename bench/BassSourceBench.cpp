// Opening (properties only, as when adding to the list) and full decoding through BassSource
// of one-minute files. Fixtures are made once with sox, lame, flac and oggenc in a temporary
// folder; the benchmark is skipped when they are missing.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "sources/BassSource.h"
#include "sources/DecoderStartup.h"

namespace {

std::string Fixture(const std::string& ext) {
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / "wavelorn-bass-bench";
        std::filesystem::create_directories(d);
        const std::string wav = (d / "tone.wav").string();
        // Fixed command lines without user input.
        std::system(("sox -n -r 44100 -c 2 -b 16 " + wav + " synth 60 sine 440 sine 660 vol 0.5").c_str());
        std::system(("lame --quiet -b 192 " + wav + " " + (d / "tone.mp3").string()).c_str());
        std::system(("flac -s -f -o " + (d / "tone.flac").string() + " " + wav).c_str());
        std::system(("oggenc -Q -o " + (d / "tone.ogg").string() + " " + wav).c_str());
        return d;
    }();
    return (dir / ("tone." + ext)).string();
}

struct Libraries {
    Libraries() { StartDecodingLibraries(); }
    ~Libraries() { ShutDownDecodingLibraries(); }
};

void BM_Open(benchmark::State& state, const char* ext) {
    Libraries libs;
    const std::string path = Fixture(ext);
    for (auto _ : state) {
        BassSource src;
        if (!src.Open(path.c_str(), 0)) {
            state.SkipWithError("fixture missing");
            break;
        }
    }
}

void BM_Decode(benchmark::State& state, const char* ext) {
    Libraries libs;
    const std::string path = Fixture(ext);
    std::vector<std::int16_t> left(kBlockFrames), right(kBlockFrames);
    for (auto _ : state) {
        BassSource src;
        if (!src.Open(path.c_str(), 0)) {
            state.SkipWithError("fixture missing");
            break;
        }
        while (src.ReadBlock(left.data(), right.data()) > 0) {
        }
    }
}

BENCHMARK_CAPTURE(BM_Open, mp3, "mp3")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Open, flac, "flac")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Open, ogg, "ogg")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, mp3, "mp3")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, flac, "flac")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, ogg, "ogg")->Unit(benchmark::kMillisecond);

}  // namespace
