#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "settings/TagTemplate.h"

class UserStore;

/// Groups of values that SaveSettings writes; combine with |.
enum SaveGroup : unsigned {
    SaveOnExit = 1,   // OutputFormat, OptStartPageIndex
    SaveFolder = 2,   // Folder
    SaveOptions = 4,  // everything the Options sheet edits, with the four tag templates
};

/// Every user option. Persisted fields carry the names of their stored values; integers are stored
/// as 32-bit DWORDs used as signed numbers, texts in the system code page.
class ConversionSettings {
public:
    static constexpr const char* kOptionsKey = "Software\\Quillmark\\Wavelorn\\Options";
    static constexpr std::size_t kMaxFolderChars = 259;  // "Folder" and "DestSpecifiedFolder"

    /// Defaults, with output into the user's documents folder. Touches no disk: a front end that
    /// wants the folder made passes DocumentsFolder(true) to the other constructor.
    ConversionSettings();
    /// Defaults with a given documents folder; "" means it is unknown.
    explicit ConversionSettings(const std::string& documentsFolder);

    /// Fills the record from the store; without an options key everything keeps its default.
    void LoadSettings(const UserStore& store);
    /// Writes the values of the given groups that changed since the record was loaded or last saved
    /// (every value of the groups when it was never loaded); changes no option in memory. false when
    /// the store could not be written (each failed write leaves the store as it was).
    bool SaveSettings(UserStore& store, unsigned groups) const;
    /// Recomputes FilterExtList from EnableExtFilter and FilterExts.
    void RebuildFilterList();

    bool operator==(const ConversionSettings&) const = default;

    /// The integer option stored under the value name `name`, or null when there is none.
    std::int32_t* IntOption(const std::string& name);
    /// The text option stored under `name` ("Folder", "DestSpecifiedFolder", "FilterExts"), or null.
    std::string* TextOption(const std::string& name);
    /// Applies to the option `name` the correction that loading it from the store would make.
    void CheckOption(const std::string& name);
    /// Every stored option name, in save order.
    static std::vector<std::string> OptionNames();

    // General and output
    std::int32_t OutputFormat = 1000;
    std::int32_t OptStartPageIndex = 0;
    std::string Folder;
    std::int32_t DestOutputFolderOpt = 399;  // 199 beside the source, 399 into DestSpecifiedFolder
    std::string DestSpecifiedFolder;
    std::int32_t CreateDirs = 0;
    std::int32_t BrowseOutputFolder = 1;
    std::int32_t OutputFiles2MyDocuments = 1;
    std::int32_t TargetExistsOpt = 11;  // 11 rename, 22 overwrite, 33 skip, 44 update (when older)
    std::int32_t MonoType = 0;
    std::int32_t EnableExtFilter = 0;
    std::string FilterExts;

    // MP3
    std::int32_t AutoDestMP3EncodingParam = 1;
    std::int32_t MP3BitRate = 128;
    std::int32_t MP3SampleRate = 44100;
    std::int32_t MP3ChannelMode = 1;
    std::int32_t MP3ID3TagType = 1;
    std::int32_t MP3WriteID3Version = 1;
    std::int32_t AmplifyMp3 = 0;
    std::int32_t AmplifyMp3Coeff = 100;

    // WAV
    std::int32_t AutoDestWAVEncodingParam = 1;
    std::int32_t WAVSampleRate = 44100;
    std::int32_t WAVBitsPerSample = 16;  // 8, 16, 24, or 32 for 32-bit float
    std::int32_t WAVChannelNum = 2;
    std::int32_t AmplifyWav = 0;
    std::int32_t AmplifyWavCoeff = 100;

    // WMA
    std::int32_t AutoDestWMAEncodingParam = 1;
    std::int32_t WMABitRate = 128000;
    std::int32_t WMASampleRate = 44100;
    std::int32_t WMAChannels = 2;
    std::int32_t WMAID3TagType = 1;
    std::int32_t AmplifyWMA = 0;
    std::int32_t AmplifyWMACoeff = 100;

    // Ogg Vorbis
    std::int32_t AutoDestOGGEncodingParam = 1;
    std::int32_t OGGBitRate = 128;
    std::int32_t OGGSampleRate = 44100;
    std::int32_t OGGChannels = 2;
    std::int32_t OGGID3TagType = 1;
    std::int32_t AmplifyOGG = 0;
    std::int32_t AmplifyOGGCoeff = 100;

    // Raw AAC
    std::int32_t AutoDestAACEncodingParam = 1;
    std::int32_t AACVBR = 1;
    std::int32_t AACVBRQuality = 100;
    std::int32_t AACABRBitRate = 128;
    std::int32_t AACMpegVersion = 0;
    std::int32_t AACEnableTNS = 0;
    std::int32_t AACEnableMidside = 1;
    std::int32_t AACBlockType = 0;
    std::int32_t AmplifyAAC = 0;
    std::int32_t AmplifyAACCoef = 100;

    // MP4 family
    std::int32_t AutoDestM4AEncodingParam = 1;
    std::int32_t M4AVBR = 1;
    std::int32_t M4AVBRQuality = 100;
    std::int32_t M4AABRBitRate = 128;
    std::int32_t M4AEnableTNS = 0;
    std::int32_t M4AEnableMidside = 1;
    std::int32_t M4ABlockType = 0;
    std::int32_t AmplifyM4A = 0;
    std::int32_t AmplifyM4ACoef = 100;
    std::int32_t M4AID3TagType = 1;

    // AMR
    std::int32_t AMRType = 0;
    std::int32_t AMRMode = 6;
    std::int32_t AMRWBMode = 6;
    std::int32_t AMRDTX = 0;
    std::int32_t AWBMode = 6;
    std::int32_t AWBDTX = 0;
    std::int32_t AmplifyAMR = 0;
    std::int32_t AmplifyAMRCoef = 100;

    // Appended: stores written before these load with their defaults.
    std::int32_t FilesAtOnce = 0;  // files converting at once; 0: one per processor, else 1..32
    static constexpr std::int32_t kMaxFilesAtOnce = 32;

    std::int32_t Dither = 1;     // TPDF dither when reducing to 8 or 16 bits
    std::int32_t Resampler = 0;  // 0 libsoxr, 1 libresample (the earlier output, 16-bit chain)

    // FLAC
    std::int32_t FLACCompression = 5;    // libFLAC's levels 0..8
    std::int32_t FLACBitsPerSample = 0;  // 0: the source's, up to 24; else 16 or 24
    std::int32_t FLACSampleRate = 0;     // 0: the source's
    std::int32_t FLACChannels = 0;       // 0: the source's (up to two); 1: mono by MonoType
    std::int32_t FLACID3TagType = 1;
    std::int32_t AmplifyFLAC = 0;
    std::int32_t AmplifyFLACCoeff = 100;

    // Opus
    std::int32_t OpusBitRate = 0;      // kbit/s, 6..510; 0: 128 for two channels, 64 for one
    std::int32_t OpusRateControl = 0;  // 0 VBR, 1 constrained VBR, 2 CBR
    std::int32_t OpusComplexity = 10;  // 0..10
    std::int32_t OpusSignal = 0;       // 0 automatic, 1 music, 2 voice
    std::int32_t OpusChannels = 0;     // 0: the source's (up to two); 1: mono by MonoType
    std::int32_t OpusID3TagType = 1;
    std::int32_t AmplifyOpus = 0;
    std::int32_t AmplifyOpusCoeff = 100;
    // Loudness: 0 off, 1 per track, 2 per album as well (tags) or per album (normalising).
    std::int32_t ReplayGain = 0;         // ReplayGain tags in the formats that carry them
    std::int32_t Normalize = 0;          // a gain in the chain brings each track or album to the target
    std::int32_t NormalizeTarget = -18;  // LUFS, -31..-14
    std::int32_t MP3InfoFrame = 1;       // LAME info frame with delay, padding and length: gapless MP3
    std::int32_t VerifyOutputs = 0;      // decode every output before it takes its name
    std::int32_t StrictDecode = 0;       // a source with damaged frames fails instead of being noted
    // Tags beyond the nine texts: 0 gives exactly the earlier output.
    std::int32_t TransferAllTags = 1;  // every field and picture of the source travels
    std::int32_t FolderCoverArt = 1;   // cover/folder/front .jpg/.png beside a source without a picture
    std::int32_t MaxPictureSize = 0;   // longer side in pixels; larger pictures become a JPEG that fits
    static constexpr std::int32_t kMaxPictureSizeLimit = 10000;
    std::int32_t ID3v2Version = 3;  // 3 or 4
    std::int32_t WavId3Chunk = 0;   // WAV: an ID3v2 chunk beside the INFO list

    /// An output takes its source's modification time: 0 never, 1 always, 2 in update mode (44) only.
    std::int32_t OutputTakesSourceTime = 2;
    std::int32_t WritePlaylists = 0;  // 1: an M3U8 playlist of each output folder's files after a batch
    std::int32_t CopySameFormat = 0;  // 1: a source already in the output format is copied, not re-encoded

    TagTemplate MP3Tag;
    TagTemplate OGGTag;
    TagTemplate WMATag;
    TagTemplate M4ATag;
    TagTemplate FLACTag;
    TagTemplate OpusTag;

    /// Lower-cased extensions a folder search accepts; empty when the filter is off. Never stored.
    std::vector<std::string> FilterExtList;

private:
    /// The record as the store held it when last loaded or saved; null before the first load.
    /// Not part of the record's value.
    struct StoredCopy {
        std::shared_ptr<const ConversionSettings> record;
        bool operator==(const StoredCopy&) const { return true; }
    };
    void RememberStored(ConversionSettings stored) const;
    mutable StoredCopy m_stored;
};

/// A tag template's place in the settings; its stored subkey and its command-line prefix are the name
/// followed by "Tag" ("MP3Tag").
struct TagTemplateSlot {
    const char* name;
    TagTemplate ConversionSettings::*member;
};

/// Every tag template, in load and save order.
std::span<const TagTemplateSlot> TagTemplateSlots();

/// The AAC encoder options of one output family as members of the settings: raw AAC and the MP4
/// family each have a group, read by their encoders and edited by their pages.
struct AacOptionGroup {
    using Field = std::int32_t ConversionSettings::*;
    Field automatic;    // AutoDest...EncodingParam: libfaac's defaults, the rest ignored
    Field vbr;          // 1 quality governs, 0 average bit rate
    Field vbrQuality;   // 10..500
    Field abrBitRate;   // kbit/s, all channels together
    Field mpegVersion;  // 0 MPEG-4, 1 MPEG-2; null for the MP4 family, whose track is always MPEG-4
    Field tns;
    Field midSide;
    Field blockType;
};

inline constexpr AacOptionGroup kAacOptionGroup{&ConversionSettings::AutoDestAACEncodingParam,
                                                &ConversionSettings::AACVBR,
                                                &ConversionSettings::AACVBRQuality,
                                                &ConversionSettings::AACABRBitRate,
                                                &ConversionSettings::AACMpegVersion,
                                                &ConversionSettings::AACEnableTNS,
                                                &ConversionSettings::AACEnableMidside,
                                                &ConversionSettings::AACBlockType};
inline constexpr AacOptionGroup kM4aOptionGroup{&ConversionSettings::AutoDestM4AEncodingParam,
                                                &ConversionSettings::M4AVBR,
                                                &ConversionSettings::M4AVBRQuality,
                                                &ConversionSettings::M4AABRBitRate,
                                                nullptr,
                                                &ConversionSettings::M4AEnableTNS,
                                                &ConversionSettings::M4AEnableMidside,
                                                &ConversionSettings::M4ABlockType};
