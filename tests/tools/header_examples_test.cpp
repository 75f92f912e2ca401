// The input -> output examples of the companion's headers, one table per
// header, so that a comment and the code it describes cannot drift apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "tools/cli/commands.h"
#include "tools/compare/failure_text.h"
#include "tools/compare/goodness.h"
#include "tools/compare/mask.h"
#include "tools/compare/number_text.h"
#include "tools/compare/signal_noise.h"
#include "tools/fit/conditioning.h"
#include "tools/fit/new_data_directory.h"
#include "tools/fit/realizations.h"
#include "tools/fit/uncertainty.h"
#include "tools/fit/weight_errors.h"
#include "tools/fit/weights_file.h"
#include "tools/pages/explore_page.h"
#include "tools/pages/markup_text.h"
#include "tools/pages/markup_writer.h"
#include "tools/pages/plot_style.h"
#include "tools/pages/svg_plot.h"
#include "tools/pages/table_text.h"

namespace linesynth::tools {
namespace {

std::uint64_t bits(double value) {
    return std::bit_cast<std::uint64_t>(value);
}

std::uint32_t bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

// tools/compare/mask.h
TEST(HeaderExamples, MaskParsing) {
    const std::string two_numbers = "two wavelengths \"low high\" expected";
    const std::string not_finite = "a wavelength is not a finite 32-bit real number";
    const struct {
        std::string text;
        std::vector<MaskRange> ranges;
        std::optional<std::string> refusal;  // the reason, always at line 1 here
    } rows[] = {
        {"6562.0 6563.5", {{6562.0, 6563.5}}, std::nullopt},
        {"  6562 6562\r", {{6562.0, 6562.0}}, std::nullopt},
        {"\t6562\t6563\t", {{6562.0, 6563.0}}, std::nullopt},
        {"# telluric", {}, std::nullopt},
        {"", {}, std::nullopt},
        {"6563.5 6562.0", {}, "low end above high end"},
        {"6562.0", {}, two_numbers},
        {"6562.0 6563 x", {}, two_numbers},
        {" # late comment", {}, two_numbers},
        {"nan 1", {}, not_finite},
        {"1 inf", {}, not_finite},
        {"1 1e39", {}, not_finite},
        {"6541.05 6541.05", {{6541.05f, 6541.05f}}, std::nullopt},
        {"\xEF\xBB\xBF"
         "6562 6563",
         {{6562.0f, 6563.0f}},
         std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const ParsedMask parsed = parse_mask(row.text);
        if (row.refusal) {
            ASSERT_TRUE(parsed.error.has_value());
            EXPECT_EQ(parsed.error->line, 1);
            EXPECT_EQ(parsed.error->reason, *row.refusal);
            continue;
        }
        EXPECT_FALSE(parsed.error.has_value());
        ASSERT_EQ(parsed.ranges.size(), row.ranges.size());
        for (std::size_t i = 0; i < row.ranges.size(); ++i) {
            EXPECT_EQ(bits(parsed.ranges[i].low), bits(row.ranges[i].low));
            EXPECT_EQ(bits(parsed.ranges[i].high), bits(row.ranges[i].high));
        }
    }
    // The refused line is named by its number, comments and blank lines counted.
    const ParsedMask later = parse_mask("# a\n\n6562 6563\n6563 6562\n");
    ASSERT_TRUE(later.error.has_value());
    EXPECT_EQ(later.error->line, 4);
}

// tools/compare/mask.h
TEST(HeaderExamples, MaskIndexMergesSortedRanges) {
    const MaskIndex index = mask_index({{6562, 6563}, {6500, 6510}, {6505, 6520}});
    ASSERT_EQ(index.merged.size(), 2u);
    EXPECT_EQ(index.merged[0].low, 6500.0f);
    EXPECT_EQ(index.merged[0].high, 6520.0f);
    EXPECT_EQ(index.merged[1].low, 6562.0f);
    EXPECT_EQ(index.merged[1].high, 6563.0f);
    EXPECT_TRUE(masked(index, 6510.5f));
    EXPECT_TRUE(masked(index, 6563.0f));
    EXPECT_FALSE(masked(index, 6540.0f));
    EXPECT_FALSE(masked(index, 6499.0f));
    EXPECT_EQ(count_in_range({6499, 6500, 6510, 6520, 6521}, {6500, 6520}), 3);
}

// tools/pages/markup_text.h
TEST(HeaderExamples, MarkupEscaping) {
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
        {"\t\n\r", "\t\n\r"},
        {"\xEF\xBF\xBE", "\xEF\xBF\xBD"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        std::string out = "kept ";
        append_escaped(out, row.text);
        EXPECT_EQ(out, "kept " + row.escaped);
    }
    EXPECT_EQ(without_trailing_blanks("H-alpha   "), "H-alpha");
    EXPECT_EQ(without_trailing_blanks("   "), "");
}

// tools/pages/markup_writer.h
TEST(HeaderExamples, MarkupWriter) {
    using Write = void (*)(Markup&);
    const struct {
        std::string call;
        Write write;
        std::string markup;
    } rows[] = {
        {"open p id",
         [](Markup& m) {
             m.open("p", {{"id", "sigma"}});
         },
         "<p id=\"sigma\">"},
        {"open p boolean",
         [](Markup& m) {
             m.open("p", {{"id", "fault"}, {"hidden", std::nullopt}});
         },
         "<p id=\"fault\" hidden>"},
        {"text", [](Markup& m) { m.text("a<b & \"c\""); }, "a&lt;b &amp; &quot;c&quot;"},
        {"raw", [](Markup& m) { m.raw("&#177; 0.0018"); }, "&#177; 0.0018"},
        {"close", [](Markup& m) { m.close("p"); }, "</p>"},
        {"element",
         [](Markup& m) {
             m.element("td", "a&b", {{"class", "n"}});
         },
         "<td class=\"n\">a&amp;b</td>"},
        {"empty",
         [](Markup& m) {
             m.empty("line", {{"x1", "0.0"}});
         },
         "<line x1=\"0.0\"/>"},
        {"void element",
         [](Markup& m) {
             m.void_element("meta", {{"charset", "utf-8"}});
         },
         "<meta charset=\"utf-8\">"},
        {"line", [](Markup& m) { m.line(); }, "\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.call);
        Markup markup{"kept "};
        row.write(markup);
        EXPECT_EQ(markup.written, "kept " + row.markup);
    }
}

// tools/pages/markup_text.h
TEST(HeaderExamples, SixDigits) {
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

// tools/pages/markup_text.h
TEST(HeaderExamples, ValueWithError) {
    const struct {
        double value;
        double error;
        const char* value_text;
        const char* error_text;
    } rows[] = {
        {0.123456, 0.00176973, "0.1235", "0.0018"},
        {1.5, 0.0996, "1.50", "0.10"},
        {56789, 1234, "56800", "1200"},
        {-0.00004, 0.3, "0.00", "0.30"},
        {2.5, 0, "2.5", "0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value_text);
        const ValueWithError text = with_error(row.value, row.error);
        EXPECT_EQ(text.value, row.value_text);
        EXPECT_EQ(text.error, row.error_text);
    }
}

// tools/pages/plot_style.h
TEST(HeaderExamples, CurveBreaks) {
    const std::vector<std::pair<double, double>> none;
    const std::vector<std::pair<double, double>> empty_range = {{6570.05, 6570.1}};
    const std::vector<std::pair<double, double>> wide = {{6569, 6571}};
    EXPECT_FALSE(curve_breaks({10, 6570.0}, {11, 6570.2}, none));
    EXPECT_TRUE(curve_breaks({10, 6570.0}, {14, 6570.6}, none));
    EXPECT_TRUE(curve_breaks({10, 6570.0}, {11, 6570.2}, empty_range));
    EXPECT_TRUE(curve_breaks({11, 6570.2}, {12, 6570.0}, empty_range));  // wavelengths falling
    EXPECT_FALSE(curve_breaks({10, 6570.0}, {11, 6570.2}, wide));
}

// tools/pages/plot_style.h
TEST(HeaderExamples, ComponentLines) {
    EXPECT_EQ(component_line(1).colour, okabe_ito::bluish_green);
    EXPECT_EQ(component_line(1).dashes, "");
    EXPECT_EQ(component_line(6).colour, okabe_ito::bluish_green);
    EXPECT_EQ(component_line(6).dashes, "4 2");
    for (std::int32_t set = 1; set <= 10; ++set) {
        EXPECT_NE(component_line(set).colour, model_line.colour);
        EXPECT_NE(component_line(set).colour, fitted_line.colour);
    }
}

// The words of a text, split at blanks.
std::vector<std::string> words_of(const std::string& line) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while ((at = line.find_first_not_of(" \t\r", at)) != std::string::npos) {
        const std::size_t end = std::min(line.find_first_of(" \t\r", at), line.size());
        words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

template <typename Number>
Number number_of(const std::string& word) {
    Number value{};
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    EXPECT_TRUE(error == std::errc() && end == word.data() + word.size()) << word;
    return value;
}

// tools/pages/svg_plot.h: the header's examples and more, in the table that
// the explore page's script replays too.
TEST(HeaderExamples, AxisRounding) {
    std::ifstream table(LINESYNTH_AXIS_CASES, std::ios::binary);
    ASSERT_TRUE(table) << LINESYNTH_AXIS_CASES;
    std::int32_t cases = 0;
    for (std::string line; std::getline(table, line);) {
        const std::vector<std::string> words = words_of(line);
        if (words.empty() || words[0].starts_with('#')) {
            continue;
        }
        SCOPED_TRACE(line);
        ASSERT_EQ(words.size(), 9U);
        const Axis axis = round_axis(number_of<double>(words[0]), number_of<double>(words[1]),
                                     number_of<std::int32_t>(words[2]));
        EXPECT_EQ(axis.first, number_of<double>(words[3]));
        EXPECT_EQ(axis.intervals, number_of<std::int32_t>(words[4]));
        EXPECT_EQ(axis.digit, number_of<std::int32_t>(words[5]));
        EXPECT_EQ(axis.exponent, number_of<std::int32_t>(words[6]));
        EXPECT_EQ(tick_label(axis, 0), words[7]);
        EXPECT_EQ(tick_label(axis, axis.intervals), words[8]);
        ++cases;
    }
    EXPECT_GE(cases, 4);
    const Axis axis = round_axis(-0.013, 0.021, 4);
    EXPECT_EQ(bits(tick_value(axis, 0)), bits(-0.02));
    EXPECT_EQ(bits(tick_value(axis, 1)), bits(0.0));
    EXPECT_EQ(bits(tick_value(axis, 2)), bits(0.02));
    EXPECT_EQ(bits(tick_value(axis, 3)), bits(0.04));
    EXPECT_EQ(tick_label(axis, 0),
              "\xE2\x88\x92"
              "0.02");                       // U+2212
    EXPECT_EQ(tick_label(axis, 1), "0.00");  // 0.0, not -0.0
    EXPECT_EQ(tick_label(axis, 2), "0.02");
}

// tools/fit/conditioning.h
TEST(HeaderExamples, Conditioning) {
    const Eigen::Vector3d c1(1, 2, 3);
    const Eigen::Vector3d c2(0, 1, -1);
    const struct {
        const char* name;
        std::vector<Eigen::Vector3d> columns;
        Eigen::Index rank;
        std::vector<Eigen::Index> dependent;
        std::vector<Eigen::Index> nearly_dependent;
    } rows[] = {
        {"c1, c2, c1", {c1, c2, c1}, 2, {0, 2}, {}},
        {"c1, 0, c2", {c1, Eigen::Vector3d::Zero(), c2}, 2, {1}, {}},
        {"c1, c2, mean to seven digits",
         {c1, c2, (c1 + c2) / 2 + Eigen::Vector3d(1e-7, 0, 0)},
         2,
         {0, 1, 2},
         {}},
        {"c1, c1 + 1e-4 c2", {c1, c1 + 1e-4 * c2}, 2, {}, {0, 1}},
        {"c1, c2", {c1, c2}, 2, {}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Eigen::MatrixXd a(3, static_cast<Eigen::Index>(row.columns.size()));
        for (std::size_t j = 0; j < row.columns.size(); ++j) {
            a.col(static_cast<Eigen::Index>(j)) = row.columns[j];
        }
        const Conditioning condition = conditioning(a);
        EXPECT_EQ(condition.rank, row.rank);
        EXPECT_EQ(condition.dependent, row.dependent);
        EXPECT_EQ(condition.nearly_dependent, row.nearly_dependent);
    }
}

// tools/fit/uncertainty.h
TEST(HeaderExamples, FormalErrors) {
    Eigen::MatrixXd diagonal(2, 2);
    diagonal << 2, 0, 0, 4;
    const auto errors = formal_errors(diagonal, {false, false}, 1);
    EXPECT_EQ(errors, (std::vector<std::optional<double>>{0.5, 0.25}));
    EXPECT_EQ(formal_errors(diagonal, {false, true}, 1),
              (std::vector<std::optional<double>>{0.5, std::nullopt}));
    EXPECT_EQ(formal_errors(Eigen::MatrixXd::Ones(2, 2), {false, false}, 1),
              (std::vector<std::optional<double>>{std::nullopt, std::nullopt}));
    const std::optional<Eigen::MatrixXd> free_sign = covariance(diagonal, {false, false}, 1);
    ASSERT_TRUE(free_sign);
    EXPECT_EQ(*free_sign, (Eigen::MatrixXd(2, 2) << 0.25, 0, 0, 0.0625).finished());
    // An iterative decomposition: to 1e-15.
    const Eigen::MatrixXd pseudo = pseudo_covariance(Eigen::MatrixXd::Ones(2, 2), 1);
    EXPECT_TRUE(pseudo.isApprox(Eigen::MatrixXd::Constant(2, 2, 0.125), 1e-15)) << pseudo;
}

// tools/fit/weight_errors.h
TEST(HeaderExamples, UpperLimitsAndCombinations) {
    EXPECT_NEAR(upper_limit(0, 1), 1.9599639845400545, 1e-15);
    EXPECT_NEAR(upper_limit(-1, 1), 1.41199, 1e-5);
    const Eigen::Vector3d v(1, 2, 3);
    const struct {
        const char* name;
        double factor;  // the second column is factor * v
        std::vector<double> coefficients;
    } rows[] = {
        {"v, v", 1, {1, 1}},
        {"v, 2v", 2, {0.5, 1}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ErrorInputs inputs;
        inputs.jacobian.resize(3, 2);
        inputs.jacobian << v, row.factor * v;
        inputs.parameters = Eigen::Vector2d(0.25, 0.5);
        inputs.held = {false, false};
        inputs.dependent = {0, 1};
        inputs.set_count = 2;
        const ParameterErrors errors = parameter_errors(inputs);
        ASSERT_EQ(errors.combinations.size(), 1U);
        const Combination& combination = errors.combinations[0];
        EXPECT_EQ(combination.sets, (std::vector<std::int32_t>{1, 2}));
        ASSERT_EQ(combination.coefficients.size(), 2U);
        for (std::size_t k = 0; k < 2; ++k) {
            EXPECT_NEAR(combination.coefficients[k], row.coefficients[k], 1e-15);
        }
        EXPECT_EQ(errors.methods,
                  (std::vector<ErrorMethod>{ErrorMethod::undetermined, ErrorMethod::undetermined}));
    }
}

// tools/fit/realizations.h
TEST(HeaderExamples, QuantilesAndTheLogarithm) {
    EXPECT_EQ(quantile({4, 1, 3, 2}, 0.5), 2.5);
    EXPECT_NEAR(quantile({1, 2, 3, 4}, 0.16), 1.48, 1e-15);
    EXPECT_EQ(quantile({5}, 0.84), 5);
    EXPECT_EQ(natural_log(1), 0);
    EXPECT_EQ(bits(natural_log(0.5)), bits(-0.6931471805599453));
    for (const double x : {1e-300, 0.1, 0.7071, 0.999999, 1.5, 3.0}) {
        SCOPED_TRACE(x);
        EXPECT_NEAR(natural_log(x), std::log(x), 4e-16 * std::max(1.0, std::fabs(std::log(x))));
    }
}

// tools/compare/goodness.h and tools/compare/signal_noise.h
TEST(HeaderExamples, GoodnessAndSignalToNoise) {
    const Goodness unit = goodness_of_fit(14, 8, 3, false);
    EXPECT_EQ(unit.dof, 5);
    EXPECT_EQ(unit.chi2_reduced, 2.8);
    EXPECT_FALSE(unit.p_value);
    const Goodness file = goodness_of_fit(2, 3, 1, true);
    EXPECT_EQ(file.chi2_reduced, 1.0);
    EXPECT_NEAR(*file.p_value, std::exp(-1.0), 1e-15);
    EXPECT_FALSE(goodness_of_fit(1, 2, 2, true).chi2_reduced);
    EXPECT_EQ(normal_cdf(0), 0.5);
    EXPECT_NEAR(normal_upper_quantile(0.025), 1.9599639845400545, 1e-15);
    EXPECT_FALSE(der_snr({1, 2, 3, 4, 5}));
    EXPECT_FALSE(der_snr({1, 2, 3, 4}));
    EXPECT_EQ(der_snr({1, 1, 2, 1, 1}), 1 / (1.482602 / std::sqrt(6.0) * 2));
}

// tools/fit/weights_file.h
TEST(HeaderExamples, ScaleFileText) {
    EXPECT_EQ(weights_file_text({0.5f, 0.3f}), "2\r\n0.5\r\n0.3\r\n");
    EXPECT_EQ(scale_file_text(1.03125f, 0.0f), "1.03125\r\n0\r\n");
}

// tools/fit/new_data_directory.h
TEST(HeaderExamples, NewDataDirectory) {
    EXPECT_EQ(real_refusal("continuum", 3, 1e39),
              "continuum, row 3: 1e+39 is beyond the 32-bit reals the run reads");
    EXPECT_EQ(real_refusal("ref_a", 0, 0.97), std::nullopt);
    NewDirectory values;
    values.title = "t";
    values.wavelengths = {6562.8};
    values.observed = {0.5};
    values.continuum = {1};
    values.components = {{0.9}};
    values.weights = {0.5};
    std::vector<NewDataFile> files;
    ASSERT_EQ(new_directory_files(values, files), std::nullopt);
    ASSERT_EQ(files.size(), 6U);
    EXPECT_EQ(files[2].name, "FDftn.txt");
    EXPECT_EQ(files[2].text, "1 0 0\r\n6562.8 0.5\r\n");
    EXPECT_EQ(files[4].name, "VeltoOut1.txt");
    EXPECT_EQ(files[4].text, "1\r\n0.9\r\n");
}

// tools/compare/number_text.h
TEST(HeaderExamples, NumberText) {
    EXPECT_EQ(shortest_text(0.3f), "0.3");
    EXPECT_EQ(shortest_text(0.30000001192092896), "0.30000001192092896");
    EXPECT_EQ(shortest_text(1e-5f), "1e-05");
    EXPECT_EQ(shortest_text(1e8f), "1e+08");
    EXPECT_EQ(shortest_text(123456.0f), "123456");
    EXPECT_EQ(shortest_text(-0.0f), "-0");
    EXPECT_EQ(set_list({1, 3, 10}), "1, 3, 10");
    EXPECT_EQ(set_list({}), "none");
    EXPECT_EQ(upper_limit_text(0.0312), "< 0.031");
    EXPECT_EQ(upper_limit_text(4.56e-05), "< 4.6e-05");
}

// tools/compare/failure_text.h
TEST(HeaderExamples, FailureText) {
    const struct {
        RunFailure failure;
        std::string text;
    } rows[] = {
        {FileFailure{Failure::end_of_file, "READ", "/d/continum.txt", 3},
         "/d/continum.txt, record 3: end of file reached during read [F6501]"},
        {FileFailure{Failure::open_not_found, "OPEN", "/d/vlt.txt", 0},
         "/d/vlt.txt: the file or its directory is not found [F6416]"},
        {MathFailure{MathFault::divide_by_zero}, "floating-point error: divide by zero [M6103]"},
        {CalibrationFailure{Conversion::flux_to_level},
         "unusable calibration: the flux to level conversion refuses it"},
        {CountFailure{CountLimit::points, 10001, "/d/FDftn.txt"},
         "/d/FDftn.txt: 10001 rows, more than the tables hold (10000)"},
        {CountFailure{CountLimit::component_sets, 11, "/d/synthesis.txt"},
         "/d/synthesis.txt: 11 component sets, more than there are (10)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(failure_text(row.failure), row.text);
    }
}

// tools/compare/refusal.h and tools/cli/commands.h
TEST(HeaderExamples, RefusalLineAndErrorObject) {
    const struct {
        Refusal refusal;
        std::string kind;
        std::string json;  // on `out` with --json
    } rows[] = {
        {{RefusalKind::no_rows, "", 0, "no rows"},
         "no_rows",
         R"({"error":{"file":null,"message":"no rows","record":null}})"},
        {{RefusalKind::mask_file, "/m", 4, "/m, line 4: bad"},
         "mask_file",
         R"({"error":{"file":"/m","message":"/m, line 4: bad","record":4}})"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.refusal.text);
        EXPECT_EQ(refusal_name(row.refusal.kind), row.kind);
        const CommandOutput text = refused(row.refusal);
        EXPECT_EQ(text.status, 1);
        EXPECT_EQ(text.out, "");
        EXPECT_EQ(text.err, "linesynth-tools: " + row.refusal.text + "\n");
        const CommandOutput json = refused(row.refusal, true);
        EXPECT_EQ(json.err, text.err);
        EXPECT_EQ(json.out, row.json + "\n");
    }
}

TEST(HeaderExamples, ExploreSingleText) {
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

TEST(HeaderExamples, ExploreBase64OfHex) {
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

// tools/pages/table_text.h and markup_text.h's one_line_text
struct TextRow {
    std::string input;
    std::string expected;
};

TEST(HeaderExamples, TableTextYamlScalarReadsBackAsTheSameString) {
    const std::vector<TextRow> rows = {
        {"float64", "float64"},
        {"synthesis.txt", "synthesis.txt"},
        {"%", "\"%\""},
        {"true", "\"true\""},
        {"No", "\"No\""},
        {"1.5", "\"1.5\""},
        {"", "\"\""},
        {"a: b", "\"a: b\""},
        {"say \"x\"\\", "\"say \\\"x\\\"\\\\\""},
        {"caf\xE9", "\"caf\xEF\xBF\xBD\""},
    };
    for (const TextRow& row : rows) {
        SCOPED_TRACE(row.input);
        EXPECT_EQ(yaml_scalar(row.input), row.expected);
    }
}

TEST(HeaderExamples, TableTextYamlNumberReadsBackAsTheSameNumber) {
    const std::vector<TextRow> rows = {
        {"6537.8", "6537.8"}, {"1e+08", "1.0e+08"}, {"-1e-05", "-1.0e-05"}, {"2.5e+20", "2.5e+20"},
        {"-inf", "-.inf"},    {"inf", ".inf"},      {"-nan", ".nan"},       {"12000", "12000"},
    };
    for (const TextRow& row : rows) {
        SCOPED_TRACE(row.input);
        EXPECT_EQ(yaml_number(row.input), row.expected);
    }
}

TEST(HeaderExamples, TableTextOneLineTextReplacesWhatNoTableCellHolds) {
    const std::vector<TextRow> rows = {
        {"H-alpha \xC3\x85", "H-alpha \xC3\x85"},
        {"caf\xE9", "caf\xEF\xBF\xBD"},
        {"a\tb",
         "a\xEF\xBF\xBD"
         "b"},
        {"a\r\n", "a\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xC2\x85", "\xEF\xBF\xBD"},
        {"\xC2\xA0", "\xC2\xA0"},
        {"\x7F", "\xEF\xBF\xBD"},
        {"a\xE2\x80\xA8"
         "b",
         "a\xEF\xBF\xBD"
         "b"},
        {"\xEF\xBF\xBF", "\xEF\xBF\xBD"},
    };
    for (const TextRow& row : rows) {
        SCOPED_TRACE(row.input);
        EXPECT_EQ(one_line_text(row.input), row.expected);
    }
}

TEST(HeaderExamples, TableTextCellsAreQuotedWhereTheFormatNeedsIt) {
    Table table;
    table.columns = {{"name", ColumnType::string, "", ""}, {"x", ColumnType::float64, "", ""}};
    table.rows = {{"a b", "1"}, {"c\"d", ""}, {"#e,f", "2"}};
    EXPECT_EQ(csv_text(table), "name,x\na b,1\n\"c\"\"d\",\n\"#e,f\",2\n");
    const std::string ecsv = ecsv_text(table);
    EXPECT_EQ(ecsv.substr(ecsv.find("# schema")),
              "# schema: astropy-2.0\nname x\n\"a b\" 1\n\"c\"\"d\" \"\"\n\"#e,f\" 2\n");
}

TEST(HeaderExamples, TableTextAnEcsvRowReadsBackAsItsCells) {
    struct CellsRow {
        const char* line;
        std::optional<std::vector<std::string>> cells;
    };
    const CellsRow rows[] = {
        {R"(a "b c" "" "say ""x""")", std::vector<std::string>{"a", "b c", "", "say \"x\""}},
        {R"("#e,f" 2)", std::vector<std::string>{"#e,f", "2"}},
        {R"(a "b)", std::nullopt},
        {R"(a b"c)", std::nullopt},
        {R"("a"b)", std::nullopt},
    };
    for (const CellsRow& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(ecsv_row_cells(row.line), row.cells);
    }
}

TEST(HeaderExamples, TableTextTheOutputNameGivesTheFormat) {
    EXPECT_EQ(table_format("survey.ecsv"), TableFormat::ecsv);
    EXPECT_EQ(table_format("survey.csv"), TableFormat::csv);
    EXPECT_EQ(table_format(""), TableFormat::csv);
    EXPECT_EQ(table_format("survey.txt"), std::nullopt);
    EXPECT_EQ(table_format("ecsv"), std::nullopt);
}

}  // namespace
}  // namespace linesynth::tools
