#include "base/checked_math.h"

#include <cmath>

#include "base/run_end.h"

namespace linesynth {

void fail_narrow(double value) {
    fail_math(std::isnan(value) ? MathFault::invalid : MathFault::overflow);
}

void fail_divide(double numerator) {
    fail_math(numerator == 0.0 || std::isnan(numerator) ? MathFault::invalid
                                                        : MathFault::divide_by_zero);
}

void fail_overflow() {
    fail_math(MathFault::overflow);
}

void fail_round(double value) {
    fail_math(std::isnan(value) ? MathFault::invalid : MathFault::overflow);
}

}  // namespace linesynth
