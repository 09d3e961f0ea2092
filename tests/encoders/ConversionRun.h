#pragma once
// Runs conversions on real files and builds their sources.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "encoders/ConversionRoutines.h"
#include "encoders/WavWriter.h"
#include "engine/ConversionJob.h"
#include "engine/EngineContext.h"
#include "engine/OutputFormats.h"
#include "engine/WmaFormatList.h"
#include "settings/ConversionSettings.h"
#include "support/EngineDoubles.h"
#include "support/PeerSignals.h"
#include "support/RecordingUserInteraction.h"
#include "support/TestSupport.h"

namespace convtest {

/// One conversion into a format of the table, with the program's own readers and a throw-away
/// folder. With wmfRuntime the Windows Media runtime is loaded and its format list built.
struct ConversionRun {
    explicit ConversionRun(int format = kFormatMp3, bool wmfRuntime = false)
        : runtime(wmfRuntime ? WmfRuntime() : WmfRuntime([] { return false; })) {
        settings.OutputFormat = format;
        if (wmfRuntime && runtime.LoadWmfRuntime()) BuildWmaFormatList(engine.shared.wmaFormats, runtime);
    }

    testsupport::TempDir dir;
    WmfRuntime runtime;
    testsupport::RecordingUserInteraction user;
    EngineContext engine{runtime, user};
    ConversionSettings settings{""};
    testsupport::ProgressLog log;
    testsupport::RecordingProgress progress{log};

    int Convert(SourceKind kind, const std::string& source, const std::string& output, int sequence = 1) {
        ConversionJob job{kind, source, output, progress, engine, settings, sequence};
        return ConvertFile(job);
    }
};

/// Writes planar 16-bit channels as a WAV file of 8 or 16 bits (8-bit samples keep the waveform);
/// right is used only for two channels.
inline void WriteWav(const std::string& path, int rate, int channels, int bits,
                     const std::vector<std::int16_t>& left, const std::vector<std::int16_t>& right) {
    const int frames = static_cast<int>(left.size());
    WavWriter out;
    ASSERT_EQ(out.Open(path, channels == 2, bits, rate), 1);
    if (bits == 16) {
        ASSERT_EQ(out.Write16(left.data(), right.data(), frames), 1);
    } else {
        std::vector<std::uint8_t> l8(left.size()), r8(right.size());
        for (std::size_t i = 0; i < left.size(); ++i) l8[i] = static_cast<std::uint8_t>((left[i] >> 8) + 128);
        for (std::size_t i = 0; i < right.size(); ++i)
            r8[i] = static_cast<std::uint8_t>((right[i] >> 8) + 128);
        ASSERT_EQ(out.Write8(l8.data(), channels == 2 ? r8.data() : nullptr, frames), 1);
    }
    ASSERT_EQ(out.Close(), 1);
}

struct Signal {
    int rate = 44100;
    int channels = 2;
    int bits = 16;
    double seconds = 1.0;
};

/// A music-like signal: a chord whose notes swell and fade, over a little noise; libfaac's VBR
/// mode mistreats pure sines, so levels are judged on this. Peak about half of full scale.
inline std::vector<std::int16_t> Music(int frames, int rate, int channel) {
    std::vector<std::int16_t> s(static_cast<std::size_t>(frames));
    std::uint32_t noise = 12345u + static_cast<std::uint32_t>(channel);
    const double notes[] = {220.0, 277.2, 329.6, 440.0 * (channel ? 1.5 : 1.0)};
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        double v = 0;
        for (int n = 0; n < 4; ++n)
            v += std::sin(2 * M_PI * notes[n] * t) * (0.5 + 0.5 * std::sin(2 * M_PI * (0.7 + n) * t));
        noise = noise * 1664525u + 1013904223u;
        v = v * 3500 + (static_cast<double>(noise >> 16) - 32768.0) * 0.02;
        s[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(v);
    }
    return s;
}

inline void WriteMusicWav(const std::string& path, const Signal& sig) {
    const int frames = static_cast<int>(sig.rate * sig.seconds);
    WriteWav(path, sig.rate, sig.channels, sig.bits, Music(frames, sig.rate, 0), Music(frames, sig.rate, 1));
}

/// Root mean square over all samples.
inline double Rms(const std::vector<std::int16_t>& pcm) {
    double sum = 0;
    for (std::int16_t v : pcm) sum += static_cast<double>(v) * v;
    return pcm.empty() ? 0 : std::sqrt(sum / static_cast<double>(pcm.size()));
}

inline double Db(double ratio) {
    return 20 * std::log10(ratio);
}

/// One `-show_entries stream=...` value of ffprobe for the first audio stream.
inline std::string ProbeValue(const std::string& path, const std::string& key) {
    std::string out;
    testsupport::Run({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries", "stream=" + key,
                      "-of", "default=nw=1:nk=1", path},
                     &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

/// Writes a WAV file of `seconds` of ffmpeg's `expression` (aevalsrc, one term per channel
/// separated by "|") in `codec` ("pcm_s16le", "pcm_s24le", "pcm_u8"); false when ffmpeg fails.
inline bool MakeLavfiWav(const std::string& path, const std::string& expression, int rate, double seconds,
                         const std::string& codec) {
    return testsupport::Run(
               {"ffmpeg", "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                "aevalsrc=" + expression + ":s=" + std::to_string(rate) + ":d=" + std::to_string(seconds),
                "-c:a", codec, path}) == 0;
}

/// ffmpeg's decode of a file into raw samples of `format` ("s32le", "f32le"); empty on failure.
inline std::string RawSamples(const std::string& path, const std::string& format) {
    std::string raw;
    testsupport::Run({"ffmpeg", "-v", "error", "-nostdin", "-i", path, "-f", format, "-"}, &raw);
    return raw;
}

}  // namespace convtest
