#include "encoders/ConversionRoutines.h"

#include "encoders/ConvertToWav.h"

ConversionRoutine RoutineForFormat(int outputFormat) {
    switch (outputFormat) {
        case 2000: return &ConvertToWav;
        default: return nullptr;
    }
}
