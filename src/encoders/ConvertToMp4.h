#pragma once
#include "engine/ConversionFrame.h"

/// AAC in an MP4 file (.m4a, .mp4 or .m4b alike) at the source's rate and channels, with metadata,
/// by the M4A options of the settings.
std::unique_ptr<ConversionFormat> MakeMp4Format(const ConversionJob& job);
