#include "engine/frames/JpegDecoder.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/frames/FrameDecoder.h"

namespace {

constexpr int kMaxComponents = 3;

// The natural (row-major) place of each coefficient in the order the data holds them: the 8x8
// block walked along its anti-diagonals, alternating direction.
struct Zigzag {
    int natural[64];
    Zigzag() {
        int k = 0;
        for (int sum = 0; sum <= 14; ++sum) {
            const int low = std::max(0, sum - 7), high = std::min(sum, 7);
            for (int i = 0; i <= high - low; ++i) {
                const int row = sum % 2 ? low + i : high - i;
                natural[k++] = row * 8 + (sum - row);
            }
        }
    }
};
const Zigzag kZigzag;

// Colour conversion (JFIF: full-range BT.601), in 16-bit fixed point, and the clamp to 0..255 of
// what it gives (luma plus a chroma term, offset by 384).
struct ColourTables {
    int crToR[256], cbToB[256], crToG[256], cbToG[256];
    uint8_t clamp[1024];
    ColourTables() {
        for (int i = 0; i < 256; ++i) {
            const double c = i - 128;
            crToR[i] = static_cast<int>(1.402 * c + (c < 0 ? -0.5 : 0.5));
            cbToB[i] = static_cast<int>(1.772 * c + (c < 0 ? -0.5 : 0.5));
            crToG[i] = static_cast<int>(-0.714136 * c * 65536.0);
            cbToG[i] = static_cast<int>(-0.344136 * c * 65536.0) + 32768;
        }
        for (int i = 0; i < 1024; ++i) clamp[i] = static_cast<uint8_t>(std::min(255, std::max(0, i - 384)));
    }
};
const ColourTables kColour;

// A magnitude of `bits` bits as the signed value it codes.
int Extend(int value, int bits) { return value < (1 << (bits - 1)) ? value - (1 << bits) + 1 : value; }

// One Huffman table: codes of up to 9 bits are looked up at once, longer ones by length.
struct Huffman {
    // An AC code and its value's bits, nine bits or fewer together, by those nine bits.
    struct Fast {
        int16_t value;
        uint8_t run;
        uint8_t length;  // 0: longer, or not a coefficient
    };

    bool present = false;
    uint8_t fastLength[512] = {};  // 0: the code is longer than 9 bits
    uint8_t fastSymbol[512] = {};
    Fast fast[512] = {};
    int maxCode[17] = {};          // the largest code of each length, -1 for none
    int offset[17] = {};           // symbols[offset[length] + code] is the code's symbol
    uint8_t symbols[256] = {};

    bool Build(const uint8_t* counts, const uint8_t* values, int total) {
        std::memcpy(symbols, values, static_cast<size_t>(total));
        std::memset(fastLength, 0, sizeof fastLength);
        int code = 0, index = 0;
        for (int length = 1; length <= 16; ++length) {
            offset[length] = index - code;
            for (int i = 0; i < counts[length - 1]; ++i, ++code, ++index) {
                // More codes than the length holds: not a prefix code.
                if (code >= (1 << length)) return false;
                if (length <= 9) {
                    const int first = code << (9 - length), span = 1 << (9 - length);
                    for (int j = 0; j < span; ++j) {
                        fastLength[first + j] = static_cast<uint8_t>(length);
                        fastSymbol[first + j] = symbols[index];
                    }
                }
            }
            maxCode[length] = counts[length - 1] ? code - 1 : -1;
            code <<= 1;
        }
        for (int peek = 0; peek < 512; ++peek) {
            const int length = fastLength[peek], bits = fastSymbol[peek] & 15;
            fast[peek] = Fast{0, 0, 0};
            if (!length || !bits || length + bits > 9) continue;
            const int magnitude = (peek >> (9 - length - bits)) & ((1 << bits) - 1);
            fast[peek] = Fast{static_cast<int16_t>(Extend(magnitude, bits)), static_cast<uint8_t>(fastSymbol[peek] >> 4),
                              static_cast<uint8_t>(length + bits)};
        }
        present = true;
        return true;
    }
};

// The entropy-coded data of a scan: bytes with 0xFF 0x00 meaning 0xFF, up to the next marker,
// after which it reads zeros (damaged data then decodes as something, never past the end).
class BitReader {
public:
    BitReader(const uint8_t* p, const uint8_t* end) : m_p(p), m_end(end) {}

    unsigned Peek9() {
        if (m_count < 16) Fill();
        return static_cast<unsigned>(m_bits >> 55);
    }
    void Skip(int n) {  // at most what Peek9 looked at
        m_bits <<= n;
        m_count -= n;
    }
    int Bits(int n) {  // 1..16
        if (m_count < n) Fill();
        const int value = static_cast<int>(m_bits >> (64 - n));
        m_bits <<= n;
        m_count -= n;
        return value;
    }
    int Decode(const Huffman& table) {
        if (m_count < 16) Fill();
        const unsigned peek = static_cast<unsigned>(m_bits >> 48);
        int length = table.fastLength[peek >> 7];
        int symbol;
        if (length) {
            symbol = table.fastSymbol[peek >> 7];
        } else {
            length = 10;
            while (length <= 16 && static_cast<int>(peek >> (16 - length)) > table.maxCode[length]) ++length;
            if (length > 16) return -1;
            symbol = table.symbols[(table.offset[length] + static_cast<int>(peek >> (16 - length))) & 0xFF];
        }
        m_bits <<= length;
        m_count -= length;
        return symbol;
    }
    // At a restart marker: the bits left of the interval go, and the marker is passed.
    bool Restart() {
        m_bits = 0;
        m_count = 0;
        m_marker = false;
        while (m_p + 1 < m_end && !(m_p[0] == 0xFF && m_p[1] >= 0xD0 && m_p[1] <= 0xD7)) ++m_p;
        if (m_p + 1 >= m_end) return false;
        m_p += 2;
        return true;
    }

private:
    void Fill() {
        while (m_count <= 56) {
            unsigned byte = 0;
            if (!m_marker && m_p < m_end) {
                byte = *m_p;
                if (byte != 0xFF) {
                    ++m_p;
                } else if (m_p + 1 < m_end && m_p[1] == 0x00) {
                    m_p += 2;
                } else {
                    m_marker = true;
                    byte = 0;
                }
            }
            m_bits |= static_cast<uint64_t>(byte) << (56 - m_count);
            m_count += 8;
        }
    }

    const uint8_t* m_p;
    const uint8_t* m_end;
    uint64_t m_bits = 0;
    int m_count = 0;
    bool m_marker = false;
};

// The 8-point inverse DCT (orthonormal, with the standard's scaling), split into its even and odd
// halves: x[n] = E[n] + O[n] and x[7-n] = E[n] - O[n].
constexpr float kA = 0.353553391f;   // sqrt(2) / 4
constexpr float kB1 = 0.461939766f;  // cos(pi/8) / 2
constexpr float kB3 = 0.191341716f;  // cos(3pi/8) / 2
constexpr float kC1 = 0.490392640f;  // cos(k pi/16) / 2, k = 1, 3, 5, 7
constexpr float kC3 = 0.415734806f;
constexpr float kC5 = 0.277785117f;
constexpr float kC7 = 0.097545161f;

// In place, on eight values of one row or column; `V` is a float or four of them (one from each
// of four rows or columns), with the same arithmetic in the same order either way.
template <typename V>
__attribute__((always_inline)) inline void Idct8(V* x) {
    const V t0 = kA * (x[0] + x[4]), t1 = kA * (x[0] - x[4]);
    const V u = kB1 * x[2] + kB3 * x[6], v = kB3 * x[2] - kB1 * x[6];
    const V e0 = t0 + u, e1 = t1 + v, e2 = t1 - v, e3 = t0 - u;
    const V o0 = kC1 * x[1] + kC3 * x[3] + kC5 * x[5] + kC7 * x[7];
    const V o1 = kC3 * x[1] - kC7 * x[3] - kC1 * x[5] - kC5 * x[7];
    const V o2 = kC5 * x[1] - kC1 * x[3] + kC7 * x[5] + kC3 * x[7];
    const V o3 = kC7 * x[1] - kC5 * x[3] + kC3 * x[5] - kC1 * x[7];
    x[0] = e0 + o0;
    x[7] = e0 - o0;
    x[1] = e1 + o1;
    x[6] = e1 - o1;
    x[2] = e2 + o2;
    x[5] = e2 - o2;
    x[3] = e3 + o3;
    x[4] = e3 - o3;
}

// A sample from the transform's output: level-shifted back, rounded and kept within 0..255 (in
// float first, so that no damaged coefficient can overflow the conversion).
inline uint8_t ToSample(float value) {
    value += 128.5f;
    value = value < 0.0f ? 0.0f : (value > 255.0f ? 255.0f : value);
    return static_cast<uint8_t>(value);
}

// Coefficients (natural order, dequantised) to 8x8 samples at `out`, rows `stride` apart.
void InverseTransform(const float* coefficients, uint8_t* out, int stride) {
    float columns[64];
    for (int c = 0; c < 8; ++c) {
        float x[8];
        for (int k = 0; k < 8; ++k) x[k] = coefficients[k * 8 + c];
        Idct8(x);
        for (int k = 0; k < 8; ++k) columns[k * 8 + c] = x[k];
    }
    for (int r = 0; r < 8; ++r) {
        float* row = columns + r * 8;
        Idct8(row);
        uint8_t* line = out + r * stride;
        for (int c = 0; c < 8; ++c) line[c] = ToSample(row[c]);
    }
}

// The same four rows or columns at a time: the columns of each half, then, turned by a
// transpose, the rows of each half, turned back for the samples' rows.
__attribute__((target("sse2"))) void InverseTransformSse2(const float* coefficients, uint8_t* out, int stride) {
    __m128 half[2][8];  // [columns 0-3 | 4-7][row]
    for (int h = 0; h < 2; ++h) {
        for (int k = 0; k < 8; ++k) half[h][k] = _mm_loadu_ps(coefficients + k * 8 + 4 * h);
        Idct8(half[h]);
    }
    __m128 rows[2][8];  // [rows 0-3 | 4-7][column]
    for (int g = 0; g < 2; ++g) {
        for (int h = 0; h < 2; ++h) {
            __m128 a = half[h][4 * g], b = half[h][4 * g + 1], c = half[h][4 * g + 2], d = half[h][4 * g + 3];
            _MM_TRANSPOSE4_PS(a, b, c, d);
            rows[g][4 * h] = a;
            rows[g][4 * h + 1] = b;
            rows[g][4 * h + 2] = c;
            rows[g][4 * h + 3] = d;
        }
        Idct8(rows[g]);
    }
    const __m128 shift = _mm_set1_ps(128.5f), low = _mm_setzero_ps(), high = _mm_set1_ps(255.0f);
    for (int g = 0; g < 2; ++g) {
        __m128 left[4] = {rows[g][0], rows[g][1], rows[g][2], rows[g][3]};
        __m128 right[4] = {rows[g][4], rows[g][5], rows[g][6], rows[g][7]};
        _MM_TRANSPOSE4_PS(left[0], left[1], left[2], left[3]);
        _MM_TRANSPOSE4_PS(right[0], right[1], right[2], right[3]);
        for (int r = 0; r < 4; ++r) {
            const __m128i l = _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(_mm_add_ps(left[r], shift), low), high));
            const __m128i h = _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(_mm_add_ps(right[r], shift), low), high));
            const __m128i words = _mm_packs_epi32(l, h);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (4 * g + r) * stride), _mm_packus_epi16(words, words));
        }
    }
}

// Colour conversion of 16 pixels at once whose chroma is at half width (what the browser sends),
// in 16-bit fixed point: each factor is split into whole parts and a fraction below one, as the
// 16-bit multiply takes them. Within one level of the table-driven conversion below.
__attribute__((target("sse2"))) int ConvertHalfChroma(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr,
                                                     uint32_t* out, int width) {
    const __m128i zero = _mm_setzero_si128(), bias = _mm_set1_epi16(128), alpha = _mm_set1_epi8(-1);
    const __m128i k0402 = _mm_set1_epi16(26345);  // 1.402 = 1 + 0.402
    const __m128i k0228 = _mm_set1_epi16(14942);  // 1.772 = 2 - 0.228
    const __m128i k0344 = _mm_set1_epi16(22554);  // 0.344136
    const __m128i k0286 = _mm_set1_epi16(18734);  // 0.714136 = 1 - 0.285864
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + x));
        // Eight chroma samples, each doubled to cover two pixels.
        __m128i b8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb + x / 2));
        __m128i r8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr + x / 2));
        b8 = _mm_unpacklo_epi8(b8, b8);
        r8 = _mm_unpacklo_epi8(r8, r8);
        __m128i channel[2][3];
        for (int half = 0; half < 2; ++half) {
            const __m128i l = half ? _mm_unpackhi_epi8(y, zero) : _mm_unpacklo_epi8(y, zero);
            const __m128i b = _mm_sub_epi16(half ? _mm_unpackhi_epi8(b8, zero) : _mm_unpacklo_epi8(b8, zero), bias);
            const __m128i r = _mm_sub_epi16(half ? _mm_unpackhi_epi8(r8, zero) : _mm_unpacklo_epi8(r8, zero), bias);
            channel[half][0] = _mm_add_epi16(_mm_add_epi16(l, r), _mm_mulhi_epi16(r, k0402));
            channel[half][1] = _mm_add_epi16(_mm_sub_epi16(_mm_sub_epi16(l, _mm_mulhi_epi16(b, k0344)), r),
                                             _mm_mulhi_epi16(r, k0286));
            channel[half][2] = _mm_sub_epi16(_mm_add_epi16(l, _mm_add_epi16(b, b)), _mm_mulhi_epi16(b, k0228));
        }
        const __m128i red = _mm_packus_epi16(channel[0][0], channel[1][0]);
        const __m128i green = _mm_packus_epi16(channel[0][1], channel[1][1]);
        const __m128i blue = _mm_packus_epi16(channel[0][2], channel[1][2]);
        const __m128i bgLow = _mm_unpacklo_epi8(blue, green), bgHigh = _mm_unpackhi_epi8(blue, green);
        const __m128i raLow = _mm_unpacklo_epi8(red, alpha), raHigh = _mm_unpackhi_epi8(red, alpha);
        __m128i* to = reinterpret_cast<__m128i*>(out + x);
        _mm_storeu_si128(to, _mm_unpacklo_epi16(bgLow, raLow));
        _mm_storeu_si128(to + 1, _mm_unpackhi_epi16(bgLow, raLow));
        _mm_storeu_si128(to + 2, _mm_unpacklo_epi16(bgHigh, raHigh));
        _mm_storeu_si128(to + 3, _mm_unpackhi_epi16(bgHigh, raHigh));
    }
    return x;
}

// Every x86-64 processor has SSE2; a 32-bit one is asked.
bool HaveSse2() {
#if defined(__x86_64__)
    return true;
#else
    static const bool have = __builtin_cpu_supports("sse2");
    return have;
#endif
}

struct Component {
    int id = 0;
    int h = 1, v = 1;       // sampling factors
    int quant = 0;          // quantisation table
    int dcTable = 0, acTable = 0;
    int predictor = 0;
    std::vector<uint8_t> rows;  // the samples of one MCU row: v * 8 rows of `stride`
    int stride = 0;
};

class Decoder {
public:
    Decoder(const uint8_t* data, size_t size, int maxSide) : m_p(data), m_end(data + size), m_maxSide(maxSide) {}

    bool Run(DecodedFrame& frame) {
        if (Remaining() < 2 || m_p[0] != 0xFF || m_p[1] != 0xD8) return false;
        m_p += 2;
        for (;;) {
            // Markers may be padded with further 0xFF bytes.
            while (Remaining() >= 1 && m_p[0] == 0xFF && Remaining() >= 2 && m_p[1] == 0xFF) ++m_p;
            if (Remaining() < 2 || m_p[0] != 0xFF) return false;
            const int marker = m_p[1];
            if (marker == 0xD9) return false;  // the end, before any scan
            if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // markers without a segment
                m_p += 2;
                continue;
            }
            if (Remaining() < 4) return false;
            const size_t length = static_cast<size_t>(m_p[2] << 8 | m_p[3]);
            if (length < 2 || Remaining() < 2 + length) return false;
            const uint8_t* segment = m_p + 4;
            const size_t bytes = length - 2;
            m_p += 2 + length;
            switch (marker) {
            case 0xDB: if (!ReadQuantisation(segment, bytes)) return false; break;
            case 0xC4: if (!ReadHuffman(segment, bytes)) return false; break;
            case 0xC0:
            case 0xC1: if (!ReadFrame(segment, bytes)) return false; break;
            case 0xDD:
                if (bytes != 2) return false;
                m_restartInterval = segment[0] << 8 | segment[1];
                break;
            case 0xDA: return ReadScanHeader(segment, bytes) && DecodeScan(frame);
            default:
                // Other frame kinds (progressive, lossless, arithmetic) are left to the system.
                if (marker >= 0xC2 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8) return false;
                break;  // application data, comments: skipped
            }
        }
    }

private:
    size_t Remaining() const { return static_cast<size_t>(m_end - m_p); }

    bool ReadQuantisation(const uint8_t* p, size_t size) {
        while (size > 0) {
            const int precision = p[0] >> 4, table = p[0] & 15;
            const size_t need = 1 + 64 * (precision ? 2 : 1);
            if (table > 3 || precision > 1 || size < need) return false;
            for (int k = 0; k < 64; ++k)
                m_quant[table][k] = static_cast<uint16_t>(precision ? (p[1 + 2 * k] << 8 | p[2 + 2 * k]) : p[1 + k]);
            p += need;
            size -= need;
        }
        return true;
    }

    bool ReadHuffman(const uint8_t* p, size_t size) {
        while (size > 0) {
            if (size < 17) return false;
            const int kind = p[0] >> 4, table = p[0] & 15;
            int total = 0;
            for (int i = 0; i < 16; ++i) total += p[1 + i];
            if (kind > 1 || table > 3 || total > 256 || size < 17 + static_cast<size_t>(total)) return false;
            if (!(kind ? m_ac : m_dc)[table].Build(p + 1, p + 17, total)) return false;
            p += 17 + total;
            size -= 17 + static_cast<size_t>(total);
        }
        return true;
    }

    bool ReadFrame(const uint8_t* p, size_t size) {
        if (m_width != 0 || size < 6 || p[0] != 8) return false;
        m_height = p[1] << 8 | p[2];
        m_width = p[3] << 8 | p[4];
        m_componentCount = p[5];
        if (m_width < 1 || m_height < 1 || m_width > m_maxSide || m_height > m_maxSide ||
            static_cast<size_t>(m_width) * m_height > kMaxFramePixels)
            return false;
        if ((m_componentCount != 1 && m_componentCount != 3) || size != 6 + 3 * static_cast<size_t>(m_componentCount))
            return false;
        for (int i = 0; i < m_componentCount; ++i) {
            Component& c = m_components[i];
            c.id = p[6 + 3 * i];
            c.h = p[7 + 3 * i] >> 4;
            c.v = p[7 + 3 * i] & 15;
            c.quant = p[8 + 3 * i];
            if (c.h < 1 || c.h > 2 || c.v < 1 || c.v > 2 || c.quant > 3) return false;
            m_hMax = std::max(m_hMax, c.h);
            m_vMax = std::max(m_vMax, c.v);
        }
        // Colour is sampled once per MCU: luma at most twice as densely in either direction.
        for (int i = 1; i < m_componentCount; ++i)
            if (m_components[i].h != 1 || m_components[i].v != 1) return false;
        if (m_componentCount == 1) m_hMax = m_vMax = m_components[0].h = m_components[0].v = 1;
        return true;
    }

    bool ReadScanHeader(const uint8_t* p, size_t size) {
        if (m_width == 0 || size < 1 || p[0] != m_componentCount || size != 4 + 2 * static_cast<size_t>(p[0]))
            return false;
        for (int i = 0; i < m_componentCount; ++i) {
            Component& c = m_components[i];
            if (p[1 + 2 * i] != c.id) return false;
            c.dcTable = p[2 + 2 * i] >> 4;
            c.acTable = p[2 + 2 * i] & 15;
            if (c.dcTable > 3 || c.acTable > 3 || !m_dc[c.dcTable].present || !m_ac[c.acTable].present) return false;
        }
        // Baseline: the whole of each block in one scan.
        const uint8_t* tail = p + 1 + 2 * m_componentCount;
        return tail[0] == 0 && tail[1] == 63 && tail[2] == 0;
    }

    bool DecodeBlock(BitReader& reader, Component& c, uint8_t* out, int stride) {
        const uint16_t* quant = m_quant[c.quant];
        float coefficients[64] = {};
        const int category = reader.Decode(m_dc[c.dcTable]);
        if (category < 0 || category > 11) return false;
        if (category) c.predictor = std::min(65535, std::max(-65535, c.predictor + Extend(reader.Bits(category), category)));
        coefficients[0] = static_cast<float>(c.predictor) * quant[0];
        bool onlyDc = true;
        const Huffman& ac = m_ac[c.acTable];
        for (int k = 1; k < 64;) {
            // Most coefficients: the code and the value's bits within the next nine bits.
            const Huffman::Fast& fast = ac.fast[reader.Peek9()];
            if (fast.length) {
                reader.Skip(fast.length);
                k += fast.run;
                if (k > 63) return false;
                coefficients[kZigzag.natural[k]] = static_cast<float>(fast.value) * quant[k];
                onlyDc = false;
                ++k;
                continue;
            }
            const int symbol = reader.Decode(ac);
            if (symbol < 0) return false;
            const int run = symbol >> 4, bits = symbol & 15;
            if (bits == 0) {
                if (run != 15) break;  // end of block
                k += 16;
                continue;
            }
            k += run;
            if (k > 63) return false;
            coefficients[kZigzag.natural[k]] = static_cast<float>(Extend(reader.Bits(bits), bits)) * quant[k];
            onlyDc = false;
            ++k;
        }
        if (onlyDc) {
            // Flat blocks are most of a game's frame: the transform of a lone DC is its eighth.
            const uint8_t value = ToSample(coefficients[0] * 0.125f);
            for (int y = 0; y < 8; ++y) std::memset(out + y * stride, value, 8);
        } else if (m_sse2) {
            InverseTransformSse2(coefficients, out, stride);
        } else {
            InverseTransform(coefficients, out, stride);
        }
        return true;
    }

    bool DecodeScan(DecodedFrame& frame) {
        const int mcuWidth = 8 * m_hMax, mcuHeight = 8 * m_vMax;
        const int mcusX = (m_width + mcuWidth - 1) / mcuWidth, mcusY = (m_height + mcuHeight - 1) / mcuHeight;
        for (int i = 0; i < m_componentCount; ++i) {
            Component& c = m_components[i];
            c.stride = mcusX * c.h * 8;
            c.rows.assign(static_cast<size_t>(c.stride) * c.v * 8, 0);
        }
        frame.width = m_width;
        frame.height = m_height;
        frame.pixels.resize(static_cast<size_t>(m_width) * m_height);

        BitReader reader(m_p, m_end);
        int untilRestart = m_restartInterval;
        for (int my = 0; my < mcusY; ++my) {
            for (int mx = 0; mx < mcusX; ++mx) {
                if (m_restartInterval && untilRestart == 0) {
                    if (!reader.Restart()) return false;
                    for (int i = 0; i < m_componentCount; ++i) m_components[i].predictor = 0;
                    untilRestart = m_restartInterval;
                }
                for (int i = 0; i < m_componentCount; ++i) {
                    Component& c = m_components[i];
                    for (int by = 0; by < c.v; ++by)
                        for (int bx = 0; bx < c.h; ++bx) {
                            uint8_t* out = c.rows.data() + static_cast<size_t>(by * 8) * c.stride + (mx * c.h + bx) * 8;
                            if (!DecodeBlock(reader, c, out, c.stride)) return false;
                        }
                }
                --untilRestart;
            }
            EmitRows(frame, my * mcuHeight, std::min(mcuHeight, m_height - my * mcuHeight));
        }
        return true;
    }

    // The pixels of one MCU row: `count` rows of the picture from `top`.
    void EmitRows(DecodedFrame& frame, int top, int count) const {
        const Component& luma = m_components[0];
        uint32_t* out = frame.pixels.data() + static_cast<size_t>(top) * m_width;
        if (m_componentCount == 1) {
            for (int y = 0; y < count; ++y, out += m_width) {
                const uint8_t* ys = luma.rows.data() + static_cast<size_t>(y) * luma.stride;
                for (int x = 0; x < m_width; ++x) out[x] = 0xFF000000u | ys[x] * 0x010101u;
            }
            return;
        }
        const Component& cb = m_components[1];
        const Component& cr = m_components[2];
        const int shiftY = m_vMax - 1;  // the chroma is at full or half resolution
        for (int y = 0; y < count; ++y, out += m_width) {
            const uint8_t* ys = luma.rows.data() + static_cast<size_t>(y) * luma.stride;
            const uint8_t* cbs = cb.rows.data() + static_cast<size_t>(y >> shiftY) * cb.stride;
            const uint8_t* crs = cr.rows.data() + static_cast<size_t>(y >> shiftY) * cr.stride;
            if (m_hMax == 1) {
                for (int x = 0; x < m_width; ++x) out[x] = Pixel(ys[x], Chroma(cbs[x], crs[x]));
                continue;
            }
            // Half-width chroma: each chroma sample serves two neighbouring pixels.
            int x = m_sse2 ? ConvertHalfChroma(ys, cbs, crs, out, m_width) : 0;
            for (; x + 1 < m_width; x += 2) {
                const ChromaTerms terms = Chroma(cbs[x >> 1], crs[x >> 1]);
                out[x] = Pixel(ys[x], terms);
                out[x + 1] = Pixel(ys[x + 1], terms);
            }
            if (x < m_width) out[x] = Pixel(ys[x], Chroma(cbs[x >> 1], crs[x >> 1]));
        }
    }

    // What a chroma pair adds to luma for each primary, offset for the clamp table.
    struct ChromaTerms {
        int red, green, blue;
    };
    static ChromaTerms Chroma(int cb, int cr) {
        return {kColour.crToR[cr] + 384, ((kColour.cbToG[cb] + kColour.crToG[cr]) >> 16) + 384, kColour.cbToB[cb] + 384};
    }
    static uint32_t Pixel(int luma, const ChromaTerms& terms) {
        return 0xFF000000u | static_cast<uint32_t>(kColour.clamp[luma + terms.red]) << 16 |
               static_cast<uint32_t>(kColour.clamp[luma + terms.green]) << 8 | kColour.clamp[luma + terms.blue];
    }

    const uint8_t* m_p;
    const uint8_t* m_end;
    const int m_maxSide;
    uint16_t m_quant[4][64] = {};
    Huffman m_dc[4], m_ac[4];
    const bool m_sse2 = HaveSse2();
    Component m_components[kMaxComponents];
    int m_componentCount = 0;
    int m_width = 0, m_height = 0;
    int m_hMax = 1, m_vMax = 1;
    int m_restartInterval = 0;
};

}  // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, int maxSide, DecodedFrame& frame) {
    if (!data) return false;
    Decoder decoder(data, size, maxSide);
    return decoder.Run(frame);
}
