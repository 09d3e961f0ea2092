#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliHarness.h"
#include "support/AmrFrames.h"
#include "support/SynthFixtures.h"
#include "support/TestSupport.h"

namespace {

using namespace clitest;

std::vector<std::int16_t> Tone(int rate, double seconds) {
    std::vector<std::int16_t> s(static_cast<std::size_t>(rate * seconds));
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440.0 * static_cast<double>(i) / rate));
    return s;
}

TEST(CliAmr, OptionsReachTheFileThroughSet) {
    // Every AMR option must be settable by name: band, both modes and DTX of "amr" and of "awb".
    CliHome home;
    WriteWav16(home.File("a.wav"), 16000, Tone(16000, 0.5));
    struct Row {
        std::vector<std::string> args;
        const char* output;
        bool wide;
        int mode;
    };
    const Row rows[] = {
        {{"-t", "amr", "--set", "AMRType=0", "--set", "AMRMode=3"}, "a.amr", false, 3},
        {{"-t", "amr", "--set", "AMRType=1", "--set", "AMRWBMode=1", "--set", "AMRDTX=1"}, "a.amr", true, 1},
        {{"-t", "awb", "--set", "AWBMode=4", "--set", "AWBDTX=1", "--set", "AmplifyAMR=1", "--set",
          "AmplifyAMRCoef=120"},
         "a.awb",
         true,
         4},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args{"-q", "-o", home.File("out"), "--if-exists", "overwrite"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        args.push_back(home.File("a.wav"));
        const auto r = home.Run(args);
        ASSERT_EQ(r.status, 0) << r.out;
        const auto file =
            testsupport::ParseAmrFile(testsupport::ReadBytes(home.File(std::string("out/") + row.output)));
        ASSERT_TRUE(file);
        EXPECT_EQ(file->wide, row.wide);
        EXPECT_EQ(file->CountType(row.mode), 25);
    }
}

TEST(CliAmr, SynthesisedSourcesRenderForBothBands) {
    // MIDI and tracker modules render at the band's rate and stop at their own length.
    CliHome home;
    testsupport::WriteBytes(home.File("tune.mid"), testsupport::TinyMidiFile());
    testsupport::WriteBytes(home.File("tune.mod"), testsupport::TinyModFile());
    for (const char* format : {"amr", "awb"}) {
        SCOPED_TRACE(format);
        const auto r = home.Run(
            {"-q", "-t", format, "-o", home.File(format), home.File("tune.mid"), home.File("tune.mod")});
        ASSERT_EQ(r.status, 0) << r.out;
        const std::string ext = std::string(".") + format;
        const std::pair<std::string, double> outputs[] = {{"tune" + ext, testsupport::kTinyMidiSeconds},
                                                          {"tune_1" + ext, testsupport::kTinyModSeconds}};
        for (const auto& [name, seconds] : outputs) {
            const auto file = testsupport::ParseAmrFile(
                testsupport::ReadBytes(home.File(std::string(format) + "/" + name)));
            ASSERT_TRUE(file) << name;
            EXPECT_EQ(file->wide, std::string(format) == "awb");
            EXPECT_GE(static_cast<double>(file->frames.size()), seconds * 50 - 1) << name;
            EXPECT_LT(static_cast<double>(file->frames.size()), seconds * 50 + 60)
                << name << " ran past its length";
        }
    }
}

TEST(CliAmr, FullDiskIsAConversionFailureWithNoFileLeft) {
    // The encoder writes the file itself; a full disk there must still fail the file and remove it.
    CliHome home;
    WriteWav16(home.File("long.wav"), 16000, Tone(16000, 4));  // about 12 KB of AMR-WB at 23.85 kbit/s
    std::filesystem::create_directories(home.File("out"));
    const std::string script =
        "mount -t tmpfs -o size=4k tmpfs \"$1\" || exit 99; shift; \"$@\"; rc=$?; ls -A \"$OUT\"; exit $rc";
    const auto r = home.Run(
        {"-q", "-t", "awb", "--set", "AWBMode=8", "-o", home.File("out"), home.File("long.wav")},
        {"env", "OUT=" + home.File("out"), "unshare", "-m", "sh", "-c", script, "sh", home.File("out")});
    if (r.status == 99) GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.lines, std::vector<std::string>{home.File("long.wav") + "\tConversion Failure"});
}

}  // namespace
