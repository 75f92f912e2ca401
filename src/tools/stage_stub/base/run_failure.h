// TEMPORARY stand-in for the run's failure values until the first stage lands
// on main; deleted at the merge.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "run/failures.h"

namespace linesynth {

struct FileFailure {
    Failure failure;
    std::string statement;
    std::string file_name;
    std::int64_t record = 0;
};
struct MathFailure {
    MathFault fault;
};
enum class Conversion { pixel_to_wavelength, wavelength_to_pixel, flux_to_level, level_to_flux };
struct CalibrationFailure {
    Conversion conversion;
};
enum class CountLimit { component_sets, points };
struct CountFailure {
    CountLimit limit;
    std::int32_t count;
    std::string file_name;
};
using RunFailure = std::variant<FileFailure, MathFailure, CalibrationFailure, CountFailure>;

}  // namespace linesynth
