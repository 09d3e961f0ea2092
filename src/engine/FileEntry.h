#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "engine/LoudnessMeter.h"
#include "engine/SourceKind.h"

/// The output a plan fixed for a file beforehand, so that any share of a batch converts the file as the
/// whole batch would.
struct PlannedOutput {
    std::string path;         // the output's final name
    int number = 0;           // the file's number in the whole batch, for the tag templates
    std::uint32_t draws = 0;  // stream serial numbers drawn by the files before it in the whole batch
    bool replace = false;     // an old file of that name is replaced...
    std::string replaces;     // ...when it still is this one ("SIZE:MTIME"); else it is this file's output
};

/// One listed input file: what probing it revealed and, after a successful conversion, its output.
struct FileEntry {
    std::string path;              // full path of the source, as added
    std::int32_t channels = 0;     // channel count; not set for MPEG audio (kind 1000)
    std::int32_t channelMode = 0;  // MPEG audio only: 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    std::int32_t sampleRate = 0;   // Hz
    std::int32_t bitrate = 0;      // kbit/s
    std::int32_t duration = 0;     // whole seconds
    SourceKind kind = 0;           // given by the path's extension
    std::string outputPath;        // empty until a conversion of this entry succeeds
    std::string outputNote;        // why the output has another name than its mode gives; usually empty
    std::string sourceNote;        // what the source warned about while it converted; usually empty
    std::optional<FileLoudness> loudness;  // of the output as written, when the batch measured it
    std::optional<PlannedOutput> planned;  // set when a plan fixed the output; naming only checks it
};
