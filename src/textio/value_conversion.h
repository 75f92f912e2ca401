// Conversion of a scanned free-form value (free_form_token.h) to an integer,
// a real, a double or characters. No I/O: a conversion either stores the value
// or returns the failure that ends the read; on failure the variable is left
// as it was. A null value (an empty token) never reaches these functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "textio/free_form_token.h"
#include "textio/read_error.h"

namespace linesynth {

// A 32-bit integer: an optional sign, then decimal digits or a radix form
// ("base#digits" for bases 2 to 36, digits beyond 9 being letters of either
// case, or "#hexdigits"). The characters are checked from left to right and the
// first bad one decides the failure; the base is checked at its '#', before
// the digits after it; the range is checked last, on a well-formed text.
//   "42" -> 42           "+7" -> 7            "-0" -> 0
//   "+" -> 0             "-" -> 0             (a sign with no digits)
//   "-2147483648" -> INT32_MIN                "2147483648" -> F6100
//   "-02147483648" -> F6100 (only that exact text reaches INT32_MIN)
//   "16#FF" -> 255       "#ff" -> 255         "36#Zz" -> 1295
//   "-16#FF" -> -255     "16#" -> 0           "#" -> 0
//   "16#7FFFFFFF" -> 2147483647               "16#80000000" -> F6100
//   "12.0" -> F6101      "1e3" -> F6101       "2#12" -> F6101
//   "37#1" -> F6303      "1#0" -> F6303       "0#" -> F6303
//   "16#1#2" -> F6302    "16#G#1" -> F6101    "37#1#2" -> F6303
//   "99999999999x" -> F6101 (syntax before range)
ReadError parse_integer(std::string_view text, std::int32_t& value);

// A double: an optional sign; digits with at most one '.' among them and at
// least one digit; then optionally an exponent: one of E e D d, an optional
// sign and digits, or a sign directly followed by digits. The nearest double is
// taken; a value too small becomes zero or the nearest subnormal.
// The longest leading number of that form decides F6102: it fails when that
// number is too large for a double, whatever follows it. Then anything left
// after it, or no such number at all, fails with F6103.
//   "1" -> 1     "1." -> 1      ".5" -> 0.5     "-0.5" -> -0.5    "-0" -> -0.0
//   "1e3" -> 1000   "1D3" -> 1000   "1.0E+03" -> 1000   "2.5d-2" -> 0.025
//   "1.5-3" -> 0.0015   "2+5" -> 200000     "1E39" -> 1e39
//   "1e-400" -> 0.0     "-1e-400" -> -0.0   "4.9e-324" -> 0x0.0000000000001p-1022
//   "1E400" -> F6102    "1E400x" -> F6102   "x1E400" -> F6103
//   "1.5E" -> F6103     "1.5E+" -> F6103    "1.5-" -> F6103   "1,5" -> F6103
//   "." -> F6103        "-" -> F6103        "1.2.3" -> F6103  "inf" -> F6103
// A text longer than token_capacity fails with F6103.
ReadError parse_double(std::string_view text, double& value);

// The nearest 32-bit real to an already rounded double (a second rounding,
// ties to even), for a value read from a file. A double whose magnitude
// exceeds the largest finite 32-bit real fails with F6104, also one that would
// round down to it (the arithmetic's narrow() in base/checked_math.h faults
// only where the rounding overflows):
//   0x1.fffffep+127 -> 0x1.fffffep+127f
//   3.4028235e38 (the double 0x1.fffffe54daff8p+127) -> F6104
//   0x1.000001p+0 (a tie) -> 0x1p+0f        1e-50 -> 0.0f
ReadError narrow_in_single_range(double value, float& real);

// The token-level conversions: a quoted or parenthesised token for a number
// fails with F6504 before anything else, an overlong plain token with F6101
// (integer) or F6103 (real, double).
//   get_real of "1E39" -> F6104, get_double of "1E39" -> 1e39
//   get_real of "1.00000005960464477539063" -> 1.0f: the nearest double is the
//   tie 1 + 2^-24, which then goes to even (one rounding would give 1 + 2^-23)
ReadError convert_integer(const Token& token, std::int32_t& value);
ReadError convert_double(const Token& token, double& value);
ReadError convert_real(const Token& token, float& value);

// A plain decimal value (free_form_token.h) as a double, without looking at
// its text, when the rounding is certain: a significand up to 2^53 and at
// most 22 fraction digits are both exact doubles, so one division, rounded
// by the hardware, gives the nearest double to their quotient, the same value
// parse_double finds. Returns false, and leaves `value` alone, for any other
// value; the caller then converts the token.
//   {125, 2} -> 1.25    {5, 1, negative} -> -0.5    {0, 1, negative} -> -0.0
//   {9007199254740993, 0} (2^53 + 1) -> false       {1, 23} -> false
inline bool plain_decimal_to_double(const PlainDecimal& number, double& value) {
    // The powers of ten that a double holds exactly.
    static constexpr double exact_powers[] = {
        1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22,
    };
    constexpr std::uint64_t exact_significand_max = std::uint64_t{1} << 53;
    if (number.significand > exact_significand_max || number.fraction_digits < 0 ||
        number.fraction_digits > 22) {
        return false;
    }
    // Converted as signed (it is below 2^63), which is one instruction.
    const double quotient = static_cast<double>(static_cast<std::int64_t>(number.significand)) /
                            exact_powers[static_cast<std::size_t>(number.fraction_digits)];
    value = number.negative ? -quotient : quotient;
    return true;
}

// Characters: the first `length` characters of the token (the text between
// the quotes, the plain text, or the pair without blanks), padded with blanks.
//   'y' -> y;  yes -> y;  (1, 2) -> 1;  with length 3: ab -> "ab "
void convert_characters(const Token& token, char* buffer, std::size_t length);

}  // namespace linesynth
