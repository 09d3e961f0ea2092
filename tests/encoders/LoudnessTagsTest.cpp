#include <gtest/gtest.h>
#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "encoders/LoudnessTags.h"
#include "support/TestSupport.h"

namespace {

namespace ts = testsupport;

std::string Lowered(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// ffprobe's view of a file's tags (stream and container), names lower-cased.
std::string ProbeTag(const std::string& path, const std::string& name) {
    std::string out;
    ts::Run(
        {"ffprobe", "-v", "error", "-show_entries", "format_tags:stream_tags", "-of", "default=nw=1", path},
        &out);
    const std::string key = "tag:" + Lowered(name) + "=";
    for (std::size_t at = 0; at < out.size();) {
        const auto end = out.find('\n', at);
        const std::string line = out.substr(at, end - at);
        at = end == std::string::npos ? out.size() : end + 1;
        if (Lowered(line.substr(0, key.size())) == key) return line.substr(key.size());
    }
    return {};
}

std::string TagLibProperty(const std::string& path, const std::string& name) {
    TagLib::FileRef ref(path.c_str(), false);
    if (ref.isNull()) return {};
    const TagLib::PropertyMap map = ref.file()->properties();
    const auto it = map.find(name);
    return it == map.end() || it->second.isEmpty() ? std::string() : it->second.front().to8Bit(true);
}

struct WriterCase {
    const char* name;
    LoudnessTagStyle style;
    const char* file;
    std::vector<std::string> make;  // peer encoder from "in.wav" to OUT
    std::map<std::string, std::string> expected;
};

class LoudnessWriter : public ::testing::TestWithParam<WriterCase> {};

TEST_P(LoudnessWriter, PeersReadTrackAndAlbumValues) {
    // The formats whose outputs arrive later are written on files their reference encoders made.
    const WriterCase& c = GetParam();
    ts::TempDir dir;
    ASSERT_EQ(ts::Run({"sox", "-n", "-r", "48000", "-c", "2", "-b", "16", dir.File("in.wav"), "synth", "1",
                       "sine", "440", "vol", "0.3"}),
              0);
    std::vector<std::string> make = c.make;
    for (auto& a : make) a = a == "IN" ? dir.File("in.wav") : a == "OUT" ? dir.File(c.file) : a;
    ASSERT_EQ(ts::Run(make), 0);
    const FileLoudness track{-23.0, 0.5, false}, album{-20.0, 0.9, false};
    ASSERT_EQ(WriteLoudnessTags(dir.File(c.file), c.style, {&track, &album}), 1);
    for (const auto& [name, value] : c.expected) {
        EXPECT_EQ(ProbeTag(dir.File(c.file), name), value) << name;
        EXPECT_EQ(TagLibProperty(dir.File(c.file), name), value) << name;
    }
    // Writing again replaces the values rather than adding a second of each.
    ASSERT_EQ(WriteLoudnessTags(dir.File(c.file), c.style, {&track, &album}), 1);
    TagLib::FileRef ref(dir.File(c.file).c_str(), false);
    for (const auto& [name, value] : c.expected) EXPECT_EQ(ref.file()->properties()[name].size(), 1u) << name;
}

INSTANTIATE_TEST_SUITE_P(
    Peers, LoudnessWriter,
    ::testing::Values(WriterCase{"Flac",
                                 LoudnessTagStyle::Flac,
                                 "t.flac",
                                 {"flac", "-s", "-f", "-o", "OUT", "IN"},
                                 {{"REPLAYGAIN_TRACK_GAIN", "5.00 dB"},
                                  {"REPLAYGAIN_TRACK_PEAK", "0.500000"},
                                  {"REPLAYGAIN_ALBUM_GAIN", "2.00 dB"},
                                  {"REPLAYGAIN_ALBUM_PEAK", "0.900000"}}},
                      // Q7.8 against -23 LUFS: 0 for the track, 3 dB down (-768) for the album.
                      WriterCase{"Opus",
                                 LoudnessTagStyle::Opus,
                                 "t.opus",
                                 {"opusenc", "--quiet", "IN", "OUT"},
                                 {{"R128_TRACK_GAIN", "0"}, {"R128_ALBUM_GAIN", "-768"}}},
                      WriterCase{
                          "Mp3",
                          LoudnessTagStyle::Id3v2,
                          "t.mp3",
                          {"lame", "--silent", "IN", "OUT"},
                          {{"REPLAYGAIN_TRACK_GAIN", "5.00 dB"}, {"REPLAYGAIN_ALBUM_PEAK", "0.900000"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoudnessWriter, VorbisCommentFormatsWriteTheirContainersConvention) {
    // Three formats share one tag system; the album's values land as each container's players read
    // them.
    struct Case {
        int format;
        const char* file;
        std::vector<std::string> make;
        const char* name;
        const char* value;
    } cases[] = {
        {kFormatOgg, "t.ogg", {"oggenc", "-Q", "-o", "OUT", "IN"}, "REPLAYGAIN_ALBUM_GAIN", "2.00 dB"},
        {kFormatFlac, "t.flac", {"flac", "-s", "-f", "-o", "OUT", "IN"}, "REPLAYGAIN_ALBUM_GAIN", "2.00 dB"},
        {kFormatOpus, "t.opus", {"opusenc", "--quiet", "IN", "OUT"}, "R128_ALBUM_GAIN", "-768"},
    };
    ts::TempDir dir;
    ASSERT_EQ(ts::Run({"sox", "-n", "-r", "48000", "-c", "2", "-b", "16", dir.File("in.wav"), "synth", "1",
                       "sine", "440", "vol", "0.3"}),
              0);
    for (const Case& c : cases) {
        std::vector<std::string> make = c.make;
        for (auto& a : make) a = a == "IN" ? dir.File("in.wav") : a == "OUT" ? dir.File(c.file) : a;
        ASSERT_EQ(ts::Run(make), 0) << c.file;
        EXPECT_EQ(WriteAlbumLoudnessTags(dir.File(c.file), c.format, FileLoudness{-20.0, 0.9, false}), 1)
            << c.file;
        EXPECT_EQ(TagLibProperty(dir.File(c.file), c.name), c.value) << c.file;
    }
}

TEST(LoudnessWriter, AFailedAlbumWriteLeavesTheOutputAsItWas) {
    // Not an Ogg stream at all: TagLib cannot take the values, and the file and its folder stay
    // untouched.
    ts::TempDir dir;
    const std::string path = dir.File("broken.ogg");
    const std::string content(4000, 'x');
    std::ofstream(path, std::ios::binary) << content;
    EXPECT_EQ(WriteAlbumLoudnessTags(path, kFormatOgg, FileLoudness{-20.0, 0.9, false}), 0);
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), content);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

}  // namespace
