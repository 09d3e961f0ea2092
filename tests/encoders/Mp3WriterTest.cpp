#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "encoders/Mp3Checks.h"
#include "encoders/Mp3Writer.h"
#include "encoders/WavWriter.h"
#include "support/TestSupport.h"

namespace {

using testsupport::ReadBytes;
using testsupport::TempDir;

struct Encoding {
    int inRate = 44100;
    int outRate = 0;  // 0: LAME's choice
    int channels = 2;
    int kbps = 128;
    int mode = -1;  // -1: LAME's choice
    bool infoFrame = false;
};

/// Encodes planar PCM in blocks of at most 1152 frames; returns Finish's result (0 on any failure).
int EncodeFile(const std::string& path, const Encoding& e, const std::vector<std::int16_t>& left,
               const std::vector<std::int16_t>& right, const std::vector<std::uint8_t>& id3v2 = {},
               const std::vector<std::uint8_t>& id3v1 = {}) {
    Mp3Writer w;
    if (!w.Open(path)) return 0;
    w.SetInputRate(e.inRate);
    w.SetChannels(e.channels);
    if (e.mode >= 0) w.SetMode(e.mode);
    if (e.outRate) w.SetOutputRate(e.outRate);
    w.SetBitrate(e.kbps);
    w.SetInfoFrame(e.infoFrame);
    if (!id3v2.empty()) w.SetId3v2(id3v2.data(), id3v2.size());
    if (id3v1.size() == kId3v1Bytes) w.SetId3v1(id3v1.data());
    if (!w.Start()) return 0;
    const int frames = static_cast<int>(left.size());
    for (int at = 0; at < frames; at += 1152) {
        const int n = std::min(1152, frames - at);
        if (!w.Encode(left.data() + at, e.channels == 2 ? right.data() + at : nullptr, n)) return 0;
    }
    return w.Finish();
}

struct PeerCase {
    const char* name;
    Encoding enc;
    int expectRate;
};

void PrintTo(const PeerCase& c, std::ostream* os) {
    *os << c.name;
}

class Mp3WriterPeers : public ::testing::TestWithParam<PeerCase> {};

TEST_P(Mp3WriterPeers, PeersReadTheExpectedStream) {
    // Wrong LAME parameters, a lost flush or mangled channels show up as a bad stream to real decoders.
    const auto& p = GetParam();
    if (!testsupport::HaveTool("ffprobe") || !testsupport::HaveTool("mp3val")) GTEST_SKIP();
    TempDir dir;
    const int frames = p.enc.inRate;  // one second
    const auto tone = mp3checks::Tone(frames, p.enc.inRate, 1000.0);
    const std::string out = dir.File("o.mp3");
    ASSERT_EQ(EncodeFile(out, p.enc, tone, tone), 1);

    std::string report;
    EXPECT_TRUE(mp3checks::Mp3valClean(out, &report)) << report;
    const auto info = mp3checks::Probe(out);
    EXPECT_EQ(info.sampleRate, p.expectRate);
    EXPECT_EQ(info.channels, p.enc.channels);
    EXPECT_EQ(info.bitRate, p.enc.kbps * 1000);
    // Without an Info frame nothing trims LAME's 576-sample delay and the padding of the last frame:
    // together less than 2304 samples. A lost block or flush makes the stream shorter than the source.
    EXPECT_GE(info.duration, 1.0);
    EXPECT_LE(info.duration, 1.0 + 2304.0 / p.expectRate);

    const auto pcm = testsupport::FfmpegDecodeS16(out, p.enc.channels);
    ASSERT_FALSE(pcm.empty());
    for (int c = 0; c < p.enc.channels; ++c)
        EXPECT_NEAR(mp3checks::ToneFrequency(pcm, p.enc.channels, c, p.expectRate), 1000.0, 5.0);
}

INSTANTIATE_TEST_SUITE_P(Formats, Mp3WriterPeers,
                         ::testing::Values(PeerCase{"JointStereo44100At128", {44100, 0, 2, 128, 1}, 44100},
                                           PeerCase{"Stereo48000At192", {48000, 0, 2, 192, 0}, 48000},
                                           PeerCase{"Mono22050At64", {22050, 0, 1, 64, 3}, 22050},
                                           PeerCase{"Mono8000At24", {8000, 0, 1, 24, 3}, 8000},
                                           PeerCase{
                                               "Resampled44100To32000", {44100, 32000, 2, 96, 1}, 32000}),
                         [](const auto& info) { return std::string(info.param.name); });

struct LameCase {
    const char* name;
    int rate;
    int channels;
    int kbps;
    bool infoFrame;  // against lame with its info frame, else `lame -t`
};

void PrintTo(const LameCase& c, std::ostream* os) {
    *os << c.name;
}

class Mp3WriterMatchesLame : public ::testing::TestWithParam<LameCase> {};

TEST_P(Mp3WriterMatchesLame, ByteForByte) {
    // Any setting beyond the ones asked for (quality, filters, the info frame and what it states)
    // changes the bytes.
    const auto& p = GetParam();
    if (!testsupport::HaveTool("lame")) GTEST_SKIP();
    TempDir dir;
    const int frames = p.rate * 5 / 2 + 77;  // not a whole number of blocks
    auto left = mp3checks::Tone(frames, p.rate, 440.0, 9000.0);
    const auto high = mp3checks::Tone(frames, p.rate, 3100.0, 4000.0);
    std::vector<std::int16_t> right(left.size());
    for (std::size_t i = 0; i < left.size(); ++i) right[i] = static_cast<std::int16_t>(high[i] - left[i] / 3);

    WavWriter wav;
    ASSERT_EQ(wav.Open(dir.File("in.wav"), p.channels == 2, 16, p.rate), 1);
    ASSERT_EQ(wav.Write16(left.data(), right.data(), frames), 1);
    ASSERT_EQ(wav.Close(), 1);
    std::vector<std::string> lame = {"lame", "--quiet", "-b", std::to_string(p.kbps), "--cbr"};
    // The writer computes no ReplayGain, which lame's front end stores in the info frame by default.
    lame.push_back(p.infoFrame ? "--noreplaygain" : "-t");
    lame.insert(lame.end(), {dir.File("in.wav"), dir.File("lame.mp3")});
    ASSERT_EQ(testsupport::Run(lame), 0);
    ASSERT_EQ(EncodeFile(dir.File("ours.mp3"), {p.rate, 0, p.channels, p.kbps, -1, p.infoFrame}, left, right),
              1);

    const auto ours = ReadBytes(dir.File("ours.mp3"));
    const auto theirs = ReadBytes(dir.File("lame.mp3"));
    ASSERT_FALSE(theirs.empty());
    EXPECT_EQ(ours.size(), theirs.size());
    EXPECT_TRUE(ours == theirs);
}

INSTANTIATE_TEST_SUITE_P(Formats, Mp3WriterMatchesLame,
                         ::testing::Values(LameCase{"Stereo44100At128", 44100, 2, 128, false},
                                           LameCase{"Mono22050At64", 22050, 1, 64, false},
                                           LameCase{"InfoFrameStereo44100At128", 44100, 2, 128, true},
                                           LameCase{"InfoFrameMono22050At64", 22050, 1, 64, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Mp3Writer, TagBlocksFrameTheFramesUnchanged) {
    // The ID3v2 block must come first and the ID3v1 block last, each exactly once and unaltered.
    TempDir dir;
    const auto tone = mp3checks::Tone(20000, 44100, 1000.0);
    const Encoding e{44100, 0, 1, 64, 3};
    std::vector<std::uint8_t> v2 = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 5, 1, 2, 3, 4, 5};
    std::vector<std::uint8_t> v1(128, 0x41);
    v1[0] = 'T', v1[1] = 'A', v1[2] = 'G';
    ASSERT_EQ(EncodeFile(dir.File("plain.mp3"), e, tone, tone), 1);
    ASSERT_EQ(EncodeFile(dir.File("tagged.mp3"), e, tone, tone, v2, v1), 1);
    auto expected = v2;
    const auto plain = ReadBytes(dir.File("plain.mp3"));
    expected.insert(expected.end(), plain.begin(), plain.end());
    expected.insert(expected.end(), v1.begin(), v1.end());
    EXPECT_TRUE(ReadBytes(dir.File("tagged.mp3")) == expected);
}

TEST(Mp3Writer, FullDiskFailsAndStaysFailed) {
    // A full disk must fail the conversion instead of leaving a truncated file reported as done.
    Mp3Writer w;
    ASSERT_EQ(w.Open("/dev/full"), 1);
    w.SetInputRate(44100);
    w.SetChannels(2);
    w.SetBitrate(320);
    ASSERT_EQ(w.Start(), 1);
    const auto tone = mp3checks::Tone(1152, 44100, 1000.0);
    int ok = 1;
    for (int i = 0; i < 200 && ok; ++i) ok = w.Encode(tone.data(), tone.data(), 1152);
    EXPECT_EQ(ok, 0);  // the stream buffer overflowed into /dev/full
    EXPECT_EQ(w.Encode(tone.data(), tone.data(), 1152), 0);
    EXPECT_EQ(w.Finish(), 0);
}

TEST(Mp3Writer, FullDiskAtTheEndFails) {
    // A failure that only shows when the last bytes (flush, ID3v1) reach the disk still fails.
    Mp3Writer w;
    ASSERT_EQ(w.Open("/dev/full"), 1);
    w.SetInputRate(44100);
    w.SetChannels(1);
    w.SetBitrate(32);
    std::vector<std::uint8_t> v1(128, 0);
    w.SetId3v1(v1.data());
    ASSERT_EQ(w.Start(), 1);
    const auto tone = mp3checks::Tone(1152, 44100, 1000.0);
    ASSERT_EQ(w.Encode(tone.data(), nullptr, 1152), 1);  // still within the stream's buffer
    EXPECT_EQ(w.Finish(), 0);
}

TEST(Mp3Writer, ReopeningFinishesTheFirstFile) {
    // Opening the next file must not drop the last frames and the ID3v1 block of the previous one.
    TempDir dir;
    const auto tone = mp3checks::Tone(22050, 44100, 1000.0);
    const Encoding e{44100, 0, 1, 64, 3};
    std::vector<std::uint8_t> v1(128, 0);
    v1[0] = 'T', v1[1] = 'A', v1[2] = 'G';
    ASSERT_EQ(EncodeFile(dir.File("finished.mp3"), e, tone, tone, {}, v1), 1);
    Mp3Writer w;
    ASSERT_EQ(w.Open(dir.File("reopened.mp3")), 1);
    w.SetInputRate(44100);
    w.SetChannels(1);
    w.SetMode(3);
    w.SetBitrate(64);
    w.SetId3v1(v1.data());
    ASSERT_EQ(w.Start(), 1);
    ASSERT_EQ(w.Encode(tone.data(), nullptr, 22050), 1);
    ASSERT_EQ(w.Open(dir.File("next.mp3")), 1);
    EXPECT_TRUE(ReadBytes(dir.File("reopened.mp3")) == ReadBytes(dir.File("finished.mp3")));
}

TEST(Mp3Writer, StereoWithoutRightChannelFails) {
    // LAME answers a missing right buffer with zero bytes and no error: the audio would vanish.
    TempDir dir;
    Mp3Writer w;
    ASSERT_EQ(w.Open(dir.File("o.mp3")), 1);
    w.SetInputRate(44100);
    w.SetChannels(2);
    ASSERT_EQ(w.Start(), 1);
    const auto tone = mp3checks::Tone(1152, 44100, 1000.0);
    EXPECT_EQ(w.Encode(tone.data(), nullptr, 1152), 0);
    EXPECT_EQ(w.Finish(), 0);
}

}  // namespace
