// The spectrum files: observed spectrum, continuum, one component file per
// set, and the scale file. Each spectrum file starts with its count, which
// replaces the store's shared `point_count`; its rows then fill slots 1 to
// that count, one free-form read per row, and no other slot.
#pragma once

#include <cstdint>

#include "spectrum/spectrum_store.h"
#include "textio/record_reader.h"

namespace linesynth {

// Header "count norm_a norm_b", then "wavelength flux" rows. A count above
// 10000 is refused before any row (a CountFailure for points, which the
// program reports as "TOO LONG DATA FILE N_sat="). Flags exactly 2 and 4 divide
// every flux by the largest one:
//   fluxes 2, 8, 4 with flags 2 4    -> 0.25, 1, 0.5
//   fluxes -4, -1, -2 with flags 2 4 -> 4, 1, 2 (the maximum is -1)
//   flags 4 2 or 2 5                 -> fluxes as read
// A maximum of zero is a floating-point fault at row 1 (0/0 is invalid, a
// negative flux over zero a division by zero).
void read_observed_file(RecordReader& file, SpectrumStore& store);

// Whether the observed spectrum's flags, as read into `store`, divide its
// fluxes by the largest one: exactly 2 and 4.
//   flags 2 4 -> true;  flags 4 2, 2 5 or 0 0 -> false
bool observed_is_normalised(const SpectrumStore& store);

// Count, then one value per row into `continuum`, each also seeding
// `synthetic`. A count above 10000 is refused like an observed file's.
void read_continuum_file(RecordReader& file, SpectrumStore& store);

// Count, then one value per row, stored as its difference from the continuum
// of the same row. A count above 10000 is refused like an observed file's.
void read_component_file(RecordReader& file, SpectrumStore& store);

// The two reference values of the residual tables' scales, `ref_a` and
// `ref_b`, one read (one record) each.
void read_scale_file(RecordReader& file, float& ref_a, float& ref_b);

}  // namespace linesynth
