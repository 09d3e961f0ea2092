#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "tags/FullTags.h"

namespace {

struct SizeCase {
    const char* name;
    const char* source;  // ffmpeg lavfi picture
    const char* file;
    int limit;
    std::size_t cut;  // bytes kept of the file (0: all), a damaged picture
    bool reencoded;
    const char* size;  // after, as ffprobe gives it
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.name;
}

class PictureLimit : public ::testing::TestWithParam<SizeCase> {};

TEST_P(PictureLimit, OnlyLargerDecodablePicturesBecomeAJpegThatFits) {
    // A picture within the limit or one that cannot be decoded must stay byte for byte, never crash.
    const SizeCase& c = GetParam();
    if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP();
    testsupport::TempDir dir;
    const std::string path = dir.File(c.file);
    ASSERT_EQ(
        testsupport::Run({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", c.source, "-frames", "1", path}), 0);
    TagPicture picture{3, "image/png", "", testsupport::ReadBytes(path)};
    if (c.cut) picture.data.resize(c.cut);
    const std::vector<std::uint8_t> before = picture.data;
    LimitPictureSize(picture, c.limit);
    EXPECT_EQ(picture.data != before, c.reencoded);
    if (!c.reencoded) return;
    EXPECT_EQ(picture.mime, "image/jpeg");
    testsupport::WriteBytes(dir.File("after.jpg"), picture.data);
    std::string size;
    testsupport::Run({"ffprobe", "-v", "error", "-show_entries", "stream=width,height", "-of", "csv=p=0:s=x",
                      dir.File("after.jpg")},
                     &size);
    EXPECT_EQ(size, std::string(c.size) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PictureLimit,
    ::testing::Values(SizeCase{"WidePng", "testsrc=s=400x200", "p.png", 100, 0, true, "100x50"},
                      SizeCase{"TallJpeg", "testsrc=s=150x600", "p.jpg", 300, 0, true, "75x300"},
                      SizeCase{"WithinLimit", "testsrc=s=400x200", "p.png", 400, 0, false, ""},
                      SizeCase{"NoLimit", "testsrc=s=400x200", "p.jpg", 0, 0, false, ""},
                      SizeCase{"CutJpeg", "testsrc=s=400x200", "p.jpg", 100, 700, false, ""},
                      SizeCase{"CutPng", "testsrc=s=400x200", "p.png", 100, 100, false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
