#include "spectrum/spectrum_store.h"

#include <algorithm>

#include "base/checked_math.h"

namespace linesynth {

void seed_synthetic(SpectrumStore& store, std::int32_t index) {
    store.synthetic[index] = store.continuum[index];
}

void store_component(SpectrumStore& store, std::int32_t index, float value) {
    store.component[index] = narrow(widen(value) - widen(store.continuum[index]));
}

void add_component_set(SpectrumStore& store, float weight) {
    // The store has no slot beyond max_points; a larger count from a file is
    // not this step's to report.
    const std::int32_t count = std::min(store.point_count, max_points);
    const double widened_weight = widen(weight);
    for (std::int32_t i = 1; i <= count; ++i) {
        const double contribution = widen(store.component[i]) * widened_weight;
        store.synthetic[i] = narrow(contribution + widen(store.synthetic[i]));
    }
}

}  // namespace linesynth
