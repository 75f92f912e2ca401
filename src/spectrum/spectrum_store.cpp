#include "spectrum/spectrum_store.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <new>
#include <type_traits>

#include "base/checked_math.h"

namespace linesynth {

static_assert(std::is_aggregate_v<SpectrumStore> && std::is_trivially_destructible_v<SpectrumStore>,
              "calloc must be able to create the store");
static_assert(std::numeric_limits<float>::is_iec559, "zero bytes must be the float 0");

void FreeStore::operator()(SpectrumStore* store) const {
    std::free(store);
}

StoreHandle make_zero_store() {
    void* const memory = std::calloc(1, sizeof(SpectrumStore));
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return StoreHandle(static_cast<SpectrumStore*>(memory));
}

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

void resynthesize(SpectrumStore& store, std::int32_t continuum_count,
                  const std::vector<WeightedSet>& sets) {
    store.point_count = continuum_count;
    for (std::int32_t index = 1; index <= std::min(continuum_count, max_points); ++index) {
        seed_synthetic(store, index);
    }
    for (const WeightedSet& set : sets) {
        store.component = *set.differences;
        store.point_count = set.count;
        add_component_set(store, set.weight);
    }
}

}  // namespace linesynth
