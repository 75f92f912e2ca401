#include "textio/value_conversion.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace linesynth {
namespace {

constexpr std::uint64_t int32_max = 2147483647;
// Accumulated magnitudes stop growing here: far enough above int32_max to
// tell out-of-range apart, and far from overflowing the accumulator.
constexpr std::uint64_t magnitude_cap = std::uint64_t{1} << 40;

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The value of `c` as a digit of bases up to 36, or 36 when it is none.
unsigned digit_value(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    if (c >= 'a' && c <= 'z') {
        return static_cast<unsigned>(c - 'a') + 10;
    }
    if (c >= 'A' && c <= 'Z') {
        return static_cast<unsigned>(c - 'A') + 10;
    }
    return 36;
}

std::uint64_t accumulate(std::uint64_t sum, unsigned base, unsigned digit) {
    return std::min(sum * base + digit, magnitude_cap);
}

bool is_exponent_letter(char c) {
    return c == 'E' || c == 'e' || c == 'D' || c == 'd';
}

}  // namespace

ReadError parse_integer(std::string_view text, std::int32_t& value) {
    if (text == "-2147483648") {
        value = std::numeric_limits<std::int32_t>::min();
        return std::nullopt;
    }
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint64_t magnitude = 0;
    std::size_t digits = 0;
    for (; i < text.size() && is_digit(text[i]); ++i, ++digits) {
        magnitude = accumulate(magnitude, 10, digit_value(text[i]));
    }
    if (i < text.size() && text[i] == '#') {
        // "#ff" is hexadecimal; "b#digits" has base b.
        const std::uint64_t base = digits == 0 ? 16 : magnitude;
        if (base < 2 || base > 36) {
            return Failure::radix_range;
        }
        magnitude = 0;
        for (++i; i < text.size(); ++i) {
            if (text[i] == '#') {
                return Failure::second_radix_mark;
            }
            const unsigned digit = digit_value(text[i]);
            if (digit >= base) {
                return Failure::integer_syntax;
            }
            magnitude = accumulate(magnitude, static_cast<unsigned>(base), digit);
        }
    } else if (i < text.size()) {
        return Failure::integer_syntax;
    }
    if (magnitude > int32_max) {
        return Failure::integer_range;
    }
    const auto result = static_cast<std::int32_t>(magnitude);
    value = negative ? -result : result;
    return std::nullopt;
}

ReadError parse_double(std::string_view text, double& value) {
    if (text.size() > token_capacity) {
        return Failure::real_syntax;
    }
    // The longest leading number of the accepted form, copied into the form
    // that from_chars takes: no '+', the exponent always after an 'e'.
    std::array<char, token_capacity + 2> normal;
    std::size_t n = 0;
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (negative) {
        normal[n++] = '-';
    }
    // The mantissa is 0.d1d2... x 10^point_position with d1 the first digit
    // that is not 0; this is what tells overflow from underflow below.
    long point_position = 0;
    bool significant = false;
    bool point = false;
    std::size_t digits = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
        } else if (is_digit(c)) {
            ++digits;
            if (!point) {
                significant = significant || c != '0';
                point_position += significant ? 1 : 0;
            } else if (!significant) {
                significant = c != '0';
                point_position -= significant ? 0 : 1;
            }
        } else {
            break;
        }
        normal[n++] = c;
    }
    if (digits == 0) {
        return Failure::real_syntax;  // a lone '.', a lone sign, a letter
    }
    long exponent = 0;
    std::size_t j = i;
    const bool letter = j < text.size() && is_exponent_letter(text[j]);
    j += letter ? 1 : 0;
    const bool signed_exponent = j < text.size() && (text[j] == '+' || text[j] == '-');
    const bool exponent_negative = signed_exponent && text[j] == '-';
    j += signed_exponent ? 1 : 0;
    if ((letter || signed_exponent) && j < text.size() && is_digit(text[j])) {
        normal[n++] = 'e';
        if (exponent_negative) {
            normal[n++] = '-';
        }
        for (; j < text.size() && is_digit(text[j]); ++j) {
            normal[n++] = text[j];
            // Saturates far beyond any exponent that matters to a double.
            exponent = std::min(exponent * 10 + (text[j] - '0'), 1'000'000L);
        }
        exponent = exponent_negative ? -exponent : exponent;
        i = j;
    }

    double result = 0.0;
    const auto [end, error] = std::from_chars(normal.data(), normal.data() + n, result);
    if (error == std::errc::result_out_of_range) {
        // from_chars stores nothing when the value leaves the double range:
        // too large fails, too small is zero of the right sign.
        if (point_position + exponent > 0) {
            return Failure::double_range;
        }
        result = negative ? -0.0 : 0.0;
    } else if (error != std::errc{} || end != normal.data() + n) {
        return Failure::real_syntax;  // cannot happen for the text built above
    }
    if (i != text.size()) {
        return Failure::real_syntax;
    }
    value = result;
    return std::nullopt;
}

ReadError narrow_in_single_range(double value, float& real) {
    if (std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
        return Failure::single_range;
    }
    real = static_cast<float>(value);
    return std::nullopt;
}

ReadError convert_integer(const Token& token, std::int32_t& value) {
    if (token.kind != TokenKind::plain) {
        return Failure::quoted_number;
    }
    if (token.overlong) {
        return Failure::integer_syntax;
    }
    return parse_integer(token.view(), value);
}

ReadError convert_double(const Token& token, double& value) {
    if (token.kind != TokenKind::plain) {
        return Failure::quoted_number;
    }
    if (token.overlong) {
        return Failure::real_syntax;
    }
    return parse_double(token.view(), value);
}

ReadError convert_real(const Token& token, float& value) {
    double wide = 0.0;
    if (const ReadError error = convert_double(token, wide)) {
        return error;
    }
    return narrow_in_single_range(wide, value);
}

void convert_characters(const Token& token, char* buffer, std::size_t length) {
    if (length == 0) {
        return;
    }
    const std::size_t taken = std::min(length, token.length);
    std::memcpy(buffer, token.text.data(), taken);
    std::memset(buffer + taken, ' ', length - taken);
}

}  // namespace linesynth
