#pragma once
#include "engine/ConversionFrame.h"

/// A constant-bit-rate MP3 with ID3 tags, by the MP3 options of the settings.
std::unique_ptr<ConversionFormat> MakeMp3Format(const ConversionJob& job);
