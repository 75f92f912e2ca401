#include "reports/residual_tables.h"

#include "run/checked_math.h"
#include "textio/record_writer.h"
#include "textio/text_unit.h"

namespace linesynth {
namespace {

void write_count_record(TextUnit& table, std::int32_t count) {
    begin_record(table);
    put_integer(table, count);
    end_record(table);
}

void write_rdf(const std::string& path, const SpectrumStore& store,
               const CalibrationSet& calibration, const ReportScales& scales) {
    TextUnit table;
    open_file(table, path);
    const std::int32_t count = store.point_count;
    write_count_record(table, count);
    for (std::int32_t i = 1; i <= count; ++i) {
        const double mapped = mapped_synthetic(scales, calibration, store.synthetic[i]);
        begin_record(table);
        put_real(table, store.wavelengths[i]);
        put_real(table, narrow(mapped));
        put_real(table, store.observed[i]);
        put_real(table, narrow(static_cast<double>(store.observed[i]) - mapped));
        end_record(table);
    }
    close_file(table);
}

void write_rdf1(const std::string& path, const SpectrumStore& store,
                const CalibrationSet& calibration, const ReportScales& scales) {
    TextUnit table;
    open_file(table, path);
    const std::int32_t count = store.point_count;
    write_count_record(table, count);
    for (std::int32_t i = 1; i <= count; ++i) {
        const double mapped = mapped_observed(scales, calibration, store.observed[i]);
        begin_record(table);
        put_real(table, store.wavelengths[i]);
        put_real(table, store.synthetic[i]);
        put_real(table, narrow(mapped));
        put_real(table, narrow(static_cast<double>(store.synthetic[i]) - mapped));
        end_record(table);
    }
    close_file(table);
}

void write_rdf2(const std::string& path, const SpectrumStore& store,
                const CalibrationSet& calibration, const ReportScales& scales) {
    TextUnit table;
    open_file(table, path);
    const std::int32_t count = store.point_count;
    write_count_record(table, count);
    for (std::int32_t i = 1; i <= count; ++i) {
        // The three conversions in item order: a fault names the first one.
        const std::int32_t pixel = wavelength_to_pixel(calibration, store.wavelengths[i]);
        const std::int32_t synthetic_level = flux_to_level(calibration, store.synthetic[i]);
        const float observed = narrow(mapped_observed(scales, calibration, store.observed[i]));
        const std::int32_t observed_level = flux_to_level(calibration, observed);
        begin_record(table);
        put_integer(table, pixel);
        put_integer(table, synthetic_level);
        put_integer(table, observed_level);
        end_record(table);
    }
    close_file(table);
}

}  // namespace

void write_residual_tables(const std::string& data_dir, const SpectrumStore& store,
                           const CalibrationSet& calibration, const ReportScales& scales) {
    if (store.point_count >= 1 && !wavelength_pair_usable(calibration)) {
        wavelength_calibration_error_stop();
    }
    write_rdf(data_dir + "RDF.txt", store, calibration, scales);
    write_rdf1(data_dir + "RDF1.txt", store, calibration, scales);
    write_rdf2(data_dir + "RDF2.txt", store, calibration, scales);
}

}  // namespace linesynth
