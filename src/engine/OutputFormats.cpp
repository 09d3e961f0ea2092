#include "engine/OutputFormats.h"

#include "settings/ConversionSettings.h"

namespace {

using S = ConversionSettings;

// Synthesised sources render at the explicit rate of a format's options, else at CD rate.
int Mp3Rate(const S& s) {
    return s.AutoDestMP3EncodingParam || s.MP3SampleRate <= 0 ? 44100 : s.MP3SampleRate;
}
int WavRate(const S& s) {
    return s.AutoDestWAVEncodingParam || s.WAVSampleRate <= 0 ? 44100 : s.WAVSampleRate;
}
int OggRate(const S& s) {
    return s.AutoDestOGGEncodingParam || s.OGGSampleRate <= 0 ? 44100 : s.OGGSampleRate;
}
int WmaRate(const S& s) {
    return s.AutoDestWMAEncodingParam ? 44100 : s.WMASampleRate;
}
// libfaac takes the source's own rate; only a synthesised source is rendered for it.
int AacRate(const S&) {
    return 44100;
}
// AMR codes at its band's rate: "amr" output is narrow band unless AMRType asks for wide band.
int AmrRate(const S& s) {
    return s.AMRType == 0 ? 8000 : 16000;
}
int AwbRate(const S&) {
    return 16000;
}

constexpr FormatCommonOptions kMp3Options{&S::AmplifyMp3, &S::AmplifyMp3Coeff, &S::MP3ID3TagType, &S::MP3Tag};
constexpr FormatCommonOptions kWavOptions{&S::AmplifyWav, &S::AmplifyWavCoeff, nullptr, nullptr};
constexpr FormatCommonOptions kOggOptions{&S::AmplifyOGG, &S::AmplifyOGGCoeff, &S::OGGID3TagType, &S::OGGTag};
constexpr FormatCommonOptions kAmrOptions{&S::AmplifyAMR, &S::AmplifyAMRCoef, nullptr, nullptr};
constexpr FormatCommonOptions kAacOptions{&S::AmplifyAAC, &S::AmplifyAACCoef, nullptr, nullptr};
constexpr FormatCommonOptions kM4aOptions{&S::AmplifyM4A, &S::AmplifyM4ACoef, &S::M4AID3TagType, &S::M4ATag};
constexpr FormatCommonOptions kWmaOptions{&S::AmplifyWMA, &S::AmplifyWMACoeff, &S::WMAID3TagType, &S::WMATag};

constexpr OutputFormatInfo kFormats[] = {
    {kFormatMp3, "MP3", ".mp3", "mp3", kMp3Options, &Mp3Rate, false},
    {kFormatWav, "WAV", ".wav", "wav", kWavOptions, &WavRate, false},
    {kFormatOgg, "OGG", ".ogg", "ogg", kOggOptions, &OggRate, false},
    {kFormatAmr, "AMR", ".amr", "amr", kAmrOptions, &AmrRate, false},
    {kFormatAwb, "AWB", ".awb", "awb", kAmrOptions, &AwbRate, false},
    {kFormatAac, "AAC", ".aac", "aac", kAacOptions, &AacRate, false},
    {kFormatM4a, "M4A", ".m4a", "m4a", kM4aOptions, &AacRate, false},
    {kFormatMp4, "MP4", ".mp4", "mp4", kM4aOptions, &AacRate, false},
    {kFormatM4b, "M4B", ".m4b", "m4b", kM4aOptions, &AacRate, false},
    {kFormatWma, "WMA", ".wma", "wma", kWmaOptions, &WmaRate, true},
};

}  // namespace

float OutputFormatInfo::Gain(const ConversionSettings& settings) const {
    if (!common.amplify || !(settings.*common.amplify)) return 0.0f;
    const std::int32_t percent = settings.*common.coefficient;
    return percent == 100 ? 0.0f : static_cast<float>(percent) * 0.01f;
}

std::span<const OutputFormatInfo> OutputFormatTable() {
    return kFormats;
}

const OutputFormatInfo* FindOutputFormat(int code) {
    for (const auto& f : kFormats)
        if (f.code == code) return &f;
    return nullptr;
}

const char* OutputFormatName(int outputFormat) {
    const OutputFormatInfo* f = FindOutputFormat(outputFormat);
    return f ? f->name : "";
}
