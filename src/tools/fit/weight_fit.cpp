#include "tools/fit/weight_fit.h"

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
        rows = like;
        for (ComparedRow& row : rows) {
            row.synthetic = mapped_synthetic(scales, data.calibration, store->synthetic[row.index]);
        }
    });
}

}  // namespace linesynth::tools
