#pragma once
#include "engine/ConversionFrame.h"

/// Narrow-band or wide-band AMR (OutputFormat 5500 or 5600) by the AMR options of the settings:
/// 16-bit mono at 8000 or 16000 Hz, 20 ms frames.
std::unique_ptr<ConversionFormat> MakeAmrFormat(const ConversionJob& job);
