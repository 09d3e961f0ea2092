#include "engine/FileProbe.h"

#include <cstdio>

#include "engine/SourceSelection.h"
#include "platform/Paths.h"
#include "platform/StringPrintf.h"

std::optional<FileEntry> ProbeFile(EngineContext& context, const std::string& path) {
    const SourceKind kind = SourceKindFromExtension(path);
    auto source = OpenSource(context, path, kind, 0, false);
    if (!source) {
        NoteProbeFailure(context, path, kind);
        return std::nullopt;
    }
    FileEntry entry;
    entry.kind = kind;
    entry.path = path;
    entry.duration = source->GetDuration();
    entry.sampleRate = source->GetSampleRate();
    entry.bitrate = source->GetBitrate();
    if (kind == kKindMp3)
        entry.channelMode = source->GetChannelMode();
    else
        entry.channels = source->GetChannels();
    source->Close();
    return entry;
}

RowTexts FormatRow(const FileEntry& e) {
    RowTexts row;
    row.file = FileNamePart(e.path);
    if (e.duration >= 3600)
        row.duration = StringPrintf("%d:%02d:%02d", e.duration / 3600, e.duration / 60 % 60, e.duration % 60);
    else if (e.duration != 0)
        row.duration = StringPrintf("%02d:%02d", e.duration / 60, e.duration % 60);
    if (e.bitrate != 0) row.bitrate = StringPrintf("%d kbps", e.bitrate);
    if (e.sampleRate != 0) row.frequency = StringPrintf("%d Hz", e.sampleRate);
    if (e.kind == kKindMp3) {
        static constexpr const char* kModes[] = {"Stereo", "J-Stereo", "Dual Channel", "Mono"};
        if (e.channelMode >= 0 && e.channelMode <= 3) row.channels = kModes[e.channelMode];
    } else if (e.channels == 0 || e.channels == 1) {
        row.channels = "Mono";
    } else if (e.channels == 2) {
        row.channels = "Stereo";
    } else if (e.channels == 6) {
        row.channels = "5.1";
    } else {
        row.channels = StringPrintf("%d", e.channels);
    }
    return row;
}
