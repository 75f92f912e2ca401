#include "tools/pages/report_data.h"

#include <algorithm>
#include <cmath>

#include "base/checked_math.h"
#include "inputs/spectrum_files.h"
#include "tools/compare/comparison_figures.h"
#include "tools/compare/mask.h"
#include "tools/fit/row_shift.h"

namespace linesynth::tools {
namespace {

// Each masked range with the rows it held among those that could be compared.
std::vector<ReportMask> report_masks(const Comparison& comparison) {
    // The rows' wavelengths sorted once: each range is then two searches.
    std::vector<float> wavelengths;
    for (std::int32_t index = 1; index <= last_comparable_row(comparison); ++index) {
        const float wavelength = comparison.data->store->wavelengths[index];
        if (!std::isnan(wavelength)) {
            wavelengths.push_back(wavelength);
        }
    }
    std::sort(wavelengths.begin(), wavelengths.end());
    std::vector<ReportMask> masks;
    masks.reserve(comparison.mask.size());
    for (const MaskRange& range : comparison.mask) {
        masks.push_back({widen(range.low), widen(range.high),
                         static_cast<std::int32_t>(count_in_range(wavelengths, range))});
    }
    return masks;
}

}  // namespace

ReportData report_data(const DrawnComparison& drawn, bool bounded) {
    const Comparison& comparison = drawn.comparison;
    const RunData& data = *comparison.data;
    ReportData report;
    report.statistics = fit_statistics(comparison.rows);
    report.figures = comparison_figures(comparison, report.statistics);
    // The fit measured the same shift on the same comparison.
    report.shift =
        drawn.fit ? drawn.fit->shift : row_shift(comparison, report.figures.sigma_from_file);
    report.masks = report_masks(comparison);
    for (std::int32_t set = 1; set <= data.parameters.set_count && set <= max_component_sets;
         ++set) {
        report.weights.push_back(data.parameters.weight(set));
    }
    if (drawn.fit) {
        report.fit = ReportFit{*drawn.fit, bounded};
    }
    report.calibration = data.calibration;
    report.scales = data.scales;
    report.norm_a = data.store->norm_a;
    report.norm_b = data.store->norm_b;
    report.normalised = observed_is_normalised(*data.store);
    report.max_observed = data.store->max_observed;
    return report;
}

}  // namespace linesynth::tools
