#include "reports/integral.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <memory>
#include <vector>

#include "test_support.h"

namespace linesynth {
namespace {

std::uint32_t bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

struct Tables {
    SpectrumTable x;
    SpectrumTable y;
};

std::unique_ptr<Tables> tables(const std::vector<float>& x, const std::vector<float>& y) {
    auto result = std::make_unique<Tables>();
    for (std::size_t i = 0; i < x.size(); ++i) {
        result->x[static_cast<std::int32_t>(i + 1)] = x[i];
        result->y[static_cast<std::int32_t>(i + 1)] = y[i];
    }
    return result;
}

TEST(TrapezoidIntegral, SumsTheIntervalsInDouble) {
    const struct {
        const char* trace;
        std::vector<float> x, y;
        std::int32_t n;
        float integral;
    } rows[] = {
        {"n 0", {1, 3}, {2, 4}, 0, 0},
        {"n 1", {1, 3}, {2, 4}, 1, 0},
        {"n -1", {1, 3}, {2, 4}, -1, 0},
        {"two points", {1, 3}, {2, 4}, 2, 6},
        {"three points", {0, 1, 2}, {1, 1, 1}, 3, 2},
        {"decreasing x", {3, 1}, {2, 4}, 2, -6},
        {"n below the data", {0, 1, 2}, {1, 1, 1}, 2, 1},
        // Terms 1, 0x1.8p-24 and 0x1p-24; the double total 1 + 0x1.4p-23 narrows
        // to 0x1.000002p0. A 32-bit running total would go 1 -> 0x1.000002p0
        // (1 + 0.75 units) -> the tie 1 + 1.5 units -> even 0x1.000004p0.
        {"small terms still count",
         {0, 1, 0x1.000002p0f, 0x1.000004p0f},
         {1, 1, 0.5f, 0.5f},
         4,
         0x1.000002p0f},
        // Term 1 is (1 + 2^-23) * (2 + 2^-22) * 0.5 = 1 + 2^-22 + 2^-46; term 2 is
        // 2^-23 * 1 * 0.5 = 2^-24. The total lies 2^-46 above the tie between
        // 1 + 2^-22 and 1 + 3 * 2^-23 and goes up. With term 1 narrowed to
        // 1 + 2^-22 it would be the exact tie and go to the even 1 + 2^-22.
        {"terms not narrowed",
         {0, 0x1.000002p0f, 0x1.000004p0f},
         {0x1.000002p0f, 0x1.000002p0f, -0x1p-23f},
         3,
         0x1.000006p0f},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.trace);
        const auto data = tables(row.x, row.y);
        float result = 7;
        trapezoid_integral(result, data->y, data->x, row.n);
        EXPECT_EQ(bits(result), bits(row.integral));
    }
}

TEST(TrapezoidIntegral, TotalBeyondThe32BitRangeIsAnOverflowFault) {
    // (2.6e38 - 0) * (2.6e38 + 2.6e38) * 0.5 = 6.5e76.
    const auto result = testing::run_in_child([] {
        const auto data = tables({0, 0x1.8p127f}, {0x1.8p127f, 0x1.8p127f});
        float integral = 0;
        trapezoid_integral(integral, data->y, data->x, 2);
    });
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              testing::crlf("|run-time error M6104: MATH|- floating-point error: overflow|"));
}

}  // namespace
}  // namespace linesynth
