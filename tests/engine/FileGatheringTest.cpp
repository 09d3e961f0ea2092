#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/FileGathering.h"
#include "engine/FileProbe.h"
#include "settings/ConversionSettings.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;
namespace fs = std::filesystem;

struct Tree {
    TempDir dir;
    ConversionSettings settings{""};
    void File(const std::string& rel) {
        fs::create_directories(fs::path(dir.File(rel)).parent_path());
        std::ofstream(dir.File(rel)) << "x";
    }
    std::vector<std::string> Collect(const std::string& folder = "") {
        std::vector<std::string> list;
        CollectFiles(list, folder.empty() ? dir.Path().string() : dir.File(folder), settings);
        for (auto& p : list) p = p.substr(dir.Path().string().size() + 1);
        return list;
    }
};

TEST(CollectFiles, ParentFilesBeforeSubfoldersAndNoFolders) {
    // A folder search lists a folder's own files first, then each subfolder's, never folders.
    Tree t;
    t.File("a/b/c/deep.wav");
    t.File("a/b/mid.wav");
    t.File("a/top.wav");
    t.File("a/.hidden.wav");
    const auto list = t.Collect("a");
    ASSERT_EQ(list.size(), 4u);
    EXPECT_TRUE((list[0] == "a/top.wav" && list[1] == "a/.hidden.wav") ||
                (list[1] == "a/top.wav" && list[0] == "a/.hidden.wav"));
    EXPECT_EQ(list[2], "a/b/mid.wav");
    EXPECT_EQ(list[3], "a/b/c/deep.wav");
}

TEST(CollectFiles, NamesInReadingOrderWithinEachFolder) {
    // The file system's hashed order numbered track01..06 as 5, 6, 3, 4, 1, 2 in a batch.
    Tree t;
    for (const char* name : {"b/x.wav", "track10.wav", "a10/x.wav", "Track2.wav", "track01.wav", "a9/y.wav",
                             "track9.wav", "a9/x.wav"})
        t.File(name);
    EXPECT_EQ(t.Collect(), (std::vector<std::string>{"track01.wav", "Track2.wav", "track9.wav", "track10.wav",
                                                     "a9/x.wav", "a9/y.wav", "a10/x.wav", "b/x.wav"}));
}

TEST(CollectFiles, FilterAndShortcuts) {
    // With the filter on, only listed extensions pass; a ".lnk" link passes as its target.
    Tree t;
    t.settings.EnableExtFilter = 1;
    t.settings.FilterExts = "mp3,wav";
    t.settings.RebuildFilterList();
    t.File("x/Song.MP3");
    t.File("x/song.ogg");
    t.File("x/README");
    t.File("target/real.wav");
    fs::create_directories(t.dir.File("in"));
    fs::create_symlink(t.dir.File("x/Song.MP3"), t.dir.File("in/a.mp3"));
    fs::create_symlink(t.dir.File("target/real.wav"), t.dir.File("in/Song.lnk"));
    fs::create_symlink(t.dir.File("target"), t.dir.File("in/folder.lnk"));
    fs::create_symlink(t.dir.File("in/Song.lnk"), t.dir.File("in/twice.LNK"));
    std::vector<std::string> list;
    CollectFiles(list, t.dir.File("x"), t.settings);
    EXPECT_EQ(list, std::vector<std::string>{t.dir.File("x/Song.MP3")});
    EXPECT_EQ(AcceptFile(t.dir.File("in/Song.lnk"), t.settings), t.dir.File("target/real.wav"));
    EXPECT_EQ(AcceptFile(t.dir.File("in/twice.LNK"), t.settings), t.dir.File("target/real.wav"));
    EXPECT_EQ(AcceptFile(t.dir.File("in/folder.lnk"), t.settings), std::nullopt);
    t.settings.EnableExtFilter = 0;
    EXPECT_EQ(AcceptFile(t.dir.File("in/Song.lnk"), t.settings), t.dir.File("in/Song.lnk"));
}

TEST(CollectFiles, LinkCyclesEndTheWalk) {
    // A folder that links back to its parent must not make the search run forever.
    Tree t;
    t.File("loop/a.wav");
    fs::create_directory_symlink(t.dir.File("loop"), t.dir.File("loop/again"));
    fs::create_symlink(t.dir.File("loop/b.lnk"), t.dir.File("loop/c.lnk"));
    fs::create_symlink(t.dir.File("loop/c.lnk"), t.dir.File("loop/b.lnk"));
    t.settings.EnableExtFilter = 1;
    t.settings.FilterExts = "wav";
    t.settings.RebuildFilterList();
    EXPECT_EQ(t.Collect("loop"), std::vector<std::string>{"loop/a.wav"});
}

struct RowCase {
    int kind, duration, bitrate, rate, channels, channelMode;
    const char *durationText, *bitrateText, *rateText, *channelsText;
};

TEST(FormatRow, CellsOfTheList) {
    // The list's cells follow fixed formats; a wrong one misleads every user at a glance.
    const RowCase cases[] = {
        {2000, 0, 0, 0, 1, 0, "", "", "", "Mono"},
        {2000, 59, 128, 44100, 2, 0, "00:59", "128 kbps", "44100 Hz", "Stereo"},
        {2000, 3599, 1, 8000, 6, 0, "59:59", "1 kbps", "8000 Hz", "5.1"},
        {2000, 3600, 0, 0, 8, 0, "1:00:00", "", "", "8"},
        {2000, 36061, 0, 0, 0, 0, "10:01:01", "", "", "Mono"},
        {1000, 1, 0, 0, 2, 1, "00:01", "", "", "J-Stereo"},
        {1000, 1, 0, 0, 2, 2, "00:01", "", "", "Dual Channel"},
        {1000, 1, 0, 0, 2, 4, "00:01", "", "", ""},
    };
    for (const auto& c : cases) {
        FileEntry e;
        e.path = "/music/a b.wav";
        e.kind = c.kind;
        e.duration = c.duration;
        e.bitrate = c.bitrate;
        e.sampleRate = c.rate;
        e.channels = c.channels;
        e.channelMode = c.channelMode;
        const RowTexts row = FormatRow(e);
        EXPECT_EQ(row.file, "a b.wav");
        EXPECT_EQ(row.duration, c.durationText) << c.duration;
        EXPECT_EQ(row.bitrate, c.bitrateText);
        EXPECT_EQ(row.frequency, c.rateText);
        EXPECT_EQ(row.channels, c.channelsText) << c.kind << " " << c.channels << " " << c.channelMode;
    }
}

}  // namespace
