#include "reports/scales.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>

#include "test_support.h"

namespace linesynth {
namespace {

using testing::crlf;

std::uint32_t bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}
std::uint64_t bits(double value) {
    return std::bit_cast<std::uint64_t>(value);
}

CalibrationSet fluxes(float flux_1, float flux_2) {
    return CalibrationSet{.flux_1 = flux_1, .level_1 = 1, .flux_2 = flux_2};
}

TEST(ScaleFactors, BothFromTheSpansDirectly) {
    const struct {
        const char* trace;
        float flux_1, flux_2, ref_a, ref_b;
        float scale_fwd, scale_back;
    } rows[] = {
        // 0.2 = 0x1.9999...p-3 narrows up to 0x1.99999ap-3.
        {"flux 2 / 0 to 10 / 0", 2, 0, 10, 0, 5, 0x1.99999ap-3f},
        {"references equal to the fluxes", 1.5f, -0.25f, 1.5f, -0.25f, 1, 1},
        {"spans of opposite sign", 0, 2, 10, 0, -5, -0x1.99999ap-3f},
        // 1/7 narrows to 0x1.24924ap-3, whose reciprocal 6.9999998... narrows
        // to 0x1.bffffep2; the factor taken from the spans is 7 exactly.
        {"not the reciprocal", 7, 0, 1, 0, 0x1.24924ap-3f, 7},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.trace);
        ReportScales scales{.ref_a = row.ref_a, .ref_b = row.ref_b};
        compute_scale_factors(scales, fluxes(row.flux_1, row.flux_2));
        EXPECT_EQ(bits(scales.scale_fwd), bits(row.scale_fwd));
        EXPECT_EQ(bits(scales.scale_back), bits(row.scale_back));
    }
}

TEST(ScaleFactors, MapsStayInDouble) {
    const CalibrationSet calibration = fluxes(2, 0);
    const ReportScales scales{
        .ref_a = 10, .ref_b = 0, .scale_fwd = 5, .scale_back = 0x1.99999ap-3f};
    const ReportScales shifted{
        .ref_a = 11, .ref_b = 1, .scale_fwd = 5, .scale_back = 0x1.99999ap-3f};
    const struct {
        const char* trace;
        const ReportScales& scales;
        bool synthetic;
        float value;
        double mapped;
    } rows[] = {
        {"synthetic 1", scales, true, 1, 5},
        {"synthetic 0.5, ref_b 1", shifted, true, 0.5f, 3.5},
        // 5 * 0x1.99999ap-3 = 67108865 * 2^-26 = 1 + 2^-26: not narrowed to 1.
        {"observed 5", scales, false, 5, 0x1.0000004p0},
        {"observed 6, ref_b 1", shifted, false, 6, 0x1.0000004p0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.trace);
        const double mapped = row.synthetic ? mapped_synthetic(row.scales, calibration, row.value)
                                            : mapped_observed(row.scales, calibration, row.value);
        EXPECT_EQ(bits(mapped), bits(row.mapped));
    }
}

TEST(ScaleFactors, ZeroSpanIsAFloatingPointFault) {
    const struct {
        const char* trace;
        float flux_1, flux_2, ref_a, ref_b;
        std::string err;
    } rows[] = {
        {"ref_a = ref_b", 2, 0, 3, 3,
         crlf("|run-time error M6103: MATH|- floating-point error: divide by zero|")},
        {"flux_1 = flux_2", 2, 2, 3, 1,
         crlf("|run-time error M6103: MATH|- floating-point error: divide by zero|")},
        {"both spans zero", 2, 2, 3, 3,
         crlf("|run-time error M6101: MATH|- floating-point error: invalid|")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.trace);
        const auto result = testing::run_in_child([&] {
            ReportScales scales{.ref_a = row.ref_a, .ref_b = row.ref_b};
            compute_scale_factors(scales, fluxes(row.flux_1, row.flux_2));
        });
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, row.err);
    }
}

}  // namespace
}  // namespace linesynth
