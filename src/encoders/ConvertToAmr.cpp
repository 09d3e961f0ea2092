#include "encoders/ConvertToAmr.h"

#include "encoders/AmrWriter.h"
#include "engine/OutputFormats.h"
#include "settings/ConversionSettings.h"

namespace {

struct AmrChoice {
    bool narrow;
    int rate;  // Hz
    int mode;
    int dtx;
};

// "amr" output is narrow band unless AMRType asks for wide band; "awb" output has its own options.
AmrChoice ChooseAmr(const ConversionSettings& s) {
    if (s.OutputFormat == kFormatAmr && s.AMRType == 0) return {true, 8000, s.AMRMode, s.AMRDTX};
    if (s.OutputFormat == kFormatAmr) return {false, 16000, s.AMRWBMode, s.AMRDTX};
    return {false, 16000, s.AWBMode, s.AWBDTX};
}

class AmrFormat final : public ConversionFormat {
public:
    explicit AmrFormat(const ConversionJob& job) : m_job(job), m_choice(ChooseAmr(job.settings)) {}

    int Start(AudioSource&, ChosenTags&, PcmRequest& request) override {
        const ConversionSettings& s = m_job.settings;
        request.rate = m_choice.rate;
        request.channels = 1;
        request.bits = 16;
        request.pick = s.MonoType == 0   ? ChannelPick::Mix
                       : s.MonoType == 2 ? ChannelPick::Right
                                         : ChannelPick::Left;

        m_writer.Reset(m_choice.narrow);
        m_writer.SetDtx(m_choice.dtx);
        if (m_choice.narrow)
            m_writer.SetNarrowMode(m_choice.mode);
        else
            m_writer.SetWideMode(m_choice.mode);
        return m_writer.Start(m_job.outputPath);
    }

    int Encode(const PcmBlock& block) override { return m_writer.Write(block.Left16(), block.frames); }

    int Finish() override { return m_writer.Finish(); }

private:
    const ConversionJob& m_job;
    AmrChoice m_choice;
    AmrWriter m_writer;
};

}  // namespace

std::unique_ptr<ConversionFormat> MakeAmrFormat(const ConversionJob& job) {
    return std::make_unique<AmrFormat>(job);
}
