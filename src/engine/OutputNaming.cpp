#include "engine/OutputNaming.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "engine/EngineTexts.h"
#include "engine/OutputFormats.h"
#include "engine/OutputStaging.h"
#include "platform/FileIdentity.h"
#include "platform/Paths.h"
#include "platform/UserFolders.h"
#include "settings/ConversionSettings.h"

namespace {

constexpr int kFolderMode = 399;
constexpr int kOverwrite = 22;
constexpr int kSkip = 33;
constexpr int kUpdate = 44;

const char* const kSameFileMessage =
    "Target file name is same as original file that can't be overwritten. Please output files to a custom "
    "folder.";
const char* const kSkippedMessage = kStatusTargetSkipped;

std::string FolderMessage(const std::string& folder) {
    return "Failed to create folder \"" + folder + "\"";
}
std::string FileMessage(const std::string& file) {
    return "Failed to create file \"" + file + "\"";
}

// An entry of that name exists, even a dangling symbolic link.
bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool MakeLevel(const std::string& path) {
    if (IsFolder(path)) return true;
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    return errno == EEXIST && IsFolder(path);  // made by someone else meanwhile
}

// Whether a folder could be made, without making it: the nearest level that exists must be a folder
// we may write in (or the folder itself).
bool FolderCouldBeMade(const std::string& path) {
    if (path.empty()) return false;
    if (IsFolder(path)) return true;
    std::string level = path;
    while (!level.empty() && level.back() == '/') level.pop_back();
    for (;;) {
        struct stat st {};
        if (::stat(level.c_str(), &st) == 0)
            return S_ISDIR(st.st_mode) && ::access(level.c_str(), W_OK | X_OK) == 0;
        const auto slash = level.rfind('/');
        if (slash == std::string::npos) return ::access(".", W_OK | X_OK) == 0;
        if (slash == 0) return ::access("/", W_OK | X_OK) == 0;
        level.resize(slash);
    }
}

enum class Probe { Created, Exists, Failed };

// The creation test. Exclusive, so it never opens, truncates or deletes a file that was already there,
// and never follows a link planted at the name.
Probe TryCreate(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return errno == EEXIST ? Probe::Exists : Probe::Failed;
    ::close(fd);
    ::unlink(path.c_str());
    return Probe::Created;
}

struct Pass {
    bool folderMode;
    std::string folder;
    bool createDirs;
};

enum class PassResult { Done, Failed, FailedNoRetry };

// The source's folder below the chosen one: absolute and without "." or "..", so that it cannot climb
// out of the chosen folder; no leading "/", with a trailing "/" unless it is the root.
std::string SourceFolderBelow(const std::string& source) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path folder = fs::absolute(fs::path(source), ec).parent_path().lexically_normal();
    std::string text = folder.relative_path().string();
    while (!text.empty() && text.back() == '/') text.pop_back();
    return text.empty() ? text : text + "/";
}

bool IsBatchSource(const BatchNaming* batch, const std::string& path) {
    return batch && !batch->sources.empty() && Exists(path) && batch->sources.count(IdentityOf(path)) != 0;
}

std::string FolderPart(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

struct PassOut {
    std::string output;
    std::string note;
    NamingReport report;
};

// Naming with or without touching the disk: a dry run only looks, and counts the names given before as
// taken.
struct NameSpace {
    DryRunNames* dryRun;
    bool Taken(const std::string& path) const {
        return (dryRun && dryRun->taken.count(path)) || Exists(path);
    }
    bool Folder(const std::string& path) const {
        return dryRun ? FolderCouldBeMade(path) : EnsureFolder(path, true);
    }
    Probe Create(const std::string& path) const {
        if (!dryRun) return TryCreate(path);
        if (Taken(path)) return Probe::Exists;
        return FolderCouldBeMade(FolderPart(path)) ? Probe::Created : Probe::Failed;
    }
    bool CanReplace(const std::string& path) const {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return false;
        // The existing target stays until a finished conversion is renamed onto it (which replaces a
        // link itself, never what it points to); here only the folder is tried.
        return dryRun ? FolderCouldBeMade(FolderPart(path)) : StagedOutput(path).Ok();
    }
};

PassResult RunPass(const std::string& source, const Pass& pass, const ConversionSettings& settings,
                   const BatchNaming* batch, PassOut& out, std::string& message) {
    const NameSpace names{batch ? batch->dryRun : nullptr};
    std::string& output = out.output;
    NamingAction& action = out.report.action;
    action = NamingAction::Fail;
    const std::size_t slash = source.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = source.rfind('.');
    const std::size_t extStart = (dot == std::string::npos || dot < nameStart) ? source.size() : dot;

    std::string base;
    if (!pass.folderMode) {
        base = source.substr(0, extStart);
    } else {
        if (pass.folder.empty() || !names.Folder(pass.folder)) {
            message = FolderMessage(pass.folder);
            return PassResult::Failed;
        }
        base = pass.folder;
        if (base.back() != '/') base += '/';
        if (pass.createDirs) {
            base += SourceFolderBelow(source);
            if (!names.Folder(base)) {
                message = FolderMessage(base);
                return PassResult::Failed;
            }
        }
        base += source.substr(nameStart, extStart - nameStart);
    }

    const std::string ext = OutputExtension(settings.OutputFormat);
    const int mode = settings.TargetExistsOpt;
    const bool replacing = mode == kOverwrite || mode == kUpdate;
    std::string candidate = base + ext;
    out.report.folder = FolderPart(candidate);
    long long counter = 0;
    auto nextName = [&] { candidate = base + "_" + std::to_string(++counter) + ext; };
    bool renaming = !replacing && mode != kSkip;
    action = NamingAction::Convert;

    if (names.Taken(candidate)) {
        const bool onDisk = Exists(candidate);
        if (replacing && onDisk && SameFile(candidate, source)) {
            out.report.hitsSource = true;
            action = NamingAction::Fail;
            message = kSameFileMessage;
            return PassResult::FailedNoRetry;
        }
        if (replacing && IsBatchSource(batch, candidate)) {
            // Another file of this batch: it is kept, and this output takes a free name instead.
            out.report.hitsSource = true;
            out.note = "\"" + FileNamePart(candidate) + "\" is a source of this batch and was not replaced";
            renaming = true;
            action = NamingAction::Rename;
            do nextName();
            while (names.Taken(candidate));
        } else if (mode == kUpdate && (!onDisk || OutputIsCurrent(candidate, source))) {
            // Up to date (or, in a dry run, written by an earlier file of the batch): kept.
            action = NamingAction::Skip;
            out.report.name = candidate;
            message = kSkippedMessage;
            return PassResult::FailedNoRetry;
        } else if (replacing) {
            if (!names.CanReplace(candidate)) {
                action = NamingAction::Fail;
                message = FileMessage(candidate);
                return PassResult::Failed;
            }
            action = NamingAction::Overwrite;
            output = candidate;
            out.report.name = output;
            if (names.dryRun) names.dryRun->taken.insert(output);
            return PassResult::Done;
        } else if (mode == kSkip) {
            action = NamingAction::Skip;
            out.report.name = candidate;
            message = kSkippedMessage;
            return PassResult::FailedNoRetry;
        } else {
            action = NamingAction::Rename;
            do nextName();
            while (names.Taken(candidate));
        }
    }

    while (true) {
        const Probe probe = names.Create(candidate);
        if (probe == Probe::Created) break;
        if (probe == Probe::Exists && mode == kSkip) {
            action = NamingAction::Skip;
            out.report.name = candidate;
            message = kSkippedMessage;
            return PassResult::FailedNoRetry;
        }
        if (probe == Probe::Exists && renaming) {  // appeared since the check: next number
            action = NamingAction::Rename;
            nextName();
            continue;
        }
        action = NamingAction::Fail;
        message = FileMessage(candidate);
        return PassResult::Failed;
    }
    output = candidate;
    out.report.name = output;
    if (names.dryRun) names.dryRun->taken.insert(output);
    return PassResult::Done;
}

}  // namespace

const char* NamingActionName(NamingAction action) {
    switch (action) {
        case NamingAction::Convert:
            return "convert";
        case NamingAction::Rename:
            return "rename";
        case NamingAction::Overwrite:
            return "overwrite";
        case NamingAction::Skip:
            return "skip";
        case NamingAction::Fail:
            break;
    }
    return "fail";
}

std::string FileStamp(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return "";
    return std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec);
}

bool OutputIsCurrent(const std::string& output, const std::string& source) {
    struct stat out {
    }, src{};
    if (::stat(output.c_str(), &out) != 0 || ::stat(source.c_str(), &src) != 0) return false;
    return out.st_mtim.tv_sec >= src.st_mtim.tv_sec;
}

std::string OutputExtension(int outputFormat) {
    const OutputFormatInfo* f = FindOutputFormat(outputFormat);
    return f ? f->extension : "";
}

bool EnsureFolder(const std::string& path, bool create) {
    if (path.empty()) return false;
    if (IsFolder(path)) return true;
    if (!create) return false;
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        if (!MakeLevel(path.substr(0, slash))) return false;
    return path.back() == '/' || MakeLevel(path);
}

namespace {

bool Resolve(FileEntry& entry, std::string& message, const ConversionSettings& settings,
             const DocumentsFolderLookup& documentsFolder, const BatchNaming* batch, NamingReport* report) {
    const bool folderMode = settings.DestOutputFolderOpt == kFolderMode;
    Pass pass{folderMode, folderMode ? settings.DestSpecifiedFolder : std::string(),
              settings.CreateDirs != 0};
    PassOut out;
    PassResult result = RunPass(entry.path, pass, settings, batch, out, message);
    if (result == PassResult::Failed && settings.OutputFiles2MyDocuments) {
        const std::string documents = documentsFolder ? documentsFolder() : std::string();
        if (!documents.empty()) {
            pass = Pass{true, documents, folderMode && settings.CreateDirs != 0};
            const bool hitsSource = out.report.hitsSource;
            out = PassOut{};
            result = RunPass(entry.path, pass, settings, batch, out, message);
            out.report.hitsSource = out.report.hitsSource || hitsSource;
        }
    }
    if (report) *report = out.report;
    if (result != PassResult::Done) return false;
    entry.outputPath = out.output;
    if (!out.note.empty()) entry.outputNote = out.note;
    return true;
}

constexpr int kPlacementAttempts = 100;

}  // namespace

bool ResolveOutputPath(FileEntry& entry, std::string& message, const ConversionSettings& settings,
                       const DocumentsFolderLookup& documentsFolder) {
    return Resolve(entry, message, settings, documentsFolder, nullptr, nullptr);
}

bool ResolveOutputPath(FileEntry& entry, std::string& message, const ConversionSettings& settings) {
    return ResolveOutputPath(entry, message, settings, [] { return DocumentsFolder(true); });
}

bool ResolveOutputPath(FileEntry& entry, std::string& message, const ConversionSettings& settings,
                       const BatchNaming& batch, NamingReport* report) {
    const DocumentsFolderLookup real = [] { return DocumentsFolder(true); };
    return Resolve(entry, message, settings, batch.documentsFolder ? batch.documentsFolder : real, &batch,
                   report);
}

Placement PlaceOutput(FileEntry& entry, StagedOutput& staged, std::string& message,
                      const ConversionSettings& settings, const BatchNaming& batch) {
    for (int attempt = 0; attempt < kPlacementAttempts; ++attempt) {
        staged.Retarget(entry.outputPath);
        const bool replace =
            (settings.TargetExistsOpt == kOverwrite || settings.TargetExistsOpt == kUpdate) &&
            !IsBatchSource(&batch, entry.outputPath);
        if (staged.Commit(replace)) return Placement::Placed;
        if (!staged.NameTaken()) return Placement::Failed;
        // Taken since it was named (another program, or a source of the batch moved there): the mode
        // decides again, as naming would now.
        if (!ResolveOutputPath(entry, message, settings, batch))
            return message == kSkippedMessage ? Placement::Skipped : Placement::Failed;
    }
    return Placement::Failed;
}
