// What ends a run before its normal stop, as a value, and the one way it
// travels up from where it is found.
//
// A failure is found deep inside a step (a read, a division, a conversion)
// and decided at the top: the program turns it into the run-time error
// report or the console dialogue of an error stop, the companion into one
// line of its own. In between it travels as RunEnd, so the code of every step
// reads as the formula it is and every unit it holds is closed on the way up.
//   a read past the end of continum.txt  -> FileFailure{end_of_file, "READ", ".../continum.txt", 4}
//   a sum that does not fit a 32-bit real -> MathFailure{overflow}
//   px_1 = px_2 in pixel_to_wavelength    -> CalibrationFailure{pixel_to_wavelength}
//   a continuum file that declares 10001 rows -> CountFailure{points, 10001, ".../continum.txt"}
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "base/failures.h"

namespace linesynth {

// A failed file operation: the F report.
struct FileFailure {
    Failure failure = Failure::end_of_file;
    std::string statement;  // "READ", "OPEN", "WRITE" or "CLOSE"
    std::string file_name;  // as the file was opened
    // For a read: the record (line, counted from 1) the failing value was in;
    // 0 when there is none (opening, writing, the pause's reply).
    std::int64_t record = 0;
};

// A floating-point fault of the run's arithmetic: the M report.
struct MathFailure {
    MathFault fault = MathFault::invalid;
};

// The four calibration conversions; each checks its own pair.
enum class Conversion { pixel_to_wavelength, wavelength_to_pixel, flux_to_level, level_to_flux };

// A conversion found its calibration pair unusable.
struct CalibrationFailure {
    Conversion conversion = Conversion::pixel_to_wavelength;
};

// What a count in a file can ask for beyond the tables.
enum class CountLimit {
    component_sets,  // more than ten component sets
    points,          // more than 10000 rows in a spectrum file
};

// A count the tables cannot hold, refused before anything is read for it.
struct CountFailure {
    CountLimit limit = CountLimit::points;
    std::int32_t count = 0;
    std::string file_name;
};

using RunFailure = std::variant<FileFailure, MathFailure, CalibrationFailure, CountFailure>;

// Carries a failure from where it is found up to whoever decides what it
// means. Only stages (stages/) and the program's entry catch it.
struct RunEnd {
    RunFailure failure;
};

[[noreturn]] void end_run(RunFailure failure);

// end_run for a failed file operation.
[[noreturn]] void fail_file(Failure failure, std::string_view statement, std::string_view file_name,
                            std::int64_t record = 0);

// end_run for a floating-point fault.
[[noreturn]] void fail_math(MathFault fault);

// Runs `step` and gives back what ended it early, or nothing when it returned.
template <typename Step>
std::optional<RunFailure> guarded(Step&& step) {
    try {
        step();
    } catch (RunEnd& end) {
        return std::move(end.failure);
    }
    return std::nullopt;
}

}  // namespace linesynth
