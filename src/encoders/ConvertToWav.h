#pragma once
#include "engine/ConversionJob.h"

/// Converts one file into a PCM WAV file with the WAV options of the settings.
int ConvertToWav(ConversionJob& job);
