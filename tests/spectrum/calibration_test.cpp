#include "spectrum/calibration.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "test_support.h"

namespace linesynth {
namespace {

using testing::crlf;
using testing::run_in_child;

constexpr std::int32_t int_max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t int_min = std::numeric_limits<std::int32_t>::min();

enum class Conversion { pixel_to_wavelength, wavelength_to_pixel, flux_to_level, level_to_flux };

// One call of a conversion. The argument and the expected result are written
// as doubles that hold the 32-bit value exactly; real results compare bit for bit.
struct Row {
    const char* trace;
    CalibrationSet calibration;
    Conversion conversion;
    double argument;
    double expected;
};

std::uint32_t bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

void expect_conversions(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.trace);
        const CalibrationSet& cal = row.calibration;
        switch (row.conversion) {
            case Conversion::pixel_to_wavelength:
                EXPECT_EQ(bits(pixel_to_wavelength(cal, static_cast<std::int32_t>(row.argument))),
                          bits(static_cast<float>(row.expected)));
                break;
            case Conversion::wavelength_to_pixel:
                EXPECT_EQ(wavelength_to_pixel(cal, static_cast<float>(row.argument)),
                          static_cast<std::int32_t>(row.expected));
                break;
            case Conversion::flux_to_level:
                EXPECT_EQ(flux_to_level(cal, static_cast<float>(row.argument)),
                          static_cast<std::int32_t>(row.expected));
                break;
            case Conversion::level_to_flux:
                EXPECT_EQ(bits(level_to_flux(cal, static_cast<std::int32_t>(row.argument))),
                          bits(static_cast<float>(row.expected)));
                break;
        }
    }
}

// Wavelengths and fluxes 4000 / 5000 at pixels and levels 1 / 1001: one unit
// per pixel, pixel 501 in the middle.
constexpr CalibrationSet grid{.wl_1 = 4000,
                              .wl_2 = 5000,
                              .px_1 = 1,
                              .px_2 = 1001,
                              .flux_1 = 4000,
                              .level_1 = 1,
                              .level_2 = 1001,
                              .flux_2 = 5000};
// Slope 1 through the origin, so that the value is the argument, exactly.
constexpr CalibrationSet unit{.wl_1 = 0,
                              .wl_2 = 1,
                              .px_1 = 0,
                              .px_2 = 1,
                              .flux_1 = 1,
                              .level_1 = 1,
                              .level_2 = 0,
                              .flux_2 = 0};

TEST(Calibration, ReferencePointsMapOntoEachOther) {
    expect_conversions({
        {"501 -> 4500", grid, Conversion::pixel_to_wavelength, 501, 4500},
        {"px_2 -> wl_2", grid, Conversion::pixel_to_wavelength, 1001, 5000},
        {"px_1 -> wl_1", grid, Conversion::pixel_to_wavelength, 1, 4000},
        {"4500 -> 501", grid, Conversion::wavelength_to_pixel, 4500, 501},
        {"wl_2 -> px_2", grid, Conversion::wavelength_to_pixel, 5000, 1001},
        {"4500 -> level 501", grid, Conversion::flux_to_level, 4500, 501},
        {"flux_2 -> level_2", grid, Conversion::flux_to_level, 5000, 1001},
        {"flux_1 -> level_1", grid, Conversion::flux_to_level, 4000, 1},
        {"level 501 -> 4500", grid, Conversion::level_to_flux, 501, 4500},
        {"level_2 -> flux_2", grid, Conversion::level_to_flux, 1001, 5000},
    });
}

TEST(Calibration, RoundsHalvesAwayFromZero) {
    // Flux -2^-149 over a flux span of 2^100 gives the value -2^-249, which
    // narrows to -0.0f.
    constexpr CalibrationSet tiny_flux{.flux_1 = 0x1p100f, .level_1 = 1};
    expect_conversions({
        {"pixel 2.5", unit, Conversion::wavelength_to_pixel, 2.5, 3},
        {"pixel -2.5", unit, Conversion::wavelength_to_pixel, -2.5, -3},
        {"pixel 3.5", unit, Conversion::wavelength_to_pixel, 3.5, 4},
        {"pixel 2.25", unit, Conversion::wavelength_to_pixel, 2.25, 2},
        {"pixel -0", unit, Conversion::wavelength_to_pixel, -0.0, 0},
        {"level 2.5", unit, Conversion::flux_to_level, 2.5, 3},
        {"level -2.5", unit, Conversion::flux_to_level, -2.5, -3},
        {"level -3.5", unit, Conversion::flux_to_level, -3.5, -4},
        {"level -2.75", unit, Conversion::flux_to_level, -2.75, -3},
        {"level from -0.0f", tiny_flux, Conversion::flux_to_level, -0x1p-149, 0},
    });
}

TEST(Calibration, NarrowingPlaceShowsInResults) {
    // wl / flux 3 and 0 at px / level 3 and 2: value = argument / 3 + 2.
    // 0x1.7ffffcp0 = 1.5 - 2^-22, so the value is 2.5 - 2^-22 / 3 = 2.4999999205.
    // As a double it rounds to 2; the nearest 32-bit reals are 2.5 and
    // 2.5 - 2^-22, and it lies 0.8e-7 from 2.5, closer than half the spacing
    // (1.2e-7), so narrowed it is 2.5 and rounds to 3.
    constexpr CalibrationSet thirds{.wl_1 = 3,
                                    .wl_2 = 0,
                                    .px_1 = 3,
                                    .px_2 = 2,
                                    .flux_1 = 3,
                                    .level_1 = 3,
                                    .level_2 = 2,
                                    .flux_2 = 0};
    // 1 and 0 at 10 and 0: slope 0.1. In double, 9 * 0.1 narrows to 0x1.ccccccp-1.
    // level_to_flux narrows the slope to 0x1.99999ap-4 = 13421773 * 2^-27;
    // times 9 is 120795957 * 2^-27 = 15099494.625 * 2^-24, which narrows to
    // 15099495 * 2^-24 = 0x1.cccccep-1, one unit above.
    constexpr CalibrationSet tenths{.wl_1 = 1,
                                    .wl_2 = 0,
                                    .px_1 = 10,
                                    .px_2 = 0,
                                    .flux_1 = 1,
                                    .level_1 = 10,
                                    .level_2 = 0,
                                    .flux_2 = 0};
    expect_conversions({
        {"pixel from 2.4999999", thirds, Conversion::wavelength_to_pixel, 0x1.7ffffcp0, 2},
        {"level from 2.4999999", thirds, Conversion::flux_to_level, 0x1.7ffffcp0, 3},
        {"wavelength, double slope", tenths, Conversion::pixel_to_wavelength, 9, 0x1.ccccccp-1},
        {"flux, narrowed slope", tenths, Conversion::level_to_flux, 9, 0x1.cccccep-1},
    });
}

TEST(Calibration, DegeneratePairOfTheOtherKindDoesNotStop) {
    constexpr CalibrationSet same_wavelength{.wl_1 = 4500, .wl_2 = 4500, .px_1 = 1, .px_2 = 1001};
    constexpr CalibrationSet same_pixel{.wl_1 = 4000, .wl_2 = 5000, .px_1 = 7, .px_2 = 7};
    // flux_1 = 0 is a usable flux pair as long as flux_2 differs:
    // ratio = (flux - 4) / -4, value = ratio * -8 + 8 = 2 * flux.
    constexpr CalibrationSet zero_flux_1{.flux_1 = 0, .level_1 = 0, .level_2 = 8, .flux_2 = 4};
    constexpr CalibrationSet same_flux{.flux_1 = 2, .level_1 = 1, .level_2 = 5, .flux_2 = 2};
    expect_conversions({
        {"equal wl, pixel 1", same_wavelength, Conversion::pixel_to_wavelength, 1, 4500},
        {"equal wl, pixel -5", same_wavelength, Conversion::pixel_to_wavelength, -5, 4500},
        {"equal wl, INT_MAX", same_wavelength, Conversion::pixel_to_wavelength, int_max, 4500},
        {"equal px, 4000", same_pixel, Conversion::wavelength_to_pixel, 4000, 7},
        {"equal px, -2.5e38", same_pixel, Conversion::wavelength_to_pixel, -0x1.8p127, 7},
        {"flux_1 = 0, flux 2", zero_flux_1, Conversion::flux_to_level, 2, 4},
        {"flux_1 = 0, flux 0", zero_flux_1, Conversion::flux_to_level, 0, 0},
        {"flux_1 = 0, flux_2", zero_flux_1, Conversion::flux_to_level, 4, 8},
        {"flux_1 = 0, level 6", zero_flux_1, Conversion::level_to_flux, 6, 3},
        {"equal flux, level 9", same_flux, Conversion::level_to_flux, 9, 2},
    });
}

TEST(Calibration, IntegerDifferencesWrap) {
    // pixel - px_2 = INT_MAX - INT_MIN wraps to -1: wavelength -1, not 4.29e9.
    constexpr CalibrationSet low_pixels{.wl_1 = 1, .wl_2 = 0, .px_1 = int_min + 1, .px_2 = int_min};
    // level_1 - level_2 wraps to -1: value -1 + INT_MIN = -2147483649, which
    // narrows to -0x1p31f and rounds to INT_MIN. Unwrapped it would be
    // 2147483647 and overflow.
    constexpr CalibrationSet wide_levels{.flux_1 = 1, .level_1 = int_max, .level_2 = int_min};
    expect_conversions({
        {"pixel wraps", low_pixels, Conversion::pixel_to_wavelength, int_max, -1},
        {"level span wraps", wide_levels, Conversion::flux_to_level, 1, int_min},
        {"level span wraps back", wide_levels, Conversion::level_to_flux, int_max, 1},
    });
}

TEST(Calibration, PixelRoundedAtTheEdgesOfTheRange) {
    expect_conversions({
        {"largest float below 2^31", unit, Conversion::wavelength_to_pixel, 2147483520, 2147483520},
        {"-2^31", unit, Conversion::wavelength_to_pixel, -2147483648.0, int_min},
        {"level -2^31", unit, Conversion::flux_to_level, -2147483648.0, int_min},
    });
}

// What a child process shows when a conversion ends the run.
struct EndRow {
    const char* trace;
    std::function<void()> call;
    int status;
    std::string out;
    std::string err;
};

void expect_run_ends(const std::vector<EndRow>& rows) {
    for (const EndRow& row : rows) {
        SCOPED_TRACE(row.trace);
        const testing::ProcessResult result = run_in_child(
            [&] {
                row.call();
                platform::write_stdout("returned");
            },
            "\n");
        EXPECT_EQ(result.status, row.status);
        EXPECT_EQ(result.out, row.out);
        EXPECT_EQ(result.err, row.err);
    }
}

TEST(Calibration, UnusablePairRunsTheErrorStop) {
    constexpr CalibrationSet same_pixel{.wl_1 = 4000, .wl_2 = 5000, .px_1 = 7, .px_2 = 7};
    constexpr CalibrationSet same_wavelength{.wl_1 = 4500, .wl_2 = 4500, .px_1 = 1, .px_2 = 9};
    constexpr CalibrationSet signed_zeros{.wl_1 = 0.0f, .wl_2 = -0.0f, .px_1 = 1, .px_2 = 9};
    constexpr CalibrationSet same_level{.flux_1 = 1, .level_1 = 3, .level_2 = 3, .flux_2 = 2};
    constexpr CalibrationSet same_flux{.flux_1 = 2, .level_1 = 1, .level_2 = 5, .flux_2 = 2};
    constexpr CalibrationSet zero_fluxes{.flux_1 = 0.0f, .level_1 = 1, .flux_2 = -0.0f};
    // The first line and the console line are records; the pause and the stop
    // each start on a fresh line, and the process end closes the stop's line.
    const std::string pixel_out = crlf(
        "ERROR ON TERENNING WAVE LENGTH INTO pixel CALIBRATION ERROR|"
        "ENTER TO STOP OR YOUR COMMAND|"
        "Pause - Please enter a blank line (to continue) or a DOS command.||"
        "ERROR ON TERENNING WAVE LENGTH INTO pixel CALIBRATION ERROR||");
    const std::string wave_out = crlf(
        "ERROR ON TERENNING WAVE LENGTH INTO pixel CALIBRATION ERROR|"
        "ENTER TO STOP OR YOUR COMMAND|"
        "Pause - Please enter a blank line (to continue) or a DOS command.||"
        "ERROR ON TERENNING WAVE LENGTH INTO pixel||");
    const std::string flux_out =
        "ERROR ON TERENNING  pixel INTO flux CALIBRATION ERROR\r\n"
        "ENTER TO STOP OR YOUR COMMAND\r\n"
        "Pause - Please enter a blank line (to continue) or a DOS command.\r\n\r\n"
        "ERROR ON TERENNING  pixel INTO flux\r\n\r\n";
    expect_run_ends({
        {"px_1 = px_2", [&] { pixel_to_wavelength(same_pixel, 3); }, 0, pixel_out, ""},
        {"wl_1 = wl_2", [&] { wavelength_to_pixel(same_wavelength, 1); }, 0, wave_out, ""},
        {"0 = -0", [&] { wavelength_to_pixel(signed_zeros, 1); }, 0, wave_out, ""},
        {"level_1 = level_2", [&] { flux_to_level(same_level, 1); }, 0, flux_out, ""},
        // Unchecked, equal fluxes would divide by zero, or 0 by 0 for the flux flux_2.
        {"flux_1 = flux_2", [&] { flux_to_level(same_flux, 7); }, 0, flux_out, ""},
        {"flux = flux_1 = flux_2", [&] { flux_to_level(same_flux, 2); }, 0, flux_out, ""},
        {"fluxes 0 and -0", [&] { flux_to_level(zero_fluxes, 1); }, 0, flux_out, ""},
        {"level_to_flux", [&] { level_to_flux(same_level, 1); }, 0, flux_out, ""},
    });
}

TEST(Calibration, ResultBeyondItsTypeIsAnOverflowFault) {
    const std::string overflow =
        crlf("|run-time error M6104: MATH|- floating-point error: overflow|");
    // 2.6e38 at pixel 1 and -2.6e38 at pixel 0: pixel 2 is at 7.7e38.
    constexpr CalibrationSet steep{.wl_1 = 0x1.8p127f, .wl_2 = -0x1.8p127f, .px_1 = 1};
    // The value 2.6e38 / 2^-149 does not narrow.
    constexpr CalibrationSet tiny_span{.flux_1 = 0x1p-149f, .level_1 = 1};
    expect_run_ends({
        {"pixel 2^31", [] { wavelength_to_pixel(unit, 0x1p31f); }, 1, "", overflow},
        {"pixel below -2^31", [] { wavelength_to_pixel(unit, -0x1.000002p31f); }, 1, "", overflow},
        {"level 2^31", [] { flux_to_level(unit, 0x1p31f); }, 1, "", overflow},
        {"level not narrowed", [&] { flux_to_level(tiny_span, 0x1.8p127f); }, 1, "", overflow},
        {"wavelength not narrowed", [&] { pixel_to_wavelength(steep, 2); }, 1, "", overflow},
    });
}

TEST(Calibration, WavelengthPairUsable) {
    const struct {
        float wl_1, wl_2;
        bool usable;
    } rows[] = {
        {4000, 5000, true}, {4500, 4500, false}, {0.0f, -0.0f, false}, {0x1p-149f, 0, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.wl_1);
        EXPECT_EQ(wavelength_pair_usable(CalibrationSet{.wl_1 = row.wl_1, .wl_2 = row.wl_2}),
                  row.usable);
    }
}

}  // namespace
}  // namespace linesynth
