#pragma once
#include <functional>
#include <string>

#include "engine/FileEntry.h"

class ConversionSettings;

/// The user's documents folder, created if needed; "" when unknown.
using DocumentsFolderLookup = std::function<std::string()>;

/// Extension of the output files of an OutputFormat code, dot included; "" for an unknown code.
std::string OutputExtension(int outputFormat);

/// True when path names an existing folder; with create, makes every missing level first.
bool EnsureFolder(const std::string& path, bool create);

/// Chooses the output file of entry from the settings (folder, name, what happens when it exists),
/// proves it can be created and stores it in entry.outputPath. On failure returns false with the
/// status text in message. The source file is never truncated, replaced or deleted.
bool ResolveOutputPath(FileEntry& entry, std::string& message, const ConversionSettings& settings,
                       const DocumentsFolderLookup& documentsFolder);

/// As above, with the user's real documents folder.
bool ResolveOutputPath(FileEntry& entry, std::string& message, const ConversionSettings& settings);
