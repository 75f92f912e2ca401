#include "tools/fit/fit_result.h"

#include "base/checked_math.h"
#include "inputs/input_files.h"
#include "tools/compare/failure_text.h"
#include "tools/compare/number_text.h"
#include "tools/fit/fit_errors.h"
#include "tools/fit/solved_fit.h"
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

// The fitted weights, and ref_a with the scale, narrowed to the 32-bit reals
// the files hold, with the sets held at 0; the narrowed ref_a goes into
// `scales` too, for the run's arithmetic with the new files.
std::optional<Refusal> narrowed_parameters(const RunData& data, const SolvedFit& solved, bool scale,
                                           FitResult& result, ReportScales& scales) {
    const ModelParameters& parameters = solved.parameters;
    if (scale && !(parameters.scale > 0)) {
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
        if (solved.solution.at_bound[slot]) {
            result.at_bound.push_back(static_cast<std::int32_t>(slot + 1));
        }
    }
    if (!scale) {
        return std::nullopt;
    }
    ScaleResult& fitted = result.scale.emplace();
    fitted.a = parameters.scale;
    fitted.ref_b = data.scales.ref_b;
    fitted.ref_a_exact = ref_a_of(parameters.scale, data.scales.ref_b, solved.flux_span);
    const auto ref_a = try_narrow(fitted.ref_a_exact);
    if (!ref_a) {
        return fit_refusal("the fitted ref_a is beyond the range of a 32-bit real");
    }
    fitted.ref_a = *ref_a;
    scales.ref_a = *ref_a;
    return std::nullopt;
}

void add_conditioning(const SolvedFit& solved, std::int32_t set_count, FitResult& result) {
    const Conditioning& condition = solved.condition;
    result.parameter_count = static_cast<std::int32_t>(solved.design.columns.cols());
    result.rank = static_cast<std::int32_t>(condition.rank);
    result.condition_number = condition.condition_number;
    result.dependent = set_numbers(condition.dependent, set_count, result.scale_dependent);
    result.nearly_dependent =
        set_numbers(condition.nearly_dependent, set_count, result.scale_dependent);
}

// The fit judged by the run's own arithmetic with the new files: the
// compared rows, chi-squared and the goodness of fit, whose degrees of
// freedom count the parameters not at a bound.
std::optional<Refusal> judge_fit(const Comparison& comparison, const FitOptions& options,
                                 const std::vector<bool>& at_bound, ReportScales& scales,
                                 FitResult& result) {
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
    for (const bool held : at_bound) {
        moved += held ? 0 : 1;
    }
    result.after = goodness_of_fit(result.chi2_after, result.before.points, moved,
                                   result.figures.sigma_from_file);
    return std::nullopt;
}

}  // namespace

// The stages in order, each filling its part of the result: the solution
// (solved_fit.h), the narrowed weights and scale, the conditioning, the fit
// judged by the run's arithmetic, the errors (fit_errors.h) and the offset
// along the rows (row_shift.h). A refusal stops at its stage.
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
    const SolvedFit solved = solve_fit(comparison, options.mode, options.scale);
    ReportScales scales = data.scales;
    if (auto refused = narrowed_parameters(data, solved, options.scale, result, scales)) {
        return refused;
    }
    add_conditioning(solved, set_count, result);
    if (auto refused = judge_fit(comparison, options, solved.solution.at_bound, scales, result)) {
        return refused;
    }
    add_fit_errors(solved, options, result);
    result.shift = row_shift(comparison, result.figures.sigma_from_file);
    return std::nullopt;
}

}  // namespace linesynth::tools
