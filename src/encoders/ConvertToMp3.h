#pragma once
#include "engine/ConversionJob.h"

/// Converts one file into a constant-bit-rate MP3 with ID3 tags, by the MP3 options of the settings.
int ConvertToMp3(ConversionJob& job);
