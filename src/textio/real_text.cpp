// How the digits are found quickly and still exactly.
//
// A finite non-zero float is v = m * 2^e with m in [2^23, 2^24) after
// normalising subnormals. Let p be its decimal point position (from the
// binary exponent and one table look-up) and y = v * 10^(7-p), so
// 10^6 <= y < 10^7. Everything the text needs follows from y:
//   - the 7 digits are floor(y), plus one when frac(y) >= 0.49999999995
//     (digit 8 at least 5, or digit 8 a 4 followed by nine 9s and a digit 18 of
//     5 or more, which the 17-digit rounding carries into digit 8);
//   - the 17-digit rounding raises p (and so may change the form) only when
//     floor(y) is 9999999 and frac(y) >= 0.99999999995.
// Both tests compare frac(y) with a threshold that no float meets exactly (the
// threshold's denominator is 2^11 * 5^10, which no float's y has), and y is
// computed as floor(y * 2^37) from a 64-bit truncation of 10^(7-p), which is
// low by less than 3 units of 2^-37. Only when frac(y) falls within those
// 3 units below a threshold is the decision taken by comparing
// m * 2^e * 10^(18-p) with an 18-digit integer exactly, in a few hundred bits
// of fixed-size integer arithmetic. A scan of all finite floats found none
// that needs it (the closest non-tie lies 141 units from the window); the
// exact comparison is there so that correctness does not rest on that scan.
#include "textio/real_text.h"

#include <array>
#include <bit>
#include <cstring>
#include <string_view>

namespace linesynth {
namespace {

constexpr int fraction_bits = 37;
constexpr std::uint64_t one = std::uint64_t{1} << fraction_bits;
constexpr std::uint64_t fraction_mask = one - 1;
constexpr std::uint32_t six_digits = 1000000;     // 10^6, the smallest 7-digit string
constexpr std::uint32_t seven_digits = 10000000;  // 10^7
constexpr std::uint64_t ten_pow_11 = 100000000000;

// floor(y * 2^37) is low by less than this many units.
constexpr std::uint64_t scaling_error = 3;

// A threshold t for frac(y), given as the 11 digits after the point of t.
// t * 2^37 is not an integer; `sure` is its ceiling: a scaled fraction at or
// above it is certainly at or above t, one below `sure - scaling_error` is
// certainly below t, and the few in between are decided exactly.
struct Threshold {
    std::uint64_t digits;  // t = digits / 10^11
    std::uint64_t sure;    // ceil(t * 2^37)
};
// 2^37 * 5 / 10^11 = 6.87...: both thresholds lie that far below 1/2 and 1.
constexpr Threshold round_up{49999999995, one / 2 - 6};
constexpr Threshold carry_17{99999999995, one - 6};

// 10^k ~ mantissa * 2^exponent, the mantissa truncated to 64 bits (exact for
// 0 <= k <= 27), for k = 7 - p over every p a float can have.
struct Power {
    std::uint64_t mantissa;
    int exponent;
};
constexpr int power_min = -32;
constexpr std::array<Power, 84> powers_of_ten{{
    {0xcfb11ead453994ba, -170},  // 10^-32
    {0x81ceb32c4b43fcf4, -166},  // 10^-31
    {0xa2425ff75e14fc31, -163},  // 10^-30
    {0xcad2f7f5359a3b3e, -160},  // 10^-29
    {0xfd87b5f28300ca0d, -157},  // 10^-28
    {0x9e74d1b791e07e48, -153},  // 10^-27
    {0xc612062576589dda, -150},  // 10^-26
    {0xf79687aed3eec551, -147},  // 10^-25
    {0x9abe14cd44753b52, -143},  // 10^-24
    {0xc16d9a0095928a27, -140},  // 10^-23
    {0xf1c90080baf72cb1, -137},  // 10^-22
    {0x971da05074da7bee, -133},  // 10^-21
    {0xbce5086492111aea, -130},  // 10^-20
    {0xec1e4a7db69561a5, -127},  // 10^-19
    {0x9392ee8e921d5d07, -123},  // 10^-18
    {0xb877aa3236a4b449, -120},  // 10^-17
    {0xe69594bec44de15b, -117},  // 10^-16
    {0x901d7cf73ab0acd9, -113},  // 10^-15
    {0xb424dc35095cd80f, -110},  // 10^-14
    {0xe12e13424bb40e13, -107},  // 10^-13
    {0x8cbccc096f5088cb, -103},  // 10^-12
    {0xafebff0bcb24aafe, -100},  // 10^-11
    {0xdbe6fecebdedd5be, -97},   // 10^-10
    {0x89705f4136b4a597, -93},   // 10^-9
    {0xabcc77118461cefc, -90},   // 10^-8
    {0xd6bf94d5e57a42bc, -87},   // 10^-7
    {0x8637bd05af6c69b5, -83},   // 10^-6
    {0xa7c5ac471b478423, -80},   // 10^-5
    {0xd1b71758e219652b, -77},   // 10^-4
    {0x83126e978d4fdf3b, -73},   // 10^-3
    {0xa3d70a3d70a3d70a, -70},   // 10^-2
    {0xcccccccccccccccc, -67},   // 10^-1
    {0x8000000000000000, -63},   // 10^0
    {0xa000000000000000, -60},   // 10^1
    {0xc800000000000000, -57},   // 10^2
    {0xfa00000000000000, -54},   // 10^3
    {0x9c40000000000000, -50},   // 10^4
    {0xc350000000000000, -47},   // 10^5
    {0xf424000000000000, -44},   // 10^6
    {0x9896800000000000, -40},   // 10^7
    {0xbebc200000000000, -37},   // 10^8
    {0xee6b280000000000, -34},   // 10^9
    {0x9502f90000000000, -30},   // 10^10
    {0xba43b74000000000, -27},   // 10^11
    {0xe8d4a51000000000, -24},   // 10^12
    {0x9184e72a00000000, -20},   // 10^13
    {0xb5e620f480000000, -17},   // 10^14
    {0xe35fa931a0000000, -14},   // 10^15
    {0x8e1bc9bf04000000, -10},   // 10^16
    {0xb1a2bc2ec5000000, -7},    // 10^17
    {0xde0b6b3a76400000, -4},    // 10^18
    {0x8ac7230489e80000, 0},     // 10^19
    {0xad78ebc5ac620000, 3},     // 10^20
    {0xd8d726b7177a8000, 6},     // 10^21
    {0x878678326eac9000, 10},    // 10^22
    {0xa968163f0a57b400, 13},    // 10^23
    {0xd3c21bcecceda100, 16},    // 10^24
    {0x84595161401484a0, 20},    // 10^25
    {0xa56fa5b99019a5c8, 23},    // 10^26
    {0xcecb8f27f4200f3a, 26},    // 10^27
    {0x813f3978f8940984, 30},    // 10^28
    {0xa18f07d736b90be5, 33},    // 10^29
    {0xc9f2c9cd04674ede, 36},    // 10^30
    {0xfc6f7c4045812296, 39},    // 10^31
    {0x9dc5ada82b70b59d, 43},    // 10^32
    {0xc5371912364ce305, 46},    // 10^33
    {0xf684df56c3e01bc6, 49},    // 10^34
    {0x9a130b963a6c115c, 53},    // 10^35
    {0xc097ce7bc90715b3, 56},    // 10^36
    {0xf0bdc21abb48db20, 59},    // 10^37
    {0x96769950b50d88f4, 63},    // 10^38
    {0xbc143fa4e250eb31, 66},    // 10^39
    {0xeb194f8e1ae525fd, 69},    // 10^40
    {0x92efd1b8d0cf37be, 73},    // 10^41
    {0xb7abc627050305ad, 76},    // 10^42
    {0xe596b7b0c643c719, 79},    // 10^43
    {0x8f7e32ce7bea5c6f, 83},    // 10^44
    {0xb35dbf821ae4f38b, 86},    // 10^45
    {0xe0352f62a19e306e, 89},    // 10^46
    {0x8c213d9da502de45, 93},    // 10^47
    {0xaf298d050e4395d6, 96},    // 10^48
    {0xdaf3f04651d47b4c, 99},    // 10^49
    {0x88d8762bf324cd0f, 103},   // 10^50
    {0xab0e93b6efee0053, 106},   // 10^51
}};

// A finite non-zero magnitude m * 2^e, m normalised to 24 bits.
struct Binary {
    std::uint32_t m;
    int e;
};

// For each binary exponent b (v in [2^b, 2^(b+1))), the smallest normalised
// mantissa whose value reaches 10^q, q = floor(b * log10(2)) + 1 being the
// point position of 2^b; 2^24 where no mantissa of that exponent does.
constexpr int binary_exponent_min = -149;
constexpr std::array<std::uint32_t, 277> next_point_from{{
    0x1000000, 0x1000000, 0x0e45c11, 0x1000000, 0x1000000, 0x1000000, 0x08eb98b, 0x1000000,
    0x1000000, 0x0b267ee, 0x1000000, 0x1000000, 0x0df01e9, 0x1000000, 0x1000000, 0x1000000,
    0x08b6132, 0x1000000, 0x1000000, 0x0ae397e, 0x1000000, 0x1000000, 0x0d9c7dd, 0x1000000,
    0x1000000, 0x1000000, 0x0881ceb, 0x1000000, 0x1000000, 0x0aa2425, 0x1000000, 0x1000000,
    0x0d4ad2e, 0x1000000, 0x1000000, 0x1000000, 0x084ec3d, 0x1000000, 0x1000000, 0x0a6274c,
    0x1000000, 0x1000000, 0x0cfb11f, 0x1000000, 0x1000000, 0x1000000, 0x081ceb4, 0x1000000,
    0x1000000, 0x0a24260, 0x1000000, 0x1000000, 0x0cad2f8, 0x1000000, 0x1000000, 0x0fd87b6,
    0x1000000, 0x1000000, 0x1000000, 0x09e74d2, 0x1000000, 0x1000000, 0x0c61207, 0x1000000,
    0x1000000, 0x0f79688, 0x1000000, 0x1000000, 0x1000000, 0x09abe15, 0x1000000, 0x1000000,
    0x0c16d9b, 0x1000000, 0x1000000, 0x0f1c901, 0x1000000, 0x1000000, 0x1000000, 0x0971da1,
    0x1000000, 0x1000000, 0x0bce509, 0x1000000, 0x1000000, 0x0ec1e4b, 0x1000000, 0x1000000,
    0x1000000, 0x09392ef, 0x1000000, 0x1000000, 0x0b877ab, 0x1000000, 0x1000000, 0x0e69595,
    0x1000000, 0x1000000, 0x1000000, 0x0901d7d, 0x1000000, 0x1000000, 0x0b424dd, 0x1000000,
    0x1000000, 0x0e12e14, 0x1000000, 0x1000000, 0x1000000, 0x08cbccd, 0x1000000, 0x1000000,
    0x0afec00, 0x1000000, 0x1000000, 0x0dbe6ff, 0x1000000, 0x1000000, 0x1000000, 0x0897060,
    0x1000000, 0x1000000, 0x0abcc78, 0x1000000, 0x1000000, 0x0d6bf95, 0x1000000, 0x1000000,
    0x1000000, 0x08637be, 0x1000000, 0x1000000, 0x0a7c5ad, 0x1000000, 0x1000000, 0x0d1b718,
    0x1000000, 0x1000000, 0x1000000, 0x083126f, 0x1000000, 0x1000000, 0x0a3d70b, 0x1000000,
    0x1000000, 0x0cccccd, 0x1000000, 0x1000000, 0x1000000, 0x1000000, 0x1000000, 0x1000000,
    0x0a00000, 0x1000000, 0x1000000, 0x0c80000, 0x1000000, 0x1000000, 0x0fa0000, 0x1000000,
    0x1000000, 0x1000000, 0x09c4000, 0x1000000, 0x1000000, 0x0c35000, 0x1000000, 0x1000000,
    0x0f42400, 0x1000000, 0x1000000, 0x1000000, 0x0989680, 0x1000000, 0x1000000, 0x0bebc20,
    0x1000000, 0x1000000, 0x0ee6b28, 0x1000000, 0x1000000, 0x1000000, 0x09502f9, 0x1000000,
    0x1000000, 0x0ba43b8, 0x1000000, 0x1000000, 0x0e8d4a6, 0x1000000, 0x1000000, 0x1000000,
    0x09184e8, 0x1000000, 0x1000000, 0x0b5e621, 0x1000000, 0x1000000, 0x0e35faa, 0x1000000,
    0x1000000, 0x1000000, 0x08e1bca, 0x1000000, 0x1000000, 0x0b1a2bd, 0x1000000, 0x1000000,
    0x0de0b6c, 0x1000000, 0x1000000, 0x1000000, 0x08ac724, 0x1000000, 0x1000000, 0x0ad78ec,
    0x1000000, 0x1000000, 0x0d8d727, 0x1000000, 0x1000000, 0x1000000, 0x0878679, 0x1000000,
    0x1000000, 0x0a96817, 0x1000000, 0x1000000, 0x0d3c21c, 0x1000000, 0x1000000, 0x1000000,
    0x0845952, 0x1000000, 0x1000000, 0x0a56fa6, 0x1000000, 0x1000000, 0x0cecb90, 0x1000000,
    0x1000000, 0x1000000, 0x0813f3a, 0x1000000, 0x1000000, 0x0a18f08, 0x1000000, 0x1000000,
    0x0c9f2ca, 0x1000000, 0x1000000, 0x0fc6f7d, 0x1000000, 0x1000000, 0x1000000, 0x09dc5ae,
    0x1000000, 0x1000000, 0x0c5371a, 0x1000000, 0x1000000, 0x0f684e0, 0x1000000, 0x1000000,
    0x1000000, 0x09a130c, 0x1000000, 0x1000000, 0x0c097cf, 0x1000000, 0x1000000, 0x0f0bdc3,
    0x1000000, 0x1000000, 0x1000000, 0x096769a, 0x1000000,
}};

// The decimal point position: 10^(p-1) <= v < 10^p. 78913 / 2^18 is close
// enough to log10(2) to give floor(b * log10(2)) for every b of a float.
int point_of(Binary v) {
    const int b = v.e + 23;
    const int q = (b * 78913 >> 18) + 1;
    return q + (v.m >= next_point_from[static_cast<std::size_t>(b - binary_exponent_min)] ? 1 : 0);
}

// floor(v * 10^(7-p) * 2^37) computed through the truncated power: at most
// the exact value, and less than scaling_error below it.
std::uint64_t scaled(Binary v, int p) {
    const Power& power = powers_of_ten[static_cast<std::size_t>(7 - p - power_min)];
    // m * mantissa as 88 bits in hi:lo, from two 24 x 32-bit products.
    const std::uint64_t a = v.m * (power.mantissa >> 32);
    const std::uint64_t b = v.m * (power.mantissa & 0xffffffff);
    const std::uint64_t lo = b + (a << 32);
    const std::uint64_t hi = (a >> 32) + (lo < b ? 1 : 0);
    // For every (m, e, p) the writer asks about the shift lies in 26..31.
    const int shift = -(v.e + power.exponent + fraction_bits);
    if (shift <= 0) {
        return lo;
    }
    if (shift >= 64) {
        return hi >> (shift - 64);
    }
    const auto s = static_cast<unsigned>(shift);
    return (hi << (64 - s)) | (lo >> s);
}

// An unsigned integer of up to 256 bits, enough for m * 2^a * 5^b and
// x * 2^c * 5^d in every comparison below (at most 176 bits).
class Wide {
public:
    explicit Wide(std::uint64_t value) {
        words_[0] = static_cast<std::uint32_t>(value);
        words_[1] = static_cast<std::uint32_t>(value >> 32);
    }

    void multiply(std::uint32_t factor) {
        std::uint64_t carry = 0;
        for (auto& word : words_) {
            const std::uint64_t product = std::uint64_t{word} * factor + carry;
            word = static_cast<std::uint32_t>(product);
            carry = product >> 32;
        }
    }

    void multiply_pow5(int count) {
        constexpr std::uint32_t pow5_13 = 1220703125;  // the largest power of 5 below 2^32
        for (; count >= 13; count -= 13) {
            multiply(pow5_13);
        }
        for (; count > 0; --count) {
            multiply(5);
        }
    }

    void shift_left(int count) {
        const auto word_shift = static_cast<std::size_t>(count / 32);
        const auto bit_shift = static_cast<unsigned>(count % 32);
        for (std::size_t i = size; i-- > 0;) {
            std::uint64_t value = 0;
            if (i >= word_shift) {
                value = std::uint64_t{words_[i - word_shift]} << bit_shift;
                if (bit_shift != 0 && i > word_shift) {
                    value |= words_[i - word_shift - 1] >> (32 - bit_shift);
                }
            }
            words_[i] = static_cast<std::uint32_t>(value);
        }
    }

    friend int compare(const Wide& left, const Wide& right) {
        for (std::size_t i = size; i-- > 0;) {
            if (left.words_[i] != right.words_[i]) {
                return left.words_[i] < right.words_[i] ? -1 : 1;
            }
        }
        return 0;
    }

private:
    static constexpr std::size_t size = 8;
    std::array<std::uint32_t, size> words_{};
};

// Whether v * 10^(18-p) >= x, exactly: y >= x / 10^11.
bool at_least(Binary v, int p, std::uint64_t x) {
    const int ten = 18 - p;
    const int two = v.e + ten;
    Wide left(v.m);
    Wide right(x);
    if (ten >= 0) {
        left.multiply_pow5(ten);
    } else {
        right.multiply_pow5(-ten);
    }
    if (two >= 0) {
        left.shift_left(two);
    } else {
        right.shift_left(-two);
    }
    return compare(left, right) >= 0;
}

// Whether frac(y) >= t, for y with integer part `whole` and the scaled
// fraction `fraction` of y * 2^37.
template <bool exact>
bool fraction_at_least(Binary v, int p, std::uint32_t whole, std::uint64_t fraction,
                       const Threshold& t) {
    // In the window [sure - scaling_error, sure) the scaled fraction cannot
    // tell; outside it the answer is a plain comparison (kept free of a
    // data-dependent branch, since random digits make it unpredictable).
    const bool in_window = fraction - (t.sure - scaling_error) < scaling_error;
    if (exact || in_window) {
        return at_least(v, p, whole * ten_pow_11 + t.digits);
    }
    return fraction >= t.sure;
}

// The 7 significant digits, the point position after the 7-digit rounding,
// and the form.
struct Decimal {
    std::uint32_t digits;  // 10^6 .. 10^7 - 1
    int point;
    bool fixed;
};

template <bool exact>
Decimal decimal_of(Binary v) {
    int p = point_of(v);
    const std::uint64_t z = scaled(v, p);
    auto whole = static_cast<std::uint32_t>(z >> fraction_bits);
    if constexpr (exact) {
        // Put p and the integer part beyond doubt before anything else, by
        // comparisons that do not rely on the tables.
        while (at_least(v, p, seven_digits * ten_pow_11)) {
            ++p;
        }
        while (!at_least(v, p, six_digits * ten_pow_11)) {
            --p;
        }
        whole = static_cast<std::uint32_t>(scaled(v, p) >> fraction_bits);
        while (at_least(v, p, (whole + std::uint64_t{1}) * ten_pow_11)) {
            ++whole;
        }
        while (!at_least(v, p, whole * ten_pow_11)) {
            --whole;
        }
    }
    // Unused when `exact`: every decision below is then taken by comparison.
    const std::uint64_t fraction = z & fraction_mask;
    // Without `exact`, whole may be one short with fraction within 3 units of
    // 1 (y an integer, or just above one); both tests below then answer yes,
    // which gives the same digits and point as the true y would.
    int form_point = p;
    if (whole == seven_digits - 1 && fraction_at_least<exact>(v, p, whole, fraction, carry_17)) {
        ++form_point;
    }
    Decimal result{whole, p, false};
    result.digits += fraction_at_least<exact>(v, p, whole, fraction, round_up) ? 1u : 0u;
    if (result.digits == seven_digits) {
        result.digits = six_digits;
        ++result.point;
    }
    result.fixed = form_point >= 1 && form_point <= 7;
    return result;
}

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the 7 digits of 10^6 <= value < 10^7, then nine '0' digits: the
// places past the 7th in the fixed form (16 bytes in all).
//   1234568 -> "1234568" "000000000"
// The 8 digits of value * 10 (below 10^8; its last digit is the first of the
// zeros) are made at once in one 64-bit word, the first digit in the lowest
// byte: the two halves of 4 digits in 32-bit lanes, each split into two
// pairs in 16-bit lanes, each pair into two digits in bytes. The divisions by
// 100 and 10 are multiplications that are exact below 10^4 and 100, and no
// lane's product reaches the next lane.
void write_seven(std::uint32_t value, char* out) {
    std::uint32_t eight = value * 10;
    if constexpr (std::endian::native != std::endian::little) {
        for (std::size_t place = 8; place-- > 0; eight /= 10) {
            out[place] = static_cast<char>('0' + eight % 10);
        }
    } else {
        const std::uint64_t fours =
            (eight / 10000) | (static_cast<std::uint64_t>(eight % 10000) << 32);
        const std::uint64_t high_pairs = ((fours * 10486) >> 20) & 0x0000007f0000007f;
        const std::uint64_t pairs = ((fours - high_pairs * 100) << 16) | high_pairs;
        const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000f000f000f000f;
        const std::uint64_t digits = (((pairs - tens * 10) << 8) | tens) + 0x3030303030303030;
        std::memcpy(out, &digits, sizeof digits);
    }
    std::memcpy(out + 8, "00000000", 8);
}

std::size_t write_special(std::string_view text, char* out) {
    std::memcpy(out, text.data(), text.size());
    return text.size();
}

// `exact` is a template argument so that the fast text carries none of the
// exact decisions' code or tests.
template <bool exact>
std::size_t format(float value, char* out) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    const bool negative = (bits >> 31) != 0;
    const std::uint32_t biased = (bits >> 23) & 0xff;
    std::uint32_t m = bits & 0x7fffff;
    if (biased == 0xff) {
        if (m != 0) {
            return write_special("NaN", out);
        }
        return write_special(negative ? "-Infinity" : "Infinity", out);
    }
    if (biased == 0 && m == 0) {
        return write_special("0.000000E+00", out);
    }
    int e = 0;
    if (biased == 0) {
        // Subnormal: shift the mantissa up to 24 bits.
        const int lead = std::countl_zero(m) - 8;
        m <<= lead;
        e = -149 - lead;
    } else {
        m |= 0x800000;
        e = static_cast<int>(biased) - 150;
    }
    const Decimal decimal = decimal_of<exact>(Binary{m, e});

    // The 7 digits and zeros after them. Every copy below has a fixed
    // length; what runs past the text is overwritten or left beyond it.
    char digits[16];
    write_seven(decimal.digits, digits);
    // The sign is written always and kept only for a negative value: random
    // signs would make a branch here mispredict half the time.
    out[0] = '-';
    char* cursor = out + (negative ? 1 : 0);
    if (decimal.fixed) {
        // decimal.point is 1 to 7 here: the form's point is raised only from
        // 7 to 8, and the 7-digit cut never carries in the fixed form.
        //   digits "1234568", point 4 -> "1234" "." "568" "000"
        const auto whole = static_cast<std::size_t>(decimal.point);
        std::memcpy(cursor, digits, 8);
        cursor[whole] = '.';
        std::memcpy(cursor + whole + 1, digits + whole, 8);
        cursor += whole + 7;
    } else {
        const int exponent = decimal.point - 1;
        const auto magnitude = static_cast<std::uint32_t>(exponent < 0 ? -exponent : exponent);
        cursor[0] = digits[0];
        cursor[1] = '.';
        std::memcpy(cursor + 2, digits + 1, 8);
        cursor[8] = 'E';
        cursor[9] = exponent < 0 ? '-' : '+';
        std::memcpy(cursor + 10, digit_pairs + std::size_t{2} * magnitude, 2);
        cursor += 12;
    }
    return static_cast<std::size_t>(cursor - out);
}

}  // namespace

std::size_t format_real(float value, char* out) {
    return format<false>(value, out);
}

std::size_t format_real_exact(float value, char* out) {
    return format<true>(value, out);
}

std::size_t format_integer(std::int32_t value, char* out) {
    // The magnitude as unsigned, so that -2147483648 needs no special case.
    std::uint32_t magnitude = static_cast<std::uint32_t>(value);
    if (value < 0) {
        magnitude = 0u - magnitude;
    }
    out[0] = '-';
    char* const start = out + (value < 0 ? 1 : 0);
    std::size_t count = 1;
    for (std::uint32_t bound = 10; count < 10 && magnitude >= bound; bound *= 10) {
        ++count;
    }
    // Pairs of digits from the last place up, then the first one or two.
    char* cursor = start + count;
    while (magnitude >= 100) {
        cursor -= 2;
        std::memcpy(cursor, digit_pairs + std::size_t{2} * (magnitude % 100), 2);
        magnitude /= 100;
    }
    if (magnitude >= 10) {
        std::memcpy(cursor - 2, digit_pairs + std::size_t{2} * magnitude, 2);
    } else {
        cursor[-1] = static_cast<char>('0' + magnitude);
    }
    return static_cast<std::size_t>(start + count - out);
}

}  // namespace linesynth
