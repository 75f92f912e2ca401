// The two two-point calibrations of the detector: pixel number against
// wavelength, and pixel level (an integer count) against flux.
//
// Each conversion checks the pair it divides by at every call. When the pair
// is unusable it ends the run with a CalibrationFailure naming itself and does
// not return; the caller writes nothing more, and the program runs the
// calibration error stop with the texts of calibration_error_text. Otherwise
// it returns its result and changes nothing.
//
// Arithmetic, and why the results look the way they do:
// - A difference of two integers (px_1 - px_2, pixel - px_2, level_1 -
//   level_2, level - level_2) is formed in 32-bit arithmetic, which wraps, and
//   only then widened:  level_1 = INT32_MAX, level_2 = INT32_MIN -> the level
//   span is -1, not 4294967295.
// - Everything else is evaluated in double on exactly widened operands and
//   narrowed to a 32-bit real only where noted below.
// - Rounding to an integer goes half away from zero (round_to_int):
//   2.5 -> 3;  -2.5 -> -3;  -0.0 -> 0;  beyond the 32-bit range -> overflow fault.
//
// Where each conversion narrows, with wl 4000 / 5000 at px 1 / 1001:
//   pixel_to_wavelength(501)     -> 4500.0f  (slope kept in double, sum narrowed)
//   pixel_to_wavelength(1001)    -> 5000.0f  (px_2 gives wl_2 exactly)
//   wavelength_to_pixel(4500.0f) -> 501      (the double value is rounded)
// With wl / flux 3 and 0 at px / level 3 and 2, the argument 0x1.7ffffcp0 gives
// the double value 2.4999999205...:
//   wavelength_to_pixel(0x1.7ffffcp0) -> 2   (rounded from double)
//   flux_to_level(0x1.7ffffcp0)       -> 3   (narrowed to 2.5f first, then rounded)
// With wl / flux 1 and 0 at px / level 10 and 0:
//   pixel_to_wavelength(9) -> 0x1.ccccccp-1  (0.1 in double, times 9, narrowed)
//   level_to_flux(9)       -> 0x1.cccccep-1  (0.1 narrowed to 0x1.99999ap-4f, times 9, narrowed)
#pragma once

#include <cstdint>
#include <string_view>

#include "base/run_end.h"

namespace linesynth {

// Filled once from the parameter file, then only read. Nothing is validated
// when it is filled: each conversion checks its own pair.
struct CalibrationSet {
    float wl_1 = 0;            // wavelength of reference point 1
    float wl_2 = 0;            // wavelength of reference point 2
    std::int32_t px_1 = 0;     // pixel of reference point 1
    std::int32_t px_2 = 0;     // pixel of reference point 2
    float flux_1 = 0;          // flux of reference point 1
    std::int32_t level_1 = 0;  // pixel level that corresponds to flux_1
    std::int32_t level_2 = 0;  // pixel level that corresponds to flux_2
    float flux_2 = 0;          // flux of reference point 2
};

// slope = (wl_1 - wl_2) / (px_1 - px_2) in double;
// result = narrow(slope * (pixel - px_2) + wl_2).
// Stops when px_1 = px_2. With wl_1 = wl_2 it returns wl_2 for every pixel.
float pixel_to_wavelength(const CalibrationSet& calibration, std::int32_t pixel);

// factor = (px_1 - px_2) / (wl_1 - wl_2) in double;
// result = round_to_int(factor * (wavelength - wl_2) + px_2), not narrowed first.
// Stops when wl_1 = wl_2. With px_1 = px_2 it returns px_2 for every wavelength.
std::int32_t wavelength_to_pixel(const CalibrationSet& calibration, float wavelength);

// ratio = (flux - flux_2) / (flux_1 - flux_2) in double;
// value = narrow(ratio * (level_1 - level_2) + level_2); result = round_to_int(value).
// Stops when level_1 = level_2 or flux_1 = flux_2, so its own divisor is never
// zero. flux_1 = 0 alone is a usable pair:
//   flux 0 / 4 at level 0 / 8: flux_to_level(2.0f) -> 4
std::int32_t flux_to_level(const CalibrationSet& calibration, float flux);

// slope = narrow((flux_1 - flux_2) / (level_1 - level_2));
// result = narrow((level - level_2) * slope + flux_2).
// Stops when level_1 = level_2.
float level_to_flux(const CalibrationSet& calibration, std::int32_t level);

// Whether wavelength_to_pixel can use the pair (wl_1 != wl_2), so that a caller
// can find out before it starts writing a table.
bool wavelength_pair_usable(const CalibrationSet& calibration);

// The two texts of a conversion's calibration error stop: its first console
// line and its stop text. The flux pair's texts have two blanks after
// "TERENNING"; only pixel_to_wavelength stops with its whole first line.
//   pixel_to_wavelength -> "ERROR ON TERENNING WAVE LENGTH INTO pixel CALIBRATION ERROR", the same
//   wavelength_to_pixel -> "... CALIBRATION ERROR", "ERROR ON TERENNING WAVE LENGTH INTO pixel"
//   flux_to_level, level_to_flux -> "ERROR ON TERENNING  pixel INTO flux CALIBRATION ERROR",
//                                   "ERROR ON TERENNING  pixel INTO flux"
struct CalibrationErrorText {
    std::string_view first_line;
    std::string_view stop_text;
};
CalibrationErrorText calibration_error_text(Conversion conversion);

}  // namespace linesynth
