// What a fit suggests for a data directory: the weights rounded to the
// 32-bit reals the weights file holds, and chi-squared before and after by the
// run's own arithmetic.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/compare/comparison.h"
#include "tools/compare/fit_statistics.h"
#include "tools/fit/fit_design.h"

namespace linesynth::tools {

// What a fit suggests for the compared rows: the weights rounded to 32-bit
// reals, the statistics with the weights of "synthesis.txt", and chi-squared
// with the suggested weights by the run's own arithmetic.
struct WeightFit {
    std::vector<double> weights;          // w(1) first
    std::vector<std::int32_t> at_bound;   // sets held at 0 (non-negative fits only)
    std::int32_t rank = 0;                // of the design matrix
    std::vector<std::int32_t> dependent;  // sets in a linear dependency, when rank < count
};

struct SuggestedFit {
    WeightFit fit;
    std::vector<float> weights;
    FitStatistics before;
    double chi2_after = 0;
    // chi2_after above before.chi2: the suggestion is worse than the weights
    // of "synthesis.txt" (rounding to 32-bit reals can do that to a fit that
    // is already at its optimum). Said with the result; never written.
    bool worse = false;
};

// fit_comparison (fit_result.h) with the weights alone, for `report --fit`,
// with `dir` the data directory; it refuses what that refuses.
std::optional<Refusal> suggest_weights(const Comparison& comparison, const std::string& dir,
                                       FitMode mode, SuggestedFit& suggested);

}  // namespace linesynth::tools
