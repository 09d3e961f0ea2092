// Decoding speed of the WAV reader per encoding, in sample frames per second.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "sources/WavFileSource.h"

namespace {

void Put(std::vector<std::uint8_t>& b, std::uint64_t v, int width) {
    for (int i = 0; i < width; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Ten seconds of stereo (mono for GSM) at 44.1 kHz with random payload bytes; every byte pattern
// is decodable in these encodings. MS ADPCM blocks get predictor 0 so the table lookup is valid.
std::string MakeFile(int tag, int channels, int bits, int blockAlign, int samplesPerBlock,
                     std::int64_t dataBytes) {
    std::vector<std::uint8_t> fmt;
    Put(fmt, static_cast<std::uint64_t>(tag), 2);
    Put(fmt, static_cast<std::uint64_t>(channels), 2);
    Put(fmt, 44100, 4);
    Put(fmt, 0, 4);
    Put(fmt, static_cast<std::uint64_t>(blockAlign), 2);
    Put(fmt, static_cast<std::uint64_t>(bits), 2);
    if (tag == 2) {
        Put(fmt, 32, 2);
        Put(fmt, static_cast<std::uint64_t>(samplesPerBlock), 2);
        Put(fmt, 7, 2);
        for (int c : {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232})
            Put(fmt, static_cast<std::uint16_t>(c), 2);
    } else if (tag == 17 || tag == 49) {
        Put(fmt, 2, 2);
        Put(fmt, static_cast<std::uint64_t>(samplesPerBlock), 2);
    }
    std::vector<std::uint8_t> file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    Put(file, fmt.size(), 4);
    file.insert(file.end(), fmt.begin(), fmt.end());
    file.insert(file.end(), {'d', 'a', 't', 'a'});
    Put(file, static_cast<std::uint64_t>(dataBytes), 4);
    std::mt19937 rng(1);
    const std::size_t start = file.size();
    for (std::int64_t i = 0; i < dataBytes; ++i) file.push_back(static_cast<std::uint8_t>(rng()));
    if (tag == 2)
        for (std::size_t b = start; b + static_cast<std::size_t>(blockAlign) <= file.size();
             b += static_cast<std::size_t>(blockAlign))
            for (int c = 0; c < channels; ++c) file[b + static_cast<std::size_t>(c)] = 0;
    char path[] = "/tmp/wavbench-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0) return {};
    ::close(fd);
    if (std::FILE* f = std::fopen(path, "wb")) {
        std::fwrite(file.data(), 1, file.size(), f);
        std::fclose(f);
    }
    return path;
}

void Decode(benchmark::State& state, int tag, int channels, int bits, int blockAlign, int samplesPerBlock,
            std::int64_t dataBytes) {
    const std::string path = MakeFile(tag, channels, bits, blockAlign, samplesPerBlock, dataBytes);
    std::vector<std::int16_t> left(kBlockFrames), right(kBlockFrames);
    std::int64_t frames = 0;
    for (auto _ : state) {
        WavFileSource src;
        if (!src.Open(path.c_str(), 0)) {
            state.SkipWithError("open failed");
            break;
        }
        int n;
        while ((n = src.ReadBlock(left.data(), channels == 2 ? right.data() : nullptr)) > 0) frames += n;
    }
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    std::remove(path.c_str());
}

constexpr std::int64_t kFrames = 441000;

}  // namespace

BENCHMARK_CAPTURE(Decode, Pcm16Stereo, 1, 2, 16, 4, 0, kFrames * 4);
BENCHMARK_CAPTURE(Decode, Pcm24Stereo, 1, 2, 24, 6, 0, kFrames * 6);
BENCHMARK_CAPTURE(Decode, Float32Stereo, 3, 2, 32, 8, 0, kFrames * 8);
BENCHMARK_CAPTURE(Decode, MuLawStereo, 7, 2, 8, 2, 0, kFrames * 2);
BENCHMARK_CAPTURE(Decode, MsAdpcmStereo, 2, 2, 4, 2048, 2036, kFrames / 2036 * 2048);
BENCHMARK_CAPTURE(Decode, ImaAdpcmStereo, 17, 2, 4, 2048, 2041, kFrames / 2041 * 2048);
BENCHMARK_CAPTURE(Decode, GsmMono, 49, 1, 0, 65, 320, kFrames / 320 * 65);
