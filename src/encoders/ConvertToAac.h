#pragma once
#include "engine/ConversionJob.h"

/// Converts one file into raw AAC (ADTS frames) at the source's rate and channels, by the AAC
/// options of the settings.
int ConvertToAac(ConversionJob& job);
