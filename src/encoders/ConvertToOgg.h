#pragma once
#include "engine/ConversionJob.h"

/// Converts one file into Ogg Vorbis with Vorbis comments, by the Ogg options of the settings.
int ConvertToOgg(ConversionJob& job);
