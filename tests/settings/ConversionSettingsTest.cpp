#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "platform/FileUserStore.h"
#include "platform/MemoryUserStore.h"
#include "platform/UserFolders.h"
#include "settings/ConversionSettings.h"
#include "settings/GenreNames.h"
#include "settings/OptionRanges.h"
#include "support/ReadOnlyMount.h"
#include "support/TestSupport.h"

namespace {

const std::string kOptions = "Software\\Quillmark\\Wavelorn\\Options";
const std::string kOptionsKey = "HKEY_CURRENT_USER\\" + kOptions;
const char* const kDocs = "/home/u/Documents";

using S = ConversionSettings;
using Field = std::int32_t S::*;

// Every DWORD field of the record, to give each a distinct value.
const Field kAllDwords[] = {&S::OutputFormat,
                            &S::OptStartPageIndex,
                            &S::DestOutputFolderOpt,
                            &S::CreateDirs,
                            &S::BrowseOutputFolder,
                            &S::OutputFiles2MyDocuments,
                            &S::TargetExistsOpt,
                            &S::MonoType,
                            &S::EnableExtFilter,
                            &S::AutoDestMP3EncodingParam,
                            &S::MP3BitRate,
                            &S::MP3SampleRate,
                            &S::MP3ChannelMode,
                            &S::MP3ID3TagType,
                            &S::MP3WriteID3Version,
                            &S::AmplifyMp3,
                            &S::AmplifyMp3Coeff,
                            &S::AutoDestWAVEncodingParam,
                            &S::WAVSampleRate,
                            &S::WAVBitsPerSample,
                            &S::WAVChannelNum,
                            &S::AmplifyWav,
                            &S::AmplifyWavCoeff,
                            &S::AutoDestWMAEncodingParam,
                            &S::WMABitRate,
                            &S::WMASampleRate,
                            &S::WMAChannels,
                            &S::WMAID3TagType,
                            &S::AmplifyWMA,
                            &S::AmplifyWMACoeff,
                            &S::AutoDestOGGEncodingParam,
                            &S::OGGBitRate,
                            &S::OGGSampleRate,
                            &S::OGGChannels,
                            &S::OGGID3TagType,
                            &S::AmplifyOGG,
                            &S::AmplifyOGGCoeff,
                            &S::AutoDestAACEncodingParam,
                            &S::AACVBR,
                            &S::AACVBRQuality,
                            &S::AACABRBitRate,
                            &S::AACMpegVersion,
                            &S::AACEnableTNS,
                            &S::AACEnableMidside,
                            &S::AACBlockType,
                            &S::AmplifyAAC,
                            &S::AmplifyAACCoef,
                            &S::AutoDestM4AEncodingParam,
                            &S::M4AVBR,
                            &S::M4AVBRQuality,
                            &S::M4AABRBitRate,
                            &S::M4AEnableTNS,
                            &S::M4AEnableMidside,
                            &S::M4ABlockType,
                            &S::AmplifyM4A,
                            &S::AmplifyM4ACoef,
                            &S::M4AID3TagType,
                            &S::AMRType,
                            &S::AMRMode,
                            &S::AMRWBMode,
                            &S::AMRDTX,
                            &S::AWBMode,
                            &S::AWBDTX,
                            &S::AmplifyAMR,
                            &S::AmplifyAMRCoef,
                            &S::Dither,
                            &S::Resampler,
                            &S::FilesAtOnce,
                            &S::FLACCompression,
                            &S::FLACBitsPerSample,
                            &S::FLACSampleRate,
                            &S::FLACChannels,
                            &S::FLACID3TagType,
                            &S::AmplifyFLAC,
                            &S::AmplifyFLACCoeff,
                            &S::OpusBitRate,
                            &S::OpusRateControl,
                            &S::OpusComplexity,
                            &S::OpusSignal,
                            &S::OpusChannels,
                            &S::OpusID3TagType,
                            &S::AmplifyOpus,
                            &S::AmplifyOpusCoeff,
                            &S::ReplayGain,
                            &S::Normalize,
                            &S::NormalizeTarget,
                            &S::MP3InfoFrame,
                            &S::VerifyOutputs,
                            &S::StrictDecode,
                            &S::TransferAllTags,
                            &S::FolderCoverArt,
                            &S::MaxPictureSize,
                            &S::ID3v2Version,
                            &S::WavId3Chunk,
                            &S::OutputTakesSourceTime,
                            &S::WritePlaylists,
                            &S::CopySameFormat};

const std::string kTricky = "Caf\xc3\xa9 \"Live\" C:\\x\\ line\nbreak\r\n\xe2\x99\xab";

TagTemplate TrickyTemplate(int seed) {
    TagTemplate t;
    t.TitleAsFileName = 0;
    t.Title = kTricky + std::to_string(seed);
    t.Artist = "Art \\\"";
    t.Album = "\xd0\x90\xd0\xbb\xd1\x8c\xd0\xb1\xd0\xbe\xd0\xbc";
    t.Year = "1999";
    t.Genre = "Not a listed genre";
    t.Comment = "multi\nline\ncomment";
    t.Composer = "\\\\server\\share";
    t.Copyright = "\xc2\xa9 2026";
    t.TrackNumType = 2;
    t.CustomTrackNum = 200 + seed;
    return t;
}

// A record where every value differs from its default and is one its option may hold: distinct
// numbers (11, 12, ...) where the range allows, so that two values swapped in load or save show.
ConversionSettings EveryFieldChanged() {
    ConversionSettings s(kDocs);
    ConversionSettings defaults(kDocs);
    const std::int32_t others[] = {0, 1, 2, 199, 22, 8, 16, 48000, 96000, 320000, 480, 320, 6500, -20, 4};
    std::int32_t n = 11;
    for (const std::string& name : ConversionSettings::OptionNames()) {
        std::int32_t* field = s.IntOption(name);
        if (!field) continue;
        const std::int32_t was = *defaults.IntOption(name);
        *field = n++;
        for (std::size_t i = 0; i < std::size(others) && !(OptionInRange(name, *field) && *field != was); ++i)
            *field = others[i];
    }
    s.Folder = "/music/" + kTricky;
    s.DestSpecifiedFolder = "/out put/\xc3\xa9";
    s.FilterExts = "MP3,,\xc3\x89XT,";
    s.EnableExtFilter = 1;
    s.MP3Tag = TrickyTemplate(1);
    s.OGGTag = TrickyTemplate(2);
    s.WMATag = TrickyTemplate(3);
    s.M4ATag = TrickyTemplate(4);
    s.FLACTag = TrickyTemplate(5);
    s.OpusTag = TrickyTemplate(6);
    s.RebuildFilterList();
    return s;
}

std::vector<std::string> NamesIn(const MemoryUserStore& store, const std::string& key) {
    std::vector<std::string> names;
    if (const StoreValues* v = store.Data().FindKey(key))
        for (const auto& [name, value] : *v) names.push_back(name);
    return names;
}

void PutDword(MemoryUserStore& store, const std::string& name, std::uint32_t value) {
    auto key = store.CreateKey(kOptions);
    key->SetDword(name, value);
    key->Close();
}

TEST(ConversionSettings, FirstStartGivesTheDocumentedDefaults) {
    // A missing store must give output into the documents folder, rename, MP3 and file-name titles.
    MemoryUserStore empty;
    ConversionSettings s(kDocs);
    s.LoadSettings(empty);
    EXPECT_EQ(s, ConversionSettings(kDocs));
    EXPECT_EQ(s.DestOutputFolderOpt, 399);
    EXPECT_EQ(s.DestSpecifiedFolder, kDocs);
    EXPECT_EQ(s.TargetExistsOpt, 11);
    EXPECT_EQ(s.OutputFormat, 1000);
    EXPECT_EQ(s.OutputFiles2MyDocuments, 1);
    EXPECT_EQ(s.WMABitRate, 128000);
    for (const TagTemplate* t : {&s.MP3Tag, &s.OGGTag, &s.WMATag, &s.M4ATag}) {
        EXPECT_EQ(t->TitleAsFileName, 1);
        EXPECT_EQ(t->TrackNumType, 0);
    }
    EXPECT_TRUE(s.FilterExtList.empty());

    const ConversionSettings unknownDocs("");
    EXPECT_EQ(unknownDocs.DestOutputFolderOpt, 199);
    EXPECT_EQ(unknownDocs.DestSpecifiedFolder, "");
}

TEST(ConversionSettings, DefaultConstructorUsesTheXdgDocumentsFolderAndLeavesTheDiskAlone) {
    // The default output folder must be the user's documents folder; a value type must not create
    // it (the front ends ask for it to be created when they start).
    testsupport::TempDir dir;
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    ::setenv("HOME", dir.Path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", dir.File("cfg").c_str(), 1);

    EXPECT_EQ(ConversionSettings().DestSpecifiedFolder, dir.File("Documents"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("Documents")));
    EXPECT_EQ(ConversionSettings(DocumentsFolder(true)).DestSpecifiedFolder, dir.File("Documents"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("Documents")));

    std::filesystem::create_directories(dir.File("cfg"));
    testsupport::WriteBytes(
        dir.File("cfg/user-dirs.dirs"),
        {'X', 'D', 'G', '_', 'D', 'O', 'C', 'U', 'M', 'E', 'N', 'T', 'S', '_', 'D', 'I', 'R',
         '=', '"', '$', 'H', 'O', 'M', 'E', '/', 'P', 'a', 'p', 'e', 'r', 's', '/', '"', '\n'});
    EXPECT_EQ(ConversionSettings().DestSpecifiedFolder, dir.File("Papers"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("Papers")));
    EXPECT_EQ(ConversionSettings(DocumentsFolder(true)).DestSpecifiedFolder, dir.File("Papers"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("Papers")));

    ::setenv("HOME", oldHome.c_str(), 1);
    if (oldXdg)
        ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

struct LoadCase {
    const char* value;
    std::uint32_t stored;
    Field field;
    std::int32_t loaded;
};

TEST(ConversionSettings, LoadCorrectsOrReplacesValuesNoPageStores) {
    // A value out of range (a damaged or hand-edited store) must not reach the encoders: the named
    // corrections apply first, and what is still out of range keeps its default.
    const LoadCase cases[] = {
        {"AmplifyMp3Coeff", 5, &S::AmplifyMp3Coeff, 10},
        {"AmplifyMp3Coeff", 5000, &S::AmplifyMp3Coeff, 3000},
        {"AmplifyMp3Coeff", 0xffffffffu, &S::AmplifyMp3Coeff, 10},  // -1 as a signed DWORD
        {"AmplifyWavCoeff", 9, &S::AmplifyWavCoeff, 10},
        {"Dither", 7, &S::Dither, 1},
        {"Resampler", 7, &S::Resampler, 0},
        {"MP3InfoFrame", 7, &S::MP3InfoFrame, 1},
        {"VerifyOutputs", 7, &S::VerifyOutputs, 0},
        {"AmplifyWMACoeff", 3001, &S::AmplifyWMACoeff, 3000},
        {"AmplifyOGGCoeff", 2, &S::AmplifyOGGCoeff, 10},
        {"AmplifyAACCoef", 5, &S::AmplifyAACCoef, 100},
        {"AmplifyM4ACoef", 5000, &S::AmplifyM4ACoef, 100},
        {"AmplifyAMRCoef", 3000, &S::AmplifyAMRCoef, 3000},
        {"FilesAtOnce", 32, &S::FilesAtOnce, 32},
        {"FilesAtOnce", 33, &S::FilesAtOnce, 0},
        {"FilesAtOnce", 0xffffffffu, &S::FilesAtOnce, 0},
        {"MaxPictureSize", 10001, &S::MaxPictureSize, 0},
        {"ID3v2Version", 2, &S::ID3v2Version, 3},
        {"OGGBitRate", 128000, &S::OGGBitRate, 128},
        {"OGGBitRate", 1000, &S::OGGBitRate, 128},
        {"OGGBitRate", 480, &S::OGGBitRate, 480},
        {"MP3ChannelMode", 2, &S::MP3ChannelMode, 1},
        {"MP3ChannelMode", 4, &S::MP3ChannelMode, 4},
        {"MP3ChannelMode", 0, &S::MP3ChannelMode, 0},
        {"MP3ChannelMode", 5, &S::MP3ChannelMode, 1},
        {"WAVChannelNum", 3, &S::WAVChannelNum, 2},
        {"WAVChannelNum", 0, &S::WAVChannelNum, 0},
        {"WAVSampleRate", 0xffffffffu, &S::WAVSampleRate, 44100},
        {"WAVSampleRate", 6000, &S::WAVSampleRate, 6000},
        {"MP3SampleRate", 6000, &S::MP3SampleRate, 44100},
        {"WAVBitsPerSample", 12, &S::WAVBitsPerSample, 16},
        {"WMAChannels", 0, &S::WMAChannels, 2},
        {"WMAChannels", 1, &S::WMAChannels, 1},
        {"WMAID3TagType", 7, &S::WMAID3TagType, 2},
        {"WMAID3TagType", 0xffffffffu, &S::WMAID3TagType, 2},
        {"M4AID3TagType", 3, &S::M4AID3TagType, 2},
        {"OGGID3TagType", 7, &S::OGGID3TagType, 1},
        {"OGGChannels", 9, &S::OGGChannels, 2},
        {"MP3ID3TagType", 7, &S::MP3ID3TagType, 1},
        {"AMRMode", 8, &S::AMRMode, 6},
        {"AWBMode", 8, &S::AWBMode, 8},
        {"TargetExistsOpt", 12345, &S::TargetExistsOpt, 11},
        {"FLACCompression", 9, &S::FLACCompression, 5},
        {"FLACBitsPerSample", 20, &S::FLACBitsPerSample, 0},
        {"FLACSampleRate", 192000, &S::FLACSampleRate, 192000},
        {"OpusBitRate", 5, &S::OpusBitRate, 0},  // below what libopus codes
        {"OpusBitRate", 6, &S::OpusBitRate, 6},
        {"OpusBitRate", 510, &S::OpusBitRate, 510},
        {"OpusBitRate", 511, &S::OpusBitRate, 0},
        {"OpusComplexity", 11, &S::OpusComplexity, 10},
        {"AmplifyOpusCoeff", 5000, &S::AmplifyOpusCoeff, 3000},
        {"OutputFormat", 4242, &S::OutputFormat, 4242},  // the format list replaces it when filled
    };
    for (const auto& c : cases) {
        MemoryUserStore store;
        PutDword(store, c.value, c.stored);
        ConversionSettings s(kDocs);
        s.LoadSettings(store);
        EXPECT_EQ(s.*c.field, c.loaded) << c.value << " stored as " << c.stored;
    }
}

TEST(ConversionSettings, DwordsAreReadAsBytesWhateverTheirStoredType) {
    // A hand-edited value of the wrong type must load like the registry would, never overrun.
    MemoryUserStore store;
    store.Data().Merge(kOptionsKey, {{"OptStartPageIndex", {kRegSz, std::string("\x40\0", 2)}},
                                     {"MP3SampleRate", {kRegSz, "far too long for a dword\0"}},
                                     {"CreateDirs", {kRegSz, std::string("\x01\0\0", 3)}}});
    ConversionSettings s(kDocs);
    s.OptStartPageIndex = 0x11223344;  // an option without a range, so the bytes show as they land
    s.LoadSettings(store);
    EXPECT_EQ(s.OptStartPageIndex, 0x11220040);  // two bytes replace the low half
    EXPECT_EQ(s.MP3SampleRate, 44100);
    EXPECT_EQ(s.CreateDirs, 1);
}

TEST(ConversionSettings, FolderTextsOverTheLimitKeepTheirDefaults) {
    // A 260-character folder does not fit the 260-byte buffer with its zero and must not be cut short.
    for (const std::size_t length : {259u, 260u, 5000u}) {
        MemoryUserStore store;
        auto key = store.CreateKey(kOptions);
        key->SetString("Folder", std::string(length, 'f'));
        key->SetString("DestSpecifiedFolder", std::string(length, 'd'));
        key->SetString("FilterExts", std::string(length, 'e'));
        key->Close();
        ConversionSettings s(kDocs);
        s.LoadSettings(store);
        const bool fits = length <= 259;
        EXPECT_EQ(s.Folder, fits ? std::string(length, 'f') : "") << length;
        EXPECT_EQ(s.DestSpecifiedFolder, fits ? std::string(length, 'd') : kDocs) << length;
        EXPECT_EQ(s.FilterExts, std::string(length, 'e')) << "the filter has no limit";
    }
}

TEST(ConversionSettings, FilterListSplitsLowerCasesAndKeepsEmptyPieces) {
    // The folder search matches extensions exactly against this list, so trimming or dropping changes
    // results.
    struct Case {
        std::int32_t enabled;
        const char* exts;
        std::vector<std::string> list;
    };
    const Case cases[] = {
        {1, "MP3,Wav", {"mp3", "wav"}},
        {1, "mp3,,wav", {"mp3", "", "wav"}},
        {1, ",mp3,", {"", "mp3", ""}},
        {1, " mp3 ", {" mp3 "}},
        {1, "", {}},
        {0, "mp3,wav", {}},
        {1, "\xc3\x89XT", {"\xc3\x89xt"}},  // without a UTF-8 locale the non-ASCII letter stays
    };
    for (const auto& c : cases) {
        MemoryUserStore store;
        auto key = store.CreateKey(kOptions);
        key->SetDword("EnableExtFilter", static_cast<std::uint32_t>(c.enabled));
        key->SetString("FilterExts", c.exts);
        key->Close();
        ConversionSettings s(kDocs);
        s.FilterExtList = {"stale"};
        s.LoadSettings(store);
        EXPECT_EQ(s.FilterExtList, c.list) << c.enabled << " " << c.exts;
    }
}

TEST(ConversionSettings, EachSaveGroupWritesExactlyItsValuesInOrder) {
    // A value written by the wrong group is saved at the wrong moment (or lost when a crash skips the exit
    // save).
    const std::vector<std::string> options = {"DestOutputFolderOpt",
                                              "DestSpecifiedFolder",
                                              "CreateDirs",
                                              "BrowseOutputFolder",
                                              "OutputFiles2MyDocuments",
                                              "TargetExistsOpt",
                                              "MonoType",
                                              "EnableExtFilter",
                                              "FilterExts",
                                              "AutoDestMP3EncodingParam",
                                              "MP3BitRate",
                                              "MP3SampleRate",
                                              "MP3ChannelMode",
                                              "AutoDestWAVEncodingParam",
                                              "WAVBitsPerSample",
                                              "WAVSampleRate",
                                              "WAVChannelNum",
                                              "AutoDestWMAEncodingParam",
                                              "WMABitRate",
                                              "WMASampleRate",
                                              "WMAChannels",
                                              "WMAID3TagType",
                                              "AmplifyWMA",
                                              "AmplifyWMACoeff",
                                              "AutoDestOGGEncodingParam",
                                              "OGGBitRate",
                                              "OGGSampleRate",
                                              "OGGChannels",
                                              "OGGID3TagType",
                                              "AmplifyOGG",
                                              "AmplifyOGGCoeff",
                                              "AutoDestAACEncodingParam",
                                              "AACVBR",
                                              "AACVBRQuality",
                                              "AACABRBitRate",
                                              "AACMpegVersion",
                                              "AACEnableTNS",
                                              "AACEnableMidside",
                                              "AACBlockType",
                                              "AmplifyAAC",
                                              "AmplifyAACCoef",
                                              "AutoDestM4AEncodingParam",
                                              "M4AVBR",
                                              "M4AVBRQuality",
                                              "M4AABRBitRate",
                                              "M4AEnableTNS",
                                              "M4AEnableMidside",
                                              "M4ABlockType",
                                              "AmplifyM4A",
                                              "AmplifyM4ACoef",
                                              "M4AID3TagType",
                                              "AMRMode",
                                              "AMRWBMode",
                                              "AMRDTX",
                                              "AMRType",
                                              "AWBMode",
                                              "AWBDTX",
                                              "AmplifyAMR",
                                              "AmplifyAMRCoef",
                                              "MP3ID3TagType",
                                              "MP3WriteID3Version",
                                              "AmplifyMp3",
                                              "AmplifyMp3Coeff",
                                              "AmplifyWav",
                                              "AmplifyWavCoeff",
                                              "Dither",
                                              "Resampler",
                                              "FilesAtOnce",
                                              "FLACCompression",
                                              "FLACBitsPerSample",
                                              "FLACSampleRate",
                                              "FLACChannels",
                                              "FLACID3TagType",
                                              "AmplifyFLAC",
                                              "AmplifyFLACCoeff",
                                              "OpusBitRate",
                                              "OpusRateControl",
                                              "OpusComplexity",
                                              "OpusSignal",
                                              "OpusChannels",
                                              "OpusID3TagType",
                                              "AmplifyOpus",
                                              "AmplifyOpusCoeff",
                                              "ReplayGain",
                                              "Normalize",
                                              "NormalizeTarget",
                                              "MP3InfoFrame",
                                              "VerifyOutputs",
                                              "StrictDecode",
                                              "TransferAllTags",
                                              "FolderCoverArt",
                                              "MaxPictureSize",
                                              "ID3v2Version",
                                              "WavId3Chunk",
                                              "OutputTakesSourceTime",
                                              "WritePlaylists",
                                              "CopySameFormat"};
    const std::vector<std::string> tagValues = {
        "Title",    "Artist",    "Album",           "Year",         "Genre",         "Comment",
        "Composer", "Copyright", "TitleAsFileName", "TrackNumType", "CustomTrackNum"};
    const std::vector<std::string> none;
    struct Case {
        unsigned groups;
        std::vector<std::string> values;
        bool templates;
    };
    const Case cases[] = {
        {SaveOnExit, {"OutputFormat", "OptStartPageIndex"}, false},
        {SaveFolder, {"Folder"}, false},
        {SaveOptions, options, true},
    };
    const ConversionSettings s = EveryFieldChanged();
    for (const auto& c : cases) {
        MemoryUserStore store;
        s.SaveSettings(store, c.groups);
        EXPECT_EQ(NamesIn(store, kOptionsKey), c.values) << c.groups;
        for (const char* t : {"MP3Tag", "OGGTag", "WMATag", "M4ATag", "FLACTag", "OpusTag"})
            EXPECT_EQ(NamesIn(store, kOptionsKey + "\\" + t), c.templates ? tagValues : none) << t;
    }
    MemoryUserStore untouched;
    s.SaveSettings(untouched, 0);
    EXPECT_EQ(untouched.Data().Format(), RegFile().Format());
    // Exit (2) and folder (1) groups plus the options group cover every DWORD and the three texts.
    EXPECT_EQ(2 + 1 + options.size(), std::size(kAllDwords) + 3);
}

TEST(ConversionSettings, EveryFieldAndTemplateSurvivesAFileRoundTrip) {
    // A field missing from load or save, or a text the file form cannot hold, silently loses a user's choice.
    testsupport::TempDir dir;
    FileUserStore store(dir.File("wavelorn/registry.reg"));
    const ConversionSettings saved = EveryFieldChanged();
    saved.SaveSettings(store, SaveOnExit | SaveFolder | SaveOptions);
    ConversionSettings loaded(kDocs);
    loaded.LoadSettings(store);
    EXPECT_EQ(loaded, saved);
    for (Field f : kAllDwords) EXPECT_NE(loaded.*f, ConversionSettings(kDocs).*f);
    EXPECT_EQ(loaded.FilterExtList, (std::vector<std::string>{"mp3", "", "\xc3\x89xt", ""}));
}

TEST(ConversionSettings, StoreCutAtEveryByteLoadsOnlySavedOrDefaultValues) {
    // A damaged store must neither crash the loader nor produce a value that was never saved.
    testsupport::TempDir dir;
    const std::string path = dir.File("registry.reg");
    const ConversionSettings saved = EveryFieldChanged();
    {
        FileUserStore store(path);
        saved.SaveSettings(store, SaveOnExit | SaveFolder | SaveOptions);
    }
    const auto bytes = testsupport::ReadBytes(path);
    ASSERT_GT(bytes.size(), 2000u);
    const ConversionSettings defaults(kDocs);
    auto isEither = [](const auto& value, const auto& a, const auto& b) { return value == a || value == b; };
    const std::string text(bytes.begin(), bytes.end());
    for (std::size_t cut = 0; cut < text.size(); ++cut) {
        // The file store parses exactly this way; skipping the file keeps the sanitizer run short.
        MemoryUserStore store;
        store.Data() = RegFile::Parse(std::string_view(text).substr(0, cut));
        ConversionSettings s(kDocs);
        s.LoadSettings(store);
        for (Field f : kAllDwords) ASSERT_TRUE(isEither(s.*f, saved.*f, defaults.*f)) << "cut at " << cut;
        ASSERT_TRUE(isEither(s.Folder, saved.Folder, defaults.Folder)) << cut;
        ASSERT_TRUE(isEither(s.FilterExts, saved.FilterExts, defaults.FilterExts)) << cut;
        ASSERT_TRUE(isEither(s.M4ATag.Comment, saved.M4ATag.Comment, std::string())) << cut;
        ASSERT_TRUE(isEither(s.M4ATag.CustomTrackNum, saved.M4ATag.CustomTrackNum, 0)) << cut;
    }
}

TEST(ConversionSettings, FailedSaveLeavesStoreAndRecordAsTheyWere) {
    // A save into an unwritable folder must not damage the old store or the record, and must not crash.
    testsupport::TempDir dir;
    const std::string folder = dir.File("wavelorn");
    const std::string path = folder + "/registry.reg";
    ConversionSettings before(kDocs);
    before.MP3BitRate = 320;
    before.MP3Tag.Title = "old";
    {
        FileUserStore store(path);
        before.SaveSettings(store, SaveOnExit | SaveFolder | SaveOptions);
    }
    const auto oldBytes = testsupport::ReadBytes(path);

    const ConversionSettings changed = EveryFieldChanged();
    const int rc = testsupport::RunWithReadOnlyFolder(folder, [&] {
        FileUserStore store(path);
        const ConversionSettings copy = changed;
        copy.SaveSettings(store, SaveOnExit | SaveFolder | SaveOptions);
        if (!(copy == changed)) return 1;
        ConversionSettings reloaded(kDocs);
        reloaded.LoadSettings(store);
        return reloaded == before ? 0 : 2;
    });
    if (rc < 0) GTEST_SKIP() << "mount namespaces are not permitted here";
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(testsupport::ReadBytes(path), oldBytes);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++entries;
    EXPECT_EQ(entries, 1) << "no temporary file left behind";
}

TEST(ConversionSettings, OptionsAndTemplatesReachTheStoreInOneWrite) {
    // Written key by key, a save failing after the options would leave templates of another save.
    testsupport::TempDir dir;
    const std::string folder = dir.File("wavelorn");
    std::filesystem::create_directories(folder);
    const int watch = ::inotify_init1(IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    // Identical consecutive events merge into one: the differing temporary names keep them apart.
    ASSERT_GE(::inotify_add_watch(watch, folder.c_str(), IN_MOVED_FROM | IN_MOVED_TO), 0);
    FileUserStore store(folder + "/registry.reg");
    const ConversionSettings saved = EveryFieldChanged();
    ASSERT_TRUE(saved.SaveSettings(store, SaveOnExit | SaveFolder | SaveOptions));

    int renames = 0;
    alignas(inotify_event) char events[4096];
    for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(events + at);
            renames += (e->mask & IN_MOVED_TO) != 0;
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
    ::close(watch);
    EXPECT_EQ(renames, 1);
    ConversionSettings loaded(kDocs);
    loaded.LoadSettings(store);
    EXPECT_EQ(loaded, saved);
}

TEST(ConversionSettings, TwoProgramsSavingDifferentValuesKeepBoth) {
    // Each program rewrote the whole group from what it had loaded, undoing the other's change.
    struct Case {
        const char* name;
        unsigned groups;
        void (*first)(ConversionSettings&);   // the program that saves first
        void (*second)(ConversionSettings&);  // loaded before that save, saves after it
        bool (*bothKept)(const ConversionSettings&);
    };
    const Case cases[] = {
        {"Options", SaveOptions, [](S& s) { s.MP3BitRate = 192; }, [](S& s) { s.OGGBitRate = 64; },
         [](const S& s) { return s.MP3BitRate == 192 && s.OGGBitRate == 64; }},
        {"TemplateFields", SaveOptions, [](S& s) { s.MP3Tag.Artist = "A"; },
         [](S& s) { s.MP3Tag.Album = "B"; },
         [](const S& s) { return s.MP3Tag.Artist == "A" && s.MP3Tag.Album == "B"; }},
        // The command line's --save while the window is open; the window saves on exit.
        {"ExitSave", SaveOnExit, [](S& s) { s.OutputFormat = 2000; }, [](S& s) { s.OptStartPageIndex = 3; },
         [](const S& s) { return s.OutputFormat == 2000 && s.OptStartPageIndex == 3; }},
    };
    for (const auto& c : cases) {
        testsupport::TempDir dir;
        FileUserStore store(dir.File("wavelorn/registry.reg"));
        ASSERT_TRUE(ConversionSettings(kDocs).SaveSettings(store, SaveOnExit | SaveOptions));
        ConversionSettings first(kDocs), second(kDocs), loaded(kDocs);
        first.LoadSettings(store);
        second.LoadSettings(store);
        c.first(first);
        c.second(second);
        ASSERT_TRUE(first.SaveSettings(store, c.groups));
        ASSERT_TRUE(second.SaveSettings(store, c.groups));
        loaded.LoadSettings(store);
        EXPECT_TRUE(c.bothKept(loaded)) << c.name;
    }
}

TEST(ConversionSettings, ValueChangedBackAfterASaveIsSavedAgain) {
    // Once saved, the new value is what the store holds: returning to the loaded value is a change.
    testsupport::TempDir dir;
    FileUserStore store(dir.File("wavelorn/registry.reg"));
    ConversionSettings s(kDocs), loaded(kDocs);
    s.LoadSettings(store);
    s.MP3BitRate = 192;
    ASSERT_TRUE(s.SaveSettings(store, SaveOptions));
    s.MP3BitRate = 128;
    ASSERT_TRUE(s.SaveSettings(store, SaveOptions));
    loaded.LoadSettings(store);
    EXPECT_EQ(loaded.MP3BitRate, 128);
}

TEST(TagTemplate, TextsUnderTwoBytesAreEmptyAndMissingNumbersKeepTheirValue) {
    // A one-byte (lone zero) or hand-emptied text must load as empty, not as garbage past the buffer.
    MemoryUserStore store;
    store.Data().Merge(kOptionsKey + "\\OGGTag",
                       {{"Title", {kRegSz, std::string(1, '\0')}},
                        {"Artist", {kRegSz, "A"}},
                        {"Album", {kRegSz, "no zero"}},
                        {"Genre", {kRegSz, std::string("Rock\0junk\0", 10)}},
                        {"TrackNumType", {kRegDword, std::string("\x01\0\0\0", 4)}}});
    TagTemplate t;
    t.Title = "x";
    t.Artist = "x";
    t.Year = "x";
    t.CustomTrackNum = 42;
    EXPECT_EQ(LoadTagTemplate(store, t, "OGG"), 1);
    EXPECT_EQ(t.Title, "");
    EXPECT_EQ(t.Artist, "");
    EXPECT_EQ(t.Album, "no zero");
    EXPECT_EQ(t.Genre, "Rock");
    EXPECT_EQ(t.Year, "");
    EXPECT_EQ(t.TrackNumType, 1);
    EXPECT_EQ(t.CustomTrackNum, 42);
    EXPECT_EQ(t.TitleAsFileName, 1);

    TagTemplate untouched = t;
    EXPECT_EQ(LoadTagTemplate(store, untouched, "MP3"), 0);
    EXPECT_EQ(untouched, t);
}

TEST(TagTemplate, TrackNumberOutsideAByteKeepsItsDefault) {
    // Tag writers take the track as one byte: a stored 300 would be written as 300 or as 44.
    MemoryUserStore store;
    store.Data().Merge(kOptionsKey + "\\MP3Tag",
                       {{"CustomTrackNum", {kRegDword, std::string("\x2c\x01\0\0", 4)}},
                        {"TrackNumType", {kRegDword, std::string("\x02\0\0\0", 4)}}});
    TagTemplate t;
    EXPECT_EQ(LoadTagTemplate(store, t, "MP3"), 1);
    EXPECT_EQ(t.CustomTrackNum, 0);
    EXPECT_EQ(t.TrackNumType, 2);
}

TEST(TagTemplate, GenreListHasTheId3v1Numbering) {
    // Tag writers map genre names to ID3v1 numbers by position; a shifted entry writes the wrong genre.
    EXPECT_STREQ(kGenreNames[0], "Blues");
    EXPECT_STREQ(kGenreNames[17], "Rock");
    EXPECT_STREQ(kGenreNames[79], "Hard Rock");
    EXPECT_STREQ(kGenreNames[147], "Synthpop");
    EXPECT_EQ(std::set<std::string>(kGenreNames.begin(), kGenreNames.end()).size(), 148u);
}

}  // namespace
