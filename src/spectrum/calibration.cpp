#include "spectrum/calibration.h"

#include "base/checked_math.h"
#include "base/run_end.h"

namespace linesynth {
namespace {

// The texts of the flux pair have two blanks after "TERENNING".
constexpr std::string_view wavelength_error_line =
    "ERROR ON TERENNING WAVE LENGTH INTO pixel CALIBRATION ERROR";
constexpr std::string_view wavelength_stop_text = "ERROR ON TERENNING WAVE LENGTH INTO pixel";
constexpr std::string_view flux_error_line =
    "ERROR ON TERENNING  pixel INTO flux CALIBRATION ERROR";
constexpr std::string_view flux_stop_text = "ERROR ON TERENNING  pixel INTO flux";

[[noreturn]] void refuse(Conversion conversion) {
    end_run(CalibrationFailure{conversion});
}

}  // namespace

CalibrationErrorText calibration_error_text(Conversion conversion) {
    switch (conversion) {
        case Conversion::pixel_to_wavelength:
            // The only conversion whose stop text repeats its whole first line.
            return {wavelength_error_line, wavelength_error_line};
        case Conversion::wavelength_to_pixel:
            return {wavelength_error_line, wavelength_stop_text};
        case Conversion::flux_to_level:
        case Conversion::level_to_flux:
            break;
    }
    return {flux_error_line, flux_stop_text};
}

float pixel_to_wavelength(const CalibrationSet& calibration, std::int32_t pixel) {
    if (calibration.px_1 == calibration.px_2) {
        refuse(Conversion::pixel_to_wavelength);
    }
    const double slope = divide(widen(calibration.wl_1) - widen(calibration.wl_2),
                                widen(difference(calibration.px_1, calibration.px_2)));
    const double offset = slope * widen(difference(pixel, calibration.px_2));
    return narrow(offset + widen(calibration.wl_2));
}

std::int32_t wavelength_to_pixel(const CalibrationSet& calibration, float wavelength) {
    if (!wavelength_pair_usable(calibration)) {
        refuse(Conversion::wavelength_to_pixel);
    }
    const double factor = divide(widen(difference(calibration.px_1, calibration.px_2)),
                                 widen(calibration.wl_1) - widen(calibration.wl_2));
    const double offset = factor * (widen(wavelength) - widen(calibration.wl_2));
    return round_to_int(offset + widen(calibration.px_2));
}

std::int32_t flux_to_level(const CalibrationSet& calibration, float flux) {
    // flux_1 = flux_2 is checked too: it is the divisor below.
    if (calibration.level_1 == calibration.level_2 || calibration.flux_1 == calibration.flux_2) {
        refuse(Conversion::flux_to_level);
    }
    const double ratio = divide(widen(flux) - widen(calibration.flux_2),
                                widen(calibration.flux_1) - widen(calibration.flux_2));
    const double offset = ratio * widen(difference(calibration.level_1, calibration.level_2));
    const float value = narrow(offset + widen(calibration.level_2));
    return round_to_int(widen(value));
}

float level_to_flux(const CalibrationSet& calibration, std::int32_t level) {
    if (calibration.level_1 == calibration.level_2) {
        refuse(Conversion::level_to_flux);
    }
    const float slope = narrow(divide(widen(calibration.flux_1) - widen(calibration.flux_2),
                                      widen(difference(calibration.level_1, calibration.level_2))));
    const double offset = widen(difference(level, calibration.level_2)) * widen(slope);
    return narrow(offset + widen(calibration.flux_2));
}

bool wavelength_pair_usable(const CalibrationSet& calibration) {
    return calibration.wl_1 != calibration.wl_2;
}

}  // namespace linesynth
