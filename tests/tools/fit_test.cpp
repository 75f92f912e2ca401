// The companion's rules on small data directories whose answers are exact:
// continuum 1, scale factor 1 and reference 0, so that S(I) is the synthetic
// value itself, and component differences of 0, -1 and -0.5 on separate rows,
// so that every set has its own rows and the least-squares answer is the
// truth, exact in binary.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "test_support.h"
#include "tools/cli/commands.h"

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
        EXPECT_EQ(report_line(output.err, "chi-squared after"), "chi-squared after:          0");
        EXPECT_EQ(report_line(output.err, "rank"), "rank:                       3 of 3");
    }
}

TEST(Fit, HoldsANegativeTruthAtTheBound) {
    const Directory data(mixture(negative_truth));
    const CommandOutput output = run_fit(data.options());
    EXPECT_EQ(output.status, 0);
    EXPECT_EQ(output.out, "3\r\n0.5\r\n0\r\n0.125\r\n");
    EXPECT_EQ(report_line(output.err, "sets at the bound 0"), "sets at the bound 0:        2");
    // Set 2's rows keep their residuals 0.25 and 0.125: 0.0625 + 0.015625.
    EXPECT_EQ(report_line(output.err, "chi-squared after"), "chi-squared after:          0.078125");
}

TEST(Fit, NamesTheSetsOfALinearDependency) {
    // Set 3 repeats set 1: its rows 1 and 4 no longer differ from the continuum.
    const Directory data(mixture(positive_truth, component_files[0]));
    for (const bool free : {false, true}) {
        SCOPED_TRACE(free ? "free" : "non-negative");
        const CommandOutput output = run_fit(data.options(free));
        EXPECT_EQ(output.status, 0);
        EXPECT_EQ(report_line(output.err, "rank"),
                  "rank:                       2 of 3 (linearly dependent sets: 1, 3)");
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
        ASSERT_EQ(load_comparison(request, comparison), std::nullopt);
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
    for (const bool fit : {false, true}) {
        SCOPED_TRACE(fit ? "fit" : "stats");
        const CommandOutput output = fit ? run_fit(options) : run_stats(options);
        EXPECT_EQ(output.status, 1);
        EXPECT_EQ(output.out, "");
        EXPECT_EQ(output.err, "linesynth-tools: " + data.dir.file("sigma.txt") +
                                  ", row 3: sigma 0 is not a finite value above 0\n");
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
}

}  // namespace
}  // namespace linesynth::tools
