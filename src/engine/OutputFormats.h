#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "engine/ConversionJob.h"
#include "settings/ConversionSettings.h"
#include "tags/TagWriters.h"

/// The codes of the OutputFormat option. Where a family is also read, its SourceKind is the same code.
enum OutputFormatCode : int {
    kFormatMp3 = 1000,
    kFormatWav = 2000,
    kFormatOgg = 4000,
    kFormatAmr = 5500,
    kFormatAwb = 5600,
    kFormatAac = 6000,
    kFormatM4a = 6500,
    kFormatMp4 = 6600,
    kFormatM4b = 6700,
    kFormatWma = 7000,
    kFormatFlac = 8000,
    kFormatOpus = 8100,
};

/// The options every format has, as members of the settings; a null member means the format has
/// no such option.
struct FormatCommonOptions {
    std::int32_t ConversionSettings::*amplify;      // nonzero: scale the samples by the coefficient
    std::int32_t ConversionSettings::*coefficient;  // percent
    std::int32_t ConversionSettings::*tagType;      // kTagsFromTemplate, kTagsFromSource or none
    TagTemplate ConversionSettings::*tagTemplate;   // used with kTagsFromTemplate
};

/// How a written output is checked when outputs are verified: decoded with the converter's own readers
/// as `readAs`, its length must lie within `lengthTolerance` frames (at the output's rate) of what the
/// encoder was fed, and with `samplesExact` the decoded samples must equal the fed ones.
struct OutputVerification {
    int readAs;  // the SourceKind the output is read as
    /// Frames the decoded length of the written file may differ by: the codec's delay and padding
    /// where the file does not state them; 0 where it is exact.
    int (*lengthTolerance)(const ConversionSettings& settings, const std::string& output);
    bool samplesExact;
};

/// One row per output format; front ends, naming, tags and the conversion frame read it, and nothing
/// else lists formats. The routine that writes a format lives with the encoders, under its code.
struct OutputFormatInfo {
    OutputFormatCode code;  // stored in the settings; never renumbered
    const char* name;       // in the batch progress text: "MP3"
    const char* extension;  // of the output file: ".mp3"
    const char* cliName;    // the command-line converter's -t value: "mp3"
    FormatCommonOptions common;
    /// The rate synthesised sources (MIDI, modules) render at for this format: the explicit rate of
    /// its options, else CD rate.
    int (*renderRate)(const ConversionSettings& settings);
    bool needsWmfRuntime;  // the batch loads the Windows Media runtime first
    OutputVerification verify;
    /// Where the source's other fields and pictures go once the format has finished its file.
    TagSystem tagSystem = TagSystem::None;

    /// The amplification factor the settings ask for; 0 for none.
    float Gain(const ConversionSettings& settings) const;
};

namespace output_formats {

using S = ConversionSettings;

constexpr FormatCommonOptions kMp3Options{&S::AmplifyMp3, &S::AmplifyMp3Coeff, &S::MP3ID3TagType, &S::MP3Tag};
constexpr FormatCommonOptions kWavOptions{&S::AmplifyWav, &S::AmplifyWavCoeff, nullptr, nullptr};
constexpr FormatCommonOptions kOggOptions{&S::AmplifyOGG, &S::AmplifyOGGCoeff, &S::OGGID3TagType, &S::OGGTag};
constexpr FormatCommonOptions kAmrOptions{&S::AmplifyAMR, &S::AmplifyAMRCoef, nullptr, nullptr};
constexpr FormatCommonOptions kAacOptions{&S::AmplifyAAC, &S::AmplifyAACCoef, nullptr, nullptr};
constexpr FormatCommonOptions kM4aOptions{&S::AmplifyM4A, &S::AmplifyM4ACoef, &S::M4AID3TagType, &S::M4ATag};
constexpr FormatCommonOptions kWmaOptions{&S::AmplifyWMA, &S::AmplifyWMACoeff, &S::WMAID3TagType, &S::WMATag};
constexpr FormatCommonOptions kFlacOptions{&S::AmplifyFLAC, &S::AmplifyFLACCoeff, &S::FLACID3TagType,
                                           &S::FLACTag};
constexpr FormatCommonOptions kOpusOptions{&S::AmplifyOpus, &S::AmplifyOpusCoeff, &S::OpusID3TagType,
                                           &S::OpusTag};

constexpr int Exact(const S&, const std::string&) {
    return 0;
}

/// The MP4 family states its exact length (an edit list and "iTunSMPB"); FFmpeg, which our readers of
/// it use, skips the priming but decodes the padding of the last frame.
constexpr int AacFramePadding(const S&, const std::string&) {
    return 1023;
}

/// Whether an MP3 file begins with an info frame (LAME's "Info" or "Xing") stating its delay, padding
/// and length. LAME leaves it out where it does not fit a frame (low bit rates at low sample rates).
bool Mp3StatesItsLength(const std::string& path);

// A format that takes the source's own rate renders synthesised sources at CD rate.
constexpr int CdRate(const S&) {
    return 44100;
}

}  // namespace output_formats

/// Every output format, in the order of their codes: the one description of each. A new format adds
/// its code above and its row here, and its maker to the encoders' list.
inline constexpr OutputFormatInfo kOutputFormats[] = {
    {kFormatMp3,
     "MP3",
     ".mp3",
     "mp3",
     output_formats::kMp3Options,
     [](const ConversionSettings& s) {
         return s.AutoDestMP3EncodingParam || s.MP3SampleRate <= 0 ? 44100 : s.MP3SampleRate;
     },
     false,
     {1000,
      [](const ConversionSettings& s, const std::string& output) {
          return s.MP3InfoFrame && output_formats::Mp3StatesItsLength(output) ? 0 : 3 * 1152;
      },
      false},
     TagSystem::Id3v2},
    {kFormatWav,
     "WAV",
     ".wav",
     "wav",
     output_formats::kWavOptions,
     [](const ConversionSettings& s) {
         return s.AutoDestWAVEncodingParam || s.WAVSampleRate <= 0 ? 44100 : s.WAVSampleRate;
     },
     false,
     {2000, &output_formats::Exact, true},
     TagSystem::RiffInfo},
    {kFormatOgg,
     "OGG",
     ".ogg",
     "ogg",
     output_formats::kOggOptions,
     [](const ConversionSettings& s) {
         return s.AutoDestOGGEncodingParam || s.OGGSampleRate <= 0 ? 44100 : s.OGGSampleRate;
     },
     false,
     {4000, &output_formats::Exact, false},
     TagSystem::VorbisComment},
    // AMR codes at its band's rate: "amr" output is narrow band unless AMRType asks for wide band.
    {kFormatAmr,
     "AMR",
     ".amr",
     "amr",
     output_formats::kAmrOptions,
     [](const ConversionSettings& s) { return s.AMRType == 0 ? 8000 : 16000; },
     false,
     {9000, [](const ConversionSettings&, const std::string&) { return 320; }, false}},
    {kFormatAwb,
     "AWB",
     ".awb",
     "awb",
     output_formats::kAmrOptions,
     [](const ConversionSettings&) { return 16000; },
     false,
     {9000, [](const ConversionSettings&, const std::string&) { return 640; }, false}},
    {kFormatAac,
     "AAC",
     ".aac",
     "aac",
     output_formats::kAacOptions,
     &output_formats::CdRate,
     false,
     {6000, [](const ConversionSettings&, const std::string&) { return 3 * 1024; }, false}},
    {kFormatM4a,
     "M4A",
     ".m4a",
     "m4a",
     output_formats::kM4aOptions,
     &output_formats::CdRate,
     false,
     {6500, &output_formats::AacFramePadding, false},
     TagSystem::Mp4},
    {kFormatMp4,
     "MP4",
     ".mp4",
     "mp4",
     output_formats::kM4aOptions,
     &output_formats::CdRate,
     false,
     {6600, &output_formats::AacFramePadding, false},
     TagSystem::Mp4},
    {kFormatM4b,
     "M4B",
     ".m4b",
     "m4b",
     output_formats::kM4aOptions,
     &output_formats::CdRate,
     false,
     {6500, &output_formats::AacFramePadding, false},
     TagSystem::Mp4},
    {kFormatWma,
     "WMA",
     ".wma",
     "wma",
     output_formats::kWmaOptions,
     [](const ConversionSettings& s) { return s.AutoDestWMAEncodingParam ? 44100 : s.WMASampleRate; },
     true,
     {7000, [](const ConversionSettings&, const std::string&) { return 3 * 2048; }, false},
     TagSystem::Asf},
    {kFormatFlac,
     "FLAC",
     ".flac",
     "flac",
     output_formats::kFlacOptions,
     [](const ConversionSettings& s) { return s.FLACSampleRate > 0 ? s.FLACSampleRate : 44100; },
     false,
     {kKindFlac, &output_formats::Exact, true},
     TagSystem::VorbisComment},
    // Opus always codes at 48 kHz; its pre-skip and end trimming make the length exact.
    {kFormatOpus,
     "Opus",
     ".opus",
     "opus",
     output_formats::kOpusOptions,
     [](const ConversionSettings&) { return 48000; },
     false,
     {kKindOther, &output_formats::Exact, false},
     TagSystem::VorbisComment},
};

/// Whether outputs are decoded and checked before they take their names; an encoder with a check of
/// its own (libFLAC's verify mode) turns it on too.
inline bool VerifiesOutputs(const ConversionSettings& settings) {
    return settings.VerifyOutputs != 0;
}

/// Every output format, in the order of their codes.
std::span<const OutputFormatInfo> OutputFormatTable();

/// The table row of a code; null for a code that names no format.
const OutputFormatInfo* FindOutputFormat(int code);

/// Name of an OutputFormat code as the progress text shows it ("MP3", "WAV", ...); "" if unknown.
const char* OutputFormatName(int outputFormat);

/// The routine that converts into an OutputFormat code; null when this build has none.
using RoutineLookup = std::function<ConversionRoutine(int outputFormat)>;

/// Where a format keeps ReplayGain values: its own tag convention, or nowhere.
enum class LoudnessTagStyle {
    None,           // WAV, ADTS, AMR
    Id3v2,          // TXXX frames
    OggVorbis,      // Vorbis comments
    Flac,           // Vorbis comments in the FLAC metadata
    Opus,           // R128_TRACK_GAIN / R128_ALBUM_GAIN, Q7.8 relative to -23 LUFS
    Mp4Freeform,    // ----:com.apple.iTunes:replaygain_* atoms
    AsfAttributes,  // WMA header attributes
    VorbisComment,  // OggVorbis, Flac or Opus, as the file's container says
};

/// The convention of an OutputFormat code, told by its row's tag system.
LoudnessTagStyle LoudnessTagStyleOf(int outputFormat);
