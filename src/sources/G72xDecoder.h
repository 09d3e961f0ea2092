#pragma once
#include <cstdint>

/// ITU-T G.726 ADPCM decoder for linear output: G.721 (4-bit codes, 32 kbit/s) and G.723
/// (3-bit codes at 24 kbit/s, 5-bit codes at 40 kbit/s). One object holds one predictor state.
class G72xDecoder {
public:
    /// `codeBits` is 3, 4 or 5; anything else decodes as 4. `roundProducts` keeps the standard's
    /// rounding term in the predictor's multiplications; libsndfile's codec leaves it out, and
    /// only a decoder without it tracks that encoder exactly.
    explicit G72xDecoder(int codeBits = 4, bool roundProducts = true);

    /// Back to the standard initial state.
    void Reset();
    int CodeBits() const { return m_codeBits; }
    /// Decodes one code (its low CodeBits() bits) into a 16-bit linear sample; a reconstruction
    /// beyond the 16-bit range clips.
    std::int16_t Decode(unsigned code);

private:
    int PredictorZero() const;
    int PredictorPole() const;
    int Multiply(int an, int srn) const;
    int StepSize() const;
    void Update(int y, int wi, int fi, int dq, int sr, int dqsez);

    int m_codeBits;
    int m_rounding;         // added to the mantissa product before it is scaled down
    std::int32_t m_yl = 0;  // slow quantiser scale factor
    std::int16_t m_yu = 0;  // fast quantiser scale factor
    std::int16_t m_dms = 0, m_dml = 0, m_ap = 0;
    std::int16_t m_a[2] = {}, m_b[6] = {};
    std::int16_t m_pk[2] = {};
    std::int16_t m_dq[6] = {};  // quantised differences, 4-bit exponent and 6-bit mantissa
    std::int16_t m_sr[2] = {};  // reconstructed signal, same form
    bool m_td = false;          // tone detected
};
