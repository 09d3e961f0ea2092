#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sources/ImaAdpcm.h"
#include "support/TestSupport.h"

namespace {

std::uint32_t Be32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return (static_cast<std::uint32_t>(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

TEST(ImaAdpcm, ApplePacketsDecodeLikeLibsndfile) {
    // The AIFF reader relies on this packet decoder; a wrong header split or nibble order garbles IMA4.
    if (!testsupport::HaveTool("ffmpeg") || !testsupport::HaveTool("sndfile-convert"))
        GTEST_SKIP() << "peer missing";
    testsupport::TempDir dir;
    const std::string aifc = dir.File("ima4.aifc");
    ASSERT_EQ(
        testsupport::Run({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                          "aevalsrc=0.95*sin(2*PI*300*t)+0.05*random(0)|0.7*sin(2*PI*2000*t*t):s=8000:d=0.3",
                          "-c:a", "adpcm_ima_qt", "-f", "aiff", aifc}),
        0);
    const auto file = testsupport::ReadBytes(aifc);
    std::size_t pos = 12, data = 0, dataSize = 0;
    while (pos + 8 <= file.size()) {
        const std::uint32_t size = Be32(file, pos + 4);
        if (std::string(file.begin() + static_cast<long>(pos), file.begin() + static_cast<long>(pos) + 4) ==
            "SSND") {
            data = pos + 16;
            dataSize = size - 8;
            break;
        }
        pos += 8 + size + (size & 1);
    }
    ASSERT_NE(data, 0u);
    ASSERT_LE(data + dataSize, file.size());

    // Stereo packets alternate left, right; each yields 64 samples of its channel.
    const std::size_t blocks = dataSize / (2 * ImaAdpcm::kApplePacketBytes);
    std::vector<std::int16_t> ours(blocks * 2 * ImaAdpcm::kApplePacketSamples);
    for (std::size_t b = 0; b < blocks; ++b)
        for (int c = 0; c < 2; ++c)
            ImaAdpcm::DecodeApplePacket(
                file.data() + data + (2 * b + static_cast<std::size_t>(c)) * ImaAdpcm::kApplePacketBytes,
                ours.data() + b * 2 * ImaAdpcm::kApplePacketSamples + static_cast<std::size_t>(c), 2);
    // FFmpeg carries a packet's predictor over from the previous packet when the header is close,
    // so libsndfile, which starts every packet from its header, is the reference.
    const std::string ref16 = dir.File("ref.wav");
    ASSERT_EQ(testsupport::Run({"sndfile-convert", "-pcm16", aifc, ref16}), 0);
    const auto ref = testsupport::FfmpegDecodeS16(ref16, 2);
    ASSERT_EQ(ours.size(), ref.size());
    for (std::size_t i = 0; i < ref.size(); ++i) ASSERT_EQ(ours[i], ref[i]) << "sample " << i;
}

TEST(ImaAdpcm, NibbleRuleClipsAndBoundsTheStepIndex) {
    // Without clipping a loud signal wraps to the opposite sign; an unbounded index reads past the step
    // table.
    ImaAdpcm::Channel ch;
    ch.predictor = 32000;
    ch.stepIndex = 88;
    EXPECT_EQ(ch.Decode(7), 32767);
    EXPECT_EQ(ch.stepIndex, 88);
    ch.predictor = -32000;
    EXPECT_EQ(ch.Decode(15), -32768);
    ch.stepIndex = 0;
    ch.Decode(0);
    EXPECT_EQ(ch.stepIndex, 0);
}

}  // namespace
