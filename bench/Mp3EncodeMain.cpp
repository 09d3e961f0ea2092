// WAV to constant-bit-rate MP3 through WavFileSource and Mp3Writer, the way the conversion loop
// feeds the encoder; mp3_vs_lame.sh times it against the lame command while the command-line
// converter does not exist yet.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "encoders/Mp3Writer.h"
#include "sources/WavFileSource.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s in.wav out.mp3 kbit/s\n", argv[0]);
        return 2;
    }
    WavFileSource source;
    if (!source.Open(argv[1], 0) || source.GetBitsPerSample() != 16) return 1;
    const int channels = source.GetOutputChannels();
    Mp3Writer writer;
    if (!writer.Open(argv[2])) return 1;
    writer.SetInputRate(source.GetSampleRate());
    writer.SetChannels(channels);
    writer.SetBitrate(std::atoi(argv[3]));
    if (!writer.Start()) return 1;
    std::vector<std::int16_t> left(kBlockFrames), right(kBlockFrames);
    for (;;) {
        const int frames = source.ReadBlock(left.data(), channels == 2 ? right.data() : nullptr);
        if (frames < 1) break;
        if (!writer.Encode(left.data(), right.data(), frames)) return 1;
    }
    return writer.Finish() ? 0 : 1;
}
