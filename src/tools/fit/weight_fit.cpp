#include "tools/fit/weight_fit.h"

#include <cassert>
#include <memory>

#include "base/checked_math.h"
#include "reports/integral.h"
#include "reports/scales.h"
#include "tools/fit/least_squares.h"

namespace linesynth::tools {

WeightFit fit_weights(const RunData& data, const KeptColumns& kept,
                      const std::vector<ComparedRow>& rows, FitMode mode) {
    const std::int32_t set_count = data.parameters.set_count;
    assert(set_count >= 1 && set_count <= max_component_sets && !rows.empty());
    const SpectrumStore& store = *data.store;
    const double scale_fwd = widen(data.scales.scale_fwd);
    const auto row_count = static_cast<Eigen::Index>(rows.size());
    Eigen::MatrixXd design(row_count, set_count);
    Eigen::VectorXd target(row_count);
    for (Eigen::Index i = 0; i < row_count; ++i) {
        const ComparedRow& row = rows[static_cast<std::size_t>(i)];
        // The run's map of the continuum alone: the model without any set.
        const double base =
            mapped_synthetic(data.scales, data.calibration, store.continuum[row.index]);
        target(i) = (static_cast<double>(row.observed) - base) / row.sigma;
        for (std::int32_t set = 1; set <= set_count; ++set) {
            const auto slot = static_cast<std::size_t>(set - 1);
            const double component = row.index <= kept.component_counts[slot]
                                         ? static_cast<double>(kept.components[slot][row.index])
                                         : 0.0;
            design(i, set - 1) = component * scale_fwd / row.sigma;
        }
    }

    WeightFit fit;
    Eigen::VectorXd x;
    if (mode == FitMode::non_negative) {
        const NonNegativeSolution solution = non_negative_least_squares(design, target);
        x = solution.x;
        for (std::int32_t set = 1; set <= set_count; ++set) {
            if (solution.at_bound[static_cast<std::size_t>(set - 1)]) {
                fit.at_bound.push_back(set);
            }
        }
    } else {
        x = free_least_squares(design, target);
    }
    fit.weights.assign(x.data(), x.data() + x.size());
    const ColumnRank rank = column_rank(design);
    fit.rank = static_cast<std::int32_t>(rank.rank);
    for (const Eigen::Index column : rank.dependent) {
        fit.dependent.push_back(static_cast<std::int32_t>(column + 1));
    }
    return fit;
}

std::optional<RunFailure> rebuilt_rows(const RunData& data, const KeptColumns& kept,
                                       const std::vector<float>& weights,
                                       const std::vector<ComparedRow>& like,
                                       std::vector<ComparedRow>& rows) {
    const StoreHandle store = make_zero_store();
    store->continuum = data.store->continuum;
    std::vector<WeightedSet> sets;
    for (std::size_t slot = 0; slot < weights.size(); ++slot) {
        sets.push_back({&kept.components[slot], kept.component_counts[slot], weights[slot]});
    }
    return guarded([&] {
        resynthesize(*store, kept.continuum_count, sets);
        // The run's integral of this spectrum, for its fault only: a weight
        // whose spectrum integrates beyond the 32-bit range is refused by the
        // run, so it must not be suggested either.
        float integral = 0;
        trapezoid_integral(integral, store->synthetic, data.store->wavelengths,
                           data.store->point_count);
        rows = like;
        for (ComparedRow& row : rows) {
            row.synthetic =
                mapped_synthetic(data.scales, data.calibration, store->synthetic[row.index]);
        }
    });
}

}  // namespace linesynth::tools
