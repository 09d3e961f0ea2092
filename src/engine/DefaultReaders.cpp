#include "engine/ReaderSet.h"

// Reader classes; add the header of each new one here.
#include "sources/AiffSource.h"
#include "sources/AuSource.h"
#include "sources/BassSource.h"
#include "sources/FfmpegProbeSource.h"
#include "sources/FfmpegSource.h"
#include "sources/FlacSource.h"
#include "sources/OggVorbisSource.h"
#include "sources/WavFileSource.h"
#include "sources/WmaSource.h"

ReaderSet DefaultReaders() {
    ReaderSet readers;
    // One line per reader class. The FFmpeg reader takes two roles: FfmpegSource for conversion,
    // FfmpegProbeSource for reading a file's properties into the list.
    readers.Add(ReaderRole::Bass, "BassSource", &MakeReader<BassSource>);
    readers.Add(ReaderRole::WavFile, "WavFileSource", &MakeReader<WavFileSource>);
    readers.Add(ReaderRole::Aiff, "AiffSource", &MakeReader<AiffSource>);
    readers.Add(ReaderRole::Au, "AuSource", &MakeReader<AuSource>);
    readers.Add(ReaderRole::OggVorbis, "OggVorbisSource", &MakeReader<OggVorbisSource>);
    readers.Add(ReaderRole::Flac, "FlacSource", &MakeReader<FlacSource>);
    readers.Add(ReaderRole::Ffmpeg, "FfmpegSource", &MakeReader<FfmpegSource>);
    readers.Add(ReaderRole::FfmpegProbe, "FfmpegProbeSource", &MakeReader<FfmpegProbeSource>);
    // Source selection asks for it only while the Windows Media runtime is loaded.
    readers.Add(ReaderRole::Wma, "WmaSource", &MakeReader<WmaSource>);
    return readers;
}
