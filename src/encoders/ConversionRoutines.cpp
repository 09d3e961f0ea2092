#include "encoders/ConversionRoutines.h"

#include "encoders/ConvertToAac.h"
#include "encoders/ConvertToAmr.h"
#include "encoders/ConvertToFlac.h"
#include "encoders/ConvertToMp3.h"
#include "encoders/ConvertToMp4.h"
#include "encoders/ConvertToOgg.h"
#include "encoders/ConvertToOpus.h"
#include "encoders/ConvertToWav.h"
#include "encoders/ConvertToWma.h"
#include "engine/OutputFormats.h"
#include "settings/ConversionSettings.h"

namespace {

struct MakerEntry {
    OutputFormatCode code;
    FormatMaker make;
};

// A new output format plugs in here with one line, beside its row in the engine's format table.
constexpr MakerEntry kMakers[] = {
    {kFormatMp3, &MakeMp3Format}, {kFormatWav, &MakeWavFormat},   {kFormatOgg, &MakeOggFormat},
    {kFormatWma, &MakeWmaFormat}, {kFormatAac, &MakeAacFormat},   {kFormatM4a, &MakeMp4Format},
    {kFormatMp4, &MakeMp4Format}, {kFormatM4b, &MakeMp4Format},   {kFormatAmr, &MakeAmrFormat},
    {kFormatAwb, &MakeAmrFormat}, {kFormatFlac, &MakeFlacFormat}, {kFormatOpus, &MakeOpusFormat},
};

FormatMaker MakerFor(int outputFormat) {
    for (const auto& m : kMakers)
        if (m.code == outputFormat) return m.make;
    return nullptr;
}

}  // namespace

int ConvertFile(ConversionJob& job) {
    const OutputFormatInfo* row = FindOutputFormat(job.settings.OutputFormat);
    const FormatMaker make = MakerFor(job.settings.OutputFormat);
    if (!row || !make) return 0;
    const std::unique_ptr<ConversionFormat> format = make(job);
    return format ? RunConversionFrame(job, *row, *format) : 0;
}

ConversionRoutine RoutineForFormat(int outputFormat) {
    return MakerFor(outputFormat) && FindOutputFormat(outputFormat) ? &ConvertFile : nullptr;
}
