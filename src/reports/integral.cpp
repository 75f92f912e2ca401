#include "reports/integral.h"

#include <algorithm>

#include "run/checked_math.h"

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
        const double width = static_cast<double>(x[i + 1]) - static_cast<double>(x[i]);
        const double height = static_cast<double>(y[i]) + static_cast<double>(y[i + 1]);
        const double term = width * height * static_cast<double>(half);
        total += term;
    }
    result = narrow(total);
}

}  // namespace linesynth
