#include "encoders/LoudnessTags.h"

#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "engine/OutputStaging.h"
#include "platform/TagLibTables.h"
#include "settings/ConversionSettings.h"
#include "tags/TagWriters.h"

namespace {

// One named value as each convention stores it.
struct Field {
    const char* name;  // upper case, as ReplayGain names them
    std::string text;
};

std::vector<Field> Fields(LoudnessTagValues v) {
    std::vector<Field> fields;
    if (v.track && !v.track->silent) {
        fields.push_back({"REPLAYGAIN_TRACK_GAIN", ReplayGainText(v.track->integrated)});
        fields.push_back({"REPLAYGAIN_TRACK_PEAK", ReplayPeakText(v.track->truePeak)});
    }
    if (v.album && !v.album->silent) {
        fields.push_back({"REPLAYGAIN_ALBUM_GAIN", ReplayGainText(v.album->integrated)});
        fields.push_back({"REPLAYGAIN_ALBUM_PEAK", ReplayPeakText(v.album->truePeak)});
    }
    return fields;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

void SetComments(TagLib::Ogg::XiphComment& tag, const std::vector<Field>& fields) {
    for (const Field& f : fields) tag.addField(f.name, TagLib::String(f.text, TagLib::String::UTF8), true);
}

int WriteId3v2(const std::string& path, const std::vector<Field>& fields) {
    TagLib::MPEG::File file(path.c_str(), false);
    if (!file.isValid()) return 0;
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    const bool v4 = file.hasID3v2Tag() && tag->header()->majorVersion() == 4;
    for (const Field& f : fields) {
        while (auto* old = TagLib::ID3v2::UserTextIdentificationFrame::find(tag, f.name))
            tag->removeFrame(old);
        auto* frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::Latin1);
        frame->setDescription(f.name);
        frame->setText(TagLib::String(f.text, TagLib::String::Latin1));
        tag->addFrame(frame);
    }
    // Only the ID3v2 tag is rewritten, in the version it had; an ID3v1 tag stays as it is.
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone,
                     v4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3, TagLib::File::DoNotDuplicate)
               ? 1
               : 0;
}

int WriteOpus(const std::string& path, LoudnessTagValues v) {
    TagLib::Ogg::Opus::File file(path.c_str(), false);
    if (!file.isValid() || !file.tag()) return 0;
    // The header's output gain stays 0; players apply these relative to -23 LUFS.
    if (v.track && !v.track->silent)
        file.tag()->addField("R128_TRACK_GAIN", TagLib::String::number(R128Gain(v.track->integrated)), true);
    if (v.album && !v.album->silent)
        file.tag()->addField("R128_ALBUM_GAIN", TagLib::String::number(R128Gain(v.album->integrated)), true);
    return file.save() ? 1 : 0;
}

// Vorbis comments in the container the file's first bytes tell; TagLib refuses a file of another kind.
LoudnessTagStyle VorbisCommentStyle(const std::string& path) {
    switch (DetectXiph(path)) {
        case XiphKind::Opus:
            return LoudnessTagStyle::Opus;
        case XiphKind::Vorbis:
            return LoudnessTagStyle::OggVorbis;
        case XiphKind::Flac:
        case XiphKind::Unknown:
            break;
    }
    return LoudnessTagStyle::Flac;
}

}  // namespace

std::string ReplayGainText(double loudness) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f dB", kReplayGainReference - loudness);
    return text;
}

std::string ReplayPeakText(double truePeak) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", truePeak);
    return text;
}

int R128Gain(double loudness) {
    const double q78 = std::round((kR128Reference - loudness) * 256.0);
    return static_cast<int>(std::clamp(q78, -32768.0, 32767.0));
}

int WriteLoudnessTags(const std::string& path, LoudnessTagStyle style, LoudnessTagValues values) {
    const std::vector<Field> fields = Fields(values);
    if (fields.empty() || style == LoudnessTagStyle::None) return 1;
    if (style == LoudnessTagStyle::VorbisComment) style = VorbisCommentStyle(path);
    switch (style) {
        case LoudnessTagStyle::Id3v2:
            return WriteId3v2(path, fields);
        case LoudnessTagStyle::OggVorbis: {
            TagLib::Ogg::Vorbis::File file(path.c_str(), false);
            if (!file.isValid() || !file.tag()) return 0;
            SetComments(*file.tag(), fields);
            return file.save() ? 1 : 0;
        }
        case LoudnessTagStyle::Flac: {
            TagLib::FLAC::File file(path.c_str(), false);
            if (!file.isValid()) return 0;
            SetComments(*file.xiphComment(true), fields);
            return file.save() ? 1 : 0;
        }
        case LoudnessTagStyle::Opus:
            return WriteOpus(path, values);
        case LoudnessTagStyle::Mp4Freeform: {
            TagLib::MP4::File file(path.c_str(), false);
            if (!file.isValid() || !file.tag()) return 0;
            for (const Field& f : fields)
                file.tag()->setItem("----:com.apple.iTunes:" + Lower(f.name),
                                    TagLib::MP4::Item(TagLib::StringList(TagLib::String(f.text))));
            return file.save() ? 1 : 0;
        }
        case LoudnessTagStyle::AsfAttributes: {
            TagLib::ASF::File file(path.c_str(), false);
            if (!file.isValid() || !file.tag()) return 0;
            for (const Field& f : fields)
                file.tag()->setAttribute(f.name, TagLib::ASF::Attribute(TagLib::String(f.text)));
            return file.save() ? 1 : 0;
        }
        case LoudnessTagStyle::None:
        case LoudnessTagStyle::VorbisComment:  // told above
            break;
    }
    return 1;
}

int TagConvertedFile(ConversionJob& job) {
    if (job.settings.ReplayGain == 0 || !job.engine.Loudness) return 1;
    if (WriteLoudnessTags(job.outputPath, LoudnessTagStyleOf(job.settings.OutputFormat),
                          {&*job.engine.Loudness, nullptr}))
        return 1;
    job.engine.FailureDetail = "the ReplayGain tags could not be written";
    std::remove(job.outputPath.c_str());
    return 0;
}

int WriteAlbumLoudnessTags(const std::string& path, int outputFormat, const FileLoudness& album) {
    const LoudnessTagStyle style = LoudnessTagStyleOf(outputFormat);
    if (style == LoudnessTagStyle::None || album.silent) return 1;
    StagedOutput copy(path);
    if (!copy.Ok()) return 0;
    std::error_code ec;
    std::filesystem::copy_file(path, copy.Path(), std::filesystem::copy_options::overwrite_existing, ec);
    if (ec || !WriteLoudnessTags(copy.Path(), style, {nullptr, &album})) return 0;
    return copy.Commit(true) ? 1 : 0;
}

std::string AlbumKeyOf(const std::string& sourcePath) {
    std::string album, albumArtist;
    {
        TagLib::FileStream stream(sourcePath.c_str(), true);
        if (stream.isOpen()) {
            TagLib::FileRef ref(&stream, false);
            if (!ref.isNull() && ref.file()) {
                const TagLib::PropertyMap tags = ref.file()->properties();
                const auto text = [&](const char* key) {
                    const auto it = tags.find(key);
                    return it == tags.end() || it->second.isEmpty() ? std::string()
                                                                    : it->second.front().to8Bit(true);
                };
                album = text("ALBUM");
                albumArtist = text("ALBUMARTIST");
            }
        }
    }
    if (!album.empty()) return "album\n" + album + "\n" + albumArtist;
    return "folder\n" + std::filesystem::path(sourcePath).parent_path().lexically_normal().string();
}
