#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/amr/AmrEncoders.h"
#include "support/AmrFrames.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

std::vector<std::int16_t> Tone(int samples, int rate, double hz) {
    std::vector<std::int16_t> s(static_cast<std::size_t>(samples));
    for (int i = 0; i < samples; ++i)
        s[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(9000 * std::sin(2 * M_PI * hz * i / rate));
    return s;
}

// Encodes `frames` frames of a tone with the band's calls; the quit result, or -1 if init failed.
int EncodeTone(bool wide, const std::string& path, int dtx, int mode, int frames) {
    const int n = wide ? kAmrWbFrameSamples : kAmrNbFrameSamples;
    const auto tone = Tone(n * frames, wide ? 16000 : 8000, 440);
    if (wide) {
        AmrWbEncoder* e = amrwbenc_init(path.c_str(), dtx, mode);
        if (!e) return -1;
        for (int i = 0; i < frames; ++i) amrwbenc_encode(e, tone.data() + i * n);
        return amrwbenc_quit(e);
    }
    AmrNbEncoder* e = amrnbenc_init(path.c_str(), dtx, mode);
    if (!e) return -1;
    for (int i = 0; i < frames; ++i) amrnbenc_encode(e, tone.data() + i * n);
    return amrnbenc_quit(e);
}

TEST(AmrEncoders, EveryModeWritesItsFrameSize) {
    // Each mode must reach the codec: a wrong mode or TOC byte gives frames of another size.
    struct Row {
        bool wide;
        int mode;
        std::size_t bytes;
    };
    const Row rows[] = {{false, 0, 13}, {false, 1, 14}, {false, 2, 16}, {false, 3, 18}, {false, 4, 20},
                        {false, 5, 21}, {false, 6, 27}, {false, 7, 32}, {true, 0, 18},  {true, 1, 24},
                        {true, 2, 33},  {true, 3, 37},  {true, 4, 41},  {true, 5, 47},  {true, 6, 51},
                        {true, 7, 59},  {true, 8, 61}};
    TempDir dir;
    for (const Row& r : rows) {
        SCOPED_TRACE((r.wide ? "WB mode " : "NB mode ") + std::to_string(r.mode));
        const std::string path = dir.File("m.amr");
        ASSERT_EQ(EncodeTone(r.wide, path, 0, r.mode, 25), 1);
        const auto bytes = testsupport::ReadBytes(path);
        const auto file = testsupport::ParseAmrFile(bytes);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->wide, r.wide);
        ASSERT_EQ(file->frames.size(), 25u);
        EXPECT_EQ(file->CountType(r.mode), 25);
        EXPECT_EQ(bytes.size(), (r.wide ? 9u : 6u) + 25 * r.bytes);
    }
}

TEST(AmrEncoders, CallersSamplesAreLeftAlone) {
    // The narrow-band library filters its input in place; the caller's block must not change.
    TempDir dir;
    const auto tone = Tone(kAmrWbFrameSamples, 8000, 440);
    auto block = tone;
    AmrNbEncoder* nb = amrnbenc_init(dir.File("a.amr").c_str(), 0, 7);
    ASSERT_TRUE(nb);
    EXPECT_GT(amrnbenc_encode(nb, block.data()), 0);
    EXPECT_EQ(amrnbenc_quit(nb), 1);
    AmrWbEncoder* wb = amrwbenc_init(dir.File("a.awb").c_str(), 0, 8);
    ASSERT_TRUE(wb);
    EXPECT_GT(amrwbenc_encode(wb, block.data()), 0);
    EXPECT_EQ(amrwbenc_quit(wb), 1);
    EXPECT_EQ(block, tone);
}

TEST(AmrEncoders, ModesOutsideTheTablesAreRefused) {
    // A stored mode the codec does not have must fail the file, not reach the library unchecked.
    TempDir dir;
    const std::string path = dir.File("bad.amr");
    for (int mode : {-1, 8, 100}) EXPECT_EQ(EncodeTone(false, path, 0, mode, 1), -1) << mode;
    for (int mode : {-1, 9, 100}) EXPECT_EQ(EncodeTone(true, path, 0, mode, 1), -1) << mode;
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(AmrEncoders, WriteFailuresAreReported) {
    // A full disk or an uncreatable file must come back as a failure, not as a finished file.
    TempDir dir;
    for (bool wide : {false, true}) {
        EXPECT_EQ(EncodeTone(wide, dir.File("missing/x.amr"), 0, 7, 1), -1);
        // Buffered writes reach /dev/full at the latest when the file is completed.
        EXPECT_EQ(EncodeTone(wide, "/dev/full", 0, 7, 200), 0);
    }
}

}  // namespace
