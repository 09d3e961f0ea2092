#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "encoders/ConvertToOgg.h"
#include "encoders/Mp3Checks.h"
#include "encoders/WavWriter.h"
#include "engine/EngineContext.h"
#include "settings/ConversionSettings.h"
#include "support/EngineDoubles.h"
#include "support/RecordingUserInteraction.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

/// Runs ConvertToOgg on real files through the program's own readers.
struct OggRun {
    TempDir dir;
    WmfRuntime runtime{[] { return false; }};
    testsupport::RecordingUserInteraction user;
    EngineContext engine{runtime, user};
    ConversionSettings settings{""};
    testsupport::ProgressLog log;
    testsupport::RecordingProgress progress{log};

    OggRun() {
        const auto tone = mp3checks::Tone(44100 * 3, 44100, 1000.0);
        WavWriter wav;
        wav.Open(dir.File("in.wav"), true, 16, 44100);
        wav.Write16(tone.data(), tone.data(), static_cast<int>(tone.size()));
        wav.Close();
    }
    int Convert(const std::string& output) {
        ConversionJob job{kKindWav, dir.File("in.wav"), output, progress, engine, settings, 1};
        return ConvertToOgg(job);
    }
};

TEST(ConvertToOgg, CancelLeavesNoOutputAndTheNextFileConverts) {
    // A cancelled file must vanish; the file after it still gets a stream of its own.
    OggRun run;
    run.log.cancelAfterPumps = 20;
    EXPECT_EQ(run.Convert(run.dir.File("cancelled.ogg")), 0);
    EXPECT_FALSE(std::filesystem::exists(run.dir.File("cancelled.ogg")));
    run.log.cancelAfterPumps = -1;
    ASSERT_EQ(run.Convert(run.dir.File("next.ogg")), 1);
    if (testsupport::HaveTool("oggz-validate")) {
        EXPECT_EQ(testsupport::Run({"oggz-validate", run.dir.File("next.ogg")}), 0);
    }
}

TEST(ConvertToOgg, UnwritableOutputFails) {
    // An output that cannot be created must fail the file rather than report a conversion.
    OggRun run;
    EXPECT_EQ(run.Convert(run.dir.File("missing/out.ogg")), 0);
}

}  // namespace
