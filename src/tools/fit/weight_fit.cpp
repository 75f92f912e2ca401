#include "tools/fit/weight_fit.h"

#include "reports/scales.h"
#include "stages/report_stage.h"

namespace linesynth::tools {

std::optional<RunFailure> rebuilt_rows(const RunData& data, const KeptColumns& kept,
                                       const std::vector<float>& weights,
                                       const ReportScales& scales,
                                       const std::vector<ComparedRow>& like,
                                       std::vector<ComparedRow>& rows) {
    const StoreHandle store = make_zero_store();
    store->continuum = data.store->continuum;
    store->wavelengths = data.store->wavelengths;
    store->observed = data.store->observed;
    std::vector<WeightedSet> sets;
    for (std::size_t slot = 0; slot < weights.size(); ++slot) {
        sets.push_back({&kept.components[slot], kept.component_counts[slot], weights[slot]});
    }
    return guarded([&] {
        resynthesize(*store, kept.continuum_count, sets);
        // The rest of the run with this spectrum, rehearsed: weights for which
        // the run would end in a fault at its tables or its integral are
        // refused by the run, so they must not be suggested either.
        // (A rehearsal opens nothing, so the directory names no file here.)
        float integral = 0;
        if (auto failure =
                report_stage(*store, data.calibration, scales, "", Output::rehearsal, integral)) {
            end_run(std::move(*failure));
        }
        rows = like;
        for (ComparedRow& row : rows) {
            row.synthetic = mapped_synthetic(scales, data.calibration, store->synthetic[row.index]);
        }
    });
}

}  // namespace linesynth::tools
