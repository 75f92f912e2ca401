// The texts of reals and integers: the worked values, ties and near-ties with
// their exact decimal expansions written out, and a sweep over every binary
// exponent against digits computed here by schoolbook decimal arithmetic.
#include "textio/real_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace linesynth {
namespace {

std::string real_text(float value) {
    char out[real_text_room];
    return {out, format_real(value, out)};
}

std::string real_text_exact(float value) {
    char out[real_text_room];
    return {out, format_real_exact(value, out)};
}

std::string integer_text(std::int32_t value) {
    char out[integer_text_room];
    return {out, format_integer(value, out)};
}

struct RealRow {
    float value;
    const char* text;
};

void expect_real_rows(const std::vector<RealRow>& rows) {
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << std::hexfloat << row.value << " -> " << row.text);
        EXPECT_EQ(real_text(row.value), row.text);
        EXPECT_EQ(real_text_exact(row.value), row.text);
    }
}

TEST(RealText, ReplaysTheHeaderExamples) {
    expect_real_rows({
        {1.0f, "1.000000"},
        {0.5f, "5.000000E-01"},
        {-0.75f, "-7.500000E-01"},
        {0.0f, "0.000000E+00"},
        {-0.0f, "0.000000E+00"},
        {123.456f, "123.456000"},
        {1234.5678f, "1234.568000"},
        {-123456.7f, "-123456.700000"},
        {9999999.0f, "9999999.000000"},
        {1.0e7f, "1.000000E+07"},
        {0x1p-11f, "4.882813E-04"},
        {-0x1p-11f, "-4.882813E-04"},
        {1048576.5f, "1048577.000000"},
        {1.0e-5f, "1.000000E-05"},
        {1.0e-20f, "1.000000E-20"},
        {0x1.fffffep127f, "3.402823E+38"},
        {0x1p-149f, "1.401298E-45"},
    });
}

// Each value with the blanks that stand before it in its 15-column field.
TEST(RealText, GivesTheWorkedValuesAndTheirFieldPadding) {
    struct Row {
        float value;
        const char* text;
        std::size_t blanks;
    };
    const Row rows[] = {
        {1.0f, "1.000000", 7},
        {0.5f, "5.000000E-01", 3},
        {123.456f, "123.456000", 5},
        {0x1.4f8b58p-17f, "1.000000E-05", 3},  // 1.0E-5 as stored: 9.99999974737875E-6
        {1.0e8f, "1.000000E+08", 3},
        {-2.5f, "-2.500000", 6},
        {0.0f, "0.000000E+00", 3},
        {-0.0f, "0.000000E+00", 3},
        {1234567.0f, "1234567.000000", 1},
        {9999999.0f, "9999999.000000", 1},
        {1.0e7f, "1.000000E+07", 3},
        {0x1.99999ap-4f, "1.000000E-01", 3},      // 0.1 as stored
        {0x1.921fb6p+1f, "3.141593", 7},          // 3.14159265 as stored: 3.14159274...
        {0x1.34a456p+10f, "1234.568000", 4},      // 1234.5678 as stored: 1234.56774902...
        {-0x1.e240b4p+16f, "-123456.700000", 1},  // -123456.703125
        {0x1p-11f, "4.882813E-04", 3},
        {-0.75f, "-7.500000E-01", 2},
        {0x1.fffffep127f, "3.402823E+38", 3},
        {0x1p-149f, "1.401298E-45", 3},
        {-1234567.0f, "-1234567.000000", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const std::string text = real_text(row.value);
        EXPECT_EQ(text, row.text);
        EXPECT_EQ(real_text_max - text.size(), row.blanks);
    }
}

TEST(RealText, ChoosesTheFormOnTheDecimalPoint) {
    expect_real_rows({
        {0x1.fffffep-1f, "9.999999E-01"},  // 0.99999994..., the float below 1
        {1.0f, "1.000000"},                // p = 1
        {9.999999f, "9.999999"},
        {10.0f, "10.000000"},
        {999999.9375f, "999999.900000"},  // 9999999|375
        {1000000.0f, "1000000.000000"},   // p = 7
        {9999998.0f, "9999998.000000"},
        {0x1.312d0p+23f, "1.000000E+07"},  // 10000000.0, the float after 9999999.0
        {9999999.5f, "1.000000E+07"},      // not a float: stored as 10000000.0
        {-9999999.0f, "-9999999.000000"},
        {-10.0f, "-10.000000"},
        {-0x1.fffffep-1f, "-9.999999E-01"},
    });
}

// Exact ties (an 8th digit 5 and nothing after it) round away from zero.
TEST(RealText, RoundsTiesAwayFromZero) {
    expect_real_rows({
        {0x1p-11f, "4.882813E-04"},  // 0.00048828125
        {-0x1p-11f, "-4.882813E-04"},
        {0x1.8p-9f, "2.929688E-03"},     // 0.0029296875
        {0x1p-12f, "2.441406E-04"},      // 0.000244140625: digit 8 is 2
        {0x1p-14f, "6.103516E-05"},      // 0.00006103515625: digit 8 is 6
        {1048576.5f, "1048577.000000"},  // 1048576|5
        {-1048576.5f, "-1048577.000000"},
        {8388607.5f, "8388608.000000"},   // 8388607|5, the largest half-integer float
        {10000005.0f, "1.000001E+07"},    // 1000000|5
        {-10000015.0f, "-1.000002E+07"},  // 1000001|5
    });
}

// The floats closest to a tie that are not ties, from a scan of all floats;
// their exact expansions decide.
TEST(RealText, RoundsNearTiesByTheirExactDigits) {
    expect_real_rows({
        // 237395449999999893504: 2373954|4999999893504
        {0x1.9bd0c2p+67f, "2.373954E+20"},
        // 5.23791049999999813735485076904296875E-6: 5237910|49999999813...
        {0x1.5f829ep-18f, "5.237910E-06"},
        // 2.52683050000000235656527449548848637...E-23: 2526830|50000000235...
        {0x1.e8c296p-76f, "2.526831E-23"},
        // 6.74718450000000302679836750030517578125E-8: 6747184|50000000302...
        {0x1.21ca14p-24f, "6.747185E-08"},
        // 3.462420500000007450580596923828125E-5: 3462420|500000074...
        {0x1.2272eap-15f, "3.462421E-05"},
    });
}

// A carry out of the 7th digit makes 1.000000 and raises the exponent.
TEST(RealText, CarriesIntoANewDigit) {
    expect_real_rows({
        {1.0e-5f, "1.000000E-05"},  // 9.99999974737875163...E-6
        {-1.0e-5f, "-1.000000E-05"},
        {1.0e-20f, "1.000000E-20"},  // 9.99999968265522538...E-21
        {1.0e-3f, "1.000000E-03"},   // 1.00000004749745130...E-3: no carry, rounds down
    });
}

TEST(RealText, CoversTheWholeExponentRange) {
    expect_real_rows({
        {0x1.fffffep127f, "3.402823E+38"},
        {-0x1.fffffep127f, "-3.402823E+38"},
        {0x1p-126f, "1.175494E-38"},  // the smallest normal float
        {0x1p-149f, "1.401298E-45"},  // the smallest subnormal
        {-0x1p-149f, "-1.401298E-45"},
        {0x1p-148f, "2.802597E-45"},         // 2.80259692864963414...E-45
        {0x1.fffffcp-127f, "1.175494E-38"},  // the largest subnormal: 1.17549421...E-38
        {1.0e38f, "1.000000E+38"},
        {1.0e-38f, "9.999999E-39"},  // a subnormal: 9.99999935...E-39
    });
}

TEST(RealText, NamesValuesThatAreNotNumbers) {
    expect_real_rows({
        {std::bit_cast<float>(0x7f800000u), "Infinity"},
        {std::bit_cast<float>(0xff800000u), "-Infinity"},
        {std::bit_cast<float>(0x7fc00000u), "NaN"},
        {std::bit_cast<float>(0xffc00001u), "NaN"},
    });
}

TEST(IntegerText, WritesDigitsWithoutLeadingZerosOrPlusSign) {
    struct Row {
        std::int32_t value;
        const char* text;
    };
    const Row rows[] = {
        {0, "0"},
        {-5, "-5"},
        {7, "7"},
        {100, "100"},
        {10001, "10001"},
        {-10, "-10"},
        {2147483647, "2147483647"},
        {-2147483647 - 1, "-2147483648"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(integer_text(row.value), row.text);
    }
}

// The rules applied literally to the exact decimal expansion, which is built
// with schoolbook arithmetic on decimal digits.
class Reference {
public:
    // Sets the binary exponent e of the values m * 2^e to come.
    void set_exponent(int e) {
        exponent_ = e;
        scale_.assign(1, 1);  // little-endian decimal digits of 2^e or 5^-e
        const int factor = e >= 0 ? 2 : 5;
        for (int i = 0; i < std::abs(e); ++i) {
            std::uint32_t carry = 0;
            for (auto& digit : scale_) {
                const std::uint32_t value = digit * static_cast<std::uint32_t>(factor) + carry;
                digit = static_cast<std::uint8_t>(value % 10);
                carry = value / 10;
            }
            if (carry != 0) {
                scale_.push_back(static_cast<std::uint8_t>(carry));
            }
        }
    }

    std::string text(bool negative, std::uint32_t m) const {
        if (m == 0) {
            return "0.000000E+00";
        }
        // m * scale, as decimal digits.
        std::vector<std::uint8_t> product;
        std::uint64_t carry = 0;
        for (const auto digit : scale_) {
            const std::uint64_t value = std::uint64_t{digit} * m + carry;
            product.push_back(static_cast<std::uint8_t>(value % 10));
            carry = value / 10;
        }
        for (; carry != 0; carry /= 10) {
            product.push_back(static_cast<std::uint8_t>(carry % 10));
        }
        while (product.back() == 0) {
            product.pop_back();
        }
        std::string digits;
        for (auto it = product.rbegin(); it != product.rend(); ++it) {
            digits += static_cast<char>('0' + *it);
        }
        // 0.digits x 10^p; a negative exponent divides by 10^-e.
        int p = static_cast<int>(digits.size()) + (exponent_ < 0 ? exponent_ : 0);

        // 17 digits, half up, trailing zeros dropped.
        if (digits.size() > 17) {
            const bool up = digits[17] >= '5';
            digits.resize(17);
            if (up && increment(digits)) {
                ++p;
            }
        }
        while (digits.size() > 1 && digits.back() == '0') {
            digits.pop_back();
        }
        const bool fixed = p >= 1 && p <= 7;
        // 7 digits, half up.
        digits.resize(std::max<std::size_t>(digits.size(), 8), '0');
        const bool up = digits[7] >= '5';
        digits.resize(7);
        if (up && increment(digits)) {
            ++p;
        }
        std::string text = negative ? "-" : "";
        if (fixed) {
            const std::string all = digits + std::string(20, '0');
            const auto whole = static_cast<std::size_t>(p);
            text += all.substr(0, whole) + "." + all.substr(whole, 6);
        } else {
            const int e = p - 1;
            text += digits.substr(0, 1) + "." + digits.substr(1, 6) + "E" + (e < 0 ? "-" : "+");
            text += static_cast<char>('0' + std::abs(e) / 10);
            text += static_cast<char>('0' + std::abs(e) % 10);
        }
        return text;
    }

private:
    // Adds one in the last place; a carry out of the first digit makes
    // "100..." of the same length and returns true.
    static bool increment(std::string& digits) {
        for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
            if (*it != '9') {
                ++*it;
                return false;
            }
            *it = '0';
        }
        digits.front() = '1';
        return true;
    }

    int exponent_ = 0;
    std::vector<std::uint8_t> scale_;
};

TEST(Reference, AgreesWithHandWorkedExpansions) {
    Reference reference;
    reference.set_exponent(-11);
    EXPECT_EQ(reference.text(false, 1), "4.882813E-04");
    reference.set_exponent(-40);  // 1.0E-5 as stored is 0xa7c5ac * 2^-40
    EXPECT_EQ(reference.text(false, 0xa7c5ac), "1.000000E-05");
    reference.set_exponent(0);
    EXPECT_EQ(reference.text(true, 9999999), "-9999999.000000");
    EXPECT_EQ(reference.text(false, 10000000), "1.000000E+07");
}

// Every binary exponent, both signs: random mantissas, mantissas with few
// bits (short expansions, exact ties among them), the floats on both sides of
// a decimal tie and of a power of ten; both the fast and the fully exact
// decisions.
TEST(RealText, MatchesTheReferenceAcrossEveryExponent) {
    std::mt19937 engine(20240611);
    const auto random = [&engine] { return static_cast<std::uint32_t>(engine()); };
    Reference reference;
    const auto largest = static_cast<double>(std::numeric_limits<float>::max());
    int checked = 0;
    for (std::uint32_t biased = 0; biased < 255; ++biased) {
        const int e = (biased == 0 ? 1 : static_cast<int>(biased)) - 150;
        reference.set_exponent(e);
        const std::uint32_t implicit = biased == 0 ? 0 : 0x800000;
        std::vector<std::uint32_t> fractions = {0, 1, 0x7fffff, 0x400000, 0x7ffffe};
        for (int i = 0; i < 24; ++i) {
            fractions.push_back(random() & 0x7fffff);
        }
        for (int i = 0; i < 12; ++i) {
            const auto kept = 1 + random() % 12;
            fractions.push_back(random() & 0x7fffff & ~((1u << (23 - kept)) - 1));
        }
        for (int i = 0; i < 8; ++i) {
            // The float nearest the tie after the 7 digits of a random value,
            // and its neighbours.
            const auto value = static_cast<double>(std::bit_cast<float>(
                (biased << 23) | (random() & 0x7fffff) | (biased == 0 ? 1u : 0u)));
            const int p = static_cast<int>(std::floor(std::log10(value))) + 1;
            const double unit = std::pow(10.0, p - 7);
            const double tie = (std::floor(value / unit) + 0.5) * unit;
            if (tie > largest) {
                continue;
            }
            const auto bits = std::bit_cast<std::uint32_t>(static_cast<float>(tie));
            for (std::uint32_t near : {bits - 1, bits, bits + 1}) {
                if ((near >> 23) == biased) {
                    fractions.push_back(near & 0x7fffff);
                }
            }
        }
        {
            // The floats on both sides of the power of ten in this binade.
            const auto low =
                static_cast<double>(std::bit_cast<float>((biased << 23) | (biased == 0 ? 1u : 0u)));
            const double power = std::pow(10.0, std::floor(std::log10(low)) + 1);
            const auto bits =
                std::bit_cast<std::uint32_t>(static_cast<float>(std::min(power, largest)));
            for (std::uint32_t near : {bits - 1, bits, bits + 1}) {
                if ((near >> 23) == biased) {
                    fractions.push_back(near & 0x7fffff);
                }
            }
        }
        for (const auto fraction : fractions) {
            for (const bool negative : {false, true}) {
                const std::uint32_t bits =
                    (negative ? 0x80000000u : 0u) | (biased << 23) | fraction;
                const float value = std::bit_cast<float>(bits);
                const std::string expected = reference.text(negative, implicit | fraction);
                SCOPED_TRACE(::testing::Message() << std::hexfloat << value << " -> " << expected);
                ASSERT_EQ(real_text(value), expected);
                ASSERT_EQ(real_text_exact(value), expected);
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 255 * 2 * 41);
}

}  // namespace
}  // namespace linesynth
