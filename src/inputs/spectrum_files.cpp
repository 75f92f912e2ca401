#include "inputs/spectrum_files.h"

#include "run/checked_math.h"
#include "run/stops.h"

namespace linesynth {
namespace {

// Reads a spectrum file's count into `point_count`; the tables have no room
// for more than `max_points` rows, so a larger count ends the run before any
// row is read.
void read_count(RecordReader& file, SpectrumStore& store, std::int32_t* norm_a = nullptr,
                std::int32_t* norm_b = nullptr) {
    begin_read(file, ReadMode::free_form);
    get_int(file, store.point_count);
    if (norm_a != nullptr) {
        get_int(file, *norm_a);
        get_int(file, *norm_b);
    }
    end_read(file);
    if (store.point_count > max_points) {
        refuse_count("TOO LONG DATA FILE N_sat=", store.point_count);
    }
}

// One free-form read of one real. A null value leaves `value` as it was.
void read_one_real(RecordReader& file, float& value) {
    begin_read(file, ReadMode::free_form);
    get_real(file, value);
    end_read(file);
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
        store.observed[i] = narrow(divide(store.observed[i], store.max_observed));
    }
}

}  // namespace

void read_observed_file(RecordReader& file, SpectrumStore& store) {
    read_count(file, store, &store.norm_a, &store.norm_b);
    const std::int32_t count = store.point_count;
    for (std::int32_t i = 1; i <= count; ++i) {
        begin_read(file, ReadMode::free_form);
        get_real(file, store.wavelengths[i]);
        get_real(file, store.observed[i]);
        end_read(file);
    }
    if (store.norm_a == 2 && store.norm_b == 4) {
        normalise_observed(store);
    }
}

void read_continuum_file(RecordReader& file, SpectrumStore& store) {
    read_count(file, store);
    const std::int32_t count = store.point_count;
    for (std::int32_t i = 1; i <= count; ++i) {
        read_one_real(file, store.continuum[i]);
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
        read_one_real(file, value);
        store_component(store, i, value);
    }
}

void read_scale_file(RecordReader& file, ReportScales& scales) {
    read_one_real(file, scales.ref_a);
    read_one_real(file, scales.ref_b);
}

}  // namespace linesynth
