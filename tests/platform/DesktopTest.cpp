#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>
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

/// Sets (or, with null, unsets) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

/// A session bus as far as the desktop calls can tell.
struct WithBus {
    ScopedEnv address{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"};
};

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
    WithBus bus;
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
    WithBus bus;
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

TEST(SelectInExplorer, WithoutASessionBusNoDbusToolRuns) {
    // Without a bus the D-Bus tools try to launch one and print a screenful of errors.
    testsupport::TempDir dir;
    ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", nullptr);
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.Path().c_str());  // holds no "bus" socket
    EXPECT_FALSE(HaveSessionBus());
    DesktopTools tools;
    tools.gdbus = FakeTool(dir, "gdbus", 0);
    tools.dbusSend = FakeTool(dir, "dbus-send", 0);
    tools.opener = FakeTool(dir, "opener", 0);
    EXPECT_EQ(ShowInFileManager(dir.File("a.mp3"), tools), 0);
    EXPECT_EQ(SelectInExplorer(dir.File("a.mp3"), tools), 1);
    EXPECT_TRUE(Logged(dir, "gdbus").empty());
    EXPECT_TRUE(Logged(dir, "dbus-send").empty());
    EXPECT_EQ(Logged(dir, "opener"), (Lines{dir.Path().string()}));
}

TEST(DefaultHandler, AsksTheTypeThenItsProgramAsTheOpenerDoes) {
    // The answer decides whether opening would start this program; it must be the opener's own.
    testsupport::TempDir dir;
    const std::string tool = dir.File("xdg-mime"), log = dir.File("xdg-mime.log");
    std::ofstream(tool) << "#!/bin/sh\necho \"$*\" >> '" << log << "'\n"
                        << "case \"$2\" in filetype) echo 'audio/x-wav; charset=binary';;\n"
                        << "default) echo ' vlc.desktop;mpv.desktop';; esac\n";
    ::chmod(tool.c_str(), 0755);
    DesktopTools tools;
    tools.mime = tool;
    const std::string file = dir.File("a b.wav");
    testsupport::WriteBytes(file, {0});
    EXPECT_EQ(DefaultHandler(file, tools), "vlc.desktop");
    EXPECT_EQ(DefaultHandler(dir.Path().string(), tools), "vlc.desktop");
    EXPECT_EQ(Logged(dir, "xdg-mime"), (Lines{"query filetype " + file, "query default audio/x-wav",
                                              "query default inode/directory"}));

    tools.mime = FakeTool(dir, "failing", 4);
    EXPECT_EQ(DefaultHandler(file, tools), "");
    tools.mime = dir.File("absent");
    EXPECT_EQ(DefaultHandler(file, tools), "");
}

TEST(IsOtherProgram, OurEntriesOldAndNewAndNoneAreNotAnotherProgram) {
    struct Case {
        const char* entry;
        bool other;
    };
    const Case cases[] = {{"vlc.desktop", true},
                          {"org.wavelorn.Wavelorn.desktop", false},
                          {"wavelorn.desktop", false},
                          {"/usr/share/applications/wavelorn.desktop", false},
                          {"", false}};
    for (const auto& c : cases) EXPECT_EQ(IsOtherProgram(c.entry), c.other) << c.entry;
}

}  // namespace

namespace {

TEST(MoveToTrash, WithoutGioTheTrashIsWrittenByHandAndNothingIsLost) {
    // Two files of one name: the second must not replace the first in the trash, and the info file must
    // let a file manager put each back where it was.
    testsupport::TempDir dir;
    const ScopedEnv data("XDG_DATA_HOME", dir.File("data").c_str());
    DesktopTools tools;
    tools.gio = dir.File("no-gio");
    std::vector<std::string> trashed;
    for (const char* folder : {"one", "two"}) {
        std::filesystem::create_directories(dir.File(folder));
        const std::string path = dir.File(std::string(folder) + "/a b.mp3");
        testsupport::WriteBytes(path, {static_cast<std::uint8_t>(folder[0])});
        ASSERT_EQ(MoveToTrash(path, tools), 1);
        EXPECT_FALSE(std::filesystem::exists(path));
        trashed.push_back(path);
    }
    const std::string trash = dir.File("data/Trash");
    EXPECT_EQ(testsupport::ReadBytes(trash + "/files/a b.mp3"), std::vector<std::uint8_t>{'o'});
    EXPECT_EQ(testsupport::ReadBytes(trash + "/files/a b.mp3.2"), std::vector<std::uint8_t>{'t'});
    std::ifstream info(trash + "/info/a b.mp3.2.trashinfo");
    std::stringstream text;
    text << info.rdbuf();
    std::string escaped = trashed[1];
    escaped.replace(escaped.find(' '), 1, "%20");
    EXPECT_EQ(text.str().rfind("[Trash Info]\nPath=" + escaped + "\nDeletionDate=", 0), 0u) << text.str();
    EXPECT_EQ(MoveToTrash(dir.File("gone.mp3"), tools), 0);
}

}  // namespace
