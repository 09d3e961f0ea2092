#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "sources/SystemCodePage.h"

namespace {

struct Conversion {
    const char* name;
    const char* locale;
    std::string utf8;
    std::string expected;
};

class Utf8ToSystemCodePageCases : public ::testing::TestWithParam<Conversion> {};

TEST_P(Utf8ToSystemCodePageCases, ConvertsWithoutReadingPastTheText) {
    // Truncated sequences must end the text, not read beyond it; unmappable letters become '?'.
    const Conversion& c = GetParam();
    const std::string old = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, c.locale), nullptr);
    const auto result = Utf8ToSystemCodePage(c.utf8);
    std::setlocale(LC_CTYPE, old.c_str());
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Utf8ToSystemCodePageCases,
    ::testing::Values(Conversion{"AsciiUnchanged", "C", "Plain text", "Plain text"},
                      Conversion{"AccentToQuestionMark", "C", "Caf\xC3\xA9", "Caf?"},
                      Conversion{"Utf8Kept", "C.UTF-8", "Caf\xC3\xA9 \xE2\x82\xAC",
                                 "Caf\xC3\xA9 \xE2\x82\xAC"},
                      Conversion{"TruncatedTwoByteEnds", "C.UTF-8", "ab\xC3", "ab"},
                      Conversion{"TruncatedThreeByteEnds", "C.UTF-8", "ab\xE2\x82", "ab"},
                      // Latin-1 mistaken for UTF-8: the lenient decode reads "\xE9t\xE9" as one character.
                      Conversion{"Latin1Misread", "C.UTF-8", "x\xE9t\xE9", "x\xE9\xB4\xA9"},
                      Conversion{"FourByteKept", "C.UTF-8", "a\xF0\x9F\x8E\xB5z", "a\xF0\x9F\x8E\xB5z"},
                      Conversion{"FourByteToQuestionMark", "C", "a\xF0\x9F\x8E\xB5z", "a?z"},
                      Conversion{"TruncatedFourByteEnds", "C.UTF-8", "ab\xF0\x9F\x8E", "ab"},
                      Conversion{"LoneSurrogateReplaced", "C.UTF-8", "a\xED\xA0\x80z", "a?z"},
                      Conversion{"Empty", "C", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
