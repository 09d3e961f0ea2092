#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "cli/CliHarness.h"
#include "support/TestSupport.h"

namespace {

using namespace clitest;
namespace fs = std::filesystem;

std::string Text(const std::string& path) {
    const auto b = testsupport::ReadBytes(path);
    return std::string(b.begin(), b.end());
}

void WriteLongWav(const CliHome& home, const std::string& name) {
    const std::size_t frames = 44100 * 120;
    WriteWav16(home.File(name), 44100, std::vector<std::int16_t>(frames, 100),
               std::vector<std::int16_t>(frames, -100));
}

TEST(CliHardening, KilledConversionLeavesNothingUnderTheOutputNameAndKeepsTheOldOutput) {
    // kill -9 cannot be cleaned up after: the output name must never have held the partial file.
    CliHome home;
    WriteLongWav(home, "long.wav");
    const std::string out = home.File("out");
    fs::create_directories(out);
    testsupport::WriteBytes(out + "/long.wav", {'o', 'l', 'd'});
    const pid_t pid =
        Spawn(home, {"-q", "-t", "wav", "-o", out, "--if-exists", "overwrite", "--set",
                     "AutoDestWAVEncodingParam=0", "--set", "WAVSampleRate=48000", home.File("long.wav")});
    ASSERT_GT(pid, 0);
    const bool writing = WaitForOutput(pid, out, 1000000);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(writing) << "finished before it could be killed";
    EXPECT_EQ(Text(out + "/long.wav"), "old");
    const auto names = Names(out);
    ASSERT_EQ(names.size(), 2u);
    const std::string leftover = out + "/" + names[0];
    EXPECT_EQ(names[0].rfind(".wavelorn-", 0), 0u) << names[0];

    // A day later the next batch writing there removes the leftover; a fresh one would be kept.
    const auto old = fs::last_write_time(leftover) - std::chrono::hours(25);
    fs::last_write_time(leftover, old);
    const std::string fresh = out + "/.wavelorn-abcdefghijkl.wav";
    testsupport::WriteBytes(fresh, {'x'});
    WriteWav16(home.File("short.wav"), 8000, std::vector<std::int16_t>(800, 1));
    const auto r =
        home.Run({"-q", "-t", "wav", "-o", out, "--if-exists", "overwrite", home.File("short.wav")});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(Names(out), (std::vector<std::string>{".wavelorn-abcdefghijkl.wav", "long.wav", "short.wav"}));
}

TEST(CliHardening, FailedOverwriteKeepsTheOldOutput) {
    // A conversion that fails (here: the disk fills) must not cost the user the output of an earlier run.
    CliHome home;
    const std::string out = home.File("out");
    fs::create_directories(out);
    testsupport::WriteBytes(home.File("old.wav"), {'o', 'l', 'd'});
    WriteWav16(home.File("a.wav"), 44100, std::vector<std::int16_t>(44100 * 3, 9),
               std::vector<std::int16_t>(44100 * 3, 9));
    const std::string script =
        "mount -t tmpfs -o size=64k tmpfs \"$1\" || exit 99; cp \"$OLD\" \"$1\"/a.wav; shift; \"$@\"; rc=$?; "
        "ls -A \"$OUT\"; cat \"$OUT\"/a.wav; echo; exit $rc";
    const auto r = home.Run(
        {"-q", "-t", "wav", "-o", out, "--if-exists", "overwrite", home.File("a.wav")},
        {"env", "OUT=" + out, "OLD=" + home.File("old.wav"), "unshare", "-m", "sh", "-c", script, "sh", out});
    if (r.status == 99) GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.lines,
              (std::vector<std::string>{home.File("a.wav") + "\tConversion Failure", "a.wav", "old"}));
}

TEST(CliHardening, SaveOnAFullDiskFailsAndLeavesTheStoreAsItWas) {
    CliHome home;
    ASSERT_EQ(home.Run({"--save", "--set", "MP3BitRate=192"}).status, 0);
    const std::string before = home.StoreText();
    const std::string script =
        "d=\"$1\"/wavelorn; cp \"$d\"/registry.reg \"$SAVED\" && mount -t tmpfs -o size=8k tmpfs \"$d\" || "
        "exit 99; "
        "cp \"$SAVED\" \"$d\"/registry.reg; head -c 1M /dev/zero > \"$d\"/filler 2>/dev/null; shift; \"$@\"; "
        "rc=$?; "
        "cmp -s \"$SAVED\" \"$d\"/registry.reg && echo unchanged; ls -A \"$d\"; exit $rc";
    const auto r =
        home.Run({"--save", "--set", "MP3BitRate=320"}, {"env", "SAVED=" + home.File("saved.reg"), "unshare",
                                                         "-m", "sh", "-c", script, "sh", home.File("cfg")});
    if (r.status == 99) GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("wavelorn-cli: could not save the settings in ", 0), 0u) << r.err;
    EXPECT_EQ(r.lines, (std::vector<std::string>{"unchanged", "filler", "registry.reg"}));
    EXPECT_EQ(home.StoreText(), before);

    // The temporary file of a save killed before its rename goes with the next save.
    testsupport::WriteBytes(home.File("cfg/wavelorn/registry.reg.Ab12Cd"), {'x'});
    EXPECT_EQ(home.Run({"--save", "--set", "MP3BitRate=320"}).status, 0);
    EXPECT_EQ(Names(home.File("cfg/wavelorn")), std::vector<std::string>{"registry.reg"});
}

TEST(CliHardening, FifosAndOtherNonFilesAreSkippedWithoutBlocking) {
    // Opening a FIFO blocks until a writer comes: the walk must pass it by and a named one must fail.
    CliHome home;
    fs::create_directories(home.File("in"));
    WriteWav16(home.File("in/a.wav"), 8000, std::vector<std::int16_t>(800, 1));
    ASSERT_EQ(::mkfifo(home.File("in/pipe.wav").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(home.File("named.wav").c_str(), 0600), 0);
    const auto r =
        home.Run({"-q", "-t", "wav", "-o", home.File("out"), home.File("in"), home.File("named.wav")},
                 {"timeout", "-s", "KILL", "60"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.lines,
              (std::vector<std::string>{home.File("in/a.wav") + "\ta.wav\t" + home.File("out/a.wav"),
                                        home.File("named.wav") + "\tFailed to load (not a regular file)"}));
}

TEST(CliHardening, ClosedStandardOutputDoesNotStopTheBatch) {
    // `wavelorn-cli ... | head -1`: the status lines stop, the conversions do not.
    CliHome home;
    for (const char* name : {"a.wav", "b.wav", "c.wav"})
        WriteWav16(home.File(name), 8000, std::vector<std::int16_t>(8000, 1));
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    const pid_t pid = Spawn(home,
                            {"-q", "-t", "wav", "-o", home.File("out"), home.File("a.wav"),
                             home.File("b.wav"), home.File("c.wav")},
                            fds[1]);
    ::close(fds[1]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Names(home.File("out")), (std::vector<std::string>{"a.wav", "b.wav", "c.wav"}));
}

TEST(CliHardening, ReportLostOnAFullDeviceFailsTheRun) {
    // With standard output on a full device every line was lost and the run still said success.
    CliHome home;
    WriteWav16(home.File("a.wav"), 8000, std::vector<std::int16_t>(800, 1));
    const std::vector<std::string> toFull = {"sh", "-c", "exec \"$@\" > /dev/full", "sh"};
    const std::vector<std::vector<std::string>> runs = {
        {"-q", "-t", "wav", "-o", home.File("out"), home.File("a.wav")},
        {"--probe", home.File("a.wav")},
        {"--help"}};
    for (const auto& args : runs) {
        const auto r = home.Run(args, toFull);
        EXPECT_EQ(r.status, 1) << args.front();
        EXPECT_EQ(r.err, "wavelorn-cli: write error: No space left on device\n") << args.front();
    }
    EXPECT_TRUE(fs::exists(home.File("out/a.wav")));  // the batch itself went on
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST(CliHardening, BatchShortOfMemoryFailsFilesInsteadOfCrashing) {
    // Under an address-space limit libfaac's open and libvorbis's set-up crashed on an unchecked
    // allocation: now a file that cannot get its memory fails with the reason, and the others go on.
    if (!testsupport::HaveTool("prlimit")) GTEST_SKIP() << "prlimit missing";
    CliHome home;
    fs::create_directories(home.File("in"));
    for (int i = 0; i < 6; ++i)
        WriteWav16(home.File("in/s" + std::to_string(i) + ".wav"), 44100,
                   std::vector<std::int16_t>(44100 * 2, static_cast<std::int16_t>(100 * i)),
                   std::vector<std::int16_t>(44100 * 2, 7));
    const std::vector<std::string> limit = {"prlimit", "--as=204800000"};
    if (home.Run({"--version"}, limit).status != 0) GTEST_SKIP() << "this build needs more address space";
    for (const char* format : {"m4a", "ogg"}) {
        const std::string out = home.File(std::string("out-") + format);
        const auto r = home.Run({"-q", "-t", format, "--jobs", "16", "-o", out, home.File("in")}, limit);
        ASSERT_TRUE(r.status == 0 || r.status == 1) << format << " status " << r.status << "\n" << r.err;
        ASSERT_EQ(r.lines.size(), 6u) << format;
        std::size_t converted = 0, failed = 0;
        for (const auto& line : r.lines) {
            converted += line.find(std::string(".") + format + "\t") != std::string::npos;
            failed += line.ends_with("\tConversion Failure");
        }
        EXPECT_EQ(converted + failed, 6u) << format << "\n" << r.out;
        // Every failure says why, and nothing is left but the outputs.
        std::size_t reasons = 0;
        for (std::size_t at = 0; (at = r.err.find(": Cannot allocate memory", at)) != std::string::npos; ++at)
            ++reasons;
        EXPECT_EQ(reasons, failed) << format << "\n" << r.err;
        EXPECT_EQ(Names(out).size(), converted) << format;
    }
}
#endif

}  // namespace
