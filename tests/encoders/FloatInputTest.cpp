#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "encoders/FaacEncoder.h"
#include "encoders/Mp3Writer.h"
#include "encoders/OggWriter.h"
#include "encoders/WavWriter.h"
#include "support/TestSupport.h"

namespace {

namespace ts = testsupport;

constexpr int kRate = 44100;
constexpr int kFrames = 22050;

// Samples of a sine; as floats (full scale 1.0) or rounded to 16 bits.
std::vector<float> Tone(double amplitude) {
    std::vector<float> s(kFrames);
    for (int i = 0; i < kFrames; ++i)
        s[std::size_t(i)] =
            static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * 1000.0 * i / kRate));
    return s;
}
std::vector<std::int16_t> Rounded(const std::vector<float>& f) {
    std::vector<std::int16_t> s(f.size());
    for (std::size_t i = 0; i < f.size(); ++i) s[i] = static_cast<std::int16_t>(std::lround(f[i] * 32768.0));
    return s;
}

// ffmpeg's decode of the first channel as floats.
std::vector<float> Decode(const std::string& path) {
    std::string raw;
    ts::Run({"ffmpeg", "-v", "error", "-nostdin", "-i", path, "-ac", "1", "-f", "f32le", "-"}, &raw);
    std::vector<float> out(raw.size() / 4);
    if (!out.empty()) std::memcpy(out.data(), raw.data(), out.size() * 4);
    return out;
}

double AmplitudeAt1k(const std::vector<float>& s) {
    double c = 0, q = 0;
    const std::size_t from = s.size() / 4, to = s.size() * 3 / 4;
    for (std::size_t i = from; i < to; ++i) {
        const double w = 2 * std::numbers::pi * 1000.0 * double(i) / kRate;
        c += s[i] * std::cos(w);
        q += s[i] * std::sin(w);
    }
    return to > from ? 2 * std::hypot(c, q) / double(to - from) : 0.0;
}

// Encodes mono blocks of 1152 frames through either entry point; 1 on success.
struct Encoder {
    const char* name;
    const char* extension;
    std::function<int(const std::string&, const std::vector<float>*, const std::vector<std::int16_t>*)>
        encode;
};

template <typename Block>
int Blocks(int frames, Block block) {
    for (int at = 0; at < frames; at += 1152)
        if (!block(at, std::min(1152, frames - at))) return 0;
    return 1;
}

int EncodeMp3(const std::string& path, const std::vector<float>* f, const std::vector<std::int16_t>* s) {
    Mp3Writer w;
    if (!w.Open(path)) return 0;
    w.SetInputRate(kRate);
    w.SetChannels(1);
    w.SetBitrate(128);
    if (!w.Start()) return 0;
    const int ok = Blocks(kFrames, [&](int at, int n) {
        return f ? w.EncodeFloat(f->data() + at, nullptr, n) : w.Encode(s->data() + at, nullptr, n);
    });
    return w.Finish() && ok;
}

int EncodeOgg(const std::string& path, const std::vector<float>* f, const std::vector<std::int16_t>* s) {
    OggWriter w;
    if (!w.Open(path) || !w.Setup(kRate, 1, 128000) || !w.WriteHeaders(1)) return 0;
    const int ok = Blocks(kFrames, [&](int at, int n) {
        return f ? w.EncodeFloat(f->data() + at, nullptr, n) : w.Encode(s->data() + at, nullptr, n);
    });
    return ok && w.Encode(nullptr, nullptr, 0) && w.Close();
}

int EncodeAac(const std::string& path, const std::vector<float>* f, const std::vector<std::int16_t>* s) {
    FaacEncoder e;
    if (!e.Open(kRate, 1, ADTS_STREAM)) return 0;
    if (f) e.UseFloatInput();
    if (!e.Start()) return 0;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return 0;
    const FaacEncoder::Sink sink = [&](std::int64_t, const std::uint8_t* bytes, int length) {
        return length == 0 || std::fwrite(bytes, 1, std::size_t(length), out) == std::size_t(length) ? 1 : 0;
    };
    const int ok = Blocks(kFrames, [&](int at, int n) {
        return f ? e.WriteFloat(f->data() + at, nullptr, n, sink)
                 : e.Write16(s->data() + at, nullptr, n, sink);
    });
    const int drained = e.Drain(sink);
    return std::fclose(out) == 0 && ok && drained;
}

class FloatInput : public ::testing::TestWithParam<Encoder> {};

TEST_P(FloatInput, KeepsTheLevelOfTheSixteenBitEntry) {
    // A float entry with the wrong scale (libfaac wants the 16-bit range, LAME and libvorbis ±1.0)
    // comes out silent, clipped or 90 dB too loud.
    const Encoder& e = GetParam();
    ts::TempDir dir;
    const auto tone = Tone(0.5);
    const auto sixteen = Rounded(tone);
    const std::string a = dir.File(std::string("float") + e.extension),
                      b = dir.File(std::string("s16") + e.extension);
    ASSERT_EQ(e.encode(a, &tone, nullptr), 1);
    ASSERT_EQ(e.encode(b, nullptr, &sixteen), 1);
    const double viaFloat = AmplitudeAt1k(Decode(a)), viaInt = AmplitudeAt1k(Decode(b));
    EXPECT_NEAR(20 * std::log10(viaFloat / viaInt), 0.0, 0.05);
    EXPECT_NEAR(viaFloat, 0.5, 0.03);
}

INSTANTIATE_TEST_SUITE_P(Encoders, FloatInput,
                         ::testing::Values(Encoder{"Mp3", ".mp3", EncodeMp3},
                                           Encoder{"Ogg", ".ogg", EncodeOgg},
                                           Encoder{"Aac", ".aac", EncodeAac}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WavWriterWide, TwentyFourBitAndFloatReadBackByThePeerSampleForSample) {
    // The header must tell readers what the data is (PCM 24 or IEEE float), and no bit may be lost.
    ts::TempDir dir;
    const std::vector<std::int32_t> l24{-8388608, -1, 0, 1, 8388607, 123456}, r24{7, 6, 5, 4, 3, -2};
    const std::vector<float> lf{-1.5f, -1.0f, 0.0f, 1e-7f, 0.5f, 1.25f},
        rf{0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
    {
        WavWriter w;
        ASSERT_EQ(w.Open(dir.File("a.wav"), true, 24, 96000), 1);
        ASSERT_EQ(w.Write24(l24.data(), r24.data(), 6), 1);
        ASSERT_EQ(w.Close(), 1);
        ASSERT_EQ(w.Open(dir.File("b.wav"), true, 32, 96000), 1);
        ASSERT_EQ(w.WriteFloat(lf.data(), rf.data(), 6), 1);
        ASSERT_EQ(w.Close(), 1);
    }
    std::string raw;
    ASSERT_EQ(ts::Run({"ffmpeg", "-v", "error", "-i", dir.File("a.wav"), "-f", "s32le", "-"}, &raw), 0);
    ASSERT_EQ(raw.size(), 48u);
    for (int i = 0; i < 12; ++i) {
        std::int32_t v;
        std::memcpy(&v, raw.data() + 4 * i, 4);
        EXPECT_EQ(v >> 8, i % 2 ? r24[std::size_t(i / 2)] : l24[std::size_t(i / 2)]);
    }
    raw.clear();
    ASSERT_EQ(ts::Run({"ffmpeg", "-v", "error", "-i", dir.File("b.wav"), "-f", "f32le", "-"}, &raw), 0);
    ASSERT_EQ(raw.size(), 48u);
    for (int i = 0; i < 12; ++i) {
        float v;
        std::memcpy(&v, raw.data() + 4 * i, 4);
        EXPECT_EQ(v, i % 2 ? rf[std::size_t(i / 2)] : lf[std::size_t(i / 2)]);
    }
    std::string info;
    ts::Run({"sox", "--i", "-e", dir.File("b.wav")}, &info);
    EXPECT_NE(info.find("Floating Point"), std::string::npos) << info;
}

}  // namespace
