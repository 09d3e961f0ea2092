#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/ConversionFrame.h"
#include "engine/EngineTexts.h"
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

    int Start(AudioSource&) override {
        out.open(path, std::ios::binary);
        out << "header";
        return startResult;
    }
    int Encode(void*, void*, int) override {
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

    explicit Frame(SyntheticSource::Shape shape) {
        std::ofstream(dir.File("song.mp3")) << "source";
        engine.readers = ReaderSet();
        engine.readers.Add(ReaderRole::Bass, "Synthetic", [shape] { return std::make_unique<SyntheticSource>(shape); });
    }
    int Run(SourceKind kind, FakeFormat& format, const std::string& output) {
        format.path = output;
        ConversionJob job{kind, dir.File("song.mp3"), output, progress, engine, settings, 1};
        return RunConversionFrame(job, 44100, format);
    }
};

struct Outcome {
    const char* name;
    SourceKind kind;
    SyntheticSource::Shape shape;
    int cancelAfterPumps, failEncodeAt, startResult, finishResult;
    int expectResult, expectEncoded;
};

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
        Outcome{"CancelStopsBeforeTheBlockIsWritten", kKindMp3, {10, kTen, 2, 44100, false}, 3, -1, 1, 1, 0, 2},
        Outcome{"EncoderFailure", kKindMp3, {10, kTen, 2, 44100, false}, -1, 4, 1, 1, 0, 4},
        Outcome{"FailedFinishIsAFailure", kKindMp3, {10, kTen, 2, 44100, false}, -1, -1, 1, 0, 0, 10},
        Outcome{"StartFailureDeletesWhatItCreated", kKindMp3, {10, kTen, 2, 44100, false}, -1, -1, 0, 1, 0, 0},
        Outcome{"ModuleStopsAtItsLength", kKindModule, {5, kTen, 2, 44100, true}, -1, -1, 1, 1, 1, 5},
        Outcome{"MidiWithoutLengthStopsAfterOneBlock", kKindMidi, {0, 0, 1, 22050, true}, -1, -1, 1, 1, 1, 1},
        Outcome{"OtherKindsIgnoreTheLength", kKindMp3, {10, 1152, 1, 8000, false}, -1, -1, 1, 1, 1, 10}),
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
    ConversionJob job{kKindMp3, f.dir.File("song.mp3"), f.dir.Path().string() + "/./song.mp3", f.progress,
                      f.engine, f.settings, 1};
    EXPECT_EQ(RunConversionFrame(job, 44100, format), 0);
    EXPECT_TRUE(fs::exists(f.dir.File("song.mp3")));
}

TEST(ConversionFrame, UnreadableSourceLeavesTheSupportHint) {
    // No reader: the routine fails before creating anything and the row gets the hint.
    Frame f({10, kTen, 2, 44100, false});
    f.engine.readers = ReaderSet();
    FakeFormat format;
    EXPECT_EQ(f.Run(kKindMp3, format, f.dir.File("o.bin")), 0);
    EXPECT_FALSE(format.finished);
    EXPECT_EQ(f.engine.FailureDetail, kSupportHint);
}

}  // namespace
