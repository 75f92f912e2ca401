// The rows on which the observed spectrum is compared with the synthetic one,
// as plain records that the statistics, the fit and the plots all read.
//
// Row I is compared when I <= n, with n the smaller of the observed file's
// count and the final point_count, and its wavelength lies in no masked range.
// Its model value is the mapped synthetic S(I) of the first residual table, in
// double (the value whose difference from observed(I) the table narrows):
//   counts 400 (observed) and 300 (final)   -> rows 1 to 300
//   mask 6562.5 6563.0 over rows at 6562.425, 6562.55, 6562.675, 6562.8, 6562.925
//                                           -> rows at 6562.425 and 6562.925 kept
#pragma once

#include <cstdint>
#include <vector>

#include "reports/scales.h"
#include "spectrum/calibration.h"
#include "spectrum/spectrum_store.h"
#include "tools/compare/mask.h"

namespace linesynth::tools {

struct ComparedRow {
    std::int32_t index = 0;  // I, the slot of the tables
    float wavelength = 0;
    float observed = 0;
    double synthetic = 0;  // S(I), not narrowed
    double sigma = 1;      // the row's uncertainty: 1 without a sigma file
};

// observed(I) - S(I), in double.
inline double residual(const ComparedRow& row) {
    return static_cast<double>(row.observed) - row.synthetic;
}

// The last row that can be compared: min(observed_count, point_count), or 0
// when that is below 1.
std::int32_t comparable_count(std::int32_t observed_count, std::int32_t point_count);

// The rows 1 to comparable_count(observed_count, store.point_count) that no
// range of `mask` holds, in ascending order. `sigma` holds sigma(I) at
// [I - 1] for every such I, or is empty for unit sigmas.
std::vector<ComparedRow> compared_rows(const SpectrumStore& store, const ReportScales& scales,
                                       const CalibrationSet& calibration,
                                       std::int32_t observed_count,
                                       const std::vector<MaskRange>& mask,
                                       const std::vector<float>& sigma);

// The first compared row whose sigma is not finite or not above 0, if any.
const ComparedRow* first_bad_sigma(const std::vector<ComparedRow>& rows);

}  // namespace linesynth::tools
