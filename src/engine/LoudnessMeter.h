#pragma once
#include <memory>
#include <span>
#include <vector>

struct PcmBlock;

/// Integrated loudness (BS.1770, gated) and true peak of the blocks handed to an encoder: the loudness
/// by libebur128, the true peak by TruePeakMeter. The gating keeps a histogram, so a state stays small
/// whatever the length and can be kept for the album of the file.
class LoudnessMeter {
public:
    LoudnessMeter();
    ~LoudnessMeter();
    LoudnessMeter(LoudnessMeter&&) noexcept;
    LoudnessMeter& operator=(LoudnessMeter&&) noexcept;

    /// 0 when libebur128 cannot measure this rate or channel count (1 or 2).
    int Setup(int rate, int channels);
    bool Ready() const { return m_state != nullptr; }
    /// Adds one planar block of any depth a block may have; 0 on failure.
    int Add(const PcmBlock& block);
    /// Adds planar float frames (right null for one channel); 0 on failure.
    int AddFloat(const float* left, const float* right, int frames);

    /// LUFS; -HUGE_VAL when everything lay below the absolute gate (silence).
    double Integrated() const;
    /// The largest true peak of any channel, linear (1.0 is full scale).
    double TruePeak() const;

    /// Loudness of several files together, as one programme: the album's.
    static double IntegratedOf(std::span<const LoudnessMeter* const> meters);

private:
    struct State;  // libebur128's, which has no name to declare
    struct Free {
        void operator()(State* state) const;
    };
    std::unique_ptr<State, Free> m_state;
    int m_channels = 0;
};

/// What a converted file measured, as the encoder received it.
struct FileLoudness {
    double integrated = 0.0;  // LUFS
    double truePeak = 0.0;    // linear
    bool silent = false;      // nothing above the absolute gate: no gain can be told
};

/// ReplayGain 2.0 reference loudness of the gain tags.
inline constexpr double kReplayGainReference = -18.0;
/// Reference of the Opus R128 gain tags.
inline constexpr double kR128Reference = -23.0;
/// The true peak a normalised file may reach, dBTP.
inline constexpr double kNormalizeCeiling = -1.0;

/// The gain in dB that brings `loudness` to `target`, lowered so that `truePeak` (linear) stays at
/// or below the ceiling; 0 for silence.
double NormalizeGainDb(double loudness, double truePeak, double target);
