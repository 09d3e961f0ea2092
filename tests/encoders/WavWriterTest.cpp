#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "encoders/WavWriter.h"
#include "support/TestSupport.h"

namespace {

using testsupport::ReadBytes;
using testsupport::TempDir;

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

TEST(WavWriter, EmptyFileGets36And0) {
    // Size fields left at their placeholder 4 make players read garbage past the header.
    TempDir dir;
    WavWriter w;
    ASSERT_EQ(w.Open(dir.File("e.wav"), true, 16, 44100), 1);
    ASSERT_EQ(w.Close(), 1);
    const auto bytes = ReadBytes(dir.File("e.wav"));
    ASSERT_EQ(bytes.size(), 44u);
    EXPECT_EQ(Le32(bytes, 4), 36u);
    EXPECT_EQ(Le32(bytes, 40), 0u);
}

struct Layout {
    const char* name;
    bool stereo;
    int bits;
    std::vector<std::uint8_t> expectedData;
};

void PrintTo(const Layout& c, std::ostream* os) {
    *os << c.name;
}

class WavWriterLayout : public ::testing::TestWithParam<Layout> {};

TEST_P(WavWriterLayout, InterleavesPlanarInputAndSetsHeader) {
    // Planar blocks must be written left/right interleaved, little-endian, with a matching header.
    const auto& p = GetParam();
    TempDir dir;
    WavWriter w;
    ASSERT_EQ(w.Open(dir.File("o.wav"), p.stereo, p.bits, 22050), 1);
    if (p.bits == 16) {
        const std::int16_t l[] = {1, -2}, r[] = {0x1234, -32768};
        ASSERT_EQ(w.Write16(l, p.stereo ? r : nullptr, 2), 1);
    } else {
        const std::uint8_t l[] = {0, 128}, r[] = {255, 7};
        ASSERT_EQ(w.Write8(l, p.stereo ? r : nullptr, 2), 1);
    }
    ASSERT_EQ(w.Close(), 1);
    const auto bytes = ReadBytes(dir.File("o.wav"));
    ASSERT_EQ(bytes.size(), 44 + p.expectedData.size());
    const int channels = p.stereo ? 2 : 1;
    EXPECT_EQ(bytes[22], channels);
    EXPECT_EQ(Le32(bytes, 24), 22050u);
    EXPECT_EQ(Le32(bytes, 28), 22050u * channels * p.bits / 8);
    EXPECT_EQ(bytes[32], channels * p.bits / 8);
    EXPECT_EQ(bytes[34], p.bits);
    EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(Le32(bytes, 40), p.expectedData.size());
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 44, bytes.end()), p.expectedData);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WavWriterLayout,
    ::testing::Values(Layout{"Stereo16", true, 16, {1, 0, 0x34, 0x12, 0xFE, 0xFF, 0x00, 0x80}},
                      Layout{"Mono16", false, 16, {1, 0, 0xFE, 0xFF}},
                      Layout{"Stereo8", true, 8, {0, 255, 128, 7}}, Layout{"Mono8", false, 8, {0, 128}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WavWriter, FullDiskIsReportedAndSticks) {
    // A full disk must fail the conversion instead of being reported as a converted file.
    WavWriter w;
    ASSERT_EQ(w.Open("/dev/full", true, 16, 44100), 1);  // buffered: the header is not written yet
    std::vector<std::int16_t> l(1152 * 64), r(1152 * 64);
    int ok = 1;
    for (int i = 0; i < 4; ++i) ok &= w.Write16(l.data(), r.data(), static_cast<int>(l.size()));
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(w.Close(), 0);
}

TEST(WavWriter, UncreatableFileFailsOpen) {
    // Open must report a folder that does not exist rather than pretend to write.
    TempDir dir;
    WavWriter w;
    EXPECT_EQ(w.Open(dir.File("missing/o.wav"), false, 16, 8000), 0);
    EXPECT_EQ(w.Close(), 1);  // nothing was open, nothing failed to write
}

TEST(WavWriter, PeersReadTheFile) {
    // ffprobe must accept the header and see the frames that were written.
    if (!testsupport::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe missing";
    TempDir dir;
    WavWriter w;
    ASSERT_EQ(w.Open(dir.File("p.wav"), true, 16, 48000), 1);
    std::vector<std::int16_t> l(4800, 1000), r(4800, -1000);
    ASSERT_EQ(w.Write16(l.data(), r.data(), 4800), 1);
    ASSERT_EQ(w.Close(), 1);
    std::string out;
    ASSERT_EQ(
        testsupport::Run({"ffprobe", "-v", "error", "-show_entries",
                          "stream=sample_rate,channels,duration_ts", "-of", "csv=p=0", dir.File("p.wav")},
                         &out),
        0);
    EXPECT_EQ(out, "48000,2,4800\n");
}

}  // namespace
