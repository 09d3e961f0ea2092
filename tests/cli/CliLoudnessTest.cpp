#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "cli/CliHarness.h"
#include "support/TestSupport.h"

namespace {

using namespace clitest;
namespace ts = testsupport;

struct Measured {
    double integrated = NAN;  // LUFS
    double truePeak = NAN;    // dBTP
};

// ffmpeg's own EBU R128 measurement of a file.
Measured FfmpegLoudness(const std::string& path) {
    std::string out;
    // Its summary goes to standard error.
    ts::Run({"sh", "-c", "ffmpeg -nostdin -nostats -i \"$0\" -af ebur128=peak=true -f null - 2>&1", path},
            &out);
    Measured m;
    const auto summary = out.rfind("Summary:");
    if (summary == std::string::npos) return m;
    const auto integrated = out.find("I:", summary);
    const auto peak = out.find("Peak:", out.find("True peak:", summary));
    if (integrated != std::string::npos) m.integrated = std::stod(out.substr(integrated + 2));
    if (peak != std::string::npos) m.truePeak = std::stod(out.substr(peak + 5));
    return m;
}

// The loudness figures -v adds at the end of a converted file's line.
Measured Reported(const std::string& line) {
    Measured m;
    const auto tab = line.rfind('\t');
    if (tab != std::string::npos &&
        std::sscanf(line.c_str() + tab + 1, "%lf LUFS, %lf dBTP", &m.integrated, &m.truePeak) != 2)
        m = {};
    return m;
}

// Every tag ffprobe sees in a file, container and stream, with upper-case names.
std::map<std::string, std::string> ProbeTags(const std::string& path) {
    std::string out;
    ts::Run({"ffprobe", "-v", "error", "-show_entries", "format_tags:stream_tags", "-of", "flat=s=_", path},
            &out);
    std::map<std::string, std::string> tags;
    std::size_t at = 0;
    while (at < out.size()) {
        const auto end = out.find('\n', at);
        const std::string line = out.substr(at, end - at);
        at = end == std::string::npos ? out.size() : end + 1;
        const auto tag = line.find("tags_"), eq = line.find('=');
        if (tag == std::string::npos || eq == std::string::npos) continue;
        std::string name = line.substr(tag + 5, eq - tag - 5);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return std::toupper(c); });
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
        tags[name] = value;
    }
    return tags;
}

void Sox(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"sox", "-R", "-n"};  // the same noise every run
    argv.insert(argv.end(), args.begin(), args.end());
    ASSERT_EQ(ts::Run(argv), 0);
}

TEST(CliLoudness, MeasurementAgreesWithFfmpegOnVariedFiles) {
    // Levels, rates, one channel, a gated quiet stretch and an 8-bit file; a WAV output receives the
    // source's samples unchanged, so both measure the same thing.
    CliHome home;
    const std::vector<std::vector<std::string>> sources = {
        {"-r", "44100", "-c", "2", "-b", "16", "pink.wav", "synth", "6", "pinknoise", "vol", "0.3"},
        {"-r", "48000", "-c", "2", "-b", "16", "chord.wav", "synth", "6", "sine", "220", "sine", "330", "vol",
         "0.6"},
        {"-r", "22050", "-c", "1", "-b", "16", "mono.wav", "synth", "6", "brownnoise", "vol", "0.5"},
        {"-r", "44100", "-c", "2", "-b", "16", "gaps.wav", "synth", "8", "sine", "1000", "vol", "0.5", "pad",
         "0", "6"},
        {"-r", "32000", "-c", "2", "-b", "8", "eight.wav", "synth", "5", "whitenoise", "vol", "0.2"},
    };
    std::vector<std::string> args = {
        "-q", "-v", "-t", "wav", "-o", home.File("out"), "--set", "AutoDestWAVEncodingParam=1"};
    for (auto s : sources) {
        s[6] = home.File(s[6]);
        Sox(s);
        args.push_back(s[6]);
    }
    const CliResult r = home.Run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.lines.size(), sources.size());
    for (const std::string& line : r.lines) {
        const std::string output = line.substr(0, line.rfind('\t'));
        const Measured ours = Reported(line), peer = FfmpegLoudness(output.substr(output.rfind('\t') + 1));
        // ffmpeg prints one decimal.
        EXPECT_NEAR(ours.integrated, peer.integrated, 0.15) << line;
        // Their true peaks oversample differently; noise up to the band's edge shows it most.
        EXPECT_NEAR(ours.truePeak, peer.truePeak, 0.5) << line;
    }
}

struct TagCase {
    const char* format;
    const char* extension;
};

class CliReplayGainTags : public ::testing::TestWithParam<TagCase> {};

TEST_P(CliReplayGainTags, ReadBackByFfprobeAndMediainfo) {
    // A sine at -23 dBFS reads -23 LUFS: 5 dB below the -18 LUFS reference.
    const TagCase& c = GetParam();
    CliHome home;
    Sox({"-r", "44100", "-c", "2", "-b", "16", home.File("tone.wav"), "synth", "5", "sine", "1000", "vol",
         "-23dB"});
    const CliResult r = home.Run({"-q", "-t", c.format, "--replaygain", "track", "-o", home.File("out"),
                                  "--set", "MP3ID3TagType=2", home.File("tone.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto tags = ProbeTags(home.File(std::string("out/tone") + c.extension));
    ASSERT_TRUE(tags.count("REPLAYGAIN_TRACK_GAIN")) << c.format;
    double gain = 0, peak = 0;
    ASSERT_EQ(std::sscanf(tags.at("REPLAYGAIN_TRACK_GAIN").c_str(), "%lf dB", &gain), 1);
    EXPECT_NEAR(gain, 5.0, 0.3) << tags.at("REPLAYGAIN_TRACK_GAIN");
    EXPECT_NE(tags.at("REPLAYGAIN_TRACK_GAIN").find(" dB"), std::string::npos);
    ASSERT_TRUE(tags.count("REPLAYGAIN_TRACK_PEAK"));
    peak = std::stod(tags.at("REPLAYGAIN_TRACK_PEAK"));
    EXPECT_NEAR(peak, std::pow(10.0, -23.0 / 20.0), 0.01);
    EXPECT_FALSE(tags.count("REPLAYGAIN_ALBUM_GAIN"));
    // mediainfo names them its own way ("Replay gain", "replaygain_track_gain"), but shows the values.
    std::string info;
    ASSERT_EQ(ts::Run({"mediainfo", home.File(std::string("out/tone") + c.extension)}, &info), 0);
    EXPECT_NE(info.find(": " + tags.at("REPLAYGAIN_TRACK_GAIN") + "\n"), std::string::npos) << info;
    EXPECT_NE(info.find(": " + tags.at("REPLAYGAIN_TRACK_PEAK") + "\n"), std::string::npos) << info;
}

INSTANTIATE_TEST_SUITE_P(Formats, CliReplayGainTags,
                         ::testing::Values(TagCase{"mp3", ".mp3"}, TagCase{"ogg", ".ogg"},
                                           TagCase{"m4a", ".m4a"}, TagCase{"wma", ".wma"},
                                           TagCase{"flac", ".flac"}),
                         [](const auto& info) { return std::string(info.param.format); });

TEST(CliLoudness, AnAlbumOfThreeTracksGetsOneAlbumGain) {
    // Three loudnesses in one folder without album tags, converted two at a time.
    CliHome home;
    const char* levels[] = {"0.05", "0.2", "0.6"};
    std::vector<std::string> args = {
        "-q", "-j", "2", "-t", "mp3", "--replaygain", "album", "-o", home.File("out")};
    for (int i = 0; i < 3; ++i) {
        const std::string source = home.File("album/t" + std::to_string(i) + ".wav");
        ts::Run({"mkdir", "-p", home.File("album")});
        Sox({"-r", "44100", "-c", "2", "-b", "16", source, "synth", "4", "pinknoise", "vol", levels[i]});
        args.push_back(source);
    }
    const CliResult r = home.Run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> albumGains, trackGains;
    for (int i = 0; i < 3; ++i) {
        auto tags = ProbeTags(home.File("out/t" + std::to_string(i) + ".mp3"));
        albumGains.push_back(tags["REPLAYGAIN_ALBUM_GAIN"]);
        trackGains.push_back(tags["REPLAYGAIN_TRACK_GAIN"]);
        EXPECT_FALSE(tags["REPLAYGAIN_ALBUM_PEAK"].empty());
    }
    EXPECT_FALSE(albumGains[0].empty());
    EXPECT_EQ(albumGains[0], albumGains[1]);
    EXPECT_EQ(albumGains[1], albumGains[2]);
    EXPECT_NE(trackGains[0], trackGains[1]);
    EXPECT_NE(trackGains[1], trackGains[2]);
    // The loudest track dominates the album, so its gain lies between the others'.
    EXPECT_LT(std::stod(albumGains[0]), std::stod(trackGains[0]));
    EXPECT_GT(std::stod(albumGains[0]), std::stod(trackGains[2]));
}

struct NormalizeCase {
    const char* name;
    std::vector<std::string> signal;  // sox synth arguments
    bool peakBound;                   // the ceiling, not the target, decides the gain
};

class CliNormalize : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(CliNormalize, ReachesTheTargetBelowTheCeiling) {
    const NormalizeCase& c = GetParam();
    CliHome home;
    std::vector<std::string> make = {"-r", "44100", "-c", "2", "-b", "16", home.File("in.wav"), "synth", "6"};
    make.insert(make.end(), c.signal.begin(), c.signal.end());
    Sox(make);
    // A WAV output: a lossy encoder's own loss (a low-pass filter) would blur the chain's accuracy.
    const CliResult r = home.Run(
        {"-q", "-v", "-t", "wav", "--normalize", "-18", "-o", home.File("out"), home.File("in.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.lines.size(), 1u);
    const Measured out = FfmpegLoudness(home.File("out/in.wav"));
    if (!c.peakBound)
        EXPECT_NEAR(out.integrated, -18.0, 0.2);
    else
        EXPECT_LT(out.integrated, -18.5);
    EXPECT_LE(out.truePeak, -1.0 + 0.1);  // ffmpeg prints one decimal
    // What is measured (and tagged) is the file as written.
    EXPECT_NEAR(Reported(r.lines[0]).integrated, out.integrated, 0.15);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, CliNormalize,
    ::testing::Values(NormalizeCase{"QuietNoise", {"pinknoise", "vol", "0.05"}, false},
                      NormalizeCase{"LoudChord", {"sine", "220", "sine", "330", "vol", "0.9"}, false},
                      // A 10 Hz sine: K-weighting hears little of it, so its peak limits the gain.
                      NormalizeCase{"Peaky", {"sine", "10", "vol", "0.5"}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CliLoudness, AlbumNormalizingKeepsRelativeLevels) {
    CliHome home;
    ts::Run({"mkdir", "-p", home.File("album")});
    Sox({"-r", "44100", "-c", "2", "-b", "16", home.File("album/a.wav"), "synth", "4", "pinknoise", "vol",
         "0.05"});
    Sox({"-r", "44100", "-c", "2", "-b", "16", home.File("album/b.wav"), "synth", "4", "pinknoise", "vol",
         "0.1"});
    const CliResult r =
        home.Run({"-q", "-t", "wav", "--set", "Normalize=2", "--set", "NormalizeTarget=-20", "-o",
                  home.File("out"), home.File("album/a.wav"), home.File("album/b.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    const Measured a = FfmpegLoudness(home.File("out/a.wav")), b = FfmpegLoudness(home.File("out/b.wav"));
    EXPECT_NEAR(b.integrated - a.integrated, 20.0 * std::log10(2.0), 0.2);
    EXPECT_GT(a.integrated, -30.0);  // raised together, not left where they were
}

}  // namespace
