// The run's arithmetic with its floating-point faults made explicit.
//
// All formulas are evaluated in double on exactly widened 32-bit operands. With
// operands of 32-bit range no product, sum or difference can leave the double
// range, so the only places a fault can arise are a division, the narrowing of
// a double into a 32-bit real, and the rounding of a double to a 32-bit
// integer. Every such place in the run goes through these helpers, which end
// the run with the M6101 / M6103 / M6104 report instead of producing an
// infinity or an undefined conversion.
//
// No product is fused with the sum that follows it: the build turns
// floating-point contraction off (-ffp-contract=off), and only that flag
// guarantees it. Writing the product as a statement of its own does not:
// compilers may contract across statements.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

namespace linesynth {

// The faults of the helpers below, kept out of line so that the checks cost
// a comparison where they are inlined. Each ends the run with its M report:
// the invalid fault for a NaN (or 0 / 0), else the one named.
[[noreturn]] void fail_narrow(double value);
[[noreturn]] void fail_divide(double numerator);
[[noreturn]] void fail_overflow();
[[noreturn]] void fail_round(double value);

// Exact widening of the run's 32-bit values for the double formulas.
constexpr double widen(float value) {
    return static_cast<double>(value);
}
constexpr double widen(std::int32_t value) {
    return static_cast<double>(value);
}

// The nearest 32-bit real, ties to even, or nothing where the rounding
// overflows: a value above the largest finite 32-bit real that still rounds
// down to it is narrowed to it; a NaN is nothing. For code that reports the
// overflow itself instead of ending the run (the companion's weights).
//   try_narrow(0.1)                   -> 0x1.99999ap-4f
//   try_narrow(0x1.ffffffp127 - tiny) -> 3.40282347e38f (rounds down to the largest)
//   try_narrow(0x1.ffffffp127)        -> nothing (the tie goes to even: infinity)
//   try_narrow(NaN)                   -> nothing
inline std::optional<float> try_narrow(double value) {
    // Halfway between the largest finite 32-bit real and 2^128: from here on
    // the nearest-even rounding gives infinity. The NaN test comes first: a
    // NaN compared with < or >= would raise the invalid trap itself.
    constexpr double overflow_threshold = 0x1.ffffffp+127;
    if (std::isnan(value) || std::fabs(value) >= overflow_threshold) [[unlikely]] {
        return std::nullopt;
    }
    return static_cast<float>(value);
}

// try_narrow where a formula of the run stores a computed value: nothing is
// the run's fault (invalid for a NaN, else overflow). (The reader is stricter
// with values read from a file, see narrow_in_single_range in
// textio/value_conversion.h.)
//   narrow(0.1)                  -> 0x1.99999ap-4f
//   narrow(0x1.ffffffp127)        -> overflow fault
//   narrow(1e-50)                -> 0.0f (underflow is not a fault)
inline float narrow(double value) {
    const std::optional<float> narrowed = try_narrow(value);
    if (!narrowed) [[unlikely]] {
        fail_narrow(value);
    }
    return *narrowed;
}

// numerator / denominator. A zero denominator is a fault: invalid when the
// numerator is zero too, divide by zero otherwise.
//   divide(1, 0) -> divide-by-zero fault;  divide(0, 0) -> invalid fault
inline double divide(double numerator, double denominator) {
    if (denominator == 0.0) [[unlikely]] {
        fail_divide(numerator);
    }
    const double quotient = numerator / denominator;
    if (std::isinf(quotient)) [[unlikely]] {
        fail_overflow();
    }
    return quotient;
}

// Rounds to the nearest integer with halves away from zero: 0.5 is subtracted
// from a negative value and added to any other, in double, and the sum is
// truncated toward zero. A result outside the 32-bit range is an overflow fault.
//   2.5 -> 3;  -2.5 -> -3;  -0.0 -> 0;  2.4999999 -> 2;  -0.4 -> 0
//   2147483647.4 -> 2147483647;  2147483647.5 -> overflow fault
inline std::int32_t round_to_int(double value) {
    const double shifted = value < 0.0 ? value - 0.5 : value + 0.5;
    const double truncated = std::trunc(shifted);
    if (!(truncated >= -2147483648.0 && truncated <= 2147483647.0)) [[unlikely]] {
        fail_round(value);
    }
    return static_cast<std::int32_t>(truncated);
}

// a - b in 32-bit two's complement arithmetic: wraps instead of overflowing.
//   difference(5, 7) -> -2;  difference(INT32_MIN, 1) -> INT32_MAX
constexpr std::int32_t difference(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

}  // namespace linesynth
