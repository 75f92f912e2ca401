#include "tools/pages/plot_data.h"

#include <algorithm>

#include "base/checked_math.h"
#include "tools/compare/mask.h"

namespace linesynth::tools {
namespace {

// Set J's contribution to the model at the compared rows, on the observed
// scale: w(J) * component_J(I) * scale_fwd, with component_J(I) as its file
// left it up to the file's count and 0 above (the model of fit_design.h), and
// scale_fwd that of the fitted map when a fit ran.
PlotComponent contribution(const DrawnComparison& drawn, std::int32_t set, float weight) {
    const KeptColumns& kept = *drawn.comparison.kept;
    const auto slot = static_cast<std::size_t>(set - 1);
    const ReportScales& scales =
        drawn.fit ? drawn.fit->scales_after : drawn.comparison.data->scales;
    const double scale = widen(weight) * widen(scales.scale_fwd);
    PlotComponent component{set, {}};
    for (const ComparedRow& row : drawn.comparison.rows) {
        const double value = row.index <= kept.component_counts[slot]
                                 ? static_cast<double>(kept.components[slot][row.index])
                                 : 0.0;
        component.values.push_back(value * scale);
    }
    return component;
}

void add_compared_rows(const DrawnComparison& drawn, PlotData& plot) {
    const Comparison& comparison = drawn.comparison;
    for (const ComparedRow& row : comparison.rows) {
        plot.index.push_back(row.index);
        plot.wavelength.push_back(static_cast<double>(row.wavelength));
        plot.observed.push_back(static_cast<double>(row.observed));
        plot.model.push_back(row.synthetic);
        plot.residual.push_back(residual(row));
        if (!comparison.sigma.empty()) {
            plot.sigma.push_back(row.sigma);
        }
    }
    if (drawn.fit) {
        for (const ComparedRow& row : drawn.fit->rows_after) {
            plot.fitted_model.push_back(row.synthetic);
            plot.fitted_residual.push_back(residual(row));
        }
    }
}

void add_components(const DrawnComparison& drawn, PlotData& plot) {
    const RunParameters& parameters = drawn.comparison.data->parameters;
    const std::int32_t sets = std::min(parameters.set_count, max_component_sets);
    for (std::int32_t set = 1; set <= sets; ++set) {
        const float weight = drawn.fit ? drawn.fit->weights[static_cast<std::size_t>(set - 1)]
                                       : parameters.weight(set);
        plot.components.push_back(contribution(drawn, set, weight));
    }
}

void add_masked_rows(const Comparison& comparison, PlotData& plot) {
    const SpectrumStore& store = *comparison.data->store;
    const MaskIndex lookup = mask_index(comparison.mask);
    for (std::int32_t index = 1; index <= last_comparable_row(comparison); ++index) {
        if (masked(lookup, store.wavelengths[index])) {
            plot.masked_index.push_back(index);
            plot.masked_wavelength.push_back(static_cast<double>(store.wavelengths[index]));
            plot.masked_observed.push_back(static_cast<double>(store.observed[index]));
        }
    }
    for (const MaskRange& range : comparison.mask) {
        plot.masks.emplace_back(widen(range.low), widen(range.high));
    }
}

}  // namespace

PlotData plot_data(const DrawnComparison& drawn, bool components) {
    PlotData plot;
    add_compared_rows(drawn, plot);
    if (components) {
        add_components(drawn, plot);
    }
    add_masked_rows(drawn.comparison, plot);
    return plot;
}

}  // namespace linesynth::tools
