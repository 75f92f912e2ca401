#include "reports/scales.h"

#include "base/checked_math.h"

namespace linesynth {

void compute_scale_factors(ReportScales& scales, const CalibrationSet& calibration) {
    const double reference_span = widen(scales.ref_a) - widen(scales.ref_b);
    const double flux_span = widen(calibration.flux_1) - widen(calibration.flux_2);
    scales.scale_fwd = narrow(divide(reference_span, flux_span));
    scales.scale_back = narrow(divide(flux_span, reference_span));
}

double mapped_synthetic(const ReportScales& scales, const CalibrationSet& calibration,
                        float synthetic) {
    const double scaled = (widen(synthetic) - widen(calibration.flux_2)) * widen(scales.scale_fwd);
    return scaled + widen(scales.ref_b);
}

double mapped_observed(const ReportScales& scales, const CalibrationSet& calibration,
                       float observed) {
    const double scaled = (widen(observed) - widen(scales.ref_b)) * widen(scales.scale_back);
    return scaled + widen(calibration.flux_2);
}

}  // namespace linesynth
