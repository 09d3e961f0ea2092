#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "encoders/ConversionRun.h"
#include "encoders/Mp3Checks.h"
#include "engine/EngineContext.h"
#include "settings/ConversionSettings.h"
#include "support/EngineDoubles.h"
#include "support/RecordingUserInteraction.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

/// Converts one 3 s tone into Ogg Vorbis.
struct OggRun : convtest::ConversionRun {
    OggRun() : ConversionRun(kFormatOgg) {
        const auto tone = mp3checks::Tone(44100 * 3, 44100, 1000.0);
        convtest::WriteWav(dir.File("in.wav"), 44100, 2, 16, tone, tone);
    }
    int Convert(const std::string& output) {
        return ConversionRun::Convert(kKindWav, dir.File("in.wav"), output);
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
