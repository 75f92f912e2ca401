#include "tools/cli/commands.h"

#include <nlohmann/json.hpp>

#include "inputs/input_files.h"
#include "tools/cli/fit_output.h"
#include "tools/cli/stats_output.h"
#include "tools/compare/comparison_figures.h"
#include "tools/compare/fit_statistics.h"
#include "tools/compare/number_text.h"
#include "tools/fit/fit_result.h"
#include "tools/fit/weights_file.h"

namespace linesynth::tools {

CommandOutput refused(const Refusal& refusal, bool json) {
    CommandOutput output{1, "", std::string(program_name) + ": " + refusal.text + "\n"};
    if (json) {
        nlohmann::json error;
        error["message"] = refusal.text;
        error["file"] =
            refusal.file.empty() ? nlohmann::json(nullptr) : nlohmann::json(refusal.file);
        error["record"] =
            refusal.record > 0 ? nlohmann::json(refusal.record) : nlohmann::json(nullptr);
        if (refusal.run != RunOutcome::unknown) {
            error["run"] = run_outcome_name(refusal.run);
        }
        output.out = nlohmann::json{{"error", error}}.dump() + "\n";
    }
    return output;
}

CommandOutput refused(const std::string& reason) {
    return refused(Refusal{RefusalKind::command, {}, 0, reason});
}

nlohmann::json stats_document(const Comparison& comparison, const std::string& dir,
                              const std::string& version) {
    const FitStatistics stats = fit_statistics(comparison.rows);
    const ComparisonFigures figures = comparison_figures(comparison, stats);
    nlohmann::json json;
    put_comparison_json(json, comparison, figures, dir, version);
    json["stats"] = stats_json(stats, figures);
    json["stats"]["shift"] = shift_json(row_shift(comparison, figures.sigma_from_file));
    return json;
}

nlohmann::json fit_document(const Comparison& comparison, const FitResult& result,
                            const FitOptions& fit_options, const std::string& dir,
                            const std::string& version) {
    nlohmann::json json;
    put_comparison_json(json, comparison, result.figures, dir, version);
    json["stats"] = stats_json(result.before, result.figures);
    json["fit"] = fit_json(result, fit_options);
    return json;
}

CommandOutput run_stats(const CommandOptions& options) {
    Comparison comparison;
    if (auto refusal = load_comparison(options.request, comparison)) {
        return refused(*refusal, options.json);
    }
    if (options.json) {
        return {0, stats_document(comparison, options.request.dir, options.version).dump() + "\n",
                ""};
    }
    const FitStatistics stats = fit_statistics(comparison.rows);
    const ComparisonFigures figures = comparison_figures(comparison, stats);
    const std::optional<RowShift> shift = row_shift(comparison, figures.sigma_from_file);
    return {0, stats_text(stats, figures) + (shift ? shift_text(*shift) : ""), ""};
}

namespace {

// fit --write: the fitted weights (with --scale also the scale) replace the
// data files, both or neither, unless they are worse than the current ones.
// Without --json the backups are listed on `err`.
std::optional<Refusal> write_fit(const CommandOptions& options, const FitResult& result,
                                 const std::string& weights_text, std::string& err,
                                 bool& output_replaced) {
    if (result.worse) {
        return Refusal{RefusalKind::fit,
                       {},
                       0,
                       "the fitted weights give chi-squared " + shortest_text(result.chi2_after) +
                           ", above the current " + shortest_text(result.before.chi2) + "; " +
                           weights_file_name + " is left as it is"};
    }
    std::vector<NewDataFile> files = {{weights_file_name, weights_text}};
    if (result.scale) {
        files.push_back(
            {scale_file_name, scale_file_text(result.scale->ref_a, result.scale->ref_b)});
    }
    std::vector<ReplacedFile> replaced;
    if (auto refusal = replace_data_files(options.request.dir, files, replaced)) {
        return refusal;
    }
    output_replaced = true;
    if (!options.json) {
        for (const ReplacedFile& file : replaced) {
            err += file.name + " replaced; the old file is " + file.backup + "\n";
        }
    }
    return std::nullopt;
}

}  // namespace

CommandOutput run_fit(const CommandOptions& options) {
    // A writer holds the directory from before its first reading to after
    // its last rename: two never interleave, and none loses the other's work.
    platform::DirectoryLock lock;
    if (options.write) {
        if (auto refusal = lock_data_directory(options.request.dir, options.wait, lock)) {
            return refused(*refusal, options.json);
        }
    }
    std::string completed;
    if (options.write) {
        JournalOutcome journal = finish_interrupted_replacement(options.request.dir);
        if (journal.refused) {
            return refused(*journal.refused, options.json);
        }
        if (!journal.done.empty()) {
            completed = journal.done + "\n";
        }
    }
    Comparison comparison;
    if (auto refusal = load_comparison(options.request, comparison)) {
        return refused(*refusal, options.json);
    }
    FitOptions fit_options;
    fit_options.mode = options.free ? FitMode::free : FitMode::non_negative;
    fit_options.scale = options.scale;
    fit_options.realizations = options.realizations;
    fit_options.seed = options.seed;
    fit_options.progress = options.progress;
    FitResult result;
    if (auto refusal = fit_comparison(comparison, options.request.dir, fit_options, result)) {
        return refused(*refusal, options.json);
    }
    const std::string weights_text = weights_file_text(result.weights);

    CommandOutput output;
    output.err = completed;
    if (options.json) {
        output.out =
            fit_document(comparison, result, fit_options, options.request.dir, options.version)
                .dump() +
            "\n";
    } else {
        output.out = weights_text;
        output.err += fit_text(result, fit_options);
    }
    if (options.write) {
        if (auto refusal = write_fit(options, result, weights_text, output.err, output.replaced)) {
            return refused(*refusal, options.json);
        }
    }
    return output;
}

}  // namespace linesynth::tools
