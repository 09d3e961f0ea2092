#pragma once
#include <array>

#include "engine/OutputFormats.h"

// Every text the window shows, in one place, so the tests can compare them with one table.

inline constexpr char kWindowTitle[] = "Wavelorn";
// The desktop notification of a long batch that ended while the window was in the background, and
// why the system is kept awake meanwhile.
inline constexpr char kBatchEndedSummary[] = "Conversion finished";
inline constexpr char kBatchEndedBody[] = "%d file(s) converted, %d failed.";
inline constexpr char kSleepInhibitReason[] = "Converting audio files";
inline constexpr char kHomepageAddress[] = "https://wavelorn.org/";
inline constexpr char kHomepageLinkText[] = "wavelorn.org";
inline constexpr char kHomepageTooltip[] = "Visit %s Homepage";
inline constexpr char kHelpFileName[] = "wavelorn.html";
inline constexpr char kAboutText[] =
    "Wavelorn %s\n\nA batch audio converter.\n\nwavelorn.org";  // the version
// The desktop entry's name without ".desktop", and the application ID of the window.
inline constexpr char kDesktopId[] = "org.wavelorn.Wavelorn";

// Messages.
inline constexpr char kSelectAtLeastOne[] = "You should select a file at least.";
inline constexpr char kListIsEmpty[] = "There aren't files in list.";
inline constexpr char kLoadFailed[] = "Failed to load the following files.\n\n%s";
inline constexpr char kMoreFiles[] = "<more files>...\n";
inline constexpr char kForwardFailures[] = "\nTo get help, please forward the failure files to ";
inline constexpr char kChooseFolder[] = "Please choose a folder:";
inline constexpr char kNoPlayer[] =
    "No player is set up for \"%s\".\n\nChoose a default application for this type of file in the "
    "desktop's settings.";
inline constexpr char kNoFileManager[] =
    "No file manager is set up to show \"%s\".\n\nChoose a default file manager in the desktop's settings.";
inline constexpr char kNoBrowser[] = "No web browser is set up to open %s.";
inline constexpr char kCannotOpen[] = "\"%s\" could not be opened.";

// Progress windows.
inline constexpr char kSearchingFiles[] = "Searching files...";
inline constexpr char kAddingFile[] = "Adding file %d of %d...";
inline constexpr char kCancel[] = "Cancel";

// Buttons and their tooltips.
inline constexpr char kAddFilesButton[] = "&Add Files";
inline constexpr char kAddFilesTip[] = "Add files";
inline constexpr char kAddFolderButton[] = "Add &Folder";
inline constexpr char kAddFolderTip[] = "Add files from a folder";
inline constexpr char kRemoveAllButton[] = "Remove A&ll";
inline constexpr char kRemoveAllTip[] = "Remove all files in list";
inline constexpr char kConvertButton[] = "&Convert";
inline constexpr char kConvertTip[] = "Convert all files";
inline constexpr char kOptionsButton[] = "&Options";
inline constexpr char kOptionsTip[] = "Options";
inline constexpr char kFormatTip[] = "Output format";
inline constexpr char kHelpTip[] = "Help";
inline constexpr char kMinimizeTip[] = "Minimize";
inline constexpr char kCloseTip[] = "Close";
inline constexpr char kFileListName[] = "File list";
inline constexpr char kEmptyListHint[] = "Drop audio files or folders here, or use Add Files";
inline constexpr char kHelpWindowTitle[] = "Wavelorn Help";

// Context menu of the file list.
inline constexpr char kPlaySource[] = "&Play Source";
inline constexpr char kPlayDestination[] = "Play &Destination";
inline constexpr char kConvertSelected[] = "&Convert Selected";
inline constexpr char kConvertAll[] = "Convert All";
inline constexpr char kBrowseSource[] = "Browse &Source Folder";
inline constexpr char kBrowseDestination[] = "Browse Destination &Folder";
inline constexpr char kAddFilesItem[] = "&Add Files...\tCtrl+O";
inline constexpr char kAddFolderItem[] = "Add F&older";
inline constexpr char kRemoveItem[] = "&Remove\tDel";
inline constexpr char kRemoveAllItem[] = "Remove Al&l";

// Help menu.
inline constexpr char kHelpTopics[] = "&Help Topics\tF1";
inline constexpr char kHomepageItem[] = "Home&page";
inline constexpr char kAboutItem[] = "&About...";

/// Column headers of the file list, in column order.
inline constexpr std::array<const char*, 6> kColumnHeaders = {"File",  "Duration", "Bit Rate",
                                                              "Freq.", "Channels", "Status"};

/// The open-file dialog's filters, in order; the first is chosen at first.
inline constexpr std::array<const char*, 50> kOpenFileFilters = {
    "All Files (*.*)",
    "3GPP Files (*.3gp;*.3gpp)",
    "3GPP2 Files (*.3g2;*.3gp2)",
    "Adobe Flash Files (*.swf)",
    "Advanced Audio Coding (*.aac)",
    "AIFF Files (*.aiff;*.aif;*.aifc;*.afc)",
    "AMR Files (*.amr;*.awb)",
    "AU Files (*.au;*.snd)",
    "AVI Files (*.avi)",
    "CD Audio (*.cda)",
    "Creative Voice Files (*.voc)",
    "CRI ADX Files (*.adx)",
    "Dolby Digital AC-3 (*.ac3)",
    "DTS Files (*.dts)",
    "DV Video Files (*.dv;*.dif)",
    "DVD Video Files (*.vob;*.dvd)",
    "Electronic Arts CDATA Files (*.cdata)",
    "Flash Video Files (*.flv)",
    "Free Lossless Audio Codec (*.flac;*.fla)",
    "H.264/MPEG4 AVC Video (*.m2ts;*.mts)",
    "Matroska Files (*.mkv;*.mka)",
    "Microsoft Digital Video Recording (*.dvr-ms)",
    "MIDI Files (*.midi;*.mid;*.rmi;*.kar)",
    "MJPEG Video Files (*.mjpg;*.mjpeg)",
    "MMF Files (*.mmf)",
    "MOD Musics (*.mod;*.xm;*.it;*.s3m;*.mtm;*.umx;*.mo3)",
    "Monkey's Audio (*.ape;*.mac)",
    "MP3 Files (*.mp3)",
    "MPEG Audio Files (*.mpa;*.mpga;*.m2a)",
    "MPEG Video Files (*.mpg;*.mpe;*.mpeg;*.m1v;*.mp2;*.m2v;*.mp1;*.mlv)",
    "MPEG-4 Audio Files (*.m4a;*.m4b;*.mp4)",
    "MPEG4 TS HD Video (*.ts)",
    "MPEG-4 Video Files (*.mp4;*.m4v;*.mpv;*.psp)",
    "Musepack (*.mpc;*.mp+;*.mpp)",
    "Nullsoft Audio/Video Files (*.nsv;*.nsa)",
    "NUT Files (*.nut)",
    "OGG Files (*.ogg;*.oga;*.ogm;*.ogv;*.ogx)",
    "QuickTime Files (*.mov;*.qt)",
    "Raw h261 Files (*.h261)",
    "Raw h263 Files (*.h263)",
    "Raw h264 Video Files (*.h264;*.264)",
    "Real Audio Files (*.ra;*.ram)",
    "Real Media Files (*.rm;*.rmvb)",
    "Speex (*.spx)",
    "The True Audio (*.tta)",
    "VCD Video Files (*.dat)",
    "WAV Files (*.wav;*.wave)",
    "WavPack (*.wv)",
    "Windows Media Files (*.wma;*.asf;*.wmv;*.wm;*.wmd;*.xwmv)",
    "YUV Video Files (*.yuv)",
};

/// One entry of the output format list: " to " + label, carrying the code of a row of the format
/// table. The window keeps its own order and labels; a code may appear under two labels.
struct FormatChoice {
    OutputFormatCode code;
    const char* label;
};
inline constexpr auto kFormatChoices = std::to_array<FormatChoice>({
    {kFormatMp3, "MP3"},
    {kFormatWav, "WAV"},
    {kFormatWma, "WMA"},
    {kFormatOgg, "OGG"},
    {kFormatAac, "AAC"},
    {kFormatM4a, "AAC for iPod / iTunes"},
    {kFormatMp4, "MP4 (Audio only)"},
    {kFormatM4a, "M4A (MPEG-4 Audio)"},
    {kFormatM4b, "M4B (MPEG-4 Audiobook)"},
    {kFormatAmr, "AMR"},
    {kFormatAwb, "AWB"},
    {kFormatFlac, "FLAC"},
    {kFormatOpus, "Opus"},
});
