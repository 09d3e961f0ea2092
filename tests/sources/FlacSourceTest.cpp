#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sources/BassSource.h"
#include "sources/DecoderStartup.h"
#include "sources/FlacSource.h"
#include "support/PeerSignals.h"
#include "support/ScopedCodePage.h"
#include "support/SourceDecode.h"
#include "support/TestSupport.h"

namespace {

using testsupport::Decoded;

struct PeerCase {
    const char* name;
    const char* input;                // a peer signal: "stereo", "mono" or "six"
    int bits;                         // width sox gives the signal before it is encoded
    std::vector<std::string> encode;  // IN and OUT stand for the signal and the encoded file
    bool ogg;                         // decoded by `flac -d --ogg`
};
void PrintTo(const PeerCase& c, std::ostream* os) {
    *os << c.name;
}

class FlacPeer : public testsupport::PeerSignalSuite<PeerCase> {};

// `flac -d` of a file as right-aligned samples of `bits` bits, all channels interleaved.
std::vector<std::int32_t> FlacDecode(const std::string& path, int bits, bool ogg) {
    std::vector<std::string> argv{"flac",         "-d", "-s", "-c", "--force-raw-format", "--endian=little",
                                  "--sign=signed"};
    if (ogg) argv.push_back("--ogg");
    argv.push_back(path);
    std::string raw;
    std::vector<std::int32_t> out;
    if (testsupport::Run(argv, &raw) != 0) return out;
    const std::size_t width = static_cast<std::size_t>((bits + 7) / 8);
    for (std::size_t i = 0; i + width <= raw.size(); i += width) {
        std::uint32_t v = 0;
        for (std::size_t b = 0; b < width; ++b)
            v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(raw[i + b])) << (8 * b);
        const int unused = 32 - static_cast<int>(width) * 8;
        out.push_back(static_cast<std::int32_t>(v << unused) >> unused);
    }
    return out;
}

TEST_P(FlacPeer, DeliversWhatFlacDecodesAndListsLikeBefore) {
    // Samples that differ from the reference decoder's, or properties that differ from what the
    // list showed before this reader, are a regression users see.
    const PeerCase& c = GetParam();
    if (!testsupport::HaveTools({"flac", "sox", c.encode[0]})) GTEST_SKIP() << "peer tool missing";
    const std::string signal = s_dir->File(std::string(c.name) + "-in.wav");
    const std::string file = s_dir->File(std::string(c.name) + ".flac");
    ASSERT_EQ(testsupport::Run(
                  {"sox", s_dir->File(std::string(c.input) + ".wav"), "-b", std::to_string(c.bits), signal}),
              0);
    std::vector<std::string> argv = c.encode;
    for (auto& a : argv) a = a == "IN" ? signal : a == "OUT" ? file : a;
    ASSERT_EQ(testsupport::Run(argv), 0) << c.name;

    ASSERT_EQ(StartDecodingLibraries(), DecoderStartupResult::Started);
    FlacSource flac;
    const Decoded ours = testsupport::DecodeAll(flac, file);
    ASSERT_TRUE(ours.opened);
    const int channels = flac.GetChannels();
    EXPECT_EQ(ours.bits, c.bits <= 8 ? 8 : 16);
    const ReadOutcome outcome = flac.GetReadOutcome();
    EXPECT_FALSE(outcome.failed) << outcome.note;
    EXPECT_EQ(outcome.note, "");

    const std::vector<std::int32_t> all = FlacDecode(file, c.bits, c.ogg);
    ASSERT_FALSE(all.empty());
    std::vector<std::int16_t> expected;
    for (std::size_t i = 0; i < all.size(); i += static_cast<std::size_t>(channels))
        for (int k = 0; k < std::min(channels, 2); ++k) {
            const std::int32_t s = all[i + static_cast<std::size_t>(k)];
            // 8-bit samples arrive widened by DecodeAll; wider ones keep their upper 16 bits.
            expected.push_back(
                static_cast<std::int16_t>(c.bits <= 16 ? s << (16 - c.bits) : s >> (c.bits - 16)));
        }
    ASSERT_EQ(ours.samples.size(), expected.size());
    EXPECT_TRUE(ours.samples == expected) << "samples differ from flac -d";

    // What the list showed before: the decoding library's FLAC reading.
    std::vector<int> before;
    {
        BassSource bass;
        if (bass.Open(file.c_str(), 0))
            before = {bass.GetDuration(), bass.GetSampleRate(), bass.GetChannels(), bass.GetOutputChannels(),
                      bass.GetBitrate()};
    }
    ShutDownDecodingLibraries();
    ASSERT_TRUE(flac.Open(file.c_str(), 0));
    EXPECT_EQ(before, (std::vector<int>{flac.GetDuration(), flac.GetSampleRate(), flac.GetChannels(),
                                        flac.GetOutputChannels(), flac.GetBitrate()}));
}

INSTANTIATE_TEST_SUITE_P(
    Flac, FlacPeer,
    ::testing::Values(PeerCase{"Stereo16", "stereo", 16, {"flac", "-s", "IN", "-o", "OUT"}, false},
                      PeerCase{"Mono8", "mono", 8, {"flac", "-s", "IN", "-o", "OUT"}, false},
                      PeerCase{"Stereo24", "stereo", 24, {"flac", "-s", "-8", "IN", "-o", "OUT"}, false},
                      PeerCase{"Six16", "six", 16, {"flac", "-s", "IN", "-o", "OUT"}, false},
                      PeerCase{"OggFlac", "stereo", 16, {"flac", "-s", "--ogg", "IN", "-o", "OUT"}, true},
                      PeerCase{"FfmpegEncoder",
                               "mono",
                               16,
                               {"ffmpeg", "-v", "error", "-i", "IN", "-c:a", "flac", "-f", "flac", "OUT"},
                               false}),
    [](const auto& info) { return std::string(info.param.name); });

/// A damaged copy of a good stereo file: the edit takes the good file's bytes.
struct DamageCase {
    const char* name;
    void (*damage)(std::vector<std::uint8_t>& bytes);
    bool opens;
    bool fails;        // the read reports damage
    const char* note;  // a text the outcome's note holds; "" for none
};

// STREAMINFO follows "fLaC" and its 4-byte block header: total samples end at byte 25, the MD5
// signature fills bytes 26 to 41.
const DamageCase kDamage[] = {
    {"Empty", [](auto& b) { b.clear(); }, false, false, ""},
    {"RandomBytes",
     [](auto& b) {
         for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 7919 >> 3);
     },
     false, false, ""},
    {"MarkerOnly", [](auto& b) { b.resize(4); }, false, false, ""},
    {"NoLength",
     [](auto& b) {
         b[21] &= 0xF0;
         b[22] = b[23] = b[24] = b[25] = 0;
     },
     false, false, ""},
    {"Truncated", [](auto& b) { b.resize(b.size() / 2); }, true, true, "frame(s) lost"},
    {"MetadataOnly",
     [](auto& b) {
         b[4] |= 0x80;  // STREAMINFO becomes the last block
         b.resize(42);
     },
     true, true, "frame(s) lost"},
    {"CorruptFrame",
     [](auto& b) {
         for (std::size_t i = 0; i < 16; ++i) b[b.size() / 2 + i] ^= 0x5A;
     },
     true, true, "frame(s) lost, the first at 0:01"},
    {"WrongMd5", [](auto& b) { b[30] ^= 0xFF; }, true, false, "MD5"},
    {"Id3v1Tail",
     [](auto& b) {
         b.push_back('T');
         b.push_back('A');
         b.push_back('G');
         b.resize(b.size() + 125, 0);
     },
     true, false, ""},
};

TEST(FlacSource, DamagedFilesAreRefusedOrReportedNeverDelivered) {
    // A damaged file must neither crash the reader nor pass as a good conversion; harmless tails
    // (an ID3v1 tag) must not fail one.
    testsupport::TempDir dir;
    if (!testsupport::HaveTools({"flac", "sox"})) GTEST_SKIP() << "peer tool missing";
    const std::string good = dir.File("good.flac");
    ASSERT_EQ(testsupport::Run({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", good, "synth", "3", "sine",
                                "440", "sine", "550"}),
              0);
    const std::vector<std::uint8_t> bytes = testsupport::ReadBytes(good);
    FlacSource reference;
    const Decoded clean = testsupport::DecodeAll(reference, good);
    for (const DamageCase& c : kDamage) {
        std::vector<std::uint8_t> damaged = bytes;
        c.damage(damaged);
        const std::string path = dir.File(std::string(c.name) + ".flac");
        testsupport::WriteBytes(path, damaged);
        FlacSource src;
        const Decoded d = testsupport::DecodeAll(src, path);
        EXPECT_EQ(d.opened, c.opens) << c.name;
        if (!d.opened) continue;
        const ReadOutcome outcome = src.GetReadOutcome();
        EXPECT_EQ(outcome.failed, c.fails) << c.name << ": " << outcome.note;
        if (*c.note) {
            EXPECT_NE(outcome.note.find(c.note), std::string::npos) << c.name << ": " << outcome.note;
        } else {
            EXPECT_EQ(outcome.note, "") << c.name;
        }
        if (!c.fails) {
            EXPECT_TRUE(d.samples == clean.samples) << c.name;
        }
    }
}

TEST(FlacSource, TagsComeFromTheVorbisComments) {
    // Each field must come from its own comment, a two-line comment included, in the code page.
    testsupport::TempDir dir;
    if (!testsupport::HaveTools({"flac", "sox", "metaflac"})) GTEST_SKIP() << "peer tool missing";
    const std::string path = dir.File("t.flac");
    ASSERT_EQ(testsupport::Run(
                  {"sox", "-n", "-r", "8000", "-c", "1", "-b", "16", path, "synth", "0.2", "sine", "440"}),
              0);
    ASSERT_EQ(testsupport::Run({"metaflac", "--remove-all-tags", path}), 0);  // sox leaves a comment
    FlacSource src;
    ASSERT_TRUE(src.Open(path.c_str(), 0));
    TagSet untouched;
    untouched.title = "keep";
    EXPECT_EQ(src.ReadTags(untouched), 0);
    EXPECT_EQ(untouched.title, "keep");

    ASSERT_EQ(testsupport::Run({"metaflac", "--remove-all-tags", "--set-tag=TITLE=Caf\xC3\xA9",
                                "--set-tag=ARTIST=Artist", "--set-tag=ALBUM=Album", "--set-tag=DATE=1999",
                                "--set-tag=GENRE=Jazz", "--set-tag=COMMENT=line one\nline two",
                                "--set-tag=TRACKNUMBER=7", "--set-tag=COMPOSER=Composer",
                                "--set-tag=COPYRIGHT=Copyright", path}),
              0);
    ASSERT_TRUE(src.Open(path.c_str(), 0));
    testsupport::ScopedCodePage latin1("ISO-8859-1");
    TagSet tags;
    ASSERT_EQ(src.ReadTags(tags), 1);
    EXPECT_EQ(tags.title, "Caf\xE9");
    EXPECT_EQ(tags.artist, "Artist");
    EXPECT_EQ(tags.album, "Album");
    EXPECT_EQ(tags.year, "1999");
    EXPECT_EQ(tags.genre, "Jazz");
    EXPECT_EQ(tags.comment, "line one\nline two");
    EXPECT_EQ(tags.track, "7");
    EXPECT_EQ(tags.composer, "Composer");
    EXPECT_EQ(tags.copyright, "Copyright");
}

}  // namespace
