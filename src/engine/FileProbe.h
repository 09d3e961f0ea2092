#pragma once
#include <optional>
#include <string>

#include "engine/EngineContext.h"
#include "engine/FileEntry.h"

/// Opens a file for the list and reads its properties into a new entry; nothing when no reader
/// opens it (FailureDetail then holds the note for CD tracks and Flash files where one applies).
std::optional<FileEntry> ProbeFile(EngineContext& context, const std::string& path);

/// The list's cells of an entry: file name, duration, bit rate, frequency and channels.
struct RowTexts {
    std::string file, duration, bitrate, frequency, channels;
};
RowTexts FormatRow(const FileEntry& entry);
