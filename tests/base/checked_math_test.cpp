#include "base/checked_math.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

#include "test_support.h"

namespace linesynth {
namespace {

using testing::crlf;

constexpr std::int32_t int_max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t int_min = std::numeric_limits<std::int32_t>::min();
const double nan = std::numeric_limits<double>::quiet_NaN();
const double infinity = std::numeric_limits<double>::infinity();

std::uint32_t bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}
std::uint64_t bits(double value) {
    return std::bit_cast<std::uint64_t>(value);
}

const std::string invalid = crlf("|run-time error M6101: MATH|- floating-point error: invalid|");
const std::string divide_by_zero =
    crlf("|run-time error M6103: MATH|- floating-point error: divide by zero|");
const std::string overflow = crlf("|run-time error M6104: MATH|- floating-point error: overflow|");

struct FaultRow {
    const char* trace;
    std::function<void()> call;
    const std::string& err;
};

void expect_faults(std::initializer_list<FaultRow> rows) {
    for (const FaultRow& row : rows) {
        SCOPED_TRACE(row.trace);
        const auto result = testing::run_in_child(row.call);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, row.err);
    }
}

TEST(CheckedMath, NarrowRoundsToNearestEven) {
    const struct {
        double value;
        float narrowed;
    } rows[] = {
        {0.1, 0x1.99999ap-4f},
        {-0.1, -0x1.99999ap-4f},
        {1 + 0x1p-24, 1.0f},                     // tie, down to the even 1
        {1 + 0x1.8p-23, 0x1.000004p0f},          // tie, up to the even neighbour
        {1 + 0x1p-24 + 0x1p-50, 0x1.000002p0f},  // just above the tie
        {std::nextafter(0x1.ffffffp127, 0.0), 0x1.fffffep127f},
        {-std::nextafter(0x1.ffffffp127, 0.0), -0x1.fffffep127f},
        {1e-50, 0.0f},
        {-1e-50, -0.0f},
        {-0.0, -0.0f},
        {0x1p-149, 0x1p-149f},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(bits(narrow(row.value)), bits(row.narrowed));
    }
}

TEST(CheckedMath, NarrowFaults) {
    expect_faults({
        {"halfway to 2^128", [] { narrow(0x1.ffffffp127); }, overflow},
        {"minus halfway to 2^128", [] { narrow(-0x1.ffffffp127); }, overflow},
        {"1e300", [] { narrow(1e300); }, overflow},
        {"infinity", [] { narrow(infinity); }, overflow},
        {"nan", [] { narrow(nan); }, invalid},
    });
}

// The companion reports these itself: nothing instead of the fault, and no
// trap raised on the way (the NaN is tested before any comparison).
TEST(CheckedMath, TryNarrowGivesNothingWhereNarrowFaults) {
    for (const double value : {0x1.ffffffp127, -0x1.ffffffp127, 1e300, infinity, nan}) {
        SCOPED_TRACE(value);
        EXPECT_FALSE(try_narrow(value).has_value());
    }
    EXPECT_EQ(bits(try_narrow(std::nextafter(0x1.ffffffp127, 0.0)).value()), bits(0x1.fffffep127f));
}

TEST(CheckedMath, DivideQuotients) {
    const struct {
        double numerator, denominator, quotient;
    } rows[] = {{1, 4, 0.25}, {-1, 3, -0x1.5555555555555p-2}, {0, -2, -0.0}, {3, 0.5, 6}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.numerator);
        EXPECT_EQ(bits(divide(row.numerator, row.denominator)), bits(row.quotient));
    }
}

TEST(CheckedMath, DivideFaults) {
    expect_faults({
        {"1 / 0", [] { divide(1, 0); }, divide_by_zero},
        {"-1 / -0", [] { divide(-1, -0.0); }, divide_by_zero},
        {"0 / 0", [] { divide(0, 0); }, invalid},
        {"-0 / 0", [] { divide(-0.0, 0); }, invalid},
        {"1e300 / 1e-300", [] { divide(1e300, 1e-300); }, overflow},
    });
}

TEST(CheckedMath, RoundToIntGoesHalfAwayFromZero) {
    const struct {
        double value;
        std::int32_t rounded;
    } rows[] = {
        {2.5, 3},
        {-2.5, -3},
        {0.5, 1},
        {-0.5, -1},
        {-0.0, 0},
        {2.4999999, 2},
        {-0.4, 0},
        {1.5, 2},
        {-1.5, -2},
        // 0.5 - 2^-54 plus 0.5 is 1 - 2^-54, a tie in double that goes to 1.
        {0.49999999999999994, 1},
        {-0.49999999999999994, -1},
        {2147483647.4, int_max},
        {-2147483648.4, int_min},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(round_to_int(row.value), row.rounded);
    }
}

TEST(CheckedMath, RoundToIntFaults) {
    expect_faults({
        {"2147483647.5", [] { round_to_int(2147483647.5); }, overflow},
        {"-2147483648.5", [] { round_to_int(-2147483648.5); }, overflow},
        {"1e300", [] { round_to_int(1e300); }, overflow},
        {"-infinity", [] { round_to_int(-infinity); }, overflow},
        {"nan", [] { round_to_int(nan); }, invalid},
    });
}

TEST(CheckedMath, DifferenceWraps) {
    const struct {
        std::int32_t a, b, difference;
    } rows[] = {
        {5, 7, -2},
        {int_min, 1, int_max},
        {int_max, -1, int_min},
        {0, int_min, int_min},
        {int_max, int_min, -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.a);
        EXPECT_EQ(difference(row.a, row.b), row.difference);
    }
}

}  // namespace
}  // namespace linesynth
