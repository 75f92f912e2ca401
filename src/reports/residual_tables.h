// The three residual tables that compare the synthetic spectrum with the
// observed one.
#pragma once

#include <string>

#include "reports/scales.h"
#include "spectrum/calibration.h"
#include "spectrum/spectrum_store.h"
#include "textio/text_unit.h"

namespace linesynth {

// Writes RDF.txt, RDF1.txt and RDF2.txt in `data_dir` over rows 1 to
// `point_count`, each opened, written and closed before the next. Each starts
// with the count record.
//
//   RDF.txt   wavelength, S narrowed, observed, observed - S narrowed
//   RDF1.txt  wavelength, synthetic, O narrowed, synthetic - O narrowed
//   RDF2.txt  pixel of the wavelength, level of synthetic, level of O narrowed
//
// where S and O are the mapped values (scales.h) kept in double, so a residual
// can differ in its last bit from the difference of the two printed values.
//
// The wavelength calibration is checked before any table is opened: with rows
// to write and wl_1 = wl_2 the run ends with wavelength_to_pixel's
// CalibrationFailure and no table is touched (a half-written set of tables would otherwise
// be left behind, looking like output).
// With Output::rehearsal nothing is opened or written, and the same faults end
// the run at the same places.
void write_residual_tables(const std::string& data_dir, const SpectrumStore& store,
                           const CalibrationSet& calibration, const ReportScales& scales,
                           Output output = Output::files);

}  // namespace linesynth
