// The AMR encoders' own speed limit and the resampling cost, for bench/amr_speed.sh:
//   AmrEncoderLoop nb|wb RAW       encodes 16-bit mono raw PCM (8000 / 16000 Hz) at 12.2 / 23.85 kbit/s
//                                  with the two libraries called directly, output discarded
//   AmrEncoderLoop resample WAV HZ  converts a 16-bit stereo WAV (44-byte header) to mono at HZ with
//                                  the engine's PcmConverter, in the blocks the readers deliver
// Prints the wall time in seconds of the timed loop alone (reading the input is not timed).
#include <opencore-amrnb/interf_enc.h>
#include <vo-amrwbenc/enc_if.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/PcmConverter.h"
#include "sources/AudioSource.h"

namespace {

std::vector<std::int16_t> ReadSamples(const char* path, std::size_t skipBytes) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < skipBytes) return {};
    std::vector<std::int16_t> s((bytes.size() - skipBytes) / 2);
    std::memcpy(s.data(), bytes.data() + skipBytes, s.size() * 2);
    return s;
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int Encode(bool wide, const char* path) {
    std::vector<std::int16_t> pcm = ReadSamples(path, 0);
    const std::size_t n = wide ? 320 : 160;
    unsigned char out[128];
    std::size_t bytes = 0;
    const auto start = std::chrono::steady_clock::now();
    if (wide) {
        void* e = E_IF_init();
        for (std::size_t at = 0; at + n <= pcm.size(); at += n)
            bytes += E_IF_encode(e, 8, pcm.data() + at, out, 0);
        E_IF_exit(e);
    } else {
        void* e = Encoder_Interface_init(0);
        for (std::size_t at = 0; at + n <= pcm.size(); at += n)
            bytes += Encoder_Interface_Encode(e, MR122, pcm.data() + at, out, 0);
        Encoder_Interface_exit(e);
    }
    std::printf("%.3f\n", Seconds(start));
    return bytes > 0 ? 0 : 1;
}

int Resample(const char* path, int rate) {
    const std::vector<std::int16_t> pcm = ReadSamples(path, 44);
    const std::size_t frames = pcm.size() / 2;
    std::vector<std::int16_t> left(kBlockFrames), right(kBlockFrames);
    PcmConverter chain;
    if (!chain.Setup(44100, 2, rate, 1, 16, 16)) return 1;
    std::vector<std::int16_t> out(static_cast<std::size_t>(chain.OutputCapacity(kBlockFrames)));
    std::size_t produced = 0;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t at = 0; at < frames; at += kBlockFrames) {
        const int count = static_cast<int>(std::min<std::size_t>(kBlockFrames, frames - at));
        for (int i = 0; i < count; ++i) {
            left[static_cast<std::size_t>(i)] = pcm[(at + static_cast<std::size_t>(i)) * 2];
            right[static_cast<std::size_t>(i)] = pcm[(at + static_cast<std::size_t>(i)) * 2 + 1];
        }
        int outFrames = 0;
        if (!chain.Process(left.data(), right.data(), count, out.data(), nullptr, outFrames)) return 1;
        produced += static_cast<std::size_t>(outFrames);
    }
    std::printf("%.3f\n", Seconds(start));
    return produced > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 2 ? argv[1] : "";
    if (what == "nb" || what == "wb") return Encode(what == "wb", argv[2]);
    if (what == "resample" && argc > 3) return Resample(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "usage: AmrEncoderLoop nb|wb RAW | resample WAV HZ\n");
    return 2;
}
