#include "tools/compare/comparison.h"

#include <variant>

#include "platform/platform.h"
#include "stages/report_stage.h"
#include "textio/record_reader.h"
#include "tools/compare/failure_text.h"
#include "tools/compare/number_text.h"
#include "tools/files/whole_files.h"

namespace linesynth::tools {
namespace {

// An option file, read whole once: what is applied is what the report lists.
std::optional<Refusal> read_option_file(const std::string& path, RefusalKind kind, const char* what,
                                        std::string& bytes) {
    const platform::FileOutcome outcome =
        platform::read_whole_file(path, platform::option_file_limit, bytes);
    if (outcome.fault == platform::FileFault::read) {
        return Refusal{kind, path, 0, path + ": cannot read the " + what};
    }
    if (outcome) {
        return Refusal{kind, path, 0, platform::fault_text(outcome)};
    }
    return std::nullopt;
}

std::optional<Refusal> read_mask(const std::string& path, const std::string& bytes,
                                 std::vector<MaskRange>& ranges) {
    ParsedMask parsed = parse_mask(bytes);
    if (parsed.error) {
        return Refusal{
            RefusalKind::mask_file, path, parsed.error->line,
            path + ", line " + std::to_string(parsed.error->line) + ": " + parsed.error->reason};
    }
    ranges = std::move(parsed.ranges);
    return std::nullopt;
}

// The count, then sigma(1) to sigma(rows), one read each, by the run's reader
// over the bytes read once.
std::optional<Refusal> read_sigma(const std::string& path, const std::string& bytes,
                                  std::int32_t rows, std::vector<float>& sigma) {
    std::int32_t count = 0;
    sigma.assign(static_cast<std::size_t>(rows), 0.0f);
    RecordReader reader;
    reader.file_name = path;
    reader.bytes = bytes_source(bytes);
    const std::optional<RunFailure> failure = guarded([&] {
        read_values(reader, count);
        if (count < rows) {
            return;
        }
        for (float& value : sigma) {
            read_values(reader, value);
        }
    });
    if (failure) {
        const auto* file = std::get_if<FileFailure>(&*failure);
        return Refusal{RefusalKind::sigma_file, path, file ? file->record : 0,
                       failure_text(*failure)};
    }
    if (count < rows) {
        return Refusal{RefusalKind::sigma_file, path, 0,
                       path + ": count " + std::to_string(count) + " does not cover the " +
                           std::to_string(rows) + " compared rows"};
    }
    return std::nullopt;
}

// What the run's first stage refused, with the file and record it names.
struct RefusalOf {
    Refusal operator()(const FileFailure& failure) const {
        return {RefusalKind::input_file, failure.file_name, failure.record, {}};
    }
    Refusal operator()(const MathFailure&) const {
        return {RefusalKind::floating_point, {}, 0, {}};
    }
    Refusal operator()(const CalibrationFailure&) const {
        return {RefusalKind::calibration, {}, 0, {}};
    }
    Refusal operator()(const CountFailure& failure) const {
        return {RefusalKind::too_large, failure.file_name, 0, {}};
    }
};

// The run's own ending of a failure: the stops end with status 0, the rest
// with the run-time error report (run/run_sequence.cpp).
RunOutcome outcome_of(const RunFailure& failure) {
    return std::holds_alternative<CalibrationFailure>(failure) ||
                   std::holds_alternative<CountFailure>(failure)
               ? RunOutcome::stops
               : RunOutcome::fails;
}

std::optional<Refusal> compare_rows(const ComparisonRequest& request, Comparison& comparison);

}  // namespace

std::optional<Refusal> load_comparison(const ComparisonRequest& request, Comparison& comparison) {
    if (!request.mask_file.empty()) {
        if (auto refused = read_option_file(request.mask_file, RefusalKind::mask_file, "mask file",
                                            comparison.mask_bytes)) {
            return refused;
        }
        if (auto refused = read_mask(request.mask_file, comparison.mask_bytes, comparison.mask)) {
            return refused;
        }
    }
    if (!request.sigma_file.empty()) {
        if (auto refused = read_option_file(request.sigma_file, RefusalKind::sigma_file,
                                            "sigma file", comparison.sigma_bytes)) {
            return refused;
        }
    }
    if (const auto failure =
            compute_stage(*comparison.data, request.dir, Opening::inspect, comparison.kept.get())) {
        Refusal refused = std::visit(RefusalOf{}, *failure);
        refused.text = failure_text(*failure);
        refused.run = outcome_of(*failure);
        const auto* file = std::get_if<FileFailure>(&*failure);
        if (file != nullptr && file->statement == "OPEN" &&
            platform::is_irregular(file->file_name)) {
            refused.text = file->file_name +
                           " is not a regular file (a FIFO, device or directory); it is not read";
        }
        return refused;
    }
    // The rest of the run, rehearsed: the tables and the integral, as the run
    // computes and lays them out, so that every fault it would meet there
    // (the wavelength pair, an overflow of a mapped value, a level or the
    // integral) is met here at the same place.
    if (const auto failure = report_stage(*comparison.data, request.dir, Output::rehearsal)) {
        if (const auto* stop = std::get_if<CalibrationFailure>(&*failure)) {
            return Refusal{RefusalKind::run_stop,
                           {},
                           0,
                           "the run stops at its reports: " +
                               std::string(calibration_error_text(stop->conversion).stop_text),
                           outcome_of(*failure)};
        }
        return Refusal{RefusalKind::run_error,
                       {},
                       0,
                       "the run ends at its reports: " + failure_text(*failure),
                       outcome_of(*failure)};
    }
    // From here on the run completes: what is refused is the companion's own.
    std::optional<Refusal> refused = compare_rows(request, comparison);
    if (refused) {
        refused->run = RunOutcome::completes;
    }
    return refused;
}

namespace {

// The sigmas and the compared rows of a directory whose run completes.
std::optional<Refusal> compare_rows(const ComparisonRequest& request, Comparison& comparison) {
    const RunData& data = *comparison.data;
    const std::int32_t rows =
        comparable_count(comparison.kept->observed_count, data.store->point_count);
    if (!request.sigma_file.empty()) {
        if (auto refused =
                read_sigma(request.sigma_file, comparison.sigma_bytes, rows, comparison.sigma)) {
            return refused;
        }
    }
    comparison.rows =
        compared_rows(*data.store, data.scales, data.calibration, comparison.kept->observed_count,
                      comparison.mask, comparison.sigma);
    if (comparison.rows.empty()) {
        return Refusal{RefusalKind::no_rows,
                       {},
                       0,
                       "no compared rows left (observed count " +
                           std::to_string(comparison.kept->observed_count) + ", point count " +
                           std::to_string(data.store->point_count) + ", " + std::to_string(rows) +
                           " rows masked)"};
    }
    if (const ComparedRow* bad = first_bad_sigma(comparison.rows)) {
        // The report names the row: the free-form file need not hold one
        // value per record.
        return Refusal{RefusalKind::sigma_file, request.sigma_file, 0,
                       request.sigma_file + ", row " + std::to_string(bad->index) + ": sigma " +
                           shortest_text(static_cast<float>(bad->sigma)) +
                           " is not a finite value above 0"};
    }
    return std::nullopt;
}

}  // namespace

}  // namespace linesynth::tools
