// The linear map between the synthetic (flux) scale and the observed scale
// that the residual tables use. flux_1 of the calibration corresponds to ref_a
// and flux_2 to ref_b; both references come from the scale file.
//
// Both factors are quotients of the same two double differences, narrowed
// independently: scale_back is not the reciprocal of the narrowed scale_fwd.
//   flux 2 / 0, references 10 / 0 -> scale_fwd 5.0f, scale_back 0x1.99999ap-3f
//     (0.2 narrowed); mapped_synthetic(1.0f) -> 5.0
//   references equal to the fluxes -> both factors exactly 1.0f
//   ref_a = ref_b                  -> divide-by-zero fault (from scale_back)
#pragma once

#include "spectrum/calibration.h"

namespace linesynth {

// 32-bit reals, one set per run, zero until read and computed.
struct ReportScales {
    float ref_a = 0;       // observed-scale value that corresponds to flux_1
    float ref_b = 0;       // observed-scale value that corresponds to flux_2
    float scale_fwd = 0;   // slope from the synthetic scale to the observed scale
    float scale_back = 0;  // slope from the observed scale to the synthetic scale
};

// With A = ref_a - ref_b and F = flux_1 - flux_2 in double:
// scale_fwd = narrow(A / F), then scale_back = narrow(F / A). Neither divisor is
// checked beforehand: a zero one ends the run with the floating-point report.
void compute_scale_factors(ReportScales& scales, const CalibrationSet& calibration);

// (synthetic - flux_2) * scale_fwd + ref_b, left to right in double, not narrowed.
double mapped_synthetic(const ReportScales& scales, const CalibrationSet& calibration,
                        float synthetic);

// (observed - ref_b) * scale_back + flux_2, left to right in double, not narrowed.
double mapped_observed(const ReportScales& scales, const CalibrationSet& calibration,
                       float observed);

}  // namespace linesynth
