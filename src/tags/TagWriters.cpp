#include "tags/TagWriters.h"

#include <taglib/asffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <cstring>
#include <fstream>
#include <memory>

#include "platform/TagLibTables.h"

namespace {

using TagLib::String;

String Text(const std::string& utf8) {
    return String(utf8, String::UTF8);
}

TagLib::StringList Texts(const std::vector<std::string>& values) {
    TagLib::StringList list;
    for (const std::string& v : values) list.append(Text(v));
    return list;
}

TagLib::ByteVector Data(const std::vector<std::uint8_t>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), static_cast<unsigned>(bytes.size())};
}

bool IsLatin1(const String& s) {
    for (auto c : s)
        if (c > 0xFF) return false;
    return true;
}

// The file's own fields with those of `tags` in place of the ones of the same name.
TagLib::PropertyMap Merged(TagLib::PropertyMap current, const FullTags& tags) {
    for (const TagField& f : tags.fields) current.replace(Text(f.name), Texts(f.values));
    return current;
}

TagLib::FLAC::Picture* FlacPicture(const TagPicture& p) {
    auto* picture = new TagLib::FLAC::Picture;
    picture->setType(static_cast<TagLib::FLAC::Picture::Type>(p.type));
    picture->setMimeType(Text(p.mime));
    picture->setDescription(Text(p.description));
    picture->setData(Data(p.data));
    return picture;
}

// Frames that ID3v2.3 lacks; TagLib drops them when it renders 2.3, so they go into TXXX frames
// under their field name instead, as the common taggers write them.
constexpr struct {
    const char* id;
    const char* field;
} kId3v24Only[] = {{"TMOO", "MOOD"},
                   {"TPRO", "PRODUCEDNOTICE"},
                   {"TSST", "DISCSUBTITLE"},
                   {"TDRL", "RELEASEDATE"},
                   {"TDTG", "TAGGINGDATE"}};

void KeepId3v24OnlyFrames(TagLib::ID3v2::Tag& tag) {
    for (const auto& [id, key] : kId3v24Only) {
        const TagLib::ID3v2::FrameList frames = tag.frameList(id);
        for (TagLib::ID3v2::Frame* frame : frames) {
            const auto* text = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(frame);
            if (!text) continue;
            const TagLib::StringList values = text->fieldList();
            tag.removeFrame(frame);
            tag.addFrame(new TagLib::ID3v2::UserTextIdentificationFrame(key, values, String::UTF16));
        }
    }
}

void ApplyId3v2(TagLib::ID3v2::Tag& tag, const FullTags& tags, const TagWriteOptions& options) {
    tag.setProperties(Merged(tag.properties(), tags));
    if (options.id3v2Version != 4) KeepId3v24OnlyFrames(tag);
    if (tags.pictures.empty()) return;
    tag.removeFrames("APIC");
    for (const TagPicture& p : tags.pictures) {
        auto* apic = new TagLib::ID3v2::AttachedPictureFrame;
        const String description = Text(p.description);
        apic->setTextEncoding(IsLatin1(description) ? String::Latin1 : String::UTF16);
        apic->setType(static_cast<TagLib::ID3v2::AttachedPictureFrame::Type>(p.type));
        apic->setMimeType(Text(p.mime));
        apic->setDescription(description);
        apic->setPicture(Data(p.data));
        tag.addFrame(apic);
    }
}

TagLib::ID3v2::Version Id3Version(const TagWriteOptions& options) {
    return options.id3v2Version == 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3;
}

int WriteId3v2(const std::string& path, const FullTags& tags, const TagWriteOptions& options) {
    TagLib::MPEG::File file(path.c_str(), false);
    if (!file.isValid() || file.readOnly()) return 0;
    ApplyId3v2(*file.ID3v2Tag(true), tags, options);
    // An ID3v1 block the writer put at the end stays as it is.
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, Id3Version(options),
                     TagLib::File::DoNotDuplicate);
}

void ApplyXiph(TagLib::Ogg::XiphComment& comment, const FullTags& tags) {
    for (const TagField& f : tags.fields) {
        comment.removeFields(Text(f.name));
        for (const std::string& v : f.values) comment.addField(Text(f.name), Text(v), false);
    }
    if (tags.pictures.empty()) return;
    comment.removeAllPictures();
    for (const TagPicture& p : tags.pictures) comment.addPicture(FlacPicture(p));
}

int WriteVorbisComment(const std::string& path, const FullTags& tags) {
    switch (DetectXiph(path)) {
        case XiphKind::Flac: {
            TagLib::FLAC::File file(path.c_str(), false);
            if (!file.isValid() || file.readOnly()) return 0;
            ApplyXiph(*file.xiphComment(true), FullTags{tags.fields, {}});
            if (!tags.pictures.empty()) {
                file.removePictures();
                for (const TagPicture& p : tags.pictures) file.addPicture(FlacPicture(p));
            }
            return file.save();
        }
        case XiphKind::Opus: {
            TagLib::Ogg::Opus::File file(path.c_str(), false);
            if (!file.isValid() || file.readOnly() || !file.tag()) return 0;
            ApplyXiph(*file.tag(), tags);
            return file.save();
        }
        case XiphKind::Vorbis: {
            TagLib::Ogg::Vorbis::File file(path.c_str(), false);
            if (!file.isValid() || file.readOnly() || !file.tag()) return 0;
            ApplyXiph(*file.tag(), tags);
            return file.save();
        }
        default:
            return 0;
    }
}

TagLib::MP4::CoverArt::Format CoverFormat(const std::string& mime) {
    if (mime == "image/png") return TagLib::MP4::CoverArt::PNG;
    if (mime == "image/bmp") return TagLib::MP4::CoverArt::BMP;
    if (mime == "image/gif") return TagLib::MP4::CoverArt::GIF;
    return TagLib::MP4::CoverArt::JPEG;
}

int WriteMp4(const std::string& path, const FullTags& tags) {
    TagLib::MP4::File file(path.c_str(), false);
    if (!file.isValid() || file.readOnly() || !file.tag()) return 0;
    TagLib::MP4::Tag& tag = *file.tag();
    // Fields without an atom of their own go into freeform atoms under their own name, as the
    // common taggers write them.
    const TagLib::PropertyMap left = tag.setProperties(Merged(tag.properties(), tags));
    for (const auto& [key, values] : left)
        if (!values.isEmpty()) tag.setItem("----:com.apple.iTunes:" + key, TagLib::MP4::Item(values));
    if (!tags.pictures.empty()) {
        TagLib::MP4::CoverArtList covers;
        for (const TagPicture& p : tags.pictures) covers.append({CoverFormat(p.mime), Data(p.data)});
        tag.setItem("covr", TagLib::MP4::Item(covers));
    }
    return file.save();
}

int WriteAsf(const std::string& path, const FullTags& tags) {
    TagLib::ASF::File file(path.c_str(), false);
    if (!file.isValid() || file.readOnly() || !file.tag()) return 0;
    TagLib::ASF::Tag& tag = *file.tag();
    // The content description holds one title, artist, copyright and description each; TagLib would
    // join several values with a bare space.
    TagLib::PropertyMap merged = Merged(tag.properties(), tags);
    for (const char* single : {"TITLE", "ARTIST", "COPYRIGHT", "COMMENT"})
        if (merged.contains(single) && merged[single].size() > 1)
            merged.replace(single, TagLib::StringList(merged[single].toString("; ")));
    // WM/TrackNumber is a number, which TagLib would rewrite as text; it has no place for a total.
    TagLib::ASF::AttributeList track = tag.attribute("WM/TrackNumber");
    if (track.isEmpty() && merged.contains("TRACKNUMBER")) {
        const int number = merged["TRACKNUMBER"].front().toInt();
        if (number > 0) track.append(TagLib::ASF::Attribute(static_cast<unsigned>(number)));
    }
    // Fields without an attribute of their own keep their name as the attribute's.
    const TagLib::PropertyMap left = tag.setProperties(merged);
    if (!track.isEmpty()) tag.setAttribute("WM/TrackNumber", track);
    for (const auto& [key, values] : left) {
        TagLib::ASF::AttributeList list;
        for (const String& v : values) list.append(TagLib::ASF::Attribute(v));
        if (!list.isEmpty()) tag.setAttribute(key, list);
    }
    if (!tags.pictures.empty()) {
        tag.removeItem("WM/Picture");
        for (const TagPicture& p : tags.pictures) {
            TagLib::ASF::Picture picture;
            picture.setType(static_cast<TagLib::ASF::Picture::Type>(p.type));
            picture.setMimeType(Text(p.mime));
            picture.setDescription(Text(p.description));
            picture.setPicture(Data(p.data));
            tag.addAttribute("WM/Picture", TagLib::ASF::Attribute(picture));
        }
    }
    return file.save();
}

// The INFO chunks of the fields that have one; INFO holds one text per chunk, so several values
// are joined as the common taggers join them.
constexpr struct {
    const char* field;
    const char* chunk;
} kInfoChunks[] = {
    {"TITLE", "INAM"},       {"ARTIST", "IART"},    {"ALBUM", "IPRD"},       {"DATE", "ICRD"},
    {"GENRE", "IGNR"},       {"COMMENT", "ICMT"},   {"TRACKNUMBER", "IPRT"}, {"COPYRIGHT", "ICOP"},
    {"COMPOSER", "IMUS"},    {"ENCODEDBY", "ITCH"}, {"ENCODING", "ISFT"},    {"LANGUAGE", "ILNG"},
    {"ALBUMARTIST", "IAAR"}, {"ISRC", "ISRC"},
};

String Joined(const std::vector<std::string>& values) {
    std::string text;
    for (const std::string& v : values) text += (text.empty() ? "" : "; ") + v;
    return Text(text);
}

int WriteRiff(const std::string& path, const FullTags& tags, const TagWriteOptions& options) {
    TagLib::RIFF::WAV::File file(path.c_str(), false);
    if (!file.isValid() || file.readOnly()) return 0;
    TagLib::RIFF::Info::Tag& info = *file.InfoTag();
    for (const auto& c : kInfoChunks)
        if (const TagField* f = tags.Find(c.field)) info.setFieldText(c.chunk, Joined(f->values));
    int systems = TagLib::RIFF::WAV::File::Info;
    if (options.wavId3Chunk) {
        ApplyId3v2(*file.ID3v2Tag(), tags, options);
        systems |= TagLib::RIFF::WAV::File::ID3v2;
    }
    return file.save(static_cast<TagLib::RIFF::WAV::File::TagTypes>(systems), TagLib::File::StripOthers,
                     Id3Version(options));
}

}  // namespace

XiphKind DetectXiph(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[64] = {};
    in.read(head, sizeof head);
    if (in.gcount() >= 4 && std::memcmp(head, "fLaC", 4) == 0) return XiphKind::Flac;
    if (in.gcount() < 36 || std::memcmp(head, "OggS", 4) != 0) return XiphKind::Unknown;
    if (std::memcmp(head + 28, "OpusHead", 8) == 0) return XiphKind::Opus;
    if (std::memcmp(head + 28, "\x01vorbis", 7) == 0) return XiphKind::Vorbis;
    return XiphKind::Unknown;
}

int WriteFullTags(TagSystem system, const std::string& path, const FullTags& tags,
                  const TagWriteOptions& options) {
    // ID3v2.4 is asked for even when no field is added: the writer renders ID3v2.3.
    if (tags.Empty() && !(system == TagSystem::Id3v2 && options.id3v2Version == 4)) return 1;
    switch (system) {
        case TagSystem::None:
            return 1;
        case TagSystem::Id3v2:
            return WriteId3v2(path, tags, options);
        case TagSystem::VorbisComment:
            return WriteVorbisComment(path, tags);
        case TagSystem::Mp4:
            return WriteMp4(path, tags);
        case TagSystem::Asf:
            return WriteAsf(path, tags);
        case TagSystem::RiffInfo:
            return WriteRiff(path, tags, options);
    }
    return 0;
}

std::vector<std::string> VorbisCommentLines(const FullTags& tags) {
    std::vector<std::string> lines;
    for (const TagField& f : tags.fields)
        for (const std::string& v : f.values) lines.push_back(f.name + "=" + v);
    for (const TagPicture& p : tags.pictures) {
        const std::unique_ptr<TagLib::FLAC::Picture> picture(FlacPicture(p));
        const TagLib::ByteVector base64 = picture->render().toBase64();
        lines.push_back("METADATA_BLOCK_PICTURE=" + std::string(base64.data(), base64.size()));
    }
    return lines;
}
