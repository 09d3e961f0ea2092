#pragma once
#include "engine/ConversionFrame.h"

/// Raw AAC (ADTS frames) at the source's rate and channels, by the AAC options of the settings.
std::unique_ptr<ConversionFormat> MakeAacFormat(const ConversionJob& job);
