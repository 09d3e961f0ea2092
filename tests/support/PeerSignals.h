#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace testsupport {

/// Writes the 16-bit source signals the peer comparisons encode: "stereo.wav" (22050 Hz),
/// "mono.wav" (8000 Hz), "six.wav" (5.1) and "four.wav" (4.0). Noise and tones near full scale,
/// with lengths that end inside a block so partial blocks and drains across calls are exercised.
inline void WritePeerSignals(const TempDir& dir) {
    auto make = [&](const std::string& source, const std::string& name) {
        Run({"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i", source, "-c:a", "pcm_s16le",
             dir.File(name)});
    };
    make("aevalsrc=0.9*sin(2*PI*440*t)+0.1*random(0)|0.6*sin(2*PI*1234*t*t)-0.3*random(1):s=22050:d=1.3",
         "stereo.wav");
    make("aevalsrc=0.95*sin(2*PI*300*t)*sin(2*PI*3*t)+0.05*random(0):s=8000:d=1.37", "mono.wav");
    make(
        "aevalsrc=0.1*random(0)|0.2*random(1)|0.3*random(2)|0.4*random(3)|0.5*random(4)|0.6*random(5)"
        ":s=11025:d=0.5:c=5.1",
        "six.wav");
    make("aevalsrc=0.3*random(0)|0.5*random(1)|0.7*random(2)|0.9*random(3):s=11025:d=0.4:c=4.0", "four.wav");
}

/// A parameterised suite whose cases share one set of peer signals, written once per suite.
template <typename Param>
class PeerSignalSuite : public ::testing::TestWithParam<Param> {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<TempDir>();
        WritePeerSignals(*s_dir);
    }
    static void TearDownTestSuite() { s_dir.reset(); }
    static inline std::unique_ptr<TempDir> s_dir;
};

inline bool HaveTools(const std::vector<std::string>& tools) {
    return std::all_of(tools.begin(), tools.end(), [](const std::string& t) { return HaveTool(t); });
}

/// Channels 1 and `second` + 1 of an interleaved stream of `channels` channels; a stream of one
/// or two channels is returned as it is.
inline std::vector<std::int16_t> PickTwo(const std::vector<std::int16_t>& all, int channels, int second) {
    if (channels <= 2) return all;
    std::vector<std::int16_t> out;
    const auto step = static_cast<std::size_t>(channels);
    for (std::size_t i = 0; i + step <= all.size(); i += step) {
        out.push_back(all[i]);
        out.push_back(all[i + static_cast<std::size_t>(second)]);
    }
    return out;
}

/// Same length, and no sample further from the peer's than tolerance; a failure names the worst.
inline void ExpectSamplesNear(const std::vector<std::int16_t>& ours, const std::vector<std::int16_t>& ref,
                              int tolerance) {
    ASSERT_EQ(ours.size(), ref.size());
    int worst = 0;
    std::size_t worstAt = 0;
    for (std::size_t i = 0; i < ref.size(); ++i) {
        const int diff = std::abs(ours[i] - ref[i]);
        if (diff > worst) {
            worst = diff;
            worstAt = i;
        }
    }
    EXPECT_LE(worst, tolerance) << "at sample " << worstAt << ": " << ours[worstAt] << " vs " << ref[worstAt];
}

}  // namespace testsupport
