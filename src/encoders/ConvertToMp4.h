#pragma once
#include "engine/ConversionJob.h"

/// Converts one file into AAC in an MP4 file (.m4a, .mp4 or .m4b alike) at the source's rate and
/// channels, with metadata, by the M4A options of the settings.
int ConvertToMp4(ConversionJob& job);
