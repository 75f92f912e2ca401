// The run's second stage: the three residual tables, the integral and the
// summary page record, from the data the first stage computed.
#pragma once

#include <optional>
#include <string>

#include "base/run_end.h"
#include "stages/compute_stage.h"

namespace linesynth {

// Steps 10 to 12 on the files of `dir`. Returns nothing when all were
// written, else what ended the stage (a failure to open or write a file, a
// floating-point fault, the wavelength pair refused by wavelength_to_pixel
// before the first table is opened).
// A rehearsal (Output::rehearsal) takes the same steps on the same data and
// writes nothing: what it returns is how the run would end, and `integral`
// holds what the run would append.
std::optional<RunFailure> report_stage(RunData& data, const std::string& dir,
                                       Output output = Output::files);

// The same steps on a store, calibration and scales of the caller's (a
// synthesis replayed with other weights), the integral into `integral`.
std::optional<RunFailure> report_stage(const SpectrumStore& store,
                                       const CalibrationSet& calibration,
                                       const ReportScales& scales, const std::string& dir,
                                       Output output, float& integral);

}  // namespace linesynth
