#pragma once
#include "engine/ConversionFrame.h"

/// WMA through the Windows Media runtime; null, so that nothing is written, while the runtime is
/// not loaded.
std::unique_ptr<ConversionFormat> MakeWmaFormat(const ConversionJob& job);
