// The companion's rules on small data directories whose answers are exact:
// continuum 1, scale factor 1 and reference 0, so that S(I) is the synthetic
// value itself, and component differences of 0, -1 and -0.5 on separate rows,
// so that every set has its own rows and the least-squares answer is the
// truth, exact in binary.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "test_support.h"
#include "tools/cli/commands.h"
#include "tools/fit/realizations.h"

namespace linesynth::tools {
namespace {

using linesynth::testing::read_file;
using linesynth::testing::TempDir;
using linesynth::testing::write_file;

using Files = std::map<std::string, std::string>;

// Six rows at 4000 to 4005 (pixel p at 3999 + p). Set J's difference from the
// continuum is -1 on one row and -0.5 on another, 0 elsewhere:
//   set 1: rows 2 and 5;  set 2: rows 3 and 6;  set 3: rows 1 and 4.
const std::vector<std::string> component_files = {
    "6\n1\n0\n1\n1\n0.5\n1\n",
    "6\n1\n1\n0\n1\n1\n0.5\n",
    "6\n0\n1\n1\n0.5\n1\n1\n",
};

// observed = 1 + sum of w(J) * difference J, worked out per row by hand.
Files mixture(const std::string& observed_rows, const std::string& set_3 = component_files[2]) {
    return {
        {"synthesis.txt", "3\n1\n1\n1\n"},
        {"vlt.txt", "Mixture\n1\n0\n4000 5000\n1 1001\n2 200\n0 0 1\n"},
        {"FDftn.txt", "6 0 0\n" + observed_rows},
        {"continum.txt", "6\n1\n1\n1\n1\n1\n1\n"},
        {"VeltoOut1.txt", component_files[0]},
        {"VeltoOut2.txt", component_files[1]},
        {"VeltoOut3.txt", set_3},
        {"qdqd.txt", "2\n0\n"},
    };
}

// Weights 0.5, 0.25, 0.125: rows 1 - 0.125, 1 - 0.5, 1 - 0.25, 1 - 0.0625, 1 - 0.25, 1 - 0.125.
const std::string positive_truth =
    "4000 0.875\n4001 0.5\n4002 0.75\n4003 0.9375\n4004 0.75\n4005 0.875\n";
// Weights 0.5, -0.25, 0.125: set 2's rows rise above the continuum instead.
const std::string negative_truth =
    "4000 0.875\n4001 0.5\n4002 1.25\n4003 0.9375\n4004 0.75\n4005 1.125\n";

struct Directory {
    TempDir dir;
    explicit Directory(const Files& files) {
        for (const auto& [name, bytes] : files) {
            write_file(dir.file(name), bytes);
        }
    }
    CommandOptions options(bool free = false) const {
        CommandOptions options;
        options.request.dir = dir.dir_with_separator();
        options.free = free;
        return options;
    }
};

// The labels of the report without a sigma file, and the rank's tolerance.
const std::string after = "sum of squared residuals after (sigma 1 for every row)";
const std::string tolerance = "(singular values below 1e-05 of the largest count as zero)";

std::string report_line(const std::string& report, const std::string& label) {
    const std::size_t start = report.find(label + ":");
    if (start == std::string::npos) {
        return "";
    }
    return report.substr(start, report.find('\n', start) - start);
}

TEST(Fit, RecoversTheWeightsOfANoiselessMixture) {
    struct Row {
        const char* name;
        std::string observed;
        bool free;
        std::string weights_file;
    };
    const Row rows[] = {
        {"positive truth", positive_truth, false, "3\r\n0.5\r\n0.25\r\n0.125\r\n"},
        {"positive truth, free", positive_truth, true, "3\r\n0.5\r\n0.25\r\n0.125\r\n"},
        {"negative truth, free", negative_truth, true, "3\r\n0.5\r\n-0.25\r\n0.125\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Directory data(mixture(row.observed));
        const CommandOutput output = run_fit(data.options(row.free));
        EXPECT_EQ(output.status, 0);
        EXPECT_EQ(output.out, row.weights_file);
        EXPECT_EQ(report_line(output.err, after), after + ": 0");
        EXPECT_EQ(report_line(output.err, "rank"),
                  "rank:                       3 of 3 " + tolerance);
    }
}

TEST(Fit, HoldsANegativeTruthAtTheBound) {
    const Directory data(mixture(negative_truth));
    const CommandOutput output = run_fit(data.options());
    EXPECT_EQ(output.status, 0);
    EXPECT_EQ(output.out, "3\r\n0.5\r\n0\r\n0.125\r\n");
    EXPECT_EQ(report_line(output.err, "sets at the bound 0"), "sets at the bound 0:        2");
    // Set 2's rows keep their residuals 0.25 and 0.125: 0.0625 + 0.015625.
    EXPECT_EQ(report_line(output.err, after), after + ": 0.078125");
}

TEST(Fit, NamesTheSetsOfALinearDependency) {
    // Set 3 repeats set 1: its rows 1 and 4 no longer differ from the continuum.
    const Directory data(mixture(positive_truth, component_files[0]));
    for (const bool free : {false, true}) {
        SCOPED_TRACE(free ? "free" : "non-negative");
        const CommandOutput output = run_fit(data.options(free));
        EXPECT_EQ(output.status, 0);
        EXPECT_EQ(
            report_line(output.err, "rank"),
            "rank:                       2 of 3 " + tolerance + "; linearly dependent sets: 1, 3");
    }
}

TEST(Compared, AMaskedRangeRemovesExactlyItsRows) {
    struct Row {
        std::string mask;
        std::vector<std::int32_t> kept;
    };
    const Row rows[] = {
        {"4001 4003\n", {1, 5, 6}},  // both ends included
        {"# lines\n\n4000.5 4001.5\r\n4004 4004\n", {1, 3, 4, 6}},
        {"4005.5 4100\n", {1, 2, 3, 4, 5, 6}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mask);
        const Directory data(mixture(positive_truth));
        write_file(data.dir.file("mask.txt"), row.mask);
        ComparisonRequest request{data.dir.dir_with_separator(), data.dir.file("mask.txt"), ""};
        Comparison comparison;
        const std::optional<Refusal> refusal = load_comparison(request, comparison);
        ASSERT_FALSE(refusal) << refusal->text;
        std::vector<std::int32_t> kept;
        for (const ComparedRow& compared : comparison.rows) {
            kept.push_back(compared.index);
        }
        EXPECT_EQ(kept, row.kept);
    }
}

TEST(Compared, RefusesASigmaOfZeroNamingItsRow) {
    const Directory data(mixture(positive_truth));
    write_file(data.dir.file("sigma.txt"), "6\n1\n1\n0\n1\n1\n1\n");
    CommandOptions options = data.options();
    options.request.sigma_file = data.dir.file("sigma.txt");
    const std::string reason =
        data.dir.file("sigma.txt") + ", row 3: sigma 0 is not a finite value above 0";
    for (const bool fit : {false, true}) {
        for (const bool json : {false, true}) {
            SCOPED_TRACE(std::string(fit ? "fit" : "stats") + (json ? ", json" : ""));
            options.json = json;
            const CommandOutput output = fit ? run_fit(options) : run_stats(options);
            EXPECT_EQ(output.status, 1);
            EXPECT_EQ(output.err, "linesynth-tools: " + reason + "\n");
            if (!json) {
                EXPECT_EQ(output.out, "");
                continue;
            }
            // One object that parses, naming the file; the row is in the message.
            const nlohmann::json error = nlohmann::json::parse(output.out).at("error");
            EXPECT_EQ(error.at("message"), reason);
            EXPECT_EQ(error.at("file"), data.dir.file("sigma.txt"));
            EXPECT_TRUE(error.at("record").is_null());
        }
    }
}

TEST(Fit, WriteKeepsTheOldWeightsFileOrLeavesItUntouched) {
    const std::string old_weights = "3\n1\n1\n1\n";
    {
        SCOPED_TRACE("replaced");
        const Directory data(mixture(positive_truth));
        CommandOptions options = data.options();
        options.write = true;
        const CommandOutput output = run_fit(options);
        EXPECT_EQ(output.status, 0);
        EXPECT_EQ(read_file(data.dir.file("synthesis.txt")), "3\r\n0.5\r\n0.25\r\n0.125\r\n");
        EXPECT_EQ(read_file(data.dir.file("synthesis.txt.bak")), old_weights);
        for (const auto& entry : std::filesystem::directory_iterator(data.dir.path())) {
            EXPECT_EQ(entry.path().string().find(".new"), std::string::npos) << entry.path();
        }
    }
    {
        SCOPED_TRACE("read-only weights file");
        const Directory data(mixture(positive_truth));
        std::filesystem::permissions(data.dir.file("synthesis.txt"),
                                     std::filesystem::perms::owner_read);
        CommandOptions options = data.options();
        options.write = true;
        const CommandOutput output = run_fit(options);
        EXPECT_EQ(output.status, 1);
        EXPECT_EQ(output.out, "");
        EXPECT_EQ(output.err, "linesynth-tools: " + data.dir.file("synthesis.txt") +
                                  " is read-only; it is left alone\n");
        EXPECT_EQ(read_file(data.dir.file("synthesis.txt")), old_weights);
        EXPECT_FALSE(std::filesystem::exists(data.dir.file("synthesis.txt.bak")));
    }
    {
        SCOPED_TRACE("with the scale, a read-only scale file: neither file is replaced");
        const Directory data(mixture(positive_truth));
        std::filesystem::permissions(data.dir.file("qdqd.txt"), std::filesystem::perms::owner_read);
        CommandOptions options = data.options();
        options.write = true;
        options.scale = true;
        const CommandOutput output = run_fit(options);
        EXPECT_EQ(output.status, 1);
        EXPECT_EQ(output.err, "linesynth-tools: " + data.dir.file("qdqd.txt") +
                                  " is read-only; it is left alone\n");
        EXPECT_EQ(read_file(data.dir.file("synthesis.txt")), old_weights);
        EXPECT_EQ(read_file(data.dir.file("qdqd.txt")), "2\n0\n");
        EXPECT_FALSE(std::filesystem::exists(data.dir.file("synthesis.txt.bak")));
    }
}

// 300 rows of three line profiles about row 150: a narrow and a broad
// Gaussian and Lorentzian wings, each written with seven digits.
std::vector<std::vector<double>> profiles(std::int32_t rows) {
    std::vector<std::vector<double>> sets(3);
    for (std::int32_t i = 1; i <= rows; ++i) {
        const double x = i - 150;
        sets[0].push_back(1 - 0.6 * std::exp(-0.5 * (x / 5) * (x / 5)));
        sets[1].push_back(1 - 0.35 * std::exp(-0.5 * (x / 20) * (x / 20)));
        sets[2].push_back(1 - 0.25 / (1 + (x / 30) * (x / 30)));
    }
    return sets;
}

std::string seven_digits(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", value);
    return text;
}

std::string spectrum_file(const std::vector<double>& values) {
    std::string text = std::to_string(values.size()) + "\n";
    for (const double value : values) {
        text += seven_digits(value) + "\n";
    }
    return text;
}

// The three sets given, an observed spectrum a * (1 + sum of w(J) * (set J - 1))
// plus Gaussian noise of sigma 0.01, and a sigma file of 0.01 per row. With
// flux 2 / 0 and references 2 / 0, ref_a is 2 a.
Files noisy_mixture(const std::vector<std::vector<double>>& sets, const std::vector<double>& w,
                    double a) {
    const auto rows = static_cast<std::int32_t>(sets[0].size());
    NormalDeviates noise(20);
    std::string observed = std::to_string(rows) + " 0 0\n";
    std::string sigma = std::to_string(rows) + "\n";
    for (std::int32_t i = 0; i < rows; ++i) {
        double model = 1;
        for (std::size_t j = 0; j < sets.size(); ++j) {
            model += w[j] * (sets[j][static_cast<std::size_t>(i)] - 1);
        }
        observed +=
            std::to_string(4000 + i) + " " + seven_digits(a * model + 0.01 * noise.normal()) + "\n";
        sigma += "0.01\n";
    }
    Files files = {
        {"synthesis.txt", "3\n1\n1\n1\n"},
        {"vlt.txt", "Mixture\n1\n0\n4000 5000\n1 1001\n2 200\n0 0 1\n"},
        {"FDftn.txt", observed},
        {"continum.txt", spectrum_file(std::vector<double>(sets[0].size(), 1.0))},
        {"qdqd.txt", "2\n0\n"},
        {"sigma.txt", sigma},
    };
    for (std::size_t j = 0; j < sets.size(); ++j) {
        files["VeltoOut" + std::to_string(j + 1) + ".txt"] = spectrum_file(sets[j]);
    }
    return files;
}

nlohmann::json fit_json(const Directory& data, bool scale, std::int64_t realizations = 0,
                        bool free = false) {
    CommandOptions options = data.options(free);
    options.request.sigma_file = data.dir.file("sigma.txt");
    options.scale = scale;
    options.json = true;
    options.realizations = realizations;
    const CommandOutput output = run_fit(options);
    EXPECT_EQ(output.status, 0) << output.err;
    return nlohmann::json::parse(output.out);
}

TEST(Fit, RecoversAScaledNoisyMixtureWithinItsErrors) {
    // An iterative fit of noisy data: every figure is checked against the
    // truth within the fit's own errors, or within a stated range.
    const std::vector<double> truth = {0.5, 0.3, 0.2};
    const double a = 1.05;
    const Directory data(noisy_mixture(profiles(300), truth, a));
    const nlohmann::json json = fit_json(data, true, 400);
    const nlohmann::json& fit = json.at("fit");
    for (std::size_t j = 0; j < truth.size(); ++j) {
        SCOPED_TRACE("set " + std::to_string(j + 1));
        const double error = fit.at("errors").at(j).get<double>();
        EXPECT_NEAR(fit.at("weights").at(j).get<double>(), truth[j], 3 * error);
        // Half the 16..84 % range of the realizations is one sigma.
        const nlohmann::json& spread = fit.at("realizations");
        const double half_range =
            (spread.at("p84").at(j).get<double>() - spread.at("p16").at(j).get<double>()) / 2;
        EXPECT_NEAR(half_range / error, 1.0, 0.3);
    }
    const nlohmann::json& scale = fit.at("scale");
    EXPECT_NEAR(scale.at("ref_a").get<double>(), 2 * a, 3 * scale.at("ref_a_error").get<double>());
    EXPECT_EQ(fit.at("dof"), 300 - 4);
    EXPECT_GE(fit.at("chi2_reduced").get<double>(), 0.8);
    EXPECT_LE(fit.at("chi2_reduced").get<double>(), 1.2);
    EXPECT_GT(fit.at("p_value").get<double>(), 0.0);
    EXPECT_EQ(json.at("sigma"), "file");
}

TEST(Fit, NamesDependentAndNearlyDependentSets) {
    struct Row {
        const char* name;
        double mix;   // set 3 = (1 - mix) * set 1 + mix * set 2, then a wing
        double wing;  // times set 3 of profiles(), minus 1
        std::int32_t rank;
        std::vector<std::int32_t> dependent;
        std::vector<std::int32_t> nearly_dependent;
    };
    const Row rows[] = {
        // Seven digits leave a set equal to the mean of two others only to
        // about 1e-7: below the rank tolerance of 1e-5.
        {"the mean of two others", 0.5, 0, 2, {1, 2, 3}, {}},
        // Set 3 departs from set 1 by 2e-4 of a broad wing: condition about
        // 4e4, its smallest singular value 2.5e-5 of the largest.
        {"near-collinear pair", 0, 2e-4, 3, {}, {1, 3}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::vector<double>> sets = profiles(300);
        for (std::size_t i = 0; i < sets[0].size(); ++i) {
            sets[2][i] =
                (1 - row.mix) * sets[0][i] + row.mix * sets[1][i] + row.wing * (sets[2][i] - 1);
        }
        const Directory data(noisy_mixture(sets, {0.5, 0.3, 0.2}, 1));
        const nlohmann::json fit = fit_json(data, false, 0, true).at("fit");
        EXPECT_EQ(fit.at("rank"), row.rank);
        EXPECT_EQ(fit.at("dependent").get<std::vector<std::int32_t>>(), row.dependent);
        EXPECT_EQ(fit.at("nearly_dependent").get<std::vector<std::int32_t>>(),
                  row.nearly_dependent);
        if (row.rank == 3) {
            EXPECT_GT(fit.at("condition_number").get<double>(), 1e4);
        }
    }
}

}  // namespace
}  // namespace linesynth::tools
