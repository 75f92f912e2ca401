#include "base/checked_math.h"

#include <cmath>

#include "base/run_end.h"

namespace linesynth {

float narrow(double value) {
    // Halfway between the largest finite 32-bit real and 2^128: from here on
    // the nearest-even rounding gives infinity.
    constexpr double overflow_threshold = 0x1.ffffffp+127;
    if (std::isnan(value)) {
        fail_math(MathFault::invalid);
    }
    if (std::fabs(value) >= overflow_threshold) {
        fail_math(MathFault::overflow);
    }
    return static_cast<float>(value);
}

double divide(double numerator, double denominator) {
    if (denominator == 0.0) {
        fail_math(numerator == 0.0 || std::isnan(numerator) ? MathFault::invalid
                                                            : MathFault::divide_by_zero);
    }
    const double quotient = numerator / denominator;
    if (std::isinf(quotient)) {
        fail_math(MathFault::overflow);
    }
    return quotient;
}

std::int32_t round_to_int(double value) {
    const double shifted = value < 0.0 ? value - 0.5 : value + 0.5;
    const double truncated = std::trunc(shifted);
    if (!(truncated >= -2147483648.0 && truncated <= 2147483647.0)) {
        fail_math(std::isnan(value) ? MathFault::invalid : MathFault::overflow);
    }
    return static_cast<std::int32_t>(truncated);
}

}  // namespace linesynth
