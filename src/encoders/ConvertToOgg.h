#pragma once
#include "engine/ConversionFrame.h"

/// Ogg Vorbis with Vorbis comments, by the Ogg options of the settings.
std::unique_ptr<ConversionFormat> MakeOggFormat(const ConversionJob& job);
