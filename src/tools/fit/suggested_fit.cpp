#include "tools/fit/suggested_fit.h"

#include "base/checked_math.h"
#include "inputs/input_files.h"
#include "tools/compare/failure_text.h"
#include "tools/compare/number_text.h"

namespace linesynth::tools {

std::optional<std::string> suggest_weights(const Comparison& comparison, const std::string& dir,
                                           FitMode mode, SuggestedFit& suggested) {
    const RunData& data = *comparison.data;
    const std::int32_t set_count = data.parameters.set_count;
    if (set_count < 1) {
        return dir + weights_file_name + ": " + std::to_string(set_count) +
               " component sets; a fit needs at least one";
    }
    suggested.fit = fit_weights(data, *comparison.kept, comparison.rows, mode);
    suggested.weights.clear();
    for (std::size_t slot = 0; slot < suggested.fit.weights.size(); ++slot) {
        const auto weight = try_narrow(suggested.fit.weights[slot]);
        if (!weight) {
            return "the fitted weight of set " + std::to_string(slot + 1) +
                   " is beyond the range of a 32-bit real";
        }
        suggested.weights.push_back(*weight);
    }
    std::vector<ComparedRow> fitted_rows;
    if (const auto failure =
            rebuilt_rows(data, *comparison.kept, suggested.weights, comparison.rows, fitted_rows)) {
        return "with the fitted weights: " + failure_text(*failure);
    }
    suggested.before = fit_statistics(comparison.rows);
    suggested.chi2_after = chi_squared(fitted_rows);
    suggested.worse = suggested.chi2_after > suggested.before.chi2;
    if (suggested.worse && mode == FitMode::free) {
        // A free fit worse than the weights it started from has met sets
        // that are dependent at 32-bit precision, where the solution is
        // unstable. Here goes the rank decision (dependent sets reported,
        // the minimum-norm solution for them); until it decides, such a fit
        // is not suggested at all.
        return "the free fit gives chi-squared " + shortest_text(suggested.chi2_after) +
               ", above the current " + shortest_text(suggested.before.chi2) +
               " (sets dependent at 32-bit precision?); no weights are suggested";
    }
    return std::nullopt;
}

}  // namespace linesynth::tools
