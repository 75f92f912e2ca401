#include "reports/residual_tables.h"

#include "base/checked_math.h"
#include "base/run_end.h"
#include "textio/record_writer.h"
#include "textio/text_unit.h"

namespace linesynth {
namespace {

// Opens `path` the default way (its old bytes go at the first write), writes
// the count record and then one record per point from `row(table, i)`, and
// closes it.
template <typename Row>
void write_table(const std::string& path, Output output, std::int32_t count, Row row) {
    TextUnit table;
    open_output(table, path, output);
    begin_record(table);
    put_integer(table, count);
    end_record(table);
    for (std::int32_t i = 1; i <= count; ++i) {
        begin_record(table);
        row(table, i);
        end_record(table);
    }
    close_file(table);
}

}  // namespace

void write_residual_tables(const std::string& data_dir, const SpectrumStore& store,
                           const CalibrationSet& calibration, const ReportScales& scales,
                           Output output) {
    if (store.point_count >= 1 && !wavelength_pair_usable(calibration)) {
        end_run(CalibrationFailure{Conversion::wavelength_to_pixel});
    }
    const std::int32_t count = store.point_count;
    write_table(data_dir + "RDF.txt", output, count, [&](TextUnit& table, std::int32_t i) {
        const double mapped = mapped_synthetic(scales, calibration, store.synthetic[i]);
        put_real(table, store.wavelengths[i]);
        put_real(table, narrow(mapped));
        put_real(table, store.observed[i]);
        put_real(table, narrow(widen(store.observed[i]) - mapped));
    });
    write_table(data_dir + "RDF1.txt", output, count, [&](TextUnit& table, std::int32_t i) {
        const double mapped = mapped_observed(scales, calibration, store.observed[i]);
        put_real(table, store.wavelengths[i]);
        put_real(table, store.synthetic[i]);
        put_real(table, narrow(mapped));
        put_real(table, narrow(widen(store.synthetic[i]) - mapped));
    });
    write_table(data_dir + "RDF2.txt", output, count, [&](TextUnit& table, std::int32_t i) {
        // Each item is placed before the next is computed, so a fault in a
        // later conversion leaves the record's earlier items in the file:
        //   level of synthetic beyond the 32-bit range -> the row ends after
        //   its pixel, and the run with the overflow report.
        put_integer(table, wavelength_to_pixel(calibration, store.wavelengths[i]));
        put_integer(table, flux_to_level(calibration, store.synthetic[i]));
        const float observed = narrow(mapped_observed(scales, calibration, store.observed[i]));
        put_integer(table, flux_to_level(calibration, observed));
    });
}

}  // namespace linesynth
