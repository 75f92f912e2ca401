#include "stages/report_stage.h"

#include "reports/integral.h"
#include "reports/residual_tables.h"
#include "reports/summary_page.h"

namespace linesynth {

std::optional<RunFailure> report_stage(const SpectrumStore& store,
                                       const CalibrationSet& calibration,
                                       const ReportScales& scales, const std::string& dir,
                                       Output output, float& integral) {
    return guarded([&] {
        // 10. The residual tables.
        write_residual_tables(dir, store, calibration, scales, output);
        // 11. and 12. The integral, appended to the summary page.
        trapezoid_integral(integral, store.synthetic, store.wavelengths, store.point_count);
        append_summary_record(dir + "vltOut.htm", integral, output);
    });
}

std::optional<RunFailure> report_stage(RunData& data, const std::string& dir, Output output) {
    return report_stage(*data.store, data.calibration, data.scales, dir, output, data.integral);
}

}  // namespace linesynth
