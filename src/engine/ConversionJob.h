#pragma once
#include <string>

#include "engine/EngineContext.h"
#include "engine/ProgressDialog.h"
#include "engine/SourceKind.h"

class ConversionSettings;

/// One conversion as the batch driver hands it to the routine of the output format.
struct ConversionJob {
    SourceKind kind;
    std::string sourcePath;
    std::string outputPath;
    ProgressDialog& progress;
    EngineContext& engine;
    const ConversionSettings& settings;
    int sequenceNumber = 1;  // 1-based number of the file within the batch
};

/// A conversion routine: 1 when the output was written, 0 on failure or cancel (its partial
/// output is deleted by then).
using ConversionRoutine = int (*)(ConversionJob& job);
