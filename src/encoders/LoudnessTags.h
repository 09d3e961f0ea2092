#pragma once
#include <string>

#include "engine/ConversionJob.h"
#include "engine/LoudnessMeter.h"
#include "engine/OutputFormats.h"

/// The ReplayGain 2.0 texts: "-6.52 dB" against -18 LUFS, and the true peak "0.988553".
std::string ReplayGainText(double loudness);
std::string ReplayPeakText(double truePeak);
/// The Opus R128 gain: Q7.8 relative to -23 LUFS, within 16 bits.
int R128Gain(double loudness);

/// Which values a write sets; a null one is left as the file has it.
struct LoudnessTagValues {
    const FileLoudness* track = nullptr;
    const FileLoudness* album = nullptr;
};

/// Writes ReplayGain values into a finished file in place, in the convention of its style. 1 on
/// success, also for a style that carries none or a silent measurement (no gain can be told).
int WriteLoudnessTags(const std::string& path, LoudnessTagStyle style, LoudnessTagValues values);

/// After a conversion: the track's values on the staged output before it takes its name, when the
/// settings ask for them. A failure fails the file.
int TagConvertedFile(ConversionJob& job);

/// Album values into an output that already has its name: a copy beside it takes them and replaces
/// it, so a failure leaves the output as it was. 1 on success.
int WriteAlbumLoudnessTags(const std::string& path, int outputFormat, const FileLoudness& album);

/// What makes files one album: the source's album and album artist, or its folder when it has no
/// album tag. The source is only read.
std::string AlbumKeyOf(const std::string& sourcePath);
