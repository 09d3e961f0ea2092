#pragma once
#include <cstdint>

struct PcmBlock;

/// What a format was fed, tallied block by block while it encoded: the frames, and for an output
/// whose decoded samples must equal them, a hash of the samples. Every depth is hashed as the float
/// a reader delivers for it, so an exact output hashes the same when decoded.
class FedAudio {
public:
    void Start(int rate, int channels, bool hashSamples);
    void Add(const PcmBlock& block);

    int Rate() const { return m_rate; }
    int Channels() const { return m_channels; }
    std::int64_t Frames() const { return m_frames; }
    std::uint64_t Hash() const { return m_hash; }
    bool Hashed() const { return m_hashSamples; }

    /// The hash of `frames` planar float samples, continued from `hash` (start with kHashStart).
    static std::uint64_t HashFloats(std::uint64_t hash, const float* left, const float* right, int frames);
    static constexpr std::uint64_t kHashStart = 0xcbf29ce484222325ull;  // FNV-1a

private:
    int m_rate = 0;
    int m_channels = 0;
    bool m_hashSamples = false;
    std::int64_t m_frames = 0;
    std::uint64_t m_hash = kHashStart;
};
