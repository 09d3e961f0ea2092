#include <gtest/gtest.h>

#include <ostream>
#include <random>

#include "sources/BassSource.h"
#include "sources/DecoderStartup.h"
#include "support/SynthFixtures.h"
#include "support/TestSupport.h"

namespace {

struct DamageCase {
    const char* name;
    std::vector<std::string> tool;  // empty: the file is written by the test itself
};
void PrintTo(const DamageCase& c, std::ostream* os) {
    *os << c.name;
}

class BassDamage : public ::testing::TestWithParam<DamageCase> {
protected:
    void SetUp() override {
        ASSERT_EQ(StartDecodingLibraries(), DecoderStartupResult::Started);
        LoadMidiSoundFont();
    }
    void TearDown() override { ShutDownDecodingLibraries(); }
    testsupport::TempDir m_dir;
};

// Opens and reads; a damaged file may fail Open or end early, and never delivers more than its
// announced length (which bounds every read loop). Long damaged songs are cut off here.
void OpenAndDrain(const std::string& path) {
    BassSource src;
    if (!src.Open(path.c_str(), 22050)) return;
    std::vector<std::uint8_t> left(kBlockFrames * 2), right(kBlockFrames * 2);
    std::int64_t bytes = 0;
    int calls = 0;
    for (int n; calls < 500 && (n = src.ReadBlock(left.data(), right.data())) > 0; ++calls)
        bytes += static_cast<std::int64_t>(n) * src.GetChannels() * (src.GetBitsPerSample() / 8);
    EXPECT_LE(bytes, src.GetTotalLength()) << path;
}

TEST_P(BassDamage, TruncatedCorruptedAndRandomFilesFailOrEnd) {
    // Damaged input must never crash, hang or read past a buffer (the sanitizer build checks).
    const auto& c = GetParam();
    const std::string good = m_dir.File(std::string("good-") + c.name);
    if (c.tool.empty()) {
        const std::string ext = std::string(c.name).substr(std::string(c.name).rfind('.'));
        testsupport::WriteBytes(good,
                                ext == ".mod" ? testsupport::TinyModFile() : testsupport::TinyMidiFile());
    } else {
        const std::string wav = m_dir.File("src.wav");
        ASSERT_TRUE(testsupport::MakeToneWav(wav, 44100, 2, 0.3));
        std::vector<std::string> argv;
        for (const auto& a : c.tool) argv.push_back(a == "IN" ? wav : a == "OUT" ? good : a);
        ASSERT_EQ(testsupport::Run(argv), 0);
    }
    const auto bytes = testsupport::ReadBytes(good);
    ASSERT_GT(bytes.size(), 32u);
    std::mt19937 rng(12345);
    int variant = 0;
    auto write = [&](std::vector<std::uint8_t> data) {
        const std::string path = m_dir.File("v" + std::to_string(variant++) + "-" + c.name);
        testsupport::WriteBytes(path, data);
        OpenAndDrain(path);
    };
    for (const std::size_t keep : {bytes.size() / 2, bytes.size() / 10, std::size_t{20}, std::size_t{1}})
        write({bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep)});
    for (int round = 0; round < 3; ++round) {
        auto damaged = bytes;
        for (int i = 0; i < 16; ++i) damaged[rng() % damaged.size()] = static_cast<std::uint8_t>(rng());
        write(damaged);
    }
    std::vector<std::uint8_t> noise(4096);
    for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
    write(noise);
    write({});
}

INSTANTIATE_TEST_SUITE_P(
    Families, BassDamage,
    ::testing::Values(DamageCase{"a.mp3", {"lame", "--quiet", "--add-id3v2", "--tt", "T", "IN", "OUT"}},
                      DamageCase{"a.flac", {"flac", "-s", "-o", "OUT", "IN"}},
                      DamageCase{"a.wv", {"wavpack", "-q", "IN", "-o", "OUT"}},
                      DamageCase{"a.m4a", {"ffmpeg", "-v", "quiet", "-i", "IN", "-c:a", "aac", "OUT"}},
                      DamageCase{"a.ogg", {"oggenc", "-Q", "-o", "OUT", "IN"}},
                      DamageCase{"a.wma", {"ffmpeg", "-v", "quiet", "-i", "IN", "-c:a", "wmav2", "OUT"}},
                      DamageCase{"a.tta", {"ffmpeg", "-v", "quiet", "-i", "IN", "-c:a", "tta", "OUT"}},
                      DamageCase{"a.wav", {"sox", "IN", "OUT"}}, DamageCase{"a.mid", {}},
                      DamageCase{"a.mod", {}}),
    [](const auto& info) {
        std::string n = info.param.name;
        return n.substr(n.rfind('.') + 1);
    });

}  // namespace
