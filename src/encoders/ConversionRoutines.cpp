#include "encoders/ConversionRoutines.h"

#include "encoders/ConvertToAac.h"
#include "encoders/ConvertToMp3.h"
#include "encoders/ConvertToMp4.h"
#include "encoders/ConvertToWav.h"

ConversionRoutine RoutineForFormat(int outputFormat) {
    switch (outputFormat) {
        case 1000:
            return &ConvertToMp3;
        case 2000:
            return &ConvertToWav;
        case 6000:
            return &ConvertToAac;
        case 6500:
        case 6600:
        case 6700:
            return &ConvertToMp4;
        default:
            return nullptr;
    }
}
