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

PassResult RunPass(const std::string& source, const Pass& pass, const ConversionSettings& settings,
                   std::string& output, std::string& message) {
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
    long long counter = 0;
    auto nextName = [&] { candidate = base + "_" + std::to_string(++counter) + ext; };

    if (Exists(candidate)) {
        if (mode == kOverwrite) {
            if (SameFile(candidate, source)) {
                message = kSameFileMessage;
                return PassResult::FailedNoRetry;
            }
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
        if (probe == Probe::Exists && mode != kOverwrite) {  // appeared since the check: next number
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

bool ResolveOutputPath(FileEntry& entry, std::string& message, const ConversionSettings& settings,
                       const DocumentsFolderLookup& documentsFolder) {
    const bool folderMode = settings.DestOutputFolderOpt == kFolderMode;
    Pass pass{folderMode, folderMode ? settings.DestSpecifiedFolder : std::string(),
              settings.CreateDirs != 0};
    std::string output;
    PassResult result = RunPass(entry.path, pass, settings, output, message);
    if (result == PassResult::Failed && settings.OutputFiles2MyDocuments) {
        const std::string documents = documentsFolder ? documentsFolder() : std::string();
        if (!documents.empty()) {
            pass = Pass{true, documents, folderMode && settings.CreateDirs != 0};
            result = RunPass(entry.path, pass, settings, output, message);
        }
    }
    if (result != PassResult::Done) return false;
    entry.outputPath = output;
    return true;
}

bool ResolveOutputPath(FileEntry& entry, std::string& message, const ConversionSettings& settings) {
    return ResolveOutputPath(entry, message, settings, [] { return DocumentsFolder(true); });
}
