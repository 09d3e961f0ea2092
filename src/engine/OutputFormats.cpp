#include "engine/OutputFormats.h"

const char* OutputFormatName(int outputFormat) {
    switch (outputFormat) {
        case 1000: return "MP3";
        case 2000: return "WAV";
        case 4000: return "OGG";
        case 5500: return "AMR";
        case 5600: return "AWB";
        case 6000: return "AAC";
        case 6500: return "M4A";
        case 6600: return "MP4";
        case 6700: return "M4B";
        case 7000: return "WMA";
        default: return "";
    }
}
