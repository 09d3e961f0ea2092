#include "tags/FullTags.h"

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "platform/Paths.h"
#include "platform/TagLibTables.h"

namespace {

std::string Utf8(const TagLib::String& s) {
    return s.to8Bit(true);
}

std::vector<std::uint8_t> Bytes(const TagLib::ByteVector& v) {
    return {reinterpret_cast<const std::uint8_t*>(v.data()),
            reinterpret_cast<const std::uint8_t*>(v.data()) + v.size()};
}

void AddPicture(FullTags& tags, int type, const TagLib::String& mime, const TagLib::String& description,
                const TagLib::ByteVector& data) {
    if (data.isEmpty() || data.size() > kMaxPictureBytes) return;
    tags.pictures.push_back({type, Utf8(mime), Utf8(description), Bytes(data)});
}

void ReadId3v2Pictures(FullTags& tags, TagLib::ID3v2::Tag* id3) {
    if (!id3) return;
    for (TagLib::ID3v2::Frame* frame : id3->frameList("APIC")) {
        const auto* apic = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
        if (apic) AddPicture(tags, apic->type(), apic->mimeType(), apic->description(), apic->picture());
    }
}

void ReadFlacPictures(FullTags& tags, const TagLib::List<TagLib::FLAC::Picture*>& list) {
    for (const TagLib::FLAC::Picture* p : list)
        AddPicture(tags, p->type(), p->mimeType(), p->description(), p->data());
}

const char* CoverMime(TagLib::MP4::CoverArt::Format format) {
    switch (format) {
        case TagLib::MP4::CoverArt::PNG:
            return "image/png";
        case TagLib::MP4::CoverArt::BMP:
            return "image/bmp";
        case TagLib::MP4::CoverArt::GIF:
            return "image/gif";
        default:
            return "image/jpeg";
    }
}

// APE keeps a picture as its description, a zero byte and the image.
void ReadApePictures(FullTags& tags, TagLib::APE::Tag* ape) {
    if (!ape) return;
    static const struct {
        const char* key;
        int type;
    } kKeys[] = {{"COVER ART (FRONT)", 3}, {"COVER ART (BACK)", 4}};
    for (const auto& k : kKeys) {
        const auto& items = ape->itemListMap();
        const auto it = items.find(k.key);
        if (it == items.end() || it->second.type() != TagLib::APE::Item::Binary) continue;
        const TagLib::ByteVector raw = it->second.binaryData();
        const int zero = raw.find('\0');
        if (zero < 0) continue;
        const TagLib::ByteVector image = raw.mid(static_cast<unsigned>(zero) + 1);
        const bool png = image.startsWith("\x89PNG");
        AddPicture(tags, k.type, png ? "image/png" : "image/jpeg",
                   TagLib::String(raw.mid(0, static_cast<unsigned>(zero)), TagLib::String::UTF8), image);
    }
}

void ReadPictures(FullTags& tags, TagLib::File* file) {
    using namespace TagLib;
    if (auto* f = dynamic_cast<MPEG::File*>(file)) {
        if (f->hasID3v2Tag()) ReadId3v2Pictures(tags, f->ID3v2Tag());
        if (tags.pictures.empty() && f->hasAPETag()) ReadApePictures(tags, f->APETag());
    } else if (auto* f = dynamic_cast<FLAC::File*>(file)) {
        ReadFlacPictures(tags, f->pictureList());
        if (tags.pictures.empty() && f->hasXiphComment())
            ReadFlacPictures(tags, f->xiphComment()->pictureList());
    } else if (auto* f = dynamic_cast<MP4::File*>(file)) {
        MP4::Tag* t = f->tag();
        if (t && t->contains("covr"))
            for (const MP4::CoverArt& art : t->item("covr").toCoverArtList())
                AddPicture(tags, kFrontCover, CoverMime(art.format()), String(), art.data());
    } else if (auto* f = dynamic_cast<ASF::File*>(file)) {
        ASF::Tag* t = f->tag();
        if (t)
            for (const ASF::Attribute& a : t->attribute("WM/Picture")) {
                const ASF::Picture p = a.toPicture();
                if (p.isValid()) AddPicture(tags, p.type(), p.mimeType(), p.description(), p.picture());
            }
    } else if (auto* f = dynamic_cast<RIFF::WAV::File*>(file)) {
        if (f->hasID3v2Tag()) ReadId3v2Pictures(tags, f->ID3v2Tag());
    } else if (auto* f = dynamic_cast<RIFF::AIFF::File*>(file)) {
        if (f->hasID3v2Tag()) ReadId3v2Pictures(tags, f->tag());
    } else if (auto* f = dynamic_cast<WavPack::File*>(file)) {
        if (f->hasAPETag()) ReadApePictures(tags, f->APETag());
    } else if (auto* f = dynamic_cast<APE::File*>(file)) {
        if (f->hasAPETag()) ReadApePictures(tags, f->APETag());
    } else if (auto* f = dynamic_cast<MPC::File*>(file)) {
        if (f->hasAPETag()) ReadApePictures(tags, f->APETag());
    } else if (auto* x = dynamic_cast<Ogg::XiphComment*>(file->tag())) {
        ReadFlacPictures(tags, x->pictureList());
    }
    // Front cover first; the others keep their order.
    std::stable_sort(tags.pictures.begin(), tags.pictures.end(),
                     [](const TagPicture& a, const TagPicture& b) {
                         return a.type == kFrontCover && b.type != kFrontCover;
                     });
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

const TagField* FullTags::Find(const std::string& name) const {
    for (const TagField& f : fields)
        if (f.name == name) return &f;
    return nullptr;
}

void FullTags::Erase(const std::string& name) {
    std::erase_if(fields, [&name](const TagField& f) { return f.name == name; });
}

FullTags ReadFullTags(const std::string& path) {
    FullTags tags;
    // Read-only: a source is never written, not even by accident.
    TagLib::FileStream stream(path.c_str(), true);
    if (!stream.isOpen()) return tags;
    TagLib::FileRef ref(&stream, false);
    if (ref.isNull()) return tags;
    const TagLib::PropertyMap props = ref.file()->properties();
    for (const auto& [key, values] : props) {
        TagField field{Utf8(key), {}};
        for (const TagLib::String& v : values)
            if (!v.isEmpty()) field.values.push_back(Utf8(v));
        if (!field.values.empty()) tags.fields.push_back(std::move(field));
    }
    ReadPictures(tags, ref.file());
    return tags;
}

std::optional<TagPicture> FolderCover(const std::string& sourcePath) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path folder = fs::path(sourcePath).parent_path();
    // The folder's names, found without regard to case, in the order of preference.
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end; !ec && it != end;
         it.increment(ec))
        entries.push_back(it->path());
    for (const char* stem : {"cover", "folder", "front"})
        for (const char* ext : {".jpg", ".jpeg", ".png"}) {
            const std::string wanted = std::string(stem) + ext;
            for (const fs::path& p : entries) {
                if (Lower(p.filename().string()) != wanted) continue;
                const auto size = fs::file_size(p, ec);
                if (ec || size == 0 || size > kMaxPictureBytes || !fs::is_regular_file(p, ec)) continue;
                std::ifstream in(p, std::ios::binary);
                TagPicture picture;
                picture.mime = std::string(ext) == ".png" ? "image/png" : "image/jpeg";
                picture.data.resize(size);
                if (!in.read(reinterpret_cast<char*>(picture.data.data()),
                             static_cast<std::streamsize>(size)))
                    continue;
                return picture;
            }
        }
    return std::nullopt;
}
