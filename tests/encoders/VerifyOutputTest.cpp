// Outputs checked before they take their names: broken encoders are caught, damaged sources counted.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "encoders/ConversionRun.h"
#include "encoders/ConvertToMp3.h"
#include "encoders/ConvertToWav.h"
#include "engine/ConversionFrame.h"
#include "engine/EngineTexts.h"
#include "sources/DecoderStartup.h"
#include "support/Mp3Damage.h"

namespace {

using convtest::ConversionRun;
namespace fs = std::filesystem;

enum class Fault { None, DropBlock, CorruptFrame };

/// A real format that goes wrong in one way: leaves out a block, or damages bytes in the middle of
/// the finished file.
class BrokenFormat final : public ConversionFormat {
public:
    BrokenFormat(std::unique_ptr<ConversionFormat> inner, Fault fault, std::string path)
        : m_inner(std::move(inner)), m_fault(fault), m_path(std::move(path)) {}
    int Start(AudioSource& source, ChosenTags& tags, PcmRequest& request) override {
        return m_inner->Start(source, tags, request);
    }
    int Encode(const PcmBlock& block) override {
        if (m_fault == Fault::DropBlock && ++m_blocks == 5) return 1;
        return m_inner->Encode(block);
    }
    int Finish() override {
        const int ok = m_inner->Finish();
        if (m_fault == Fault::CorruptFrame) {
            auto bytes = testsupport::ReadBytes(m_path);
            for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 1500 && i < bytes.size(); ++i)
                bytes[i] = 0;
            testsupport::WriteBytes(m_path, bytes);
        }
        return ok;
    }

private:
    std::unique_ptr<ConversionFormat> m_inner;
    Fault m_fault;
    std::string m_path;
    int m_blocks = 0;
};

class VerifyOutputs : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(StartDecodingLibraries(), DecoderStartupResult::Started); }
    static void TearDownTestSuite() { ShutDownDecodingLibraries(); }
};

struct BrokenCase {
    const char* name;
    int format;
    Fault fault;
    bool verify;
    int expect;
};

TEST_F(VerifyOutputs, BrokenEncodersAreCaughtAndLeaveNoFile) {
    // An encoder that loses audio or writes a damaged frame must fail the file under verification and
    // leave nothing under the output's name; without verification the same faults go unnoticed.
    const BrokenCase cases[] = {
        {"WavDropsABlock", kFormatWav, Fault::DropBlock, true, 0},
        {"WavDropsABlockUnverified", kFormatWav, Fault::DropBlock, false, 1},
        {"Mp3DropsABlock", kFormatMp3, Fault::DropBlock, true, 0},
        {"Mp3WritesACorruptFrame", kFormatMp3, Fault::CorruptFrame, true, 0},
        {"Mp3Sound", kFormatMp3, Fault::None, true, 1},
        {"WavSound", kFormatWav, Fault::None, true, 1},
    };
    for (const BrokenCase& c : cases) {
        SCOPED_TRACE(c.name);
        ConversionRun run(c.format);
        run.settings.VerifyOutputs = c.verify ? 1 : 0;
        convtest::WriteMusicWav(run.dir.File("in.wav"), {44100, 2, 16, 1.0});
        const std::string out = run.dir.File("out.bin");
        ConversionJob job{kKindWav, run.dir.File("in.wav"), out, run.progress, run.engine, run.settings, 1};
        auto inner = c.format == kFormatWav ? MakeWavFormat(job) : MakeMp3Format(job);
        BrokenFormat broken(std::move(inner), c.fault, out);
        EXPECT_EQ(RunConversionFrame(job, *FindOutputFormat(c.format), broken), c.expect);
        EXPECT_EQ(fs::exists(out), c.expect == 1);
        EXPECT_EQ(run.engine.FailureReason.find("verification") != std::string::npos, c.expect == 0)
            << run.engine.FailureReason;
    }
}

TEST_F(VerifyOutputs, EveryFormatsShortestOutputsPass) {
    // A sound of a few milliseconds makes one or two codec frames; raw AAC that short once opened in
    // no reader, so a sound file failed its check.
    for (const OutputFormatInfo& row : OutputFormatTable()) {
        ConversionRun run(row.code, row.needsWmfRuntime);
        if (row.needsWmfRuntime && !run.runtime.IsLoaded()) continue;
        run.settings.VerifyOutputs = 1;
        for (const int frames : {1, 221}) {
            SCOPED_TRACE(std::string(row.name) + ", " + std::to_string(frames) + " frames");
            const std::vector<std::int16_t> click(static_cast<std::size_t>(frames), 8000);
            convtest::WriteWav(run.dir.File("in.wav"), 44100, 2, 16, click, click);
            const std::string out = run.dir.File(std::string("out") + row.extension);
            EXPECT_EQ(run.Convert(kKindWav, run.dir.File("in.wav"), out), 1) << run.engine.FailureReason;
            std::remove(out.c_str());
        }
    }
}

TEST_F(VerifyOutputs, DamagedMp3FramesAreCountedAndStrictFails) {
    // An MP3 with 20 frames wiped out in the middle converts with the count in its note; strict
    // decoding fails it instead.
    ConversionRun run(kFormatWav);
    convtest::WriteMusicWav(run.dir.File("in.wav"), {44100, 2, 16, 3.0});
    run.settings.MP3InfoFrame = 0;
    run.settings.OutputFormat = kFormatMp3;
    const std::string mp3 = run.dir.File("damaged.mp3");
    ASSERT_EQ(run.Convert(kKindWav, run.dir.File("in.wav"), mp3), 1);
    ASSERT_TRUE(testsupport::WipeMp3Frames(mp3, 20));

    run.settings.OutputFormat = kFormatWav;
    for (int strict : {0, 1}) {
        SCOPED_TRACE(strict ? "strict" : "lenient");
        run.settings.StrictDecode = strict;
        run.engine.SourceNote.clear();
        run.engine.FailureDetail.clear();
        const std::string out = run.dir.File(strict ? "strict.wav" : "lenient.wav");
        EXPECT_EQ(run.Convert(kKindMp3, mp3, out), strict ? 0 : 1);
        const std::string& note = strict ? run.engine.FailureDetail : run.engine.SourceNote;
        EXPECT_EQ(note.rfind("20 damaged frame(s)", 0), 0u) << note;
        EXPECT_EQ(fs::exists(out), strict == 0);
    }
}

}  // namespace
