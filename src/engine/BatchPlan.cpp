#include "engine/BatchPlan.h"

#include "platform/FileIdentity.h"

std::vector<PlanLine> PlanBatch(const std::vector<FileEntry*>& entries, const ConversionSettings& settings,
                                const DocumentsFolderLookup& documentsFolder) {
    DryRunNames names;
    BatchNaming naming{documentsFolder, {}, &names};
    for (const FileEntry* e : entries) naming.sources.insert(IdentityOf(e->path));
    std::vector<PlanLine> lines;
    lines.reserve(entries.size());
    for (const FileEntry* e : entries) {
        FileEntry copy = *e;
        PlanLine line;
        NamingReport report;
        std::string message;
        if (ResolveOutputPath(copy, message, settings, naming, &report)) {
            line.output = copy.outputPath;
            if (report.action == NamingAction::Overwrite) line.replaces = FileStamp(line.output);
        } else {
            line.output = report.name;
            line.reason = message;
        }
        line.action = report.action;
        line.hitsSource = report.hitsSource;
        lines.push_back(std::move(line));
    }
    return lines;
}
