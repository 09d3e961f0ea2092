#pragma once
#include <cstdint>
#include <functional>
#include <span>

#include "engine/ConversionJob.h"

class ConversionSettings;
struct TagTemplate;

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
};

/// The options every format has, as members of the settings; a null member means the format has
/// no such option.
struct FormatCommonOptions {
    std::int32_t ConversionSettings::*amplify;      // nonzero: scale the samples by the coefficient
    std::int32_t ConversionSettings::*coefficient;  // percent
    std::int32_t ConversionSettings::*tagType;      // kTagsFromTemplate, kTagsFromSource or none
    TagTemplate ConversionSettings::*tagTemplate;   // used with kTagsFromTemplate
};

/// One row per output format; front ends, naming, tags and the conversion frame read it, and nothing
/// else lists formats. The routine that writes a format lives with the encoders, under its code.
struct OutputFormatInfo {
    OutputFormatCode code;  // stored in the settings; never renumbered
    const char* name;       // in the batch progress text: "MP3"
    const char* extension;  // of the output file: ".mp3"
    const char* cliName;    // the command-line converter's -t value: "mp3"
    FormatCommonOptions common;
    /// The rate synthesised sources (MIDI, modules) render at for this format.
    int (*renderRate)(const ConversionSettings& settings);
    bool needsWmfRuntime;  // the batch loads the Windows Media runtime first

    /// The amplification factor the settings ask for; 0 for none.
    float Gain(const ConversionSettings& settings) const;
};

/// Every output format, in the order of their codes.
std::span<const OutputFormatInfo> OutputFormatTable();

/// The table row of a code; null for a code that names no format.
const OutputFormatInfo* FindOutputFormat(int code);

/// Name of an OutputFormat code as the progress text shows it ("MP3", "WAV", ...); "" if unknown.
const char* OutputFormatName(int outputFormat);

/// The routine that converts into an OutputFormat code; null when this build has none.
using RoutineLookup = std::function<ConversionRoutine(int outputFormat)>;
