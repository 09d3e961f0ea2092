#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "encoders/AmrChecks.h"
#include "encoders/AmrWriter.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

std::vector<std::int16_t> Tone(std::size_t samples, int rate) {
    std::vector<std::int16_t> s(samples);
    for (std::size_t i = 0; i < samples; ++i)
        s[i] = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 500.0 * static_cast<double>(i) / rate));
    return s;
}

// Writes the samples in pieces of `chunk` (all at once when 0); the file's bytes, empty on failure.
std::vector<std::uint8_t> WriteInChunks(const std::string& path, bool narrow,
                                        const std::vector<std::int16_t>& s, int chunk) {
    AmrWriter w;
    w.Reset(narrow);
    w.SetNarrowMode(7);
    w.SetWideMode(8);
    if (!w.Start(path)) return {};
    const int total = static_cast<int>(s.size());
    const int step = chunk ? chunk : total;
    for (int at = 0; at < total; at += step)
        if (!w.Write(s.data() + at, std::min(step, total - at))) return {};
    if (!w.Finish()) return {};
    return testsupport::ReadBytes(path);
}

TEST(AmrWriter, FramingIsTheSameWhateverTheBlockSizes) {
    // Samples split across blocks must be framed exactly as if written at once, and the last
    // partial frame padded with silence, not with stale samples.
    TempDir dir;
    for (bool narrow : {true, false}) {
        SCOPED_TRACE(narrow ? "narrow" : "wide");
        const std::size_t f = narrow ? 160 : 320;
        const std::size_t count = narrow ? 1000 : 2000;  // 6 whole frames and a partial one
        const auto tone = Tone(count, narrow ? 8000 : 16000);
        auto padded = tone;
        padded.resize(7 * f, 0);
        const auto reference = WriteInChunks(dir.File("ref.amr"), narrow, padded, 0);
        ASSERT_FALSE(reference.empty());
        const auto file = testsupport::ParseAmrFile(reference);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->frames.size(), 7u);
        EXPECT_EQ(amrchecks::Decode(dir.File("ref.amr")).size(), 7 * f);
        for (int chunk : {0, 1, 37, 159, 160, 161, 319, 320, 321, 1152})
            EXPECT_EQ(WriteInChunks(dir.File("c.amr"), narrow, tone, chunk), reference) << "chunk " << chunk;
    }
}

TEST(AmrWriter, FailedWriteSticksAndFinishReportsIt) {
    // A full disk must fail the conversion even when only the final flush hits it.
    AmrWriter w;
    w.Reset(true);
    ASSERT_EQ(w.Start("/dev/full"), 1);
    const auto tone = Tone(160 * 300, 8000);
    int ok = 1;
    for (std::size_t at = 0; at < tone.size() && ok; at += 1152)
        ok = w.Write(tone.data() + at, static_cast<int>(std::min<std::size_t>(1152, tone.size() - at)));
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(w.Write(tone.data(), 160), 0);
    EXPECT_EQ(w.Finish(), 0);
    EXPECT_FALSE(w.IsOpen());
}

TEST(AmrWriter, ResetFinishesTheEarlierFileAndRestoresDefaults) {
    // Reusing a writer must complete the earlier file and not carry DTX or a mode into the next.
    TempDir dir;
    AmrWriter w;
    w.Reset(false);
    w.SetDtx(1);
    w.SetWideMode(0);
    ASSERT_EQ(w.Start(dir.File("first.awb")), 1);
    const auto tone = Tone(500, 16000);
    ASSERT_EQ(w.Write(tone.data(), 500), 1);
    w.Reset(true);
    EXPECT_FALSE(w.IsOpen());
    const auto first = testsupport::ParseAmrFile(testsupport::ReadBytes(dir.File("first.awb")));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->frames.size(), 2u);  // 320 + 180 padded
    ASSERT_EQ(w.Start(dir.File("second.amr")), 1);
    ASSERT_EQ(w.Write(tone.data(), 160), 1);
    ASSERT_EQ(w.Finish(), 1);
    const auto second = testsupport::ParseAmrFile(testsupport::ReadBytes(dir.File("second.amr")));
    ASSERT_TRUE(second);
    EXPECT_FALSE(second->wide);
    EXPECT_EQ(second->CountType(6), 1);  // the default mode, 10.2 kbit/s
}

}  // namespace
