#include "encoders/ConversionRoutines.h"

#include "encoders/ConvertToAac.h"
#include "encoders/ConvertToAmr.h"
#include "encoders/ConvertToMp3.h"
#include "encoders/ConvertToMp4.h"
#include "encoders/ConvertToOgg.h"
#include "encoders/ConvertToWav.h"
#include "encoders/ConvertToWma.h"
#include "engine/OutputFormats.h"

namespace {

struct RoutineEntry {
    OutputFormatCode code;
    ConversionRoutine routine;
};

// A new output format plugs in here with one line, beside its row in the engine's format table.
constexpr RoutineEntry kRoutines[] = {
    {kFormatMp3, &ConvertToMp3}, {kFormatWav, &ConvertToWav}, {kFormatOgg, &ConvertToOgg},
    {kFormatWma, &ConvertToWma}, {kFormatAac, &ConvertToAac}, {kFormatM4a, &ConvertToMp4},
    {kFormatMp4, &ConvertToMp4}, {kFormatM4b, &ConvertToMp4}, {kFormatAmr, &ConvertToAmr},
    {kFormatAwb, &ConvertToAmr},
};

}  // namespace

ConversionRoutine RoutineForFormat(int outputFormat) {
    for (const auto& r : kRoutines)
        if (r.code == outputFormat) return r.routine;
    return nullptr;
}
