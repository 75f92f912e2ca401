#include "tools/fit/fit_result.h"

#include <cmath>

#include "base/checked_math.h"
#include "inputs/input_files.h"
#include "tools/compare/failure_text.h"
#include "tools/compare/number_text.h"
#include "tools/fit/conditioning.h"
#include "tools/fit/uncertainty.h"
#include "tools/fit/weight_fit.h"

namespace linesynth::tools {
namespace {

// What the fit refuses is about its numbers, not about a place in a file.
Refusal fit_refusal(std::string text) {
    return {RefusalKind::fit, {}, 0, std::move(text)};
}

// The compared rows as the run would give them with `weights` and the
// references of `scales`: its synthesis, then its scale factors from the
// references (computed into `scales`), then its map.
std::optional<RunFailure> rows_with(const Comparison& comparison, const std::vector<float>& weights,
                                    ReportScales& scales, std::vector<ComparedRow>& rows) {
    const RunData& data = *comparison.data;
    if (auto failure = guarded([&] { compute_scale_factors(scales, data.calibration); })) {
        return failure;
    }
    return rebuilt_rows(data, *comparison.kept, weights, scales, comparison.rows, rows);
}

std::vector<std::int32_t> set_numbers(const std::vector<Eigen::Index>& columns,
                                      std::int32_t set_count, bool& scale_named) {
    std::vector<std::int32_t> sets;
    for (const Eigen::Index column : columns) {
        if (column < set_count) {
            sets.push_back(static_cast<std::int32_t>(column + 1));
        } else {
            scale_named = true;
        }
    }
    return sets;
}

}  // namespace

std::optional<Refusal> fit_comparison(const Comparison& comparison, const std::string& dir,
                                      const FitOptions& options, FitResult& result) {
    const RunData& data = *comparison.data;
    const std::int32_t set_count = data.parameters.set_count;
    if (set_count < 1) {
        return fit_refusal(dir + weights_file_name + ": " + std::to_string(set_count) +
                           " component sets; a fit needs at least one");
    }
    result.before = fit_statistics(comparison.rows);
    result.figures = comparison_figures(comparison, result.before);

    const FitDesign design = fit_design(data, *comparison.kept, comparison.rows, options.scale);
    // One QR of the tall problem serves the solution, the conditioning and
    // the covariance: its triangle has the design's singular values and
    // A^T A.
    const ReducedProblem problem = reduce_problem(design.columns, design.target);
    const DesignSolution solution = solve_design(problem, options.mode);
    const ModelParameters parameters = model_parameters(design, solution.x);
    if (options.scale && !(parameters.scale > 0)) {
        return fit_refusal("the fitted scale of the map to the observed spectrum is " +
                           shortest_text(parameters.scale) +
                           ", not above 0: the spectra do not pin the scale (fit without --scale)");
    }
    result.fitted = parameters.weights;
    result.weights.clear();
    for (std::size_t slot = 0; slot < parameters.weights.size(); ++slot) {
        const auto weight = try_narrow(parameters.weights[slot]);
        if (!weight) {
            return fit_refusal("the fitted weight of set " + std::to_string(slot + 1) +
                               " is beyond the range of a 32-bit real");
        }
        result.weights.push_back(*weight);
        if (solution.at_bound[slot]) {
            result.at_bound.push_back(static_cast<std::int32_t>(slot + 1));
        }
    }
    ReportScales scales = data.scales;
    const double flux_span = widen(data.calibration.flux_1) - widen(data.calibration.flux_2);
    if (options.scale) {
        ScaleResult& scale = result.scale.emplace();
        scale.a = parameters.scale;
        scale.ref_b = data.scales.ref_b;
        scale.ref_a_exact = widen(data.scales.ref_b) + parameters.scale * flux_span;
        const auto ref_a = try_narrow(scale.ref_a_exact);
        if (!ref_a) {
            return fit_refusal("the fitted ref_a is beyond the range of a 32-bit real");
        }
        scale.ref_a = *ref_a;
        scales.ref_a = *ref_a;
    }

    const Conditioning condition = conditioning(problem.a);
    result.parameter_count = static_cast<std::int32_t>(design.columns.cols());
    result.rank = static_cast<std::int32_t>(condition.rank);
    result.condition_number = condition.condition_number;
    result.dependent = set_numbers(condition.dependent, set_count, result.scale_dependent);
    result.nearly_dependent =
        set_numbers(condition.nearly_dependent, set_count, result.scale_dependent);

    if (const auto failure = rows_with(comparison, result.weights, scales, result.rows_after)) {
        return fit_refusal(
            (options.scale ? "with the fitted weights and scale: " : "with the fitted weights: ") +
            failure_text(*failure));
    }
    result.scales_after = scales;
    result.chi2_after = chi_squared(result.rows_after);
    result.worse = result.chi2_after > result.before.chi2;
    if (result.worse && options.mode == FitMode::free) {
        // A free fit worse than the weights it started from has met sets
        // that are dependent at 32-bit precision, where the solution is
        // unstable (the conditioning names them when asked with the
        // non-negative fit); such a fit is not suggested at all.
        return fit_refusal("the free fit gives chi-squared " + shortest_text(result.chi2_after) +
                           ", above the current " + shortest_text(result.before.chi2) +
                           " (sets dependent at 32-bit precision?); no weights are suggested");
    }
    std::int64_t moved = 0;
    for (const bool held : solution.at_bound) {
        moved += held ? 0 : 1;
    }
    result.after = goodness_of_fit(result.chi2_after, result.before.points, moved,
                                   result.figures.sigma_from_file);

    // Without sigmas the covariance of unit weights is scaled by the scatter
    // of the residuals, the usual estimate of the unknown common sigma.
    result.errors_scaled = !result.figures.sigma_from_file;
    const double variance_factor =
        result.errors_scaled
            ? (result.after.chi2_reduced ? *result.after.chi2_reduced : std::nan(""))
            : 1.0;
    std::vector<std::optional<double>> errors;
    if (std::isfinite(variance_factor)) {
        errors = formal_errors(model_jacobian(design, problem.a, parameters), solution.at_bound,
                               variance_factor);
    } else {
        errors.resize(solution.at_bound.size());
    }
    result.errors.assign(errors.begin(), errors.begin() + set_count);
    if (result.scale && errors.back()) {
        result.scale->ref_a_error = std::fabs(flux_span) * *errors.back();
    }

    if (options.realizations > 0) {
        RealizationRequest request;
        request.count = options.realizations;
        request.seed = options.seed;
        request.gaussian = result.figures.sigma_from_file;
        request.mode = options.mode;
        if (options.progress) {
            request.progress = [&](std::int64_t done) {
                options.progress(done, options.realizations);
            };
        }
        result.realizations = realizations(design, solution.x, request);
        if (result.scale && result.realizations.scale) {
            // ref_a is affine in a, and type-7 quantiles follow an affine
            // map (a falling one swaps the tails).
            const Spread& a = *result.realizations.scale;
            const auto ref_a = [&](double value) {
                return widen(data.scales.ref_b) + value * flux_span;
            };
            result.scale->ref_a_spread = flux_span >= 0
                                             ? Spread{ref_a(a.median), ref_a(a.p16), ref_a(a.p84)}
                                             : Spread{ref_a(a.median), ref_a(a.p84), ref_a(a.p16)};
        }
    }
    return std::nullopt;
}

}  // namespace linesynth::tools
