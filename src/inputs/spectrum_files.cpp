#include "inputs/spectrum_files.h"

#include "base/checked_math.h"
#include "base/run_end.h"

namespace linesynth {
namespace {

// Reads a spectrum file's count record into `point_count` (with `flags` for
// the observed file's header). The tables have no room for more than
// `max_points` rows, so a larger count ends the run before any row is read.
template <typename... Flags>
void read_count(RecordReader& file, SpectrumStore& store, Flags&... flags) {
    read_values(file, store.point_count, flags...);
    if (store.point_count > max_points) {
        end_run(CountFailure{CountLimit::points, store.point_count, file.file_name});
    }
}

void normalise_observed(SpectrumStore& store) {
    const std::int32_t count = store.point_count;
    if (count <= 0) {
        return;
    }
    store.max_observed = store.observed[1];
    for (std::int32_t i = 2; i <= count; ++i) {
        if (store.observed[i] > store.max_observed) {
            store.max_observed = store.observed[i];
        }
    }
    for (std::int32_t i = 1; i <= count; ++i) {
        store.observed[i] = narrow(divide(widen(store.observed[i]), widen(store.max_observed)));
    }
}

}  // namespace

void read_observed_file(RecordReader& file, SpectrumStore& store) {
    read_count(file, store, store.norm_a, store.norm_b);
    const std::int32_t count = store.point_count;
    for (std::int32_t i = 1; i <= count; ++i) {
        read_values(file, store.wavelengths[i], store.observed[i]);
    }
    if (observed_is_normalised(store)) {
        normalise_observed(store);
    }
}

bool observed_is_normalised(const SpectrumStore& store) {
    return store.norm_a == 2 && store.norm_b == 4;
}

void read_continuum_file(RecordReader& file, SpectrumStore& store) {
    read_count(file, store);
    const std::int32_t count = store.point_count;
    for (std::int32_t i = 1; i <= count; ++i) {
        read_values(file, store.continuum[i]);
        seed_synthetic(store, i);
    }
}

void read_component_file(RecordReader& file, SpectrumStore& store) {
    read_count(file, store);
    const std::int32_t count = store.point_count;
    // The value read is kept across rows, so a null value repeats the
    // previous row's value (zero before the first).
    float value = 0;
    for (std::int32_t i = 1; i <= count; ++i) {
        read_values(file, value);
        store_component(store, i, value);
    }
}

void read_scale_file(RecordReader& file, float& ref_a, float& ref_b) {
    read_values(file, ref_a);
    read_values(file, ref_b);
}

}  // namespace linesynth
