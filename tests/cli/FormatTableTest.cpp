#include <gtest/gtest.h>

#include "cli/CliOptions.h"
#include "encoders/ConversionRoutines.h"
#include "engine/OutputFormats.h"

namespace {

TEST(ConversionRoutines, OnlyFormatsOfTheTableHaveRoutinesAndTheCommandLineNamesThem) {
    // A routine under a code the table lacks would convert into files without name or extension;
    // a -t name that maps elsewhere would convert into the wrong format.
    for (int code = 0; code <= 10000; code += 50)
        if (RoutineForFormat(code)) {
            EXPECT_NE(FindOutputFormat(code), nullptr) << code;
        }
    for (const auto& f : OutputFormatTable()) EXPECT_EQ(OutputFormatFromName(f.cliName), f.code) << f.cliName;
    EXPECT_NE(RoutineForFormat(kFormatMp3), nullptr);
    EXPECT_NE(RoutineForFormat(kFormatWav), nullptr);
}

}  // namespace
