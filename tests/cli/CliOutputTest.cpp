#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "cli/CliHarness.h"
#include "support/Mp3Damage.h"
#include "support/TestSupport.h"

namespace {

using namespace clitest;
namespace fs = std::filesystem;

void Tiny(const std::string& path) {
    WriteWav16(path, 8000, std::vector<std::int16_t>(800, 1));
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(CliOutput, DocumentsFallbackIsNamedAndSaid) {
    // An unusable -o fell back to the documents folder silently: the line showed only the name.
    CliHome home;
    Tiny(home.File("a.wav"));
    testsupport::WriteBytes(home.File("plain"), {'x'});
    const auto r = home.Run({"-q", "-t", "wav", "-o", home.File("plain/sub"), home.File("a.wav")});
    EXPECT_EQ(r.status, 0);
    const std::string output = home.File("home/Documents/a.wav");
    EXPECT_EQ(r.lines, std::vector<std::string>{home.File("a.wav") + "\ta.wav\t" + output});
    EXPECT_TRUE(fs::exists(output));
    EXPECT_TRUE(Has(r.err, "written to " + output)) << r.err;
}

TEST(CliOutput, DamagedSourceFramesAreCountedAndStrictFails) {
    // A source converted over damage was reported as a clean conversion; --strict makes it a failure.
    CliHome home;
    std::vector<std::int16_t> tone(44100 * 3);
    for (std::size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<std::int16_t>((i * 97) % 4000);
    WriteWav16(home.File("a.wav"), 44100, tone, tone);
    ASSERT_EQ(home.Run({"-q", "-t", "mp3", "-o", home.File("mp3"), home.File("a.wav")}).status, 0);
    const std::string mp3 = home.File("mp3/a.mp3");
    ASSERT_TRUE(testsupport::WipeMp3Frames(mp3, 20));
    const std::string note = "a.mp3: 20 damaged frame(s) of the source skipped or concealed";

    const auto lenient = home.Run({"-q", "-t", "wav", "-o", home.File("out"), mp3});
    EXPECT_EQ(lenient.status, 0);
    EXPECT_TRUE(Has(lenient.err, note)) << lenient.err;
    const auto strict = home.Run({"-q", "-t", "wav", "-o", home.File("strict"), "--strict", mp3});
    EXPECT_EQ(strict.status, 1);
    EXPECT_EQ(strict.lines,
              std::vector<std::string>{mp3 + "\tConversion Failure (20 damaged frame(s) of the source "
                                             "skipped or concealed)"});
    EXPECT_FALSE(fs::exists(home.File("strict/a.wav")));
}

TEST(CliOutput, SourcesCutShortAreNotedAndStrictFailsThem) {
    // A PCM file whose header announces more sound than the file holds converted as if whole.
    if (!testsupport::HaveTool("sox")) GTEST_SKIP() << "sox missing";
    for (const char* ext : {"wav", "aiff", "au"}) {
        CliHome home;
        const std::string source = home.File(std::string("cut.") + ext);
        ASSERT_EQ(std::system(("sox -n -r 8000 -c 1 -b 16 '" + source + "' synth 1 sine 300").c_str()), 0);
        fs::resize_file(source, fs::file_size(source) - 2000);  // 1000 frames of 16-bit mono
        const std::string note = "the source ends 1000 frame(s) before the length its header announces";
        const auto lenient = home.Run({"-q", "-t", "wav", "-o", home.File("out"), source});
        EXPECT_EQ(lenient.status, 0) << ext;
        EXPECT_TRUE(Has(lenient.err, note)) << ext << ": " << lenient.err;
        const auto strict = home.Run({"-q", "-t", "wav", "-o", home.File("strict"), "--strict", source});
        EXPECT_EQ(strict.status, 1) << ext;
        EXPECT_EQ(strict.lines, std::vector<std::string>{source + "\tConversion Failure (" + note + ")"})
            << ext;
    }
}

TEST(CliOutput, TabsLineBreaksAndBackslashesInNamesAreEscaped) {
    // A name with a tab or line break split one file's line into wrong fields or two lines.
    CliHome home;
    const std::string name = "t\tn\nb\\.wav";
    Tiny(home.File(name));
    const auto r = home.Run({"-q", "-t", "wav", "-o", home.File("out"), home.File(name)});
    EXPECT_EQ(r.status, 0);
    const std::string escaped = "t\\tn\\nb\\\\.wav";
    EXPECT_EQ(r.lines, std::vector<std::string>{home.File(escaped) + "\t" + escaped + "\t" +
                                                home.File("out/" + escaped)});
    const auto probed = home.Run({"--probe", home.File(name)});
    ASSERT_EQ(probed.lines.size(), 1u);
    EXPECT_EQ(probed.lines[0].rfind(home.File(escaped) + "\t" + escaped + "\t", 0), 0u);
}

TEST(CliOutput, SavedFoldersAreAbsolute) {
    // "-o relout --save" stored "relout", which later runs took from wherever they started.
    CliHome home;
    fs::create_directories(home.File("work"));
    const std::vector<std::string> inWork = {"sh", "-c", "cd \"$0\" && exec \"$@\"", home.File("work")};
    ASSERT_EQ(home.Run({"--save", "-o", "relout", "--set", "Folder=adds"}, inWork).status, 0);
    const std::string store = home.StoreText();
    EXPECT_TRUE(Has(store, "\"DestSpecifiedFolder\"=\"" + home.File("work/relout") + "\"")) << store;
    EXPECT_TRUE(Has(store, "\"Folder\"=\"" + home.File("work/adds") + "\"")) << store;
}

TEST(CliOutput, TagTemplatesAreSetAndSaved) {
    // "--set MP3Tag.Title=..." was an unknown name: templates could not be used from the command line.
    if (!testsupport::HaveTool("ffprobe")) GTEST_SKIP();
    CliHome home;
    Tiny(home.File("a.wav"));
    const auto r = home.Run({"-q", "-t", "mp3", "-o", home.File("out"), "--save", "--set", "MP3ID3TagType=0",
                             "--set", "MP3Tag.TitleAsFileName=0", "--set", "MP3Tag.Title=Set Title", "--set",
                             "M4ATag.TrackNumType=2", "--set", "OGGTag.Artist=Someone", home.File("a.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string tags;
    testsupport::Run({"ffprobe", "-v", "error", "-show_entries", "format_tags=title", "-of", "default=nw=1",
                      home.File("out/a.mp3")},
                     &tags);
    EXPECT_EQ(tags, "TAG:title=Set Title\n");
    const std::string store = home.StoreText();
    for (const char* expected : {"\\Options\\MP3Tag]", "\"Title\"=\"Set Title\"", "\\Options\\M4ATag]",
                                 "\"TrackNumType\"=dword:00000002", "\"Artist\"=\"Someone\""})
        EXPECT_TRUE(Has(store, expected)) << expected << "\n" << store;
}

TEST(CliOutput, LoadFailuresSayWhy) {
    // A missing file, a file no reader takes and a damaged one all said only "Failed to load".
    CliHome home;
    testsupport::WriteBytes(home.File("notes.txt"), {'h', 'i'});
    const auto r =
        home.Run({"-q", "-t", "wav", "-o", home.File("out"), home.File("gone.wav"), home.File("notes.txt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.lines, (std::vector<std::string>{home.File("gone.wav") + "\tFailed to load",
                                                 home.File("notes.txt") + "\tFailed to load"}));
    EXPECT_TRUE(Has(r.err, home.File("gone.wav") + ": no such file")) << r.err;
    EXPECT_TRUE(Has(r.err, home.File("notes.txt") + ": no reader accepts it")) << r.err;
}

TEST(CliOutput, UnreadableFilesFoundInAFolderAreSkippedInWalkOrder) {
    // A cover or playlist beside the music made every folder run exit 1, and its line came first.
    CliHome home;
    fs::create_directories(home.File("in"));
    Tiny(home.File("in/1.wav"));
    testsupport::WriteBytes(home.File("in/2 cover.jpg"),
                            {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
    Tiny(home.File("in/3.wav"));
    testsupport::WriteBytes(home.File("in/4.m3u"), {'1', '.', 'w', 'a', 'v', '\n'});
    const auto r = home.Run({"-q", "-t", "wav", "-o", home.File("out"), home.File("in")}, {}, true);
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.lines.size(), 4u) << r.out;
    EXPECT_EQ(r.lines[0].rfind(home.File("in/1.wav") + "\t", 0), 0u);
    EXPECT_EQ(r.lines[1], "wavelorn-cli: skipped " + home.File("in/2 cover.jpg") + ": no reader accepts it");
    EXPECT_EQ(r.lines[2].rfind(home.File("in/3.wav") + "\t", 0), 0u);
    EXPECT_EQ(r.lines[3], "wavelorn-cli: skipped " + home.File("in/4.m3u") + ": no reader accepts it");
    // A file the user names is still a failure.
    EXPECT_EQ(home.Run({"-q", "-t", "wav", "-o", home.File("out"), home.File("in/4.m3u")}).status, 1);
}

TEST(CliOutput, HelpOffersExactlyTheFormatsThatConvert) {
    // --help offered every format, most of which then said "not available"; -t MP3 was refused.
    CliHome home;
    Tiny(home.File("a.wav"));
    const auto help = home.Run({"--help"});
    std::string offered;
    for (const auto& line : help.lines)
        if (line.rfind("  -t, --to FORMAT", 0) == 0) offered = line;
    ASSERT_FALSE(offered.empty()) << help.out;
    for (const std::string name : {"mp3", "wav", "wma", "ogg", "aac", "m4a", "mp4", "m4b", "amr", "awb"}) {
        const auto r = home.Run({"-q", "-n", "-t", name, "-o", home.File("out-" + name), home.File("a.wav")});
        EXPECT_EQ(Has(offered, " " + name + " ") || Has(offered, " " + name + "("), r.status != 2) << name;
    }
    const auto upper = home.Run({"-q", "-t", "MP3", "-o", home.File("upper"), home.File("a.wav")});
    EXPECT_EQ(upper.status, 0) << upper.err;
    EXPECT_TRUE(fs::exists(home.File("upper/a.mp3")));
}

}  // namespace
