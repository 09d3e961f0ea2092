#pragma once
#include "engine/ConversionJob.h"

/// The conversion routine of an OutputFormat code; null for a format this build cannot write.
ConversionRoutine RoutineForFormat(int outputFormat);
