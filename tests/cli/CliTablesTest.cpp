#include <gtest/gtest.h>

#include "cli/CliOptions.h"
#include "settings/ConversionSettings.h"
#include "settings/OptionChoices.h"

namespace {

// Values of each kind that the parser must take.
std::vector<std::string> ValuesOf(CliValueKind kind) {
    switch (kind) {
        case CliValueKind::None:
            return {};
        case CliValueKind::Format:
            return {"mp3", "WAV"};
        case CliValueKind::Folder:
            return {"/tmp"};
        case CliValueKind::Setting:
            return {"MP3BitRate=192", "MP3Tag.Artist=Someone"};
        case CliValueKind::Number:
            return {"2"};
        case CliValueKind::File:
            return {"plan"};
        case CliValueKind::Shard:
            return {"0/2", "3/4"};
        case CliValueKind::Reader:
            return CliReaderNames();
        case CliValueKind::ReplayGainMode:
            return {"track", "album", "off"};
        case CliValueKind::Loudness:
            return {"-14", "-18", "-31"};
        case CliValueKind::IfExistsMode: {
            std::vector<std::string> modes;
            for (const auto& m : CliIfExistsModes()) modes.emplace_back(m.name);
            return modes;
        }
    }
    return {};
}

TEST(CliOptionTable, EveryOptionOfHelpManualAndCompletionsParses) {
    // An option the table lists but the parser refuses would be advertised everywhere and fail.
    for (const auto& o : CliOptionTable()) {
        const std::vector<std::string> values = o.argument ? ValuesOf(o.kind) : std::vector<std::string>{""};
        ASSERT_FALSE(values.empty()) << o.longName;
        for (const char* name : {o.shortName, o.longName}) {
            if (!name) continue;
            for (const auto& value : values) {
                std::vector<std::string> args{name};
                if (o.argument) args.push_back(value);
                std::string error;
                EXPECT_TRUE(ParseCommandLine(args, error)) << name << " " << value << ": " << error;
            }
        }
    }
}

TEST(CliSettingNames, EveryCodedValueIsKeptAsGiven) {
    // A coded value the manual page and completions offer must not be corrected into another one.
    for (const auto& name : CliSettingNames()) {
        const auto dot = name.find('.');
        for (const auto& choice : OptionChoices(dot == std::string::npos ? name : name.substr(dot + 1))) {
            const std::string value = std::to_string(choice.value);
            std::string error;
            const auto options = ParseCommandLine({"--set", name + "=" + value}, error);
            ASSERT_TRUE(options) << name << ": " << error;
            ConversionSettings settings("");
            ASSERT_TRUE(ApplyOverrides(settings, *options, error)) << name << ": " << error;
            if (dot == std::string::npos) {
                EXPECT_EQ(*settings.IntOption(name), choice.value) << name;
            }
        }
    }
}

}  // namespace
