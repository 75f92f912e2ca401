// The trapezoid integral of the synthetic spectrum over wavelength.
#pragma once

#include <cstdint>

#include "spectrum/spectrum_store.h"

namespace linesynth {

// result = sum for i = 1 to n - 1, ascending, of
//   (x(i+1) - x(i)) * (y(i) + y(i+1)) * 0.5
// each term in double on the widened 32-bit values, the running total in
// double, narrowed once at the end. n <= 1 gives 0. Nothing is sorted or
// checked: decreasing x gives negative terms. A count beyond max_points stops
// at the last slot.
//   x 1, 3 / y 2, 4 -> 6;   x 3, 1 / y 2, 4 -> -6;   x 0, 1, 2 / y 1, 1, 1 -> 2
// Only the total is narrowed, so terms below half a unit of the last place
// still count:
//   x 0, 1, 0x1.000002p0, 0x1.000004p0 / y 1, 1, 0.5, 0.5
//     terms 1, 0x1.8p-24, 0x1p-24 -> total 1 + 0x1.4p-23 -> 0x1.000002p0f
//     (a 32-bit running total would give 0x1.000004p0f)
void trapezoid_integral(float& result, const SpectrumTable& y, const SpectrumTable& x,
                        std::int32_t n);

}  // namespace linesynth
