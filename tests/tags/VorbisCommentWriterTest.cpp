#include <gtest/gtest.h>
#include <taglib/fileref.h>
#include <taglib/flacpicture.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>

#include "support/TestSupport.h"
#include "tags/FullTags.h"
#include "tags/TagWriters.h"

namespace {

struct XiphCase {
    const char* name;
    const char* file;  // a hidden-looking name: the kind must come from the content
    const char* codec;
    const char* muxer;
};

void PrintTo(const XiphCase& c, std::ostream* os) {
    *os << c.name;
}

class VorbisCommentWriter : public ::testing::TestWithParam<XiphCase> {};

TEST_P(VorbisCommentWriter, FieldsReplaceTheirNamesOthersStayPicturesReplaced) {
    // FLAC and Opus outputs take the same writer as Ogg Vorbis, found by content, not by file name.
    const XiphCase& c = GetParam();
    if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP();
    testsupport::TempDir dir;
    const std::string path = dir.File(c.file);
    ASSERT_EQ(
        testsupport::Run({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "sine=d=0.3:r=48000", "-c:a", c.codec,
                          "-metadata", "TITLE=Old", "-metadata", "GENRE=Kept", "-f", c.muxer, path}),
        0);
    FullTags tags;
    tags.fields = {{"TITLE", {"Νέος"}}, {"ARTIST", {"A", "B"}}, {"LYRICS", {"one\ntwo"}}};
    tags.pictures = {{3, "image/jpeg", "front", {0xFF, 0xD8, 0xFF, 1, 2, 3}}};
    ASSERT_EQ(WriteFullTags(TagSystem::VorbisComment, path, tags, {}), 1);

    TagLib::FileStream stream(path.c_str(), true);
    TagLib::FileRef ref(&stream);
    ASSERT_FALSE(ref.isNull());
    const TagLib::PropertyMap p = ref.file()->properties();
    EXPECT_EQ(p["TITLE"].toString().to8Bit(true), "Νέος");
    EXPECT_EQ(p["ARTIST"].size(), 2u);
    EXPECT_EQ(p["LYRICS"].toString().to8Bit(true), "one\ntwo");
    EXPECT_EQ(p["GENRE"].toString().to8Bit(true), "Kept");
    const FullTags back = ReadFullTags(path);
    ASSERT_EQ(back.pictures.size(), 1u);
    EXPECT_EQ(back.pictures[0].data, tags.pictures[0].data);
    EXPECT_EQ(back.pictures[0].description, "front");
}

INSTANTIATE_TEST_SUITE_P(Kinds, VorbisCommentWriter,
                         ::testing::Values(XiphCase{"Flac", ".out-flac", "flac", "flac"},
                                           XiphCase{"Opus", ".out-opus", "libopus", "opus"},
                                           XiphCase{"Vorbis", ".out-ogg", "libvorbis", "ogg"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(VorbisCommentLines, OneLinePerValueThenEachPictureAsABase64Block) {
    // An encoder writing its own comment header needs the same fields in the same form.
    FullTags tags;
    tags.fields = {{"ARTIST", {"A", "B"}}};
    tags.pictures = {{3, "image/png", "", {1, 2, 3}}};
    const std::vector<std::string> lines = VorbisCommentLines(tags);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "ARTIST=A");
    EXPECT_EQ(lines[1], "ARTIST=B");
    const std::string prefix = "METADATA_BLOCK_PICTURE=";
    ASSERT_EQ(lines[2].rfind(prefix, 0), 0u);
    const TagLib::ByteVector block =
        TagLib::ByteVector::fromBase64(TagLib::ByteVector(lines[2].substr(prefix.size()).c_str()));
    TagLib::FLAC::Picture picture;
    ASSERT_TRUE(picture.parse(block));
    EXPECT_EQ(picture.mimeType(), "image/png");
    EXPECT_EQ(picture.data().size(), 3u);
}

}  // namespace
