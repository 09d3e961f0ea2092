#pragma once
#include <functional>
#include <string>
#include <unordered_set>

#include "engine/FileEntry.h"
#include "platform/FileIdentity.h"

class ConversionSettings;
class StagedOutput;

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

/// What naming knows of the batch it serves.
struct BatchNaming {
    /// Empty: the user's real documents folder.
    DocumentsFolderLookup documentsFolder;
    /// The batch's sources: no output replaces one of them, whatever the mode; such an output takes a
    /// free name as with Rename, and entry.outputNote says so.
    std::unordered_set<FileIdentity, FileIdentityHash> sources;
};

/// As above for a file of a batch. folder (when given) receives the folder the name was looked for
/// in, also when the file is skipped there.
bool ResolveOutputPath(FileEntry& entry, std::string& message, const ConversionSettings& settings,
                       const BatchNaming& batch, std::string* folder = nullptr);

enum class Placement { Placed, Skipped, Failed };

/// Gives a finished staged output its name. Overwrite replaces what is there, unless that is a source of
/// the batch; when the name was taken meanwhile (by another program, or a source of the batch took its
/// place), the mode decides again: another free name, or Skipped with the skip message.
Placement PlaceOutput(FileEntry& entry, StagedOutput& staged, std::string& message,
                      const ConversionSettings& settings, const BatchNaming& batch);
