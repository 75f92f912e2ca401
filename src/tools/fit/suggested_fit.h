// What a fit suggests for a data directory: the weights rounded to the
// 32-bit reals the weights file holds, and chi-squared before and after by the
// run's own arithmetic.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/compare/comparison.h"
#include "tools/compare/fit_statistics.h"
#include "tools/fit/weight_fit.h"

namespace linesynth::tools {

// What a fit suggests for the compared rows: the weights rounded to 32-bit
// reals, the statistics with the weights of "synthesis.txt", and chi-squared
// with the suggested weights by the run's own arithmetic.
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

// The fit of `fit` and of `report --fit`, with `dir` the data directory. The
// result is the report of a refusal: no component set, a weight beyond the
// 32-bit range (naming its set), a fault of the run's arithmetic with the
// fitted weights, or a free fit whose chi-squared is above the current one.
std::optional<std::string> suggest_weights(const Comparison& comparison, const std::string& dir,
                                           FitMode mode, SuggestedFit& suggested);

}  // namespace linesynth::tools
