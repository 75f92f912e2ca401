// The fit's errors stage: from the solved design to what a FitResult says of
// its uncertainty (weight_errors.h has the rules): the errors and how each
// was obtained, the upper limits of the weights held at 0, the combinations
// of (nearly) dependent sets and the covariance, with the Monte Carlo
// refits (realizations.h) when they are asked or a weight is held at 0.
//
// The result carries ref_a, not the scale a that the design fits: ref_a is
// affine in a, ref_a = ref_b + a * (flux_1 - flux_2), so its error is |flux
// span| times a's, its quantiles are a's mapped (a falling map swaps the
// tails), and its row and column of the covariance are a's times the flux
// span (a falling map turns the signs of its correlations).
#pragma once

#include "tools/fit/fit_result.h"
#include "tools/fit/solved_fit.h"

namespace linesynth::tools {

// Fills the errors, error methods, upper limits, combinations, covariance,
// correlation and realizations of `result`, and ref_a's error and spread,
// from `solved` and from what the earlier stages put in `result` (the sets
// at the bound, the fitted scale, the goodness of fit after). Without a
// variance factor (no degrees of freedom left) no parameter has an error.
void add_fit_errors(const SolvedFit& solved, const FitOptions& options, FitResult& result);

}  // namespace linesynth::tools
