// Conversions of a scanned value: integers, doubles, the narrowing to a
// 32-bit real, characters. Expected values are hex-float literals, bit
// patterns or texts worked out by hand.
#include "textio/value_conversion.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>

namespace linesynth {
namespace {

constexpr int ok = 0;

int number_of(const ReadError& error) {
    return error ? static_cast<int>(*error) : ok;
}

Token plain(const std::string& text, TokenKind kind = TokenKind::plain) {
    Token token;
    token.kind = kind;
    for (const char c : text) {
        if (token.length == token_capacity) {
            token.overlong = true;
            break;
        }
        token.text[token.length++] = c;
    }
    return token;
}

struct IntegerRow {
    std::string text;
    std::int32_t value;
    int failure;
};

TEST(ParseInteger, DecimalAndRadixFormsAndTheirFailures) {
    const IntegerRow rows[] = {
        {"42", 42, ok},
        {"+7", 7, ok},
        {"-7", -7, ok},
        {"-0", 0, ok},
        {"007", 7, ok},
        {"+", 0, ok},
        {"-", 0, ok},
        {"2147483647", 2147483647, ok},
        {"-2147483647", -2147483647, ok},
        {"-2147483648", std::numeric_limits<std::int32_t>::min(), ok},
        {"2147483648", 0, 6100},
        {"-2147483649", 0, 6100},
        {"-02147483648", 0, 6100},
        {"+2147483648", 0, 6100},
        {"99999999999999999999999999", 0, 6100},
        {"16#FF", 255, ok},
        {"16#ff", 255, ok},
        {"#ff", 255, ok},
        {"#7FFFFFFF", 2147483647, ok},
        {"2#101", 5, ok},
        {"8#777", 511, ok},
        {"36#Zz", 1295, ok},
        {"36#10", 36, ok},
        {"016#10", 16, ok},
        {"-16#FF", -255, ok},
        {"+#10", 16, ok},
        {"16#", 0, ok},
        {"#", 0, ok},
        {"16#7FFFFFFF", 2147483647, ok},
        {"16#80000000", 0, 6100},
        {"2#1111111111111111111111111111111", 2147483647, ok},
        {"2#10000000000000000000000000000000", 0, 6100},
        {"-16#80000000", 0, 6100},
        {"12.0", 0, 6101},
        {"1e3", 0, 6101},
        {"1E3", 0, 6101},
        {"x", 0, 6101},
        {"1 2", 0, 6101},
        {"--1", 0, 6101},
        {"+-1", 0, 6101},
        {"1-", 0, 6101},
        {"2#12", 0, 6101},
        {"10#A", 0, 6101},
        {"16#G", 0, 6101},
        {"16#-1", 0, 6101},
        {"1.5#3", 0, 6101},
        {"99999999999x", 0, 6101},
        {"16#FFFFFFFFFFFFFFFFFFFFFFFFz", 0, 6101},
        {"37#1", 0, 6303},
        {"1#0", 0, 6303},
        {"0#", 0, 6303},
        {"99999999999#1", 0, 6303},
        {"37#1#2", 0, 6303},
        {"16#1#2", 0, 6302},
        {"##", 0, 6302},
        {"16#FFFFFFFFF#", 0, 6302},
        {"16#G#1", 0, 6101},
        {"2#1#2", 0, 6302},
        {"2#2#1", 0, 6101},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        std::int32_t value = -99;
        EXPECT_EQ(number_of(parse_integer(row.text, value)), row.failure);
        EXPECT_EQ(value, row.failure == ok ? row.value : -99);
    }
}

struct DoubleRow {
    std::string text;
    double value;
    int failure;
};

TEST(ParseDouble, AcceptedFormsRangeAndFailureOrder) {
    const DoubleRow rows[] = {
        {"1", 1.0, ok},
        {"1.", 1.0, ok},
        {".5", 0x1p-1, ok},
        {"-0.5", -0x1p-1, ok},
        {"+2.25", 0x1.2p+1, ok},
        {"0", 0.0, ok},
        {"-0", -0.0, ok},
        {"-.0e5", -0.0, ok},
        {"1e3", 1000.0, ok},
        {"1E3", 1000.0, ok},
        {"1D3", 1000.0, ok},
        {"1d3", 1000.0, ok},
        {"1.0E+03", 1000.0, ok},
        {"2.5d-2", 0x1.999999999999ap-6, ok},
        {"1.5D0", 0x1.8p+0, ok},
        {"5.e3", 5000.0, ok},
        {"1.5-3", 0x1.89374bc6a7efap-10, ok},
        {"2+5", 200000.0, ok},
        {"-2-1", -0x1.999999999999ap-3, ok},
        {"1E39", 0x1.78287f49c4a1dp+129, ok},
        {"1e0000000000000000000000000000000003", 1000.0, ok},
        {"0e99999999999999999999", 0.0, ok},
        {"100e306", 1e308, ok},
        {"0.00000000001e319", 1e308, ok},
        {"1.7976931348623157e308", 0x1.fffffffffffffp+1023, ok},
        {"1.7976931348623158e308", 0x1.fffffffffffffp+1023, ok},
        {"-1.7976931348623158e308", -0x1.fffffffffffffp+1023, ok},
        // Subnormals and underflow: the nearest value, zero keeping its sign.
        {"1e-310", 0x0.012688b70e62bp-1022, ok},
        {"4.9e-324", 0x1p-1074, ok},
        {"2.4703282292062328e-324", 0x1p-1074, ok},
        {"2.4703282292062327e-324", 0.0, ok},
        {"1e-400", 0.0, ok},
        {"-1e-400", -0.0, ok},
        {"1000e-327", 0.0, ok},
        {"0.001e-321", 0.0, ok},
        {"1e-99999999999999999999", 0.0, ok},
        // Too large for a double; the leading number decides, before the syntax.
        {"1E400", 0, 6102},
        {"-1E400", 0, 6102},
        {"1000e306", 0, 6102},
        {"1.7976931348623159e308", 0, 6102},
        {"1e99999999999999999999", 0, 6102},
        {"1E400x", 0, 6102},
        {"1E400.5", 0, 6102},
        // Not wholly of the accepted form.
        {"x1E400", 0, 6103},
        {"1.5E", 0, 6103},
        {"1.5E+", 0, 6103},
        {"1.5e-", 0, 6103},
        {"1.5-", 0, 6103},
        {"1.5D", 0, 6103},
        {"1,5", 0, 6103},
        {".", 0, 6103},
        {"-", 0, 6103},
        {"+", 0, 6103},
        {"-.", 0, 6103},
        {"e5", 0, 6103},
        {".e5", 0, 6103},
        {"1.2.3", 0, 6103},
        {"1e5e5", 0, 6103},
        {"1e5.", 0, 6103},
        {"1x", 0, 6103},
        {"1 ", 0, 6103},
        {"inf", 0, 6103},
        {"nan", 0, 6103},
        {"0x1p3", 0, 6103},
        {"--1", 0, 6103},
        {"1E+-3", 0, 6103},
        {"16#FF", 0, 6103},
        {std::string(260, '1'), 0, 6103},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        double value = 0.25;
        EXPECT_EQ(number_of(parse_double(row.text, value)), row.failure);
        const double expected = row.failure == ok ? row.value : 0.25;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(expected))
            << std::hexfloat << value;
    }
}

TEST(ParseDouble, LongMantissaIsRoundedOnce) {
    // 1 followed by 258 zeros fills a token and is exactly 10^258.
    double value = 0;
    EXPECT_EQ(number_of(parse_double("1" + std::string(258, '0'), value)), ok);
    EXPECT_EQ(value, 1e258);
    // 1 + 2^-53 (the tie between 1 and its successor) and a digit 1 far
    // behind it: the digits past the 17th still push it up.
    const std::string tie = "1.00000000000000011102230246251565404236316680908203125";
    EXPECT_EQ(number_of(parse_double(tie, value)), ok);
    EXPECT_EQ(value, 1.0);
    EXPECT_EQ(number_of(parse_double(tie + std::string(150, '0') + "1", value)), ok);
    EXPECT_EQ(value, 0x1.0000000000001p+0);
}

struct NarrowRow {
    double value;
    std::uint32_t bits;  // of the expected 32-bit real
    int failure;
};

TEST(NarrowToReal, SecondRoundingAndSinglePrecisionRange) {
    const NarrowRow rows[] = {
        {1.0, 0x3f800000, ok},
        {-2.5, 0xc0200000, ok},
        {0.0, 0x00000000, ok},
        {-0.0, 0x80000000, ok},
        {0x1.fffffep+127, 0x7f7fffff, ok},
        {-0x1.fffffep+127, 0xff7fffff, ok},
        {0x1.fffffe0000001p+127, 0, 6104},
        {0x1.fffffe54daff8p+127, 0, 6104},  // the double nearest 3.4028235e38
        {0x1.ffffffp+127, 0, 6104},
        {-0x1.fffffe0000001p+127, 0, 6104},
        {1e39, 0, 6104},
        {0x1.000001p+0, 0x3f800000, ok},         // a tie goes to even: down
        {0x1.000003p+0, 0x3f800002, ok},         // a tie goes to even: up
        {0x1.0000010000001p+0, 0x3f800001, ok},  // just above a tie
        {0x1.0000009ffffffp+0, 0x3f800000, ok},  // just below a tie
        {-0x1.000001p+0, 0xbf800000, ok},
        {0x1p-126, 0x00800000, ok},
        {0x1p-149, 0x00000001, ok},
        {0x1p-150, 0x00000000, ok},  // half the least subnormal: even is 0
        {0x1.0000000000001p-150, 0x00000001, ok},
        {-0x1p-160, 0x80000000, ok},
        {1e-50, 0x00000000, ok},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << std::hexfloat << row.value);
        float real = 0.25f;
        EXPECT_EQ(number_of(narrow_in_single_range(row.value, real)), row.failure);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(real),
                  row.failure == ok ? row.bits : std::bit_cast<std::uint32_t>(0.25f));
    }
}

struct RealRow {
    std::string text;
    std::uint32_t bits;
    int failure;
};

TEST(ConvertReal, DecimalToDoubleThenToReal) {
    const RealRow rows[] = {
        {"1.5", 0x3fc00000, ok},
        {"-0", 0x80000000, ok},
        {"0.1", 0x3dcccccd, ok},
        {"1e3", 0x447a0000, ok},
        {"1.5D0", 0x3fc00000, ok},
        // The nearest double of each is the tie 1 + 2^-24, which goes to 1.
        {"1.00000005960464477539063", 0x3f800000, ok},
        {"1.0000000596046448", 0x3f800000, ok},
        // Its nearest double lies above the tie.
        {"1.0000000596046449", 0x3f800001, ok},
        {"3.4028234663852886E38", 0x7f7fffff, ok},
        {"3.4028234E38", 0x7f7fffff, ok},
        {"3.4028235E38", 0, 6104},
        {"-3.4028235E38", 0, 6104},
        {"1E39", 0, 6104},
        {"1E400", 0, 6102},
        {"1.5E", 0, 6103},
        {"1.4E-45", 0x00000001, ok},
        {"1e-46", 0x00000000, ok},
        {"-1e-46", 0x80000000, ok},
        {"1e-400", 0x00000000, ok},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        float real = 0.25f;
        EXPECT_EQ(number_of(convert_real(plain(row.text), real)), row.failure);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(real),
                  row.failure == ok ? row.bits : std::bit_cast<std::uint32_t>(0.25f));
    }
}

TEST(ConvertNumber, QuotedParenthesisedAndOverlongTokens) {
    struct Row {
        Token token;
        int integer_failure;
        int real_failure;
    };
    const Row rows[] = {
        {plain("1", TokenKind::quoted), 6504, 6504},
        {plain("1,2", TokenKind::parenthesised), 6504, 6504},
        {plain(std::string(300, '1'), TokenKind::parenthesised), 6504, 6504},
        {plain(std::string(300, '1')), 6101, 6103},
        {plain(std::string(259, '1')), 6100, ok},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.token.view()));
        std::int32_t integer = 0;
        double wide = 0;
        float real = 0;
        EXPECT_EQ(number_of(convert_integer(row.token, integer)), row.integer_failure);
        EXPECT_EQ(number_of(convert_double(row.token, wide)), row.real_failure);
        EXPECT_EQ(number_of(convert_real(row.token, real)),
                  row.real_failure == ok ? 6104 : row.real_failure);
    }
}

TEST(ConvertCharacters, FirstCharactersPaddedWithBlanks) {
    struct Row {
        Token token;
        std::size_t length;
        std::string stored;
    };
    const Row rows[] = {
        {plain("y", TokenKind::quoted), 1, "y"},
        {plain("yes"), 1, "y"},
        {plain("1,2", TokenKind::parenthesised), 1, "1"},
        {plain("ab"), 3, "ab "},
        {plain("it's", TokenKind::quoted), 4, "it's"},
        {plain(std::string(300, 'z')), 1, "z"},
        {plain("abc"), 0, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.token.view()));
        char buffer[8] = {'?', '?', '?', '?', '?', '?', '?', '?'};
        convert_characters(row.token, buffer, row.length);
        EXPECT_EQ(std::string(buffer, row.length), row.stored);
        EXPECT_EQ(buffer[row.length], '?');
    }
}

}  // namespace
}  // namespace linesynth
