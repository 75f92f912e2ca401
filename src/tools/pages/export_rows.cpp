#include "tools/pages/export_rows.h"

#include "tools/compare/compared_rows.h"
#include "tools/compare/failure_text.h"
#include "tools/fit/suggested_fit.h"
#include "tools/fit/weight_fit.h"

namespace linesynth::tools {

std::optional<Refusal> export_rows(const Comparison& comparison, const std::string& dir, bool fit,
                                   ExportRows& exported) {
    const RunData& data = *comparison.data;
    exported.rows = compared_rows(*data.store, data.scales, data.calibration,
                                  comparison.kept->observed_count, {}, comparison.sigma);
    if (!fit) {
        return std::nullopt;
    }
    SuggestedFit suggested;
    if (auto refusal = suggest_weights(comparison, dir, FitMode::non_negative, suggested)) {
        return refusal;
    }
    if (const auto failure = rebuilt_rows(data, *comparison.kept, suggested.weights, data.scales,
                                          exported.rows, exported.fitted)) {
        return Refusal{
            RefusalKind::fit, {}, 0, "with the fitted weights: " + failure_text(*failure)};
    }
    return std::nullopt;
}

}  // namespace linesynth::tools
