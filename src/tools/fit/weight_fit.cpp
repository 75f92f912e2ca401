#include "tools/fit/weight_fit.h"

#include "reports/integral.h"
#include "reports/scales.h"

namespace linesynth::tools {

std::optional<RunFailure> rebuilt_rows(const RunData& data, const KeptColumns& kept,
                                       const std::vector<float>& weights,
                                       const ReportScales& scales,
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
            row.synthetic = mapped_synthetic(scales, data.calibration, store->synthetic[row.index]);
        }
    });
}

}  // namespace linesynth::tools
