#include <gtest/gtest.h>
#include <taglib/asffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>

#include <map>
#include <set>

#include "cli/CliHarness.h"
#include "support/TestSupport.h"
#include "tags/FullTags.h"

namespace {

using namespace clitest;
using Fields = std::map<std::string, std::vector<std::string>>;

// About 25 fields a tagged library holds: several artists, non-Latin text, lyrics of several lines,
// MusicBrainz ids, and a field no tag system knows.
const Fields kFields = {
    {"TITLE", {"Ωμέγα — 夜の歌"}},
    {"ARTIST", {"Ann Ärtist", "Борис"}},
    {"ALBUMARTIST", {"Various Artists"}},
    {"ALBUM", {"Zusammenstellung"}},
    {"DISCNUMBER", {"1/2"}},
    {"TRACKNUMBER", {"3/10"}},
    {"DATE", {"2019"}},
    {"GENRE", {"Ambient"}},
    {"COMPOSER", {"Σύνθετης"}},
    {"COMMENT", {"A comment"}},
    {"COPYRIGHT", {"© 2019 Label"}},
    {"LYRICS", {"First line\nSecond line\nThird"}},
    {"MUSICBRAINZ_TRACKID", {"0a1b2c3d-0000-4000-8000-000000000001"}},
    {"MUSICBRAINZ_ALBUMID", {"0a1b2c3d-0000-4000-8000-000000000002"}},
    {"MUSICBRAINZ_ARTISTID", {"0a1b2c3d-0000-4000-8000-000000000003"}},
    {"MUSICBRAINZ_ALBUMARTISTID", {"0a1b2c3d-0000-4000-8000-000000000004"}},
    {"MUSICBRAINZ_RELEASEGROUPID", {"0a1b2c3d-0000-4000-8000-000000000005"}},
    {"ISRC", {"USABC1234567"}},
    {"BPM", {"120"}},
    {"LABEL", {"Ein Label"}},
    {"CONDUCTOR", {"Dirigent"}},
    {"LYRICIST", {"Textdichter"}},
    {"ALBUMSORT", {"Zusammenstellung, Die"}},
    {"ARTISTSORT", {"Ärtist, Ann"}},
    {"MOOD", {"calm"}},
    {"MY_OWN_FIELD", {"kept by name"}},
};

TagLib::ByteVector Data(const std::vector<std::uint8_t>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), static_cast<unsigned>(bytes.size())};
}

// The pictures every source carries: a large front cover, a small back cover (listed back first, so
// the front-first order is the reader's doing).
struct Pictures {
    TagPicture front, back;
};

// Tags a file ffmpeg made, with TagLib, in the tag system of its kind.
bool TagSource(const std::string& path, const Pictures& pics) {
    using namespace TagLib;
    PropertyMap props;
    for (const auto& [k, vs] : kFields)
        for (const auto& v : vs) props[String(k, String::UTF8)].append(String(v, String::UTF8));
    const TagPicture* order[] = {&pics.back, &pics.front};
    auto id3 = [&](ID3v2::Tag* tag) {
        tag->setProperties(props);
        for (const TagPicture* p : order) {
            auto* f = new ID3v2::AttachedPictureFrame;
            f->setType(static_cast<ID3v2::AttachedPictureFrame::Type>(p->type));
            f->setMimeType(p->mime);
            f->setDescription(String(p->description, String::UTF8));
            f->setTextEncoding(String::UTF8);
            f->setPicture(Data(p->data));
            tag->addFrame(f);
        }
    };
    auto flacPicture = [](const TagPicture* p) {
        auto* f = new FLAC::Picture;
        f->setType(static_cast<FLAC::Picture::Type>(p->type));
        f->setMimeType(p->mime);
        f->setDescription(String(p->description, String::UTF8));
        f->setData(Data(p->data));
        return f;
    };
    const std::string ext = path.substr(path.rfind('.'));
    if (ext == ".flac") {
        FLAC::File f(path.c_str());
        f.setProperties(props);
        for (const TagPicture* p : order) f.addPicture(flacPicture(p));
        return f.save();
    }
    if (ext == ".ogg") {
        Ogg::Vorbis::File f(path.c_str());
        f.setProperties(props);
        for (const TagPicture* p : order) f.tag()->addPicture(flacPicture(p));
        return f.save();
    }
    if (ext == ".mp3") {
        MPEG::File f(path.c_str());
        id3(f.ID3v2Tag(true));
        return f.save(MPEG::File::ID3v2, File::StripOthers, ID3v2::v4);
    }
    if (ext == ".wav") {
        RIFF::WAV::File f(path.c_str());
        id3(f.ID3v2Tag());
        return f.save(RIFF::WAV::File::ID3v2, File::StripOthers, ID3v2::v4);
    }
    if (ext == ".m4a") {
        MP4::File f(path.c_str());
        f.setProperties(props);
        MP4::CoverArtList covers;
        for (const TagPicture* p : order)
            covers.append({p->mime == "image/png" ? MP4::CoverArt::PNG : MP4::CoverArt::JPEG, Data(p->data)});
        f.tag()->setItem("covr", covers);
        return f.save();
    }
    if (ext == ".wma") {
        ASF::File f(path.c_str());
        f.setProperties(props);
        for (const TagPicture* p : order) {
            ASF::Picture a;
            a.setType(static_cast<ASF::Picture::Type>(p->type));
            a.setMimeType(p->mime);
            a.setDescription(String(p->description, String::UTF8));
            a.setPicture(Data(p->data));
            f.tag()->addAttribute("WM/Picture", ASF::Attribute(a));
        }
        return f.save();
    }
    return false;
}

Fields ReadFields(const std::string& path) {
    Fields fields;
    TagLib::FileRef ref(path.c_str(), false);
    if (ref.isNull()) return fields;
    for (const auto& [k, vs] : ref.file()->properties())
        for (const auto& v : vs) fields[k.to8Bit(true)].push_back(v.to8Bit(true));
    return fields;
}

struct Source {
    const char* file;  // its extension picks the tag system
    const char* codec;
    bool typedPictures;  // false: MP4 keeps no picture types, so the pictures stay in stored order
};

const Source kSources[] = {
    {"src-flac.flac", "flac", true},       {"src-id3.mp3", "libmp3lame", true},
    {"src-vorbis.ogg", "libvorbis", true}, {"src-mp4.m4a", "aac", false},
    {"src-asf.wma", "wmav2", true},        {"src-id3chunk.wav", "pcm_s16le", true},
};

// The sources, made once for every output format.
class Library {
public:
    Library() {
        const std::string cover = m_home.File("front.jpg"), back = m_home.File("back.png");
        // Noise does not compress: a 900x900 JPEG of it is about 600 KB.
        if (testsupport::Run({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                              "nullsrc=s=900x900,geq=lum='random(1)*255':cb=128:cr=128", "-frames", "1",
                              "-q:v", "2", "-y", cover}) != 0 ||
            testsupport::Run({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=s=200x150", "-frames",
                              "1", "-y", back}) != 0)
            return;
        m_pics.front = {3, "image/jpeg", "Vorderseite ✓", testsupport::ReadBytes(cover)};
        m_pics.back = {4, "image/png", "Back", testsupport::ReadBytes(back)};
        for (const Source& s : kSources) {
            const std::string path = m_home.File("in/" + std::string(s.file));
            std::filesystem::create_directories(m_home.File("in"));
            if (testsupport::Run({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "sine=f=440:d=0.5:r=44100",
                                  "-ac", "2", "-c:a", s.codec, "-map_metadata", "-1", "-y", path}) != 0 ||
                !TagSource(path, m_pics))
                return;
            m_held[s.file] = ReadFields(path);
        }
        m_ok = true;
    }
    bool Ok() const { return m_ok; }
    const CliHome& Home() const { return m_home; }
    const Pictures& Pics() const { return m_pics; }
    // What the source's tag system really holds of kFields, as TagLib reads it back.
    const Fields& Held(const std::string& file) { return m_held[file]; }

private:
    CliHome m_home;
    Pictures m_pics;
    std::map<std::string, Fields> m_held;
    bool m_ok = false;
};

Library& Shared() {
    static Library library;
    return library;
}

struct OutputCase {
    const char* name;
    std::vector<std::string> args;  // format and options
    const char* ext;                // of the outputs
    Fields differs;                 // fields the format holds otherwise, as the guide says
    bool ownFieldByFfprobe;     // TagLib maps no property to a field of the source's own name: ask ffprobe
    bool pictureTypes;          // keeps each picture's type and description
    bool holdsTags;             // false: no fields and no pictures at all
    bool probeGrouping = true;  // ffprobe shows album artist and disc (it reads a WAV's INFO list only)
};

void PrintTo(const OutputCase& c, std::ostream* os) {
    *os << c.name;
}

class FullTagTransfer : public ::testing::TestWithParam<OutputCase> {};

// The format's and the first stream's tags as ffprobe reads them.
std::string ProbeTags(const std::string& path, const std::string& names) {
    std::string out;
    testsupport::Run({"ffprobe", "-v", "error", "-show_entries",
                      "format_tags=" + names + ":stream_tags=" + names, "-of", "default=nw=1", path},
                     &out);
    return out;
}

TEST_P(FullTagTransfer, EveryFieldAndPictureTheFormatHoldsReadsBackEqual) {
    // A library converted must keep album artist, disc, ids, lyrics and covers, not just nine texts.
    const OutputCase& c = GetParam();
    Library& lib = Shared();
    if (!lib.Ok()) GTEST_SKIP() << "ffmpeg could not make the sources";
    const std::string out = lib.Home().File(std::string("out-") + c.name);
    std::vector<std::string> args = {"-q", "-o", out};
    args.insert(args.end(), c.args.begin(), c.args.end());
    for (const Source& s : kSources) args.push_back(lib.Home().File("in/" + std::string(s.file)));
    const CliResult r = lib.Home().Run(args);
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    for (const Source& s : kSources) {
        SCOPED_TRACE(s.file);
        const std::string stem = std::string(s.file).substr(0, std::string(s.file).rfind('.'));
        const std::string path = out + "/" + stem + c.ext;
        const Fields got = ReadFields(path);
        const FullTags tags = ReadFullTags(path);
        if (!c.holdsTags) {
            EXPECT_TRUE(got.empty() && tags.pictures.empty());
            continue;
        }
        for (const auto& [name, values] : lib.Held(s.file)) {
            if (!kFields.count(name) || (c.ownFieldByFfprobe && name == "MY_OWN_FIELD")) continue;
            // (A source that itself could not hold the values as given keeps what it holds.)
            const bool differs = c.differs.count(name) && values == kFields.at(name);
            const std::vector<std::string>& want = differs ? c.differs.at(name) : values;
            const auto it = got.find(name);
            EXPECT_TRUE(it != got.end() && it->second == want) << name;
        }
        // Peers read the grouping fields too (an Ogg file keeps them with its stream).
        const std::string probed = ProbeTags(path, "album_artist,disc,DISCNUMBER,MY_OWN_FIELD");
        if (c.probeGrouping) {
            EXPECT_NE(probed.find("Various Artists"), std::string::npos) << probed;
            EXPECT_NE(probed.find("1/2"), std::string::npos) << probed;
        }
        if (c.probeGrouping && lib.Held(s.file).count("MY_OWN_FIELD")) {
            EXPECT_NE(probed.find("kept by name"), std::string::npos) << probed;
        }
        ASSERT_EQ(tags.pictures.size(), 2u);
        // Pictures without types (from MP4) have no front cover to put first.
        const bool swapped = !s.typedPictures && tags.pictures[0].data != lib.Pics().front.data;
        EXPECT_TRUE(tags.pictures[swapped ? 1 : 0].data == lib.Pics().front.data);
        EXPECT_TRUE(tags.pictures[swapped ? 0 : 1].data == lib.Pics().back.data);
        if (c.pictureTypes && s.typedPictures) {
            EXPECT_EQ(tags.pictures[0].type, 3);
            EXPECT_EQ(tags.pictures[0].description, lib.Pics().front.description);
            EXPECT_EQ(tags.pictures[1].type, 4);
            EXPECT_EQ(tags.pictures[1].mime, "image/png");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, FullTagTransfer,
    ::testing::Values(
        OutputCase{"mp3", {"-t", "mp3"}, ".mp3", {}, false, true, true},
        OutputCase{"mp3v24", {"-t", "mp3", "--set", "ID3v2Version=4"}, ".mp3", {}, false, true, true},
        OutputCase{"ogg", {"-t", "ogg"}, ".ogg", {}, false, true, true},
        OutputCase{"m4a", {"-t", "m4a"}, ".m4a", {}, true, false, true},
        OutputCase{"m4b", {"-t", "m4b"}, ".m4b", {}, true, false, true},
        OutputCase{"wma",
                   {"-t", "wma"},
                   ".wma",
                   {{"ARTIST", {"Ann Ärtist; Борис"}}, {"TRACKNUMBER", {"3"}}},
                   true,
                   true,
                   true},
        OutputCase{"wavId3", {"-t", "wav", "--set", "WavId3Chunk=1"}, ".wav", {}, false, true, true, false},
        OutputCase{"aac", {"-t", "aac"}, ".aac", {}, false, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// The option rules, on one FLAC tagged by metaflac, converted to MP3.
struct RuleCase {
    const char* name;
    std::vector<std::string> set;  // --set arguments
    bool withPictures;             // the source embeds the two pictures (else only a folder cover.png)
    std::string title;             // expected TITLE; empty: none
    std::string albumArtist;       // expected ALBUMARTIST; empty: none
    int pictures;                  // expected count
    int frontWidth;                // of the first picture; 0: byte-identical to what was embedded
};

void PrintTo(const RuleCase& c, std::ostream* os) {
    *os << c.name;
}

class TagRules : public ::testing::TestWithParam<RuleCase> {};

std::string Probe(const std::string& path, const std::string& entry) {
    std::string out;
    testsupport::Run({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", entry, "-of",
                      "default=nw=1:nk=1", path},
                     &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

TEST_P(TagRules, TemplateNoTagsTransferFolderCoverAndSizeLimit) {
    // Each option must do exactly its part: the template keeps its nine texts, "no tags" and
    // TransferAllTags=0 add nothing, a folder cover fills in, and only oversized pictures are re-encoded.
    const RuleCase& c = GetParam();
    Library& lib = Shared();
    if (!lib.Ok() || !testsupport::HaveTool("metaflac")) GTEST_SKIP();
    CliHome home;
    const std::string src = home.File("album/a.flac");
    std::filesystem::create_directories(home.File("album"));
    ASSERT_EQ(
        testsupport::Run({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "sine=d=0.3", "-c:a", "flac", src}),
        0);
    std::vector<std::string> tag = {"metaflac", "--set-tag=TITLE=Source title",
                                    "--set-tag=ALBUMARTIST=Various"};
    testsupport::WriteBytes(home.File("front.jpg"), lib.Pics().front.data);
    testsupport::WriteBytes(home.File("album/cover.png"), lib.Pics().back.data);
    if (c.withPictures) tag.push_back("--import-picture-from=3|image/jpeg|||" + home.File("front.jpg"));
    tag.push_back(src);
    ASSERT_EQ(testsupport::Run(tag), 0);

    std::vector<std::string> args = {"-q", "-t", "mp3", "-o", home.File("out")};
    for (const auto& s : c.set) args.insert(args.end(), {"--set", s});
    args.push_back(src);
    ASSERT_EQ(home.Run(args).status, 0);
    const std::string out = home.File("out/a.mp3");
    const Fields got = ReadFields(out);
    const auto text = [&got](const char* name) { return got.count(name) ? got.at(name).front() : ""; };
    EXPECT_EQ(text("TITLE"), c.title);
    EXPECT_EQ(text("ALBUMARTIST"), c.albumArtist);
    const FullTags tags = ReadFullTags(out);
    ASSERT_EQ(static_cast<int>(tags.pictures.size()), c.pictures);
    if (!c.pictures) return;
    if (c.frontWidth) {
        EXPECT_EQ(tags.pictures[0].mime, "image/jpeg");
        EXPECT_EQ(Probe(out, "stream=width"), std::to_string(c.frontWidth));
    } else {
        EXPECT_TRUE(tags.pictures[0].data == (c.withPictures ? lib.Pics().front.data : lib.Pics().back.data));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, TagRules,
    ::testing::Values(
        RuleCase{"SourceTags", {}, true, "Source title", "Various", 1, 0},
        // The default template asks for the file name as title.
        RuleCase{"TemplateKeepsItsTexts", {"MP3ID3TagType=0"}, true, "a", "Various", 1, 0},
        RuleCase{"NoTags", {"MP3ID3TagType=2"}, true, "", "", 0, 0},
        RuleCase{"TransferOffIsTheEarlierOutput", {"TransferAllTags=0"}, true, "Source title", "", 0, 0},
        RuleCase{"FolderCover", {}, false, "Source title", "Various", 1, 0},
        RuleCase{"FolderCoverOff", {"FolderCoverArt=0"}, false, "Source title", "Various", 0, 0},
        RuleCase{
            "LargerPictureScaledToTheLimit", {"MaxPictureSize=300"}, true, "Source title", "Various", 1, 300},
        RuleCase{"SmallerPictureUntouched", {"MaxPictureSize=300"}, false, "Source title", "Various", 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
