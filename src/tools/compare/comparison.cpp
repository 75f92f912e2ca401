#include "tools/compare/comparison.h"

#include <variant>

#include "platform/platform.h"
#include "platform/whole_files.h"
#include "stages/report_stage.h"
#include "textio/record_reader.h"
#include "tools/compare/failure_text.h"
#include "tools/compare/number_text.h"

namespace linesynth::tools {
namespace {

// An option file, read whole once: what is applied is what the report lists.
std::optional<std::string> read_option_file(const std::string& path, const char* what,
                                            std::string& bytes) {
    const platform::FileOutcome outcome =
        platform::read_whole_file(path, platform::option_file_limit, bytes);
    if (outcome.fault == platform::FileFault::read) {
        return path + ": cannot read the " + what;
    }
    if (outcome) {
        return platform::fault_text(outcome);
    }
    return std::nullopt;
}

std::optional<std::string> read_mask(const std::string& path, const std::string& bytes,
                                     std::vector<MaskRange>& ranges, std::int64_t& line) {
    ParsedMask parsed = parse_mask(bytes);
    if (parsed.error) {
        line = parsed.error->line;
        return path + ", line " + std::to_string(parsed.error->line) + ": " + parsed.error->reason;
    }
    ranges = std::move(parsed.ranges);
    return std::nullopt;
}

// The count, then sigma(1) to sigma(rows), one read each, by the run's reader
// over the bytes read once.
std::optional<std::string> read_sigma(const std::string& path, const std::string& bytes,
                                      std::int32_t rows, std::vector<float>& sigma,
                                      std::int64_t& record) {
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
        if (const auto* file = std::get_if<FileFailure>(&*failure)) {
            record = file->record;
        }
        return failure_text(*failure);
    }
    if (count < rows) {
        return path + ": count " + std::to_string(count) + " does not cover the " +
               std::to_string(rows) + " compared rows";
    }
    return std::nullopt;
}

// The kind of what the run's first stage refused.
struct KindOf {
    Refusal operator()(const FileFailure&) const { return Refusal::input_file; }
    Refusal operator()(const MathFailure&) const { return Refusal::floating_point; }
    Refusal operator()(const CalibrationFailure&) const { return Refusal::calibration; }
    Refusal operator()(const CountFailure&) const { return Refusal::too_large; }
};

// The run's own ending of a failure: the stops end with status 0, the rest
// with the run-time error report (run/run_sequence.cpp).
RunOutcome outcome_of(const RunFailure& failure) {
    return std::holds_alternative<CalibrationFailure>(failure) ||
                   std::holds_alternative<CountFailure>(failure)
               ? RunOutcome::stops
               : RunOutcome::fails;
}

}  // namespace

std::string_view refusal_name(Refusal refusal) {
    switch (refusal) {
        case Refusal::none:
            return "ok";
        case Refusal::mask_file:
            return "mask_file";
        case Refusal::input_file:
            return "input_file";
        case Refusal::floating_point:
            return "floating_point";
        case Refusal::calibration:
            return "calibration";
        case Refusal::too_large:
            return "too_large";
        case Refusal::sigma_file:
            return "sigma_file";
        case Refusal::no_rows:
            return "no_rows";
        case Refusal::run_stop:
            return "run_stop";
        case Refusal::run_error:
            return "run_error";
    }
    return "failed";
}

std::string_view run_outcome_name(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::unknown:
            break;
        case RunOutcome::completes:
            return "completes";
        case RunOutcome::stops:
            return "stops";
        case RunOutcome::fails:
            return "fails";
    }
    return "";
}

std::optional<std::string> load_comparison(const ComparisonRequest& request, Comparison& comparison,
                                           RefusalPlace* place) {
    RefusalPlace ignored;
    RefusalPlace& where = place ? *place : ignored;
    if (!request.mask_file.empty()) {
        where.file = request.mask_file;
        if (auto refused =
                read_option_file(request.mask_file, "mask file", comparison.mask_bytes)) {
            comparison.refusal = Refusal::mask_file;
            return refused;
        }
        if (auto refused = read_mask(request.mask_file, comparison.mask_bytes, comparison.mask,
                                     where.record)) {
            comparison.refusal = Refusal::mask_file;
            return refused;
        }
    }
    if (!request.sigma_file.empty()) {
        where = {request.sigma_file, 0};
        if (auto refused =
                read_option_file(request.sigma_file, "sigma file", comparison.sigma_bytes)) {
            comparison.refusal = Refusal::sigma_file;
            return refused;
        }
    }
    if (const auto failure =
            compute_stage(*comparison.data, request.dir, Opening::inspect, comparison.kept.get())) {
        comparison.refusal = std::visit(KindOf{}, *failure);
        comparison.run = outcome_of(*failure);
        if (const auto* file = std::get_if<FileFailure>(&*failure)) {
            where = {file->file_name, file->record};
            if (file->statement == "OPEN" && platform::is_irregular(file->file_name)) {
                return file->file_name +
                       " is not a regular file (a FIFO, device or directory); it is not read";
            }
        } else if (const auto* count = std::get_if<CountFailure>(&*failure)) {
            where = {count->file_name, 0};
        } else {
            where = {};
        }
        return failure_text(*failure);
    }
    // The rest of the run, rehearsed: the tables and the integral, as the run
    // computes and lays them out, so that every fault it would meet there
    // (the wavelength pair, an overflow of a mapped value, a level or the
    // integral) is met here at the same place.
    where = {};
    if (const auto failure = report_stage(*comparison.data, request.dir, Output::rehearsal)) {
        comparison.run = outcome_of(*failure);
        if (const auto* stop = std::get_if<CalibrationFailure>(&*failure)) {
            comparison.refusal = Refusal::run_stop;
            return "the run stops at its reports: " +
                   std::string(calibration_error_text(stop->conversion).stop_text);
        }
        comparison.refusal = Refusal::run_error;
        return "the run ends at its reports: " + failure_text(*failure);
    }
    comparison.run = RunOutcome::completes;
    const RunData& data = *comparison.data;
    const std::int32_t rows =
        comparable_count(comparison.kept->observed_count, data.store->point_count);
    if (!request.sigma_file.empty()) {
        where.file = request.sigma_file;
        if (auto refused = read_sigma(request.sigma_file, comparison.sigma_bytes, rows,
                                      comparison.sigma, where.record)) {
            comparison.refusal = Refusal::sigma_file;
            return refused;
        }
    }
    where = {};
    comparison.rows =
        compared_rows(*data.store, data.scales, data.calibration, comparison.kept->observed_count,
                      comparison.mask, comparison.sigma);
    if (comparison.rows.empty()) {
        comparison.refusal = Refusal::no_rows;
        return "no compared rows left (observed count " +
               std::to_string(comparison.kept->observed_count) + ", point count " +
               std::to_string(data.store->point_count) + ", " + std::to_string(rows) +
               " rows masked)";
    }
    if (const ComparedRow* bad = first_bad_sigma(comparison.rows)) {
        comparison.refusal = Refusal::sigma_file;
        // The report names the row: the free-form file need not hold one
        // value per record.
        where = {request.sigma_file, 0};
        return request.sigma_file + ", row " + std::to_string(bad->index) + ": sigma " +
               shortest_text(static_cast<float>(bad->sigma)) + " is not a finite value above 0";
    }
    return std::nullopt;
}

}  // namespace linesynth::tools
