// The run's first stage called from outside the run, as the companion calls
// it: values bit for bit, and failures as values.
#include "stages/compute_stage.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <variant>

#include "test_support.h"

namespace linesynth {
namespace {

using testing::TempDir;

std::uint32_t bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

// A copy of the example data set in a fresh directory.
void copy_example(const TempDir& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(LINESYNTH_EXAMPLE_DATA)) {
        std::filesystem::copy_file(entry.path(), dir.path() / entry.path().filename());
    }
}

// The example's files read by hand: three sets with weights 0.5, 0.3, 0.2;
// wavelengths 6537.8 and 6587.8 at pixels 1 and 401; fluxes 1.0 and 0.0 at
// levels 12000 and 0; 400 rows everywhere, flags 2 4; references 1.0 and 0.0.
TEST(ComputeStage, ExampleDataBitForBit) {
    TempDir dir;
    copy_example(dir);
    const auto data = std::make_unique<RunData>();
    auto kept = std::make_unique<KeptColumns>();

    const auto failure =
        compute_stage(*data, dir.dir_with_separator(), Opening::inspect, kept.get());

    ASSERT_FALSE(failure.has_value());
    EXPECT_EQ(data->parameters.set_count, 3);
    EXPECT_EQ(bits(data->parameters.weight(2)), bits(0x1.333334p-2f));  // 0.3
    EXPECT_EQ(bits(data->calibration.wl_2), bits(0x1.9bbcccp12f));      // 6587.8
    EXPECT_EQ(data->calibration.level_1, 12000);
    EXPECT_EQ(data->store->point_count, 400);
    EXPECT_EQ(data->store->norm_a, 2);
    EXPECT_EQ(data->store->norm_b, 4);
    // The scales map flux 1 -> 1 and 0 -> 0: both factors exactly 1.
    EXPECT_EQ(bits(data->scales.scale_fwd), bits(1.0f));
    EXPECT_EQ(bits(data->scales.scale_back), bits(1.0f));
    EXPECT_EQ(kept->observed_count, 400);
    EXPECT_EQ(kept->continuum_count, 400);
    EXPECT_EQ(kept->component_counts[2], 400);
    // Row 1 of set 1 is its value 1.000000 less the continuum 1.0.
    EXPECT_EQ(bits(kept->components[0][1]), bits(0.0f));
    // The inspection changed nothing: no output file appeared.
    EXPECT_FALSE(std::filesystem::exists(dir.file("RDF.txt")));
}

TEST(ComputeStage, FailuresComeBackAsValues) {
    TempDir dir;
    copy_example(dir);
    // The continuum file ends after its second row: record 4 is the third row.
    testing::write_file(dir.file("continum.txt"), "400\r\n1.0\r\n1.0\r\n");
    const auto data = std::make_unique<RunData>();

    const auto failure = compute_stage(*data, dir.dir_with_separator(), Opening::inspect);

    ASSERT_TRUE(failure.has_value());
    const auto* file = std::get_if<FileFailure>(&*failure);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->failure, Failure::end_of_file);
    EXPECT_EQ(file->statement, "READ");
    EXPECT_EQ(file->file_name, dir.file("continum.txt"));
    EXPECT_EQ(file->record, 4);

    // Inspecting never creates a missing file.
    std::filesystem::remove(dir.file("qdqd.txt"));
    const auto again = std::make_unique<RunData>();
    testing::write_file(dir.file("continum.txt"), "0\r\n");
    const auto missing = compute_stage(*again, dir.dir_with_separator(), Opening::inspect);
    ASSERT_TRUE(missing.has_value());
    const auto* open = std::get_if<FileFailure>(&*missing);
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->failure, Failure::open_not_found);
    EXPECT_EQ(open->statement, "OPEN");
    EXPECT_FALSE(std::filesystem::exists(dir.file("qdqd.txt")));
}

}  // namespace
}  // namespace linesynth
