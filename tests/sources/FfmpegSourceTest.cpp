#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "sources/FfmpegProbeSource.h"
#include "sources/FfmpegSource.h"
#include "support/SourceDrain.h"
#include "support/TestSupport.h"

extern "C" {
#include <libavutil/log.h>
}

using namespace testsupport;

namespace {

// Half a second of a different tone on each channel, so swapped or repeated channels show.
std::string Tones(int channels, const char* seconds = "0.5", int rate = 44100) {
    std::string expr;
    for (int c = 0; c < channels; ++c) {
        if (c) expr += "|";
        expr += "0.8*sin(2*PI*" + std::to_string(300 + 170 * c) + "*t)";
    }
    return "aevalsrc=" + expr + ":s=" + std::to_string(rate) + ":d=" + seconds;
}

// Encodes generated tones with ffmpeg; empty when ffmpeg fails.
std::string Make(const TempDir& dir, const std::string& name, int channels,
                 const std::vector<std::string>& args, const char* seconds = "0.5") {
    const std::string path = dir.File(name);
    std::vector<std::string> argv{
        "ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i", Tones(channels, seconds)};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(path);
    return Run(argv) == 0 ? path : std::string();
}

class FfmpegSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
        av_log_set_level(AV_LOG_FATAL);  // damaged inputs make the libraries chatty
    }
    TempDir m_dir;
};

struct Case {
    const char* name;
    int channels;
    std::vector<std::string> args;  // output options, the file name ending the list
    int bits;                       // delivered sample width
    int tolerance;                  // 0: bit-exact with ffmpeg's 16-bit decode
    const char* peerFilter;
};

class FfmpegDecodes : public FfmpegSourceTest, public ::testing::WithParamInterface<Case> {};

TEST_P(FfmpegDecodes, AsFfmpegDoesInFullBlocks) {
    // A wrong converter, channel stride, planar handling or block filling shows as a mismatch with the peer.
    const Case& p = GetParam();
    std::vector<std::string> args(p.args.begin(), p.args.end() - 1);
    const std::string path = Make(m_dir, p.args.back(), p.channels, args);
    ASSERT_FALSE(path.empty());
    FfmpegSource src;
    ASSERT_EQ(src.Open(path.c_str(), 0), 1);
    const int out = p.channels > 1 ? 2 : 1;
    EXPECT_EQ(src.GetOutputChannels(), out);
    EXPECT_EQ(src.GetChannelMode(), p.channels == 1 ? 3 : 0);
    EXPECT_EQ(src.GetSampleRate(), 44100);
    EXPECT_EQ(src.GetBitsPerSample(), p.bits);
    EXPECT_EQ(src.GetTotalLength(), static_cast<std::int64_t>(ReadBytes(path).size()));
    const Drained d = DrainSource(src);
    ASSERT_TRUE(d.endedInTime);
    EXPECT_TRUE(d.positionsInRange);
    EXPECT_LE(d.largestBlock, kBlockFrames);

    const auto peer = PeerDecode(path, out, p.peerFilter);
    ASSERT_FALSE(peer[0].empty());
    std::vector<std::int16_t> left = d.left, right = d.right;
    if (p.bits == 8) {
        // Unsigned 8-bit widened exactly as ffmpeg widens it.
        left.clear();
        right.clear();
        for (std::uint8_t v : d.left8) left.push_back(static_cast<std::int16_t>((v - 128) * 256));
        for (std::uint8_t v : d.right8) right.push_back(static_cast<std::int16_t>((v - 128) * 256));
    }
    ASSERT_EQ(left.size(), peer[0].size());
    // Only the last block may be short: padding or partial blocks mid-stream would show here.
    EXPECT_EQ(d.blocks, static_cast<int>((left.size() + kBlockFrames - 1) / kBlockFrames));
    EXPECT_LE(MaxDifference(left, peer[0]), p.tolerance);
    if (out == 2) {
        ASSERT_EQ(right.size(), peer[1].size());
        EXPECT_LE(MaxDifference(right, peer[1]), p.tolerance);
    }
}

using S = std::vector<std::string>;
INSTANTIATE_TEST_SUITE_P(
    Formats, FfmpegDecodes,
    ::testing::Values(
        Case{"WavS16Stereo", 2, S{"-c:a", "pcm_s16le", "s16.wav"}, 16, 0, ""},
        Case{"WavS16Mono", 1, S{"-c:a", "pcm_s16le", "m16.wav"}, 16, 0, ""},
        Case{"WavU8Mono", 1, S{"-c:a", "pcm_u8", "u8.wav"}, 8, 0, ""},
        Case{"WavU8Stereo", 2, S{"-c:a", "pcm_u8", "u8s.wav"}, 8, 0, ""},
        Case{"WavS24", 2, S{"-c:a", "pcm_s24le", "s24.wav"}, 16, 0, ""},
        Case{"WavS32", 2, S{"-c:a", "pcm_s32le", "s32.wav"}, 16, 0, ""},
        Case{"FlacS16", 2, S{"-c:a", "flac", "a.flac"}, 16, 0, ""},
        Case{"FlacS24InMatroska", 2, S{"-c:a", "flac", "-sample_fmt", "s32", "a.mka"}, 16, 0, ""},
        Case{"FlacInOgg", 2, S{"-c:a", "flac", "f.oga"}, 16, 0, ""},
        Case{"PlanarS16", 2, S{"-c:a", "pcm_s16le_planar", "p16.nut"}, 16, 0, ""},
        Case{"PlanarS32", 2, S{"-c:a", "pcm_s24le_planar", "p24.nut"}, 16, 0, ""},
        Case{"PlanarU8", 2, S{"-c:a", "pcm_s8_planar", "p8.nut"}, 8, 0, ""},
        // More than two channels without a mixing decoder: the first two are delivered.
        Case{"SixChannelPcm", 6, S{"-c:a", "pcm_s16le", "six.wav"}, 16, 0, "pan=stereo|c0=c0|c1=c1"},
        // Float output: the same decoder, only the rounding to 16 bits differs from ffmpeg's.
        Case{"WavFloat", 2, S{"-c:a", "pcm_f32le", "f32.wav"}, 16, 1, ""},
        Case{"WavDouble", 2, S{"-c:a", "pcm_f64le", "f64.wav"}, 16, 1, ""},
        Case{"VorbisPlanarFloat", 2, S{"-c:a", "libvorbis", "v.ogg"}, 16, 1, ""},
        Case{"AacInMp4", 2, S{"-c:a", "aac", "a.m4a"}, 16, 1, ""},
        Case{"Mp3", 2, S{"-c:a", "libmp3lame", "a.mp3"}, 16, 1, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FfmpegSourceTest, SixChannelAc3IsMixedDownByItsDecoder) {
    // Taking two of six channels instead of asking the decoder for stereo drops the centre and surrounds.
    const std::string path = Make(m_dir, "six.ac3", 6, {"-c:a", "ac3", "-ar", "48000"});
    ASSERT_FALSE(path.empty());
    FfmpegSource src;
    ASSERT_EQ(src.Open(path.c_str(), 0), 1);
    EXPECT_EQ(src.GetChannels(), 2);  // what the opened decoder reports after the request
    EXPECT_EQ(src.GetOutputChannels(), 2);
    EXPECT_EQ(src.GetSampleRate(), 48000);
    EXPECT_GT(src.GetBitrate(), 0);
    const Drained d = DrainSource(src);
    const auto mixed = PeerDecode(path, 2, "", {"-downmix", "stereo"});
    ASSERT_EQ(d.left.size(), mixed[0].size());
    EXPECT_LE(MaxDifference(d.left, mixed[0]), 1);
    EXPECT_LE(MaxDifference(d.right, mixed[1]), 1);
    const auto firstTwo = PeerDecode(path, 2, "pan=stereo|c0=c0|c1=c1");
    EXPECT_GT(RelativeRmsDifference(d.left, firstTwo[0]), 0.01);
}

TEST_F(FfmpegSourceTest, FloatsBeyondFullScaleClipInsteadOfWrapping) {
    // Scaling 1.5 by 2^31 overflows 32 bits and would come out as a loud negative click.
    std::vector<std::uint8_t> wav;
    const float samples[] = {1.5f, -1.5f, 0.5f, -0.5f, 1.0f, -1.0f, 0.0f, 4.0e9f};
    const std::uint32_t dataBytes = sizeof samples;
    PutLe(wav, 0, 4, 0x46464952u);  // "RIFF"
    PutLe(wav, 4, 4, 36 + dataBytes);
    PutLe(wav, 8, 4, 0x45564157u);   // "WAVE"
    PutLe(wav, 12, 4, 0x20746D66u);  // "fmt "
    PutLe(wav, 16, 4, 16);
    PutLe(wav, 20, 2, 3);  // IEEE float
    PutLe(wav, 22, 2, 1);
    PutLe(wav, 24, 4, 8000);
    PutLe(wav, 28, 4, 32000);
    PutLe(wav, 32, 2, 4);
    PutLe(wav, 34, 2, 32);
    PutLe(wav, 36, 4, 0x61746164u);  // "data"
    PutLe(wav, 40, 4, dataBytes);
    for (std::size_t i = 0; i < std::size(samples); ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, &samples[i], 4);
        PutLe(wav, 44 + 4 * i, 4, bits);
    }
    const std::string path = m_dir.File("loud.wav");
    WriteBytes(path, wav);
    FfmpegSource src;
    ASSERT_EQ(src.Open(path.c_str(), 0), 1);
    const Drained d = DrainSource(src);
    EXPECT_EQ(d.left, (std::vector<std::int16_t>{32767, -32768, 16383, -16384, 32767, -32768, 0, 32767}));
}

TEST_F(FfmpegSourceTest, UnknownContainerDurationReportsZeroAndStillDecodes) {
    // The no-value marker divided as if it were a duration gives a huge negative length.
    const std::string piped = m_dir.File("piped.mka");
    std::string bytes;
    ASSERT_EQ(testsupport::Run({"ffmpeg", "-v", "error", "-nostdin", "-f", "lavfi", "-i", Tones(2, "1.5"),
                                "-c:a", "flac", "-f", "matroska", "-"},
                               &bytes),
              0);
    WriteBytes(piped, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    const std::string seekable = Make(m_dir, "seekable.mka", 2, {"-c:a", "flac"}, "1.5");
    for (const auto& [path, seconds] : {std::pair{piped, 0}, std::pair{seekable, 1}}) {
        SCOPED_TRACE(path);
        FfmpegSource src;
        ASSERT_EQ(src.Open(path.c_str(), 0), 1);
        EXPECT_EQ(src.GetDuration(), seconds);
        EXPECT_EQ(DrainSource(src).left.size(), 66150u);
        FfmpegProbeSource probe;
        ASSERT_EQ(probe.Open(path.c_str(), 0), 1);
        EXPECT_EQ(probe.GetDuration(), seconds);
    }
}

TEST_F(FfmpegSourceTest, ContainerTagsMapToTheNineFields) {
    // Tags on the stream (Ogg) instead of the file, dates and "n/total" track texts must still map.
    const S meta{"-metadata", "title=T",         "-metadata", "artist=A",     "-metadata", "album=Al",
                 "-metadata", "date=2019-05-01", "-metadata", "track=3/12",   "-metadata", "genre=G",
                 "-metadata", "comment=C",       "-metadata", "copyright=(c)"};
    for (const char* name : {"t.flac", "t.oga", "t.mka"}) {
        SCOPED_TRACE(name);
        S args{"-c:a", "flac"};
        args.insert(args.end(), meta.begin(), meta.end());
        const std::string path = Make(m_dir, name, 2, args, "0.2");
        ASSERT_FALSE(path.empty());
        FfmpegSource src;
        ASSERT_EQ(src.Open(path.c_str(), 0), 1);
        TagSet tags;
        tags.composer = "stale";
        ASSERT_EQ(src.ReadTags(tags), 1);
        EXPECT_EQ(tags.title, "T");
        EXPECT_EQ(tags.artist, "A");
        EXPECT_EQ(tags.album, "Al");
        EXPECT_EQ(tags.year, "2019");
        EXPECT_EQ(tags.track, "3");
        EXPECT_EQ(tags.genre, "G");
        EXPECT_EQ(tags.comment, "C");
        EXPECT_EQ(tags.copyright, "(c)");
        EXPECT_EQ(tags.composer, "");
    }
    const std::string bare = Make(m_dir, "bare.wav", 1, {"-c:a", "pcm_s16le", "-fflags", "+bitexact"}, "0.2");
    FfmpegSource src;
    ASSERT_EQ(src.Open(bare.c_str(), 0), 1);
    TagSet tags;
    tags.title = "kept";
    EXPECT_EQ(src.ReadTags(tags), 0);
    EXPECT_EQ(tags.title, "kept");
}

TEST_F(FfmpegSourceTest, ProbeReportsVideoAndAudioProperties) {
    // The list shows a video's size and rate beside its audio, and cover art must not pass for video.
    const std::string video = m_dir.File("video.mkv");
    ASSERT_EQ(testsupport::Run({"ffmpeg", "-v", "error", "-nostdin", "-f", "lavfi", "-i",
                                "testsrc=size=320x240:rate=25:d=1", "-c:v", "mpeg4", video}),
              0);
    const std::string both = m_dir.File("both.mkv");
    ASSERT_EQ(testsupport::Run({"ffmpeg", "-v", "error", "-nostdin", "-f", "lavfi", "-i",
                                "testsrc=size=160x120:rate=30000/1001:d=1", "-f", "lavfi", "-i",
                                Tones(6, "1", 48000), "-c:v", "mpeg4", "-c:a", "ac3", both}),
              0);
    const std::string cover = m_dir.File("cover.png");
    ASSERT_EQ(testsupport::Run({"ffmpeg", "-v", "error", "-nostdin", "-f", "lavfi", "-i",
                                "color=red:size=64x64", "-frames:v", "1", cover}),
              0);
    const std::string art = m_dir.File("art.flac");
    ASSERT_EQ(testsupport::Run({"ffmpeg",
                                "-v",
                                "error",
                                "-nostdin",
                                "-f",
                                "lavfi",
                                "-i",
                                Tones(1, "1"),
                                "-i",
                                cover,
                                "-map",
                                "0",
                                "-map",
                                "1",
                                "-c:a",
                                "flac",
                                "-c:v",
                                "copy",
                                "-disposition:v",
                                "attached_pic",
                                art}),
              0);
    const std::string u8 = Make(m_dir, "u8.wav", 2, {"-c:a", "pcm_u8"}, "1");

    struct Expect {
        std::string path;
        int width, height;
        double fps;
        int rate, channels, outputChannels, bits;
    };
    for (const Expect& e : {Expect{both, 160, 120, 30000.0 / 1001.0, 48000, 6, 2, 16},
                            Expect{art, 0, 0, 0.0, 44100, 1, 1, 16}, Expect{u8, 0, 0, 0.0, 44100, 2, 2, 8}}) {
        SCOPED_TRACE(e.path);
        FfmpegProbeSource probe;
        ASSERT_EQ(probe.Open(e.path.c_str(), 0), 1);
        int w = -1, h = -1;
        probe.GetVideoSize(w, h);
        EXPECT_EQ(w, e.width);
        EXPECT_EQ(h, e.height);
        EXPECT_NEAR(probe.GetFrameRate(), e.fps, 1e-9);
        EXPECT_EQ(probe.GetSampleRate(), e.rate);
        EXPECT_EQ(probe.GetChannels(), e.channels);
        EXPECT_EQ(probe.GetOutputChannels(), e.outputChannels);
        EXPECT_EQ(probe.GetBitsPerSample(), e.bits);
        EXPECT_EQ(probe.GetDuration(), 1);
        EXPECT_EQ(probe.GetTotalLength(), 0);
        char buf[2304];
        EXPECT_EQ(probe.ReadBlock(buf, buf), 0);
        TagSet tags;
        EXPECT_EQ(probe.ReadTags(tags), 0);
    }
    // A picture or a silent video used to be listed and then fail to convert with the support hint.
    for (const std::string& silent : {video, cover}) {
        FfmpegProbeSource probe;
        EXPECT_EQ(probe.Open(silent.c_str(), 0), 0) << silent;
    }
    FfmpegSource src;
    EXPECT_EQ(src.Open(video.c_str(), 0), 0);
    ASSERT_EQ(src.Open(both.c_str(), 0), 1);
    EXPECT_EQ(src.GetOutputChannels(), 2);
    EXPECT_EQ(DrainSource(src).left.size(), PeerDecode(both, 2, "", {"-downmix", "stereo"})[0].size());
}

TEST_F(FfmpegSourceTest, DamagedAndRandomInputsFailOrEndCleanly) {
    // Truncation, corrupted packets and noise must not crash, hang or overrun the caller's buffers.
    std::vector<std::string> goods = {
        Make(m_dir, "g.mp3", 2, {"-c:a", "libmp3lame"}, "1"), Make(m_dir, "g.flac", 2, {"-c:a", "flac"}, "1"),
        Make(m_dir, "g.m4a", 2, {"-c:a", "aac"}, "1"), Make(m_dir, "g.ac3", 6, {"-c:a", "ac3"}, "1"),
        Make(m_dir, "g.ogg", 1, {"-c:a", "libvorbis"}, "1")};
    std::mt19937 rng(11);
    int n = 0;
    auto check = [&](const std::vector<std::uint8_t>& bytes, const std::string& ext) {
        const std::string path = m_dir.File("bad" + std::to_string(n++) + ext);
        WriteBytes(path, bytes);
        SCOPED_TRACE(path);
        FfmpegProbeSource probe;
        probe.Open(path.c_str(), 0);
        FfmpegSource src;
        if (src.Open(path.c_str(), 0) == 0) return;
        const Drained d = DrainSource(src, 20000);
        EXPECT_TRUE(d.endedInTime);
        EXPECT_TRUE(d.positionsInRange);
        EXPECT_LE(d.largestBlock, kBlockFrames);
    };
    for (const std::string& good : goods) {
        ASSERT_FALSE(good.empty());
        const auto bytes = ReadBytes(good);
        const std::string ext = good.substr(good.rfind('.'));
        for (std::size_t cut : {std::size_t{100}, bytes.size() / 3, bytes.size() - 7})
            check(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)),
                  ext);
        for (std::size_t from : {std::size_t{0}, bytes.size() / 2}) {
            auto damaged = bytes;
            for (std::size_t i = from; i < std::min(bytes.size(), from + 400); ++i)
                damaged[i] = static_cast<std::uint8_t>(rng());
            check(damaged, ext);
        }
        auto flipped = bytes;
        for (int i = 0; i < 100; ++i)
            flipped[rng() % flipped.size()] ^= static_cast<std::uint8_t>(1 + rng() % 255);
        check(flipped, ext);
    }
    std::vector<std::uint8_t> noise(30000);
    for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
    check(noise, ".mp3");
    check(noise, ".bin");
    check({}, ".wav");
}

}  // namespace
