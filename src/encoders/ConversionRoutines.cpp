#include "encoders/ConversionRoutines.h"

#include "encoders/ConvertToMp3.h"
#include "encoders/ConvertToWav.h"

ConversionRoutine RoutineForFormat(int outputFormat) {
    switch (outputFormat) {
        case 1000:
            return &ConvertToMp3;
        case 2000:
            return &ConvertToWav;
        default:
            return nullptr;
    }
}
