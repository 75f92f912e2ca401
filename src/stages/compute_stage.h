// The run's first stage: everything a run reads and computes before it
// writes anything (the weights and parameter files, the flux calibration
// check, the wavelength pre-fill, the observed spectrum with its
// normalisation, the continuum, the component sets, the scale file and the
// scale factors), as one call that another program can make too.
//
// The stage never writes a file, never talks to the console and never ends
// the process: what ends it early comes back as a value, and the caller
// decides what to show. The program runs the console dialogue or the
// run-time error report for it (run/); the companion prints one line.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "base/run_end.h"
#include "inputs/run_parameters.h"
#include "reports/scales.h"
#include "spectrum/calibration.h"
#include "spectrum/spectrum_store.h"
#include "textio/text_unit.h"

namespace linesynth {

// Everything a run owns: zero at start, filled by the stages. Large (the
// spectrum tables): keep it on the heap. The parameter file and the observed
// spectrum file stay connected, and held, as long as it lives.
struct RunData {
    RunParameters parameters;
    CalibrationSet calibration;
    StoreHandle store = make_zero_store();  // never null
    ReportScales scales;
    float integral = 0;
    TextUnit parameter_file;
    TextUnit observed_file;
};

// What a caller can keep besides what the run keeps: the counts that
// point_count held on the way, and each set's component column as its file
// left it (rows 1 to its count are that set's differences from the
// continuum).
struct KeptColumns {
    std::int32_t observed_count = 0;
    std::int32_t continuum_count = 0;
    std::array<std::int32_t, max_component_sets> component_counts{};  // set J at [J - 1]
    std::array<SpectrumTable, max_component_sets> components{};       // set J at [J - 1]
};

enum class Opening {
    run,      // the program's opening: a missing file is created empty, files are held
    inspect,  // read only: nothing is created or changed; a missing file is F6416 (OPEN)
};

// Steps 1 to 9 of the run on the files of `dir` (which ends in its separator).
// Returns nothing when every step succeeded, else what ended the stage:
//   a read failure        -> FileFailure{failure, "READ", path, record}
//   an unusable pair      -> CalibrationFailure{the conversion that refused it}
//   more than ten sets, or a spectrum file of more than 10000 rows -> CountFailure
//   a floating-point fault -> MathFailure
// `kept`, when given, receives the counts and component columns on the way.
std::optional<RunFailure> compute_stage(RunData& data, const std::string& dir, Opening opening,
                                        KeptColumns* kept = nullptr);

}  // namespace linesynth
