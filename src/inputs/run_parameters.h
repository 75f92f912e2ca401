// The two files that parametrise a run: the weights file and the parameter
// file with its title, optional block and two-point calibration.
#pragma once

#include <array>
#include <cstdint>

#include "spectrum/calibration.h"
#include "textio/record_reader.h"

namespace linesynth {

// There are ten component file names and ten weight slots.
inline constexpr std::int32_t max_component_sets = 10;

struct RunParameters {
    std::int32_t set_count = 0;
    std::array<float, max_component_sets> weights{};  // weights(J) is weights[J - 1]
    // Read with their full types so that a malformed value fails like a used
    // one would, but not used afterwards.
    char title_line[80] = {};
    std::int32_t param_a = 0;
    char answer = 0;
    std::int32_t opt_int = 0;
    double opt_real_1 = 0;
    double opt_real_2 = 0;
    double opt_real_3 = 0;
    double opt_real_4 = 0;
    char opt_text_1[80] = {};
    char opt_text_2[80] = {};
    // Converted once by the flux calibration check; the level is discarded.
    float probe_flux = 0;

    float weight(std::int32_t set) const { return weights[static_cast<std::size_t>(set - 1)]; }
};

// Reads `set_count`, then one weight per record. A count above ten is refused
// before any weight is read (a CountFailure for component sets, which the
// program reports as "TOO MANY COMPONENT SETS N_set="); a count of zero or
// less reads no weight.
//   records "2", "0.5 0.7", "1.5"  -> set_count 2, weights 0.5 and 1.5
void read_weights_file(RecordReader& file, RunParameters& parameters);

// Reads the title, `param_a`, `answer`, the option block when `answer` is '1'
// or '2', and the four calibration records, one read per record.
//   answer '1' or '2'  -> four option records before the wavelengths
//   answer '0', '3', 'y' -> the wavelength record follows the answer record
void read_parameter_file(RecordReader& file, RunParameters& parameters,
                         CalibrationSet& calibration);

}  // namespace linesynth
