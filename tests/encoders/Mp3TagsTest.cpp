#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "encoders/Mp3Checks.h"
#include "encoders/Mp3Tags.h"
#include "settings/ConversionSettings.h"
#include "sources/AudioSource.h"
#include "support/TestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using mp3checks::V2Text;

/// A source that only has tags: raw ID3 blocks and/or a TagSet for ReadTags.
class TagOnlySource final : public AudioSource {
public:
    void Close() override {}
    int Open(const char*, int) override { return 1; }
    int ReadBlock(void*, void*) override { return 0; }
    const std::uint8_t* GetId3v1Tag() override { return v1.empty() ? nullptr : v1.data(); }
    const std::uint8_t* GetId3v2Tag(int& size) override {
        size = static_cast<int>(v2.size());
        return v2.empty() ? nullptr : v2.data();
    }
    int ReadTags(TagSet& out) override {
        ++readTagsCalls;
        if (!tags) return 0;
        // Like the real readers, only the fields the source has are assigned.
        if (!tags->title.empty()) out.title = tags->title;
        if (!tags->track.empty()) out.track = tags->track;
        return 1;
    }

    Bytes v1, v2;
    std::optional<TagSet> tags;
    int readTagsCalls = 0;
};

ConversionSettings Settings(int tagType, int id3Version) {
    ConversionSettings s("");
    s.MP3ID3TagType = tagType;
    s.MP3WriteID3Version = id3Version;
    return s;
}

struct TemplateCase {
    const char* name;
    int trackNumType;
    int customTrack;
    int batchNumber;
    const char* expectedTrck;
};

void PrintTo(const TemplateCase& c, std::ostream* os) {
    *os << c.name;
}

class Mp3TemplateTrack : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(Mp3TemplateTrack, TrackFromTheTemplateMode) {
    // The batch number, the custom number (8 bits) or none must reach TRCK as the template says.
    const auto& p = GetParam();
    ConversionSettings s = Settings(0, 1);
    s.MP3Tag.TrackNumType = p.trackNumType;
    s.MP3Tag.CustomTrackNum = p.customTrack;
    TagOnlySource source;
    const auto blocks = ChooseMp3Tags(s, kKindWav, "/in/Song Name.wav", source, p.batchNumber);
    EXPECT_EQ(V2Text(blocks.id3v2, "TRCK"), p.expectedTrck);
    EXPECT_EQ(V2Text(blocks.id3v2, "TIT2"), "Song Name");
    EXPECT_EQ(source.readTagsCalls, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, Mp3TemplateTrack,
                         ::testing::Values(TemplateCase{"NoTrack", 0, 5, 3, "<none>"},
                                           TemplateCase{"SequenceNumber", 1, 5, 3, "3"},
                                           TemplateCase{"Sequence256HasNoTrack", 1, 5, 256, "<none>"},
                                           TemplateCase{"Custom", 2, 17, 3, "17"},
                                           TemplateCase{"Custom300Is44", 2, 300, 3, "44"},
                                           TemplateCase{"Custom256HasNoTrack", 2, 256, 3, "<none>"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ChooseMp3Tags, TemplateTitleAndVersions) {
    // The written tags must follow the ID3 version option and the template's own title when asked.
    ConversionSettings s = Settings(0, 0);
    s.MP3Tag.TitleAsFileName = 0;
    s.MP3Tag.Title = "Fixed";
    s.MP3Tag.Genre = "Jazz";
    TagOnlySource source;
    auto b = ChooseMp3Tags(s, kKindWav, "/in/x.wav", source, 1);
    EXPECT_EQ(b.id3v1.size(), 128u);
    EXPECT_TRUE(b.id3v2.empty());
    EXPECT_EQ(std::string(b.id3v1.begin() + 3, b.id3v1.begin() + 8), "Fixed");
    EXPECT_EQ(b.id3v1[127], 8);  // Jazz
    s.MP3WriteID3Version = 2;
    b = ChooseMp3Tags(s, kKindWav, "/in/x.wav", source, 1);
    EXPECT_EQ(b.id3v1.size(), 128u);
    EXPECT_EQ(V2Text(b.id3v2, "TIT2"), "Fixed");
    EXPECT_EQ(V2Text(b.id3v2, "TCON"), "Jazz");
    s.MP3ID3TagType = 2;
    b = ChooseMp3Tags(s, kKindWav, "/in/x.wav", source, 1);
    EXPECT_TRUE(b.id3v1.empty() && b.id3v2.empty());
}

TEST(ChooseMp3Tags, Mp3SourceBlocksCopiedUnchangedWhateverTheVersion) {
    // An MP3 source's own tags must be carried over byte for byte, both of them, even for "ID3v1 only".
    TagOnlySource source;
    source.v1.assign(128, 0x55);
    source.v2 = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 3, 9, 8, 7};
    source.tags = TagSet();
    source.tags->title = "ignored";
    const auto b = ChooseMp3Tags(Settings(1, 0), kKindMp3, "/in/a.mp3", source, 1);
    EXPECT_EQ(b.id3v1, source.v1);
    EXPECT_EQ(b.id3v2, source.v2);
    EXPECT_EQ(source.readTagsCalls, 0);

    source.v2.clear();
    const auto onlyV1 = ChooseMp3Tags(Settings(1, 2), kKindMp3, "/in/a.mp3", source, 1);
    EXPECT_EQ(onlyV1.id3v1, source.v1);
    EXPECT_TRUE(onlyV1.id3v2.empty());
}

TEST(ChooseMp3Tags, OtherSourcesRenderTheirTagsOrNone) {
    // A source's tags must be rendered with the leading track number; no tags must mean no blocks.
    TagOnlySource source;
    EXPECT_TRUE(ChooseMp3Tags(Settings(1, 2), kKindFlac, "/in/a.flac", source, 1).id3v2.empty());
    EXPECT_TRUE(ChooseMp3Tags(Settings(1, 2), kKindFlac, "/in/a.flac", source, 1).id3v1.empty());
    TagSet tags;
    tags.title = "From Source";
    tags.track = "12/15";
    source.tags = tags;
    const auto b = ChooseMp3Tags(Settings(1, 1), kKindFlac, "/in/a.flac", source, 1);
    EXPECT_TRUE(b.id3v1.empty());
    EXPECT_EQ(V2Text(b.id3v2, "TIT2"), "From Source");
    EXPECT_EQ(V2Text(b.id3v2, "TRCK"), "12");
}

TEST(ChooseMp3Tags, Mp4MetadataFirstAndTheSourceOnlyWithoutTexts) {
    // MP4 files must use their metadata; the source's reader is asked only when it has no text item.
    if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP();
    testsupport::TempDir dir;
    auto make = [&](const std::string& name, const std::vector<std::string>& metadata) {
        std::vector<std::string> argv = {
            "ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=duration=0.1", "-c:a", "aac"};
        for (const auto& m : metadata) argv.insert(argv.end(), {"-metadata", m});
        argv.push_back(dir.File(name));
        EXPECT_EQ(testsupport::Run(argv), 0);
        return dir.File(name);
    };
    const auto titled = make("titled.m4a", {"title=From Mp4", "track=4"});
    const auto trackOnly = make("track.mp4", {"track=7"});
    TagSet fromSource;
    fromSource.title = "From Source";

    TagOnlySource a;
    a.tags = fromSource;
    auto b = ChooseMp3Tags(Settings(1, 1), kKindM4a, titled, a, 1);
    EXPECT_EQ(V2Text(b.id3v2, "TIT2"), "From Mp4");
    EXPECT_EQ(V2Text(b.id3v2, "TRCK"), "4");
    EXPECT_EQ(a.readTagsCalls, 0);

    TagOnlySource c;
    c.tags = fromSource;
    b = ChooseMp3Tags(Settings(1, 1), kKindMp4, trackOnly, c, 1);
    EXPECT_EQ(c.readTagsCalls, 1);
    EXPECT_EQ(V2Text(b.id3v2, "TIT2"), "From Source");
    EXPECT_EQ(V2Text(b.id3v2, "TRCK"), "7");  // kept from the MP4 metadata
}

}  // namespace
