#pragma once
#include "engine/ConversionJob.h"

/// Converts one file to WMA through the Windows Media runtime: 1 on success, 0 on failure or
/// cancel (and at once when the runtime is not loaded).
int ConvertToWma(ConversionJob& job);
