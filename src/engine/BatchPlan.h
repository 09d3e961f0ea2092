#pragma once
#include <string>
#include <vector>

#include "engine/FileEntry.h"
#include "engine/OutputNaming.h"

class ConversionSettings;

/// What a run of a batch would do with one of its files.
struct PlanLine {
    NamingAction action = NamingAction::Fail;
    std::string output;  // the name given, or for a skipped file the name that exists
    std::string reason;  // why the file fails (the status a run would show)
    bool hitsSource = false;
    std::string replaces;  // for an overwrite: the stamp of the file it replaces (FileStamp)
};

/// Names every entry as a run of the batch would, in list order and with the collisions between them,
/// but creates no folder and writes no file. The entries are not changed.
std::vector<PlanLine> PlanBatch(const std::vector<FileEntry*>& entries, const ConversionSettings& settings,
                                const DocumentsFolderLookup& documentsFolder);
