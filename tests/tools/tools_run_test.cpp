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
    EXPECT_EQ(text.out,
              "compared rows:              400\n"
              "mean residual:              -0.027938162535429002\n"
              "rms residual:               0.029290142439504164\n"
              "mean absolute residual:     0.027957249730825424\n"
              "largest absolute residual:  0.05449002981185913 at wavelength 6541.05\n"
              "chi-squared:                0.3431649776505772\n"
              "chi-squared per row:        0.0008579124441264429\n"
              "mean absolute deviation:    2.950332529583826 %\n");

    const ToolsRun json = run_tools(streams, "stats --json --dir " + data.path().string());
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.err, "");
    EXPECT_EQ(json.out,
              "{\"stats\":{\"adev_percent\":2.950332529583826,\"chi2\":0.3431649776505772,"
              "\"chi2_per_point\":0.0008579124441264429,\"max_abs\":0.05449002981185913,"
              "\"max_abs_wavelength\":6541.0498046875,\"mean\":-0.027938162535429002,"
              "\"mean_abs\":0.027957249730825424,\"points\":400,\"rms\":0.029290142439504164}}\n");
}

TEST_F(ExampleData, Fit) {
    const std::string weights = read_file(data.file("synthesis.txt"));
    const ToolsRun text = run_tools(streams, "fit --dir " + data.path().string());
    EXPECT_EQ(text.status, 0);
    // 0x1.dc1112p-2 and 0x1.7e21dcp-1: one digit fewer reads back differently.
    EXPECT_EQ(text.out, "3\r\n0.46490887\r\n0\r\n0.7463521\r\n");
    EXPECT_EQ(text.err,
              "set  weight in synthesis.txt  fitted weight\n"
              "1    0.5                      0.46490887\n"
              "2    0.3                      0\n"
              "3    0.2                      0.7463521\n"
              "chi-squared before:         0.3431649776505772\n"
              "chi-squared after:          0.20607520695430992\n"
              "sets at the bound 0:        2\n"
              "rank:                       3 of 3\n");

    const ToolsRun json = run_tools(streams, "fit --free --json --dir " + data.path().string());
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.err, "");
    EXPECT_EQ(json.out,
              "{\"fit\":{\"at_bound\":[],\"chi2_after\":0.1929965472003765,"
              "\"chi2_before\":0.3431649776505772,\"rank\":3,"
              "\"weights\":[0.5230057239532471,-0.24284756183624268,0.9786528944969177],"
              "\"worse\":false},"
              "\"stats\":{\"adev_percent\":2.950332529583826,\"chi2\":0.3431649776505772,"
              "\"chi2_per_point\":0.0008579124441264429,\"max_abs\":0.05449002981185913,"
              "\"max_abs_wavelength\":6541.0498046875,\"mean\":-0.027938162535429002,"
              "\"mean_abs\":0.027957249730825424,\"points\":400,\"rms\":0.029290142439504164}}\n");

    // Nothing in the data directory changed, and nothing was added to it.
    EXPECT_EQ(read_file(data.file("synthesis.txt")), weights);
    EXPECT_EQ(read_file(data.file("vltOut.htm")),
              read_file(std::filesystem::path(LINESYNTH_EXAMPLE_DATA) / "vltOut.htm"));
    EXPECT_FALSE(std::filesystem::exists(data.file("RDF.txt")));
}

}  // namespace
}  // namespace linesynth::tools
