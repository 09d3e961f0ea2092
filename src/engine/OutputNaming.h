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

/// What naming did with a file: the action a plan lists for it.
enum class NamingAction { Convert, Rename, Overwrite, Skip, Fail };

/// The word a plan and a dry run write for an action ("convert", "skip", ...).
const char* NamingActionName(NamingAction action);

/// What naming reports besides the name.
struct NamingReport {
    NamingAction action = NamingAction::Fail;
    /// The folder the name was looked for in, also when the file is skipped there.
    std::string folder;
    /// The name given, or for a skipped file the name that exists.
    std::string name;
    /// The first-choice name is the file's own source or another source of the batch, in a mode that
    /// would replace it (overwrite, update).
    bool hitsSource = false;
};

/// A dry run's view of the names a batch would take: nothing is created on disk, and these names count
/// as existing (the outputs of the files named before).
struct DryRunNames {
    std::unordered_set<std::string> taken;
};

/// What naming knows of the batch it serves.
struct BatchNaming {
    /// Empty: the user's real documents folder.
    DocumentsFolderLookup documentsFolder;
    /// The batch's sources: no output replaces one of them, whatever the mode; such an output takes a
    /// free name as with Rename, and entry.outputNote says so.
    std::unordered_set<FileIdentity, FileIdentityHash> sources;
    /// Set for a dry run: no folder or file is made, a name is only checked, and each name given is
    /// added to it.
    DryRunNames* dryRun = nullptr;
};

/// As above for a file of a batch; report (when given) receives what naming did.
bool ResolveOutputPath(FileEntry& entry, std::string& message, const ConversionSettings& settings,
                       const BatchNaming& batch, NamingReport* report = nullptr);

/// "SIZE:MTIME" of an existing file, "" when there is none: tells a plan's run whether the file it is to
/// replace is still the old one.
std::string FileStamp(const std::string& path);

/// With --if-exists update: an output older than its source (by whole seconds, since file systems
/// keep times at different precision) is converted again; a newer or equal one is kept.
bool OutputIsCurrent(const std::string& output, const std::string& source);

enum class Placement { Placed, Skipped, Failed };

/// Gives a finished staged output its name. Overwrite replaces what is there, unless that is a source of
/// the batch; when the name was taken meanwhile (by another program, or a source of the batch took its
/// place), the mode decides again: another free name, or Skipped with the skip message.
Placement PlaceOutput(FileEntry& entry, StagedOutput& staged, std::string& message,
                      const ConversionSettings& settings, const BatchNaming& batch);
