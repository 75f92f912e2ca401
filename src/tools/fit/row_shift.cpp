#include "tools/fit/row_shift.h"

#include <algorithm>
#include <cmath>

#include "base/checked_math.h"
#include "tools/compare/number_text.h"
#include "tools/fit/fit_design.h"
#include "tools/fit/uncertainty.h"

namespace linesynth::tools {

namespace {

// The central differences along the rows of each component and of the
// continuum (one-sided at the ends of the compared rows): one row per
// compared row, the components' columns, then the continuum's.
Eigen::MatrixXd row_slopes(const Comparison& comparison, Eigen::Index sets) {
    const std::vector<ComparedRow>& rows = comparison.rows;
    std::int32_t low = rows.front().index;
    std::int32_t high = rows.front().index;
    for (const ComparedRow& row : rows) {
        low = std::min(low, row.index);
        high = std::max(high, row.index);
    }
    const SpectrumStore& store = *comparison.data->store;
    const KeptColumns& kept = *comparison.kept;
    const auto component = [&](Eigen::Index set, std::int32_t index) {
        const auto slot = static_cast<std::size_t>(set);
        return index <= kept.component_counts[slot] ? widen(kept.components[slot][index]) : 0.0;
    };
    const auto count = static_cast<Eigen::Index>(rows.size());
    Eigen::MatrixXd slopes(count, sets + 1);
    for (Eigen::Index i = 0; i < count; ++i) {
        const ComparedRow& row = rows[static_cast<std::size_t>(i)];
        const std::int32_t before = std::max(low, row.index - 1);
        const std::int32_t after = std::min(high, row.index + 1);
        const double span = after > before ? static_cast<double>(after - before) : 0.0;
        for (Eigen::Index j = 0; j < sets; ++j) {
            slopes(i, j) = span > 0 ? (component(j, after) - component(j, before)) / span : 0.0;
        }
        slopes(i, sets) =
            span > 0 ? (widen(store.continuum[after]) - widen(store.continuum[before])) / span
                     : 0.0;
    }
    return slopes;
}

// The design's columns with the shift's, and their least-squares solution.
struct ShiftFit {
    Eigen::MatrixXd columns;
    Eigen::VectorXd solution;  // the weights, then the shift
};

// Gauss-Newton from no shift: the weights first, then twice the shift's
// column from the model with the weights of the step before.
ShiftFit shift_fit(const FitDesign& design, const Eigen::MatrixXd& slopes,
                   const std::vector<ComparedRow>& rows) {
    const Eigen::Index count = design.columns.rows();
    const Eigen::Index sets = design.columns.cols();
    const double scale_fwd = design.fixed_scale;
    Eigen::VectorXd weights = free_least_squares(design.columns, design.target);
    ShiftFit fit{Eigen::MatrixXd(count, sets + 1), Eigen::VectorXd()};
    fit.columns.leftCols(sets) = design.columns;
    for (int step = 0; step < 2; ++step) {
        for (Eigen::Index i = 0; i < count; ++i) {
            const double slope = slopes.row(i).head(sets).dot(weights) + slopes(i, sets);
            fit.columns(i, sets) = -scale_fwd * slope / rows[static_cast<std::size_t>(i)].sigma;
        }
        fit.solution = fit.columns.colPivHouseholderQr().solve(design.target);
        weights = fit.solution.head(sets);
    }
    return fit;
}

}  // namespace

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
    const ShiftFit fit = shift_fit(design, row_slopes(comparison, sets), rows);
    double factor = 1;
    if (!sigma_from_file) {
        factor = (design.target - fit.columns * fit.solution).squaredNorm() /
                 static_cast<double>(count - sets - 1);
    }
    const std::optional<Eigen::MatrixXd> matrix = covariance(
        fit.columns, std::vector<bool>(static_cast<std::size_t>(sets + 1), false), factor);
    if (!matrix || !((*matrix)(sets, sets) > 0)) {
        return std::nullopt;
    }
    RowShift shift;
    shift.value = fit.solution(sets);
    shift.error = std::sqrt((*matrix)(sets, sets));
    shift.significant = std::fabs(shift.value) > shift_significance * shift.error &&
                        std::fabs(shift.value) > shift_floor;
    return shift;
}

std::string shift_warning() {
    return "the observed spectrum is offset from the model by more than " +
           shortest_text(shift_significance) + " errors and " + shortest_text(shift_floor) +
           " row: the run compares row with row, so the weights are biased; correct the "
           "observed file or its calibration";
}

}  // namespace linesynth::tools
