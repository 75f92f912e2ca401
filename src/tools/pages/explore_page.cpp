#include "tools/pages/explore_page.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>
#include <utility>

#include "tools/compare/number_text.h"
#include "tools/pages/explore_assets.h"
#include "tools/pages/markup_text.h"
#include "tools/pages/markup_writer.h"
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

void put_arrays(std::string& out, const std::vector<std::vector<float>>& arrays,
                std::string_view separator) {
    out += '[';
    for (std::size_t set = 0; set < arrays.size(); ++set) {
        out += set > 0 ? separator : "";
        put_array(out, arrays[set]);
    }
    out += ']';
}

// The rows (from 1) that were compared: those not masked.
std::vector<int> compared_rows(const ExploreData& data) {
    std::vector<int> compared;
    std::size_t next = 0;
    for (int index = 1; index <= static_cast<int>(data.wavelength.size()); ++index) {
        if (next < data.masked.size() && data.masked[next] == index) {
            ++next;
        } else {
            compared.push_back(index);
        }
    }
    return compared;
}

// The observed rows, which of them are masked, and where the curves break.
void put_observed_rows(std::string& out, const ExploreData& data) {
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
    put_key(out, "comparedBreaks");
    put_integers(out, breaks_of(data, compared_rows(data)));
    put_key(out, "maskedBreaks");
    put_integers(out, breaks_of(data, data.masked));
    put_key(out, "masks");
    out += '[';
    for (std::size_t i = 0; i < data.masks.size(); ++i) {
        out += (i > 0 ? ",[" : "[") + shortest_text(data.masks[i].first) + "," +
               shortest_text(data.masks[i].second) + "]";
    }
    out += ']';
}

// What the synthesis adds up, over the compared rows and beyond them.
void put_synthesis_columns(std::string& out, const ExploreData& data) {
    put_key(out, "continuum");
    put_array(out, data.continuum);
    put_key(out, "components");
    put_arrays(out, data.components, ",\n");
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
    put_arrays(out, data.tail_components, ",");
}

// The calibration's fluxes, the scale file, the weights and how to draw.
void put_scales_and_weights(std::string& out, const ExploreData& data) {
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
}

// The JSON block. Only numbers, arrays and fixed names: no text of the data
// goes into it, so nothing in it can end the block early.
std::string data_json(const ExploreData& data) {
    std::string out = "{\"version\":1";
    put_observed_rows(out, data);
    put_synthesis_columns(out, data);
    put_scales_and_weights(out, data);
    out += "}\n";
    return out;
}

void put_figure(Markup& out, std::string_view id, std::string_view label) {
    const std::string label_id = std::string(id) + "-label";
    out.element("dt", label, {{"id", label_id}}).open("dd");
    out.open("output", {{"id", id}, {"aria-labelledby", label_id}}).close("output");
    out.close("dd").line();
}

void put_button(Markup& out, std::string_view id, std::string_view label, Attributes more = {}) {
    out.start("button").attribute({"type", "button"}).attribute({"id", id});
    for (const Attribute& attribute : more) {
        out.attribute(attribute);
    }
    out.end_start().text(label).close("button");
}

// The head: the policy naming the script and style by their digests, the
// title and the embedded style sheet.
void put_head(Markup& out, std::string_view title) {
    out.raw("<!DOCTYPE html>").line().open("html", {{"lang", "en"}}).line();
    out.open("head").line().void_element("meta", {{"charset", "utf-8"}}).line();
    // No request of any kind: no connection, no image, font or frame; only
    // the page's own script and style run.
    const std::string policy =
        "default-src 'none'; script-src 'sha256-" + base64_of_hex(explore_assets::script_sha256) +
        "'; style-src 'sha256-" + base64_of_hex(explore_assets::style_sha256) +
        "'; base-uri 'none'; form-action 'none'";
    out.void_element("meta", {{"http-equiv", "Content-Security-Policy"}, {"content", policy}})
        .line();
    out.void_element("meta",
                     {{"name", "viewport"}, {"content", "width=device-width, initial-scale=1"}})
        .line();
    out.open("title")
        .text(title.empty() ? std::string_view("linesynth") : title)
        .raw(" \xE2\x80\x94 explore")
        .close("title")
        .line();
    out.open("style").raw(explore_assets::style).close("style").line();
    out.close("head").line();
}

// The plot and its tools stay at the top of the window while the controls
// below it scroll, so that a moved weight is seen to act.
void put_view(Markup& out) {
    out.open("div", {{"id", "view"}}).line().open("div", {{"class", "tools"}});
    put_button(out, "undo", "undo", {{"title", "Ctrl+Z"}});
    put_button(out, "redo", "redo", {{"title", "Ctrl+Shift+Z"}});
    put_button(out, "pin", "pin these weights", {{"aria-pressed", "false"}});
    put_button(out, "reset-zoom", "show every row");
    out.open("label").void_element("input", {{"type", "checkbox"}, {"id", "hold-axes"}});
    out.raw(" hold axes").close("label").close("div").line();
    out.open("canvas", {{"id", "plot"},
                        {"role", "img"},
                        {"aria-label",
                         "Observed spectrum and model above, residuals below, over wavelength"}})
        .close("canvas")
        .line();
    out.open("p", {{"class", "readout"}}).open("output", {{"id", "readout"}}).close("output");
    out.close("p").line();
    out.element("p",
                "Drag across the plot to zoom to a wavelength range, turn the wheel to zoom, drag "
                "with Shift held to pan; a double click shows every row.",
                {{"class", "note"}})
        .line();
    out.close("div").line();
}

// The figures of the fit as the weights stand, and those of the pinned ones.
void put_figures(Markup& out, const ExploreData& data) {
    // Without a sigma file every row weighs 1, and the figure is the plain
    // sum of squared residuals: labelled so, as the stats command labels it.
    const std::string_view chi2_label =
        data.sigma.empty() ? "sum of squared residuals (sigma 1 for every row)" : "chi-squared";
    out.element("h2", "Fit").line();
    out.open("p", {{"id", "fault"}, {"role", "alert"}, {"hidden", std::nullopt}}).close("p").line();
    out.open("dl", {{"class", "figures"}, {"id", "figures"}, {"aria-live", "polite"}}).line();
    put_figure(out, "chi2", chi2_label);
    put_figure(out, "reduced-chi2", "reduced chi-squared");
    put_figure(out, "rms", "RMS of the residuals");
    put_figure(out, "points", "compared rows");
    out.close("dl").line();
    out.open("dl", {{"class", "figures"}, {"id", "pinned"}, {"hidden", std::nullopt}}).line();
    out.element("dt", "pinned weights").open("dd");
    out.open("output", {{"id", "pinned-weights"}}).close("output").close("dd").line();
    put_figure(out, "pinned-chi2",
               data.sigma.empty() ? "their sum of squared residuals" : "their chi-squared");
    out.close("dl").line();
    out.open("p", {{"class", "note"}})
        .raw("Reduced chi-squared is the first figure divided by the compared rows less ")
        .raw(data.scale ? "the weights and ref_a" : "the weights")
        .raw(", the values tuned here. Each figure shows 17 significant digits.")
        .close("p")
        .line();
}

// A read-only text area holding a file's text, with the button that saves it.
void put_file_text(Markup& out, std::string_view button, std::string_view file,
                   std::string_view id) {
    put_button(out, button, "Save " + std::string(file));
    out.line().element("label", std::string(file) + ":", {{"for", id}}).line();
    out.open("textarea", {{"id", id}, {"readonly", std::nullopt}, {"spellcheck", "false"}});
    out.close("textarea").line();
}

// The weights' controls, and the weights files to take home.
void put_weights(Markup& out, const ExploreData& data) {
    out.element("h2", "Weights").line().open("div", {{"id", "controls"}}).close("div").line();
    put_button(out, "file-weights", "weights of synthesis.txt");
    if (data.fitted) {
        put_button(out, "fitted-weights", "fitted weights");
    }
    out.line().element("h2", "Take the result home").line();
    put_file_text(out, "save-weights", "synthesis.txt", "weights-text");
    out.open("div", {{"id", "scale-file"}, {"hidden", std::nullopt}}).line();
    put_file_text(out, "save-scale", "qdqd.txt", "scale-text");
    out.close("div").line();
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
    Markup out;
    out.written.reserve(json.size() + explore_assets::script.size() + 8192);
    put_head(out, title);
    out.open("body").line().element("h1", title, {{"id", "title"}}).line();
    out.element("p",
                "Move a weight and the model, the residuals and the figures follow, computed "
                "exactly as a run computes them.",
                {{"class", "note"}})
        .line();
    put_view(out);
    put_figures(out, data);
    put_weights(out, data);
    out.element("footer", "linesynth-tools " + data.version).line();
    out.open("script", {{"type", "application/json"}, {"id", "explore-data"}}).raw(json);
    out.close("script").line().open("script").raw(explore_assets::script).close("script").line();
    out.close("body").line().close("html").line();
    return std::move(out.written);
}

}  // namespace linesynth::tools
