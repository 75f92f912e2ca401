#include "tools/pages/report_page.h"

#include <string_view>

#include "tools/compare/number_text.h"
#include "tools/pages/markup_text.h"

namespace linesynth::tools {
namespace {

// Narrow enough to read at 400 pixels (the plot scales, long digests wrap),
// and held to a comfortable measure at 1400.
constexpr std::string_view page_style =
    "body{font-family:sans-serif;color:#222;background:#fff;line-height:1.4;"
    "max-width:1000px;margin:0 auto;padding:0 12px 24px}\n"
    "h1{font-size:1.4em;overflow-wrap:anywhere}\n"
    "h2{font-size:1.1em;margin-top:1.6em;border-bottom:1px solid #ccc}\n"
    ".plot svg{display:block;width:100%;height:auto}\n"
    ".scroll{overflow-x:auto}\n"
    "table{border-collapse:collapse}\n"
    "th,td{text-align:left;padding:.15em 1em .15em 0;vertical-align:top}\n"
    "td.n{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}\n"
    "code{font-size:.85em;overflow-wrap:anywhere;word-break:break-all}\n"
    "footer{margin-top:2em;color:#666;font-size:.9em}\n";

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

void put_statistics(std::string& out, const FitStatistics& s, const ComparisonFigures& figures) {
    out += "<h2>Fit statistics</h2>\n<div class=\"scroll\"><table id=\"statistics\">\n";
    put_number_row(out, "points", "compared rows", shortest(s.points));
    put_number_row(out, "mean", "mean residual", shortest(s.mean));
    put_number_row(out, "rms", "RMS of the residuals", shortest(s.rms));
    put_number_row(out, "mean_abs", "mean absolute residual", shortest(s.mean_abs));
    put_number_row(out, "max_abs", "largest absolute residual", shortest(s.max_abs));
    put_number_row(out, "max_abs_wavelength", "&#8230; at wavelength",
                   shortest(s.max_abs_wavelength));
    put_number_row(out, "chi2", "chi-squared", shortest(s.chi2));
    put_number_row(out, "chi2_per_point", "chi-squared per row", shortest(s.chi2_per_point));
    const Goodness& goodness = figures.goodness;
    put_number_row(out, "dof", "degrees of freedom", shortest(goodness.dof));
    put_number_row(out, "chi2_reduced", "reduced chi-squared",
                   goodness.chi2_reduced ? shortest(*goodness.chi2_reduced) : "none");
    put_number_row(out, "p_value", "p-value",
                   goodness.p_value ? shortest(*goodness.p_value) : "none");
    put_number_row(out, "adev_percent", "mean absolute deviation (%)",
                   s.adev_percent ? shortest(*s.adev_percent) : "none");
    put_number_row(out, "snr", "signal-to-noise (DER_SNR)",
                   figures.snr ? shortest(*figures.snr) : "none");
    out += "</table></div>\n";
}

void put_weights(std::string& out, const ReportData& data) {
    out += "<h2>Weights</h2>\n<div class=\"scroll\"><table id=\"weights\">\n";
    out += "<tr><th>set</th><th>synthesis.txt</th>";
    if (data.fit) {
        out += "<th>suggested</th>";
    }
    out += "</tr>\n";
    for (std::size_t i = 0; i < data.weights.size(); ++i) {
        out += "<tr><td class=\"n\">";
        out += shortest(i + 1);
        out += "</td><td class=\"n\">";
        out += shortest(data.weights[i]);
        out += "</td>";
        if (data.fit) {
            out += "<td class=\"n\">";
            out += i < data.fit->weights.size() ? shortest(data.fit->weights[i]) : "";
            out += "</td>";
        }
        out += "</tr>\n";
    }
    out += "</table></div>\n";
    if (data.fit) {
        const SuggestedWeights& fit = *data.fit;
        out += "<div class=\"scroll\"><table id=\"fit\">\n";
        put_number_row(out, "chi2_before", "chi-squared with the weights of synthesis.txt",
                       shortest(fit.chi2_before));
        put_number_row(out, "chi2_after", "chi-squared with the suggested weights",
                       shortest(fit.chi2_after));
        if (fit.chi2_after > fit.chi2_before) {
            put_number_row(out, "worse", "the suggested weights",
                           "do not lower chi-squared; keep those of synthesis.txt");
        }
        put_number_row(out, "at_bound", "sets held at weight 0", set_list(fit.at_bound));
        put_number_row(out, "rank", "rank of the fit", shortest(fit.rank));
        if (!fit.dependent.empty()) {
            put_number_row(out, "dependent", "linearly dependent sets", set_list(fit.dependent));
        }
        out += "</table></div>\n";
    }
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
    out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    out += "<title>";
    put_escaped(out, title.empty() ? std::string_view("linesynth report") : title);
    out += "</title>\n<style>\n";
    out += page_style;
    out += "</style>\n</head>\n<body>\n<h1 id=\"title\">";
    put_escaped(out, title);
    out += "</h1>\n<div class=\"plot\">\n";
    out += data.plot;
    out += "</div>\n";
    put_statistics(out, data.statistics, data.figures);
    put_weights(out, data);
    put_calibration(out, data);
    put_normalisation(out, data);
    put_files(out, data.files);
    out += "<footer>linesynth-tools ";
    put_escaped(out, data.version);
    out += "</footer>\n</body>\n</html>\n";
    return out;
}

}  // namespace linesynth::tools
