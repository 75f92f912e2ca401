// The figures of a comparison besides the residual statistics: what the run
// would append as its integral, how the observed spectrum was normalised, its
// signal-to-noise ratio, and the goodness of fit of the run's own weights.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/compare/comparison.h"
#include "tools/compare/fit_statistics.h"
#include "tools/compare/goodness.h"

namespace linesynth::tools {

struct ComparisonFigures {
    std::string title;             // the title record, trailing blanks dropped
    bool sigma_from_file = false;  // else every sigma is 1 and chi2 a sum of squares
    // dof = compared rows - set count: the weights are the parameters a
    // user tunes, whether or not a fit chose them.
    Goodness goodness;
    std::optional<double> snr;           // DER_SNR of the observed compared rows
    std::optional<float> normalised_by;  // the largest flux, when flags 2 4 divided by it
    std::optional<float> integral;       // none when its narrowing overflows
    std::vector<float> weights_in;       // of "synthesis.txt", set 1 first
};

// `stats` are fit_statistics(comparison.rows).
ComparisonFigures comparison_figures(const Comparison& comparison, const FitStatistics& stats);

}  // namespace linesynth::tools
