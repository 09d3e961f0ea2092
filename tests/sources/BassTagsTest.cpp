#include <gtest/gtest.h>

#include <ostream>

#include "platform/SystemCodePage.h"
#include "sources/BassSource.h"
#include "sources/DecoderStartup.h"
#include "support/SynthFixtures.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

class BassTags : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedCodePage = SystemCodePage();
        ASSERT_EQ(StartDecodingLibraries(), DecoderStartupResult::Started);
        m_wav = m_dir.File("tone.wav");
        ASSERT_TRUE(testsupport::MakeToneWav(m_wav, 44100, 2, 0.2));
    }
    void TearDown() override {
        ShutDownDecodingLibraries();
        SetSystemCodePage(m_savedCodePage);
    }

    // ffmpeg writes the file with the given metadata pairs.
    std::string Tagged(const std::string& name, const std::vector<std::string>& metadata,
                       const std::vector<std::string>& extra = {}) {
        std::vector<std::string> argv = {"ffmpeg", "-v", "quiet", "-i", m_wav};
        for (const auto& m : metadata) argv.insert(argv.end(), {"-metadata", m});
        argv.insert(argv.end(), extra.begin(), extra.end());
        const std::string out = m_dir.File(name);
        argv.push_back(out);
        return testsupport::Run(argv) == 0 ? out : std::string();
    }

    TagSet Read(const std::string& path, int expected = 1) {
        TagSet tags{"-", "-", "-", "-", "-", "-", "-", "-", "-"};
        BassSource src;
        EXPECT_NE(src.Open(path.c_str(), 0), 0);
        EXPECT_EQ(src.ReadTags(tags), expected);
        return tags;
    }

    TempDir m_dir;
    std::string m_wav;
    std::string m_savedCodePage;
};

TEST_F(BassTags, TwoLineCommentShiftsComposerAndCopyright) {
    // Tags arrive as one text split at line feeds: a line feed inside a field moves the
    // fields after it, and the copyright takes the rest.
    SetSystemCodePage("UTF-8");
    const std::string path =
        Tagged("lines.flac", {"title=T", "artist=A", "album=L", "date=2021", "genre=Rock", "comment=one\ntwo",
                              "track=7", "composer=C", "copyright=P"});
    ASSERT_FALSE(path.empty());
    const TagSet t = Read(path);
    EXPECT_EQ(t.track, "7");
    EXPECT_EQ(t.title, "T");
    EXPECT_EQ(t.artist, "A");
    EXPECT_EQ(t.album, "L");
    EXPECT_EQ(t.genre, "Rock");
    EXPECT_EQ(t.year, "2021");
    EXPECT_EQ(t.comment, "one");
    EXPECT_EQ(t.composer, "two");
    EXPECT_EQ(t.copyright, "C\nP");
}

TEST_F(BassTags, AllNineFieldsOfAnMp3IncludingFfmpegsComment) {
    // Every field must reach the writers; ffmpeg's MP3 comment frame is easy to miss.
    SetSystemCodePage("UTF-8");
    const std::string path = Tagged("all.mp3", {"title=T", "artist=A", "album=L", "date=1999", "genre=Jazz",
                                                "comment=Nice", "track=3", "composer=C", "copyright=P"});
    ASSERT_FALSE(path.empty());
    const TagSet t = Read(path);
    EXPECT_EQ(t.title, "T");
    EXPECT_EQ(t.artist, "A");
    EXPECT_EQ(t.album, "L");
    EXPECT_EQ(t.year, "1999");
    EXPECT_EQ(t.genre, "Jazz");
    EXPECT_EQ(t.comment, "Nice");
    EXPECT_EQ(t.track, "3");
    EXPECT_EQ(t.composer, "C");
    EXPECT_EQ(t.copyright, "P");
}

struct AccentCase {
    const char* name;
    const char* file;
    const char* codePage;
    const char* title;
    const char* stored = "Caf\xC3\xA9";  // the title as the file holds it, UTF-8
};
void PrintTo(const AccentCase& c, std::ostream* os) {
    *os << c.name;
}

class BassTagAccents : public BassTags, public ::testing::WithParamInterface<AccentCase> {};

TEST_P(BassTagAccents, TitleArrivesInTheSystemCodePage) {
    // MP3 tags come in the code page already, others are converted from UTF-8: either way an
    // accented letter must come out as one character of the code page, never doubled or lost, and
    // a character the code page lacks as one '?', not one per byte of its UTF-8 form.
    const auto& c = GetParam();
    SetSystemCodePage(c.codePage);
    const std::string path = Tagged(c.file, {std::string("title=") + c.stored});
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(Read(path).title, c.title);
}

INSTANTIATE_TEST_SUITE_P(Files, BassTagAccents,
                         ::testing::Values(AccentCase{"Mp3Latin1", "a.mp3", "ISO-8859-1", "Caf\xE9"},
                                           AccentCase{"Mp3Utf8", "b.mp3", "UTF-8", "Caf\xC3\xA9"},
                                           AccentCase{"FlacLatin1", "c.flac", "ISO-8859-1", "Caf\xE9"},
                                           AccentCase{"FlacUtf8", "d.flac", "UTF-8", "Caf\xC3\xA9"},
                                           AccentCase{"M4aCp1252", "e.m4a", "CP1252", "Caf\xE9"},
                                           AccentCase{"Mp3Snowman", "f.mp3", "ISO-8859-1", "a?b",
                                                      "a\xE2\x98\x83"
                                                      "b"},
                                           AccentCase{"FlacSnowman", "g.flac", "ISO-8859-1", "a?b",
                                                      "a\xE2\x98\x83"
                                                      "b"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BassTags, Mp2TagsAreInTheCodePageLikeMp3) {
    // Any MPEG stream delivers its tags in the code page already: converting them again as
    // UTF-8 would garble accented letters of ".mp2" files.
    SetSystemCodePage("ISO-8859-1");
    const std::string mp3 = Tagged("tag.mp3", {"title=Caf\xC3\xA9"});
    const std::string mp2 = Tagged("raw.mp2", {}, {"-c:a", "mp2"});
    ASSERT_FALSE(mp3.empty());
    ASSERT_FALSE(mp2.empty());
    auto bytes = testsupport::ReadBytes(mp3);
    bytes.resize((bytes[6] << 21 | bytes[7] << 14 | bytes[8] << 7 | bytes[9]) + 10u);
    const auto audio = testsupport::ReadBytes(mp2);
    bytes.insert(bytes.end(), audio.begin(), audio.end());
    const std::string path = m_dir.File("tagged.mp2");
    testsupport::WriteBytes(path, bytes);
    EXPECT_EQ(Read(path).title, "Caf\xE9");
}

TEST_F(BassTags, Id3v1Latin1TitleKeepsItsBytes) {
    // An ID3v1 title is Latin-1 on disk; under a Latin-1 code page it passes unchanged.
    SetSystemCodePage("ISO-8859-1");
    const std::string mp3 = m_dir.File("v1.mp3");
    ASSERT_EQ(testsupport::Run({"lame", "--quiet", "--id3v1-only", "--tt", "X", m_wav, mp3}), 0);
    auto bytes = testsupport::ReadBytes(mp3);
    ASSERT_EQ(bytes[bytes.size() - 128], 'T');
    const std::string title = "Caf\xE9";
    std::copy(title.begin(), title.end(), bytes.end() - 125);
    testsupport::WriteBytes(mp3, bytes);
    EXPECT_EQ(Read(mp3).title, title);
}

TEST_F(BassTags, FileWithoutTagsDeliversNothing) {
    // With no tags the template or empty texts apply: the caller's fields stay untouched.
    const std::string flac = m_dir.File("bare.flac");
    ASSERT_EQ(testsupport::Run({"flac", "-s", "-o", flac, m_wav}), 0);
    for (const auto& path : {flac, m_wav}) {
        const TagSet t = Read(path, 0);
        EXPECT_EQ(t.title, "-") << path;
        EXPECT_EQ(t.copyright, "-") << path;
    }
}

TEST_F(BassTags, ModuleGivesItsTitleOnly) {
    // A module's sample names are no comment: they must not spill into the other fields.
    const std::string mod = m_dir.File("song.mod");
    testsupport::WriteBytes(mod, testsupport::TinyModFile());
    const TagSet t = Read(mod);
    EXPECT_EQ(t.title, "tiny");
    EXPECT_EQ(t.comment, "");
    EXPECT_EQ(t.copyright, "");
}

}  // namespace
