#pragma once
#include "engine/ConversionFrame.h"

/// An Ogg Opus file by the Opus options of the settings.
std::unique_ptr<ConversionFormat> MakeOpusFormat(const ConversionJob& job);
