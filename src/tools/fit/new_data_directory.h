// A new data directory in the run's layout, made from values a user holds
// (spectra read from elsewhere), so that the run and the companion can use it:
// the weights file, the parameter file with the calibration, the observed
// spectrum, the continuum, one file per component set and the scale file,
// every real in its shortest exact text and every record ending in CR LF.
//   title "t", observed (6562.8, 0.5), continuum 1, component 0.9, weight 0.5
//     -> "FDftn.txt" = "1 0 0\r\n6562.8 0.5\r\n", "VeltoOut1.txt" = "1\r\n0.9\r\n", ...
// A component file holds the component spectrum itself: the run takes the
// continuum away when it reads it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/fit/weights_file.h"

namespace linesynth::tools {

struct NewCalibration {
    double wl_1 = 0;
    double wl_2 = 0;
    std::int64_t px_1 = 0;
    std::int64_t px_2 = 0;
    double flux_1 = 0;
    std::int64_t level_1 = 0;
    double flux_2 = 0;
    std::int64_t level_2 = 0;
    double probe_flux = 0;
};

struct NewDirectory {
    std::string title;  // one record of at most 80 characters
    std::vector<double> wavelengths;
    std::vector<double> observed;  // as many as wavelengths
    bool normalise = false;        // flags 2 4: the run divides observed by its maximum
    std::vector<double> continuum;
    std::vector<std::vector<double>> components;  // set J at [J - 1]
    std::vector<double> weights;                  // one per component set
    NewCalibration calibration;
    double ref_a = 1;
    double ref_b = 0;
};

// The reason the run could not hold `value` in a 32-bit real, if any, naming
// `what` and its row (0: none):
//   ("continuum", 3, 1e39) -> "continuum, row 3: 1e+39 is beyond the 32-bit reals the run reads"
//   ("ref_a", 0, 0.97)     -> none
std::optional<std::string> real_refusal(const std::string& what, std::size_t row, double value);

// The files of the directory, in the run's reading order, or the reason the
// run could not hold a value:
//   a count above 10000, more than 10 sets, a weight count other than the
//   set count, a real that is not finite or beyond the 32-bit range, an
//   integer beyond 32 bits, a title over 80 characters or with a line end:
//   "continuum, row 3: 1e+39 is beyond the 32-bit reals the run reads"
std::optional<std::string> new_directory_files(const NewDirectory& values,
                                               std::vector<NewDataFile>& files);

// Makes the directory `dir` (ending in its separator; created when missing,
// refused when it already holds any of the run's input files) and writes the
// files, all or none, under the directory's lock.
std::optional<std::string> write_new_directory(const std::string& dir, const NewDirectory& values);

}  // namespace linesynth::tools
