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
    std::string folder;
};

PassResult RunPass(const std::string& source, const Pass& pass, const ConversionSettings& settings,
                   const BatchNaming* batch, PassOut& out, std::string& message) {
    std::string& output = out.output;
    const std::size_t slash = source.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = source.rfind('.');
    const std::size_t extStart = (dot == std::string::npos || dot < nameStart) ? source.size() : dot;

    std::string base;
    if (!pass.folderMode) {
        base = source.substr(0, extStart);
    } else {
        if (pass.folder.empty() || !EnsureFolder(pass.folder, true)) {
            message = FolderMessage(pass.folder);
            return PassResult::Failed;
        }
        base = pass.folder;
        if (base.back() != '/') base += '/';
        if (pass.createDirs) {
            base += SourceFolderBelow(source);
            if (!EnsureFolder(base, true)) {
                message = FolderMessage(base);
                return PassResult::Failed;
            }
        }
        base += source.substr(nameStart, extStart - nameStart);
    }

    const std::string ext = OutputExtension(settings.OutputFormat);
    const int mode = settings.TargetExistsOpt;
    std::string candidate = base + ext;
    out.folder = FolderPart(candidate);
    long long counter = 0;
    auto nextName = [&] { candidate = base + "_" + std::to_string(++counter) + ext; };
    bool renaming = mode != kOverwrite && mode != kSkip;

    if (Exists(candidate)) {
        if (mode == kOverwrite && SameFile(candidate, source)) {
            message = kSameFileMessage;
            return PassResult::FailedNoRetry;
        }
        if (mode == kOverwrite && IsBatchSource(batch, candidate)) {
            // Another file of this batch: it is kept, and this output takes a free name instead.
            out.note = "\"" + FileNamePart(candidate) + "\" is a source of this batch and was not replaced";
            renaming = true;
            do nextName();
            while (Exists(candidate));
        } else if (mode == kOverwrite) {
            // The existing target stays until a finished conversion is renamed onto it (which
            // replaces a link itself, never what it points to); here only the folder is tried.
            struct stat st {};
            if ((::lstat(candidate.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) ||
                !StagedOutput(candidate).Ok()) {
                message = FileMessage(candidate);
                return PassResult::Failed;
            }
            output = candidate;
            return PassResult::Done;
        } else if (mode == kSkip) {
            message = kSkippedMessage;
            return PassResult::FailedNoRetry;
        } else {
            do nextName();
            while (Exists(candidate));
        }
    }

    while (true) {
        const Probe probe = TryCreate(candidate);
        if (probe == Probe::Created) break;
        if (probe == Probe::Exists && mode == kSkip) {
            message = kSkippedMessage;
            return PassResult::FailedNoRetry;
        }
        if (probe == Probe::Exists && renaming) {  // appeared since the check: next number
            nextName();
            continue;
        }
        message = FileMessage(candidate);
        return PassResult::Failed;
    }
    output = candidate;
    return PassResult::Done;
}

}  // namespace

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
             const DocumentsFolderLookup& documentsFolder, const BatchNaming* batch, std::string* folder) {
    const bool folderMode = settings.DestOutputFolderOpt == kFolderMode;
    Pass pass{folderMode, folderMode ? settings.DestSpecifiedFolder : std::string(),
              settings.CreateDirs != 0};
    PassOut out;
    PassResult result = RunPass(entry.path, pass, settings, batch, out, message);
    if (result == PassResult::Failed && settings.OutputFiles2MyDocuments) {
        const std::string documents = documentsFolder ? documentsFolder() : std::string();
        if (!documents.empty()) {
            pass = Pass{true, documents, folderMode && settings.CreateDirs != 0};
            out = PassOut{};
            result = RunPass(entry.path, pass, settings, batch, out, message);
        }
    }
    if (folder) *folder = out.folder;
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
                       const BatchNaming& batch, std::string* folder) {
    const DocumentsFolderLookup real = [] { return DocumentsFolder(true); };
    return Resolve(entry, message, settings, batch.documentsFolder ? batch.documentsFolder : real, &batch,
                   folder);
}

Placement PlaceOutput(FileEntry& entry, StagedOutput& staged, std::string& message,
                      const ConversionSettings& settings, const BatchNaming& batch) {
    for (int attempt = 0; attempt < kPlacementAttempts; ++attempt) {
        staged.Retarget(entry.outputPath);
        const bool replace =
            settings.TargetExistsOpt == kOverwrite && !IsBatchSource(&batch, entry.outputPath);
        if (staged.Commit(replace)) return Placement::Placed;
        if (!staged.NameTaken()) return Placement::Failed;
        // Taken since it was named (another program, or a source of the batch moved there): the mode
        // decides again, as naming would now.
        if (!ResolveOutputPath(entry, message, settings, batch))
            return message == kSkippedMessage ? Placement::Skipped : Placement::Failed;
    }
    return Placement::Failed;
}
