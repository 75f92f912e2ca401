// The fit a caller can trust, as one plain record: the weights (and, when
// asked, the scale of the map to the observed spectrum) that minimise
// chi-squared, their uncertainties, how well the design pins them, and how
// good the fit is, before and after, by the run's own arithmetic.
//
// Every figure that a command prints, a page draws or a survey tabulates is
// here; the commands only render it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "reports/scales.h"
#include "tools/compare/comparison.h"
#include "tools/compare/comparison_figures.h"
#include "tools/compare/fit_statistics.h"
#include "tools/compare/goodness.h"
#include "tools/fit/fit_design.h"
#include "tools/fit/realizations.h"

namespace linesynth::tools {

struct FitOptions {
    FitMode mode = FitMode::non_negative;
    bool scale = false;             // fit ref_a as well (ref_b is kept)
    std::int64_t realizations = 0;  // Monte Carlo refits; 0: none
    std::uint64_t seed = 1;
    std::function<void(std::int64_t done, std::int64_t total)> progress;  // may be empty
};

// The fitted map to the observed scale: ref_a = ref_b + a * (flux_1 - flux_2).
struct ScaleResult {
    double a = 0;                        // the fitted slope, in double
    double ref_a_exact = 0;              // before narrowing
    float ref_a = 0;                     // narrowed: what "qdqd.txt" gets
    float ref_b = 0;                     // kept as read
    std::optional<double> ref_a_error;   // 1 sigma; none when the covariance does not exist
    std::optional<Spread> ref_a_spread;  // over the realizations
};

struct FitResult {
    // The comparison with the files as they are.
    FitStatistics before;
    ComparisonFigures figures;

    // The fit. Sets are numbered from 1; index J - 1 holds set J.
    std::vector<double> fitted;                 // w(J) as the fit gives it
    std::vector<float> weights;                 // narrowed: what "synthesis.txt" gets
    std::vector<std::optional<double>> errors;  // 1 sigma; none at the bound or without covariance
    std::vector<std::int32_t> at_bound;         // sets held at 0 (non-negative fits)
    bool errors_scaled = false;  // unit sigmas: the covariance times chi2_after / dof
    std::optional<ScaleResult> scale;

    // The design's columns scaled to unit length (conditioning.h).
    std::int32_t rank = 0;             // of set_count, plus 1 with the scale
    std::int32_t parameter_count = 0;  // columns: set_count, plus 1 with the scale
    double condition_number = 0;
    std::vector<std::int32_t> dependent;         // sets
    std::vector<std::int32_t> nearly_dependent;  // sets
    bool scale_dependent = false;                // the scale column is in the (near) dependency

    // With the new files, by the run's arithmetic; dof = rows - parameters
    // not at a bound.
    double chi2_after = 0;
    Goodness after;
    // chi2_after above before.chi2: the fit is worse than the weights of
    // "synthesis.txt" (rounding to 32-bit reals can do that to a fit that is
    // already at its optimum). Said with the result; never written.
    bool worse = false;
    // The compared rows with the new files: S(I) as the run would map it
    // (the fitted model a page draws beside the run's).
    std::vector<ComparedRow> rows_after;
    // The map with the new files: ref_a narrowed, the scale factors recomputed
    // (the scale a page draws the components on).
    ReportScales scales_after;

    RealizationSummary realizations;  // count 0 when none were asked
};

// The fit of `fit` and of `report --fit`, with `dir` the data directory. The
// result is a refusal (RefusalKind::fit): no component set, a weight or ref_a
// beyond the 32-bit range, a scale that comes out at 0 or below, a fault of
// the run's arithmetic with the fitted values, or a free fit whose
// chi-squared is above the current one.
std::optional<Refusal> fit_comparison(const Comparison& comparison, const std::string& dir,
                                      const FitOptions& options, FitResult& result);

}  // namespace linesynth::tools
