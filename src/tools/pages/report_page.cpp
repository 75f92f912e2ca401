#include "tools/pages/report_page.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "base/checked_math.h"
#include "tools/compare/number_text.h"
#include "tools/pages/markup_text.h"
#include "tools/pages/markup_writer.h"
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

// A row of a two-column table: a label and a number (or "none"), both the
// program's own text (the labels hold character references).
void put_number_row(Markup& out, std::string_view key, std::string_view label,
                    std::string_view number) {
    out.open("tr").open("th").raw(label).close("th");
    out.open("td", {{"class", "n"}, {"data-key", key}}).raw(number).close("td");
    out.close("tr").line();
}

// A table inside the box that scrolls it sideways on a narrow screen.
void open_table(Markup& out, std::string_view id) {
    out.open("div", {{"class", "scroll"}}).open("table", {{"id", id}}).line();
}

void close_table(Markup& out) {
    out.close("table").close("div").line();
}

// A row of header cells.
void put_heading_row(Markup& out, std::initializer_list<std::string_view> headings) {
    out.open("tr");
    for (const std::string_view heading : headings) {
        out.element("th", heading);
    }
    out.close("tr").line();
}

// A value and its error, as two cells: "value", "&#177; error".
void put_value_and_error(Markup& out, const ValueWithError& text) {
    out.element("td", text.value, {{"class", "n"}});
    out.open("td", {{"class", "n"}}).raw("&#177; ").text(text.error).close("td");
}

// The rows past the residuals: the goodness of the fit, the signal, the
// integral and the shift.
void put_goodness_rows(Markup& out, const ReportData& data) {
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
}

// The statistics of the model with the weights file's weights; after the
// fit, when one ran, and headed so that nobody takes them for the fit's.
void put_statistics(Markup& out, const ReportData& data) {
    const FitStatistics& s = data.statistics;
    out.element("h2", data.fit ? "Statistics with the weights of synthesis.txt" : "Fit statistics")
        .line();
    open_table(out, "statistics");
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
    put_goodness_rows(out, data);
    close_table(out);
    if (data.shift && data.shift->significant) {
        out.open("p", {{"id", "shift_warning"}}).text(shift_warning()).raw(".").close("p").line();
    }
}

// A fitted value with its 1-sigma error beside it, both rounded to the
// error's second significant digit; without an error, the 32-bit real the
// file would get.
void put_fitted_cells(Markup& out, float value, const std::optional<double>& error,
                      std::string_view without) {
    if (error) {
        put_value_and_error(out, with_error(widen(value), *error));
    } else {
        out.element("td", shortest(value), {{"class", "n"}});
        out.element("td", without, {{"class", "n"}});
    }
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
    if (fit.found.chi2_after > chi2_before) {
        warnings.push_back(
            "The fitted weights do not lower chi-squared; keep those of synthesis.txt.");
    }
    if (!fit.found.dependent.empty() ||
        (fit.found.scale_dependent && fit.found.rank < fit.found.parameter_count)) {
        warnings.push_back(
            "Linearly dependent: " + sets_text(fit.found.dependent, fit.found.scale_dependent) +
            "; the spectra cannot tell these weights apart.");
    }
    if (!fit.found.nearly_dependent.empty() ||
        (fit.found.scale_dependent && fit.found.dependent.empty())) {
        warnings.push_back(
            "Nearly dependent (condition number " + six_digits(fit.found.condition_number) +
            "): " + sets_text(fit.found.nearly_dependent, fit.found.scale_dependent) +
            "; their weights are poorly determined.");
    }
    return warnings;
}

// What a fitted weight without an error shows in its place: the upper limit
// of a weight held at 0, or why there is none.
std::string without_error(const ReportFit& fit, std::size_t slot, bool held) {
    if (held) {
        return slot < fit.found.upper_limits.size() && fit.found.upper_limits[slot]
                   ? upper_limit_text(*fit.found.upper_limits[slot])
                   : std::string("at the bound 0");
    }
    return slot < fit.found.error_methods.size() &&
                   fit.found.error_methods[slot] == ErrorMethod::undetermined
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
    return std::any_of(fit.found.error_methods.begin(), fit.found.error_methods.end(), beyond) ||
           (fit.found.scale && beyond(fit.found.scale->ref_a_error_method));
}

// The well-determined combinations of (nearly) dependent sets, with their
// errors rounded as the weights' are.
void put_combinations(Markup& out, const std::vector<Combination>& combinations) {
    if (combinations.empty()) {
        return;
    }
    out.element("h3", "Well-determined combinations").line();
    open_table(out, "combinations");
    put_heading_row(out, {"sets", "coefficients", "value", "error (1 sigma)"});
    for (const Combination& combination : combinations) {
        std::string coefficients;
        for (std::size_t k = 0; k < combination.coefficients.size(); ++k) {
            coefficients += k == 0 ? "" : ", ";
            coefficients += shortest(combination.coefficients[k]);
        }
        out.open("tr").element("td", set_list(combination.sets)).element("td", coefficients);
        if (combination.error) {
            put_value_and_error(out, with_error(combination.value, *combination.error));
        } else {
            out.element("td", six_digits(combination.value), {{"class", "n"}});
            out.element("td", "none", {{"class", "n"}});
        }
        out.close("tr").line();
    }
    close_table(out);
}

// Whether some pair of parameters is strongly correlated (|rho| >=
// strong_correlation off the diagonal).
bool strongly_correlated(const ReportFit& fit) {
    const std::size_t n = fit.found.correlation.size();
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t k = 0; k < n && k < fit.found.correlation[j].size(); ++k) {
            const std::optional<double>& rho = fit.found.correlation[j][k];
            if (j != k && rho && std::fabs(*rho) >= strong_correlation) {
                return true;
            }
        }
    }
    return false;
}

// The correlation matrix, when some pair of parameters is strongly correlated.
void put_correlation(Markup& out, const ReportFit& fit) {
    if (!strongly_correlated(fit)) {
        return;
    }
    const std::size_t n = fit.found.correlation.size();
    const auto name = [&](std::size_t index) {
        return index < fit.found.weights.size() ? "set " + shortest(index + 1)
                                                : std::string("ref_a");
    };
    out.element("h3", "Correlation").line();
    open_table(out, "correlation");
    out.open("tr").element("th", "");
    for (std::size_t k = 0; k < n; ++k) {
        out.element("th", name(k));
    }
    out.close("tr").line();
    for (std::size_t j = 0; j < n; ++j) {
        out.open("tr").element("th", name(j));
        const std::vector<std::optional<double>>& row = fit.found.correlation[j];
        for (std::size_t k = 0; k < n; ++k) {
            out.element("td", k < row.size() && row[k] ? six_digits(row[k].value()) : "none",
                        {{"class", "n"}});
        }
        out.close("tr").line();
    }
    close_table(out);
}

// The fit's own figures: chi-squared before and after, its goodness and
// its conditioning.
void put_fit_figures(Markup& out, const ReportData& data, const ReportFit& fit) {
    const bool sigma = !data.sigma_file.empty();
    open_table(out, "fit");
    put_number_row(out, "chi2_before",
                   sigma ? "chi-squared with the weights of synthesis.txt"
                         : "sum of squared residuals with the weights of synthesis.txt",
                   six_digits(data.statistics.chi2));
    put_number_row(out, "chi2_after",
                   sigma ? "chi-squared with the fitted weights"
                         : "sum of squared residuals with the fitted weights",
                   six_digits(fit.found.chi2_after));
    put_number_row(out, "dof_after", "degrees of freedom (rows &#8722; parameters not at a bound)",
                   shortest(fit.found.after.dof));
    put_number_row(out, "chi2_reduced_after", "reduced chi-squared",
                   optional_six(fit.found.after.chi2_reduced));
    if (sigma) {
        put_number_row(out, "p_value_after", "p-value (a chi-squared at least this large)",
                       optional_six(fit.found.after.p_value));
    } else {
        put_number_row(out, "errors", "errors",
                       "scaled by the scatter of the residuals (no sigma file)");
    }
    if (fit.bounded) {
        put_number_row(out, "at_bound", "sets held at weight 0", set_list(fit.found.at_bound));
    }
    put_number_row(out, "rank", "rank of the fit",
                   shortest(fit.found.rank) + " of " + shortest(fit.found.parameter_count));
    put_number_row(out, "condition_number", "condition number",
                   six_digits(fit.found.condition_number));
    close_table(out);
}

void put_fit(Markup& out, const ReportData& data, const ReportFit& fit) {
    put_fit_figures(out, data, fit);
    if (errors_beyond_formal(fit)) {
        out.open("p", {{"id", "error_method"}}).raw("Error method: ");
        out.text(error_methods_text(
            fit.found.error_methods,
            fit.found.scale ? std::optional<ErrorMethod>(fit.found.scale->ref_a_error_method)
                            : std::nullopt));
        out.raw(".").close("p").line();
    }
    const std::vector<std::string> warnings = fit_warnings(fit, data.statistics.chi2);
    if (!warnings.empty()) {
        out.open("ul", {{"id", "warnings"}}).line();
        for (const std::string& warning : warnings) {
            out.element("li", warning).line();
        }
        out.close("ul").line();
    }
    put_combinations(out, fit.found.combinations);
    put_correlation(out, fit);
}

// The weights table; with a fit it opens the fit's section, followed by the
// fit's own figures and warnings.
void put_weights(Markup& out, const ReportData& data) {
    out.element("h2", data.fit ? "Fit" : "Weights").line();
    open_table(out, "weights");
    if (data.fit) {
        put_heading_row(out, {"set", "synthesis.txt", "fitted", "error (1 sigma)"});
    } else {
        put_heading_row(out, {"set", "synthesis.txt"});
    }
    for (std::size_t i = 0; i < data.weights.size(); ++i) {
        const auto set = static_cast<std::int32_t>(i + 1);
        out.open("tr").element("td", shortest(set), {{"class", "n"}});
        out.element("td", shortest(data.weights[i]), {{"class", "n"}});
        if (data.fit && i < data.fit->found.weights.size() && i < data.fit->found.errors.size()) {
            put_fitted_cells(out, data.fit->found.weights[i], data.fit->found.errors[i],
                             without_error(*data.fit, i, holds(data.fit->found.at_bound, set)));
        }
        out.close("tr").line();
    }
    if (data.fit && data.fit->found.scale) {
        out.open("tr").element("td", "ref_a (qdqd.txt)");
        out.element("td", shortest(data.scales.ref_a), {{"class", "n"}});
        put_fitted_cells(out, data.fit->found.scale->ref_a, data.fit->found.scale->ref_a_error,
                         "none");
        out.close("tr").line();
    }
    close_table(out);
    if (data.fit) {
        put_fit(out, data, *data.fit);
    }
}

void put_masks(Markup& out, const std::vector<ReportMask>& masks) {
    out.element("h2", "Masks").line();
    if (masks.empty()) {
        out.element("p", "No masked ranges: every row was compared.", {{"id", "masks"}}).line();
        return;
    }
    open_table(out, "masks");
    put_heading_row(out, {"from", "to", "rows removed"});
    for (const ReportMask& mask : masks) {
        out.open("tr").element("td", shortest(mask.low), {{"class", "n"}});
        out.element("td", shortest(mask.high), {{"class", "n"}});
        out.element("td", shortest(mask.rows), {{"class", "n"}}).close("tr").line();
    }
    close_table(out);
}

void put_calibration(Markup& out, const ReportData& data) {
    const CalibrationSet& c = data.calibration;
    out.element("h2", "Calibration").line();
    open_table(out, "calibration");
    put_heading_row(out, {"", "point 1", "point 2"});
    const auto row = [&](std::string_view label, const std::string& one, const std::string& two) {
        out.open("tr").element("th", label).element("td", one, {{"class", "n"}});
        out.element("td", two, {{"class", "n"}}).close("tr").line();
    };
    row("pixel", shortest(c.px_1), shortest(c.px_2));
    row("wavelength", shortest(c.wl_1), shortest(c.wl_2));
    row("flux", shortest(c.flux_1), shortest(c.flux_2));
    row("level", shortest(c.level_1), shortest(c.level_2));
    row("scale file (qdqd.txt)", shortest(data.scales.ref_a), shortest(data.scales.ref_b));
    close_table(out);
}

void put_normalisation(Markup& out, const ReportData& data) {
    out.element("h2", "Normalisation").line();
    out.open("p", {{"id", "normalisation"}}).raw("Flags ");
    out.text(shortest(data.norm_a) + ' ' + shortest(data.norm_b));
    if (data.normalised) {
        out.raw(": the observed fluxes were divided by their maximum, ")
            .text(shortest(data.max_observed))
            .raw(".");
    } else {
        out.raw(
            ": the observed fluxes were used as read (flags 2 4 divide them by their maximum).");
    }
    out.close("p").line();
}

void put_files(Markup& out, const std::vector<ReportFile>& files) {
    out.element("h2", "Input files").line();
    open_table(out, "files");
    put_heading_row(out, {"file", "bytes", "SHA-256"});
    for (const ReportFile& file : files) {
        out.open("tr")
            .element("td", file.name)
            .element("td", shortest(file.size), {{"class", "n"}});
        out.open("td").element("code", file.sha256).close("td").close("tr").line();
    }
    close_table(out);
}

// The head: the policy, the title and the embedded style sheet.
void put_head(Markup& out, std::string_view title) {
    out.raw("<!DOCTYPE html>").line().open("html", {{"lang", "en"}}).line();
    out.open("head").line().void_element("meta", {{"charset", "utf-8"}}).line();
    // The page runs no script and loads nothing: a policy that says so keeps
    // text from a data file from ever becoming one. Its style is inline.
    out.void_element("meta", {{"http-equiv", "Content-Security-Policy"},
                              {"content",
                               "default-src 'none'; style-src 'unsafe-inline'; base-uri 'none'; "
                               "form-action 'none'"}})
        .line();
    out.void_element("meta",
                     {{"name", "viewport"}, {"content", "width=device-width, initial-scale=1"}})
        .line();
    out.element("title", title.empty() ? std::string_view("linesynth report") : title).line();
    out.open("style").line().raw(report_assets::style).close("style").line();
    out.close("head").line();
}

// The title, where sigma came from, the plot and how the numbers are rounded.
void put_opening(Markup& out, const ReportData& data, std::string_view title) {
    out.open("body").line().element("h1", title, {{"id", "title"}}).line();
    out.open("p", {{"id", "sigma"}});
    if (data.sigma_file.empty()) {
        out.raw("no sigma: every row weighs 1");
    } else {
        out.raw("sigma file ").text(data.sigma_file);
    }
    out.close("p").line();
    out.open("div", {{"class", "plot"}}).line().raw(data.plot).close("div").line();
    out.open("p", {{"class", "note"}})
        .raw(
            "Errors are rounded to 2 significant digits and each value to the same decimal "
            "place, other computed values to 6 significant digits; ")
        .element("code", "linesynth-tools stats --json")
        .raw(" and ")
        .element("code", "fit --json")
        .raw(" give them exactly.")
        .close("p")
        .line();
}

}  // namespace

std::string report_page(const ReportData& data) {
    const std::string_view title = without_trailing_blanks(data.title);
    Markup out;
    out.written.reserve(data.plot.size() + 8192);
    put_head(out, title);
    put_opening(out, data, title);
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
    out.element("footer", "linesynth-tools " + data.version).line();
    out.close("body").line().close("html").line();
    return std::move(out.written);
}

}  // namespace linesynth::tools
