#include "settings/ConversionSettings.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <cwctype>
#include <iterator>

#include "platform/UserFolders.h"
#include "platform/UserStore.h"
#include "settings/OptionRanges.h"
#include "settings/StoreValueReads.h"

namespace {

using Field = std::int32_t ConversionSettings::*;
using Check = std::int32_t (*)(std::int32_t);

struct DwordValue {
    const char* name;
    Field field;
    Check check = nullptr;  // correction applied right after loading
};

std::int32_t ClampCoefficient(std::int32_t v) {
    return std::clamp(v, 10, 3000);
}
std::int32_t Mp3ChannelMode(std::int32_t v) {
    return (v == 0 || v == 1 || v == 3 || v == 4) ? v : 1;
}
std::int32_t ZeroToTwoElseTwo(std::int32_t v) {
    return (v >= 0 && v <= 2) ? v : 2;
}
std::int32_t OneOrTwoElseTwo(std::int32_t v) {
    return (v == 1 || v == 2) ? v : 2;
}
std::int32_t ZeroOrOneElseOne(std::int32_t v) {
    return v == 0 ? 0 : 1;
}
std::int32_t ZeroOrOneElseZero(std::int32_t v) {
    return v == 1 ? 1 : 0;
}
std::int32_t OggBitRate(std::int32_t v) {
    return v > 1000 ? v / 1000 : v;
}

std::int32_t PictureSizeLimit(std::int32_t v) {
    return (v >= 0 && v <= ConversionSettings::kMaxPictureSizeLimit) ? v : 0;
}
std::int32_t Id3v2Version(std::int32_t v) {
    return v == 4 ? 4 : 3;
}

std::int32_t FilesAtOnceCount(std::int32_t v) {
    return (v >= 0 && v <= ConversionSettings::kMaxFilesAtOnce) ? v : 0;
}

using S = ConversionSettings;

// The general DWORDs between "DestSpecifiedFolder" and "FilterExts", in load and save order.
constexpr DwordValue kGeneralValues[] = {
    {"CreateDirs", &S::CreateDirs},
    {"BrowseOutputFolder", &S::BrowseOutputFolder},
    {"OutputFiles2MyDocuments", &S::OutputFiles2MyDocuments},
    {"TargetExistsOpt", &S::TargetExistsOpt},
    {"MonoType", &S::MonoType},
    {"EnableExtFilter", &S::EnableExtFilter},
};

// The format groups, in the order they are both loaded (after "OutputFormat") and saved.
constexpr DwordValue kFormatValues[] = {
    {"AutoDestMP3EncodingParam", &S::AutoDestMP3EncodingParam},
    {"MP3BitRate", &S::MP3BitRate},
    {"MP3SampleRate", &S::MP3SampleRate},
    {"MP3ChannelMode", &S::MP3ChannelMode, Mp3ChannelMode},

    {"AutoDestWAVEncodingParam", &S::AutoDestWAVEncodingParam},
    {"WAVBitsPerSample", &S::WAVBitsPerSample},
    {"WAVSampleRate", &S::WAVSampleRate},
    {"WAVChannelNum", &S::WAVChannelNum, ZeroToTwoElseTwo},

    {"AutoDestWMAEncodingParam", &S::AutoDestWMAEncodingParam},
    {"WMABitRate", &S::WMABitRate},
    {"WMASampleRate", &S::WMASampleRate},
    {"WMAChannels", &S::WMAChannels, OneOrTwoElseTwo},
    {"WMAID3TagType", &S::WMAID3TagType, ZeroToTwoElseTwo},
    {"AmplifyWMA", &S::AmplifyWMA},
    {"AmplifyWMACoeff", &S::AmplifyWMACoeff, ClampCoefficient},

    {"AutoDestOGGEncodingParam", &S::AutoDestOGGEncodingParam},
    {"OGGBitRate", &S::OGGBitRate, OggBitRate},
    {"OGGSampleRate", &S::OGGSampleRate},
    {"OGGChannels", &S::OGGChannels, ZeroToTwoElseTwo},
    {"OGGID3TagType", &S::OGGID3TagType},
    {"AmplifyOGG", &S::AmplifyOGG},
    {"AmplifyOGGCoeff", &S::AmplifyOGGCoeff, ClampCoefficient},

    {"AutoDestAACEncodingParam", &S::AutoDestAACEncodingParam},
    {"AACVBR", &S::AACVBR},
    {"AACVBRQuality", &S::AACVBRQuality},
    {"AACABRBitRate", &S::AACABRBitRate},
    {"AACMpegVersion", &S::AACMpegVersion},
    {"AACEnableTNS", &S::AACEnableTNS},
    {"AACEnableMidside", &S::AACEnableMidside},
    {"AACBlockType", &S::AACBlockType},
    {"AmplifyAAC", &S::AmplifyAAC},
    {"AmplifyAACCoef", &S::AmplifyAACCoef},

    {"AutoDestM4AEncodingParam", &S::AutoDestM4AEncodingParam},
    {"M4AVBR", &S::M4AVBR},
    {"M4AVBRQuality", &S::M4AVBRQuality},
    {"M4AABRBitRate", &S::M4AABRBitRate},
    {"M4AEnableTNS", &S::M4AEnableTNS},
    {"M4AEnableMidside", &S::M4AEnableMidside},
    {"M4ABlockType", &S::M4ABlockType},
    {"AmplifyM4A", &S::AmplifyM4A},
    {"AmplifyM4ACoef", &S::AmplifyM4ACoef},
    {"M4AID3TagType", &S::M4AID3TagType, ZeroToTwoElseTwo},

    {"AMRMode", &S::AMRMode},
    {"AMRWBMode", &S::AMRWBMode},
    {"AMRDTX", &S::AMRDTX},
    {"AMRType", &S::AMRType},
    {"AWBMode", &S::AWBMode},
    {"AWBDTX", &S::AWBDTX},
    {"AmplifyAMR", &S::AmplifyAMR},
    {"AmplifyAMRCoef", &S::AmplifyAMRCoef},

    {"MP3ID3TagType", &S::MP3ID3TagType},
    {"MP3WriteID3Version", &S::MP3WriteID3Version},
    {"AmplifyMp3", &S::AmplifyMp3},
    {"AmplifyMp3Coeff", &S::AmplifyMp3Coeff, ClampCoefficient},
    {"AmplifyWav", &S::AmplifyWav},
    {"AmplifyWavCoeff", &S::AmplifyWavCoeff, ClampCoefficient},
    {"Dither", &S::Dither, ZeroOrOneElseOne},
    {"Resampler", &S::Resampler, ZeroOrOneElseZero},
};

// Options added after the first stored record, after everything else in load and save order.
constexpr DwordValue kAppendedValues[] = {
    {"FilesAtOnce", &S::FilesAtOnce, FilesAtOnceCount},
    {"FLACCompression", &S::FLACCompression},
    {"FLACBitsPerSample", &S::FLACBitsPerSample},
    {"FLACSampleRate", &S::FLACSampleRate},
    {"FLACChannels", &S::FLACChannels},
    {"FLACID3TagType", &S::FLACID3TagType},
    {"AmplifyFLAC", &S::AmplifyFLAC},
    {"AmplifyFLACCoeff", &S::AmplifyFLACCoeff, ClampCoefficient},
    {"OpusBitRate", &S::OpusBitRate},
    {"OpusRateControl", &S::OpusRateControl},
    {"OpusComplexity", &S::OpusComplexity},
    {"OpusSignal", &S::OpusSignal},
    {"OpusChannels", &S::OpusChannels},
    {"OpusID3TagType", &S::OpusID3TagType},
    {"AmplifyOpus", &S::AmplifyOpus},
    {"AmplifyOpusCoeff", &S::AmplifyOpusCoeff, ClampCoefficient},
    {"ReplayGain", &S::ReplayGain},
    {"Normalize", &S::Normalize},
    {"NormalizeTarget", &S::NormalizeTarget},
    {"MP3InfoFrame", &S::MP3InfoFrame, ZeroOrOneElseOne},
    {"VerifyOutputs", &S::VerifyOutputs, ZeroOrOneElseZero},
    {"StrictDecode", &S::StrictDecode, ZeroOrOneElseZero},
    {"TransferAllTags", &S::TransferAllTags, ZeroOrOneElseOne},
    {"FolderCoverArt", &S::FolderCoverArt, ZeroOrOneElseOne},
    {"MaxPictureSize", &S::MaxPictureSize, PictureSizeLimit},
    {"ID3v2Version", &S::ID3v2Version, Id3v2Version},
    {"WavId3Chunk", &S::WavId3Chunk, ZeroOrOneElseZero},
    {"OutputTakesSourceTime", &S::OutputTakesSourceTime},
    {"WritePlaylists", &S::WritePlaylists},
    {"CopySameFormat", &S::CopySameFormat},
};

constexpr TagTemplateSlot kTemplates[] = {{"MP3", &S::MP3Tag}, {"OGG", &S::OGGTag},   {"WMA", &S::WMATag},
                                          {"M4A", &S::M4ATag}, {"FLAC", &S::FLACTag}, {"Opus", &S::OpusTag}};

void Load(S& s, const StoreKey& key, const DwordValue& v) {
    std::int32_t value = s.*v.field;
    ReadDwordInto(key, v.name, value);
    if (v.check) value = v.check(value);
    // A value no option page stores (a damaged or hand-edited store) leaves the default in place.
    if (OptionInRange(v.name, value)) s.*v.field = value;
}

void Save(const S& s, StoreKey& key, const DwordValue& v) {
    key.SetDword(v.name, static_cast<std::uint32_t>(s.*v.field));
}

// A folder text is read through a 260-byte buffer; a longer one is ignored.
void LoadFolderText(const StoreKey& key, const char* name, std::string& field) {
    std::string text;
    if (ReadTextInto(key, name, ConversionSettings::kMaxFolderChars + 1, text) &&
        text.size() <= ConversionSettings::kMaxFolderChars)
        field = text;
}

// Lower case character by character in the current locale; bytes that do not decode stay as they are.
std::string LowerText(const std::string& text) {
    std::string out;
    std::mbstate_t in{};
    std::size_t pos = 0;
    while (pos < text.size()) {
        wchar_t wc = 0;
        const std::size_t n = std::mbrtowc(&wc, text.data() + pos, text.size() - pos, &in);
        if (n == 0 || n > text.size() - pos) {  // embedded zero, invalid or cut-off sequence
            out += text[pos++];
            in = std::mbstate_t{};
            continue;
        }
        char buf[MB_LEN_MAX];
        std::mbstate_t st{};
        const std::size_t m =
            std::wcrtomb(buf, static_cast<wchar_t>(std::towlower(static_cast<wint_t>(wc))), &st);
        if (m == static_cast<std::size_t>(-1))
            out.append(text, pos, n);
        else
            out.append(buf, m);
        pos += n;
    }
    return out;
}

}  // namespace

std::span<const TagTemplateSlot> TagTemplateSlots() {
    return kTemplates;
}

ConversionSettings::ConversionSettings() : ConversionSettings(DocumentsFolder(false)) {}

ConversionSettings::ConversionSettings(const std::string& documentsFolder) {
    DestSpecifiedFolder = documentsFolder;
    DestOutputFolderOpt = documentsFolder.empty() ? 199 : 399;
}

void ConversionSettings::LoadSettings(const UserStore& store) {
    const auto key = store.OpenKey(kOptionsKey);
    if (!key) {  // first start: everything keeps its default
        RememberStored(*this);
        return;
    }
    {
        LoadFolderText(*key, "Folder", Folder);
        Load(*this, *key, {"DestOutputFolderOpt", &S::DestOutputFolderOpt});
        LoadFolderText(*key, "DestSpecifiedFolder", DestSpecifiedFolder);
        for (const auto& v : kGeneralValues) Load(*this, *key, v);
        if (const auto info = key->QueryValue("FilterExts"); info && info->size != 0)
            ReadTextInto(*key, "FilterExts", info->size + 1, FilterExts);
        RebuildFilterList();
        Load(*this, *key, {"OutputFormat", &S::OutputFormat});
        for (const auto& v : kFormatValues) Load(*this, *key, v);
        Load(*this, *key, {"OptStartPageIndex", &S::OptStartPageIndex});
        for (const auto& v : kAppendedValues) Load(*this, *key, v);
        key->Close();
    }
    for (const auto& [name, tmpl] : kTemplates) LoadTagTemplate(store, this->*tmpl, name);
    RememberStored(*this);
}

bool ConversionSettings::SaveSettings(UserStore& store, unsigned groups) const {
    if (!(groups & (SaveOnExit | SaveFolder | SaveOptions))) return true;
    // Only what changed since the store was read is written: the file is reread and merged under its
    // lock, so another program's save of other values in the meantime survives.
    const ConversionSettings* was = m_stored.record.get();
    const auto changed = [&](auto S::*field) { return !was || !(was->*field == this->*field); };
    // The options and the templates are one write: a failure leaves the store as it was.
    StoreBatch batch(store);
    const auto key = store.CreateKey(kOptionsKey);
    if (!key) return false;
    const auto put = [&](const DwordValue& v) {
        if (changed(v.field)) Save(*this, *key, v);
    };
    const auto putText = [&](const char* name, std::string S::*field) {
        if (changed(field)) key->SetString(name, this->*field);
    };
    if (groups & SaveOnExit) {
        put({"OutputFormat", &S::OutputFormat});
        put({"OptStartPageIndex", &S::OptStartPageIndex});
    }
    if (groups & SaveFolder) putText("Folder", &S::Folder);
    if (groups & SaveOptions) {
        put({"DestOutputFolderOpt", &S::DestOutputFolderOpt});
        putText("DestSpecifiedFolder", &S::DestSpecifiedFolder);
        for (const auto& v : kGeneralValues) put(v);
        putText("FilterExts", &S::FilterExts);
        for (const auto& v : kFormatValues) put(v);
        for (const auto& v : kAppendedValues) put(v);
    }
    if (!key->Close()) return false;  // the templates follow only an options key that was stored
    if (groups & SaveOptions)
        for (const auto& [name, tmpl] : kTemplates)
            if (changed(tmpl) && !SaveTagTemplate(store, this->*tmpl, name, was ? &(was->*tmpl) : nullptr))
                return false;
    if (!batch.Commit()) return false;
    if (was) {  // what was written is now what the store holds; the other groups stay as they were
        ConversionSettings now = *was;
        if (groups & SaveOnExit) {
            now.OutputFormat = OutputFormat;
            now.OptStartPageIndex = OptStartPageIndex;
        }
        if (groups & SaveFolder) now.Folder = Folder;
        if (groups & SaveOptions) {
            now.DestOutputFolderOpt = DestOutputFolderOpt;
            now.DestSpecifiedFolder = DestSpecifiedFolder;
            for (const auto& v : kGeneralValues) now.*v.field = this->*v.field;
            now.FilterExts = FilterExts;
            for (const auto& v : kFormatValues) now.*v.field = this->*v.field;
            for (const auto& [name, tmpl] : kTemplates) now.*tmpl = this->*tmpl;
        }
        RememberStored(std::move(now));
    }
    return true;
}

void ConversionSettings::RememberStored(ConversionSettings stored) const {
    stored.m_stored.record.reset();
    m_stored.record = std::make_shared<const ConversionSettings>(std::move(stored));
}

namespace {

// Every integer option, with its load check where it has one.
std::vector<DwordValue> AllDwordValues() {
    std::vector<DwordValue> all{{"OutputFormat", &S::OutputFormat},
                                {"OptStartPageIndex", &S::OptStartPageIndex},
                                {"DestOutputFolderOpt", &S::DestOutputFolderOpt}};
    all.insert(all.end(), std::begin(kGeneralValues), std::end(kGeneralValues));
    all.insert(all.end(), std::begin(kFormatValues), std::end(kFormatValues));
    all.insert(all.end(), std::begin(kAppendedValues), std::end(kAppendedValues));
    return all;
}

const DwordValue* FindDword(const std::string& name) {
    static const std::vector<DwordValue> all = AllDwordValues();
    for (const auto& v : all)
        if (name == v.name) return &v;
    return nullptr;
}

}  // namespace

std::int32_t* ConversionSettings::IntOption(const std::string& name) {
    const DwordValue* v = FindDword(name);
    return v ? &(this->*(v->field)) : nullptr;
}

std::string* ConversionSettings::TextOption(const std::string& name) {
    if (name == "Folder") return &Folder;
    if (name == "DestSpecifiedFolder") return &DestSpecifiedFolder;
    if (name == "FilterExts") return &FilterExts;
    return nullptr;
}

void ConversionSettings::CheckOption(const std::string& name) {
    if (const DwordValue* v = FindDword(name); v && v->check) this->*(v->field) = v->check(this->*(v->field));
    if (name == "FilterExts" || name == "EnableExtFilter") RebuildFilterList();
}

std::vector<std::string> ConversionSettings::OptionNames() {
    std::vector<std::string> names{"OutputFormat", "OptStartPageIndex", "Folder", "DestOutputFolderOpt",
                                   "DestSpecifiedFolder"};
    for (const auto& v : kGeneralValues) names.emplace_back(v.name);
    names.emplace_back("FilterExts");
    for (const auto& v : kFormatValues) names.emplace_back(v.name);
    for (const auto& v : kAppendedValues) names.emplace_back(v.name);
    return names;
}

void ConversionSettings::RebuildFilterList() {
    FilterExtList.clear();
    if (EnableExtFilter == 0 || FilterExts.empty()) return;
    const std::string lower = LowerText(FilterExts);
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = lower.find(',', start);
        FilterExtList.push_back(lower.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
}
