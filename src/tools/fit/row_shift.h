// How far, in rows, the observed spectrum lies from the model along the
// rows. The run compares row I of the observed file with row I of the
// synthetic spectrum; an observed spectrum moved by s rows (a wrong
// wavelength zero point, a shifted calibration) reads observed(I) =
// S(I - s) + noise, roughly S(I) - s * S'(I), and a fit of the weights then
// bends them to make up for it.
//
// The estimate is a linearised least-squares fit, sigma-weighted, of the
// observed spectrum by the components of a weights-only fit (any sign) plus
// one more column, -S'(I): the derivative along the rows of the model with
// the fitted weights, from the central differences (X(I + 1) - X(I - 1)) / 2
// of the continuum and of each component (one-sided at the ends of the
// compared rows). Starting from the weights fitted without a shift, the
// column is built from the weights of the step before, twice (Gauss-Newton).
// s is the coefficient of that column, its error the square root of its
// diagonal entry of the covariance (times chi2 / dof of this fit without a
// sigma file). It is significant above 3 errors and 0.1 row.
// Report only: the fitted weights remain those of the row-by-row model.
//   observed = model moved by 0.5 row -> s about 0.5
//   observed = model                  -> s 0 (no residual)
#pragma once

#include <optional>
#include <string>

#include "tools/compare/comparison.h"

namespace linesynth::tools {

inline constexpr double shift_significance = 3;  // errors
inline constexpr double shift_floor = 0.1;       // rows

struct RowShift {
    double value = 0;  // rows; positive: the observed features lie at higher rows
    double error = 0;
    bool significant = false;
};

// None when the columns leave the shift undetermined (a flat model, too few
// rows).
std::optional<RowShift> row_shift(const Comparison& comparison, bool sigma_from_file);

// What a significant shift means for the user, in one sentence without its
// final stop; the text report and the report page both say it.
std::string shift_warning();

}  // namespace linesynth::tools
