#include "engine/SourceSelection.h"

#include <sys/stat.h>

#include <initializer_list>
#include <string_view>

#include "engine/EngineTexts.h"

namespace {

/// One family of input formats: its kind and every extension that names it.
struct Family {
    SourceKind kind;
    std::initializer_list<std::string_view> extensions;
};

const Family kFamilies[] = {
    {kKindMp3, {".mp3"}},
    {kKindWav, {".wav", ".wave"}},
    {kKindModule, {".mod", ".xm", ".it", ".s3m", ".mtm", ".umx", ".mo3"}},
    {kKindMidi, {".midi", ".mid", ".rmi", ".kar"}},
    {kKindCdTrack, {".cda"}},
    {kKindFlac, {".flac", ".fla"}},
    {kKindWavPack, {".wv"}},
    {kKindAdx, {".adx"}},
    {kKindMonkeys, {".ape", ".mac"}},
    {kKindMusepack, {".mpc", ".mpp", ".mp+"}},
    {kKindSpeex, {".spx"}},
    {kKindTta, {".tta"}},
    {kKindOgg, {".ogg", ".oga", ".ogm", ".ogv", ".ogx"}},
    {kKindAu, {".au", ".snd"}},
    {kKindAiff, {".aif", ".aiff", ".aifc", ".afc"}},
    {kKindAac, {".aac"}},
    {kKindM4a, {".m4a", ".m4b"}},
    {kKindMp4, {".mp4", ".m4v"}},
    {kKindWindowsMedia, {".wma", ".wmv", ".asf", ".wm", ".wmd", ".xwmv"}},
};

/// Lower-cased extension of the name part of a path, "" without a dot.
std::string Extension(const std::string& path) {
    std::string_view name = path;
    if (auto slash = name.rfind('/'); slash != std::string_view::npos) name.remove_prefix(slash + 1);
    auto dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string ext(name.substr(dot));
    // ASCII only: the result must not depend on the user's locale.
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return ext;
}

struct ChainRule {
    ReaderRole first;  // Ffmpeg stands for whichever FFmpeg reader the call needs
    bool thenBass;
    bool thenFfmpeg;
    bool thenFlac = false;  // libFLAC before the readers that load FFmpeg: Ogg FLAC
};

ChainRule RuleFor(SourceKind kind) {
    switch (kind) {
        case kKindMp3:
        case kKindWav:
        case kKindModule:
        case kKindMidi:
        case kKindCdTrack:
        case kKindWavPack:
        case kKindAdx:
        case kKindMonkeys:
        case kKindMusepack:
        case kKindTta:
        case kKindAac:
        case kKindM4a:
        case kKindMp4:
            return {ReaderRole::Bass, false, true};
        // libFLAC reads FLAC without FFmpeg's libraries; files it refuses (no length in STREAMINFO,
        // another format under the name) still get the decoding library and FFmpeg.
        case kKindFlac:
            return {ReaderRole::Flac, true, true};
        case kKindSpeex:
            return {ReaderRole::Ffmpeg, true, false};
        case kKindOgg:
            return {ReaderRole::OggVorbis, true, true, true};
        case kKindAu:
            return {ReaderRole::Au, false, true};
        case kKindAiff:
            return {ReaderRole::Aiff, true, true};
        case kKindWindowsMedia:
            return {ReaderRole::Wma, false, true};
        default:
            return {ReaderRole::Ffmpeg, false, false};
    }
}

/// A reader's Open, with any exception (say, an allocation sized from a damaged header) taken as
/// a rejection so that it never leaves the engine.
bool TryOpen(AudioSource& reader, const std::string& path, int renderRate) {
    try {
        return reader.Open(path.c_str(), renderRate) != 0;
    } catch (...) {
        return false;
    }
}

}  // namespace

bool EnsureWmfRuntime(EngineContext& context) {
    if (context.wmfRuntime.IsLoaded()) return true;
    if (context.wmfRuntime.LoadWmfRuntime()) {
        BuildWmaFormatList(context.wmaFormats, context.wmfRuntime);
        if (context.onWmfRuntimeLoaded) context.onWmfRuntimeLoaded();
        return true;
    }
    if (context.user.AskYesNo(kWmfRuntimeQuestion)) context.user.OpenInBrowser(kWmfRuntimeDownloadAddress);
    return context.wmfRuntime.IsLoaded();
}

SourceKind SourceKindFromExtension(const std::string& path) {
    const std::string ext = Extension(path);
    for (const auto& family : kFamilies) {
        for (std::string_view candidate : family.extensions) {
            if (candidate == ext) return family.kind;
        }
    }
    return kKindOther;
}

std::vector<ReaderRole> ReaderChain(SourceKind kind, bool forConversion, bool wmfRuntimeLoaded) {
    if (kind == kKindWindowsMedia && !wmfRuntimeLoaded) kind = kKindMp3;
    const ReaderRole ffmpeg = forConversion ? ReaderRole::Ffmpeg : ReaderRole::FfmpegProbe;
    const ChainRule rule = RuleFor(kind);
    std::vector<ReaderRole> chain;
    chain.push_back(rule.first == ReaderRole::Ffmpeg ? ffmpeg : rule.first);
    if (rule.thenFlac) chain.push_back(ReaderRole::Flac);
    if (rule.thenBass) chain.push_back(ReaderRole::Bass);
    if (rule.thenFfmpeg) chain.push_back(ffmpeg);
    if (kind == kKindWav) chain.push_back(ReaderRole::WavFile);
    return chain;
}

std::unique_ptr<AudioSource> OpenSource(EngineContext& context, const std::string& path, SourceKind kind,
                                        int renderRate, bool forConversion) {
    // A FIFO, socket or device would block a reader's open() or never end: only regular files are read.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        context.FailureDetail = kNotRegularFile;
        return nullptr;
    }
    std::vector<ReaderRole> chain;
    if (context.forcedReader) {
        chain.push_back(*context.forcedReader);
    } else {
        const bool wmfLoaded = kind != kKindWindowsMedia || EnsureWmfRuntime(context);
        chain = ReaderChain(kind, forConversion, wmfLoaded);
    }
    for (ReaderRole role : chain) {
        std::unique_ptr<AudioSource> reader;
        try {
            reader = context.readers.Create(role);
        } catch (...) {
            continue;
        }
        if (!reader) continue;  // not built into this program
        if (TryOpen(*reader, path, renderRate)) return reader;
        // The rejected reader is destroyed here, before the next one is built.
    }
    if (forConversion) context.FailureDetail = kSupportHint;
    return nullptr;
}

void NoteProbeFailure(EngineContext& context, const std::string& path, SourceKind kind) {
    const std::string ext = Extension(path);
    if (kind == kKindCdTrack) {
        context.FailureDetail = kCdTrackNote;
    } else if (ext == ".swf" || ext == ".flv") {
        context.FailureDetail = kFlashNote;
    }
}
