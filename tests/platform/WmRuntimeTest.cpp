#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/wmf/WmSyncReader.h"
#include "platform/wmf/WmWriter.h"
#include "platform/wmf/WmaCodecTable.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

struct Pcm {
    int rate;
    int channels;
    std::vector<std::int16_t> samples;  // interleaved
    int Frames() const { return static_cast<int>(samples.size()) / channels; }
};

/// Quiet noise with a loud click at one frame, so that the click's place can be found again.
Pcm ClickSignal(int rate, int channels, int frames, int clickAt) {
    Pcm pcm{rate, channels, std::vector<std::int16_t>(static_cast<std::size_t>(frames * channels))};
    std::uint32_t seed = 12345;
    for (auto& s : pcm.samples) {
        seed = seed * 1664525u + 1013904223u;
        s = static_cast<std::int16_t>(static_cast<int>(seed >> 24) - 128);
    }
    for (int i = 0; i < 4; ++i) {
        for (int c = 0; c < channels; ++c)
            pcm.samples[static_cast<std::size_t>((clickAt + i) * channels + c)] = 24000;
    }
    return pcm;
}

/// Writes PCM through the runtime's writer into a file of the given codec format.
WmResult WriteWma(const std::string& path, const Pcm& pcm, const WmMediaType& codec, std::uint32_t bitrate,
                  const std::vector<WmAttribute>& attributes = {}, int framesPerSample = 1152) {
    std::unique_ptr<WmWriter> writer;
    WMCreateWriter(writer);
    WmProfile profile;
    std::unique_ptr<WmStreamConfig> stream;
    profile.CreateNewStream(kMediaTypeAudio, stream);
    stream->SetMediaType(codec);
    stream->SetStreamNumber(1);
    stream->SetBitrate(bitrate);
    profile.AddStream(*stream);
    if (WmResult r = writer->SetProfile(profile); WmFailed(r)) return r;
    WaveFormatEx wave{1,
                      static_cast<std::uint16_t>(pcm.channels),
                      static_cast<std::uint32_t>(pcm.rate),
                      static_cast<std::uint32_t>(pcm.rate * pcm.channels * 2),
                      static_cast<std::uint16_t>(pcm.channels * 2),
                      16,
                      0};
    WmMediaProps input;
    input.SetMediaType(WmMediaType::Audio(kMediaSubtypePcm, wave));
    if (WmResult r = writer->SetInputProps(0, input); WmFailed(r)) return r;
    for (const auto& a : attributes) {
        writer->AddAttribute(0, a.name, a.type, 0, a.value.data(),
                             static_cast<std::uint32_t>(a.value.size()));
    }
    writer->SetOutputFilename(path.c_str());
    if (WmResult r = writer->BeginWriting(); WmFailed(r)) return r;
    for (int at = 0; at < pcm.Frames(); at += framesPerSample) {
        const int frames = std::min(framesPerSample, pcm.Frames() - at);
        std::unique_ptr<WmBuffer> sample;
        const auto bytes = static_cast<std::uint32_t>(frames * pcm.channels * 2);
        writer->AllocateSample(bytes, sample);
        std::memcpy(sample->GetBuffer(), &pcm.samples[static_cast<std::size_t>(at * pcm.channels)], bytes);
        sample->SetLength(bytes);
        if (WmResult r = writer->WriteSample(0, 0, 0, *sample); WmFailed(r)) return r;
    }
    return writer->EndWriting();
}

/// Everything the runtime's reader decodes from the first audio stream.
Pcm ReadAll(const std::string& path) {
    Pcm pcm{0, 0, {}};
    WmSyncReader reader;
    if (WmFailed(reader.Open(path.c_str()))) return pcm;
    std::unique_ptr<WmMediaProps> props;
    WmMediaType type;
    WaveFormatEx wave;
    if (WmFailed(reader.GetOutputProps(0, props)) || WmFailed(props->GetMediaType(type)) ||
        !type.GetWaveFormat(wave)) {
        return pcm;
    }
    pcm.rate = static_cast<int>(wave.samplesPerSec);
    pcm.channels = wave.channels;
    std::unique_ptr<WmBuffer> sample;
    std::uint64_t time = 0, duration = 0;
    std::uint32_t flags = 0, output = 0;
    std::uint16_t number = 0;
    while (!WmFailed(reader.GetNextSample(0, sample, time, duration, flags, output, number))) {
        std::uint8_t* data = nullptr;
        std::size_t length = 0;
        sample->GetBufferAndLength(data, length);
        const std::size_t old = pcm.samples.size();
        pcm.samples.resize(old + length / 2);
        std::memcpy(&pcm.samples[old], data, length / 2 * 2);
    }
    return pcm;
}

int LoudestFrame(const std::vector<std::int16_t>& samples, int channels) {
    std::size_t best = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) > std::abs(samples[best])) best = i;
    }
    return static_cast<int>(best) / channels;
}

TEST(WmaCodecTable, EveryOfferedFormatEncodesAndDecodesInItsRateAndChannels) {
    // The format list is only as good as this table: a row the encoder refuses would make an
    // offered format fail every conversion.
    TempDir dir;
    for (const WmaCodecFormat& f : WmaCodecFormats()) {
        SCOPED_TRACE(WmaFormatDescription(f));
        auto type = WmaCodecMediaType(f.sampleRate, f.channels, f.bitrate);
        ASSERT_TRUE(type);
        WaveFormatEx wave;
        ASSERT_TRUE(type->GetWaveFormat(wave));
        EXPECT_EQ(wave.formatTag, 0x161);
        EXPECT_EQ(wave.avgBytesPerSec * 8, static_cast<std::uint32_t>(f.bitrate));
        const std::string path = dir.File("f.wma");
        const Pcm in = ClickSignal(f.sampleRate, f.channels, f.sampleRate / 4, f.sampleRate / 8);
        ASSERT_EQ(WriteWma(path, in, *type, static_cast<std::uint32_t>(f.bitrate)), kWmOk);
        const Pcm out = ReadAll(path);
        EXPECT_EQ(out.rate, f.sampleRate);
        EXPECT_EQ(out.channels, f.channels);
        EXPECT_GE(out.Frames(), in.Frames());
    }
}

TEST(WmaCodecTable, FormatsBelowTheEncodersFloorAreRefused) {
    EXPECT_FALSE(WmaCodecMediaType(22050, 1, 20000));
    EXPECT_FALSE(WmaCodecMediaType(44100, 3, 128000));
}

struct LossCase {
    int inRate, inChannels, codecRate, codecChannels, bitrate;
};

class WmRoundTrip : public ::testing::TestWithParam<LossCase> {};

TEST_P(WmRoundTrip, LosesNoAudioAtEitherEnd) {
    // FFmpeg's decoder drops the first frame it decodes and needs the frame after the last one
    // to complete it; the file must still give back the whole source, click in place.
    const LossCase c = GetParam();
    TempDir dir;
    const std::string path = dir.File("click.wma");
    const int frames = c.inRate * 2 + 123;
    const int clickAt = c.inRate / 4;  // inside the first frame at every rate
    const Pcm in = ClickSignal(c.inRate, c.inChannels, frames, clickAt);
    auto type = WmaCodecMediaType(c.codecRate, c.codecChannels, c.bitrate);
    ASSERT_TRUE(type);
    ASSERT_EQ(WriteWma(path, in, *type, static_cast<std::uint32_t>(c.bitrate)), kWmOk);
    const double scale = static_cast<double>(c.codecRate) / c.inRate;
    const int expectedClick = static_cast<int>(clickAt * scale);
    const double slack = 3 + 4 * scale;  // the click is four frames wide and rings when resampled
    const int expectedFrames = static_cast<int>(frames * scale);
    const int frameSize = c.codecRate <= 16000 ? 512 : c.codecRate <= 22050 ? 1024 : 2048;

    const Pcm ours = ReadAll(path);
    EXPECT_NEAR(LoudestFrame(ours.samples, ours.channels), expectedClick, slack);
    EXPECT_GE(ours.Frames(), expectedFrames - 2);
    EXPECT_LE(ours.Frames(), expectedFrames + 3 * frameSize);
    if (!testsupport::HaveTool("ffmpeg")) return;
    const auto peer = testsupport::FfmpegDecodeS16(path, c.codecChannels);
    EXPECT_NEAR(LoudestFrame(peer, c.codecChannels), expectedClick, slack);
    EXPECT_GE(static_cast<int>(peer.size()) / c.codecChannels, expectedFrames - 2);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WmRoundTrip,
    ::testing::Values(LossCase{44100, 2, 44100, 2, 128000}, LossCase{8000, 1, 8000, 1, 24000},
                      LossCase{22050, 1, 22050, 1, 32000}, LossCase{22050, 2, 44100, 2, 64000},
                      LossCase{48000, 2, 44100, 1, 48000}, LossCase{11025, 1, 44100, 2, 96000}));

TEST(WmRuntime, AttributesComeBackByNameWithTheirTypes) {
    TempDir dir;
    const std::string path = dir.File("tags.wma");
    std::vector<WmAttribute> attributes = {
        {"Title", WmAttrType::String, Utf16Bytes("Caf\xC3\xA9", true)},
        {"Author", WmAttrType::String, Utf16Bytes("Someone", false)},
        {"Description", WmAttrType::String, Utf16Bytes("A comment", false)},
        {"WM/AlbumTitle", WmAttrType::String, Utf16Bytes("An album", false)},
        {"WM/TrackNumber", WmAttrType::Dword, {7, 0, 0, 0}},
        {"WM/Genre", WmAttrType::String, {}},  // no value: left out
    };
    const Pcm in = ClickSignal(44100, 2, 44100, 1000);
    ASSERT_EQ(WriteWma(path, in, *WmaCodecMediaType(44100, 2, 128000), 128000, attributes), kWmOk);

    WmSyncReader reader;
    ASSERT_EQ(reader.Open(path.c_str()), kWmOk);
    auto read = [&](const char* name, WmAttrType& type) {
        std::uint16_t stream = 0, length = 0;
        std::vector<std::uint8_t> value;
        const WmResult r = reader.GetAttributeByName(stream, name, type, nullptr, length);
        if (WmFailed(r)) return std::make_pair(r, value);
        value.resize(length);
        return std::make_pair(reader.GetAttributeByName(stream, name, type, value.data(), length), value);
    };
    WmAttrType type{};
    for (const auto& a : attributes) {
        SCOPED_TRACE(a.name);
        auto [r, value] = read(a.name.c_str(), type);
        if (a.value.empty()) {
            EXPECT_EQ(r, kWmAttributeNotFound);
            continue;
        }
        ASSERT_EQ(r, kWmOk);
        EXPECT_EQ(type, a.type);
        std::vector<std::uint8_t> expected = a.value;
        const bool terminated =
            expected.size() >= 2 && expected.back() == 0 && expected[expected.size() - 2] == 0;
        if (a.type == WmAttrType::String && !terminated) expected.insert(expected.end(), {0, 0});
        EXPECT_EQ(value, expected);
    }
    auto [r, duration] = read("Duration", type);
    ASSERT_EQ(r, kWmOk);
    ASSERT_EQ(type, WmAttrType::Qword);
    std::uint64_t units = 0;
    for (int i = 7; i >= 0; --i) units = units << 8 | duration[static_cast<std::size_t>(i)];
    EXPECT_NEAR(static_cast<double>(units), 1e7, 2e6);  // one second and the codec's padding
    EXPECT_EQ(read("Bitrate", type).first, kWmOk);
    EXPECT_EQ(read("WM/Composer", type).first, kWmAttributeNotFound);
}

TEST(WmRuntime, ReaderRejectsWhatIsNotAsfAndDamagedHeadersHaveNoDuration) {
    TempDir dir;
    const std::string path = dir.File("x.wma");
    testsupport::WriteBytes(path, std::vector<std::uint8_t>(4096, 0x55));
    WmSyncReader reader;
    EXPECT_TRUE(WmFailed(reader.Open(path.c_str())));
    std::uint32_t count = 0;
    EXPECT_TRUE(WmFailed(reader.GetOutputCount(count)));

    const std::string good = dir.File("good.wma");
    ASSERT_EQ(WriteWma(good, ClickSignal(8000, 1, 8000, 10), *WmaCodecMediaType(8000, 1, 24000), 24000),
              kWmOk);
    auto bytes = testsupport::ReadBytes(good);
    ASSERT_TRUE(AsfPlayDuration(good));
    // A header that claims more bytes than the file has, and one cut inside the file properties.
    for (std::size_t cut : {std::size_t{60}, std::size_t{40}}) {
        testsupport::WriteBytes(path, {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)});
        EXPECT_FALSE(AsfPlayDuration(path)) << cut;
    }
}

}  // namespace
