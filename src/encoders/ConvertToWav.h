#pragma once
#include "engine/ConversionFrame.h"

/// A PCM WAV file by the WAV options of the settings.
std::unique_ptr<ConversionFormat> MakeWavFormat(const ConversionJob& job);
