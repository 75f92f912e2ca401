#include "spectrum/calibration.h"

#include <string_view>

#include "run/checked_math.h"
#include "run/stops.h"

// Each product below is rounded to double before the following addition; the
// build turns off floating-point contraction so that no fused multiply-add
// skips that rounding.

namespace linesynth {
namespace {

// The texts of the flux pair have two blanks after "TERENNING".
constexpr std::string_view wavelength_error_line =
    "ERROR ON TERENNING WAVE LENGTH INTO pixel CALIBRATION ERROR";
constexpr std::string_view wavelength_stop_text = "ERROR ON TERENNING WAVE LENGTH INTO pixel";
constexpr std::string_view flux_error_line =
    "ERROR ON TERENNING  pixel INTO flux CALIBRATION ERROR";
constexpr std::string_view flux_stop_text = "ERROR ON TERENNING  pixel INTO flux";

[[noreturn]] void flux_calibration_error_stop() {
    error_stop(flux_error_line, flux_stop_text);
}

double widen(float value) {
    return static_cast<double>(value);
}
double widen(std::int32_t value) {
    return static_cast<double>(value);
}

}  // namespace

float pixel_to_wavelength(const CalibrationSet& calibration, std::int32_t pixel) {
    if (calibration.px_1 == calibration.px_2) {
        // The only conversion whose stop text repeats its whole first line.
        error_stop(wavelength_error_line, wavelength_error_line);
    }
    const double slope = divide(widen(calibration.wl_1) - widen(calibration.wl_2),
                                widen(difference(calibration.px_1, calibration.px_2)));
    const double offset = slope * widen(difference(pixel, calibration.px_2));
    return narrow(offset + widen(calibration.wl_2));
}

std::int32_t wavelength_to_pixel(const CalibrationSet& calibration, float wavelength) {
    if (!wavelength_pair_usable(calibration)) {
        wavelength_calibration_error_stop();
    }
    const double factor = divide(widen(difference(calibration.px_1, calibration.px_2)),
                                 widen(calibration.wl_1) - widen(calibration.wl_2));
    const double offset = factor * (widen(wavelength) - widen(calibration.wl_2));
    return round_to_int(offset + widen(calibration.px_2));
}

std::int32_t flux_to_level(const CalibrationSet& calibration, float flux) {
    // flux_1 = flux_2 is checked too: it is the divisor below.
    if (calibration.level_1 == calibration.level_2 || calibration.flux_1 == calibration.flux_2) {
        flux_calibration_error_stop();
    }
    const double ratio = divide(widen(flux) - widen(calibration.flux_2),
                                widen(calibration.flux_1) - widen(calibration.flux_2));
    const double offset = ratio * widen(difference(calibration.level_1, calibration.level_2));
    const float value = narrow(offset + widen(calibration.level_2));
    return round_to_int(widen(value));
}

float level_to_flux(const CalibrationSet& calibration, std::int32_t level) {
    if (calibration.level_1 == calibration.level_2) {
        flux_calibration_error_stop();
    }
    const float slope = narrow(divide(widen(calibration.flux_1) - widen(calibration.flux_2),
                                      widen(difference(calibration.level_1, calibration.level_2))));
    const double offset = widen(difference(level, calibration.level_2)) * widen(slope);
    return narrow(offset + widen(calibration.flux_2));
}

bool wavelength_pair_usable(const CalibrationSet& calibration) {
    return calibration.wl_1 != calibration.wl_2;
}

void wavelength_calibration_error_stop() {
    error_stop(wavelength_error_line, wavelength_stop_text);
}

}  // namespace linesynth
