#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/SystemCodePage.h"
#include "sources/Mp4Tags.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

/// A short AAC file in an MP4 container with the given ffmpeg metadata (key=value each).
std::string MakeM4a(const TempDir& dir, const std::string& name, const std::vector<std::string>& metadata) {
    std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=duration=0.1",
                                     "-c:a",   "aac"};
    for (const auto& m : metadata) argv.insert(argv.end(), {"-metadata", m});
    argv.push_back(dir.File(name));
    EXPECT_EQ(testsupport::Run(argv), 0);
    return dir.File(name);
}

/// Every field preset, so untouched fields can be told from emptied ones.
TagSet Preset() {
    return {"t0", "a0", "l0", "y0", "g0", "c0", "n0", "w0", "r0"};
}

class ScopedCodePage {
public:
    explicit ScopedCodePage(const std::string& codeset) : m_old(SystemCodePage()) {
        SetSystemCodePage(codeset);
    }
    ~ScopedCodePage() { SetSystemCodePage(m_old); }

private:
    std::string m_old;
};

TEST(ReadMp4Tags, ReadsEveryItemIntoTheSystemCodePage) {
    // Fields crossed over, a missing item or UTF-8 left unconverted would corrupt the written tags.
    if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP();
    TempDir dir;
    const auto path = MakeM4a(dir, "all.m4a",
                              {"title=Caf\xc3\xa9", "artist=Artist", "album=Album", "date=1987", "genre=Jazz",
                               "comment=Remark", "track=5/9", "composer=Writer", "copyright=Owner"});
    const ScopedCodePage cp("ISO-8859-1");
    TagSet tags = Preset();
    EXPECT_EQ(ReadMp4Tags(path, tags), 1);
    EXPECT_EQ(tags.title, "Caf\xe9");
    EXPECT_EQ(tags.artist, "Artist");
    EXPECT_EQ(tags.album, "Album");
    EXPECT_EQ(tags.year, "1987");
    EXPECT_EQ(tags.genre, "Jazz");
    EXPECT_EQ(tags.comment, "Remark");
    EXPECT_EQ(tags.track, "5");
    EXPECT_EQ(tags.composer, "Writer");
    EXPECT_EQ(tags.copyright, "");  // never taken from the file
}

TEST(ReadMp4Tags, TrackAloneFillsTheTrackButDoesNotCount) {
    // The caller must still ask the source's own reader when the file has no text items.
    if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP();
    TempDir dir;
    const auto path = MakeM4a(dir, "track.m4a", {"track=7"});
    TagSet tags = Preset();
    EXPECT_EQ(ReadMp4Tags(path, tags), 0);
    EXPECT_EQ(tags.track, "7");
    EXPECT_EQ(tags.title, "t0");
    EXPECT_EQ(tags.composer, "w0");
}

TEST(ReadMp4Tags, FilesThatAreNotMp4GiveNothing) {
    // Missing, foreign or cut-off files must yield 0 and leave the texts alone, never crash.
    if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP();
    TempDir dir;
    const auto good = testsupport::ReadBytes(MakeM4a(dir, "good.m4a", {"title=T", "artist=A"}));
    testsupport::WriteBytes(dir.File("cut.m4a"), std::vector<std::uint8_t>(good.begin(), good.begin() + 40));
    testsupport::WriteBytes(dir.File("text.m4a"), std::vector<std::uint8_t>(200, 'x'));
    for (const std::string name : {"missing.m4a", "cut.m4a", "text.m4a"}) {
        TagSet tags = Preset();
        EXPECT_EQ(ReadMp4Tags(dir.File(name), tags), 0) << name;
        EXPECT_EQ(tags.title, "t0") << name;
        EXPECT_EQ(tags.track, "n0") << name;
    }
}

}  // namespace
