// Decoded lengths of every output format, and tracks cut from one signal joining without a gap.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "encoders/ConversionRun.h"
#include "sources/DecoderStartup.h"

namespace {

using convtest::ConversionRun;

std::vector<std::int16_t> Sine(int frames, int rate, int from = 0) {
    std::vector<std::int16_t> s(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
        s[static_cast<std::size_t>(i)] =
            static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * 441.0 * (i + from) / rate));
    return s;
}

struct DecodeOutcome {
    long long frames = -1;
    int rate = 0;
    long long stated = -1;  // the length the container states (ffprobe's duration_ts)
};

// ffmpeg 5.1 trims Vorbis streams shorter than about a second wrongly (oggenc's files too), so Ogg is
// decoded with the reference decoder; the MP4 family keeps its stated length beside the decoded one.
DecodeOutcome PeerDecode(const std::string& path, int channels, int format) {
    DecodeOutcome d;
    std::istringstream probed(convtest::ProbeValue(path, "sample_rate,duration_ts"));
    std::string stated;
    probed >> d.rate >> stated;
    if (!stated.empty() && stated != "N/A") d.stated = std::atoll(stated.c_str());
    std::string raw;
    if (format == kFormatOgg) {
        if (testsupport::Run({"oggdec", "-Q", "-R", "-o", "-", path}, &raw) == 0)
            d.frames = static_cast<long long>(raw.size()) / (2 * channels);
        return d;
    }
    const auto pcm = testsupport::FfmpegDecodeS16(path, channels);
    if (!pcm.empty()) d.frames = static_cast<long long>(pcm.size()) / channels;
    return d;
}

std::vector<std::int16_t> ReadRawS16(const std::string& oggPath) {
    std::string raw;
    testsupport::Run({"oggdec", "-Q", "-R", "-o", "-", oggPath}, &raw);
    std::vector<std::int16_t> pcm(raw.size() / 2);
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(raw[2 * i]) |
                                           (static_cast<std::uint8_t>(raw[2 * i + 1]) << 8));
    return pcm;
}

bool IsMp4Family(int format) {
    return format == kFormatM4a || format == kFormatMp4 || format == kFormatM4b;
}

class Decoders : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_started = StartDecodingLibraries() == DecoderStartupResult::Started; }
    static void TearDownTestSuite() {
        if (s_started) ShutDownDecodingLibraries();
    }
    static bool s_started;
};
bool Decoders::s_started = false;

using GaplessLengths = Decoders;

TEST_F(GaplessLengths, EveryFormatDecodesToTheSourceLength) {
    // Every format, three lengths that end inside a codec frame, mono and stereo, three rates: a peer
    // decoder must give exactly the source's length where the file states its delay and padding (WAV,
    // MP3 with its info frame, Ogg), and within the tolerance of the format's row elsewhere; the MP4
    // family states the exact length. Each output is also verified with our own readers.
    if (!testsupport::HaveTool("ffmpeg") || !testsupport::HaveTool("ffprobe") ||
        !testsupport::HaveTool("oggdec"))
        GTEST_SKIP();
    ASSERT_TRUE(s_started);
    const int lengths[] = {4097, 11031, 24001};
    const int rates[] = {22050, 44100, 48000};
    for (const OutputFormatInfo& row : OutputFormatTable()) {
        ConversionRun run(row.code, row.needsWmfRuntime);
        if (row.needsWmfRuntime && !run.runtime.IsLoaded()) continue;
        run.settings.VerifyOutputs = 1;
        for (int rate : rates)
            for (int channels : {1, 2})
                for (int frames : lengths) {
                    SCOPED_TRACE(std::string(row.name) + " " + std::to_string(rate) + " Hz, " +
                                 std::to_string(channels) + " ch, " + std::to_string(frames) + " frames");
                    const std::string in = run.dir.File("in.wav"),
                                      out = run.dir.File(std::string("out") + row.extension);
                    const auto tone = Sine(frames, rate);
                    convtest::WriteWav(in, rate, channels, 16, tone, tone);
                    ASSERT_EQ(run.Convert(kKindWav, in, out), 1) << run.engine.FailureReason;
                    const DecodeOutcome d = PeerDecode(out, channels, row.code);
                    ASSERT_GT(d.rate, 0);
                    const long long expected = std::llround(static_cast<double>(frames) * d.rate / rate);
                    // A rate change rounds the length by a frame or two.
                    const long long slack =
                        row.verify.lengthTolerance(run.settings, out) + (d.rate == rate ? 0 : 2);
                    EXPECT_LE(std::llabs(d.frames - expected), slack)
                        << "decoded " << d.frames << " of " << expected;
                    if (IsMp4Family(row.code)) {
                        EXPECT_EQ(d.stated, expected);
                    }
                    std::remove(out.c_str());
                }
    }
}

TEST_F(GaplessLengths, TracksCutFromOneSineJoinWithoutAGap) {
    // Two tracks cut from one sine at a point inside a codec frame, converted and decoded back to back,
    // must give the uncut sine: any gap or overlap shifts the phase and shows as a large error.
    if (!testsupport::HaveTool("ffmpeg") || !testsupport::HaveTool("oggdec")) GTEST_SKIP();
    ASSERT_TRUE(s_started);
    const int rate = 44100, total = 3 * rate, cut = 50000;
    const auto whole = Sine(total, rate);
    for (int code : {kFormatMp3, kFormatOgg, kFormatM4a}) {
        ConversionRun run(code);
        const OutputFormatInfo& row = *FindOutputFormat(code);
        SCOPED_TRACE(row.name);
        const auto first = Sine(cut, rate), second = Sine(total - cut, rate, cut);
        convtest::WriteWav(run.dir.File("a.wav"), rate, 1, 16, first, first);
        convtest::WriteWav(run.dir.File("b.wav"), rate, 1, 16, second, second);
        const std::string a = run.dir.File(std::string("a") + row.extension);
        const std::string b = run.dir.File(std::string("b") + row.extension);
        ASSERT_EQ(run.Convert(kKindWav, run.dir.File("a.wav"), a), 1);
        ASSERT_EQ(run.Convert(kKindWav, run.dir.File("b.wav"), b), 1);
        // Decoded as a player that honours the stated length plays them.
        auto decode = [&](const std::string& path) {
            const DecodeOutcome d = PeerDecode(path, 1, code);
            auto pcm = code == kFormatOgg ? ReadRawS16(path) : testsupport::FfmpegDecodeS16(path, 1);
            if (IsMp4Family(code) && d.stated >= 0 && static_cast<std::size_t>(d.stated) < pcm.size())
                pcm.resize(static_cast<std::size_t>(d.stated));
            return pcm;
        };
        auto joined = decode(a);
        const auto tail = decode(b);
        joined.insert(joined.end(), tail.begin(), tail.end());
        ASSERT_EQ(joined.size(), whole.size());
        // The lag at which a stretch of the joined tracks best matches the uncut sine: any sample lost or
        // added at the join moves the second track off 0. (A sine is periodic, so lags stay small.)
        auto lagAt = [&](int from) {
            int best = 0;
            double bestError = -1;
            for (int lag = -40; lag <= 40; ++lag) {
                double e = 0;
                for (int i = from; i < from + 2048; ++i) {
                    const double d = static_cast<double>(joined[static_cast<std::size_t>(i)]) -
                                     whole[static_cast<std::size_t>(i + lag)];
                    e += d * d;
                }
                if (bestError < 0 || e < bestError) bestError = e, best = lag;
            }
            return best;
        };
        EXPECT_EQ(lagAt(cut - 4096), 0);
        EXPECT_EQ(lagAt(cut + 1024), 0);
        // No click: only the codec's own onset (AAC smears a track's abrupt start over its first frame).
        double peak = 0;
        for (int i = cut - 2048; i < cut + 2048; ++i)
            peak = std::max(peak, std::abs(static_cast<double>(joined[static_cast<std::size_t>(i)]) -
                                           whole[static_cast<std::size_t>(i)]));
        EXPECT_LT(peak, 1500.0);
    }
}

}  // namespace
