// The examples of the pages' headers (markup_text.h, plot_style.h,
// svg_plot.h), replayed row by row.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "tools/pages/explore_page.h"
#include "tools/pages/markup_text.h"
#include "tools/pages/plot_style.h"
#include "tools/pages/svg_plot.h"

namespace linesynth::tools {
namespace {

TEST(MarkupText, Escaped) {
    const struct {
        std::string text;
        std::string escaped;
    } rows[] = {
        {"<b>&\"'", "&lt;b&gt;&amp;&quot;&#39;"},
        {"]]>", "]]&gt;"},
        {"6563 \xC3\x85", "6563 \xC3\x85"},
        {"caf\xE9", "caf\xEF\xBF\xBD"},
        {"a\x01"
         "b",
         "a\xEF\xBF\xBD"
         "b"},
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate, byte by byte
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        std::string out;
        append_escaped(out, row.text);
        EXPECT_EQ(out, row.escaped);
    }
}

TEST(MarkupText, SixDigits) {
    const struct {
        double value;
        const char* text;
    } rows[] = {
        {0.02932168489030386, "0.0293217"},
        {14, "14"},
        {-0.5, "-0.5"},
        {1234567, "1.23457e+06"},
        {0.000025, "2.5e-05"},
        {-0.0, "0"},
        {999999.5, "1e+06"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(six_digits(row.value), row.text);
    }
}

TEST(PlotStyle, CurveBreaks) {
    const std::vector<std::pair<double, double>> none;
    const std::vector<std::pair<double, double>> empty_range = {{6570.05, 6570.1}};
    const std::vector<std::pair<double, double>> wide = {{6569, 6571}};
    EXPECT_FALSE(curve_breaks({10, 6570.0}, {11, 6570.2}, none));
    EXPECT_TRUE(curve_breaks({10, 6570.0}, {14, 6570.6}, none));
    EXPECT_TRUE(curve_breaks({10, 6570.0}, {11, 6570.2}, empty_range));
    EXPECT_TRUE(curve_breaks({11, 6570.2}, {12, 6570.0}, empty_range));  // wavelengths falling
    EXPECT_FALSE(curve_breaks({10, 6570.0}, {11, 6570.2}, wide));
}

TEST(PlotStyle, ComponentLines) {
    EXPECT_EQ(component_line(1).colour, okabe_ito::bluish_green);
    EXPECT_EQ(component_line(1).dashes, "");
    EXPECT_EQ(component_line(6).colour, okabe_ito::bluish_green);
    EXPECT_EQ(component_line(6).dashes, "4 2");
    for (std::int32_t set = 1; set <= 10; ++set) {
        EXPECT_NE(component_line(set).colour, model_line.colour);
        EXPECT_NE(component_line(set).colour, fitted_line.colour);
    }
}

TEST(SvgPlot, RoundAxis) {
    const struct {
        double low, high;
        std::int32_t max_intervals;
        double first;
        std::int32_t intervals, digit, exponent;
    } rows[] = {
        {6537.8, 6587.8, 8, 653, 6, 1, 1},
        {-0.013, 0.021, 4, -1, 3, 2, -2},
        {0, 1, 5, 0, 5, 2, -1},
        {3, 3, 5, 28, 4, 1, -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.low);
        const Axis axis = round_axis(row.low, row.high, row.max_intervals);
        EXPECT_EQ(axis.first, row.first);
        EXPECT_EQ(axis.intervals, row.intervals);
        EXPECT_EQ(axis.digit, row.digit);
        EXPECT_EQ(axis.exponent, row.exponent);
    }
}

TEST(SvgPlot, TickLabels) {
    const Axis axis = round_axis(-0.013, 0.021, 4);  // -0.02 to 0.04 by 0.02
    EXPECT_EQ(tick_label(axis, 0),
              "\xE2\x88\x92"
              "0.02");
    EXPECT_EQ(tick_label(axis, 1), "0.00");  // 0.0, not -0.0
    EXPECT_EQ(tick_label(axis, 2), "0.02");
}

TEST(ExplorePage, SingleText) {
    const struct {
        float value;
        const char* text;
    } rows[] = {
        {0.3f, "0.3"},
        {6562.8f, "6562.8"},
        {1e-5f, "1e-05"},
        {-0.0f, "-0"},
        // Its shortest text "7.038531e-26" reads as the double halfway between
        // it and its neighbour, which narrows to the neighbour: the page gets
        // the widened value's text instead.
        {0x1.5c87fap-84f, "7.038530691851209e-26"},
        {std::numeric_limits<float>::infinity(), "null"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(page_single_text(row.value), row.text);
    }
}

TEST(ExplorePage, Base64OfHex) {
    const struct {
        const char* hex;
        const char* base64;
    } rows[] = {
        {"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
         "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU="},
        {"ff", "/w=="},
        {"ffff", "//8="},
        {"FFFFFF", "////"},
        {"", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.hex);
        EXPECT_EQ(base64_of_hex(row.hex), row.base64);
    }
}

}  // namespace
}  // namespace linesynth::tools
