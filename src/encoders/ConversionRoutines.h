#pragma once
#include "engine/ConversionJob.h"

/// Converts one file into the OutputFormat of the job's settings: the format's row and its maker
/// run in the conversion frame. 0 for a format this build cannot write.
int ConvertFile(ConversionJob& job);

/// The conversion routine of an OutputFormat code; null for a format this build cannot write.
ConversionRoutine RoutineForFormat(int outputFormat);
