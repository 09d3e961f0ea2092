#pragma once
#include <functional>

#include "engine/ConversionJob.h"

/// Name of an OutputFormat code as the progress text shows it ("MP3", "WAV", ...); "" if unknown.
const char* OutputFormatName(int outputFormat);

/// The routine that converts into an OutputFormat code; null when this build has none.
using RoutineLookup = std::function<ConversionRoutine(int outputFormat)>;
