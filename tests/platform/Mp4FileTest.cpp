#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "platform/mp4/Mp4File.h"
#include "support/Mp4Boxes.h"
#include "support/TestSupport.h"

using testsupport::InspectMp4;
using testsupport::ReadBytes;
using testsupport::TempDir;

namespace {

const std::vector<std::uint8_t> kStereo48k = {0x11, 0x90};  // AAC LC, 48000 Hz, 2 channels

struct Sample {
    std::uint32_t size;
    std::uint32_t duration;
    std::uint32_t offset;
};

std::vector<Sample> Samples(std::size_t count) {
    std::vector<Sample> samples;
    for (std::size_t i = 0; i < count; ++i)
        samples.push_back({static_cast<std::uint32_t>(1 + (i * 37) % 700), i + 1 == count ? 300u : 1024u,
                           i == 0 ? 1024u : 0u});
    return samples;
}

/// Writes one track of the given samples, each filled with its index, and closes the file.
bool WriteTrack(const std::string& path, const std::vector<Sample>& samples) {
    MP4FileHandle file = MP4CreateExx(path.c_str());
    if (file == MP4_INVALID_FILE_HANDLE) return false;
    MP4SetTimeScaleExx(file, 90000);
    const MP4TrackId track = MP4AddAudioTrackExx(file, 48000, MP4_INVALID_DURATION, MP4_MPEG4_AUDIO_TYPE);
    MP4SetAudioProfileLevelExx(file, 0x0F);
    MP4SetTrackESConfigurationExx(file, track, kStereo48k.data(),
                                  static_cast<std::uint32_t>(kStereo48k.size()));
    bool ok = true;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::vector<std::uint8_t> bytes(samples[i].size, static_cast<std::uint8_t>(i));
        ok = MP4WriteSampleExx(file, track, bytes.data(), samples[i].size, samples[i].duration,
                               samples[i].offset, true) &&
             ok;
    }
    return MP4CloseExx(file) && ok;
}

class Mp4TableCounts : public ::testing::TestWithParam<std::size_t> {};

TEST_P(Mp4TableCounts, TablesAgreeAndKeepEverySample) {
    // Sample counts around the chunk size must neither drop nor misplace a sample in stsc/stco.
    TempDir dir;
    const std::string path = dir.File("t.m4a");
    const auto samples = Samples(GetParam());
    ASSERT_TRUE(WriteTrack(path, samples));

    const auto bytes = ReadBytes(path);
    const auto s = InspectMp4(bytes);
    ASSERT_EQ(s.error, "");
    EXPECT_EQ(s.topLevel, (std::vector<std::string>{"ftyp", "free", "mdat", "moov"}));
    ASSERT_EQ(s.sizes.size(), samples.size());
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(s.sizes[i], samples[i].size) << i;
        EXPECT_EQ(s.durations[i], samples[i].duration) << i;
        EXPECT_EQ(s.offsets[i], samples[i].offset) << i;
        total += samples[i].duration;
    }
    EXPECT_EQ(s.trackTimeScale, 48000u);
    EXPECT_EQ(s.movieTimeScale, 90000u);
    EXPECT_EQ(s.mediaDuration, total);
    EXPECT_EQ(s.movieDuration, total * 90000 / 48000);
    EXPECT_EQ(s.decoderConfig, kStereo48k);
    EXPECT_EQ(s.objectType, 0x40);
    EXPECT_EQ(s.channels, 2);
    // Each sample's bytes sit where the tables say.
    for (std::size_t i = 0, chunk = 0; chunk < s.chunkOffsets.size(); ++chunk) {
        std::uint64_t at = s.chunkOffsets[chunk];
        for (std::size_t k = 0; k < 64 && i < samples.size(); ++k, ++i) {
            ASSERT_EQ(bytes[at], static_cast<std::uint8_t>(i)) << "sample " << i;
            at += samples[i].size;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, Mp4TableCounts, ::testing::Values(0, 1, 63, 64, 65, 128, 300));

TEST(Mp4File, MetadataItemsInOrderWithTrackNumberBytes) {
    // Items must land as UTF-8 data boxes; trkn as its 8-byte binary form; unset items absent.
    TempDir dir;
    const std::string path = dir.File("m.m4a");
    MP4FileHandle file = MP4CreateExx(path.c_str());
    ASSERT_NE(file, MP4_INVALID_FILE_HANDLE);
    const MP4TrackId track = MP4AddAudioTrackExx(file, 44100, MP4_INVALID_DURATION, MP4_MPEG4_AUDIO_TYPE);
    const std::uint8_t frame[3] = {1, 2, 3};
    MP4WriteSampleExx(file, track, frame, 3, 1024, 0, true);
    MP4SetMetadataNameExx(file, "Ti\xC3\xA9");
    MP4SetMetadataArtistExx(file, "Ar");
    MP4SetMetadataTrackExx(file, 3, 0);
    MP4SetMetadataWriterExx(file, "Wr");
    ASSERT_TRUE(MP4CloseExx(file));

    const auto s = InspectMp4(ReadBytes(path));
    ASSERT_EQ(s.error, "");
    auto text = [](const std::string& t) { return std::vector<std::uint8_t>(t.begin(), t.end()); };
    const std::map<std::string, std::vector<std::uint8_t>> expected = {{"\xA9nam", text("Ti\xC3\xA9")},
                                                                       {"\xA9"
                                                                        "ART",
                                                                        text("Ar")},
                                                                       {"trkn", {0, 0, 0, 3, 0, 0, 0, 0}},
                                                                       {"\xA9wrt", text("Wr")}};
    EXPECT_EQ(s.items, expected);
}

struct Damage {
    const char* name;
    const char* type;  // box to damage, found by its type
    int at;            // offset from the type field
    std::vector<std::uint8_t> bytes;
};

class Mp4Damage : public ::testing::TestWithParam<Damage> {};

TEST_P(Mp4Damage, IsReportedWithinTheBuffer) {
    // The tests judge written files by this parser: a damaged table must be an error, never a
    // huge allocation, a read outside the file or bytes taken from a neighbouring box.
    TempDir dir;
    const std::string path = dir.File("d.m4a");
    MP4FileHandle file = MP4CreateExx(path.c_str());
    ASSERT_NE(file, MP4_INVALID_FILE_HANDLE);
    const MP4TrackId track = MP4AddAudioTrackExx(file, 48000, MP4_INVALID_DURATION, MP4_MPEG4_AUDIO_TYPE);
    MP4SetTrackESConfigurationExx(file, track, kStereo48k.data(),
                                  static_cast<std::uint32_t>(kStereo48k.size()));
    const std::uint8_t frame[3] = {1, 2, 3};
    MP4WriteSampleExx(file, track, frame, 3, 1024, 0, true);
    MP4SetMetadataArtistExx(file, "Artist");
    ASSERT_TRUE(MP4CloseExx(file));

    auto bytes = ReadBytes(path);
    const Damage& d = GetParam();
    const std::string text(bytes.begin(), bytes.end());
    // The decoder config is found by its bytes, right after its one-byte length.
    const std::size_t found = std::string(d.type) == "config" ? text.find("\x11\x90") : text.find(d.type);
    ASSERT_NE(found, std::string::npos);
    ASSERT_LE(found + d.at + d.bytes.size(), bytes.size());
    std::copy(d.bytes.begin(), d.bytes.end(), bytes.begin() + static_cast<long>(found + d.at));
    EXPECT_NE(InspectMp4(bytes).error, "");
}

INSTANTIATE_TEST_SUITE_P(
    Tables, Mp4Damage,
    ::testing::Values(Damage{"HugeTimeRun", "stts", 12, {0xFF, 0xFF, 0xFF, 0xFF}},
                      Damage{"HugeFixedSizeCount", "stsz", 8, {0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF}},
                      Damage{"ConfigPastItsBox", "config", -1, {0x7F}},
                      Damage{"DataBoxShorterThanItsHeader", "data", -4, {0, 0, 0, 12}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Mp4File, NoMetadataWritesNoUserData) {
    // A file without items must not carry an empty ilst that some readers reject.
    TempDir dir;
    ASSERT_TRUE(WriteTrack(dir.File("n.mp4"), Samples(2)));
    const auto bytes = ReadBytes(dir.File("n.mp4"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find("udta"), std::string::npos);
}

TEST(Mp4File, FailedWritesAreReported) {
    // A full disk must fail the file, not leave a truncated MP4 reported as written.
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    EXPECT_FALSE(WriteTrack("/dev/full", Samples(200)));
}

TEST(Mp4File, CreateFailsWhereNoFileCanBeMade) {
    TempDir dir;
    EXPECT_EQ(MP4CreateExx(dir.File("missing/x.m4a").c_str()), MP4_INVALID_FILE_HANDLE);
}

TEST(Mp4File, MediaDataPast4GiBUsesWideSizesAndOffsets) {
    // Offsets past 4 GiB wrap in a 32-bit stco and a 32-bit mdat size: both must widen.
    TempDir dir;
    const std::string path = dir.File("big.m4b");
    const std::uint32_t sampleSize = 1u << 20;
    const std::size_t samples = 4097;  // the last chunk starts just past 4 GiB
    const std::vector<std::uint8_t> bytes(sampleSize, 0x5A);
    MP4FileHandle file = MP4CreateExx(path.c_str());
    ASSERT_NE(file, MP4_INVALID_FILE_HANDLE);
    const MP4TrackId track = MP4AddAudioTrackExx(file, 48000, MP4_INVALID_DURATION, MP4_MPEG4_AUDIO_TYPE);
    for (std::size_t i = 0; i < samples; ++i)
        ASSERT_TRUE(MP4WriteSampleExx(file, track, bytes.data(), sampleSize, 1024, 0, true));
    ASSERT_TRUE(MP4CloseExx(file));

    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<std::uint8_t> head(64), tail(64 * 1024);
    ASSERT_EQ(std::fread(head.data(), 1, head.size(), f), head.size());
    ASSERT_EQ(std::fseek(f, -static_cast<long>(tail.size()), SEEK_END), 0);
    ASSERT_EQ(std::fread(tail.data(), 1, tail.size(), f), tail.size());
    std::fclose(f);
    std::filesystem::remove(path);

    auto be = [](const std::uint8_t* p, int n) {
        std::uint64_t v = 0;
        for (int i = 0; i < n; ++i) v = v << 8 | p[i];
        return v;
    };
    const std::size_t mdat = 28;  // after the ftyp of three brands
    const std::uint64_t payload = std::uint64_t{sampleSize} * samples;
    EXPECT_EQ(be(&head[mdat], 4), 1u);
    EXPECT_EQ(std::string(head.begin() + mdat + 4, head.begin() + mdat + 8), "mdat");
    EXPECT_EQ(be(&head[mdat + 8], 8), payload + 16);
    const std::string t(tail.begin(), tail.end());
    const auto co64 = t.find("co64");
    ASSERT_NE(co64, std::string::npos);
    EXPECT_EQ(t.find("stco"), std::string::npos);
    const std::uint64_t chunks = be(&tail[co64 + 8], 4);
    EXPECT_EQ(chunks, (samples + 63) / 64);
    EXPECT_EQ(be(&tail[co64 + 12 + 8 * (chunks - 1)], 8),
              mdat + 16 + (chunks - 1) * 64 * std::uint64_t{sampleSize});
}

}  // namespace
