#include <gtest/gtest.h>
#include <sys/resource.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "encoders/ConvertToWma.h"
#include "encoders/WavWriter.h"
#include "encoders/WmaParameters.h"
#include "encoders/WmaWriter.h"
#include "engine/EngineContext.h"
#include "platform/SystemCodePage.h"
#include "settings/ConversionSettings.h"
#include "support/EngineDoubles.h"
#include "support/RecordingUserInteraction.h"
#include "support/SourceDrain.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

/// Runs ConvertToWma with the runtime loaded and the format list built.
struct WmaRun {
    TempDir dir;
    WmfRuntime runtime;
    testsupport::RecordingUserInteraction user;
    EngineContext engine{runtime, user};
    ConversionSettings settings{""};
    testsupport::ProgressLog log;
    testsupport::RecordingProgress progress{log};

    WmaRun() {
        runtime.LoadWmfRuntime();
        BuildWmaFormatList(engine.wmaFormats, runtime);
        settings.WMAID3TagType = 2;
    }
    int Convert(SourceKind kind, const std::string& source, const std::string& output, int sequence = 1) {
        ConversionJob job{kind, source, output, progress, engine, settings, sequence};
        return ConvertToWma(job);
    }
};

struct Source {
    int rate = 44100;
    int channels = 2;
    int bits = 16;
    double seconds = 1.0;
    bool rightSilent = false;
};

constexpr double kClickAt = 0.25;  // seconds

/// A WAV file: a 440 Hz tone at a quarter of full scale with a click at kClickAt.
void WriteSource(const std::string& path, const Source& s) {
    const int frames = static_cast<int>(s.rate * s.seconds);
    std::vector<std::int16_t> l(static_cast<std::size_t>(frames)), r(l.size());
    for (int i = 0; i < frames; ++i) {
        l[static_cast<std::size_t>(i)] =
            static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * i / s.rate));
        r[static_cast<std::size_t>(i)] = s.rightSilent ? 0 : l[static_cast<std::size_t>(i)];
    }
    const int click = static_cast<int>(kClickAt * s.rate);
    ASSERT_LT(click + 3, frames) << "source too short for its click";
    for (int i = click; i < click + 3; ++i) {
        l[static_cast<std::size_t>(i)] = 30000;
        if (!s.rightSilent) r[static_cast<std::size_t>(i)] = 30000;
    }
    WavWriter out;
    ASSERT_EQ(out.Open(path, s.channels == 2, s.bits, s.rate), 1);
    if (s.bits == 16) {
        ASSERT_EQ(out.Write16(l.data(), r.data(), frames), 1);
    } else {
        std::vector<std::uint8_t> l8(l.size()), r8(r.size());
        for (std::size_t i = 0; i < l.size(); ++i) {
            l8[i] = static_cast<std::uint8_t>((l[i] >> 8) + 128);
            r8[i] = static_cast<std::uint8_t>((r[i] >> 8) + 128);
        }
        ASSERT_EQ(out.Write8(l8.data(), r8.data(), frames), 1);
    }
    ASSERT_EQ(out.Close(), 1);
}

std::string Probe(const std::string& path, const std::string& entry) {
    std::string out;
    testsupport::Run({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries", "stream=" + entry,
                      "-of", "csv=p=0", path},
                     &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

TEST(WmaParameters, AutoAlwaysFindsAFormatAtItsRate) {
    // Every Auto row must lead to a format, the 20000 bit/s ones included (the nearest one).
    WmfRuntime runtime;
    ASSERT_EQ(runtime.LoadWmfRuntime(), 1);
    WmaFormatList list;
    ASSERT_EQ(BuildWmaFormatList(list, runtime), 1);
    ConversionSettings s{""};
    s.AutoDestWMAEncodingParam = 1;
    struct Row {
        int sourceRate, channels, rate, bitrate, found;
    };
    const Row rows[] = {
        {8000, 1, 22050, 20000, 24000},    {8000, 2, 22050, 32000, 32000},  {16000, 1, 44100, 32000, 32000},
        {16000, 2, 44100, 48000, 48000},   {22050, 1, 44100, 48000, 48000}, {22050, 2, 44100, 64000, 64000},
        {32000, 1, 44100, 48000, 48000},   {32000, 2, 44100, 96000, 96000}, {44100, 1, 44100, 48000, 48000},
        {44100, 2, 44100, 128000, 128000}, {96000, 1, 44100, 48000, 48000}, {48000, 2, 48000, 192000, 192000},
    };
    for (const Row& row : rows) {
        const WmaTargets t = ChooseWmaTargets(s, row.sourceRate, row.channels);
        SCOPED_TRACE(row.sourceRate);
        EXPECT_EQ(t.rate, row.rate);
        EXPECT_EQ(t.bitrate, row.bitrate);
        EXPECT_EQ(t.channels, row.channels);
        const WmaFormatEntry* e = FindWmaFormat(list, t.rate, t.bitrate, t.channels);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->SampleRate(), row.rate);
        EXPECT_EQ(e->bitrate, row.found);
    }
}

TEST(WmaWriter, SampleTimeIsTruncatedPerBlock) {
    EXPECT_EQ(WmaWriter::SampleTimeStep(1152, 44100), 261224);  // 261224.49
    EXPECT_EQ(WmaWriter::SampleTimeStep(1152, 22050), 522448);  // 522448.98
    EXPECT_EQ(WmaWriter::SampleTimeStep(1000, 8000), 1250000);
}

struct RoutineCase {
    const char* name;
    Source source;
    int autoParams, rate, bitrate, channels;
    int expectRate, expectChannels, expectBitrate;
};

void PrintTo(const RoutineCase& c, std::ostream* os) {
    *os << c.name;
}

class ConvertToWmaOutput : public ::testing::TestWithParam<RoutineCase> {};

TEST_P(ConvertToWmaOutput, PeersReadTheChosenFormatWithNoAudioLost) {
    if (!testsupport::HaveTool("ffmpeg") || !testsupport::HaveTool("ffprobe")) GTEST_SKIP();
    const RoutineCase& c = GetParam();
    WmaRun run;
    const std::string in = run.dir.File("in.wav"), out = run.dir.File("out.wma");
    WriteSource(in, c.source);
    run.settings.AutoDestWMAEncodingParam = c.autoParams;
    run.settings.WMASampleRate = c.rate;
    run.settings.WMABitRate = c.bitrate;
    run.settings.WMAChannels = c.channels;
    ASSERT_EQ(run.Convert(kKindWav, in, out), 1);
    EXPECT_EQ(Probe(out, "codec_name"), "wmav2");
    EXPECT_EQ(Probe(out, "sample_rate"), std::to_string(c.expectRate));
    EXPECT_EQ(Probe(out, "channels"), std::to_string(c.expectChannels));
    EXPECT_EQ(Probe(out, "bit_rate"), std::to_string(c.expectBitrate));

    // Decoded back: nothing missing at the start or the end, the click where it was.
    const auto decoded = testsupport::PeerDecode(out, c.expectChannels);
    const auto& left = decoded[0];
    const auto sourceFrames = static_cast<std::size_t>(c.source.seconds * c.expectRate);
    EXPECT_GE(left.size(), sourceFrames);
    EXPECT_LE(left.size(), sourceFrames + 3 * 2048);
    std::size_t loudest = 0;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (std::abs(left[i]) > std::abs(left[loudest])) loudest = i;
    }
    EXPECT_NEAR(static_cast<double>(loudest), kClickAt * c.expectRate, 8.0);
    std::string info;
    if (testsupport::HaveTool("mediainfo")) {
        testsupport::Run({"mediainfo", out}, &info);
        EXPECT_NE(info.find("Windows Media"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertToWmaOutput,
    ::testing::Values(RoutineCase{"AutoStereo22050", {22050, 2, 16}, 1, 0, 0, 0, 44100, 2, 64000},
                      RoutineCase{"AutoMono8000", {8000, 1, 16}, 1, 0, 0, 0, 22050, 1, 24000},
                      RoutineCase{"AutoStereo48000", {48000, 2, 16}, 1, 0, 0, 0, 48000, 2, 192000},
                      RoutineCase{"NearerBitrate", {44100, 2, 16}, 0, 44100, 100000, 2, 44100, 2, 96000},
                      RoutineCase{"EightBitStereoToMono", {11025, 2, 8}, 0, 32000, 48000, 1, 32000, 1, 48000},
                      RoutineCase{"MonoToStereo", {16000, 1, 16}, 0, 44100, 128000, 2, 44100, 2, 128000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConvertToWma, SingleChannelFeedingFollowsMonoType) {
    // Left channel a tone, right silent: the mix halves it, the left alone keeps it, the right
    // alone is silence; MonoType 3 takes the left as Ogg, MP3 and AMR do (it mixed).
    if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP();
    struct Row {
        int monoType;
        double low, high;  // RMS of the output relative to the left channel's
    };
    for (const Row& row : {Row{0, 0.4, 0.6}, Row{1, 0.85, 1.1}, Row{2, 0.0, 0.02}, Row{3, 0.85, 1.1}}) {
        WmaRun run;
        const std::string in = run.dir.File("in.wav"), out = run.dir.File("out.wma");
        WriteSource(in, {44100, 2, 16, 1.0, true});
        run.settings.AutoDestWMAEncodingParam = 0;
        run.settings.WMASampleRate = 44100;
        run.settings.WMABitRate = 64000;
        run.settings.WMAChannels = 1;
        run.settings.MonoType = row.monoType;
        ASSERT_EQ(run.Convert(kKindWav, in, out), 1);
        const auto decoded = testsupport::PeerDecode(out, 1)[0];
        double sum = 0;
        const std::size_t from = 22050 + 100, to = 40000;  // past the click, inside the tone
        for (std::size_t i = from; i < to; ++i) sum += double(decoded[i]) * decoded[i];
        const double rms = std::sqrt(sum / double(to - from)) / (8000 / std::sqrt(2.0));
        EXPECT_GE(rms, row.low) << row.monoType;
        EXPECT_LE(rms, row.high) << row.monoType;
    }
}

TEST(ConvertToWma, AmplificationScalesTheSignal) {
    if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP();
    WmaRun run;
    const std::string in = run.dir.File("in.wav");
    WriteSource(in, {44100, 1, 16, 0.5});
    run.settings.AmplifyWMA = 1;
    double rms[2] = {};
    const int coefficients[2] = {100, 50};
    for (int k = 0; k < 2; ++k) {
        run.settings.AmplifyWMACoeff = coefficients[k];
        const std::string out = run.dir.File("out" + std::to_string(k) + ".wma");
        ASSERT_EQ(run.Convert(kKindWav, in, out), 1);
        const auto decoded = testsupport::PeerDecode(out, 1)[0];
        ASSERT_GT(decoded.size(), 20000u);
        for (std::size_t i = 12000; i < 20000; ++i) rms[k] += double(decoded[i]) * decoded[i];
    }
    EXPECT_NEAR(std::sqrt(rms[1] / rms[0]), 0.5, 0.05);
}

struct AsfTags {
    std::string title, author, albumArtist, description, album, genre, year, composer, copyright;
    bool trackIsDword = false;
    unsigned track = 0;
    bool any = false;
};

AsfTags ReadAsf(const std::string& path) {
    AsfTags t;
    TagLib::ASF::File file(path.c_str());
    TagLib::ASF::Tag* tag = file.tag();
    if (!tag) return t;
    auto attr = [&](const char* name) {
        const auto& map = tag->attributeListMap();
        return map.contains(name) ? map[name].front().toString().to8Bit(true) : std::string();
    };
    t.title = tag->title().to8Bit(true);
    t.author = tag->artist().to8Bit(true);
    t.description = tag->comment().to8Bit(true);
    t.copyright = tag->copyright().to8Bit(true);
    t.albumArtist = attr("WM/AlbumArtist");
    t.album = attr("WM/AlbumTitle");
    t.genre = attr("WM/Genre");
    t.year = attr("WM/Year");
    t.composer = attr("WM/Composer");
    if (tag->attributeListMap().contains("WM/TrackNumber")) {
        const auto& a = tag->attributeListMap()["WM/TrackNumber"].front();
        t.trackIsDword = a.type() == TagLib::ASF::Attribute::DWordType;
        t.track = a.toUInt();
    }
    t.any =
        !(t.title + t.author + t.description + t.copyright + t.album + t.genre + t.year + t.composer).empty();
    return t;
}

TEST(ConvertToWma, TagsFromTheTemplateInTheSystemCodePage) {
    const std::string oldCodePage = SystemCodePage();
    SetSystemCodePage("ISO-8859-1");
    WmaRun run;
    const std::string in = run.dir.File("Caf\xE9 song.wav"), out = run.dir.File("out.wma");
    WriteSource(in, {22050, 2, 16, 0.3});
    run.settings.WMAID3TagType = 0;
    TagTemplate& t = run.settings.WMATag;
    t = {1, "unused", "Art\xE9", "Album", "1999", "Jazz", "Comment", "Composer", "(c) me", 1, 0};
    ASSERT_EQ(run.Convert(kKindWav, in, out, 4), 1);
    const AsfTags tags = ReadAsf(out);
    EXPECT_EQ(tags.title, "Caf\xC3\xA9 song");
    EXPECT_EQ(tags.author, "Art\xC3\xA9");
    EXPECT_EQ(tags.albumArtist, "Art\xC3\xA9");
    EXPECT_EQ(tags.description, "Comment");
    EXPECT_EQ(tags.album, "Album");
    EXPECT_EQ(tags.genre, "Jazz");
    EXPECT_EQ(tags.year, "1999");
    EXPECT_EQ(tags.composer, "Composer");
    EXPECT_EQ(tags.copyright, "(c) me");
    EXPECT_TRUE(tags.trackIsDword);
    EXPECT_EQ(tags.track, 4u);
    SetSystemCodePage(oldCodePage);
    if (testsupport::HaveTool("ffmpeg")) {
        EXPECT_FALSE(testsupport::FfmpegDecodeS16(out, 2).empty());
    }
}

TEST(ConvertToWma, TransferredTagsAndNone) {
    if (!testsupport::HaveTool("ffmpeg")) GTEST_SKIP();
    WmaRun run;
    const std::string in = run.dir.File("in.ogg"), out = run.dir.File("out.wma");
    ASSERT_EQ(
        testsupport::Run(
            {"ffmpeg",          "-v",        "error",           "-nostdin",  "-y",           "-f",
             "lavfi",           "-i",        "sine=d=0.4",      "-c:a",      "libvorbis",    "-metadata",
             "title=Song",      "-metadata", "artist=Band",     "-metadata", "album=Record", "-metadata",
             "tracknumber=5/9", "-metadata", "composer=Writer", in}),
        0);
    run.settings.WMAID3TagType = 1;
    ASSERT_EQ(run.Convert(kKindOgg, in, out), 1);
    AsfTags tags = ReadAsf(out);
    EXPECT_EQ(tags.title, "Song");
    EXPECT_EQ(tags.author, "Band");
    EXPECT_EQ(tags.album, "Record");
    EXPECT_EQ(tags.composer, "Writer");
    EXPECT_EQ(tags.track, 5u);

    run.settings.WMAID3TagType = 2;
    ASSERT_EQ(run.Convert(kKindOgg, in, out), 1);
    tags = ReadAsf(out);
    EXPECT_FALSE(tags.any);
    EXPECT_EQ(tags.track, 0u);
}

TEST(ConvertToWma, NothingWrittenWithoutTheRuntimeOrAFormatForTheChannels) {
    WmaRun run;
    const std::string in = run.dir.File("in.wav"), out = run.dir.File("out.wma");
    WriteSource(in, {22050, 2, 16, 0.3});
    WmfRuntime missing{[] { return false; }};
    EngineContext engine{missing, run.user};
    ConversionJob job{kKindWav, in, out, run.progress, engine, run.settings, 1};
    EXPECT_EQ(ConvertToWma(job), 0);
    EXPECT_FALSE(std::filesystem::exists(out));

    run.engine.wmaFormats.Clear();
    WaveFormatEx wave{0x161, 1, 44100, 6000, 1, 16, 0};
    run.engine.wmaFormats.Insert({WmMediaType::Audio(kMediaSubtypeWmAudioV8, wave), 48000});
    EXPECT_EQ(run.Convert(kKindWav, in, out), 0);  // only mono formats, stereo source in Auto
    EXPECT_FALSE(std::filesystem::exists(out));
}

/// What an ASF file's bytes say, read object by object: whether the top-level objects cover the
/// file exactly, and the file size that the File Properties Object states.
struct AsfWalk {
    bool whole = false;
    std::uint64_t statedSize = 0;
};

AsfWalk WalkAsfBytes(const std::vector<std::uint8_t>& b) {
    static const std::uint8_t kHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                             0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    static const std::uint8_t kFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                     0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
    auto le = [&](std::uint64_t at, int n) {
        std::uint64_t v = 0;
        for (int i = n - 1; i >= 0; --i) v = v << 8 | b.at(at + static_cast<std::uint64_t>(i));
        return v;
    };
    AsfWalk w;
    if (b.size() < 30 || std::memcmp(b.data(), kHeader, 16) != 0) return w;
    const std::uint64_t header = le(16, 8);
    for (std::uint64_t at = 30; at + 24 <= header && at + 24 <= b.size();
         at += std::max<std::uint64_t>(le(at + 16, 8), 24))
        if (std::memcmp(&b[at], kFileProperties, 16) == 0) w.statedSize = le(at + 24 + 16, 8);
    std::uint64_t at = 0;
    while (at + 24 <= b.size() && le(at + 16, 8) >= 24) at += le(at + 16, 8);
    w.whole = at == b.size();
    return w;
}

TEST(ConvertToWma, HeaderStatesTheSizeOfTheTaggedFile) {
    // The tags written after the audio grew the file and the stated size stayed the old one.
    WmaRun run;
    const std::string in = run.dir.File("in.wav");
    WriteSource(in, {44100, 2, 16, 1.0});
    run.settings.WMATag = {0,         "Title",    "Artist", "Album", "2001", "Genre",
                           "Comment", "Composer", "(c)",    2,       7};
    for (const int tagType : {0, 2}) {
        SCOPED_TRACE(tagType);
        run.settings.WMAID3TagType = tagType;
        const std::string out = run.dir.File("out" + std::to_string(tagType) + ".wma");
        ASSERT_EQ(run.Convert(kKindWav, in, out), 1);
        const auto bytes = testsupport::ReadBytes(out);
        const AsfWalk walk = WalkAsfBytes(bytes);
        EXPECT_TRUE(walk.whole);
        EXPECT_EQ(walk.statedSize, bytes.size());
        if (testsupport::HaveTool("ffprobe")) {
            std::string errors;
            testsupport::Run({"ffprobe", "-v", "error", out}, &errors, true);
            EXPECT_EQ(errors, "");
        }
    }
}

/// Limits the size of files this process writes, as a nearly full disk would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldSignal);
    }

private:
    rlimit m_old{};
    void (*m_oldSignal)(int) = nullptr;
};

TEST(ConvertToWma, ATagPassThatCannotWriteFailsTheConversion) {
    // On a full disk the tag rewrite cut the file, and the conversion was reported as a success.
    WmaRun run;
    const std::string in = run.dir.File("in.wav"), untagged = run.dir.File("untagged.wma"),
                      out = run.dir.File("out.wma");
    WriteSource(in, {44100, 2, 16, 1.0});
    ASSERT_EQ(run.Convert(kKindWav, in, untagged), 1);  // the track number alone: a small header
    run.settings.WMAID3TagType = 0;
    run.settings.WMATag.Comment = std::string(4000, 'c');
    {
        const FileSizeLimit limit(std::filesystem::file_size(untagged) + 64);
        EXPECT_EQ(run.Convert(kKindWav, in, out), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
