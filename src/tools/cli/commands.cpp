#include "tools/cli/commands.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "inputs/input_files.h"
#include "tools/cli/stats_output.h"
#include "tools/compare/failure_text.h"
#include "tools/compare/fit_statistics.h"
#include "tools/compare/number_text.h"
#include "tools/fit/weight_fit.h"
#include "tools/fit/weights_file.h"

namespace linesynth::tools {

CommandOutput refused(const std::string& reason) {
    return {1, "", std::string(program_name) + ": " + reason + "\n"};
}

CommandOutput run_stats(const CommandOptions& options) {
    Comparison comparison;
    if (auto reason = load_comparison(options.request, comparison)) {
        return refused(*reason);
    }
    const FitStatistics stats = fit_statistics(comparison.rows);
    if (options.json) {
        nlohmann::json json;
        json["stats"] = stats_json(stats);
        return {0, json.dump() + "\n", ""};
    }
    return {0, stats_text(stats), ""};
}

CommandOutput run_fit(const CommandOptions& options) {
    // A writer holds the directory from before its first reading to after
    // its last rename: two never interleave, and none loses the other's work.
    platform::DirectoryLock lock;
    if (options.write) {
        if (auto reason = lock_data_directory(options.request.dir, options.wait, lock)) {
            return refused(*reason);
        }
    }
    Comparison comparison;
    if (auto reason = load_comparison(options.request, comparison)) {
        return refused(*reason);
    }
    SuggestedFit suggested;
    if (auto reason =
            suggest_weights(comparison, options.request.dir,
                            options.free ? FitMode::free : FitMode::non_negative, suggested)) {
        return refused(*reason);
    }
    const std::int32_t set_count = comparison.data->parameters.set_count;
    const RunData& data = *comparison.data;
    const WeightFit& fit = suggested.fit;
    const std::vector<float>& weights = suggested.weights;
    const FitStatistics& before = suggested.before;
    const double chi2_after = suggested.chi2_after;
    const std::string weights_text = weights_file_text(weights);

    CommandOutput output;
    if (options.json) {
        nlohmann::json json;
        json["stats"] = stats_json(before);
        nlohmann::json& result = json["fit"];
        result["weights"] = nlohmann::json::array();
        for (const float weight : weights) {
            result["weights"].push_back(static_cast<double>(weight));
        }
        result["chi2_before"] = before.chi2;
        result["chi2_after"] = chi2_after;
        result["at_bound"] = fit.at_bound;
        result["rank"] = fit.rank;
        result["worse"] = suggested.worse;
        output.out = json.dump() + "\n";
    } else {
        output.out = weights_text;
        std::string report = "set  weight in synthesis.txt  fitted weight\n";
        for (std::int32_t set = 1; set <= set_count; ++set) {
            std::string row = std::to_string(set);
            row.resize(5, ' ');
            row += shortest_text(data.parameters.weight(set));
            row.resize(std::max<std::size_t>(row.size() + 1, 30), ' ');
            report += row + shortest_text(weights[static_cast<std::size_t>(set - 1)]) + "\n";
        }
        report += labelled_line("chi-squared before", shortest_text(before.chi2));
        report += labelled_line("chi-squared after", shortest_text(chi2_after));
        if (suggested.worse) {
            report += std::string("the fitted weights do not lower chi-squared; keep those of ") +
                      weights_file_name + "\n";
        }
        if (!options.free) {
            report += labelled_line("sets at the bound 0", set_list(fit.at_bound));
        }
        std::string rank = std::to_string(fit.rank) + " of " + std::to_string(set_count);
        if (!fit.dependent.empty()) {
            rank += " (linearly dependent sets: " + set_list(fit.dependent) + ")";
        }
        report += labelled_line("rank", rank);
        output.err = report;
    }
    if (options.write && suggested.worse) {
        return refused("the fitted weights give chi-squared " + shortest_text(chi2_after) +
                       ", above the current " + shortest_text(before.chi2) + "; " +
                       weights_file_name + " is left as it is");
    }
    if (options.write) {
        std::vector<ReplacedFile> replaced;
        if (auto reason = replace_data_files(options.request.dir,
                                             {{weights_file_name, weights_text}}, replaced)) {
            return refused(*reason);
        }
        if (!options.json) {
            output.err += std::string(weights_file_name) + " replaced; the old file is " +
                          replaced.front().backup + "\n";
        }
    }
    return output;
}

}  // namespace linesynth::tools
