#pragma once
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

/// What the engine knows of one output format; the routine that writes it lives with the encoders.
struct OutputFormatInfo {
    OutputFormatCode code;
    const char* name;       // in the batch progress text: "MP3"
    const char* extension;  // of the output file: ".mp3"
    const char* cliName;    // the command-line converter's -t value: "mp3"
    /// The tag template of the format's options; null when the format carries no tags.
    TagTemplate ConversionSettings::*tagTemplate;
    bool needsWmfRuntime;  // the batch loads the Windows Media runtime first
};

/// Every output format, in the order of their codes.
std::span<const OutputFormatInfo> OutputFormatTable();

/// The table row of a code; null for a code that names no format.
const OutputFormatInfo* FindOutputFormat(int code);

/// Name of an OutputFormat code as the progress text shows it ("MP3", "WAV", ...); "" if unknown.
const char* OutputFormatName(int outputFormat);

/// The routine that converts into an OutputFormat code; null when this build has none.
using RoutineLookup = std::function<ConversionRoutine(int outputFormat)>;
