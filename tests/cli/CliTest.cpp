#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

#include "cli/CliHarness.h"
#include "support/SynthFixtures.h"
#include "support/TestSupport.h"

namespace {

using namespace clitest;
namespace fs = std::filesystem;

std::vector<std::string> Files(const std::string& folder) {
    std::vector<std::string> names;
    if (fs::exists(folder))
        for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    const char* message;  // part of what standard error must say
};

void PrintTo(const UsageCase& c, std::ostream* os) {
    *os << c.name;
}

class CliUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CliUsage, RejectedWithStatusTwoAndNothingConverted) {
    // A mistyped command line must not run a batch with half-understood options.
    CliHome home;
    WriteWav16(home.File("a.wav"), 8000, std::vector<std::int16_t>(100, 5));
    std::vector<std::string> args = GetParam().args;
    for (auto& a : args)
        if (a == "A") a = home.File("a.wav");
    std::string err;
    std::vector<std::string> argv = {"sh",
                                     "-c",
                                     "\"$@\" 2>&1 >/dev/null",
                                     "sh",
                                     "env",
                                     "XDG_CONFIG_HOME=" + home.File("cfg"),
                                     "HOME=" + home.File("home"),
                                     CliPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    EXPECT_EQ(testsupport::Run(argv, &err), 2);
    EXPECT_NE(err.find(GetParam().message), std::string::npos) << err;
    EXPECT_EQ(Files(home.File("home/Documents")), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, CliUsage,
    ::testing::Values(
        UsageCase{"UnknownOption", {"--frobnicate", "A"}, "unknown option '--frobnicate'"},
        UsageCase{"UnknownFormat", {"-t", "ape", "A"}, "unknown output format 'ape'"},
        UsageCase{"UnknownSetting", {"--set", "MP3Bitrate=192", "A"}, "unknown settings name"},
        UsageCase{"SetWithoutValue", {"--set", "MP3BitRate", "A"}, "NAME=VALUE"},
        UsageCase{"NotANumber", {"--set", "MP3BitRate=fast", "A"}, "whole number"},
        UsageCase{"MissingValue", {"A", "-o"}, "needs a value"},
        UsageCase{"BadIfExists", {"--if-exists", "merge", "A"}, "unknown --if-exists mode"},
        UsageCase{"UnknownReader", {"--reader", "mpg", "A"}, "unknown reader"},
        UsageCase{"NoFiles", {"-t", "wav"}, "no files given"},
        UsageCase{"NoJobs", {"--jobs", "0", "A"}, "--jobs needs a number from 1"},
        UsageCase{"UnknownTemplateField", {"--set", "MP3Tag.Titel=x", "A"}, "unknown settings name"},
        UsageCase{"TrackAboveAByte",
                  {"--set", "OGGTag.CustomTrackNum=300", "A"},
                  "OGGTag.CustomTrackNum must be from 0 to 255, got '300'"},
        UsageCase{
            "NegativeRate", {"--set", "WAVSampleRate=-1", "A"}, "WAVSampleRate must be one of 0, 6000, 8000"},
        UsageCase{"RateAsDword", {"--set", "WAVSampleRate=4294967295", "A"}, "WAVSampleRate must be one of"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Cli, DoubleDashLetsAFileStartWithADash) {
    // A file named like an option must be convertible.
    CliHome home;
    WriteWav16(home.File("-x.wav"), 8000, std::vector<std::int16_t>(800, 7));
    const auto r = home.Run({"-t", "wav", "-o", home.File("out"), "--", home.File("-x.wav")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.lines,
              std::vector<std::string>{home.File("-x.wav") + "\t-x.wav\t" + home.File("out/-x.wav")});
}

TEST(Cli, ProbePrintsTheListCells) {
    // --probe shows what the file list would show and converts nothing.
    CliHome home;
    WriteWav16(home.File("p.wav"), 22050, std::vector<std::int16_t>(22050 * 61, 1),
               std::vector<std::int16_t>(22050 * 61, 2));
    const auto r = home.Run({"--probe", home.File("p.wav")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.lines,
              std::vector<std::string>{home.File("p.wav") + "\tp.wav\t01:01\t706 kbps\t22050 Hz\tStereo"});
    EXPECT_EQ(Files(home.File("home/Documents")), std::vector<std::string>{});
}

TEST(Cli, ProbeReadsWindowsMediaThroughTheRuntime) {
    // Duration from the header in 100-ns units, bit rate, rate and channels of the audio stream.
    if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP();
    CliHome home;
    ASSERT_EQ(testsupport::Run({"ffmpeg", "-v", "error", "-nostdin", "-f", "lavfi", "-i", "sine=r=32000:d=75",
                                "-ac", "1", "-c:a", "wmav2", "-b:a", "48k", home.File("p.asf")}),
              0);
    const auto r = home.Run({"--probe", "--reader", "wma", home.File("p.asf")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.lines,
              std::vector<std::string>{home.File("p.asf") + "\tp.asf\t01:15\t48 kbps\t32000 Hz\tMono"});
}

struct WavCase {
    const char* name;
    std::vector<std::string> sets;  // NAME=VALUE
    int sourceRate, sourceChannels, sourceBits;
    int expectRate, expectChannels, expectBits;
    int left, right;              // constant source samples (16-bit) or bytes (8-bit)
    int expectLeft, expectRight;  // first output frame; expectRight ignored for mono
};

void PrintTo(const WavCase& c, std::ostream* os) {
    *os << c.name;
}

class CliWav : public ::testing::TestWithParam<WavCase> {};

TEST_P(CliWav, ParametersAndSamples) {
    // Each WAV option combination must give the promised format and the promised sample values.
    const WavCase& c = GetParam();
    CliHome home;
    const std::string src = home.File("src.wav");
    const int frames = c.sourceRate;  // one second
    if (c.sourceBits == 8) {
        WriteWav8(
            src, c.sourceRate,
            std::vector<std::uint8_t>(static_cast<std::size_t>(frames), static_cast<std::uint8_t>(c.left)));
    } else {
        std::vector<std::int16_t> l(static_cast<std::size_t>(frames), static_cast<std::int16_t>(c.left));
        std::vector<std::int16_t> r;
        if (c.sourceChannels == 2)
            r.assign(static_cast<std::size_t>(frames), static_cast<std::int16_t>(c.right));
        WriteWav16(src, c.sourceRate, l, r);
    }
    const auto before = testsupport::ReadBytes(src);
    std::vector<std::string> args = {"-q", "-t", "wav", "-o", home.File("out")};
    for (const auto& s : c.sets) args.insert(args.end(), {"--set", s});
    args.push_back(src);
    const auto r = home.Run(args);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(testsupport::ReadBytes(src), before) << "the source must stay byte-identical";
    const WavContent w = ReadWav(home.File("out/src.wav"));
    EXPECT_EQ(w.rate, c.expectRate);
    EXPECT_EQ(w.channels, c.expectChannels);
    EXPECT_EQ(w.bits, c.expectBits);
    EXPECT_EQ(w.dataSize, w.data.size());
    EXPECT_EQ(w.riffSize, w.data.size() + 36);
    const double expectFrames = static_cast<double>(frames) * c.expectRate / c.sourceRate;
    EXPECT_NEAR(static_cast<double>(w.Frames()), expectFrames, 80.0);
    ASSERT_GT(w.Frames(), 200u);
    const std::size_t mid = w.Frames() / 2;  // past the resampler's start-up
    if (c.expectBits == 8) {
        EXPECT_NEAR(w.data[mid * static_cast<std::size_t>(c.expectChannels)], c.expectLeft, 1);
    } else {
        EXPECT_NEAR(w.Sample16(mid, 0), c.expectLeft, 2);
        if (c.expectChannels == 2) {
            EXPECT_NEAR(w.Sample16(mid, 1), c.expectRight, 2);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, CliWav,
    ::testing::Values(
        WavCase{"AutoKeeps8BitMono", {}, 11025, 1, 8, 11025, 1, 8, 200, 0, 200, 0},
        WavCase{"AutoKeepsStereo", {}, 44100, 2, 16, 44100, 2, 16, 1000, -1000, 1000, -1000},
        WavCase{"MonoToStereoCopies",
                {"AutoDestWAVEncodingParam=0", "WAVSampleRate=0", "WAVChannelNum=2"},
                16000,
                1,
                16,
                16000,
                2,
                16,
                1234,
                0,
                1234,
                1234},
        WavCase{"StereoToMonoMixes",
                {"AutoDestWAVEncodingParam=0", "WAVSampleRate=0", "WAVChannelNum=1", "MonoType=0"},
                8000,
                2,
                16,
                8000,
                1,
                16,
                1000,
                -1001,
                -1,
                0},
        WavCase{"StereoToMonoLeft",
                {"AutoDestWAVEncodingParam=0", "WAVSampleRate=0", "WAVChannelNum=1", "MonoType=1"},
                8000,
                2,
                16,
                8000,
                1,
                16,
                1000,
                -3000,
                1000,
                0},
        WavCase{"StereoToMonoRight",
                {"AutoDestWAVEncodingParam=0", "WAVSampleRate=0", "WAVChannelNum=1", "MonoType=2"},
                8000,
                2,
                16,
                8000,
                1,
                16,
                1000,
                -3000,
                -3000,
                0},
        WavCase{"SixteenTo8Bit",
                {"AutoDestWAVEncodingParam=0", "WAVSampleRate=0", "WAVBitsPerSample=8", "WAVChannelNum=0"},
                8000,
                1,
                16,
                8000,
                1,
                8,
                256 * 20,
                0,
                148,
                0},
        WavCase{"Upsample22050To44100",
                {"AutoDestWAVEncodingParam=0", "WAVSampleRate=44100", "WAVChannelNum=2"},
                22050,
                2,
                16,
                44100,
                2,
                16,
                8000,
                -8000,
                8000,
                -8000},
        WavCase{"AmplifyClipsAt32767",
                {"AmplifyWav=1", "AmplifyWavCoeff=200"},
                8000,
                2,
                16,
                8000,
                2,
                16,
                20000,
                -20000,
                32767,
                -32767},
        WavCase{"AmplifyHalves8Bit",
                {"AmplifyWav=1", "AmplifyWavCoeff=50"},
                8000,
                1,
                8,
                8000,
                1,
                8,
                228,
                0,
                178,
                0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Cli, EmptySourceGivesA44ByteFile) {
    // A source without samples still gives a valid file whose sizes are 36 and 0.
    CliHome home;
    WriteWav16(home.File("empty.wav"), 8000, {});
    const auto r = home.Run({"-q", "-t", "wav", "-o", home.File("out"), home.File("empty.wav")});
    EXPECT_EQ(r.status, 0) << r.out;
    const WavContent w = ReadWav(home.File("out/empty.wav"));
    EXPECT_EQ(w.riffSize, 36u);
    EXPECT_EQ(w.dataSize, 0u);
    EXPECT_EQ(testsupport::ReadBytes(home.File("out/empty.wav")).size(), 44u);
}

TEST(Cli, MixedBatchReportsEachFileAndLeavesNoPartialOutput) {
    // One bad file must not stop the batch, and every row must say what happened to it.
    CliHome home;
    WriteWav16(home.File("good.wav"), 8000, std::vector<std::int16_t>(8000, 3));
    testsupport::WriteBytes(home.File("damaged.wav"),
                            {'R', 'I', 'F', 'F', 1, 2, 3, 4, 'W', 'A', 'V', 'E', 'x'});
    WriteWav16(home.File("kept.wav"), 8000, std::vector<std::int16_t>(8000, 4));
    fs::create_directories(home.File("out"));
    testsupport::WriteBytes(home.File("out/kept.wav"), {'o', 'l', 'd'});
    const auto r = home.Run({"-q", "-t", "wav", "-o", home.File("out"), "--if-exists", "skip",
                             home.File("good.wav"), home.File("damaged.wav"), home.File("kept.wav")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.lines,
              (std::vector<std::string>{home.File("good.wav") + "\tgood.wav\t" + home.File("out/good.wav"),
                                        home.File("damaged.wav") + "\tFailed to load",
                                        home.File("kept.wav") + "\tTarget exists and skipped"}));
    EXPECT_EQ(Files(home.File("out")), (std::vector<std::string>{"good.wav", "kept.wav"}));
    EXPECT_EQ(testsupport::ReadBytes(home.File("out/kept.wav")), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
}

TEST(Cli, ResumedBatchThatSkipsExistingOutputsSucceeds) {
    // Files skipped because their output exists were asked for (--if-exists skip): a script that
    // resumes a batch must not see a failure, named or found in a folder.
    CliHome home;
    fs::create_directories(home.File("in"));
    WriteWav16(home.File("in/a.wav"), 8000, std::vector<std::int16_t>(800, 1));
    WriteWav16(home.File("b.wav"), 8000, std::vector<std::int16_t>(800, 2));
    const std::vector<std::string> args = {"-q",
                                           "-t",
                                           "wav",
                                           "-o",
                                           home.File("out"),
                                           "--if-exists",
                                           "skip",
                                           home.File("in"),
                                           home.File("b.wav")};
    EXPECT_EQ(home.Run(args).status, 0);
    const auto again = home.Run(args);
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_EQ(again.lines, (std::vector<std::string>{home.File("in/a.wav") + "\tTarget exists and skipped",
                                                     home.File("b.wav") + "\tTarget exists and skipped"}));
}

TEST(Cli, EmptyOrRandomFilesAreRefusedAtListingInEveryFormat) {
    // A file no reader can convert must not become a row with blank cells that only fails later.
    CliHome home;
    std::vector<std::string> args = {"--probe"}, expected;
    std::vector<std::uint8_t> noise(5000);
    std::uint32_t x = 12345;
    for (auto& b : noise) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 24);
    for (const char* ext : {"flac", "wav", "mp3", "ogg", "m4a", "wma", "aac"}) {
        for (const char* kind : {"empty", "noise"}) {
            const std::string path = home.File(std::string(kind) + "." + ext);
            testsupport::WriteBytes(path, std::string(kind) == "empty" ? std::vector<std::uint8_t>{} : noise);
            args.push_back(path);
            expected.push_back(path + "\tFailed to load");
        }
    }
    const auto r = home.Run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.lines, expected);
}

TEST(Cli, AuWhoseSoundLiesPastTheEndIsAConversionFailure) {
    // A header placing the audio beyond the file gave a "converted" output without sound.
    struct Case {
        const char* name;
        std::uint32_t offset, size;
    };
    const Case cases[] = {{"unknown.au", 100000, 0xFFFFFFFFu},  // the length runs to the end of the file
                          {"short.au", 100000, 4000},           // half a second: no whole second announced
                          {"atend.au", 224, 4000}};             // data would start right at the end
    CliHome home;
    std::vector<std::string> args = {"-q", "-t", "wav", "-o", home.File("out")}, expected;
    for (const auto& c : cases) {
        std::vector<std::uint8_t> bytes = {'.', 's', 'n', 'd'};
        for (std::uint32_t v : {c.offset, c.size, 3u, 8000u, 1u})
            for (int shift = 24; shift >= 0; shift -= 8)
                bytes.push_back(static_cast<std::uint8_t>(v >> shift));
        bytes.resize(224, 0);
        testsupport::WriteBytes(home.File(c.name), bytes);
        args.push_back(home.File(c.name));
        expected.push_back(home.File(c.name) +
                           "\tConversion Failure (the file holds none of the audio its header announces)");
    }
    const auto r = home.Run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.lines, expected);
    EXPECT_EQ(Files(home.File("out")), std::vector<std::string>{});
}

TEST(Cli, FullDiskIsAConversionFailureWithNoFileLeft) {
    // A write that fails must fail the file and remove what was written, not report success.
    CliHome home;
    WriteWav16(home.File("big.wav"), 44100, std::vector<std::int16_t>(44100 * 3, 9),
               std::vector<std::int16_t>(44100 * 3, 9));
    fs::create_directories(home.File("out"));
    const std::string script =
        "mount -t tmpfs -o size=64k tmpfs \"$1\" || exit 99; shift; \"$@\"; rc=$?; ls -A \"$OUT\"; exit $rc";
    const auto r = home.Run(
        {"-q", "-t", "wav", "-o", home.File("out"), home.File("big.wav")},
        {"env", "OUT=" + home.File("out"), "unshare", "-m", "sh", "-c", script, "sh", home.File("out")});
    if (r.status == 99) GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.lines, std::vector<std::string>{home.File("big.wav") + "\tConversion Failure"});
    // The system's reason, which the status alone does not give.
    EXPECT_NE(r.err.find(home.File("big.wav") + ": No space left on device"), std::string::npos) << r.err;
}

TEST(Cli, SaveStoresOnlyWhatWasGiven) {
    // --save must store the named options for the next run and nothing else.
    CliHome home;
    EXPECT_EQ(home.Run({"--save", "--set", "MP3BitRate=192", "-t", "wav"}).status, 0);
    const std::string store = home.StoreText();
    EXPECT_NE(store.find("\"MP3BitRate\"=dword:000000c0"), std::string::npos) << store;
    EXPECT_NE(store.find("\"OutputFormat\"=dword:000007d0"), std::string::npos) << store;
    // A later run uses the stored format without being told.
    WriteWav16(home.File("a.wav"), 8000, std::vector<std::int16_t>(800, 1));
    const auto r = home.Run({"-q", "-o", home.File("out"), home.File("a.wav")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(fs::exists(home.File("out/a.wav")));
}

TEST(Cli, FolderIsSearchedWithTheFilter) {
    // A folder converts what it holds, subfolders after their parent, filtered when the filter is on.
    CliHome home;
    fs::create_directories(home.File("in/sub"));
    WriteWav16(home.File("in/a.wav"), 8000, std::vector<std::int16_t>(800, 1));
    WriteWav16(home.File("in/sub/b.wav"), 8000, std::vector<std::int16_t>(800, 1));
    WriteWav16(home.File("in/sub/c.wave"), 8000, std::vector<std::int16_t>(800, 1));
    const auto r = home.Run({"-q", "-t", "wav", "-o", home.File("out"), "--set", "EnableExtFilter=1", "--set",
                             "FilterExts=WAV", home.File("in")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.lines,
              (std::vector<std::string>{home.File("in/a.wav") + "\ta.wav\t" + home.File("out/a.wav"),
                                        home.File("in/sub/b.wav") + "\tb.wav\t" + home.File("out/b.wav")}));
}

TEST(Cli, InterruptCancelsAndDeletesThePartialOutput) {
    // Ctrl+C must stop like Cancel: exit 130, the partial outputs of every file converting removed.
    CliHome home;
    const std::size_t frames = 44100 * 120;
    WriteWav16(home.File("long.wav"), 44100, std::vector<std::int16_t>(frames, 100),
               std::vector<std::int16_t>(frames, -100));
    std::filesystem::copy_file(home.File("long.wav"), home.File("long2.wav"));
    const std::string out = home.File("out");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setenv("XDG_CONFIG_HOME", home.File("cfg").c_str(), 1);
        setenv("HOME", home.File("home").c_str(), 1);
        freopen("/dev/null", "w", stdout);
        execl(CliPath().c_str(), "wavelorn-cli", "-q", "-t", "wav", "-o", out.c_str(), "--set",
              "AutoDestWAVEncodingParam=0", "--set", "WAVSampleRate=48000", "--jobs", "2",
              home.File("long.wav").c_str(), home.File("long2.wav").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Wait until the conversion has written something, then interrupt it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    bool exited = false;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            exited = true;
            break;
        }
        if (LargestFileSize(out) > 1000000) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_FALSE(exited) << "finished before it could be interrupted";
    kill(pid, SIGINT);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(Files(out), std::vector<std::string>{});
}

}  // namespace

namespace {

TEST(Cli, SynthesisedSourcesRenderAtTheOutputRate) {
    // MIDI and tracker modules are rendered at the chosen WAV rate and stop at their own length;
    // 6000 Hz, below what the synthesiser renders, used to fail the MIDI file.
    for (const int rate : {22050, 6000}) {
        SCOPED_TRACE(rate);
        CliHome home;
        testsupport::WriteBytes(home.File("tune.mid"), testsupport::TinyMidiFile());
        testsupport::WriteBytes(home.File("tune.mod"), testsupport::TinyModFile());
        const auto r = home.Run(
            {"-q", "-t", "wav", "-o", home.File("out"), "--set", "AutoDestWAVEncodingParam=0", "--set",
             "WAVSampleRate=" + std::to_string(rate), home.File("tune.mid"), home.File("tune.mod")});
        EXPECT_EQ(r.status, 0) << r.out;
        for (const auto& [name, seconds] : {std::pair{"out/tune.wav", testsupport::kTinyMidiSeconds},
                                            std::pair{"out/tune_1.wav", testsupport::kTinyModSeconds}}) {
            const WavContent w = ReadWav(home.File(name));
            EXPECT_EQ(w.rate, rate) << name;
            EXPECT_NEAR(static_cast<double>(w.Frames()), seconds * rate, rate * 0.01) << name;
        }
    }
}

TEST(Cli, MidiWithoutTheSoundFontIsListedAndMarked) {
    // Without the font beside the program a MIDI file failed to load, so the font question and the
    // MIDI status were never reached.
    CliHome home;
    fs::create_directories(home.File("bin"));
    fs::copy_file(CliPath(), home.File("bin/wavelorn-cli"));
    home.UseProgram(home.File("bin/wavelorn-cli"));
    testsupport::WriteBytes(home.File("tune.mid"), testsupport::TinyMidiFile());
    WriteWav16(home.File("a.wav"), 8000, std::vector<std::int16_t>(800, 1));
    const auto probed = home.Run({"--probe", home.File("tune.mid")});
    EXPECT_EQ(probed.status, 0);
    ASSERT_EQ(probed.lines.size(), 1u);
    EXPECT_EQ(probed.lines[0].rfind(home.File("tune.mid") + "\ttune.mid\t", 0), 0u) << probed.lines[0];
    EXPECT_NE(probed.lines[0].find("\t44100 Hz\tStereo"), std::string::npos) << probed.lines[0];
    const auto r = home.Run(
        {"-q", "-n", "-t", "wav", "-o", home.File("out"), home.File("tune.mid"), home.File("a.wav")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.lines,
              (std::vector<std::string>{home.File("tune.mid") + "\tFailure. Requires file \"ct4mgm.sf2\".",
                                        home.File("a.wav") + "\ta.wav\t" + home.File("out/a.wav")}));
    EXPECT_EQ(Files(home.File("out")), std::vector<std::string>{"a.wav"});
}

TEST(Cli, ForcedReaderIsTheOnlyOneTried) {
    // --reader must open with that reader alone: a WAV through the Ogg reader fails to load.
    CliHome home;
    WriteWav16(home.File("a.wav"), 8000, std::vector<std::int16_t>(800, 1));
    EXPECT_EQ(home.Run({"--probe", "--reader", "wav", home.File("a.wav")}).status, 0);
    const auto r = home.Run({"--probe", "--reader", "ogg", home.File("a.wav")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.lines, std::vector<std::string>{home.File("a.wav") + "\tFailed to load"});
}

}  // namespace

namespace {

struct LoadCase {
    const char* name;
    std::vector<std::string> make;  // writes "SRC" from the tone "IN"
    const char* source;
    const char* format;
    bool needsFfmpeg;
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name;
}

class CliLibraryLoading : public ::testing::TestWithParam<LoadCase> {};

// FFmpeg's libraries cost some 30 MiB to map; they must be opened only by the conversions that
// use them. The dynamic loader's own log says which objects a run opened.
TEST_P(CliLibraryLoading, FfmpegIsOpenedOnlyWhenUsed) {
    const LoadCase& c = GetParam();
    CliHome home;
    const std::string tone = home.File("tone.wav"), source = home.File(c.source);
    ASSERT_EQ(testsupport::Run(
                  {"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", tone, "synth", "1", "sine", "440"}),
              0);
    std::vector<std::string> make = c.make;
    for (auto& a : make) a = a == "IN" ? tone : a == "SRC" ? source : a;
    ASSERT_EQ(testsupport::Run(make), 0) << c.name;

    const std::string log = home.File("ld");
    const auto r = home.Run({"-q", "-t", c.format, "-o", home.File("out"), source},
                            {"env", "LD_DEBUG=files", "LD_DEBUG_OUTPUT=" + log});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    std::string opened;
    for (const auto& e : fs::directory_iterator(home.Dir().Path()))
        if (e.path().filename().string().rfind("ld.", 0) == 0) {
            const auto bytes = testsupport::ReadBytes(e.path().string());
            opened.append(bytes.begin(), bytes.end());
        }
    ASSERT_NE(opened.find("libmp3lame"), std::string::npos) << "no loader log";
    EXPECT_EQ(opened.find("libavcodec") != std::string::npos, c.needsFfmpeg);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, CliLibraryLoading,
    ::testing::Values(
        LoadCase{"Mp3ToWav", {"lame", "--quiet", "IN", "SRC"}, "in.mp3", "wav", false},
        LoadCase{"Mp3ToMp3", {"lame", "--quiet", "IN", "SRC"}, "in.mp3", "mp3", false},
        LoadCase{"WavToOgg", {"cp", "IN", "SRC"}, "in.wav", "ogg", false},
        LoadCase{"AiffToM4a", {"sox", "IN", "SRC"}, "in.aiff", "m4a", false},
        LoadCase{"AdpcmWavToWav", {"sox", "IN", "-e", "ms-adpcm", "SRC"}, "in.wav", "wav", true},
        LoadCase{"FlacToWav", {"sox", "IN", "SRC"}, "in.flac", "wav", false},
        LoadCase{"OggFlacToWav", {"flac", "-s", "--ogg", "IN", "-o", "SRC"}, "in.oga", "wav", false},
        LoadCase{"Mp3ToWma", {"lame", "--quiet", "IN", "SRC"}, "in.mp3", "wma", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Cli, DamagedFlacFailsAndAChecksumMismatchIsSaid) {
    // Damaged audio must not pass as a good conversion, and a file whose audio does not match its
    // checksum must not convert silently; both whether files convert one by one or side by side.
    CliHome home;
    const std::string good = home.File("good.flac"), md5 = home.File("md5.flac"), cut = home.File("cut.flac");
    ASSERT_EQ(testsupport::Run(
                  {"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", good, "synth", "3", "sine", "440"}),
              0);
    auto bytes = testsupport::ReadBytes(good);
    testsupport::WriteBytes(cut,
                            std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + bytes.size() * 2 / 3));
    bytes[30] ^= 0xFF;  // inside STREAMINFO's MD5 signature
    testsupport::WriteBytes(md5, bytes);
    for (const char* jobs : {"1", "2"}) {
        const auto r = home.Run({"-q", "-t", "wav", "-o", home.File("out"), "--if-exists", "overwrite",
                                 "--jobs", jobs, good, md5, cut});
        EXPECT_EQ(r.status, 1) << jobs;
        ASSERT_EQ(r.lines.size(), 3u) << r.out << r.err;
        EXPECT_EQ(r.lines[0], good + "\tgood.wav\t" + home.File("out/good.wav"));
        EXPECT_EQ(r.lines[1], md5 + "\tmd5.wav\t" + home.File("out/md5.wav"));
        EXPECT_EQ(r.lines[2].rfind(cut + "\tConversion Failure (damaged FLAC file: ", 0), 0u) << r.lines[2];
        EXPECT_EQ(r.err, "wavelorn-cli: " + md5 +
                             ": the decoded audio does not match the MD5 signature of the FLAC file\n");
        EXPECT_FALSE(fs::exists(home.File("out/cut.wav")));
    }
}

TEST(Cli, AacFamilyTakesItsOptionsAndExtensions) {
    // Each AAC output must get its own extension and the options given with --set.
    CliHome home;
    std::vector<std::int16_t> tone(22050);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<std::int16_t>(8000 * std::sin(0.07 * static_cast<double>(i)));
    WriteWav16(home.File("t.wav"), 22050, tone, tone);
    const auto adts =
        home.Run({"-q", "-t", "aac", "-o", home.File("out"), "--set", "AutoDestAACEncodingParam=0", "--set",
                  "AACMpegVersion=1", home.File("t.wav")});
    ASSERT_EQ(adts.status, 0) << adts.out;
    const auto bytes = testsupport::ReadBytes(home.File("out/t.aac"));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ((bytes[1] >> 3) & 1, 1) << "MPEG-2 ID bit";
    for (const char* format : {"m4a", "mp4", "m4b"}) {
        const auto r = home.Run(
            {"-q", "-t", format, "-o", home.File("out"), "--set", "M4AID3TagType=2", home.File("t.wav")});
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(r.lines, std::vector<std::string>{home.File("t.wav") + "\tt." + format + "\t" +
                                                    home.File(std::string("out/t.") + format)});
        EXPECT_TRUE(fs::exists(home.File(std::string("out/t.") + format)));
    }
}

}  // namespace
