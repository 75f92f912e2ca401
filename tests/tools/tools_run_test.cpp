// The real linesynth-tools binary on a copy of the example data set. The
// expected numbers were worked out apart from the program, by a one-off
// script that redid the run's arithmetic on exactly rounded 32-bit reals
// (every observed flux over the maximum 12422.9, each set added and narrowed
// in turn; scale factor 1 and reference 0, so S(I) is the synthetic value),
// summed in double in row order, and solved the least squares exactly in
// rationals: the free fit over the three sets, and the non-negative one over
// sets 1 and 3 with set 2's gradient -0.0538... below 0 at the bound.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "test_support.h"

namespace linesynth::tools {
namespace {

using linesynth::testing::read_file;
using linesynth::testing::TempDir;

struct ToolsRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the binary with `arguments`, its streams caught in files of `dir`.
ToolsRun run_tools(const TempDir& dir, const std::string& arguments) {
    const std::string command = std::string(LINESYNTH_TOOLS_BINARY) + " " + arguments + " >" +
                                dir.file("out") + " 2>" + dir.file("err");
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(dir.file("out")),
            read_file(dir.file("err"))};
}

class ExampleData : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy(LINESYNTH_EXAMPLE_DATA, data.path(),
                              std::filesystem::copy_options::recursive);
    }
    TempDir data;
    TempDir streams;
};

TEST_F(ExampleData, Stats) {
    const ToolsRun text = run_tools(streams, "stats --dir " + data.path().string());
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.err, "");
    // The shift comes from a decomposition: its line is checked to a few
    // digits, the lines before it exactly.
    const std::size_t shift = text.out.find("shift:                      -0.015");
    ASSERT_NE(shift, std::string::npos) << text.out;
    EXPECT_EQ(text.out.substr(0, shift),
              "compared rows:              400\n"
              "mean residual:              -0.027938162535429002\n"
              "rms residual:               0.029290142439504164\n"
              "mean absolute residual:     0.027957249730825424\n"
              "largest absolute residual:  0.05449002981185913 at wavelength 6541.05\n"
              "sum of squared residuals (sigma 1 for every row): 0.3431649776505772\n"
              "chi-squared per row:        0.0008579124441264429\n"
              "degrees of freedom:         397 (compared rows - component sets)\n"
              "reduced chi-squared:        0.0008643954096991869\n"
              "mean absolute deviation:    2.950332529583826 %\n"
              "signal-to-noise (DER_SNR):  118.05019856123823\n"
              "normalised by:              12360.8 (the largest observed flux)\n"
              "integral:                   48.736490\n");

    const ToolsRun json = run_tools(streams, "stats --json --dir " + data.path().string());
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.err, "");
    nlohmann::json stats = nlohmann::json::parse(json.out);
    // An 0.015-row offset, well within its error of 0.13: nothing to correct.
    EXPECT_NEAR(stats.at("stats").at("shift").at("value").get<double>(), -0.015038, 1e-6);
    EXPECT_NEAR(stats.at("stats").at("shift").at("error").get<double>(), 0.12975, 1e-5);
    EXPECT_EQ(stats.at("stats").at("shift").at("significant"), false);
    stats.at("stats").erase("shift");
    EXPECT_EQ(stats.at("stats").dump(),
              "{\"adev_percent\":2.950332529583826,\"chi2\":0.3431649776505772,"
              "\"chi2_per_point\":0.0008579124441264429,\"chi2_reduced\":0.0008643954096991869,"
              "\"dof\":397,\"max_abs\":0.05449002981185913,"
              "\"max_abs_wavelength\":6541.0498046875,\"mean\":-0.027938162535429002,"
              "\"mean_abs\":0.027957249730825424,\"p_value\":null,\"points\":400,"
              "\"rms\":0.029290142439504164,\"snr\":118.05019856123823}");
    EXPECT_EQ(stats.at("title"), "H-alpha region, three-component synthesis (example data set)");
    EXPECT_EQ(stats.at("sigma"), "unit");
    EXPECT_EQ(stats.at("mask"), nlohmann::json::array());
    EXPECT_EQ(stats.at("normalised_by"), 12360.7998046875);
    EXPECT_EQ(stats.at("integral"), 48.73649215698242);
    EXPECT_EQ(stats.at("weights_in").dump(), "[0.5,0.30000001192092896,0.20000000298023224]");
}

TEST_F(ExampleData, Fit) {
    const std::string weights = read_file(data.file("synthesis.txt"));
    const ToolsRun text = run_tools(streams, "fit --dir " + data.path().string());
    EXPECT_EQ(text.status, 0);
    // 0x1.dc1112p-2 and 0x1.7e21dcp-1: one digit fewer reads back differently.
    EXPECT_EQ(text.out, "3\r\n0.46490887\r\n0\r\n0.7463521\r\n");
    // The errors come from an iterative decomposition: their lines are
    // checked only up to the fitted weight.
    for (const char* line : {
             "1    0.5                      0.46490887     0.0",
             "2    0.3                      0              < 0.0",
             "3    0.2                      0.7463521      0.0",
             "sum of squared residuals before (sigma 1 for every row): 0.3431649776505772\n",
             "sum of squared residuals after (sigma 1 for every row): 0.20607520695430992\n",
             "degrees of freedom:         398 (compared rows - parameters not at a bound)\n",
             "errors:                     scaled by the scatter of the residuals (no sigma file)\n",
             "sets at the bound 0:        2\n",
             "rank:                       3 of 3 (singular values below 1e-05 of the largest count "
             "as zero)\n",
         }) {
        EXPECT_NE(text.err.find(line), std::string::npos) << line;
    }

    const ToolsRun json = run_tools(streams, "fit --free --json --dir " + data.path().string());
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.err, "");
    const nlohmann::json fit = nlohmann::json::parse(json.out).at("fit");
    EXPECT_EQ(fit.at("at_bound"), nlohmann::json::array());
    EXPECT_EQ(fit.at("chi2_after"), 0.1929965472003765);
    EXPECT_EQ(fit.at("chi2_before"), 0.3431649776505772);
    EXPECT_EQ(fit.at("rank"), 3);
    EXPECT_EQ(fit.at("dof"), 397);
    EXPECT_EQ(fit.at("worse"), false);
    EXPECT_EQ(fit.at("weights").dump(),
              "[0.5230057239532471,-0.24284756183624268,0.9786528944969177]");

    // With the scale free and the photon noise of sigma.txt the weights the
    // example was made with come back within two of their errors.
    const ToolsRun scaled = run_tools(streams, "fit --scale --json --dir " + data.path().string() +
                                                   " --sigma " + data.file("sigma.txt"));
    EXPECT_EQ(scaled.status, 0);
    const nlohmann::json scaled_fit = nlohmann::json::parse(scaled.out).at("fit");
    const double truth[] = {0.5, 0.3, 0.2};
    for (std::size_t j = 0; j < 3; ++j) {
        EXPECT_NEAR(scaled_fit.at("weights").at(j).get<double>(), truth[j],
                    2 * scaled_fit.at("errors").at(j).get<double>());
    }
    EXPECT_GE(scaled_fit.at("chi2_reduced").get<double>(), 0.8);
    EXPECT_LE(scaled_fit.at("chi2_reduced").get<double>(), 1.25);

    // Nothing in the data directory changed, and nothing was added to it.
    EXPECT_EQ(read_file(data.file("synthesis.txt")), weights);
    EXPECT_EQ(read_file(data.file("vltOut.htm")),
              read_file(std::filesystem::path(LINESYNTH_EXAMPLE_DATA) / "vltOut.htm"));
    EXPECT_FALSE(std::filesystem::exists(data.file("RDF.txt")));
}

}  // namespace
}  // namespace linesynth::tools
