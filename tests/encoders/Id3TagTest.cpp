#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "encoders/Id3Tag.h"
#include "encoders/Mp3Checks.h"
#include "encoders/Mp3Writer.h"
#include "support/ScopedCodePage.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;
using Bytes = std::vector<std::uint8_t>;
using mp3checks::ParseV2;
using mp3checks::V2Frame;

/// Points TMPDIR at a folder for the life of the object.
class ScopedTmpdir {
public:
    explicit ScopedTmpdir(const std::string& dir) {
        if (const char* old = std::getenv("TMPDIR")) m_old = old, m_had = true;
        ::setenv("TMPDIR", dir.c_str(), 1);
    }
    ~ScopedTmpdir() {
        if (m_had)
            ::setenv("TMPDIR", m_old.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }

private:
    std::string m_old;
    bool m_had = false;
};

TagSet Titled(const std::string& title) {
    TagSet t;
    t.title = title;
    return t;
}

Bytes Text(const std::string& s) {
    Bytes b{0};  // ISO-8859-1: the texts' bytes go through unchanged
    b.insert(b.end(), s.begin(), s.end());
    return b;
}

Bytes Comment(const std::string& s) {
    Bytes b{0, 'X', 'X', 'X', 0};  // language XXX, empty description
    b.insert(b.end(), s.begin(), s.end());
    return b;
}

/// A quarter second of tone between the given tag blocks.
bool WriteTaggedMp3(const std::string& path, const Bytes& v1, const Bytes& v2) {
    Mp3Writer w;
    if (w.Open(path) != 1) return false;
    w.SetInputRate(44100);
    w.SetChannels(1);
    w.SetBitrate(64);
    if (!v1.empty()) w.SetId3v1(v1.data());
    if (!v2.empty()) w.SetId3v2(v2.data(), v2.size());
    if (w.Start() != 1) return false;
    const auto tone = mp3checks::Tone(11025, 44100, 1000.0);
    return w.Encode(tone.data(), nullptr, 11025) == 1 && w.Finish() == 1;
}

/// The payload of the first frame with that id; empty when there is none.
Bytes V2Payload(const Bytes& tag, const std::string& id) {
    for (const auto& f : ParseV2(tag))
        if (f.id == id) return f.payload;
    return {};
}

struct V2Case {
    const char* name;
    TagSet tags;
    std::uint8_t track;
    std::uint8_t total;
    std::vector<V2Frame> expected;
};

void PrintTo(const V2Case& c, std::ostream* os) {
    *os << c.name;
}

class Id3v2Frames : public ::testing::TestWithParam<V2Case> {};

TEST_P(Id3v2Frames, HoldExactlyTheGivenTexts) {
    // Frames missing, added, reordered or re-encoded would change what players show.
    const auto& p = GetParam();
    const testsupport::ScopedCodePage codePage("ISO-8859-1");
    const Bytes tag = BuildId3Tag(2, p.tags, p.track, p.total);
    ASSERT_GE(tag.size(), 10u);
    EXPECT_EQ(std::string(tag.begin(), tag.begin() + 4), std::string("ID3\x03", 4));
    const auto frames = ParseV2(tag);
    ASSERT_EQ(frames.size(), p.expected.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].id, p.expected[i].id);
        EXPECT_EQ(frames[i].payload, p.expected[i].payload) << frames[i].id;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Id3v2Frames,
                         ::testing::Values(V2Case{"AllFields",
                                                  {"Song", "Band", "Record", "2001", "Rock", "Nice", "",
                                                   "Writer", "(c) X"},
                                                  7,
                                                  12,
                                                  {{"TIT2", Text("Song")},
                                                   {"TPE1", Text("Band")},
                                                   {"TALB", Text("Record")},
                                                   {"TYER", Text("2001")},
                                                   {"TCON", Text("Rock")},
                                                   {"TCOM", Text("Writer")},
                                                   {"TCOP", Text("(c) X")},
                                                   {"COMM", Comment("Nice")},
                                                   {"TRCK", Text("7/12")}}},
                                           V2Case{"EmptyTextsKeepTheirFramesButComposerCopyrightAndTrackGo",
                                                  {},
                                                  0,
                                                  9,
                                                  {{"TIT2", Text("")},
                                                   {"TPE1", Text("")},
                                                   {"TALB", Text("")},
                                                   {"TYER", Text("")},
                                                   {"TCON", Text("")},
                                                   {"COMM", Comment("")}}},
                                           V2Case{"UnknownGenreStaysTextAndTrackWithoutTotal",
                                                  {"Caf\xe9", "", "", "", "Chiptune Jazz", "", "", "", ""},
                                                  255,
                                                  0,
                                                  {{"TIT2", Text("Caf\xe9")},
                                                   {"TPE1", Text("")},
                                                   {"TALB", Text("")},
                                                   {"TYER", Text("")},
                                                   {"TCON", Text("Chiptune Jazz")},
                                                   {"COMM", Comment("")},
                                                   {"TRCK", Text("255")}}}),
                         [](const auto& info) { return std::string(info.param.name); });

/// A UTF-16 frame text as written: encoding byte, little-endian byte-order mark, little-endian units.
Bytes Wide(const std::u16string& s) {
    Bytes b{1, 0xFF, 0xFE};
    for (const char16_t c : s)
        b.insert(b.end(), {static_cast<std::uint8_t>(c & 0xFF), static_cast<std::uint8_t>(c >> 8)});
    return b;
}

struct EncodingCase {
    const char* name;
    const char* codePage;
    std::string text;  // in that code page
    Bytes v2Text;      // TIT2's payload
    std::string v1Text;
};
void PrintTo(const EncodingCase& c, std::ostream* os) {
    *os << c.name;
}

class Id3TextEncoding : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(Id3TextEncoding, Latin1WhenEveryCharacterFitsElseUtf16) {
    // Texts went into frames marked ISO-8859-1 unconverted: "Café" in UTF-8 read back as "CafÃ©".
    const auto& c = GetParam();
    const testsupport::ScopedCodePage codePage(c.codePage);
    TagSet tags;
    tags.title = c.text;
    tags.comment = c.text;
    const Bytes v2 = BuildId3Tag(2, tags, 0, 0);
    EXPECT_EQ(V2Payload(v2, "TIT2"), c.v2Text);
    // Language, then the empty description: one zero byte, or in UTF-16 a mark and two zero bytes.
    Bytes comment = c.v2Text[0] == 0 ? Bytes{0, 'X', 'X', 'X', 0} : Bytes{1, 'X', 'X', 'X', 0xFF, 0xFE, 0, 0};
    comment.insert(comment.end(), c.v2Text.begin() + 1, c.v2Text.end());
    EXPECT_EQ(V2Payload(v2, "COMM"), comment);
    const Bytes v1 = BuildId3Tag(1, tags, 0, 0);
    ASSERT_EQ(v1.size(), 128u);
    EXPECT_EQ(std::string(v1.begin() + 3, v1.begin() + 3 + static_cast<std::ptrdiff_t>(c.v1Text.size()) + 1),
              c.v1Text + std::string(1, '\0'));
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, Id3TextEncoding,
    ::testing::Values(EncodingCase{"Utf8Latin1Letters", "UTF-8",
                                   "Caf\xc3\xa9 \xc3\x9cn\xc3\xaf"
                                   "code",
                                   Text("Caf\xe9 \xdcn\xef"
                                        "code"),
                                   "Caf\xe9 \xdcn\xef"
                                   "code"},
                      EncodingCase{"Latin1CodePage", "ISO-8859-1", "Caf\xe9", Text("Caf\xe9"), "Caf\xe9"},
                      EncodingCase{"Utf8BeyondLatin1", "UTF-8",
                                   "\xc5\x81\xc3\xb3"
                                   "d\xc5\xba",
                                   Wide(u"\u0141\u00f3d\u017a"),
                                   "?\xf3"
                                   "d?"},
                      EncodingCase{"Cp1252Euro", "CP1252", "\x80 5", Wide(u"\u20ac 5"), "? 5"},
                      EncodingCase{"OutsideTheBasicPlane", "UTF-8", "\xf0\x9f\x8e\xb5!", Wide(u"\U0001F3B5!"),
                                   "?!"}),
    [](const auto& info) { return std::string(info.param.name); });

struct PeerTextCase {
    const char* name;
    const char* codePage;
    std::string text;  // in that code page
    std::string utf8;  // what readers must show
};
void PrintTo(const PeerTextCase& c, std::ostream* os) {
    *os << c.name;
}

class Id3TextPeers : public ::testing::TestWithParam<PeerTextCase> {};

TEST_P(Id3TextPeers, ReadBackByTagLibFfprobeAndId3v2) {
    // Non-ASCII texts must read back as written in every peer, comments included (FFmpeg dropped
    // a UTF-16 COMM whose empty description had no byte-order mark).
    if (!testsupport::HaveTool("id3v2") || !testsupport::HaveTool("ffprobe")) GTEST_SKIP();
    const auto& c = GetParam();
    const testsupport::ScopedCodePage codePage(c.codePage);
    const TagSet tags{c.text, c.text, "", "", "", c.text, "", c.text, ""};
    TempDir dir;
    const std::string path = dir.File("t.mp3");
    ASSERT_TRUE(WriteTaggedMp3(path, {}, BuildId3Tag(2, tags, 0, 0)));

    TagLib::MPEG::File f(path.c_str(), false);
    ASSERT_NE(f.ID3v2Tag(), nullptr);
    EXPECT_EQ(f.ID3v2Tag()->title().to8Bit(true), c.utf8);
    EXPECT_EQ(f.ID3v2Tag()->comment().to8Bit(true), c.utf8);

    std::string probed;
    testsupport::Run({"ffprobe", "-v", "error", "-show_entries", "format_tags=title,artist,comment,composer",
                      "-of", "default=nw=1", path},
                     &probed);
    for (const char* key : {"title", "artist", "comment", "composer"})
        EXPECT_NE(probed.find("TAG:" + std::string(key) + "=" + c.utf8 + "\n"), std::string::npos) << probed;

    std::string listed;
    testsupport::Run({"env", "LC_ALL=C.UTF-8", "id3v2", "-l", path}, &listed);
    EXPECT_NE(listed.find("): " + c.utf8 + "\n"), std::string::npos) << listed;
    EXPECT_NE(listed.find("[XXX]: " + c.utf8 + "\n"), std::string::npos) << listed;
}

INSTANTIATE_TEST_SUITE_P(CodePages, Id3TextPeers,
                         ::testing::Values(PeerTextCase{"Utf8", "UTF-8",
                                                        "Caf\xc3\xa9 \xc5\x81\xc3\xb3"
                                                        "d\xc5\xba",
                                                        "Caf\xc3\xa9 \xc5\x81\xc3\xb3"
                                                        "d\xc5\xba"},
                                           PeerTextCase{"Latin1", "ISO-8859-1",
                                                        "Caf\xe9 \xdcn\xef"
                                                        "code",
                                                        "Caf\xc3\xa9 \xc3\x9cn\xc3\xaf"
                                                        "code"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Id3v1GenreText, NumbersByTheGenreListIgnoringCase) {
    // ID3v1 holds a genre number only: a name must map to its list position, anything else to Other.
    const std::map<std::string, std::string> cases = {
        {"Blues", "(0)"},  {"rock", "(17)"},      {"ROCK", "(17)"},     {"Other", "(12)"}, {"", "(12)"},
        {"Rock ", "(12)"}, {"Synthpop", "(147)"}, {"Chiptune", "(12)"}, {"r&b", "(14)"},
    };
    for (const auto& [name, text] : cases) EXPECT_EQ(Id3v1GenreText(name), text) << name;
}

TEST(Id3v1Block, FieldsAndGenreNumberReadBackWithTagLib) {
    // The ID3v1 block must be 128 bytes that a peer decodes to the same fields, genre as a number.
    TempDir dir;
    const TagSet tags{"Title", "Artist", "Album", "1999", "rOcK", "A comment", "", "Nobody", "Nobody"};
    const Bytes v1 = BuildId3Tag(1, tags, 9, 3);
    ASSERT_EQ(v1.size(), 128u);
    testsupport::WriteBytes(dir.File("t.mp3"), v1);
    TagLib::MPEG::File f(dir.File("t.mp3").c_str(), false);
    auto* tag = f.ID3v1Tag();
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(tag->title(), "Title");
    EXPECT_EQ(tag->artist(), "Artist");
    EXPECT_EQ(tag->album(), "Album");
    EXPECT_EQ(tag->year(), 1999u);
    EXPECT_EQ(tag->comment(), "A comment");
    EXPECT_EQ(tag->track(), 9u);
    EXPECT_EQ(tag->genreNumber(), 17u);
}

TEST(Id3v1Block, UnknownGenreIsOtherAndNoTrackLeavesTheTrackByteEmpty) {
    // Without a track the block must not claim track 0 of ID3v1.1; an unknown genre is Other.
    const Bytes v1 = BuildId3Tag(1, TagSet{"T", "", "", "", "Chiptune", "", "", "", ""}, 0, 0);
    ASSERT_EQ(v1.size(), 128u);
    EXPECT_EQ(v1[126], 0);
    EXPECT_EQ(v1[127], 12);
}

TEST(Id3Tags, BothBlocksAroundTheAudioAreReadByPeers) {
    // A file with both tags must keep the audio valid and show each tag's fields to real readers.
    if (!testsupport::HaveTool("id3v2") || !testsupport::HaveTool("mp3val")) GTEST_SKIP();
    TempDir dir;
    const TagSet tags{"Both", "Two Tags", "Album", "2020", "Jazz", "Remark", "", "Comp", ""};
    const Bytes v1 = BuildId3Tag(1, tags, 4, 0);
    const Bytes v2 = BuildId3Tag(2, tags, 4, 0);
    ASSERT_EQ(v1.size(), 128u);
    ASSERT_FALSE(v2.empty());
    const std::string path = dir.File("both.mp3");
    ASSERT_TRUE(WriteTaggedMp3(path, v1, v2));
    std::string report;
    EXPECT_TRUE(mp3checks::Mp3valClean(path, &report)) << report;
    EXPECT_NE(report.find("+ID3v1+ID3v2"), std::string::npos) << report;

    const auto frames = mp3checks::Id3v2Frames(path);
    const std::map<std::string, std::string> expected = {
        {"TIT2", "Both"},     {"TPE1", "Two Tags"}, {"TALB", "Album"},           {"TYER", "2020"},
        {"TCON", "Jazz (8)"}, {"TCOM", "Comp"},     {"COMM", "()[XXX]: Remark"}, {"TRCK", "4"}};
    EXPECT_EQ(frames, expected);

    TagLib::MPEG::File f(path.c_str(), false);
    ASSERT_NE(f.ID3v1Tag(), nullptr);
    EXPECT_EQ(f.ID3v1Tag()->title(), "Both");
    EXPECT_EQ(f.ID3v1Tag()->genreNumber(), 8u);
    EXPECT_EQ(f.ID3v1Tag()->track(), 4u);
}

TEST(Id3TagTempFile, RemovedAfterEachRendering) {
    // Every rendered tag used to leave a file behind in the user's temporary folder.
    TempDir dir;
    const ScopedTmpdir tmp(dir.Path().string());
    EXPECT_EQ(BuildId3Tag(1, Titled("a"), 1, 0).size(), 128u);
    EXPECT_FALSE(BuildId3Tag(2, Titled("a"), 1, 0).empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(Id3TagTempFile, MissingFolderGivesNoTag) {
    // A temporary folder that cannot be used must cost the tag only, never the conversion.
    TempDir dir;
    const ScopedTmpdir tmp(dir.File("missing"));
    EXPECT_TRUE(BuildId3Tag(1, Titled("a"), 1, 0).empty());
    EXPECT_TRUE(BuildId3Tag(2, Titled("a"), 1, 0).empty());
}

TEST(Id3TagTempFile, CutOffWritesGiveNoTagAndLeaveNoFile) {
    // A disk that fills while id3lib writes must give no tag (not a partial one) and no stray file.
    TempDir dir;
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setenv("TMPDIR", dir.Path().c_str(), 1);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{60, 60};  // smaller than either tag
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const TagSet tags{
            "A title long enough", "An artist", "An album", "2000", "Rock", "Words", "", "", ""};
        const bool v1Empty = BuildId3Tag(1, tags, 1, 0).empty();
        const bool v2Empty = BuildId3Tag(2, tags, 1, 0).empty();
        ::_exit((v1Empty ? 0 : 1) | (v2Empty ? 0 : 2));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: partial ID3v1 returned, 2: partial ID3v2 returned";
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

}  // namespace
