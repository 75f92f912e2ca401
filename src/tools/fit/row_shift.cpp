#include "tools/fit/row_shift.h"

#include <algorithm>
#include <cmath>

#include "reports/scales.h"
#include "tools/fit/fit_design.h"
#include "tools/fit/uncertainty.h"

namespace linesynth::tools {

std::optional<RowShift> row_shift(const Comparison& comparison, bool sigma_from_file) {
    const RunData& data = *comparison.data;
    const std::vector<ComparedRow>& rows = comparison.rows;
    if (data.parameters.set_count < 1 || rows.empty()) {
        return std::nullopt;
    }
    const FitDesign design = fit_design(data, *comparison.kept, rows, false);
    const auto count = static_cast<Eigen::Index>(rows.size());
    const Eigen::Index sets = design.columns.cols();
    if (count < sets + 2) {
        return std::nullopt;
    }
    std::int32_t low = rows.front().index;
    std::int32_t high = rows.front().index;
    for (const ComparedRow& row : rows) {
        low = std::min(low, row.index);
        high = std::max(high, row.index);
    }
    const SpectrumStore& store = *data.store;
    const auto model = [&](std::int32_t index) {
        return mapped_synthetic(data.scales, data.calibration, store.synthetic[index]);
    };
    Eigen::MatrixXd columns(count, sets + 1);
    Eigen::VectorXd target(count);
    columns.leftCols(sets) = design.columns;
    for (Eigen::Index i = 0; i < count; ++i) {
        const ComparedRow& row = rows[static_cast<std::size_t>(i)];
        const std::int32_t before = std::max(low, row.index - 1);
        const std::int32_t after = std::min(high, row.index + 1);
        const double slope =
            after > before ? (model(after) - model(before)) / static_cast<double>(after - before)
                           : 0.0;
        columns(i, sets) = -slope / row.sigma;
        target(i) = residual(row) / row.sigma;
    }
    const Eigen::VectorXd solution = columns.colPivHouseholderQr().solve(target);
    double factor = 1;
    if (!sigma_from_file) {
        factor =
            (target - columns * solution).squaredNorm() / static_cast<double>(count - sets - 1);
    }
    const std::optional<Eigen::MatrixXd> matrix =
        covariance(columns, std::vector<bool>(static_cast<std::size_t>(sets + 1), false), factor);
    if (!matrix || !((*matrix)(sets, sets) > 0)) {
        return std::nullopt;
    }
    RowShift shift;
    shift.value = solution(sets);
    shift.error = std::sqrt((*matrix)(sets, sets));
    shift.significant = std::fabs(shift.value) > shift_significance * shift.error &&
                        std::fabs(shift.value) > shift_floor;
    return shift;
}

}  // namespace linesynth::tools
