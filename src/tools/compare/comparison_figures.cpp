#include "tools/compare/comparison_figures.h"

#include <algorithm>
#include <cstdint>

#include "inputs/spectrum_files.h"
#include "reports/integral.h"
#include "tools/compare/signal_noise.h"

namespace linesynth::tools {

ComparisonFigures comparison_figures(const Comparison& comparison, const FitStatistics& stats) {
    const RunData& data = *comparison.data;
    const SpectrumStore& store = *data.store;
    ComparisonFigures figures;
    const char* title = data.parameters.title_line;
    std::size_t length = sizeof data.parameters.title_line;
    while (length > 0 && (title[length - 1] == ' ' || title[length - 1] == '\0')) {
        --length;
    }
    figures.title.assign(title, length);
    figures.sigma_from_file = !comparison.sigma.empty();
    const std::int32_t set_count = std::max(data.parameters.set_count, std::int32_t{0});
    figures.goodness =
        goodness_of_fit(stats.chi2, stats.points, set_count, figures.sigma_from_file);
    std::vector<double> observed;
    observed.reserve(comparison.rows.size());
    for (const ComparedRow& row : comparison.rows) {
        observed.push_back(static_cast<double>(row.observed));
    }
    figures.snr = der_snr(observed);
    if (observed_is_normalised(store)) {
        figures.normalised_by = store.max_observed;
    }
    // The run's last step, on the store as its first stage left it.
    float integral = 0;
    if (!guarded([&] {
            trapezoid_integral(integral, store.synthetic, store.wavelengths, store.point_count);
        })) {
        figures.integral = integral;
    }
    for (std::int32_t set = 1; set <= set_count; ++set) {
        figures.weights_in.push_back(data.parameters.weight(set));
    }
    return figures;
}

}  // namespace linesynth::tools
