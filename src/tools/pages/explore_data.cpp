#include "tools/pages/explore_data.h"

#include <algorithm>

#include "spectrum/spectrum_store.h"

namespace linesynth::tools {
namespace {

// The rows beyond the page's last (n) that the run still synthesises (up to
// the longest of the continuum's and the sets' counts) and integrates and
// writes to its tables (up to its point count), for the faults the page must
// foresee there.
void add_rows_beyond(const Comparison& comparison, std::int32_t n, ExploreData& page) {
    const RunData& data = *comparison.data;
    const SpectrumStore& store = *data.store;
    const KeptColumns& kept = *comparison.kept;
    std::int32_t built = std::max(kept.continuum_count, store.point_count);
    for (std::int32_t set = 1; set <= data.parameters.set_count && set <= max_component_sets;
         ++set) {
        built = std::max(built, kept.component_counts[static_cast<std::size_t>(set - 1)]);
    }
    built = std::min(built, max_points);
    page.integral_rows = std::min(store.point_count, max_points);
    for (std::int32_t index = n + 1; index <= built; ++index) {
        if (index <= page.integral_rows) {
            page.tail_wavelength.push_back(store.wavelengths[index]);
            page.tail_observed.push_back(store.observed[index]);
        }
        page.tail_continuum.push_back(index <= kept.continuum_count ? store.continuum[index]
                                                                    : 0.0F);
    }
    for (std::int32_t set = 1; set <= data.parameters.set_count && set <= max_component_sets;
         ++set) {
        const auto slot = static_cast<std::size_t>(set - 1);
        std::vector<float>& column = page.tail_components.emplace_back();
        for (std::int32_t index = n + 1; index <= std::min(kept.component_counts[slot], max_points);
             ++index) {
            column.push_back(kept.components[slot][index]);
        }
    }
}

// Rows 1 to n, whether compared or masked, and the ranges that masked them.
void add_rows(const Comparison& comparison, std::int32_t n, ExploreData& page) {
    const SpectrumStore& store = *comparison.data->store;
    std::size_t next = 0;  // the next compared row
    for (std::int32_t index = 1; index <= n; ++index) {
        page.wavelength.push_back(store.wavelengths[index]);
        page.observed.push_back(store.observed[index]);
        page.continuum.push_back(store.continuum[index]);
        if (!comparison.sigma.empty()) {
            page.sigma.push_back(comparison.sigma[static_cast<std::size_t>(index - 1)]);
        }
        if (next < comparison.rows.size() && comparison.rows[next].index == index) {
            ++next;
        } else {
            page.masked.push_back(index);
        }
    }
    for (const MaskRange& range : comparison.mask) {
        page.masks.emplace_back(range.low, range.high);
    }
}

// Each set's stored column up to n, and its weight in the weights file.
void add_components(const Comparison& comparison, std::int32_t n, ExploreData& page) {
    const RunData& data = *comparison.data;
    const KeptColumns& kept = *comparison.kept;
    for (std::int32_t set = 1; set <= data.parameters.set_count && set <= max_component_sets;
         ++set) {
        const auto slot = static_cast<std::size_t>(set - 1);
        std::vector<float>& column = page.components.emplace_back();
        const std::int32_t count = std::min(kept.component_counts[slot], n);
        for (std::int32_t index = 1; index <= count; ++index) {
            column.push_back(kept.components[slot][index]);
        }
        page.weights.push_back(data.parameters.weight(set));
    }
}

}  // namespace

ExploreData explore_data(const DrawnComparison& drawn) {
    const Comparison& comparison = drawn.comparison;
    const RunData& data = *comparison.data;
    const std::int32_t n = last_comparable_row(comparison);
    ExploreData page;
    page.title.assign(data.parameters.title_line, sizeof data.parameters.title_line);
    add_rows(comparison, n, page);
    add_components(comparison, n, page);
    add_rows_beyond(comparison, n, page);
    page.flux_1 = data.calibration.flux_1;
    page.level_1 = data.calibration.level_1;
    page.level_2 = data.calibration.level_2;
    page.flux_2 = data.calibration.flux_2;
    page.ref_a = data.scales.ref_a;
    page.ref_b = data.scales.ref_b;
    if (drawn.fit) {
        page.fitted = drawn.fit->weights;
        if (drawn.fit->scale) {
            page.fitted_ref_a = drawn.fit->scale->ref_a;
        }
    }
    return page;
}

}  // namespace linesynth::tools
