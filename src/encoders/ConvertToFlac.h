#pragma once
#include "engine/ConversionFrame.h"

/// A FLAC file by the FLAC options of the settings.
std::unique_ptr<ConversionFormat> MakeFlacFormat(const ConversionJob& job);
