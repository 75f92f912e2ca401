// How well the model follows the observed spectrum over the compared rows.
// Every sum runs over the rows in ascending order, in double, on the residual
// r = observed - S of each row (compared_rows.h):
//   residuals 1, -3, 2 with unit sigmas
//     -> mean 0, rms sqrt(14 / 3), mean_abs 2, max_abs 3 (the second row's),
//        chi2 14, chi2_per_point 14 / 3
// The mean absolute deviation in percent skips rows whose observed value is 0,
// and is absent when every row's is:
//   observed 2, 0, 4 with residuals 1, 5, -1 -> 100 * (0.5 + 0.25) / 2 = 37.5
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tools/compare/compared_rows.h"

namespace linesynth::tools {

struct FitStatistics {
    std::int64_t points = 0;
    double mean = 0;
    double rms = 0;
    double mean_abs = 0;
    double max_abs = 0;
    float max_abs_wavelength = 0;  // of the first row with the largest |r|
    double chi2 = 0;               // sum of (r / sigma)^2
    double chi2_per_point = 0;
    std::optional<double> adev_percent;
};

// Precondition: `rows` is not empty.
FitStatistics fit_statistics(const std::vector<ComparedRow>& rows);

// Sum of (r / sigma)^2 over the rows.
double chi_squared(const std::vector<ComparedRow>& rows);

}  // namespace linesynth::tools
