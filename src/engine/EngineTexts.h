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
