#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/Desktop.h"
#include "support/TestSupport.h"

namespace {

using Lines = std::vector<std::string>;

/// A stand-in program that writes its arguments, one per line, to a log and exits with `code`.
std::string FakeTool(const testsupport::TempDir& dir, const std::string& name, int code) {
    const std::string path = dir.File(name);
    const std::string log = dir.File(name + ".log");
    std::ofstream(path) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" << log
                        << "'\nexit " << code << "\n";
    ::chmod(path.c_str(), 0755);
    return path;
}

Lines Logged(const testsupport::TempDir& dir, const std::string& name) {
    std::ifstream in(dir.File(name + ".log"));
    Lines lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(FileUri, EscapesEverythingOutsideTheUnreservedSet) {
    // An unescaped quote, comma or blank would break the D-Bus argument syntax or the URI.
    struct Case {
        const char* path;
        const char* uri;
    };
    const Case cases[] = {
        {"/music/a.mp3", "file:///music/a.mp3"},
        {"/m/a b,c'd\"e%f", "file:///m/a%20b%2Cc%27d%22e%25f"},
        {"/m/\xC3\xA9t\xC3\xA9~_-.wav", "file:///m/%C3%A9t%C3%A9~_-.wav"},
        {"/m/x]y[z", "file:///m/x%5Dy%5Bz"},
    };
    for (const auto& c : cases) EXPECT_EQ(FileUri(c.path), c.uri) << c.path;
}

TEST(ShellOpen, TargetReachesTheOpenerAsOneUntouchedArgument) {
    // A shell between us and the opener would run commands hidden in file names.
    testsupport::TempDir dir;
    DesktopTools tools;
    tools.opener = FakeTool(dir, "opener", 0);
    const std::string nasty = dir.File("a b; touch pwned $(touch pwned2) `x` 'q\".mp3");
    EXPECT_EQ(ShellOpen(nasty, tools), 1);
    EXPECT_EQ(OpenInBrowser("https://example.org/?a=1&b=2", tools), 1);
    EXPECT_EQ(Logged(dir, "opener"), (Lines{nasty, "https://example.org/?a=1&b=2"}));
    EXPECT_FALSE(std::filesystem::exists("pwned"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("pwned")));
}

TEST(ShellOpen, OpenerFailureIsReported) {
    // A failing or missing opener must not be reported to the caller as success.
    testsupport::TempDir dir;
    DesktopTools failing;
    failing.opener = FakeTool(dir, "opener", 4);
    EXPECT_EQ(ShellOpen("/tmp", failing), 0);
    DesktopTools missing;
    missing.opener = dir.File("no-such-opener");
    EXPECT_EQ(ShellOpen("/tmp", missing), 0);
    EXPECT_EQ(ShellOpen("", failing), 0);
}

TEST(SelectInExplorer, AsksTheFileManagerOverDbus) {
    // The file manager must get the file's URI, so it can select the file rather than open it.
    testsupport::TempDir dir;
    DesktopTools tools;
    tools.gdbus = FakeTool(dir, "gdbus", 0);
    tools.opener = FakeTool(dir, "opener", 0);
    const std::string file = dir.File("out put.mp3");
    EXPECT_EQ(SelectInExplorer(file, tools), 1);
    Lines args = Logged(dir, "gdbus");
    ASSERT_GE(args.size(), 2u);
    EXPECT_EQ(args[args.size() - 2], "['" + FileUri(file) + "']");
    EXPECT_NE(std::find(args.begin(), args.end(), "org.freedesktop.FileManager1.ShowItems"), args.end());
    EXPECT_TRUE(Logged(dir, "opener").empty());
}

TEST(SelectInExplorer, FallsBackToTheOtherToolThenToTheFolder) {
    // Without a file manager on the bus the user must still get the output folder opened.
    testsupport::TempDir dir;
    const std::string file = dir.File("sub/out.mp3");

    DesktopTools noGdbus;  // gdbus absent: dbus-send answers
    noGdbus.gdbus = dir.File("absent");
    noGdbus.dbusSend = FakeTool(dir, "dbus-send", 0);
    noGdbus.opener = FakeTool(dir, "opener", 0);
    EXPECT_EQ(SelectInExplorer(file, noGdbus), 1);
    EXPECT_EQ(Logged(dir, "dbus-send").back(), "string:");
    EXPECT_TRUE(Logged(dir, "opener").empty());

    DesktopTools noManager;  // the call fails: open the folder instead
    noManager.gdbus = FakeTool(dir, "gdbus", 1);
    noManager.dbusSend = dir.File("absent");
    noManager.opener = noGdbus.opener;
    EXPECT_EQ(SelectInExplorer(file, noManager), 1);
    EXPECT_EQ(Logged(dir, "opener"), (Lines{dir.File("sub")}));
}

}  // namespace
