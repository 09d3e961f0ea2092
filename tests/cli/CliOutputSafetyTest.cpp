// What happens to files around a conversion: other sources, old outputs, other programs writing the
// same folder, kills and power loss.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>

#include "cli/CliHarness.h"
#include "support/TestSupport.h"

namespace {

using namespace clitest;
namespace fs = std::filesystem;

void WriteTone(const std::string& path, int seconds) {
    WriteWav16(path, 44100, std::vector<std::int16_t>(44100 * static_cast<std::size_t>(seconds), 100),
               std::vector<std::int16_t>(44100 * static_cast<std::size_t>(seconds), -100));
}

std::string RegexText(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

void Age(const std::string& path, std::chrono::hours hours) {
    fs::last_write_time(path, fs::last_write_time(path) - hours);
}

class CliBatchSources : public testing::TestWithParam<int> {};

TEST_P(CliBatchSources, OverwriteNeverReplacesAnotherSourceOfTheBatch) {
    // a.mp3 (an earlier recording) and a.wav in one folder, converted to MP3 beside themselves.
    CliHome home;
    const std::string in = home.File("in");
    fs::create_directories(in);
    WriteWav16(home.File("rec.wav"), 8000, std::vector<std::int16_t>(8000 * 3, 300));
    ASSERT_EQ(home.Run({"-q", "-t", "mp3", "-o", in, home.File("rec.wav")}).status, 0);
    fs::rename(in + "/rec.mp3", in + "/a.mp3");
    const auto recording = testsupport::ReadBytes(in + "/a.mp3");
    WriteWav16(in + "/a.wav", 8000, std::vector<std::int16_t>(8000, 100));

    const auto r = home.Run({"-q", "-t", "mp3", "--beside-source", "--if-exists", "overwrite", "--jobs",
                             std::to_string(GetParam()), in});
    EXPECT_TRUE(testsupport::ReadBytes(in + "/a.mp3") == recording) << "the recording was replaced";
    // The whole run is refused before anything is written: the output of a.mp3 is a.mp3 itself.
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.lines.empty());
    EXPECT_NE(r.err.find("refused: the output of " + in + "/a.mp3 would replace a source of this run"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(Names(in), (std::vector<std::string>{"a.mp3", "a.wav"}));
}

INSTANTIATE_TEST_SUITE_P(Jobs, CliBatchSources, testing::Values(1, 4));

TEST(CliOutputSafety, OverwriteKeepsTheOldFilesPermissionsAndGroup) {
    CliHome home;
    const std::string out = home.File("out");
    fs::create_directories(out);
    WriteWav16(home.File("a.wav"), 8000, std::vector<std::int16_t>(800, 1));
    testsupport::WriteBytes(out + "/a.wav", {'o', 'l', 'd'});
    ASSERT_EQ(::chmod((out + "/a.wav").c_str(), 0640), 0);
    const bool regrouped = ::chown((out + "/a.wav").c_str(), static_cast<uid_t>(-1), 4321) == 0;

    ASSERT_EQ(home.Run({"-q", "-t", "wav", "-o", out, "--if-exists", "overwrite", home.File("a.wav")}).status,
              0);
    struct stat st {};
    ASSERT_EQ(::stat((out + "/a.wav").c_str(), &st), 0);
    EXPECT_GT(st.st_size, 3);
    // Where the group could not be kept, its bits go: access never widens.
    EXPECT_EQ(st.st_mode & 0777, regrouped ? 0640u : 0600u);
    if (regrouped) {
        EXPECT_EQ(st.st_gid, 4321u);
    }
}

TEST(CliOutputSafety, HiddenFilesOfKilledRunsAreNoSourcesAndSkippingRunsSweepThem) {
    CliHome home;
    const std::string in = home.File("in");
    fs::create_directories(in);
    WriteTone(in + "/a.wav", 1);
    testsupport::WriteBytes(in + "/a.mp3", {'o', 'l', 'd'});
    // Leftovers of a killed run: playable audio under the converter's hidden names, one a day old.
    const std::string stale = in + "/.wavelorn-abcdefghijkl.wav", fresh = in + "/.wavelorn-mnopqrstuvwx.wav";
    WriteTone(stale, 1);
    WriteTone(fresh, 1);
    Age(stale, std::chrono::hours(25));

    const auto probe = home.Run({"--probe", in});
    ASSERT_EQ(probe.lines.size(), 1u) << probe.out;
    EXPECT_EQ(probe.lines[0].rfind(in + "/a.wav\t", 0), 0u);

    const auto r = home.Run({"-q", "-t", "mp3", "--beside-source", "--if-exists", "skip", in});
    EXPECT_EQ(r.lines, std::vector<std::string>{in + "/a.wav\tTarget exists and skipped"});
    EXPECT_EQ(Names(in), (std::vector<std::string>{".wavelorn-mnopqrstuvwx.wav", "a.mp3", "a.wav"}));
}

class CliNameTaken : public testing::TestWithParam<const char*> {};

TEST_P(CliNameTaken, WhileConvertingTheModeDecidesAgain) {
    // Another program writes the output's name while the conversion runs.
    CliHome home;
    const std::string out = home.File("out");
    fs::create_directories(out);
    WriteTone(home.File("long.wav"), 120);
    const std::string mode = GetParam();
    const int lines = ::open(home.File("lines.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t pid =
        Spawn(home,
              {"-q", "-t", "wav", "-o", out, "--if-exists", mode, "--set", "AutoDestWAVEncodingParam=0",
               "--set", "WAVSampleRate=48000", home.File("long.wav")},
              lines);
    ::close(lines);
    ASSERT_GT(pid, 0);
    const bool writing = WaitForOutput(pid, out, 1000000);
    testsupport::WriteBytes(out + "/long.wav", {'o', 't', 'h', 'e', 'r'});
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(writing) << "finished before the name could be taken";

    const auto text = testsupport::ReadBytes(home.File("lines.txt"));
    const std::string line(text.begin(), text.end());
    EXPECT_EQ(testsupport::ReadBytes(out + "/long.wav"),
              (std::vector<std::uint8_t>{'o', 't', 'h', 'e', 'r'}));
    if (mode == "rename") {
        EXPECT_EQ(line, home.File("long.wav") + "\tlong_1.wav\t" + out + "/long_1.wav\n");
        EXPECT_EQ(Names(out), (std::vector<std::string>{"long.wav", "long_1.wav"}));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    } else {
        EXPECT_EQ(line, home.File("long.wav") + "\tTarget exists and skipped\n");
        EXPECT_EQ(Names(out), std::vector<std::string>{"long.wav"});
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, CliNameTaken, testing::Values("rename", "skip"));

TEST(CliOutputSafety, OneFolderSpelledTwiceGetsNamesInListOrderUnderJobs) {
    // in/s.wav and in/s.WAV both become s.mp3; the second is named through a bind mount of in.
    CliHome home;
    const std::string in = home.File("in"), alias = home.File("alias");
    fs::create_directories(in);
    fs::create_directories(alias);
    WriteTone(in + "/s.wav", 60);
    WriteWav16(in + "/s.WAV", 8000, std::vector<std::int16_t>(800, 1));
    const auto r =
        home.Run({"-q", "-t", "mp3", "--beside-source", "--jobs", "2", in + "/s.wav", alias + "/s.WAV"},
                 {"unshare", "-m", "sh", "-c", "mount --bind \"$1\" \"$2\" || exit 99; shift 2; \"$@\"", "sh",
                  in, alias});
    if (r.status == 99) GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(r.lines, (std::vector<std::string>{in + "/s.wav\ts.mp3\t" + in + "/s.mp3",
                                                 alias + "/s.WAV\ts_1.mp3\t" + alias + "/s_1.mp3"}));
}

TEST(CliOutputSafety, OutputsReachTheDiskBeforeTheyTakeTheirName) {
    if (!testsupport::HaveTool("strace")) GTEST_SKIP() << "strace is missing";
    CliHome home;
    const std::string out = home.File("out");
    WriteWav16(home.File("a.wav"), 8000, std::vector<std::int16_t>(800, 1));
    const std::string log = home.File("trace.txt");
    // LeakSanitizer cannot run under ptrace; the sanitizer build would abort at exit.
    const auto r = home.Run({"-q", "-t", "wav", "-o", out, home.File("a.wav")},
                            {"env", "ASAN_OPTIONS=detect_leaks=0", "strace", "-f", "-y", "-o", log, "-e",
                             "trace=fsync,fdatasync,rename,renameat2"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::ifstream in(log);
    std::vector<std::string> events;  // "sync-staged", "rename", "sync-folder" in the order they happened
    const std::string folderText = RegexText(out);
    const std::regex staged("sync\\(\\d+<" + folderText + "/\\.wavelorn-[a-z0-9]{12}\\.wav>\\) = 0");
    const std::regex rename("rename.*\\.wavelorn-[a-z0-9]{12}\\.wav\".*\"" + folderText + "/a\\.wav\".* = 0");
    const std::regex folder("sync\\(\\d+<" + folderText + ">\\) = 0");
    for (std::string line; std::getline(in, line);) {
        if (std::regex_search(line, staged)) events.push_back("sync-staged");
        if (std::regex_search(line, rename)) events.push_back("rename");
        if (std::regex_search(line, folder)) events.push_back("sync-folder");
    }
    EXPECT_EQ(events, (std::vector<std::string>{"sync-staged", "rename", "sync-folder"}));
}

TEST(CliOutputSafety, SecondInterruptRemovesTheHiddenFilesBeforeExiting) {
    // Two interrupts at once: the second ends the program before the first could clean up.
    CliHome home;
    WriteTone(home.File("long.wav"), 120);
    fs::copy_file(home.File("long.wav"), home.File("long2.wav"));
    const std::string out = home.File("out");
    const pid_t pid =
        Spawn(home, {"-q", "-t", "wav", "-o", out, "--set", "AutoDestWAVEncodingParam=0", "--set",
                     "WAVSampleRate=48000", "--jobs", "2", home.File("long.wav"), home.File("long2.wav")});
    ASSERT_GT(pid, 0);
    const bool writing = WaitForOutput(pid, out, 1000000);
    kill(pid, SIGTERM);  // the same handler as Ctrl+C; two different signals are never merged
    kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(writing) << "finished before it could be interrupted";
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(Names(out), std::vector<std::string>{});
}

TEST(CliOutputSafety, FilesBelowTheLongestPathAreFoundAndReported) {
    // A tree whose deepest file lies beyond the longest path the system opens.
    CliHome home;
    const std::string in = home.File("in");
    fs::create_directories(in);
    WriteWav16(in + "/top.wav", 8000, std::vector<std::int16_t>(800, 1));
    const std::string level(200, 'd');
    std::string deep = in;
    int fd = ::open(in.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < 24; ++i) {
        ASSERT_EQ(::mkdirat(fd, level.c_str(), 0755), 0);
        const int next = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        deep += "/" + level;
    }
    const int file = ::openat(fd, "deep.wav", O_WRONLY | O_CREAT, 0644);
    ::close(file);
    ::close(fd);
    deep += "/deep.wav";
    ASSERT_GT(deep.size(), 4096u);

    const auto r = home.Run({"-q", "-t", "wav", "-o", home.File("out"), in});
    EXPECT_EQ(r.lines, std::vector<std::string>{in + "/top.wav\ttop.wav\t" + home.File("out/top.wav")});
    EXPECT_NE(r.err.find("skipped " + deep + ": File name too long"), std::string::npos) << r.err;
    testsupport::Run({"rm", "-rf", in + "/" + level});  // removal by path stops at the longest path
}

TEST(CliOutputSafety, AFileSizeLimitFailsTheFileInsteadOfKillingTheBatch) {
    // SIGXFSZ used to end the converter mid-write, leaving its staged file and no status line.
    CliHome home;
    const std::string out = home.File("out");
    fs::create_directories(out);
    WriteTone(home.File("long.wav"), 2);
    const auto r =
        home.Run({"-q", "-t", "wav", "-o", out, home.File("long.wav")}, {"prlimit", "--fsize=100000"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.lines, (std::vector<std::string>{home.File("long.wav") + "\tConversion Failure"}));
    EXPECT_TRUE(Names(out).empty());
}

}  // namespace
