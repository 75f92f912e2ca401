#include "reports/integral.h"

#include <algorithm>

#include "base/checked_math.h"

namespace linesynth {

void trapezoid_integral(float& result, const SpectrumTable& y, const SpectrumTable& x,
                        std::int32_t n) {
    result = 0;
    if (n <= 1) {
        return;
    }
    constexpr float half = 0.5f;
    const std::int32_t last = std::min(n, max_points);
    double total = 0;
    for (std::int32_t i = 1; i < last; ++i) {
        const double width = widen(x[i + 1]) - widen(x[i]);
        const double height = widen(y[i]) + widen(y[i + 1]);
        const double term = width * height * widen(half);
        total += term;
    }
    result = narrow(total);
}

}  // namespace linesynth
