#include "tools/pages/report_page.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "base/checked_math.h"
#include "tools/compare/number_text.h"
#include "tools/pages/markup_text.h"
#include "tools/pages/report_assets.h"

namespace linesynth::tools {
namespace {

std::string shortest(double value) {
    return shortest_text(value);
}
std::string shortest(float value) {
    return shortest_text(value);
}
template <typename Integer>
std::string shortest(Integer value) {
    return std::to_string(value);
}

std::string optional_six(const std::optional<double>& value) {
    return value ? six_digits(*value) : "none";
}

bool holds(const std::vector<std::int32_t>& sets, std::int32_t set) {
    return std::find(sets.begin(), sets.end(), set) != sets.end();
}

void put_escaped(std::string& out, std::string_view text) {
    append_escaped(out, text);
}

// A row of a two-column table: a label and a number (or "none").
void put_number_row(std::string& out, std::string_view key, std::string_view label,
                    std::string_view number) {
    out += "<tr><th>";
    out += label;
    out += "</th><td class=\"n\" data-key=\"";
    out += key;
    out += "\">";
    out += number;
    out += "</td></tr>\n";
}

// The statistics of the model with the weights file's weights; after the
// fit, when one ran, and headed so that nobody takes them for the fit's.
void put_statistics(std::string& out, const ReportData& data) {
    const FitStatistics& s = data.statistics;
    out += data.fit ? "<h2>Statistics with the weights of synthesis.txt</h2>\n"
                    : "<h2>Fit statistics</h2>\n";
    out += "<div class=\"scroll\"><table id=\"statistics\">\n";
    put_number_row(out, "points", "compared rows", shortest(s.points));
    put_number_row(out, "mean", "mean residual", six_digits(s.mean));
    put_number_row(out, "rms", "RMS of the residuals", six_digits(s.rms));
    put_number_row(out, "mean_abs", "mean absolute residual", six_digits(s.mean_abs));
    put_number_row(out, "max_abs", "largest absolute residual", six_digits(s.max_abs));
    put_number_row(out, "max_abs_wavelength", "&#8230; at wavelength",
                   shortest(s.max_abs_wavelength));
    put_number_row(out, "chi2",
                   data.sigma_file.empty() ? "sum of squared residuals (sigma 1 for every row)"
                                           : "chi-squared",
                   six_digits(s.chi2));
    put_number_row(out, "chi2_per_point", "chi-squared per row", six_digits(s.chi2_per_point));
    put_number_row(out, "adev_percent", "mean absolute deviation (%)",
                   s.adev_percent ? six_digits(*s.adev_percent) : "none");
    const Goodness& goodness = data.figures.goodness;
    put_number_row(out, "dof", "degrees of freedom (rows &#8722; sets)", shortest(goodness.dof));
    put_number_row(out, "chi2_reduced", "reduced chi-squared", optional_six(goodness.chi2_reduced));
    put_number_row(out, "p_value", "p-value (a chi-squared at least this large)",
                   optional_six(goodness.p_value));
    put_number_row(out, "snr", "signal-to-noise (DER_SNR)", optional_six(data.figures.snr));
    put_number_row(
        out, "integral", "integral (as the run appends it to the summary page)",
        data.figures.integral ? shortest(*data.figures.integral) : "none (beyond 32-bit range)");
    std::string shift = "none (the model has no slope to measure it by)";
    if (data.shift) {
        const ValueWithError text = with_error(data.shift->value, data.shift->error);
        shift = text.value + " &#177; " + text.error;
    }
    put_number_row(out, "shift", "shift of the observed rows against the model (rows)", shift);
    out += "</table></div>\n";
    if (data.shift && data.shift->significant) {
        out += "<p id=\"shift_warning\">";
        put_escaped(out, shift_warning());
        out += ".</p>\n";
    }
}

// A fitted value with its 1-sigma error beside it, both rounded to the
// error's second significant digit; without an error, the 32-bit real the
// file would get.
void put_fitted_cells(std::string& out, float value, const std::optional<double>& error,
                      std::string_view without) {
    out += "<td class=\"n\">";
    if (error) {
        const ValueWithError text = with_error(widen(value), *error);
        out += text.value;
        out += "</td><td class=\"n\">&#177; ";
        out += text.error;
    } else {
        out += shortest(value);
        out += "</td><td class=\"n\">";
        put_escaped(out, without);
    }
    out += "</td>";
}

// "sets 1, 2" and, when the scale takes part, "and the scale".
std::string sets_text(const std::vector<std::int32_t>& sets, bool scale) {
    std::string text = sets.empty() ? "" : (sets.size() == 1 ? "set " : "sets ") + set_list(sets);
    if (scale) {
        text += text.empty() ? "the scale" : " and the scale";
    }
    return text;
}

// What the fit cannot pin, or did not better, in sentences.
std::vector<std::string> fit_warnings(const ReportFit& fit, double chi2_before) {
    std::vector<std::string> warnings;
    // Rounding the weights to 32-bit reals can leave a fit that was already
    // at its optimum a little worse than the weights it started from.
    if (fit.chi2_after > chi2_before) {
        warnings.push_back(
            "The fitted weights do not lower chi-squared; keep those of synthesis.txt.");
    }
    if (!fit.dependent.empty() || (fit.scale_dependent && fit.rank < fit.parameter_count)) {
        warnings.push_back("Linearly dependent: " + sets_text(fit.dependent, fit.scale_dependent) +
                           "; the spectra cannot tell these weights apart.");
    }
    if (!fit.nearly_dependent.empty() || (fit.scale_dependent && fit.dependent.empty())) {
        warnings.push_back("Nearly dependent (condition number " +
                           six_digits(fit.condition_number) +
                           "): " + sets_text(fit.nearly_dependent, fit.scale_dependent) +
                           "; their weights are poorly determined.");
    }
    return warnings;
}

// What a fitted weight without an error shows in its place: the upper limit
// of a weight held at 0, or why there is none.
std::string without_error(const ReportFit& fit, std::size_t slot, bool held) {
    if (held) {
        return slot < fit.upper_limits.size() && fit.upper_limits[slot]
                   ? upper_limit_text(*fit.upper_limits[slot])
                   : std::string("at the bound 0");
    }
    return slot < fit.error_methods.size() && fit.error_methods[slot] == ErrorMethod::undetermined
               ? "undetermined"
               : "none";
}

// The methods are said only when one beyond the formal covariance is in
// use: the ordinary page stays as it was.
bool errors_beyond_formal(const ReportFit& fit) {
    const auto beyond = [](ErrorMethod method) {
        return method == ErrorMethod::released || method == ErrorMethod::realizations ||
               method == ErrorMethod::undetermined;
    };
    return std::any_of(fit.error_methods.begin(), fit.error_methods.end(), beyond) ||
           (fit.ref_a && beyond(fit.ref_a_error_method));
}

// The well-determined combinations of (nearly) dependent sets, with their
// errors rounded as the weights' are.
void put_combinations(std::string& out, const std::vector<Combination>& combinations) {
    if (combinations.empty()) {
        return;
    }
    out += "<h3>Well-determined combinations</h3>\n";
    out += "<div class=\"scroll\"><table id=\"combinations\">\n";
    out += "<tr><th>sets</th><th>coefficients</th><th>value</th><th>error (1 sigma)</th></tr>\n";
    for (const Combination& combination : combinations) {
        out += "<tr><td>";
        out += set_list(combination.sets);
        out += "</td><td>";
        for (std::size_t k = 0; k < combination.coefficients.size(); ++k) {
            out += k == 0 ? "" : ", ";
            out += shortest(combination.coefficients[k]);
        }
        out += "</td><td class=\"n\">";
        if (combination.error) {
            const ValueWithError text = with_error(combination.value, *combination.error);
            out += text.value;
            out += "</td><td class=\"n\">&#177; ";
            out += text.error;
        } else {
            out += six_digits(combination.value);
            out += "</td><td class=\"n\">none";
        }
        out += "</td></tr>\n";
    }
    out += "</table></div>\n";
}

// The correlation matrix, when some pair of parameters is strongly
// correlated (|rho| >= strong_correlation off the diagonal).
void put_correlation(std::string& out, const ReportFit& fit) {
    const std::size_t n = fit.correlation.size();
    bool strong = false;
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t k = 0; k < n && k < fit.correlation[j].size(); ++k) {
            const std::optional<double>& rho = fit.correlation[j][k];
            strong = strong || (j != k && rho && std::fabs(*rho) >= strong_correlation);
        }
    }
    if (!strong) {
        return;
    }
    const auto name = [&](std::size_t index) {
        return index < fit.weights.size() ? "set " + shortest(index + 1) : std::string("ref_a");
    };
    out += "<h3>Correlation</h3>\n<div class=\"scroll\"><table id=\"correlation\">\n<tr><th></th>";
    for (std::size_t k = 0; k < n; ++k) {
        out += "<th>" + name(k) + "</th>";
    }
    out += "</tr>\n";
    for (std::size_t j = 0; j < n; ++j) {
        out += "<tr><th>" + name(j) + "</th>";
        for (std::size_t k = 0; k < n; ++k) {
            out += "<td class=\"n\">";
            const std::vector<std::optional<double>>& row = fit.correlation[j];
            out += k < row.size() && row[k] ? six_digits(row[k].value()) : std::string("none");
            out += "</td>";
        }
        out += "</tr>\n";
    }
    out += "</table></div>\n";
}

void put_fit(std::string& out, const ReportData& data, const ReportFit& fit) {
    const bool sigma = !data.sigma_file.empty();
    out += "<div class=\"scroll\"><table id=\"fit\">\n";
    put_number_row(out, "chi2_before",
                   sigma ? "chi-squared with the weights of synthesis.txt"
                         : "sum of squared residuals with the weights of synthesis.txt",
                   six_digits(data.statistics.chi2));
    put_number_row(out, "chi2_after",
                   sigma ? "chi-squared with the fitted weights"
                         : "sum of squared residuals with the fitted weights",
                   six_digits(fit.chi2_after));
    put_number_row(out, "dof_after", "degrees of freedom (rows &#8722; parameters not at a bound)",
                   shortest(fit.after.dof));
    put_number_row(out, "chi2_reduced_after", "reduced chi-squared",
                   optional_six(fit.after.chi2_reduced));
    if (sigma) {
        put_number_row(out, "p_value_after", "p-value (a chi-squared at least this large)",
                       optional_six(fit.after.p_value));
    } else {
        put_number_row(out, "errors", "errors",
                       "scaled by the scatter of the residuals (no sigma file)");
    }
    if (fit.bounded) {
        put_number_row(out, "at_bound", "sets held at weight 0", set_list(fit.at_bound));
    }
    put_number_row(out, "rank", "rank of the fit",
                   shortest(fit.rank) + " of " + shortest(fit.parameter_count));
    put_number_row(out, "condition_number", "condition number", six_digits(fit.condition_number));
    out += "</table></div>\n";
    if (errors_beyond_formal(fit)) {
        out += "<p id=\"error_method\">Error method: ";
        put_escaped(
            out, error_methods_text(fit.error_methods,
                                    fit.ref_a ? std::optional<ErrorMethod>(fit.ref_a_error_method)
                                              : std::nullopt));
        out += ".</p>\n";
    }
    const std::vector<std::string> warnings = fit_warnings(fit, data.statistics.chi2);
    if (!warnings.empty()) {
        out += "<ul id=\"warnings\">\n";
        for (const std::string& warning : warnings) {
            out += "<li>";
            put_escaped(out, warning);
            out += "</li>\n";
        }
        out += "</ul>\n";
    }
    put_combinations(out, fit.combinations);
    put_correlation(out, fit);
}

// The weights table; with a fit it opens the fit's section, followed by the
// fit's own figures and warnings.
void put_weights(std::string& out, const ReportData& data) {
    out += data.fit ? "<h2>Fit</h2>\n" : "<h2>Weights</h2>\n";
    out += "<div class=\"scroll\"><table id=\"weights\">\n";
    out += "<tr><th>set</th><th>synthesis.txt</th>";
    if (data.fit) {
        out += "<th>fitted</th><th>error (1 sigma)</th>";
    }
    out += "</tr>\n";
    for (std::size_t i = 0; i < data.weights.size(); ++i) {
        const auto set = static_cast<std::int32_t>(i + 1);
        out += "<tr><td class=\"n\">";
        out += shortest(set);
        out += "</td><td class=\"n\">";
        out += shortest(data.weights[i]);
        out += "</td>";
        if (data.fit && i < data.fit->weights.size() && i < data.fit->errors.size()) {
            put_fitted_cells(out, data.fit->weights[i], data.fit->errors[i],
                             without_error(*data.fit, i, holds(data.fit->at_bound, set)));
        }
        out += "</tr>\n";
    }
    if (data.fit && data.fit->ref_a) {
        out += "<tr><td>ref_a (qdqd.txt)</td><td class=\"n\">";
        out += shortest(data.scales.ref_a);
        out += "</td>";
        put_fitted_cells(out, *data.fit->ref_a, data.fit->ref_a_error, "none");
        out += "</tr>\n";
    }
    out += "</table></div>\n";
    if (data.fit) {
        put_fit(out, data, *data.fit);
    }
}

void put_masks(std::string& out, const std::vector<ReportMask>& masks) {
    out += "<h2>Masks</h2>\n";
    if (masks.empty()) {
        out += "<p id=\"masks\">No masked ranges: every row was compared.</p>\n";
        return;
    }
    out += "<div class=\"scroll\"><table id=\"masks\">\n";
    out += "<tr><th>from</th><th>to</th><th>rows removed</th></tr>\n";
    for (const ReportMask& mask : masks) {
        out += "<tr><td class=\"n\">";
        out += shortest(mask.low);
        out += "</td><td class=\"n\">";
        out += shortest(mask.high);
        out += "</td><td class=\"n\">";
        out += shortest(mask.rows);
        out += "</td></tr>\n";
    }
    out += "</table></div>\n";
}

void put_calibration(std::string& out, const ReportData& data) {
    const CalibrationSet& c = data.calibration;
    out += "<h2>Calibration</h2>\n<div class=\"scroll\"><table id=\"calibration\">\n";
    out += "<tr><th></th><th>point 1</th><th>point 2</th></tr>\n";
    const auto row = [&](std::string_view label, const std::string& one, const std::string& two) {
        out += "<tr><th>";
        out += label;
        out += "</th><td class=\"n\">";
        out += one;
        out += "</td><td class=\"n\">";
        out += two;
        out += "</td></tr>\n";
    };
    row("pixel", shortest(c.px_1), shortest(c.px_2));
    row("wavelength", shortest(c.wl_1), shortest(c.wl_2));
    row("flux", shortest(c.flux_1), shortest(c.flux_2));
    row("level", shortest(c.level_1), shortest(c.level_2));
    row("scale file (qdqd.txt)", shortest(data.scales.ref_a), shortest(data.scales.ref_b));
    out += "</table></div>\n";
}

void put_normalisation(std::string& out, const ReportData& data) {
    out += "<h2>Normalisation</h2>\n<p id=\"normalisation\">Flags ";
    out += shortest(data.norm_a);
    out += ' ';
    out += shortest(data.norm_b);
    if (data.normalised) {
        out += ": the observed fluxes were divided by their maximum, ";
        out += shortest(data.max_observed);
        out += ".</p>\n";
    } else {
        out +=
            ": the observed fluxes were used as read (flags 2 4 divide them by their "
            "maximum).</p>\n";
    }
}

void put_files(std::string& out, const std::vector<ReportFile>& files) {
    out += "<h2>Input files</h2>\n<div class=\"scroll\"><table id=\"files\">\n";
    out += "<tr><th>file</th><th>bytes</th><th>SHA-256</th></tr>\n";
    for (const ReportFile& file : files) {
        out += "<tr><td>";
        put_escaped(out, file.name);
        out += "</td><td class=\"n\">";
        out += shortest(file.size);
        out += "</td><td><code>";
        put_escaped(out, file.sha256);
        out += "</code></td></tr>\n";
    }
    out += "</table></div>\n";
}

}  // namespace

std::string report_page(const ReportData& data) {
    const std::string_view title = without_trailing_blanks(data.title);
    std::string out;
    out.reserve(data.plot.size() + 8192);
    out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    // The page runs no script and loads nothing: a policy that says so keeps
    // text from a data file from ever becoming one. Its style is inline.
    out +=
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "style-src 'unsafe-inline'; base-uri 'none'; form-action 'none'\">\n";
    out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    out += "<title>";
    put_escaped(out, title.empty() ? std::string_view("linesynth report") : title);
    out += "</title>\n<style>\n";
    out += report_assets::style;
    out += "</style>\n</head>\n<body>\n<h1 id=\"title\">";
    put_escaped(out, title);
    out += "</h1>\n<p id=\"sigma\">";
    if (data.sigma_file.empty()) {
        out += "no sigma: every row weighs 1";
    } else {
        out += "sigma file ";
        put_escaped(out, data.sigma_file);
    }
    out += "</p>\n<div class=\"plot\">\n";
    out += data.plot;
    out += "</div>\n";
    out +=
        "<p class=\"note\">Errors are rounded to 2 significant digits and each value to "
        "the same decimal place, other computed values to 6 significant digits; "
        "<code>linesynth-tools stats --json</code> and <code>fit --json</code> give them "
        "exactly.</p>\n";
    // The fit, when one ran, comes first: it is what the page is read for.
    if (data.fit) {
        put_weights(out, data);
        put_statistics(out, data);
    } else {
        put_statistics(out, data);
        put_weights(out, data);
    }
    put_masks(out, data.masks);
    put_calibration(out, data);
    put_normalisation(out, data);
    put_files(out, data.files);
    out += "<footer>linesynth-tools ";
    put_escaped(out, data.version);
    out += "</footer>\n</body>\n</html>\n";
    return out;
}

}  // namespace linesynth::tools
