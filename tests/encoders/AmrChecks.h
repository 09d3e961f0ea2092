#pragma once
// Decoding AMR files back with opencore's own decoders, which handle SID and NO_DATA frames.
#include <opencore-amrnb/interf_dec.h>
#include <opencore-amrwb/dec_if.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "support/AmrFrames.h"
#include "support/TestSupport.h"

namespace amrchecks {

/// Every frame of the file decoded (160 or 320 samples each); empty when the file does not parse.
inline std::vector<std::int16_t> Decode(const std::string& path) {
    const auto bytes = testsupport::ReadBytes(path);
    const auto file = testsupport::ParseAmrFile(bytes);
    std::vector<std::int16_t> pcm;
    if (!file) return pcm;
    const std::size_t n = file->wide ? 320 : 160;
    void* state = file->wide ? D_IF_init() : Decoder_Interface_init();
    for (const auto& f : file->frames) {
        pcm.resize(pcm.size() + n);
        short* out = pcm.data() + pcm.size() - n;
        if (file->wide)
            D_IF_decode(state, bytes.data() + f.offset, out, 0);
        else
            Decoder_Interface_Decode(state, bytes.data() + f.offset, out, 0);
    }
    if (file->wide)
        D_IF_exit(state);
    else
        Decoder_Interface_exit(state);
    return pcm;
}

/// Root mean square of samples [from, from + count) (to the end when count is 0).
inline double Rms(const std::vector<std::int16_t>& s, std::size_t from = 0, std::size_t count = 0) {
    const std::size_t end = count ? std::min(s.size(), from + count) : s.size();
    double sum = 0;
    for (std::size_t i = from; i < end; ++i) sum += static_cast<double>(s[i]) * s[i];
    return end > from ? std::sqrt(sum / static_cast<double>(end - from)) : 0;
}

inline double Db(double ratio) {
    return 20 * std::log10(ratio);
}

/// ffprobe's "codec,rate,channels" of the first audio stream; empty when ffprobe fails.
inline std::string ProbeStream(const std::string& path) {
    std::string out;
    testsupport::Run({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                      "stream=codec_name,sample_rate,channels", "-of", "csv=p=0", path},
                     &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

}  // namespace amrchecks
