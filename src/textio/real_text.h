// The texts of a 32-bit real and a 32-bit integer as the free-form write lays
// them out (record_writer.h places them in their 15- and 11-column fields).
//
// Integer text: a minus sign for a negative value, then the digits without
// leading zeros; never a plus sign. 1 to 11 characters.
//   0 -> "0";  -5 -> "-5";  2147483647 -> "2147483647";  -2147483648 -> "-2147483648"
//
// Real text. The float is widened exactly; write |x| = 0.d1 d2 ... x 10^p with
// d1 != 0. The exact digits are rounded to 17 significant digits half up, and p
// (raised by one if that rounding carries) picks the form: fixed when
// 1 <= p <= 7, exponent form otherwise, zero included. Only then are the 17
// digits cut to 7, half up on the magnitude (a tie always rounds away from
// zero), a carry raising p once more. Fixed form: sign, the first p digits, a
// point, exactly 6 more digits. Exponent form: sign, d.dddddd, "E", the sign and
// two digits of p - 1 (0 for zero). Zero of either sign has no minus sign.
//   1.0f                        -> "1.000000"
//   0.5f                        -> "5.000000E-01"       (below 1: exponent form)
//   -0.75f                      -> "-7.500000E-01"
//   0.0f, -0.0f                 -> "0.000000E+00"
//   123.456f   (123.456001...)  -> "123.456000"
//   1234.5678f (1234.567749...) -> "1234.568000"
//   -123456.7f (-123456.703125) -> "-123456.700000"
//   9999999.0f                  -> "9999999.000000"     (largest float in fixed form)
//   1.0e7f                      -> "1.000000E+07"
//   0x1p-11f   (0.00048828125)  -> "4.882813E-04"       (a tie rounds up)
//   -0x1p-11f                   -> "-4.882813E-04"      (and away from zero)
//   1048576.5f                  -> "1048577.000000"     (a tie in fixed form)
//   1.0e-5f    (9.99999974...E-6) -> "1.000000E-05"     (the carry raises p)
//   1.0e-20f   (9.99999968...E-21) -> "1.000000E-20"
//   0x1.fffffep127f             -> "3.402823E+38"
//   0x1p-149f                   -> "1.401298E-45"
//
// The 17-digit step matters only where the digits after the 7th run into a
// long string of 9s: 0.d1..d7 4999999999 5 rounds to 17 digits as
// 0.d1..d7 5000000000 and then up, where rounding once to 7 digits would go
// down. So the decision needs the exact digits 8 to 18, not a double
// conversion; see real_text.cpp for how they are obtained quickly. In the
// fixed form the 7-digit cut never carries into a new digit: no float lies
// within half a unit of the 7th digit below 10, 100, ..., 10000000.
//
// Infinities and NaN never reach the writer (the arithmetic traps first); they
// are written "Infinity", "-Infinity" and "NaN" rather than left undefined.
#pragma once

#include <cstddef>
#include <cstdint>

namespace linesynth {

inline constexpr std::size_t real_text_max = 15;
inline constexpr std::size_t integer_text_max = 11;
// The room the formatters need at `out`: they write the text with copies of
// fixed length, which may run past its end (the bytes after the text are
// left undefined).
inline constexpr std::size_t real_text_room = 24;
inline constexpr std::size_t integer_text_room = 16;

// Writes the text of `value` to `out`, which has room for real_text_room
// bytes, and returns its length. No terminating NUL.
std::size_t format_real(float value, char* out);

// The same text, with every rounding and form decision checked by exact integer
// comparison instead of only the few close to a boundary. Slow; it exists so
// that tests can run the exact decisions on every value, not only on the rare
// values near a tie that send format_real there.
std::size_t format_real_exact(float value, char* out);

// Writes the text of `value` to `out`, which has room for integer_text_room
// bytes, and returns its length. No terminating NUL.
std::size_t format_integer(std::int32_t value, char* out);

}  // namespace linesynth
