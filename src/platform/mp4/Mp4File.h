#pragma once
#include <cstdint>

/// One MP4 file being written: a single audio track whose samples stream straight into the
/// media data, and iTunes-style metadata items. The sample tables and the metadata are written
/// when the file is closed, after the media data, so memory grows only by a few bytes a sample.
struct Mp4File;

using MP4FileHandle = Mp4File*;
using MP4TrackId = std::uint32_t;
using MP4Duration = std::uint64_t;

inline constexpr MP4FileHandle MP4_INVALID_FILE_HANDLE = nullptr;
inline constexpr MP4TrackId MP4_INVALID_TRACK_ID = 0;
/// As a track's sample duration: every sample brings its own.
inline constexpr MP4Duration MP4_INVALID_DURATION = ~MP4Duration{0};
inline constexpr std::uint8_t MP4_MPEG4_AUDIO_TYPE = 0x40;

/// Creates `path` anew (truncating what was there). None when the file cannot be created.
MP4FileHandle MP4CreateExx(const char* path);

/// The movie's time scale, in units per second (1000 until set).
bool MP4SetTimeScaleExx(MP4FileHandle file, std::uint32_t timeScale);

/// Adds the file's one audio track; MP4_INVALID_TRACK_ID for a second track or a zero time scale.
MP4TrackId MP4AddAudioTrackExx(MP4FileHandle file, std::uint32_t timeScale, MP4Duration sampleDuration,
                               std::uint8_t audioType);

/// The audio profile of the initial object descriptor (0x0F: AAC profile, level 2).
bool MP4SetAudioProfileLevelExx(MP4FileHandle file, std::uint8_t level);

/// The decoder-specific information (for AAC the AudioSpecificConfig); copied.
bool MP4SetTrackESConfigurationExx(MP4FileHandle file, MP4TrackId track, const std::uint8_t* config,
                                   std::uint32_t size);

/// Appends one sample to the media data. Duration and rendering offset are in the track's time
/// scale; MP4_INVALID_DURATION as duration takes the track's sample duration. false once any
/// write to the file has failed.
bool MP4WriteSampleExx(MP4FileHandle file, MP4TrackId track, const std::uint8_t* bytes, std::uint32_t size,
                       MP4Duration duration, MP4Duration renderingOffset, bool isSyncSample);

/// The track's one edit: its media from mediaStart on plays for duration, both in the track's time
/// scale, so that samples the encoder put before the audio (its priming) and after it are not
/// presented. Without an edit the whole media plays from time 0. Replaces an earlier edit.
bool MP4AddTrackEditExx(MP4FileHandle file, MP4TrackId track, MP4Duration mediaStart, MP4Duration duration);

/// Metadata texts, UTF-8; each replaces the item's earlier value.
bool MP4SetMetadataNameExx(MP4FileHandle file, const char* value);
bool MP4SetMetadataArtistExx(MP4FileHandle file, const char* value);
bool MP4SetMetadataAlbumExx(MP4FileHandle file, const char* value);
bool MP4SetMetadataYearExx(MP4FileHandle file, const char* value);
bool MP4SetMetadataGenreExx(MP4FileHandle file, const char* value);
bool MP4SetMetadataCommentExx(MP4FileHandle file, const char* value);
bool MP4SetMetadataWriterExx(MP4FileHandle file, const char* value);
bool MP4SetMetadataTrackExx(MP4FileHandle file, std::uint16_t track, std::uint16_t total);
/// Writes the metadata box even when no item is set, where tags added later belong: a tag editor
/// that must make one puts it before the movie header, where FFmpeg does not look.
bool MP4KeepMetadataBoxExx(MP4FileHandle file);
/// A free-form item of the "com.apple.iTunes" space ("iTunSMPB"), UTF-8; written after the others.
bool MP4SetMetadataFreeFormExx(MP4FileHandle file, const char* name, const char* value);

/// Writes the sample tables and metadata, completes the media data box and closes the file; the
/// handle is released whatever the result. false when any write to this file failed.
bool MP4CloseExx(MP4FileHandle file);
