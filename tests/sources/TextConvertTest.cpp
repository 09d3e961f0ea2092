#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/SystemCodePage.h"
#include "sources/TextConvert.h"

namespace {

// Restores the process-wide code page whatever a test set.
class CodePageScope {
public:
    explicit CodePageScope(const char* codeset) : m_saved(SystemCodePage()) { SetSystemCodePage(codeset); }
    ~CodePageScope() { SetSystemCodePage(m_saved); }

private:
    std::string m_saved;
};

struct Utf8Case {
    const char* name;
    const char* codePage;
    std::string utf8;
    std::string ansi;
};
void PrintTo(const Utf8Case& c, std::ostream* os) {
    *os << c.name;
}

class Utf8ToAnsiCases : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8ToAnsiCases, ConvertsIntoTheSystemCodePage) {
    // Tags from UTF-8 formats must reach the writers in the code page the user's texts use.
    const auto& c = GetParam();
    CodePageScope scope(c.codePage);
    std::string out = "stale";
    ASSERT_EQ(Utf8ToAnsi(c.utf8.c_str(), out), 0);
    EXPECT_EQ(out, c.ansi);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Utf8ToAnsiCases,
    ::testing::Values(Utf8Case{"Empty", "UTF-8", "", ""},
                      Utf8Case{"AsciiLatin1", "ISO-8859-1", "Title", "Title"},
                      Utf8Case{"AccentLatin1", "ISO-8859-1", "Caf\xC3\xA9", "Caf\xE9"},
                      Utf8Case{"AccentUtf8", "UTF-8", "Caf\xC3\xA9", "Caf\xC3\xA9"},
                      Utf8Case{"EuroCp1252", "CP1252", "\xE2\x82\xAC 5", "\x80 5"},
                      Utf8Case{"MissingInLatin1", "ISO-8859-1", "\xE2\x82\xAC", "?"},
                      // Four-byte characters are one character, not a three-byte one plus debris.
                      Utf8Case{"EmojiUtf8", "UTF-8", "a\xF0\x9F\x8E\xB5z", "a\xF0\x9F\x8E\xB5z"},
                      Utf8Case{"EmojiLatin1", "ISO-8859-1", "a\xF0\x9F\x8E\xB5z", "a?z"},
                      // Cut short by the end of the text: nothing past the terminator is read.
                      Utf8Case{"CutTwoByte", "ISO-8859-1", "ab\xC3", "ab?"},
                      Utf8Case{"CutThreeByte", "ISO-8859-1", "ab\xE2\x82", "ab?"},
                      Utf8Case{"BeyondUnicode", "UTF-8", "a\xF7\xBF\xBF\xBFz", "a\xEF\xBF\xBDz"},
                      Utf8Case{"CutFourByte", "UTF-8", "ab\xF0\x9F\x8E", "ab\xEF\xBF\xBD"},
                      // Latin-1 mistaken for UTF-8: decoded without validation, as designed.
                      Utf8Case{"Latin1AsUtf8", "ISO-8859-1", "caf\xE9", "caf?"}),
    [](const auto& info) { return std::string(info.param.name); });

struct AnsiCase {
    const char* name;
    const char* codePage;
    std::string ansi;
    std::string utf8;
};
void PrintTo(const AnsiCase& c, std::ostream* os) {
    *os << c.name;
}

class AnsiToUtf8Cases : public ::testing::TestWithParam<AnsiCase> {};

TEST_P(AnsiToUtf8Cases, ConvertsFromTheSystemCodePage) {
    // The Ogg and MP4 writers store UTF-8: a wrong byte here is a wrong tag in every output.
    const auto& c = GetParam();
    CodePageScope scope(c.codePage);
    std::string out;
    ASSERT_EQ(AnsiToUtf8(c.ansi.c_str(), out), 0);
    EXPECT_EQ(out, c.utf8);
    std::string back;
    ASSERT_EQ(Utf8ToAnsi(out.c_str(), back), 0);
    EXPECT_EQ(back, c.ansi);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, AnsiToUtf8Cases,
    ::testing::Values(AnsiCase{"Ascii", "ISO-8859-1", "Artist 1", "Artist 1"},
                      AnsiCase{"Latin1", "ISO-8859-1", "\xC9t\xE9", "\xC3\x89t\xC3\xA9"},
                      AnsiCase{"EuroCp1252", "CP1252", "\x80", "\xE2\x82\xAC"},
                      AnsiCase{"Utf8Identity", "UTF-8", "\xC3\xA9\xE2\x82\xAC", "\xC3\xA9\xE2\x82\xAC"},
                      // Outside the 16-bit range: one four-byte sequence, not two surrogate halves.
                      AnsiCase{"EmojiUtf8", "UTF-8", "\xF0\x9F\x8E\xB5", "\xF0\x9F\x8E\xB5"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextConvert, EmptyTextAndUnusableCodePageFail) {
    // Callers treat -1 as "no text": an empty tag must not become an empty UTF-8 field.
    std::string out = "kept";
    EXPECT_EQ(AnsiToUtf8("", out), -1);
    EXPECT_EQ(out, "kept");
    CodePageScope scope("NO-SUCH-CODESET");
    EXPECT_EQ(AnsiToUtf8("x", out), -1);
    EXPECT_EQ(Utf8ToAnsi("x", out), -1);
    EXPECT_EQ(out, "kept");
}

TEST(TextConvert, InvalidBytesInUtf8CodePageBecomeReplacementCharacters) {
    // Text that is not valid in the code page still converts instead of failing the tag.
    CodePageScope scope("UTF-8");
    std::string out;
    ASSERT_EQ(AnsiToUtf8("a\xFFz", out), 0);
    EXPECT_EQ(out, "a\xEF\xBF\xBDz");
}

}  // namespace
