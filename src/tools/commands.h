// The companion's subcommands as functions from their options to what they
// print and their exit status, so that the program's main only parses the
// command line and the tests can run a command without a process.
#pragma once

#include <string>

#include "tools/comparison.h"
#include "tools/fit_statistics.h"
#include "tools/weight_fit.h"

namespace linesynth::tools {

struct CommandOptions {
    ComparisonRequest request;
    bool json = false;
    bool free = false;   // fit: any sign for the weights
    bool write = false;  // fit: replace synthesis.txt
};

// Exit status 0, or 1 with one line on `err` and nothing on `out`.
struct CommandOutput {
    int status = 0;
    std::string out;
    std::string err;
};

// What a fit suggests for the compared rows: the weights rounded to 32-bit
// reals, the statistics with the weights of "synthesis.txt", and chi-squared
// with the suggested weights by the run's own arithmetic.
struct SuggestedFit {
    WeightFit fit;
    std::vector<float> weights;
    FitStatistics before;
    double chi2_after = 0;
};

// The fit of `fit` and of `report --fit`, with `dir` the data directory. The
// result is the report of a refusal: no component set, a weight beyond the
// 32-bit range, or a fault of the run's arithmetic with the fitted weights.
std::optional<std::string> suggest_weights(const Comparison& comparison, const std::string& dir,
                                           FitMode mode, SuggestedFit& suggested);

// The statistics of the run's own synthetic spectrum against the observed one.
CommandOutput run_stats(const CommandOptions& options);

// The weights that minimise chi-squared. Without --json, `out` is the text of
// the new weights file and `err` the report.
CommandOutput run_fit(const CommandOptions& options);

}  // namespace linesynth::tools
