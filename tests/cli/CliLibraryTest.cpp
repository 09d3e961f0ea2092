// Whole libraries: a dry run, a plan run in shards, updating a mirror, playlists and orphans.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "cli/CliHarness.h"
#include "cli/PlanFile.h"
#include "engine/OutputStaging.h"
#include "support/TestSupport.h"

namespace {

using namespace clitest;
namespace fs = std::filesystem;

const std::string kSkipped = "Target exists and skipped";

// A Sun audio file of 16-bit big-endian samples: a second source format that maps to the same names.
void WriteAu16(const std::string& path, int rate, const std::vector<std::int16_t>& mono) {
    std::vector<std::uint8_t> b;
    const auto be32 = [&](std::uint32_t v) {
        for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<std::uint8_t>(v >> s));
    };
    b = {'.', 's', 'n', 'd'};
    be32(24);
    be32(static_cast<std::uint32_t>(mono.size() * 2));
    be32(3);
    be32(static_cast<std::uint32_t>(rate));
    be32(1);
    for (const std::int16_t s : mono) {
        b.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
        b.push_back(static_cast<std::uint8_t>(s & 0xFF));
    }
    testsupport::WriteBytes(path, b);
}

// count short sources in three folders: 16-bit stereo WAV, 8-bit WAV and AU at several rates, all last
// changed a day ago. With collide, files i and i + 3 share a folder and a base name.
std::vector<std::string> MakeLibrary(const std::string& in, int count, bool collide = true) {
    const auto dayAgo = fs::file_time_type::clock::now() - std::chrono::hours(24);
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        const std::string folder = in + "/" + std::string(1, static_cast<char>('a' + i % 3));
        fs::create_directories(folder);
        const int rate = (i % 4 == 0) ? 8000 : 11025;
        const std::size_t frames = static_cast<std::size_t>(rate / 20 + i);
        std::vector<std::int16_t> tone(frames);
        for (std::size_t f = 0; f < frames; ++f)
            tone[f] = static_cast<std::int16_t>((f * (40 + i)) % 8000 - 4000);
        const std::string base = folder + "/s" + std::to_string(collide ? i / 6 : i);
        if (i % 6 < 3) {
            paths.push_back(base + ".wav");
            if (i % 2 == 0)
                WriteWav16(paths.back(), rate, tone, std::vector<std::int16_t>(tone.rbegin(), tone.rend()));
            else
                WriteWav8(paths.back(), rate,
                          std::vector<std::uint8_t>(frames, static_cast<std::uint8_t>(100 + i)));
        } else {
            paths.push_back(base + ".au");
            WriteAu16(paths.back(), rate, tone);
        }
        fs::last_write_time(paths.back(), dayAgo);
    }
    return paths;
}

// Every entry below root (or only its files): type, modification time and content. The harness's own
// file of standard error is left out.
std::map<std::string, std::string> Snapshot(const std::string& root, bool filesOnly = false) {
    std::map<std::string, std::string> tree;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.path().filename() == "stderr.txt" || (filesOnly && !e.is_regular_file())) continue;
        struct stat st {};
        ::lstat(e.path().c_str(), &st);
        std::string state = std::to_string(st.st_mode) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
                            std::to_string(st.st_mtim.tv_nsec);
        if (e.is_regular_file()) {
            const auto bytes = testsupport::ReadBytes(e.path().string());
            state += " " + std::to_string(std::hash<std::string>()(std::string(bytes.begin(), bytes.end())));
        }
        tree[fs::relative(e.path(), root).string()] = state;
    }
    return tree;
}

// The files below root by relative path, with their contents.
std::map<std::string, std::string> Contents(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (!e.is_regular_file()) continue;
        const auto bytes = testsupport::ReadBytes(e.path().string());
        files[fs::relative(e.path(), root).string()] = std::string(bytes.begin(), bytes.end());
    }
    return files;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, '\t');) fields.push_back(f);
    return fields;
}

// An old file at a name that the batch's first file takes, and at one the rename of its twin takes.
void PlantOldOutputs(const std::string& out, const std::string& ext) {
    fs::create_directories(out);
    testsupport::WriteBytes(out + "/s0" + ext, {'o', 'l', 'd'});
    testsupport::WriteBytes(out + "/s1_1" + ext, {'o', 'l', 'd', '2'});
}

class CliDryRun : public testing::TestWithParam<const char*> {};

TEST_P(CliDryRun, ListsTheNamesARunGivesAndWritesNothing) {
    // A dry run that wrote, made folders, or named differently from the run would mislead every plan.
    CliHome home;
    const std::string in = home.File("in"), out = home.File("out");
    MakeLibrary(in, 12);
    PlantOldOutputs(out, ".mp3");
    fs::create_directories(home.File("home/Documents"));  // made at start, as the default output folder
    const auto before = Snapshot(home.Dir().Path().string());
    const std::vector<std::string> real = {"-q", "-t", "mp3", "-o", out, "--if-exists", GetParam(), in};
    std::vector<std::string> args = real;
    args.insert(args.begin(), "--dry-run");
    const CliResult dry = home.Run(args);
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(Snapshot(home.Dir().Path().string()), before);

    const CliResult run = home.Run(real);
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(dry.lines.size(), run.lines.size());
    for (std::size_t i = 0; i < dry.lines.size(); ++i) {
        const auto d = Fields(dry.lines[i]), r = Fields(run.lines[i]);
        ASSERT_EQ(d.size(), 3u) << dry.lines[i];
        EXPECT_EQ(d[0], r[0]);
        if (d[1] == "skip") {
            EXPECT_EQ(r[1], kSkipped) << run.lines[i];
        } else {
            ASSERT_EQ(r.size(), 3u) << run.lines[i];
            EXPECT_EQ(d[2], r[2]) << d[1];
        }
    }
    // A dry run into a folder that does not exist makes none.
    const CliResult fresh = home.Run({"--dry-run", "-t", "mp3", "-o", home.File("none/deep"), in});
    EXPECT_EQ(fresh.status, 0);
    EXPECT_FALSE(fs::exists(home.File("none")));
}

INSTANTIATE_TEST_SUITE_P(Modes, CliDryRun, testing::Values("rename", "overwrite", "skip", "update"));

class CliShards : public testing::TestWithParam<const char*> {};

TEST_P(CliShards, ThreeShardsAtOnceWriteWhatOneRunWrites) {
    // Names, track numbers and stream serial numbers are fixed by the plan, so the shards' tree must be
    // the single run's byte for byte, whichever shard runs first.
    CliHome home;
    const std::string in = home.File("in"), one = home.File("one"), sharded = home.File("sharded");
    MakeLibrary(in, 60);
    PlantOldOutputs(one, ".ogg");
    PlantOldOutputs(sharded, ".ogg");
    const std::vector<std::string> settings = {"-q",
                                               "-t",
                                               "ogg",
                                               "--if-exists",
                                               GetParam(),
                                               "--set",
                                               "OGGID3TagType=0",
                                               "--set",
                                               "OGGTag.TrackNumType=1"};
    auto single = settings;
    single.insert(single.end(), {"-o", one, in});
    ASSERT_EQ(home.Run(single).status, 0);
    auto planning = settings;
    planning.insert(planning.end(), {"-o", sharded, "--plan", home.File("plan"), in});
    ASSERT_EQ(home.Run(planning).status, 0);
    EXPECT_EQ(Contents(sharded).size(), 2u) << "planning wrote outputs";

    const std::vector<std::string> parallel = {"env",
                                               "HOME=" + home.File("home"),
                                               "XDG_CONFIG_HOME=" + home.File("cfg"),
                                               "parallel",
                                               "-j3",
                                               "-q",
                                               CliPath(),
                                               "-q",
                                               "--from-plan",
                                               home.File("plan"),
                                               "--shard",
                                               "{}/3",
                                               ":::",
                                               "0",
                                               "1",
                                               "2"};
    std::string printed;
    EXPECT_EQ(testsupport::Run(parallel, &printed), 0) << printed;
    EXPECT_EQ(Contents(sharded), Contents(one));
}

INSTANTIATE_TEST_SUITE_P(Modes, CliShards, testing::Values("rename", "overwrite", "skip"));

TEST(CliShards, ARerunSkipsCompleteOutputsReplacesItsStagedFileAndReportsFailures) {
    CliHome home;
    const std::string in = home.File("in"), out = home.File("out");
    MakeLibrary(in, 4);
    testsupport::WriteBytes(home.File("broken.wav"), {'R', 'I', 'F', 'F'});
    ASSERT_EQ(
        home.Run({"-q", "-t", "wav", "-o", out, "--plan", home.File("plan"), in, home.File("broken.wav")})
            .status,
        1);  // the plan is written, and says the broken file fails

    // A killed earlier run of the shard left its hidden file.
    std::string hidden;
    fs::create_directories(out);
    {
        StagedOutput staged(out + "/s0.wav", true);
        hidden = staged.Path();
    }
    testsupport::WriteBytes(hidden, {'c', 'u', 't'});

    const CliResult first = home.Run({"-q", "--from-plan", home.File("plan"), "--shard", "0/2"});
    EXPECT_EQ(first.status, 1) << "the broken file is entry 4, in shard 0";
    EXPECT_FALSE(fs::exists(hidden));
    EXPECT_EQ(first.lines.size(), 3u);
    const auto written = Contents(out);
    const CliResult again = home.Run({"-q", "--from-plan", home.File("plan"), "--shard", "1/2"});
    EXPECT_EQ(again.status, 0) << again.err;
    const CliResult rerun = home.Run({"-q", "--from-plan", home.File("plan"), "--shard", "1/2"});
    EXPECT_EQ(rerun.status, 0);
    for (const auto& line : rerun.lines) EXPECT_EQ(Fields(line)[1], kSkipped) << line;
    for (const auto& [name, content] : written) EXPECT_EQ(Contents(out)[name], content) << name;
}

// Three albums in list order: one by its tags across two folders (CD1, CD2), one of untagged files in
// one folder, one more by its tags. Loud and quiet tracks in each, so that part of an album measures
// differently from the whole; modulo 2 would split every album.
struct AlbumSource {
    const char* path;
    const char* album;  // the ALBUM tag, or none
    const char* volume;
    int albumNumber;
};
const AlbumSource kAlbumSources[] = {
    {"cd1/t1.flac", "Bee", "0.1", 0},    {"cd1/t2.flac", "Bee", "0.4", 0},
    {"cd2/t1.flac", "Bee", "0.2", 0},    {"loose/a.flac", nullptr, "0.05", 1},
    {"loose/b.flac", nullptr, "0.3", 1}, {"other/x.flac", "See", "0.6", 2},
    {"other/y.flac", "See", "0.15", 2},
};

struct AlbumShardCase {
    const char* name;
    std::vector<std::string> settings;
    bool oldPlan;  // the plan as the previous version wrote it: no albums recorded
    bool byAlbum;
};

class CliAlbumShards : public testing::TestWithParam<AlbumShardCase> {};

TEST_P(CliAlbumShards, AlbumValuesNeedWholeAlbumsOtherwiseTheModuloStays) {
    const AlbumShardCase& c = GetParam();
    CliHome home;
    const std::string in = home.File("in"), one = home.File("one"), sharded = home.File("sharded");
    for (const auto& a : kAlbumSources) {
        fs::create_directories(fs::path(in + "/" + a.path).parent_path());
        std::vector<std::string> sox = {"sox", "-R", "-n", "-r", "44100", "-c", "2", "-b", "16"};
        if (a.album) sox.insert(sox.end(), {"--comment", std::string("ALBUM=") + a.album});
        sox.insert(sox.end(), {in + "/" + a.path, "synth", "2", "pinknoise", "vol", a.volume});
        ASSERT_EQ(testsupport::Run(sox), 0);
    }
    std::vector<std::string> single = {"-q", "-t", "mp3", "-o", one, in};
    single.insert(single.begin(), c.settings.begin(), c.settings.end());
    ASSERT_EQ(home.Run(single).status, 0);
    std::vector<std::string> planning = {"-q", "-t", "mp3", "-o", sharded, "--plan", home.File("plan"), in};
    planning.insert(planning.begin(), c.settings.begin(), c.settings.end());
    ASSERT_EQ(home.Run(planning).status, 0);
    std::string plan;
    {
        std::ifstream text(home.File("plan"));
        std::ostringstream all;
        all << text.rdbuf();
        plan = all.str();
    }
    // A plan without albums stays readable by the previous version.
    EXPECT_EQ(plan.rfind(c.byAlbum ? "wavelorn-plan\t2\n" : "wavelorn-plan\t1\n", 0), 0u) << plan;
    if (c.oldPlan) {
        std::string old = "wavelorn-plan\t1\n";
        std::istringstream lines(plan.substr(plan.find('\n') + 1));
        for (std::string line; std::getline(lines, line);)
            old += (line.rfind("file\t", 0) == 0 ? line.substr(0, line.rfind('\t')) : line) + "\n";
        std::ofstream(home.File("plan"), std::ios::trunc) << old;
    }

    std::map<std::string, std::size_t> shardOf;  // source: the shard that listed it
    for (std::size_t shard = 0; shard < 2; ++shard) {
        const CliResult r =
            home.Run({"-q", "--from-plan", home.File("plan"), "--shard", std::to_string(shard) + "/2"});
        ASSERT_EQ(r.status, 0) << r.err;
        for (const auto& line : r.lines) shardOf[Fields(line)[0]] = shard;
    }
    ASSERT_EQ(shardOf.size(), std::size(kAlbumSources));
    std::size_t inFirst = 0;
    std::map<int, std::size_t> albumShard;
    for (std::size_t i = 0; i < std::size(kAlbumSources); ++i) {
        const AlbumSource& a = kAlbumSources[i];
        const std::size_t shard = shardOf[in + "/" + a.path];
        inFirst += shard == 0;
        const std::size_t expected =
            c.byAlbum ? albumShard.emplace(a.albumNumber, shard).first->second : i % 2;
        EXPECT_EQ(shard, expected) << a.path;
    }
    EXPECT_GT(inFirst, 0u);
    EXPECT_LT(inFirst, std::size(kAlbumSources));
    EXPECT_TRUE(Contents(sharded) == Contents(one)) << "the shards wrote other files than one run";
    if (c.settings[1] != "album") return;
    // The album values as a peer reads them: one per album, and the albums' differ.
    std::map<int, std::set<std::string>> gains;
    for (const auto& output : Names(sharded)) {
        std::string gain;
        testsupport::Run({"ffprobe", "-v", "error", "-show_entries", "format_tags=REPLAYGAIN_ALBUM_GAIN",
                          "-of", "csv=p=0", sharded + "/" + output},
                         &gain);
        const std::string stem = fs::path(output).stem().string();
        const int album = stem[0] == 't' ? 0 : stem == "a" || stem == "b" ? 1 : 2;
        gains[album].insert(gain);
    }
    ASSERT_EQ(gains.size(), 3u);
    std::set<std::string> distinct;
    for (const auto& [album, values] : gains) {
        EXPECT_EQ(values.size(), 1u) << album;
        EXPECT_NE(values.begin()->find(" dB"), std::string::npos) << *values.begin();
        distinct.insert(*values.begin());
    }
    EXPECT_EQ(distinct.size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, CliAlbumShards,
    testing::Values(AlbumShardCase{"AlbumTags", {"--replaygain", "album"}, false, true},
                    AlbumShardCase{"AlbumTagsFromAnOldPlan", {"--replaygain", "album"}, true, true},
                    AlbumShardCase{"AlbumNormalizing", {"--set", "Normalize=2"}, false, true},
                    AlbumShardCase{"TrackTags", {"--replaygain", "track"}, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CliPlanText, AlbumsComeOnlyWithTheVersionThatHasThem) {
    // A plan of the first version loads as before; an album number beyond its entry's index (albums are
    // numbered in plan order) is damage, not a size to allocate.
    const std::string v1 = "wavelorn-plan\t1\n", v2 = "wavelorn-plan\t2\n",
                      entry = "file\t0\t1\t0\tconvert\t/in/a.wav\t/out/a.mp3\t";
    struct Case {
        std::string text;
        bool loads;
        std::optional<std::size_t> album;
    };
    const Case cases[] = {
        {v1 + entry + "\n", true, std::nullopt},     {v2 + entry + "\t0\n", true, 0},
        {v2 + entry + "\t\n", true, std::nullopt},   {v2 + entry + "\t1\n", false, std::nullopt},
        {v2 + entry + "\n", false, std::nullopt},    {v1 + entry + "\t0\n", false, std::nullopt},
        {"wavelorn-plan\t3\n", false, std::nullopt},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto plan = ReadPlanText(c.text, error);
        ASSERT_EQ(plan.has_value(), c.loads) << c.text << error;
        if (!plan) continue;
        EXPECT_EQ(plan->entries.at(0).album, c.album) << c.text;
        EXPECT_EQ(WritePlanText(*plan), c.album ? c.text : v1 + entry + "\n");
    }
}

TEST(CliUpdate, ConvertsExactlyTheSourcesThatChanged) {
    CliHome home;
    const std::string in = home.File("in"), out = home.File("out");
    const auto sources = MakeLibrary(in, 20, false);
    const std::vector<std::string> args = {"-q",    "-t",           "wav",         "-o",     out,
                                           "--set", "CreateDirs=1", "--if-exists", "update", in};
    ASSERT_EQ(home.Run(args).status, 0);
    const auto first = Snapshot(out, true);
    // Two of twenty sources (10 %) change.
    for (const int changed : {3, 14})
        fs::last_write_time(sources[changed], fs::last_write_time(sources[changed]) + std::chrono::hours(1));
    const CliResult r = home.Run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> converted;
    for (const auto& line : r.lines)
        if (Fields(line).size() == 3) converted.push_back(Fields(line)[0]);
    EXPECT_EQ(converted, (std::vector<std::string>{sources[3], sources[14]}));
    // The outputs take their sources' times, so an unchanged tree stays unchanged.
    EXPECT_EQ(home.Run(args).lines.size(), 20u);
    const auto second = Snapshot(out, true);
    std::size_t same = 0;
    for (const auto& [name, state] : first) same += second.at(name) == state;
    EXPECT_EQ(same, first.size() - 2);
}

struct GuardCase {
    const char* name;
    std::vector<std::string> args;  // "IN" stands for the source folder
};

class CliGuard : public testing::TestWithParam<GuardCase> {};

TEST_P(CliGuard, RefusesARunThatWouldWriteOverItsSourcesBeforeWritingAnything) {
    CliHome home;
    const std::string in = home.File("in");
    MakeLibrary(in, 6);
    fs::create_directories(in + "/a/mp3");
    std::vector<std::string> args = {"-q"};
    for (const auto& a : GetParam().args)
        args.push_back(a == "IN" ? in : a.rfind("IN/", 0) == 0 ? in + a.substr(2) : a);
    const auto before = Snapshot(in);
    const CliResult r = home.Run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("refused"), std::string::npos) << r.err;
    EXPECT_TRUE(r.lines.empty());
    EXPECT_EQ(Snapshot(in), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliGuard,
    testing::Values(GuardCase{"TreeIntoItself", {"-t", "mp3", "-o", "IN/a/mp3", "IN"}},
                    GuardCase{"TreeIntoItsRoot", {"-t", "wav", "-o", "IN", "--if-exists", "rename", "IN"}},
                    GuardCase{"OverwriteBesideSource",
                              {"-t", "wav", "--beside-source", "--if-exists", "overwrite", "IN"}},
                    GuardCase{"UpdateBesideSource",
                              {"-t", "wav", "--beside-source", "--if-exists", "update", "IN"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CliPlaylists, EachOutputFolderListsItsFilesInListOrderAlsoWhenTheyWereKept) {
    CliHome home;
    const std::string in = home.File("in"), out = home.File("out");
    MakeLibrary(in, 4, false);
    fs::rename(in + "/a/s3.au", in + "/a/Été.au");
    const std::vector<std::string> args = {"-q",
                                           "-t",
                                           "wav",
                                           "-o",
                                           out,
                                           "--if-exists",
                                           "update",
                                           "--set",
                                           "CreateDirs=1",
                                           "--set",
                                           "WritePlaylists=1",
                                           in};
    ASSERT_EQ(home.Run(args).status, 0);
    const std::string folder = out + "/" + fs::path(in).relative_path().string() + "/a";
    const auto read = [&] { return Contents(folder)["a.m3u8"]; };
    EXPECT_EQ(read(), "#EXTM3U\ns0.wav\nÉté.wav\n");
    // A run that only keeps what exists still lists it.
    ASSERT_EQ(home.Run(args).status, 0);
    EXPECT_EQ(read(), "#EXTM3U\ns0.wav\nÉté.wav\n");
    EXPECT_FALSE(fs::exists(home.File("in/a/a.m3u8")));
}

TEST(CliOrphans, OnlyOutputsWhoseSourceIsGoneGoToTheTrash) {
    CliHome home;
    const std::string in = home.File("in"), out = home.File("out");
    const auto sources = MakeLibrary(in, 6, false);
    const std::vector<std::string> args = {
        "-q", "-t", "wav", "-o", out, "--set", "CreateDirs=1", "--if-exists", "update", "--delete-orphans",
        in};
    ASSERT_EQ(home.Run(args).status, 0);
    const std::string mirror = out + "/" + fs::path(in).relative_path().string();
    fs::remove(sources[1]);                                   // b/s1.wav: its output is an orphan
    testsupport::WriteBytes(mirror + "/b/notes.txt", {'n'});  // not an output: stays
    testsupport::WriteBytes(mirror + "/c/s2_1.wav", {'x'});   // a rename of a source still there
    const auto orphan = mirror + "/b/s1.wav";
    const auto orphanBytes = testsupport::ReadBytes(orphan);

    auto dry = args;
    dry.insert(dry.begin(), "--dry-run");
    const CliResult listed = home.Run(dry);
    EXPECT_NE(std::find(listed.lines.begin(), listed.lines.end(), orphan + "\torphan"), listed.lines.end())
        << listed.out;
    EXPECT_TRUE(fs::exists(orphan));

    const CliResult r = home.Run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.lines.back(), orphan + "\ttrashed");
    EXPECT_FALSE(fs::exists(orphan));
    EXPECT_TRUE(fs::exists(mirror + "/b/notes.txt"));
    EXPECT_TRUE(fs::exists(mirror + "/c/s2_1.wav"));
    const std::string trash = home.File("home/.local/share/Trash");
    EXPECT_TRUE(testsupport::ReadBytes(trash + "/files/s1.wav") == orphanBytes);
    std::ifstream info(trash + "/info/s1.wav.trashinfo");
    std::stringstream text;
    text << info.rdbuf();
    EXPECT_NE(text.str().find("Path=" + orphan), std::string::npos) << text.str();
}

}  // namespace

namespace {

struct CopyCase {
    const char* name;
    const char* format;
    std::vector<std::string> settings;
    bool copied;
};

class CliCopySameFormat : public testing::TestWithParam<CopyCase> {};

TEST_P(CliCopySameFormat, CopiesOnlyWhatEncodingWouldNotImproveAndKeepsTheTagRules) {
    // A copy must never stand in for an encoding the options ask for: a lower bit rate, or tags from a
    // template.
    CliHome home;
    const CopyCase& c = GetParam();
    const std::string ext = std::string(".") + c.format;
    WriteWav16(home.File("tone.wav"), 44100, std::vector<std::int16_t>(44100 / 2, 900),
               std::vector<std::int16_t>(44100 / 2, -900));
    // The listed bit rate is the file's average, which an info frame lifts above 128 in half a second.
    ASSERT_EQ(home.Run({"-q", "-t", c.format, "-o", home.File("src"), "--set", "MP3BitRate=128", "--set",
                        "MP3InfoFrame=0", home.File("tone.wav")})
                  .status,
              0);
    std::vector<std::string> args = {
        "-q", "-t", c.format, "-o", home.File("out"), "--set", "CopySameFormat=1"};
    for (const auto& s : c.settings) args.insert(args.end(), {"--set", s});
    args.push_back(home.File("src/tone" + ext));
    const CliResult r = home.Run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testsupport::ReadBytes(home.File("out/tone" + ext)) ==
                  testsupport::ReadBytes(home.File("src/tone" + ext)),
              c.copied);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliCopySameFormat,
    testing::Values(
        CopyCase{"Mp3Auto", "mp3", {}, true},
        CopyCase{
            "Mp3SameRate", "mp3", {"AutoDestMP3EncodingParam=0", "MP3BitRate=128", "MP3ChannelMode=4"}, true},
        CopyCase{"Mp3LowerRate", "mp3", {"AutoDestMP3EncodingParam=0", "MP3BitRate=64"}, false},
        CopyCase{"Mp3Template", "mp3", {"MP3ID3TagType=0"}, false},
        CopyCase{"Mp3Louder", "mp3", {"AmplifyMp3=1", "AmplifyMp3Coeff=150"}, false},
        CopyCase{"OggAuto", "ogg", {}, true}, CopyCase{"OggNoTags", "ogg", {"OGGID3TagType=2"}, false},
        CopyCase{"FlacAnyLevel", "flac", {"FLACCompression=8"}, true},
        CopyCase{"FlacResampled", "flac", {"FLACSampleRate=22050"}, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
