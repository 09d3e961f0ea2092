#pragma once
// The decoding library's core operations under their original names. A stand-in over
// libmpg123 (MPEG audio), libopenmpt (tracker modules), a reader of its own (plain PCM WAV
// and AIFF) and libavformat/libavcodec (the formats of the plug-ins, Ogg Vorbis and the other
// WAV and AIFF codecs). All channels are decoding channels: nothing is played. The library
// state lives from BASS_Init to BASS_Free; every other call fails (0, or all ones where the
// operation reports an offset or count) outside that span.
#include <cstdint>

using HSTREAM = std::uint32_t;
using HMUSIC = std::uint32_t;
using HPLUGIN = std::uint32_t;

inline constexpr std::uint32_t BASSVERSION = 0x204;
inline constexpr std::uint32_t BASS_CONFIG_UPDATEPERIOD = 1;
inline constexpr std::uint32_t BASS_SAMPLE_8BITS = 1;
inline constexpr std::uint32_t BASS_MUSIC_RAMP = 0x200;
inline constexpr std::uint32_t BASS_MUSIC_PRESCAN = 0x20000;
inline constexpr std::uint32_t BASS_STREAM_DECODE = 0x200000;
inline constexpr std::uint32_t BASS_POS_BYTE = 0;
inline constexpr std::uint32_t BASS_FILEPOS_END = 2;
inline constexpr std::uint32_t BASS_FILEPOS_START = 3;
inline constexpr std::uint32_t BASS_TAG_ID3 = 0;
inline constexpr std::uint32_t BASS_TAG_ID3V2 = 1;
inline constexpr std::uint32_t BASS_DATA_END = 0xFFFFFFFFu;    // BASS_ChannelGetData at the end
inline constexpr std::uint32_t BASS_DATA_FLOAT = 0x40000000u;  // length flag: 32-bit float data
inline constexpr std::uint32_t BASS_ORIGRES_FLOAT = 0x10000;   // origres flag: the source is float

// Channel types reported in BASS_CHANNELINFO::ctype.
inline constexpr std::uint32_t BASS_CTYPE_STREAM = 0x10000;
inline constexpr std::uint32_t BASS_CTYPE_STREAM_MP1 = 0x10003;
inline constexpr std::uint32_t BASS_CTYPE_STREAM_MP2 = 0x10004;
inline constexpr std::uint32_t BASS_CTYPE_STREAM_MP3 = 0x10005;
inline constexpr std::uint32_t BASS_CTYPE_STREAM_MIDI = 0x10d00;
inline constexpr std::uint32_t BASS_CTYPE_MUSIC_MOD = 0x20000;

struct BASS_CHANNELINFO {
    std::uint32_t freq;
    std::uint32_t chans;
    std::uint32_t flags;  // BASS_SAMPLE_8BITS when the data is 8-bit unsigned
    std::uint32_t ctype;
    std::uint32_t origres;  // bits per sample of the source's own data (0: not known), or BASS_ORIGRES_FLOAT
};

/// Version of the library: 0x0204xxxx.
std::uint32_t BASS_GetVersion();
int BASS_SetConfig(std::uint32_t option, std::uint32_t value);
/// Only device 0 (no sound) exists. freq becomes the rate of MIDI and tracker-module channels
/// created with a rate of 0.
int BASS_Init(int device, std::uint32_t freq, std::uint32_t flags, void* window, const void* clsid);
/// Releases every channel, SoundFont and plug-in.
int BASS_Free();
/// The plug-in formats are built in: a known plug-in file name (the part after the last "/")
/// switches its formats on without any file being read. 0 for an unknown name.
HPLUGIN BASS_PluginLoad(const char* file, std::uint32_t flags);
/// Handle 0 switches every plug-in off.
int BASS_PluginFree(HPLUGIN handle);

/// Opens a file by its content: MPEG audio, WAV, AIFF, Ogg Vorbis and the plug-in formats.
/// Memory streams and partial files (offset or length not 0) are not supported.
HSTREAM BASS_StreamCreateFile(int mem, const void* file, std::uint64_t offset, std::uint64_t length,
                              std::uint32_t flags);
/// Tracker module rendered in 16-bit stereo at freq (0: the BASS_Init rate; outside 8000..192000 Hz
/// the nearest of those, which the stream reports as its rate), played once.
HMUSIC BASS_MusicLoad(int mem, const void* file, std::uint64_t offset, std::uint32_t length,
                      std::uint32_t flags, std::uint32_t freq);
int BASS_StreamFree(HSTREAM handle);
int BASS_MusicFree(HMUSIC handle);

/// Byte length of the decoded data (exactly what BASS_ChannelGetData delivers); all ones on error.
std::uint64_t BASS_ChannelGetLength(std::uint32_t handle, std::uint32_t mode);
double BASS_ChannelBytes2Seconds(std::uint32_t handle, std::uint64_t bytes);
int BASS_ChannelGetInfo(std::uint32_t handle, BASS_CHANNELINFO* info);
/// BASS_FILEPOS_START: where the audio data begins; BASS_FILEPOS_END: the file size. All ones
/// when not available (tracker modules).
std::uint64_t BASS_StreamGetFilePosition(HSTREAM handle, std::uint32_t mode);
/// Interleaved PCM, whole frames only; BASS_DATA_END at the end or on error. With BASS_DATA_FLOAT
/// in length, 32-bit floats (full scale ±1.0) at the decoder's own resolution; a channel asked for
/// floats before its first read keeps delivering them. The position still counts 16-bit bytes.
std::uint32_t BASS_ChannelGetData(std::uint32_t handle, void* buffer, std::uint32_t length);
/// Coded frames the decoder found damaged and skipped so far (MPEG streams); 0 for other channels.
std::uint64_t BASS_ChannelGetDamagedFrames(std::uint32_t handle);
/// Frames the file's header announced past the end of the file (PCM files cut short).
std::uint64_t BASS_ChannelGetMissingFrames(std::uint32_t handle);
/// Bytes delivered so far; all ones on error.
std::uint64_t BASS_ChannelGetPosition(std::uint32_t handle, std::uint32_t mode);
/// MPEG streams: the 128-byte ID3v1 block or the whole ID3v2 tag, owned by the channel; null
/// when the file has none.
const char* BASS_ChannelGetTags(std::uint32_t handle, std::uint32_t tags);
