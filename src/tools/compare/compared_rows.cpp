#include "tools/compare/compared_rows.h"

#include <algorithm>
#include <cmath>

#include "base/checked_math.h"

namespace linesynth::tools {

std::int32_t comparable_count(std::int32_t observed_count, std::int32_t point_count) {
    return std::max(std::min(observed_count, point_count), std::int32_t{0});
}

std::vector<ComparedRow> compared_rows(const SpectrumStore& store, const ReportScales& scales,
                                       const CalibrationSet& calibration,
                                       std::int32_t observed_count,
                                       const std::vector<MaskRange>& mask,
                                       const std::vector<float>& sigma) {
    const std::int32_t count = comparable_count(observed_count, store.point_count);
    std::vector<ComparedRow> rows;
    rows.reserve(static_cast<std::size_t>(count));
    const MaskIndex lookup = mask_index(mask);
    for (std::int32_t index = 1; index <= count; ++index) {
        const float wavelength = store.wavelengths[index];
        if (masked(lookup, wavelength)) {
            continue;
        }
        ComparedRow row;
        row.index = index;
        row.wavelength = wavelength;
        row.observed = store.observed[index];
        row.synthetic = mapped_synthetic(scales, calibration, store.synthetic[index]);
        if (!sigma.empty()) {
            row.sigma = widen(sigma[static_cast<std::size_t>(index - 1)]);
        }
        rows.push_back(row);
    }
    return rows;
}

const ComparedRow* first_bad_sigma(const std::vector<ComparedRow>& rows) {
    for (const ComparedRow& row : rows) {
        if (!std::isfinite(row.sigma) || !(row.sigma > 0)) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace linesynth::tools
