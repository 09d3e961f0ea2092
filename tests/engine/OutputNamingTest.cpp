#include <gtest/gtest.h>

#include <filesystem>

#include "engine/OutputNaming.h"
#include "engine/OutputStaging.h"
#include "settings/ConversionSettings.h"
#include "support/ReadOnlyMount.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

const std::string kSameFile =
    "Target file name is same as original file that can't be overwritten. Please output files to a custom "
    "folder.";

constexpr int kMp3 = 1000, kWav = 2000;
constexpr int kRename = 11, kOverwrite = 22, kSkip = 33;

class OutputNaming : public ::testing::Test {
protected:
    testsupport::TempDir tmp;
    std::string root = tmp.Path().string();
    std::string docs = root + "/docs";
    int documentsAsked = 0;

    std::string Put(const std::string& rel, const std::string& content = "source data") {
        const fs::path p = tmp.Path() / rel;
        fs::create_directories(p.parent_path());
        testsupport::WriteBytes(p.string(), std::vector<std::uint8_t>(content.begin(), content.end()));
        return p.string();
    }
    std::string Content(const std::string& path) {
        const auto b = testsupport::ReadBytes(path);
        return std::string(b.begin(), b.end());
    }
    ConversionSettings Settings(int format, int exists, const std::string& folder = "", bool retry = false) {
        ConversionSettings s(docs);
        s.OutputFormat = format;
        s.TargetExistsOpt = exists;
        s.DestOutputFolderOpt = folder.empty() ? 199 : 399;
        s.DestSpecifiedFolder = folder;
        s.OutputFiles2MyDocuments = retry ? 1 : 0;
        return s;
    }
    // The first-choice output name in a chosen folder ("" otherwise).
    static std::string OutputGuess(const std::string& source, const ConversionSettings& s) {
        if (s.DestSpecifiedFolder.empty()) return "";
        return s.DestSpecifiedFolder + "/" + fs::path(source).stem().string() +
               (s.OutputFormat == kMp3 ? ".mp3" : ".wav");
    }
    // Returns the output path, or "!" followed by the message.
    std::string Resolve(const std::string& source, const ConversionSettings& s) {
        FileEntry e;
        e.path = source;
        std::string message;
        const auto lookup = [this] {
            ++documentsAsked;
            fs::create_directories(docs);
            return docs;
        };
        const bool existed = fs::exists(fs::symlink_status(OutputGuess(source, s)));
        if (!ResolveOutputPath(e, message, s, lookup)) return "!" + message;
        if (!existed) {
            EXPECT_FALSE(fs::exists(fs::symlink_status(e.outputPath)))
                << "creation test left " << e.outputPath;
        }
        for (const auto& f : fs::directory_iterator(fs::path(e.outputPath).parent_path()))
            EXPECT_NE(f.path().filename().string().rfind(".wavelorn-", 0), 0u) << "left " << f.path();
        return e.outputPath;
    }
};

TEST_F(OutputNaming, RenameModeCountsUpPastExistingNames) {
    // Rename mode must never pick a name that exists, and the creation test must not leave the file behind.
    const std::string src = Put("a/song.mp3");
    const ConversionSettings s = Settings(kWav, kRename);
    EXPECT_EQ(Resolve(src, s), root + "/a/song.wav");
    Put("a/song.wav");
    EXPECT_EQ(Resolve(src, s), root + "/a/song_1.wav");
    Put("a/song_1.wav");
    EXPECT_EQ(Resolve(src, s), root + "/a/song_2.wav");
    fs::create_directory(root + "/a/song_2.wav");  // a folder of that name counts as existing too
    EXPECT_EQ(Resolve(src, s), root + "/a/song_3.wav");
}

TEST_F(OutputNaming, NamesAreTakenFromTheFileNamePartOnly) {
    // The extension is cut from the file name only, and unusual characters must pass through untouched.
    struct Case {
        const char* source;
        const char* output;
    };
    const Case cases[] = {
        {"n/song", "n/song.mp3"},
        {"n/dir.v2/song", "n/dir.v2/song.mp3"},
        {"n/a.b.flac", "n/a.b.mp3"},
        {"n/-rf \"q\" 'x' \xc3\xa9\xe2\x99\xab  sp.wav", "n/-rf \"q\" 'x' \xc3\xa9\xe2\x99\xab  sp.mp3"},
        {"n/trailing dot.", "n/trailing dot.mp3"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Resolve(Put(c.source), Settings(kMp3, kRename)), root + "/" + c.output) << c.source;
}

TEST_F(OutputNaming, OverwriteOfTheSourceIsRefusedWhateverTheSpelling) {
    // Overwrite mode deletes an existing target; if that target is the source by any spelling, the source
    // dies.
    const std::string src = Put("real/song.wav", "precious");
    fs::create_directories(root + "/other");
    fs::create_directory_symlink(root + "/real", root + "/linkdir");
    fs::create_directories(root + "/viaLink");
    fs::create_symlink(src, root + "/viaLink/song.wav");
    fs::create_directories(root + "/hard");
    fs::create_hard_link(src, root + "/hard/song.wav");
    // A case-insensitive volume shows one file under two spellings; a hard link does the same here.
    const std::string ciSource = Put("ci/Song.WAV", "precious too");
    fs::create_hard_link(ciSource, root + "/ci/Song.wav");

    struct Case {
        std::string source;
        std::string folder;  // "" for beside the source
    };
    const Case cases[] = {
        {src, ""},
        {src, root + "/real/./"},
        {src, root + "/other/../real"},
        {src, root + "//real//"},
        {src, root + "/linkdir"},
        {src, root + "/viaLink"},
        {src, root + "/hard"},
        {root + "/linkdir/song.wav", root + "/real"},
        {ciSource, ""},
    };
    for (const auto& c : cases) {
        const std::string before = Content(c.source);
        EXPECT_EQ(Resolve(c.source, Settings(kWav, kOverwrite, c.folder, true)), "!" + kSameFile) << c.folder;
        EXPECT_EQ(Content(c.source), before) << c.folder;
    }
    EXPECT_EQ(documentsAsked, 0) << "the same-file refusal must not retry in the documents folder";
    EXPECT_TRUE(fs::is_symlink(root + "/viaLink/song.wav"));
}

TEST_F(OutputNaming, ExistingTargetsByMode) {
    // Overwrite keeps the old target for now; skip touches nothing; no mode writes through a planted link.
    const std::string src = Put("in/a.flac");
    const std::string out = root + "/out";
    const std::string victim = Put("victim.txt", "keep me");

    Put("out/a.mp3", "old output");
    EXPECT_EQ(Resolve(src, Settings(kMp3, kOverwrite, out)), out + "/a.mp3");
    EXPECT_EQ(Content(out + "/a.mp3"), "old output") << "the old target stays until a conversion replaces it";
    fs::remove(out + "/a.mp3");

    Put("out/a.mp3", "old output");
    EXPECT_EQ(Resolve(src, Settings(kMp3, kSkip, out, true)), "!Target exists and skipped");
    EXPECT_EQ(Content(out + "/a.mp3"), "old output");
    EXPECT_EQ(documentsAsked, 0);
    fs::remove(out + "/a.mp3");

    fs::create_symlink(victim, out + "/a.mp3");
    EXPECT_EQ(Resolve(src, Settings(kMp3, kOverwrite, out)), out + "/a.mp3");
    EXPECT_EQ(Content(victim), "keep me");
    fs::remove(out + "/a.mp3");

    fs::create_symlink(root + "/nowhere/x", out + "/a.mp3");  // dangling: exists as a name
    EXPECT_EQ(Resolve(src, Settings(kMp3, kRename, out)), out + "/a_1.mp3");
    EXPECT_FALSE(fs::exists(root + "/nowhere"));

    fs::create_directory(out + "/b.mp3");
    EXPECT_EQ(Resolve(Put("in/b.wav"), Settings(kMp3, kOverwrite, out)),
              "!Failed to create file \"" + out + "/b.mp3\"");
    EXPECT_TRUE(fs::is_directory(out + "/b.mp3"));
}

TEST_F(OutputNaming, OverwriteNeverReplacesASourceOfTheBatch) {
    // Not at naming, nor when a source of the batch took the output's name while it converted.
    const std::string out = root + "/out";
    const std::string recording = Put("out/a.mp3", "recording"), other = Put("in/b.mp3", "other source");
    FileEntry e;
    e.path = Put("in/a.wav");
    const BatchNaming batch{nullptr, {IdentityOf(recording), IdentityOf(other), IdentityOf(e.path)}};
    const ConversionSettings s = Settings(kMp3, kOverwrite, out);
    std::string message;
    ASSERT_TRUE(ResolveOutputPath(e, message, s, batch)) << message;
    EXPECT_EQ(e.outputPath, out + "/a_1.mp3");
    EXPECT_EQ(e.outputNote, "\"a.mp3\" is a source of this batch and was not replaced");

    StagedOutput staged(e.outputPath);
    testsupport::WriteBytes(staged.Path(), {'n', 'e', 'w'});
    fs::rename(other, out + "/a_1.mp3");
    EXPECT_EQ(PlaceOutput(e, staged, message, s, batch), Placement::Placed);
    EXPECT_EQ(e.outputPath, out + "/a_2.mp3");
    EXPECT_EQ(Content(out + "/a.mp3"), "recording");
    EXPECT_EQ(Content(out + "/a_1.mp3"), "other source");
    EXPECT_EQ(Content(out + "/a_2.mp3"), "new");
}

TEST_F(OutputNaming, CreateDirsRebuildsTheSourceFolderBelowTheChosenOne) {
    // The rebuilt folder must land inside the chosen folder, even for a source path with "..".
    const std::string src = Put("music/rock/a.flac");
    ConversionSettings s = Settings(kMp3, kRename, root + "/out");
    s.CreateDirs = 1;
    const std::string expected = root + "/out" + root + "/music/rock/a.mp3";
    EXPECT_EQ(Resolve(src, s), expected);
    EXPECT_TRUE(fs::is_directory(root + "/out" + root + "/music/rock"));
    fs::create_directories(root + "/music/x");
    EXPECT_EQ(Resolve(root + "/music/x/../rock//a.flac", s), expected);

    Put("out/blocker");  // a file where a folder level must go
    s.DestSpecifiedFolder = root + "/out/blocker/deeper";
    EXPECT_EQ(Resolve(src, s), "!Failed to create folder \"" + root + "/out/blocker/deeper\"");
}

TEST_F(OutputNaming, EmptyFolderTextFailsOrFallsBackToDocuments) {
    // An empty custom folder must fail with its (empty) name, or go to the documents folder when allowed.
    const std::string src = Put("in/a.wav");
    ConversionSettings s = Settings(kMp3, kRename, "x");
    s.DestSpecifiedFolder = "";
    EXPECT_EQ(Resolve(src, s), "!Failed to create folder \"\"");
    s.OutputFiles2MyDocuments = 1;
    EXPECT_EQ(Resolve(src, s), docs + "/a.mp3");
}

TEST_F(OutputNaming, OverlongNamesFailWithTheFileMessage) {
    // Names at the 255-byte limit must work; longer ones must fail cleanly, also while renaming.
    const std::string longest(251, 'x');
    const std::string src = Put("n/" + longest + ".wav");
    EXPECT_EQ(Resolve(src, Settings(kMp3, kRename)), root + "/n/" + longest + ".mp3");
    Put("n/" + longest + ".mp3");
    EXPECT_EQ(Resolve(src, Settings(kMp3, kRename)),
              "!Failed to create file \"" + root + "/n/" + longest + "_1.mp3\"");

    const std::string tooLong(252, 'y');
    const std::string src2 = Put("n/" + tooLong + ".w");
    EXPECT_EQ(Resolve(src2, Settings(kMp3, kRename)),
              "!Failed to create file \"" + root + "/n/" + tooLong + ".mp3\"");
}

TEST_F(OutputNaming, ReadOnlyFolderUsesDocumentsOnlyWhenAllowed) {
    // An unwritable output folder must give the file message, or the documents folder with the right
    // structure.
    const std::string ro = root + "/ro";
    const std::string src = Put("ro/in/a.wav");
    const std::string expectNoRetry = "!Failed to create file \"" + ro + "/a.mp3\"";
    const std::string expectFolder = "!Failed to create folder \"" + ro + root + "/ro/in/\"";
    const std::string expectDocsDirs = docs + root + "/ro/in/a.mp3";
    const std::string expectDocsFlat = docs + "/a.mp3";
    fs::create_directories(docs);

    const int rc = testsupport::RunWithReadOnlyFolder(ro, [&] {
        if (Resolve(src, Settings(kMp3, kRename, ro)) != expectNoRetry) return 1;
        ConversionSettings dirs = Settings(kMp3, kRename, ro);
        dirs.CreateDirs = 1;
        if (Resolve(src, dirs) != expectFolder) return 2;
        dirs.OutputFiles2MyDocuments = 1;
        if (Resolve(src, dirs) != expectDocsDirs) return 3;
        // Beside the source (also read-only): the retry does not rebuild folders.
        ConversionSettings beside = Settings(kMp3, kRename, "", true);
        beside.CreateDirs = 1;
        if (Resolve(src, beside) != expectDocsFlat) return 4;
        return 0;
    });
    if (rc < 0) GTEST_SKIP() << "mount namespaces are not permitted here";
    EXPECT_EQ(rc, 0);
}

TEST(EnsureFolder, CreatesMissingLevelsAndRejectsFiles) {
    // A folder walk that accepts a file as a level, or creates without being asked, misplaces output.
    testsupport::TempDir tmp;
    const std::string root = tmp.Path().string();
    testsupport::WriteBytes(root + "/file", {'x'});
    struct Case {
        std::string path;
        bool create;
        bool result;
        bool existsAfter;
    };
    const Case cases[] = {
        {root, false, true, true},
        {root + "/a/b", false, false, false},
        {root + "/a/b/c", true, true, true},
        {root + "/d//e/", true, true, true},
        {root + "/file", true, false, false},
        {root + "/file/sub", true, false, false},
        {"", true, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EnsureFolder(c.path, c.create), c.result) << c.path;
        EXPECT_EQ(!c.path.empty() && fs::is_directory(c.path), c.existsAfter) << c.path;
    }
}

}  // namespace
