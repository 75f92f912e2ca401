#include "stages/report_stage.h"

#include "reports/integral.h"
#include "reports/residual_tables.h"
#include "reports/summary_page.h"

namespace linesynth {

std::optional<RunFailure> report_stage(RunData& data, const std::string& dir) {
    return guarded([&] {
        // 10. The residual tables.
        write_residual_tables(dir, *data.store, data.calibration, data.scales);
        // 11. and 12. The integral, appended to the summary page.
        trapezoid_integral(data.integral, data.store->synthetic, data.store->wavelengths,
                           data.store->point_count);
        append_summary_record(dir + "vltOut.htm", data.integral);
    });
}

}  // namespace linesynth
