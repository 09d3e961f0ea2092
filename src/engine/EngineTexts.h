#pragma once

/// Caption of every message the program shows.
inline constexpr char kMessageCaption[] = "Wavelorn";

/// Where users send files that no reader could open.
inline constexpr char kSupportAddress[] = "support@wavelorn.org";

/// Left in FailureDetail when no reader opens a file being converted.
inline constexpr char kSupportHint[] =
    "no decoder can read this file; please forward it to <support@wavelorn.org> so that we can add support "
    "for it";

inline constexpr char kWmfRuntimeQuestion[] =
    "Dear user, WMA file requires Windows Media Format 9 Series Runtime.\nUnfortunately, the component isn't "
    "available on your computer.\n\nDo you want to download and install it now?";

/// The WMA codecs come with FFmpeg's libraries, so that is where the user gets them.
inline constexpr char kWmfRuntimeDownloadAddress[] = "https://ffmpeg.org/download.html";

/// Notes left in FailureDetail when adding a file that no reader opens.
inline constexpr char kCdTrackNote[] =
    "IMPORTANT: please DO NOT add CDA file from hard drive, but add CDA file from CD drive.";
inline constexpr char kFlashNote[] =
    "SWF and FLV files are Flash movies; please extract their sound with a separate video converter program "
    "first.";

/// Left in FailureDetail for a FIFO, socket, device or folder given as a source.
inline constexpr char kNotRegularFile[] = "not a regular file";

/// A source whose decoder skipped or concealed damaged frames; the count is %lld.
inline constexpr char kDamagedFramesNote[] = "%lld damaged frame(s) of the source skipped or concealed";
inline constexpr char kMissingFramesNote[] =
    "the source ends %lld frame(s) before the length its header announces";
/// Why an output that failed its check after writing was not kept; %s says what was wrong.
inline constexpr char kVerifyFailedReason[] = "the output failed verification: %s";

// Progress window lines.
inline constexpr char kConvertingFileText[] = "Converting %s...";
inline constexpr char kMeasuringFileText[] = "Measuring the loudness of %s...";
/// A converted file of an album whose album values could not be added; it keeps its track values.
inline constexpr char kAlbumTagsFailed[] = "the album's ReplayGain tags could not be written";
inline constexpr char kConvertingPercentText[] = "Converting %s...%d%%";
inline constexpr char kConvertingBatchText[] = "Converting %d of %d file(s) to %s...";

// Status texts of the file list.
inline constexpr char kStatusConverting[] = "Converting...";
inline constexpr char kStatusFailure[] = "Conversion Failure";
inline constexpr char kStatusNeedsSoundFont[] = "Failure. Requires file \"ct4mgm.sf2\".";
inline constexpr char kStatusCancelled[] = "Cancelled";
inline constexpr char kStatusTargetSkipped[] = "Target exists and skipped";
inline constexpr char kSourceOverwriteRefused[] =
    "The output of \"%s\" would replace a source of this batch, so nothing was converted. Choose an output "
    "folder, or rename or skip existing files.";

/// Asked when a batch holds MIDI files and the SoundFont is missing; %s is the program's folder.
inline constexpr char kSoundFontQuestion[] =
    "Dear user, to decode MIDI file, file \"ct4mgm.sf2\" is required.\nUnfortunately, the file isn't "
    "available on your computer.\n\nDo you want to download the file from our website for free now?\n\n"
    "Once download completes, please copy the file to folder:\n\"%s\"\nAnd then convert your MIDI file "
    "again. Thank you.";
inline constexpr char kSoundFontDownloadAddress[] = "https://wavelorn.org/download/ct4mgm.sf2";

/// FailureDetail for a source whose header announces audio that the file does not hold.
inline constexpr char kNoSoundHeld[] = "the file holds none of the audio its header announces";

/// FailureDetail for an output format whose routine this build does not have.
inline constexpr char kFormatUnavailable[] = "this output format is not available in this version";
