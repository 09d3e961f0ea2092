#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/TagChoice.h"
#include "settings/TagTemplate.h"
#include "sources/AudioSource.h"

namespace {

TEST(TitleFromFileName, CutsFolderAndLastExtension) {
    // The template title must be the bare file name, not a path or a name with its extension.
    const std::map<std::string, std::string> cases = {
        {"/music/My Song.flac", "My Song"},
        {"/a.b/c", "c"},
        {"/m/x.tar.gz", "x.tar"},
        {"plain.wav", "plain"},
        {"/m/.hidden", ""},
        {"/m/noext", "noext"},
    };
    for (const auto& [path, title] : cases) EXPECT_EQ(TitleFromFileName(path), title) << path;
}

TEST(TrackFromText, LeadingNumberLow8Bits) {
    // Track texts like "3/12" must give 3; numbers past 255 keep only their low 8 bits, without overflow.
    const std::map<std::string, int> cases = {
        {"3/12", 3}, {"12", 12},
        {" 7", 7},   {"+9", 9},
        {"", 0},     {"abc", 0},
        {"-4", 0},   {"256", 0},
        {"300", 44}, {"99999999999999999999", 255},  // 10^20 - 1 = 255 mod 256
    };
    for (const auto& [text, track] : cases) EXPECT_EQ(TrackFromText(text), track) << text;
}

TEST(LeadingTrackNumber, WholeNumberCappedWithoutOverflow) {
    // MP4 and WMA store the whole track number: "300" must stay 300, and a huge text must not wrap.
    const std::map<std::string, int> cases = {
        {"3/12", 3}, {" +9", 9}, {"", 0}, {"-4", 0}, {"300", 300}, {"99999999999999999999", 2147483647},
    };
    for (const auto& [text, track] : cases) EXPECT_EQ(LeadingTrackNumber(text), track) << text;
}

class NoTagsSource final : public AudioSource {
public:
    void Close() override {}
    int Open(const char*, int) override { return 1; }
    int ReadBlock(void*, void*) override { return 0; }
};

TEST(ChooseTags, TemplateTrackTextAndNoTags) {
    // Every format renders the same texts: the track text must say the mode's number, and the
    // "none" choice and a source without tags must give nothing at all.
    TagTemplate t;
    t.TitleAsFileName = 0;
    t.Title = "Fixed";
    NoTagsSource source;
    const std::pair<int, const char*> modes[] = {{0, "0"}, {1, "7"}, {2, "42"}};
    t.CustomTrackNum = 42;
    for (const auto& [mode, text] : modes) {
        t.TrackNumType = mode;
        const auto tags = ChooseTags(kTagsFromTemplate, t, kKindWav, "/in/a.wav", 7, source);
        ASSERT_TRUE(tags);
        EXPECT_EQ(tags->track, text) << mode;
        EXPECT_EQ(tags->title, "Fixed");
    }
    EXPECT_FALSE(ChooseTags(kTagsFromSource, t, kKindWav, "/in/a.wav", 1, source));
    EXPECT_FALSE(ChooseTags(2, t, kKindWav, "/in/a.wav", 1, source));
    EXPECT_FALSE(ChooseTags(7, t, kKindWav, "/in/a.wav", 1, source));
}

}  // namespace
