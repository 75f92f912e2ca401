#include "tools/pages/explore_page.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>

#include "tools/compare/number_text.h"
#include "tools/pages/explore_assets.h"
#include "tools/pages/markup_text.h"
#include "tools/pages/plot_style.h"

namespace linesynth::tools {
namespace {

// A line's style as the script draws it: {"colour", "width", "dashes": [...]}.
void put_line_style(std::string& out, std::string_view name, const LineStyle& line) {
    out += '"';
    out += name;
    out += "\":{\"colour\":\"";
    out += line.colour;
    out += "\",\"width\":";
    out += shortest_text(line.width);
    out += ",\"dashes\":[";
    for (const char c : line.dashes) {
        out += c == ' ' ? ',' : c;
    }
    out += "]},";
}

// The drawing rules of the companion's plots (plot_style.h), for the script.
std::string drawing_style() {
    std::string out = "{";
    put_line_style(out, "observed", observed_line);
    put_line_style(out, "model", model_line);
    put_line_style(out, "fitted", fitted_line);
    put_line_style(out, "maskedRows", masked_rows_line);
    put_line_style(out, "zero", zero_line);
    put_line_style(out, "pinned", pinned_line);
    for (const auto& [name, colour] : {std::pair{"mask", mask_fill},
                                       {"band", sigma_fill},
                                       {"grid", grid_colour},
                                       {"frame", frame_colour}}) {
        out += '"';
        out += name;
        out += "\":\"";
        out += colour;
        out += "\",";
    }
    out += "\"text\":\"#222222\"}";
    return out;
}

// The rows (from 1) before which the curve through `drawn` (rows in
// ascending order) breaks, by the plots' rule (curve_breaks).
std::vector<int> breaks_of(const ExploreData& data, const std::vector<int>& drawn) {
    std::vector<int> breaks;
    for (std::size_t k = 1; k < drawn.size(); ++k) {
        const auto row = [&](int index) {
            return DrawnRow{
                index, static_cast<double>(data.wavelength[static_cast<std::size_t>(index - 1)])};
        };
        if (curve_breaks(row(drawn[k - 1]), row(drawn[k]), data.masks)) {
            breaks.push_back(drawn[k]);
        }
    }
    return breaks;
}

void put_integers(std::string& out, const std::vector<int>& values) {
    out += '[';
    for (std::size_t i = 0; i < values.size(); ++i) {
        out += (i > 0 ? "," : "") + std::to_string(values[i]);
    }
    out += ']';
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return c - 'A' + 10;
}

void put_array(std::string& out, const std::vector<float>& values) {
    out += '[';
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        out += page_single_text(values[i]);
    }
    out += ']';
}

void put_key(std::string& out, std::string_view key) {
    out += ",\n\"";
    out += key;
    out += "\":";
}

// The JSON block. Only numbers, arrays and fixed names: no text of the data
// goes into it, so nothing in it can end the block early.
std::string data_json(const ExploreData& data) {
    std::string out = "{\"version\":1";
    put_key(out, "wavelength");
    put_array(out, data.wavelength);
    put_key(out, "observed");
    put_array(out, data.observed);
    put_key(out, "sigma");
    if (data.sigma.empty()) {
        out += "null";
    } else {
        put_array(out, data.sigma);
    }
    put_key(out, "masked");
    put_integers(out, data.masked);
    std::vector<int> compared;
    std::size_t next = 0;
    for (int index = 1; index <= static_cast<int>(data.wavelength.size()); ++index) {
        if (next < data.masked.size() && data.masked[next] == index) {
            ++next;
        } else {
            compared.push_back(index);
        }
    }
    put_key(out, "comparedBreaks");
    put_integers(out, breaks_of(data, compared));
    put_key(out, "maskedBreaks");
    put_integers(out, breaks_of(data, data.masked));
    put_key(out, "masks");
    out += '[';
    for (std::size_t i = 0; i < data.masks.size(); ++i) {
        out += (i > 0 ? ",[" : "[") + shortest_text(data.masks[i].first) + "," +
               shortest_text(data.masks[i].second) + "]";
    }
    out += ']';
    put_key(out, "continuum");
    put_array(out, data.continuum);
    put_key(out, "components");
    out += '[';
    for (std::size_t set = 0; set < data.components.size(); ++set) {
        out += set > 0 ? ",\n" : "";
        put_array(out, data.components[set]);
    }
    out += ']';
    put_key(out, "integralRows");
    out += std::to_string(data.integral_rows);
    put_key(out, "tailWavelength");
    put_array(out, data.tail_wavelength);
    put_key(out, "tailObserved");
    put_array(out, data.tail_observed);
    put_key(out, "level1");
    out += std::to_string(data.level_1);
    put_key(out, "level2");
    out += std::to_string(data.level_2);
    put_key(out, "tailContinuum");
    put_array(out, data.tail_continuum);
    put_key(out, "tailComponents");
    out += '[';
    for (std::size_t set = 0; set < data.tail_components.size(); ++set) {
        out += set > 0 ? "," : "";
        put_array(out, data.tail_components[set]);
    }
    out += ']';
    put_key(out, "flux1");
    out += page_single_text(data.flux_1);
    put_key(out, "flux2");
    out += page_single_text(data.flux_2);
    put_key(out, "refA");
    out += page_single_text(data.ref_a);
    put_key(out, "refB");
    out += page_single_text(data.ref_b);
    put_key(out, "weights");
    put_array(out, data.weights);
    put_key(out, "fitted");
    if (data.fitted) {
        put_array(out, *data.fitted);
    } else {
        out += "null";
    }
    put_key(out, "fittedRefA");
    out += data.fitted_ref_a ? page_single_text(*data.fitted_ref_a) : "null";
    put_key(out, "scale");
    out += data.scale ? "true" : "false";
    put_key(out, "style");
    out += drawing_style();
    out += "}\n";
    return out;
}

void put_figure(std::string& out, std::string_view id, std::string_view label) {
    out += "<dt id=\"";
    out += id;
    out += "-label\">";
    out += label;
    out += "</dt><dd><output id=\"";
    out += id;
    out += "\" aria-labelledby=\"";
    out += id;
    out += "-label\"></output></dd>\n";
}

}  // namespace

std::string page_single_text(float value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    std::string text = shortest_text(value);
    double read = 0;
    std::from_chars(text.data(), text.data() + text.size(), read);
    if (static_cast<float>(read) == value) {
        return text;
    }
    return shortest_text(static_cast<double>(value));
}

std::string base64_of_hex(std::string_view hex) {
    constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int held = 0;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bits = (bits << 8) | static_cast<unsigned>(hex_digit(hex[i]) * 16 + hex_digit(hex[i + 1]));
        held += 8;
        while (held >= 6) {
            held -= 6;
            out += alphabet[(bits >> held) & 63U];
        }
    }
    if (held > 0) {
        out += alphabet[(bits << (6 - held)) & 63U];
    }
    while (out.size() % 4 != 0) {
        out += '=';
    }
    return out;
}

std::string explore_page(const ExploreData& data) {
    const std::string_view title = without_trailing_blanks(data.title);
    const std::string json = data_json(data);
    std::string out;
    out.reserve(json.size() + explore_assets::script.size() + 8192);
    out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    // No request of any kind: no connection, no image, font or frame; only
    // the page's own script and style run.
    out +=
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "script-src 'sha256-";
    out += base64_of_hex(explore_assets::script_sha256);
    out += "'; style-src 'sha256-";
    out += base64_of_hex(explore_assets::style_sha256);
    out += "'; base-uri 'none'; form-action 'none'\">\n";
    out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    append_escaped(out, title.empty() ? std::string_view("linesynth") : title);
    out += " \xE2\x80\x94 explore</title>\n<style>";
    out += explore_assets::style;
    out += "</style>\n</head>\n<body>\n<h1 id=\"title\">";
    append_escaped(out, title);
    out += "</h1>\n";
    out +=
        "<p class=\"note\">Move a weight and the model, the residuals and the figures follow, "
        "computed exactly as a run computes them.</p>\n";
    // The plot and its tools stay at the top of the window while the
    // controls below it scroll, so that a moved weight is seen to act.
    out += "<div id=\"view\">\n<div class=\"tools\">";
    out += "<button type=\"button\" id=\"undo\" title=\"Ctrl+Z\">undo</button>";
    out += "<button type=\"button\" id=\"redo\" title=\"Ctrl+Shift+Z\">redo</button>";
    out += "<button type=\"button\" id=\"pin\" aria-pressed=\"false\">pin these weights</button>";
    out += "<button type=\"button\" id=\"reset-zoom\">show every row</button>";
    out += "<label><input type=\"checkbox\" id=\"hold-axes\"> hold axes</label>";
    out += "</div>\n";
    out +=
        "<canvas id=\"plot\" role=\"img\" aria-label=\"Observed spectrum and model above, "
        "residuals below, over wavelength\"></canvas>\n";
    out += "<p class=\"readout\"><output id=\"readout\"></output></p>\n";
    out +=
        "<p class=\"note\">Drag across the plot to zoom to a wavelength range, turn the "
        "wheel to zoom, drag with Shift held to pan; a double click shows every row.</p>\n";
    out += "</div>\n";
    // Without a sigma file every row weighs 1, and the figure is the plain
    // sum of squared residuals: labelled so, as the stats command labels it.
    const std::string_view chi2_label =
        data.sigma.empty() ? "sum of squared residuals (sigma 1 for every row)" : "chi-squared";
    out += "<h2>Fit</h2>\n<p id=\"fault\" role=\"alert\" hidden></p>\n";
    out += "<dl class=\"figures\" id=\"figures\" aria-live=\"polite\">\n";
    put_figure(out, "chi2", chi2_label);
    put_figure(out, "reduced-chi2", "reduced chi-squared");
    put_figure(out, "rms", "RMS of the residuals");
    put_figure(out, "points", "compared rows");
    out += "</dl>\n";
    out += "<dl class=\"figures\" id=\"pinned\" hidden>\n";
    out += "<dt>pinned weights</dt><dd><output id=\"pinned-weights\"></output></dd>\n";
    put_figure(out, "pinned-chi2",
               data.sigma.empty() ? "their sum of squared residuals" : "their chi-squared");
    out += "</dl>\n";
    out +=
        "<p class=\"note\">Reduced chi-squared is the first figure divided by the "
        "compared rows less ";
    out += data.scale ? "the weights and ref_a" : "the weights";
    out += ", the values tuned here. Each figure shows 17 significant digits.</p>\n";
    out += "<h2>Weights</h2>\n<div id=\"controls\"></div>\n";
    out += "<button type=\"button\" id=\"file-weights\">weights of synthesis.txt</button>";
    if (data.fitted) {
        out += "<button type=\"button\" id=\"fitted-weights\">fitted weights</button>";
    }
    out += "\n<h2>Take the result home</h2>\n";
    out += "<button type=\"button\" id=\"save-weights\">Save synthesis.txt</button>\n";
    out += "<label for=\"weights-text\">synthesis.txt:</label>\n";
    out += "<textarea id=\"weights-text\" readonly spellcheck=\"false\"></textarea>\n";
    out += "<div id=\"scale-file\" hidden>\n";
    out += "<button type=\"button\" id=\"save-scale\">Save qdqd.txt</button>\n";
    out += "<label for=\"scale-text\">qdqd.txt:</label>\n";
    out += "<textarea id=\"scale-text\" readonly spellcheck=\"false\"></textarea>\n</div>\n";
    out += "<footer>linesynth-tools ";
    append_escaped(out, data.version);
    out += "</footer>\n";
    out += "<script type=\"application/json\" id=\"explore-data\">";
    out += json;
    out += "</script>\n<script>";
    out += explore_assets::script;
    out += "</script>\n</body>\n</html>\n";
    return out;
}

}  // namespace linesynth::tools
