#include <gtest/gtest.h>

#include <algorithm>

#include "cli/CliOptions.h"
#include "encoders/ConversionRoutines.h"
#include "engine/OutputFormats.h"
#include "settings/ConversionSettings.h"

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

TEST(ConversionRoutines, EveryTagTemplateOfTheTableIsNamedOnTheCommandLine) {
    // A template the command line cannot name could not be set with --set, nor saved with --save.
    const std::vector<std::string> names = CliTemplateNames();
    for (const auto& f : OutputFormatTable()) {
        if (!f.common.tagTemplate) continue;
        bool named = false;
        for (const auto& slot : TagTemplateSlots()) {
            if (slot.member != f.common.tagTemplate) continue;
            named = true;
            const std::string field = std::string(slot.name) + "Tag.Artist";
            EXPECT_NE(std::find(names.begin(), names.end(), std::string(slot.name) + "Tag"), names.end());
            std::string error;
            const auto options = ParseCommandLine({"--set", field + "=Someone"}, error);
            ASSERT_TRUE(options) << error;
            ConversionSettings settings("");
            ASSERT_TRUE(ApplyOverrides(settings, *options, error)) << error;
            EXPECT_EQ((settings.*f.common.tagTemplate).Artist, "Someone") << field;
        }
        EXPECT_TRUE(named) << f.cliName;
    }
}

}  // namespace
