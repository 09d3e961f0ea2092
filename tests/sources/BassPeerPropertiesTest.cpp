// The properties the file list shows for a file opened by the decoding library, checked against
// ffprobe on files made by peer tools. Headers are read without a full stream analysis, so this
// guards the rate, channels and length that such a shortcut could get wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <ostream>
#include <sstream>

#include "sources/BassSource.h"
#include "sources/DecoderStartup.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

struct PeerCase {
    const char* name;
    std::vector<std::string> make;  // OUT stands for the file; a "| NAME" pair renames it afterwards
    bool exactLength;               // the length must equal ffprobe's sample count
};
void PrintTo(const PeerCase& c, std::ostream* os) {
    *os << c.name;
}

std::map<std::string, std::string> Ffprobe(const std::string& path) {
    std::string out;
    testsupport::Run(
        {"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
         "stream=sample_rate,channels,duration_ts,time_base:format=duration", "-of", "default=nw=1", path},
        &out);
    std::map<std::string, std::string> fields;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) fields.emplace(line.substr(0, eq), line.substr(eq + 1));
    }
    return fields;
}

class BassPeerProperties : public ::testing::TestWithParam<PeerCase> {
protected:
    void SetUp() override {
        if (!testsupport::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe unavailable";
        ASSERT_EQ(StartDecodingLibraries(), DecoderStartupResult::Started);
    }
    void TearDown() override { ShutDownDecodingLibraries(); }
    TempDir m_dir;
};

TEST_P(BassPeerProperties, RateChannelsLengthAndBitRateMatchFfprobe) {
    const auto& c = GetParam();
    std::vector<std::string> argv;
    std::string renameTo;
    for (std::size_t i = 0; i < c.make.size(); ++i) {
        if (c.make[i] == "|") {
            renameTo = c.make.at(i + 1);
            break;
        }
        argv.push_back(c.make[i] == "OUT" ? m_dir.File(c.name) : c.make[i]);
    }
    std::string path = m_dir.File(c.name);
    if (testsupport::Run(argv) != 0) GTEST_SKIP() << "peer tool failed: " << argv[0];
    if (!renameTo.empty()) {
        std::filesystem::rename(path, m_dir.File(renameTo));
        path = m_dir.File(renameTo);
    }

    const auto peer = Ffprobe(path);
    ASSERT_TRUE(peer.count("sample_rate") && peer.count("channels") && peer.count("duration")) << path;
    const int rate = std::atoi(peer.at("sample_rate").c_str());
    const int channels = std::atoi(peer.at("channels").c_str());
    const double seconds = std::atof(peer.at("duration").c_str());

    BassSource src;
    ASSERT_NE(src.Open(path.c_str(), 0), 0);
    EXPECT_EQ(src.GetSampleRate(), rate);
    EXPECT_EQ(src.GetChannels(), channels);
    EXPECT_EQ(src.GetDuration(), static_cast<int>(seconds));  // lengths are kept off whole seconds
    const std::int64_t frameBytes = static_cast<std::int64_t>(channels) * (src.GetBitsPerSample() / 8);
    const std::int64_t frames = src.GetTotalLength() / frameBytes;
    if (c.exactLength) {
        EXPECT_EQ(frames, std::atoll(peer.at("duration_ts").c_str()));
    } else {
        // MPEG and Vorbis lengths here are the gapless ones; the peer may count the encoder's padding.
        EXPECT_NEAR(static_cast<double>(frames) / rate, seconds, 0.1);
    }
    const double size = static_cast<double>(std::filesystem::file_size(path));
    EXPECT_NEAR(src.GetBitrate(), size / (seconds * 125), std::max(1.0, size / (seconds * 125) * 0.02));
}

INSTANTIATE_TEST_SUITE_P(
    Families, BassPeerProperties,
    ::testing::Values(
        PeerCase{"s16.wav",
                 {"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", "OUT", "synth", "3.5", "sine", "440"},
                 true},
        PeerCase{"u8.wav",
                 {"sox", "-n", "-r", "22050", "-c", "1", "-b", "8", "OUT", "synth", "2.5", "sine", "440"},
                 true},
        PeerCase{"s24.wav",
                 {"sox", "-n", "-r", "96000", "-c", "2", "-b", "24", "OUT", "synth", "1.5", "sine", "440"},
                 true},
        PeerCase{"f32.wav",
                 {"sox", "-n", "-r", "48000", "-c", "1", "-e", "floating-point", "-b", "32", "OUT", "synth",
                  "1.5", "sine", "440"},
                 true},
        PeerCase{"six.wav",
                 {"sox", "-n", "-r", "48000", "-c", "6", "-b", "16", "OUT", "synth", "1.5", "sine", "440"},
                 true},
        PeerCase{"ulaw.wav",
                 {"sox", "-n", "-r", "8000", "-c", "1", "-e", "u-law", "OUT", "synth", "2.5", "sine", "440"},
                 true},
        PeerCase{
            "ima.wav",
            {"sox", "-n", "-r", "8000", "-c", "1", "-e", "ima-adpcm", "OUT", "synth", "2.5", "sine", "440"},
            false},
        PeerCase{"tone.aiff",
                 {"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", "OUT", "synth", "2.5", "sine", "440"},
                 true},
        PeerCase{"tone.aifc",
                 {"sox", "-n", "-r", "32000", "-c", "1", "-b", "16", "-t", "aifc", "OUT", "synth", "2.5",
                  "sine", "440"},
                 true},
        PeerCase{"cbr.mp3",
                 {"ffmpeg", "-v", "quiet", "-f", "lavfi", "-i", "sine=440:d=3.5", "-ac", "2", "-c:a",
                  "libmp3lame", "-b:a", "192k", "OUT"},
                 false},
        PeerCase{"tagged.mp3",
                 {"ffmpeg", "-v", "quiet", "-f", "lavfi", "-i", "sine=440:d=2.5", "-c:a", "libmp3lame",
                  "-b:a", "64k", "-metadata", "title=Tagged", "-id3v2_version", "3", "OUT"},
                 false},
        PeerCase{"mpeg2.mp3",
                 {"ffmpeg", "-v", "quiet", "-f", "lavfi", "-i", "sine=440:d=2.5", "-ar", "22050", "-c:a",
                  "libmp3lame", "-b:a", "32k", "OUT"},
                 false},
        PeerCase{"tone.mp2",
                 {"ffmpeg", "-v", "quiet", "-f", "lavfi", "-i", "sine=440:d=2.5", "-c:a", "mp2", "OUT"},
                 false},
        // The content decides, not the name.
        PeerCase{"named.mp3",
                 {"ffmpeg", "-v", "quiet", "-f", "lavfi", "-i", "sine=440:d=2.5", "-c:a", "libmp3lame", "OUT",
                  "|", "named.wav"},
                 false},
        PeerCase{"tone.ogg",
                 {"ffmpeg", "-v", "quiet", "-f", "lavfi", "-i", "sine=440:d=2.5", "-c:a", "libvorbis", "OUT"},
                 false},
        PeerCase{"tone.flac",
                 {"ffmpeg", "-v", "quiet", "-f", "lavfi", "-i", "sine=440:d=2.5", "-c:a", "flac", "OUT"},
                 true}),
    [](const auto& info) {
        std::string n = info.param.name;
        std::replace(n.begin(), n.end(), '.', '_');
        return n;
    });

}  // namespace
