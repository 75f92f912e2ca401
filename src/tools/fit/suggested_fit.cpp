#include "tools/fit/suggested_fit.h"

#include "tools/fit/fit_result.h"

namespace linesynth::tools {

std::optional<Refusal> suggest_weights(const Comparison& comparison, const std::string& dir,
                                       FitMode mode, SuggestedFit& suggested) {
    FitOptions options;
    options.mode = mode;
    FitResult result;
    if (auto reason = fit_comparison(comparison, dir, options, result)) {
        return reason;
    }
    suggested.fit = {result.fitted, result.at_bound, result.rank, result.dependent};
    suggested.weights = result.weights;
    suggested.before = result.before;
    suggested.chi2_after = result.chi2_after;
    suggested.worse = result.worse;
    return std::nullopt;
}

}  // namespace linesynth::tools
