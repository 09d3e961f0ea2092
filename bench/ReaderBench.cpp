// Decoding speed of the Ogg Vorbis and FFmpeg readers on ten seconds of generated stereo audio.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "sources/FfmpegSource.h"
#include "sources/OggVorbisSource.h"

extern char** environ;

namespace {

bool Spawn(std::vector<std::string> argv) {
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Encodes ten seconds of two tones once per process; empty when ffmpeg is missing.
std::string Fixture(const std::string& name, const std::vector<std::string>& codec) {
    struct Dir {
        std::string path;
        Dir() {
            std::string pattern = (std::filesystem::temp_directory_path() / "wavelorn-bench-XXXXXX").string();
            if (mkdtemp(pattern.data())) path = pattern;
        }
        ~Dir() {
            std::error_code ec;
            if (!path.empty()) std::filesystem::remove_all(path, ec);
        }
    };
    static const Dir dir;
    if (dir.path.empty()) return {};
    const std::string path = dir.path + "/" + name;
    if (std::filesystem::exists(path)) return path;
    std::vector<std::string> argv{
        "ffmpeg",   "-v", "error",
        "-nostdin", "-y", "-f",
        "lavfi",    "-i", "aevalsrc=0.7*sin(2*PI*300*t)|0.7*sin(2*PI*470*t):s=44100:d=10"};
    argv.insert(argv.end(), codec.begin(), codec.end());
    argv.push_back(path);
    return Spawn(argv) ? path : std::string();
}

template <typename Source>
void Decode(benchmark::State& state, const std::string& path) {
    if (path.empty()) {
        state.SkipWithError("ffmpeg could not make the fixture");
        return;
    }
    std::vector<std::int16_t> left(kBlockFrames), right(kBlockFrames);
    std::int64_t frames = 0;
    for (auto _ : state) {
        Source src;
        if (!src.Open(path.c_str(), 0)) {
            state.SkipWithError("open failed");
            return;
        }
        for (int n; (n = src.ReadBlock(left.data(), right.data())) > 0;) frames += n;
    }
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}

void BM_OggVorbisSource(benchmark::State& s) {
    Decode<OggVorbisSource>(s, Fixture("a.ogg", {"-c:a", "libvorbis"}));
}
void BM_FfmpegSourceVorbis(benchmark::State& s) {
    Decode<FfmpegSource>(s, Fixture("a.ogg", {"-c:a", "libvorbis"}));
}
void BM_FfmpegSourceFlac(benchmark::State& s) {
    Decode<FfmpegSource>(s, Fixture("a.flac", {"-c:a", "flac"}));
}
void BM_FfmpegSourceMp3(benchmark::State& s) {
    Decode<FfmpegSource>(s, Fixture("a.mp3", {"-c:a", "libmp3lame"}));
}
void BM_FfmpegSourceWav(benchmark::State& s) {
    Decode<FfmpegSource>(s, Fixture("a.wav", {"-c:a", "pcm_s16le"}));
}

}  // namespace

BENCHMARK(BM_OggVorbisSource)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FfmpegSourceVorbis)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FfmpegSourceFlac)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FfmpegSourceMp3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FfmpegSourceWav)->Unit(benchmark::kMillisecond);
