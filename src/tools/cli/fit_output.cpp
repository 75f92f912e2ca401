#include "tools/cli/fit_output.h"

#include <algorithm>
#include <cmath>

#include "inputs/input_files.h"
#include "tools/cli/stats_output.h"
#include "tools/compare/number_text.h"
#include "tools/fit/conditioning.h"

namespace linesynth::tools {
namespace {

// `text` padded with blanks to `width` columns, at least one.
std::string column(std::string text, std::size_t width) {
    text.resize(std::max(text.size() + 1, width), ' ');
    return text;
}

std::string error_text(const FitResult& result, std::size_t slot, bool held) {
    if (result.errors[slot]) {
        return shortest_text(*result.errors[slot]);
    }
    if (held) {
        return result.upper_limits[slot]
                   ? upper_limit_text(*result.upper_limits[slot]) + " (95 % upper limit)"
                   : std::string("none (at the bound)");
    }
    return result.error_methods[slot] == ErrorMethod::undetermined ? "undetermined (dependent)"
                                                                   : "none";
}

// The parameters of the covariance by name: "set J", then "ref_a".
std::string parameter_name(std::size_t index, std::size_t sets) {
    return index < sets ? "set " + std::to_string(index + 1) : std::string("ref_a");
}

std::string combination_text(const Combination& combination) {
    std::string text;
    for (std::size_t k = 0; k < combination.sets.size(); ++k) {
        const double c = combination.coefficients[k];
        text += k == 0 ? (c < 0 ? "-" : "") : (c < 0 ? " - " : " + ");
        if (std::fabs(c) != 1) {
            text += shortest_text(std::fabs(c)) + " ";
        }
        text += "w(" + std::to_string(combination.sets[k]) + ")";
    }
    return text + " = " + shortest_text(combination.value) + " (error " +
           optional_text(combination.error, "none") + ")";
}

// The pairs with |rho| >= 0.5, the strongest first, at most three.
std::string correlated_pairs(const FitResult& result) {
    struct Pair {
        std::size_t j;
        std::size_t k;
        double rho;
    };
    std::vector<Pair> pairs;
    const std::size_t n = result.correlation.size();
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t k = j + 1; k < n; ++k) {
            const std::optional<double>& rho = result.correlation[j][k];
            if (rho && std::fabs(*rho) >= strong_correlation) {
                pairs.push_back({j, k, *rho});
            }
        }
    }
    std::stable_sort(pairs.begin(), pairs.end(), [](const Pair& left, const Pair& right) {
        return std::fabs(left.rho) > std::fabs(right.rho);
    });
    std::string text;
    for (std::size_t p = 0; p < pairs.size() && p < 3; ++p) {
        text += (p == 0 ? "" : "; ") + parameter_name(pairs[p].j, result.weights.size()) + " and " +
                parameter_name(pairs[p].k, result.weights.size()) + " (" +
                shortest_text(pairs[p].rho) + ")";
    }
    return text;
}

nlohmann::json optional_json(const std::optional<double>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

// Rows of entries, a row null where its parameter has no error; null when
// there is no covariance.
nlohmann::json matrix_json(const std::vector<std::vector<std::optional<double>>>& matrix) {
    if (matrix.empty()) {
        return nullptr;
    }
    nlohmann::json json = nlohmann::json::array();
    for (std::size_t j = 0; j < matrix.size(); ++j) {
        if (!matrix[j][j]) {
            json.push_back(nullptr);
            continue;
        }
        nlohmann::json row = nlohmann::json::array();
        for (const std::optional<double>& entry : matrix[j]) {
            row.push_back(optional_json(entry));
        }
        json.push_back(row);
    }
    return json;
}

nlohmann::json spread_json(const std::vector<Spread>& spreads) {
    nlohmann::json json;
    json["median"] = nlohmann::json::array();
    json["p16"] = nlohmann::json::array();
    json["p84"] = nlohmann::json::array();
    for (const Spread& spread : spreads) {
        json["median"].push_back(spread.median);
        json["p16"].push_back(spread.p16);
        json["p84"].push_back(spread.p84);
    }
    return json;
}

std::string chi2_label(const FitResult& result, const std::string& when) {
    return result.figures.sigma_from_file
               ? "chi-squared " + when
               : "sum of squared residuals " + when + " (sigma 1 for every row)";
}

// The table of sets: the weight in the weights file, the fitted weight and
// its error, with realizations their median and 16 and 84 % percentiles.
std::string weights_table(const FitResult& result) {
    const bool spread = !result.realizations.weights.empty();
    std::string table = column("set", 5) + column("weight in synthesis.txt", 25) +
                        column("fitted weight", 15) + "error (1 sigma)";
    if (spread) {
        table = column(table, 70) + column("median", 24) + column("16 %", 24) + "84 %";
    }
    table += "\n";
    for (std::size_t slot = 0; slot < result.weights.size(); ++slot) {
        const auto set = static_cast<std::int32_t>(slot + 1);
        const bool held =
            std::find(result.at_bound.begin(), result.at_bound.end(), set) != result.at_bound.end();
        std::string row = column(std::to_string(set), 5) +
                          column(shortest_text(result.figures.weights_in[slot]), 25) +
                          column(shortest_text(result.weights[slot]), 15) +
                          error_text(result, slot, held);
        if (spread) {
            const Spread& s = result.realizations.weights[slot];
            row = column(row, 70) + column(shortest_text(s.median), 24) +
                  column(shortest_text(s.p16), 24) + shortest_text(s.p84);
        }
        table += row + "\n";
    }
    return table;
}

std::string scale_lines(const ScaleResult& scale) {
    std::string fitted =
        shortest_text(scale.ref_a) + " (error " + optional_text(scale.ref_a_error, "none") + ")";
    if (scale.ref_a_spread) {
        fitted += ", realizations " + shortest_text(scale.ref_a_spread->median) + " (" +
                  shortest_text(scale.ref_a_spread->p16) + " to " +
                  shortest_text(scale.ref_a_spread->p84) + ")";
    }
    return labelled_line("fitted ref_a", fitted) +
           labelled_line("ref_b (kept)", shortest_text(scale.ref_b));
}

// Chi-squared before and after, its degrees of freedom and what they give,
// the sets held at the bound and how each error was found.
std::string goodness_lines(const FitResult& result, const FitOptions& options) {
    std::string lines =
        labelled_line(chi2_label(result, "before"), shortest_text(result.before.chi2)) +
        labelled_line(chi2_label(result, "after"), shortest_text(result.chi2_after));
    if (result.worse) {
        lines += std::string("the fitted weights do not lower chi-squared; keep those of ") +
                 weights_file_name + "\n";
    }
    lines +=
        labelled_line("degrees of freedom", std::to_string(result.after.dof) +
                                                " (compared rows - parameters not at a bound)");
    lines += labelled_line("reduced chi-squared",
                           optional_text(result.after.chi2_reduced, "none (no degree of freedom)"));
    if (result.figures.sigma_from_file) {
        lines +=
            labelled_line("p-value", optional_text(result.after.p_value, "none") +
                                         " (probability of a chi-squared at least this large)");
    } else {
        lines += labelled_line("errors", "scaled by the scatter of the residuals (no sigma file)");
    }
    if (options.mode == FitMode::non_negative) {
        lines += labelled_line("sets at the bound 0", set_list(result.at_bound));
    }
    lines += labelled_line("error method",
                           error_methods_text(result.error_methods,
                                              result.scale ? std::optional<ErrorMethod>(
                                                                 result.scale->ref_a_error_method)
                                                           : std::nullopt));
    return lines;
}

// The well-determined combinations, the most correlated pairs, the rank and
// the condition number, each with the sets that (nearly) depend on others.
std::string dependence_lines(const FitResult& result) {
    std::string lines;
    for (const Combination& combination : result.combinations) {
        lines += labelled_line("well determined", combination_text(combination));
    }
    if (const std::string pairs = correlated_pairs(result); !pairs.empty()) {
        lines += labelled_line("most correlated", pairs);
    }
    std::string rank = std::to_string(result.rank) + " of " +
                       std::to_string(result.parameter_count) + " (singular values below " +
                       shortest_text(rank_tolerance) + " of the largest count as zero)";
    if (!result.dependent.empty() ||
        (result.scale_dependent && result.rank < result.parameter_count)) {
        rank += "; linearly dependent sets: " + set_list(result.dependent) +
                (result.scale_dependent ? " and the scale" : "");
    }
    lines += labelled_line("rank", rank);
    std::string condition = std::isfinite(result.condition_number)
                                ? shortest_text(result.condition_number)
                                : std::string("infinite");
    if (!result.nearly_dependent.empty() || (result.scale_dependent && result.dependent.empty())) {
        condition += "; nearly dependent sets: " + set_list(result.nearly_dependent) +
                     (result.scale_dependent ? " and the scale" : "") +
                     ": their weights are poorly determined";
    }
    return lines + labelled_line("condition number", condition);
}

std::string realizations_line(const FitResult& result, const FitOptions& options) {
    std::string line =
        std::to_string(result.realizations.count) + " (seed " + std::to_string(options.seed) +
        ", " +
        (result.figures.sigma_from_file ? "Gaussian noise of each row's sigma"
                                        : "Gaussian noise of the residuals' scatter") +
        ")";
    if (result.realizations.refused > 0) {
        line +=
            ", " + std::to_string(result.realizations.refused) + " left out (scale not above 0)";
    }
    return labelled_line("realizations", line);
}

// The weights, their errors, how each was found and the upper limits of
// those held at 0.
void add_weights_json(const FitResult& result, nlohmann::json& json) {
    json["weights"] = nlohmann::json::array();
    for (const float weight : result.weights) {
        json["weights"].push_back(static_cast<double>(weight));
    }
    json["errors"] = nlohmann::json::array();
    for (const std::optional<double>& error : result.errors) {
        json["errors"].push_back(optional_json(error));
    }
    json["errors_scaled"] = result.errors_scaled;
    json["error_method"] = nlohmann::json::array();
    for (const ErrorMethod method : result.error_methods) {
        json["error_method"].push_back(error_method_name(method));
    }
    json["upper_limits"] = nlohmann::json::array();
    for (const std::optional<double>& limit : result.upper_limits) {
        json["upper_limits"].push_back(optional_json(limit));
    }
}

nlohmann::json combinations_json(const std::vector<Combination>& combinations) {
    nlohmann::json json = nlohmann::json::array();
    for (const Combination& combination : combinations) {
        json.push_back({{"sets", combination.sets},
                        {"coefficients", combination.coefficients},
                        {"value", combination.value},
                        {"error", optional_json(combination.error)}});
    }
    return json;
}

nlohmann::json realizations_json(const FitResult& result, const FitOptions& options) {
    if (result.realizations.count == 0) {
        return nullptr;
    }
    nlohmann::json realizations = spread_json(result.realizations.weights);
    realizations["count"] = result.realizations.count;
    realizations["refused"] = result.realizations.refused;
    realizations["seed"] = options.seed;
    return realizations;
}

nlohmann::json scale_json(const std::optional<ScaleResult>& fitted) {
    if (!fitted) {
        return nullptr;
    }
    const ScaleResult& scale = *fitted;
    nlohmann::json s;
    s["ref_a"] = static_cast<double>(scale.ref_a);
    s["ref_a_error"] = optional_json(scale.ref_a_error);
    s["ref_a_error_method"] = error_method_name(scale.ref_a_error_method);
    s["ref_b"] = static_cast<double>(scale.ref_b);
    s["a"] = scale.a;
    s["ref_a_realizations"] = nullptr;
    if (scale.ref_a_spread) {
        s["ref_a_realizations"] = {{"median", scale.ref_a_spread->median},
                                   {"p16", scale.ref_a_spread->p16},
                                   {"p84", scale.ref_a_spread->p84}};
    }
    return s;
}

}  // namespace

std::string fit_text(const FitResult& result, const FitOptions& options) {
    std::string report = weights_table(result);
    if (result.scale) {
        report += scale_lines(*result.scale);
    }
    report += goodness_lines(result, options);
    report += dependence_lines(result);
    if (result.realizations.count > 0) {
        report += realizations_line(result, options);
    }
    if (result.shift) {
        report += shift_text(*result.shift);
    }
    if (result.scale) {
        report += "new qdqd.txt (ref_a, then ref_b):\n" + shortest_text(result.scale->ref_a) +
                  "\n" + shortest_text(result.scale->ref_b) + "\n";
    }
    return report;
}

nlohmann::json fit_json(const FitResult& result, const FitOptions& options) {
    nlohmann::json json;
    add_weights_json(result, json);
    json["combinations"] = combinations_json(result.combinations);
    json["covariance"] = matrix_json(result.covariance);
    json["correlation"] = matrix_json(result.correlation);
    json["shift"] = shift_json(result.shift);
    json["chi2_before"] = result.before.chi2;
    json["chi2_after"] = result.chi2_after;
    json["worse"] = result.worse;
    json["dof"] = result.after.dof;
    json["chi2_reduced"] = optional_json(result.after.chi2_reduced);
    json["p_value"] = optional_json(result.after.p_value);
    json["at_bound"] = result.at_bound;
    json["rank"] = result.rank;
    json["parameters"] = result.parameter_count;
    json["rank_tolerance"] = rank_tolerance;
    json["condition_number"] = result.condition_number;
    json["dependent"] = result.dependent;
    json["nearly_dependent"] = result.nearly_dependent;
    json["scale_dependent"] = result.scale_dependent;
    json["realizations"] = realizations_json(result, options);
    json["scale"] = scale_json(result.scale);
    return json;
}

}  // namespace linesynth::tools
