#pragma once
#include <functional>

/// The Windows Media runtime, loaded on demand and kept for the life of its owner.
///
/// On Linux the runtime is FFmpeg's WMA support. The owner (the window or the command-line
/// converter) keeps one object for the whole process, so a successful load is never repeated.
/// Tests pass a probe that reports the runtime missing or present.
class WmfRuntime {
public:
    using Probe = std::function<bool()>;

    /// Probes FFmpeg for the WMA codecs and the ASF container.
    WmfRuntime();
    explicit WmfRuntime(Probe probe);

    /// 1 when loaded (now or before), 0 when the runtime is missing; a failure is retried next call.
    int LoadWmfRuntime();
    bool IsLoaded() const { return m_loaded; }

private:
    Probe m_probe;
    bool m_loaded = false;
};

/// True when libavcodec offers the wmav2 encoder and the wmav1/wmav2 decoders, and libavformat
/// the asf muxer and demuxer.
bool FfmpegOffersWmaRuntime();
