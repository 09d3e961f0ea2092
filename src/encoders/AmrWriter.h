#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/amr/AmrEncoders.h"

/// The encoder object of one AMR conversion: gathers mono 16-bit samples into 20 ms frames for the
/// narrow-band or wide-band encoder, which writes the file. A failed encode or write sticks: every
/// later Write and the Finish report 0.
class AmrWriter {
public:
    AmrWriter() = default;
    AmrWriter(const AmrWriter&) = delete;
    AmrWriter& operator=(const AmrWriter&) = delete;
    ~AmrWriter() { Finish(); }  // releases; a caller that cares calls Finish itself

    /// Finishes any earlier file, then takes the band: 160-sample frames when narrow, else 320.
    /// DTX goes off and both modes back to 6.
    void Reset(bool narrow);
    void SetDtx(int dtx) { m_dtx = dtx; }
    void SetNarrowMode(int mode) { m_narrowMode = mode; }
    void SetWideMode(int mode) { m_wideMode = mode; }

    /// Opens the band's encoder on path with the DTX flag and the band's mode; 0 when it refuses.
    int Start(const std::string& path);
    /// Appends count samples, encoding every frame that fills up; 0 once anything failed.
    int Write(const std::int16_t* samples, int count);
    /// Pads a partial last frame with silence, encodes it and completes the file; 0 if any step of
    /// this file failed. Every member returns to its constructed value. Harmless when nothing is open.
    int Finish();

    int FrameSize() const { return m_frameSize; }
    bool IsOpen() const { return m_nb || m_wb; }

private:
    struct NbQuit {
        void operator()(AmrNbEncoder* e) const noexcept { amrnbenc_quit(e); }
    };
    struct WbQuit {
        void operator()(AmrWbEncoder* e) const noexcept { amrwbenc_quit(e); }
    };

    int EncodeFrame(const std::int16_t* frame);

    bool m_narrow = true;
    std::array<std::int16_t, kAmrWbFrameSamples> m_frame{};
    int m_count = 0;  // samples waiting in m_frame
    int m_dtx = 0;
    int m_narrowMode = 6;
    int m_wideMode = 6;
    std::unique_ptr<AmrNbEncoder, NbQuit> m_nb;
    std::unique_ptr<AmrWbEncoder, WbQuit> m_wb;
    int m_frameSize = 0;
    bool m_failed = false;
};
