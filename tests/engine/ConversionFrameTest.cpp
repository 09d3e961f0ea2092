#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>

#include "engine/ConversionFrame.h"
#include "engine/EngineTexts.h"
#include "engine/OutputFormats.h"
#include "settings/ConversionSettings.h"
#include "support/EngineDoubles.h"
#include "support/RecordingUserInteraction.h"
#include "support/TestSupport.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

// A format that writes a byte per block into its output and fails where told to.
struct FakeFormat final : ConversionFormat {
    std::string path;
    int startResult = 1, failEncodeAt = -1, finishResult = 1;
    int encoded = 0;
    bool finished = false;
    std::ofstream out;

    int Start(AudioSource&, ChosenTags&, PcmRequest&) override {
        out.open(path, std::ios::binary);
        out << "header";
        return startResult;
    }
    int Encode(const PcmBlock&) override {
        if (++encoded == failEncodeAt) return 0;
        out << 'b';
        return 1;
    }
    int Finish() override {
        finished = true;
        out.close();
        return finishResult;
    }
};

struct Frame {
    TempDir dir;
    WmfRuntime runtime{[] { return false; }};
    RecordingUserInteraction user;
    EngineContext engine{runtime, user};
    ConversionSettings settings{""};
    ProgressLog log;
    RecordingProgress progress{log};

    explicit Frame(SyntheticSource::Shape shape)
        : Frame([shape]() -> std::unique_ptr<AudioSource> {
              return std::make_unique<SyntheticSource>(shape);
          }) {}
    explicit Frame(std::function<std::unique_ptr<AudioSource>()> reader) {
        std::ofstream(dir.File("song.mp3")) << "source";
        engine.shared.readers = ReaderSet();
        engine.shared.readers.Add(ReaderRole::Bass, "Synthetic", std::move(reader));
    }
    int Run(SourceKind kind, FakeFormat& format, const std::string& output) {
        format.path = output;
        return Run(kind, static_cast<ConversionFormat&>(format), output);
    }
    int Run(SourceKind kind, ConversionFormat& format, const std::string& output) {
        ConversionJob job{kind, dir.File("song.mp3"), output, progress, engine, settings, 1};
        return RunConversionFrame(job, row, format);
    }
    // WAV renders synthesised sources at 44100 Hz in Auto.
    const OutputFormatInfo& row = *FindOutputFormat(kFormatWav);
};

struct Outcome {
    const char* name;
    SourceKind kind;
    SyntheticSource::Shape shape;
    int cancelAfterPumps, failEncodeAt, startResult, finishResult;
    int expectResult, expectEncoded;
};

void PrintTo(const Outcome& c, std::ostream* os) {
    *os << c.name;
}

class FrameOutcome : public ::testing::TestWithParam<Outcome> {};

TEST_P(FrameOutcome, ResultBlocksAndCleanUp) {
    // Every way out of the loop must report the right result and leave no partial output behind.
    const Outcome& c = GetParam();
    Frame f(c.shape);
    f.log.cancelAfterPumps = c.cancelAfterPumps;
    FakeFormat format;
    format.failEncodeAt = c.failEncodeAt;
    format.startResult = c.startResult;
    format.finishResult = c.finishResult;
    const std::string output = f.dir.File("out.bin");
    EXPECT_EQ(f.Run(c.kind, format, output), c.expectResult);
    EXPECT_EQ(format.encoded, c.expectEncoded);
    EXPECT_TRUE(format.finished) << "the encoder must be finished on every path";
    EXPECT_EQ(fs::exists(output), c.expectResult == 1);
    EXPECT_TRUE(fs::exists(f.dir.File("song.mp3")));
}

constexpr std::int64_t kTen = 10 * 1152 * 4;
INSTANTIATE_TEST_SUITE_P(
    Paths, FrameOutcome,
    ::testing::Values(
        Outcome{"ReadsToTheEnd", kKindMp3, {10, kTen, 2, 44100, false}, -1, -1, 1, 1, 1, 10},
        Outcome{
            "CancelStopsBeforeTheBlockIsWritten", kKindMp3, {10, kTen, 2, 44100, false}, 3, -1, 1, 1, 0, 2},
        Outcome{"EncoderFailure", kKindMp3, {10, kTen, 2, 44100, false}, -1, 4, 1, 1, 0, 4},
        Outcome{"FailedFinishIsAFailure", kKindMp3, {10, kTen, 2, 44100, false}, -1, -1, 1, 0, 0, 10},
        Outcome{
            "StartFailureDeletesWhatItCreated", kKindMp3, {10, kTen, 2, 44100, false}, -1, -1, 0, 1, 0, 0},
        Outcome{"ModuleStopsAtItsLength", kKindModule, {5, kTen, 2, 44100, true}, -1, -1, 1, 1, 1, 5},
        Outcome{"MidiWithoutLengthStopsAfterOneBlock", kKindMidi, {0, 0, 1, 22050, true}, -1, -1, 1, 1, 1, 1},
        Outcome{"OtherKindsIgnoreTheLength", kKindMp3, {10, 1152, 1, 8000, false}, -1, -1, 1, 1, 1, 10},
        Outcome{
            "AnnouncedDurationButNoAudioFails", kKindMp3, {0, kTen, 2, 44100, false, 3}, -1, -1, 1, 1, 0, 0},
        Outcome{"NoDurationAndNoAudioIsAnEmptyResult",
                kKindWav,
                {0, kTen, 2, 44100, false, 0},
                -1,
                -1,
                1,
                1,
                1,
                0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConversionFrame, ProgressTextGrowsToOneHundredPercentOnce) {
    // The file line is redrawn only when the percentage grows and always ends at 100.
    Frame f({300, 300 * 4608, 2, 44100, false});
    FakeFormat format;
    ASSERT_EQ(f.Run(kKindMp3, format, f.dir.File("o.bin")), 1);
    ASSERT_FALSE(f.log.fileTexts.empty());
    EXPECT_LE(f.log.fileTexts.size(), 100u);
    EXPECT_EQ(f.log.fileTexts.back(), "Converting song.mp3...100%");
    for (std::size_t i = 1; i < f.log.barPositions.size(); ++i)
        EXPECT_GT(f.log.barPositions[i], f.log.barPositions[i - 1]) << "bar moved back or repeated";
    EXPECT_EQ(f.log.barPositions.back(), 200);
    EXPECT_EQ(f.log.pumps, 300);
}

TEST(ConversionFrame, ZeroTotalCountsAsOne) {
    // A source without a length must not divide by zero; its position shows as the percentage.
    Frame f({3, 0, 2, 44100, false});
    FakeFormat format;
    EXPECT_EQ(f.Run(kKindWav, format, f.dir.File("o.bin")), 1);
    EXPECT_EQ(format.encoded, 3);
    EXPECT_EQ(f.log.fileTexts.back(), "Converting song.mp3...100%");
}

TEST(ConversionFrame, FailureNeverDeletesTheSource) {
    // When the output path names the source itself, a failed conversion must leave it in place.
    Frame f({10, kTen, 2, 44100, false});
    FakeFormat format;
    format.failEncodeAt = 1;
    // Writing into the source would destroy it, so the format writes elsewhere and the frame is
    // told the output is the source spelled differently.
    format.path = f.dir.File("elsewhere.bin");
    ConversionJob job{kKindMp3,
                      f.dir.File("song.mp3"),
                      f.dir.Path().string() + "/./song.mp3",
                      f.progress,
                      f.engine,
                      f.settings,
                      1};
    EXPECT_EQ(RunConversionFrame(job, f.row, format), 0);
    EXPECT_TRUE(fs::exists(f.dir.File("song.mp3")));
}

TEST(ConversionFrame, UnreadableSourceLeavesTheSupportHint) {
    // No reader: the routine fails before creating anything and the row gets the hint.
    Frame f({10, kTen, 2, 44100, false});
    f.engine.shared.readers = ReaderSet();
    FakeFormat format;
    EXPECT_EQ(f.Run(kKindMp3, format, f.dir.File("o.bin")), 0);
    EXPECT_FALSE(format.finished);
    EXPECT_EQ(f.engine.FailureDetail, kSupportHint);
}

// A sine of a given length, rate, channel count and depth; the right channel is inverted.
class ToneSource final : public AudioSource {
public:
    ToneSource(int rate, int channels, int bits, int frames) : m_frames(frames) {
        m_sampleRate = rate;
        m_channels = m_outputChannels = channels;
        m_bitsPerSample = bits;
        m_bytesPerSample = bits / 8;
        m_totalLength = frames;
    }
    void Close() override {}
    int Open(const char*, int) override { return 1; }
    int ReadBlock(void* left, void* right) override {
        const int n = static_cast<int>(std::min<std::int64_t>(kBlockFrames, m_frames - m_position));
        for (int i = 0; i < n; ++i) {
            const double v =
                0.5 * std::sin(2 * M_PI * 440.0 * static_cast<double>(m_position + i) / m_sampleRate);
            Put(left, i, v);
            if (right) Put(right, i, -v);
        }
        m_position += n;
        return n;
    }

private:
    void Put(void* buffer, int i, double v) const {
        if (m_bitsPerSample == 16)
            static_cast<std::int16_t*>(buffer)[i] = static_cast<std::int16_t>(v * 32767);
        else
            static_cast<std::uint8_t*>(buffer)[i] =
                static_cast<std::uint8_t>(128 + static_cast<int>(v * 127));
    }
    std::int64_t m_frames;
};

// Records the PCM the frame hands over after it asked for `want`.
struct RecordingFormat final : ConversionFormat {
    PcmRequest want;
    std::int64_t frames = 0;
    bool stereo = false;
    int left5 = 0, right5 = 0;  // sample 5 of the first block, as a number
    int bits = 16;
    std::function<bool()> cancelled = [] { return false; };
    int encodesAfterCancel = 0;

    int Start(AudioSource&, ChosenTags&, PcmRequest& request) override {
        request = want;
        return 1;
    }
    int Encode(const PcmBlock& block) override {
        if (cancelled()) ++encodesAfterCancel;
        EXPECT_EQ(block.bits, bits);
        if (frames == 0 && block.frames > 5) {
            stereo = block.right != nullptr;
            left5 = Sample(block.left, 5);
            right5 = block.right ? Sample(block.right, 5) : 0;
        }
        frames += block.frames;
        return 1;
    }
    int Finish() override { return 1; }
    int Sample(const void* p, int i) const {
        return bits == 16 ? static_cast<const std::int16_t*>(p)[i] : static_cast<const std::uint8_t*>(p)[i];
    }
};

struct ChainCase {
    const char* name;
    int sourceChannels;
    PcmRequest request;
    bool stereo;
    std::int64_t frames;
    int left5, right5;
};

void PrintTo(const ChainCase& c, std::ostream* os) {
    *os << c.name;
}

class FrameChain : public ::testing::TestWithParam<ChainCase> {};

TEST_P(FrameChain, FormatReceivesWhatItAskedFor) {
    // The frame alone converts now: a wrong pick, depth, gain or channel count reaches every format.
    // The synthetic source gives left = i and right = -i.
    const ChainCase& c = GetParam();
    Frame f(SyntheticSource::Shape{10, 11520, c.sourceChannels, 44100, false});
    RecordingFormat format;
    format.want = c.request;
    format.bits = c.request.bits ? c.request.bits : 16;
    // The gain comes from the format's row: its amplify option and coefficient.
    f.settings.AmplifyWav = c.request.gain != 0.0f;
    f.settings.AmplifyWavCoeff = static_cast<int>(std::lround(c.request.gain * 100));
    ASSERT_EQ(f.Run(kKindWav, format, f.dir.File("o.bin")), 1);
    EXPECT_EQ(format.stereo, c.stereo);
    EXPECT_NEAR(format.frames, c.frames, 2);
    if (c.request.rate == 0) {
        EXPECT_EQ(format.left5, c.left5);
        if (c.stereo) {
            EXPECT_EQ(format.right5, c.right5);
        }
    }
}

constexpr auto kMix = ChannelPick::Mix, kLeft = ChannelPick::Left, kRight = ChannelPick::Right;
INSTANTIATE_TEST_SUITE_P(
    Requests, FrameChain,
    ::testing::Values(ChainCase{"AsDelivered", 2, {}, true, 11520, 5, -5},
                      ChainCase{"MixedToMono", 2, {0, 1, 0, kMix, 0}, false, 11520, 0, 0},
                      ChainCase{"LeftAlone", 2, {0, 1, 0, kLeft, 0}, false, 11520, 5, 0},
                      ChainCase{"RightAlone", 2, {0, 1, 0, kRight, 0}, false, 11520, -5, 0},
                      ChainCase{"PickIgnoredForStereoOutput", 2, {0, 2, 0, kRight, 0}, true, 11520, 5, -5},
                      ChainCase{"MonoDuplicated", 1, {0, 2, 0, kMix, 0}, true, 11520, 5, 5},
                      ChainCase{"EightBit", 2, {0, 0, 8, kMix, 0}, true, 11520, 128, 127},
                      ChainCase{"Amplified", 2, {0, 0, 0, kMix, 3.0f}, true, 11520, 15, -15},
                      ChainCase{"HalfRateWithTail", 2, {22050, 0, 0, kMix, 0}, true, 5760, 0, 0},
                      ChainCase{"LeftThenResampled", 2, {48000, 1, 0, kLeft, 0}, false, 12538, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct TailCase {
    const char* name;
    int sourceRate, channels, bits, targetRate;
};

void PrintTo(const TailCase& c, std::ostream* os) {
    *os << c.name;
}

class FrameResampleTail : public ::testing::TestWithParam<TailCase> {};

TEST_P(FrameResampleTail, OutputLengthFollowsTheRateRatio) {
    // Without draining the resampler at the end every resampled file lost its last milliseconds.
    const TailCase& c = GetParam();
    Frame f([c]() -> std::unique_ptr<AudioSource> {
        return std::make_unique<ToneSource>(c.sourceRate, c.channels, c.bits, c.sourceRate);
    });
    RecordingFormat format;
    format.want = {c.targetRate, 0, 0, kMix, 0};
    format.bits = c.bits;
    ASSERT_EQ(f.Run(kKindWav, format, f.dir.File("o.bin")), 1);
    // The last source frame may stand for up to target/source output frames.
    EXPECT_NEAR(format.frames, c.targetRate, c.targetRate / c.sourceRate + 1);
}

INSTANTIATE_TEST_SUITE_P(Rates, FrameResampleTail,
                         ::testing::Values(TailCase{"Up8000MonoSixteen", 8000, 1, 16, 44100},
                                           TailCase{"Up8000StereoEight", 8000, 2, 8, 44100},
                                           TailCase{"Down44100StereoSixteen", 44100, 2, 16, 8000},
                                           TailCase{"Down48000MonoEight", 48000, 1, 8, 44100},
                                           TailCase{"Up22050StereoSixteen", 22050, 2, 16, 48000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConversionFrame, CancelledConversionIsNotDrained) {
    // After Cancel the format must not be fed again: the tail belongs to a file being deleted.
    Frame f([]() -> std::unique_ptr<AudioSource> { return std::make_unique<ToneSource>(8000, 1, 16, 8000); });
    f.log.cancelAfterPumps = 2;
    RecordingFormat format;
    format.want = {44100, 0, 0, kMix, 0};
    format.cancelled = [&f] { return f.progress.CancelRequested(); };
    EXPECT_EQ(f.Run(kKindWav, format, f.dir.File("o.bin")), 0);
    EXPECT_GT(format.frames, 0);
    EXPECT_EQ(format.encodesAfterCancel, 0);
}

}  // namespace
