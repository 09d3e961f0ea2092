#pragma once

// Every text the Options sheet, its pages and the tag dialog show, in one place.

// The sheet (the page captions stand in its page list)
inline constexpr char kSheetCaption[] = "Options";
inline constexpr char kDialogFont[] = "Tahoma";
inline constexpr int kDialogFontPixels = 11;

// General page
inline constexpr char kGeneralHeading[] = "General";
inline constexpr char kMonoIntro[] =
    "When converting to audio format, e.g. MP3, WAV, WMA, etc., if output channel is mono and original file "
    "is "
    "stereo, output sound equals to:";
inline constexpr char kMonoMix[] = "(L+R) / &2";
inline constexpr char kMonoLeft[] = "&L channel";
inline constexpr char kMonoRight[] = "&R channel";
inline constexpr char kMonoHelpButton[] = "?";
inline constexpr char kMonoHelp[] =
    "In general, the output sound equals to \"(L+R)/2,\" which contains left and right channels.\n\n\"L "
    "channel\" means the program outputs left channel of original stereo file. And \"R channel\" means right "
    "channel. It's very useful when you want to convert a stereo file into two files that contains left and "
    "right channels distinguishingly.";
inline constexpr char kFilterCheck[] =
    "O&nly add the following file extensions for \"Add Folder\" and Drag/Drop";
inline constexpr char kFilterNote[] =
    "Note: use comma (,) to separate multiple extensions. For example: wav,mp3,m4a,aac";
inline constexpr char kDitherCheck[] = "&Dither when reducing to 16 or 8 bits";
inline constexpr char kMp3InfoFrameCheck[] = "Gapless (LAME &info frame)";
inline constexpr char kVerifyCheck[] = "Ver&ify outputs";
inline constexpr char kStrictCheck[] = "Fail damaged &sources";
inline constexpr char kLegacyResamplerCheck[] = "Resample with the earlier, &16-bit resampler (libresample)";
inline constexpr char kFilesAtOnceLabel[] = "Files con&verted at once:";
inline constexpr char kFilesAtOnceAuto[] = "Auto";
inline constexpr char kOutputHeading[] = "Output";
inline constexpr char kOutputFolderLabel[] = "&Output folder:";
inline constexpr char kSameFolder[] = "Same as original file";
inline constexpr char kCustomFolder[] = "A custom folder";
inline constexpr char kCustomFolderLabel[] = "Custom &folder:";
inline constexpr char kBrowseButton[] = "Bro&wse";
inline constexpr char kOpenButton[] = "O&pen";
inline constexpr char kCreateDirsCheck[] = "&Create folders according to path of original file";
inline constexpr char kCreateDirsExample[] =
    "For example: original file is \"/home/me/Music/pop/1.mp3\" and output folder is \"/media/Output.\" If "
    "the option is checked, the output folder will be \"/media/Output/home/me/Music/pop.\"";
inline constexpr char kTargetExistsLabel[] = "If target file &exists ";
inline constexpr char kTargetRename[] = "Auto rename (add number at end of file name)";
inline constexpr char kTargetOverwrite[] = "Overwrite";
inline constexpr char kTargetSkip[] = "Skip (not convert)";
inline constexpr char kTargetUpdate[] = "Update (convert when older)";
inline constexpr char kMyDocumentsCheck[] = "Output files to &Documents if creating file failure";
inline constexpr char kBrowseOutputCheck[] = "&Browse output folder when conversion completes";
inline constexpr char kBrowseTitle[] = "Please choose an output folder:";
inline constexpr char kFolderMissing[] =
    "The folder \"%1\" doesn't exist yet.\n\nNote: the program will create the folder automatically when "
    "converting files.";
inline constexpr char kNeedFolder[] = "Please choose an output folder.";
inline constexpr char kNeedExtensions[] = "Please enter file extensions you need to filter.";

// Shared groups of the format pages
inline constexpr char kSoundHeading[] = "Sound";
inline constexpr char kAmplifyCheck[] = "&Amplify / Reduce sound";
inline constexpr char kCoefficientLabel[] = "&Coefficient:";
inline constexpr char kPercent[] = "%";
inline constexpr char kAmplifyNote[] = "< 100% - Reduce sound\n= 100% - No changes\n> 100% - Amplify sound";
inline constexpr char kBadCoefficient[] = "Invalid amplification coefficient. It's betwen 10 and 3000.";
inline constexpr char kTagHeading[] = "ID3 tag";
inline constexpr char kTagAdd[] = "Add &ID3 tag";
inline constexpr char kTagTransfer[] = "T&ransfer ID3 tag from source file";
inline constexpr char kTagNone[] = "&None";
inline constexpr char kTagEdit[] = "Edit ID3 &tag";
inline constexpr char kMp4TagTransfer[] = "Trans&fer ID3 tag from source file";
inline constexpr char kMp4TagNone[] = "Non&e";
inline constexpr char kMp4TagEdit[] = "E&dit ID3 tag";

// Preset pages
inline constexpr char kPresetLabel[] = "&Encoding Options:";
inline constexpr char kRateLabel[] = "Sample &Frequency:";
inline constexpr char kBitRateLabel[] = "&Bit Rate:";
inline constexpr char kBitsLabel[] = "&Bits:";
inline constexpr char kChannelsLabel[] = "Channels:";
inline constexpr char kAuto[] = "Auto";
inline constexpr char kCustom[] = "Custom";
inline constexpr char kSameAsSource[] = "Same as original file";
inline constexpr char kHzEntry[] = "%1 Hz";
inline constexpr char kKbpsEntry[] = "%1 kbps";
inline constexpr char kJointStereo[] = "&Joint Stereo";
inline constexpr char kStereo[] = "&Stereo";
inline constexpr char kMono[] = "&Mono";
inline constexpr char kSameChannels[] = "Same as &original file";

inline constexpr const char* kMp3Presets[] = {
    "Auto",
    "11025 Hz, 16 kbps, Mono (low quality, smaller file size)",
    "22050 Hz, 32 kbps, Joint Stereo (OK quality, small size)",
    "32000 Hz, 96 kbps, Joint Stereo (medium quality, normal size)",
    "44100Hz, 128 kbps, Joint Stereo (close to CD-quality, large size)",
    "Custom",
};
inline constexpr char kJointStereoLink[] = "Joint Stereo vs. Stereo";
inline constexpr char kLameLink[] = "The program uses LAME MP3 encoder.";
inline constexpr char kJointStereoAddress[] = "https://en.wikipedia.org/wiki/Joint_encoding";
inline constexpr char kLameAddress[] = "https://lame.sourceforge.io/";
inline constexpr char kId3VersionLabel[] = "Write ID3 tag as:";
inline constexpr char kId3v1[] = "ID3v&1";
inline constexpr char kId3v2[] = "ID3v&2";
inline constexpr char kId3Both[] = "I&D3v1 && ID3v2";

inline constexpr const char* kWavPresets[] = {
    "Auto",
    "11025 Hz, 8 bits, Mono (low quality, smaller file size)",
    "22050 Hz, 16 bits, Stereo (OK quality, small size)",
    "32000 Hz, 16 bits, Stereo (medium quality, normal size)",
    "44100Hz, 16 bits, Stereo (high quality, large size)",
    "Custom",
};
inline constexpr char kBitsEntry[] = "%1 bits";
inline constexpr char kFloatBitsEntry[] = "32 bits float";

inline constexpr const char* kOggPresets[] = {
    "Auto",
    "11025 Hz, 16 kbps, Mono (low quality, smaller size)",
    "22050 Hz, 32 kbps, Stereo (OK quality, small size)",
    "32000 Hz, 96 kbps, Stereo (medium quality, normal size)",
    "44100Hz, 128 kbps, Stereo (close to CD-quality, large size)",
    "Custom",
};

// FLAC page
inline constexpr char kFlacLevelLabel[] = "Compression &level:";
inline constexpr const char* kFlacLevels[] = {"0 (fastest)",      "1", "2", "3", "4", "5 (default)", "6", "7",
                                              "8 (smallest file)"};
inline constexpr char kFlacSameBits[] = "Same as original file (up to 24 bits)";
inline constexpr char kChannelsListLabel[] = "C&hannels:";
inline constexpr char kMonoEntry[] = "Mono";

// Opus page
inline constexpr char kOpusAutoBitRate[] = "Auto (128 kbps stereo, 64 kbps mono)";
inline constexpr char kOpusModeLabel[] = "Bit rate &mode:";
inline constexpr const char* kOpusModes[] = {"VBR (variable)", "Constrained VBR", "CBR (constant)"};
inline constexpr char kOpusComplexityLabel[] = "Com&plexity:";
inline constexpr char kOpusComplexityBest[] = "10 (best, slowest)";
inline constexpr char kOpusSignalLabel[] = "Si&gnal:";
inline constexpr const char* kOpusSignals[] = {"Auto", "Music", "Voice"};
inline constexpr char kOpusRateNote[] = "Opus always codes at 48000 Hz; other sample rates are converted.";

// WMA page
inline constexpr char kWmaFormatLabel[] = "&Encoding Options: (Sample Frequency, Bit Rate, Channels)";
inline constexpr char kWmaEntry[] = "%1 Hz, %2 kbps, %3";
inline constexpr char kMonoName[] = "Mono";
inline constexpr char kStereoName[] = "Stereo";

// AMR/AWB page
inline constexpr char kAmrNb[] = "NB (Narrow Band, 8000 Hz)";
inline constexpr char kAmrWb[] = "WB (Wide Band, 16000 Hz)";
inline constexpr const char* kAmrNbModes[] = {"4.75 kbps", "5.15kbps",  "5.9 kbps",  "6.7 kbps",
                                              "7.4 kbps",  "7.95 kbps", "10.2 kbps", "12.2 kbps"};
inline constexpr const char* kAmrWbModes[] = {"6.60 kbps",  "8.85 kbps",  "12.65 kbps",
                                              "14.25 kbps", "15.85 kbps", "18.25 kbps",
                                              "19.85 kbps", "23.05 kbps", "23.85 kbps"};
inline constexpr char kDtxCheck[] = "&Enable DTX (Discontinuous Transmission)";
inline constexpr char kAwbHeading[] = "AWB Encoding Parameters";
inline constexpr char kAwbRate[] = "Sample Frequency: 16000 Hz";

// AAC and MP4 pages
inline constexpr char kAacAuto[] = "A&uto (let the program choose the best parameters)";
inline constexpr char kAbr[] = "Average &Bit Rate (ABR)";
inline constexpr char kVbr[] = "&Variable Bit Rate (VBR)";
inline constexpr char kAacBitRateLabel[] = "Bit &Rate:";
inline constexpr char kQualityLabel[] = "&Quality:";
inline constexpr char kQualityNote[] = "(Default: 100. From 10 to 500)";
inline constexpr char kAdvancedHeading[] = "Advanced Options";
inline constexpr char kTnsCheck[] = "Use &Temporal Noise Shaping (TNS)";
inline constexpr char kMidSideCheck[] = "Allow &Mid/Side";
inline constexpr char kMpegVersionLabel[] = "MPEG Version:";
inline constexpr char kMpeg4[] = "MPEG&4";
inline constexpr char kMpeg2[] = "MPEG&2";
inline constexpr char kBlockTypeLabel[] = "Block Type:";
inline constexpr char kBlockBoth[] = "B&oth long and short";
inline constexpr char kBlockNoShort[] = "No &short";
inline constexpr char kBlockNoLong[] = "&No long";
inline constexpr char kResetButton[] = "Reset";
inline constexpr char kBadQuality[] = "Invalid quality value. It's betwen 10 and 500.";

// Edit ID3 Tag dialog
inline constexpr char kTagDialogCaption[] = "Edit ID3 Tag";
inline constexpr char kTrackLabel[] = "&Track #:";
inline constexpr char kTrackNone[] = "&None";
inline constexpr char kTrackSequence[] = "&Sequence number in list";
inline constexpr char kTrackCustom[] = "C&ustom";
inline constexpr char kTitleLabel[] = "T&itle:";
inline constexpr char kTitleAsFileName[] = "Nam&e as file name (not include extension)";
inline constexpr char kArtistLabel[] = "&Artist:";
inline constexpr char kAlbumLabel[] = "Albu&m:";
inline constexpr char kYearLabel[] = "&Year:";
inline constexpr char kGenreLabel[] = "&Genre:";
inline constexpr char kCommentLabel[] = "&Comment:";
inline constexpr char kComposerLabel[] = "C&omposer:";
inline constexpr char kCopyrightLabel[] = "Co&pyright:";
inline constexpr char kNeedInteger[] = "Please enter an integer.";
inline constexpr char kNeedTrackNumber[] = "Please enter an integer between 0 and 255.";

// Loudness page
inline constexpr char kLoudnessHeading[] = "Loudness (EBU R128)";
inline constexpr char kReplayGainLabel[] = "Write &ReplayGain tags:";
inline constexpr char kNormalizeLabel[] = "&Normalise:";
inline constexpr char kLoudnessOff[] = "Off";
inline constexpr char kLoudnessTrack[] = "Track";
inline constexpr char kLoudnessAlbum[] = "Album";
inline constexpr char kNormalizeTargetLabel[] = "&Target loudness (LUFS):";
inline constexpr char kLoudnessNote[] =
    "ReplayGain 2.0 values (reference -18 LUFS) go into MP3, OGG, WMA, MP4/M4A/M4B, FLAC and Opus files; "
    "WAV, AAC (ADTS) and AMR/AWB files carry none. Album values cover the files of one album: the same album "
    "and "
    "album artist, or the same folder when the album tag is empty.";
inline constexpr char kNormalizeNote[] =
    "Normalising reads each source twice (once to measure it) and lowers the gain where needed so that "
    "the true peak stays at or below -1 dBTP. Album keeps the tracks' relative levels.";

// Tags and Library page
inline constexpr char kTagsHeading[] = "Tags and pictures";
inline constexpr char kTransferAllTagsLabel[] = "Carry &every tag and picture of the source";
inline constexpr char kFolderCoverArtLabel[] =
    "Use the &folder's cover, folder or front picture when the source has none";
inline constexpr char kMaxPictureSizeLabel[] = "&Largest picture (pixels):";
inline constexpr char kNoPictureLimit[] = "No limit";
inline constexpr char kId3v2VersionLabel[] = "&ID3v2 version of MP3 files:";
inline constexpr char kId3v23[] = "2.3 (most players)";
inline constexpr char kId3v24[] = "2.4";
inline constexpr char kWavId3ChunkLabel[] = "Also an ID3v2 chunk in &WAV files";
inline constexpr char kLibraryHeading[] = "Repeated runs over a library";
inline constexpr char kSourceTimeLabel[] = "Outputs take the source's &modification time:";
inline constexpr char kSourceTimeNever[] = "Never";
inline constexpr char kSourceTimeAlways[] = "Always";
inline constexpr char kSourceTimeUpdating[] = "When updating";
inline constexpr char kWritePlaylistsLabel[] = "Write an M3U8 &playlist in each output folder";
inline constexpr char kCopySameFormatLabel[] =
    "&Copy sources already in the output format instead of encoding them";
