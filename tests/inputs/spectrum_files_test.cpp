// The spectrum files read from real files into a store.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "inputs/spectrum_files.h"
#include "reports/scales.h"
#include "test_support.h"
#include "textio/text_unit.h"

namespace linesynth {
namespace {

using testing::crlf;
using testing::run_in_child;
using testing::TempDir;
using testing::write_file;

enum class Kind { observed, continuum, component };

void read_into(SpectrumStore& store, Kind kind, const std::string& bytes) {
    TempDir dir;
    write_file(dir.file("spectrum.txt"), bytes);
    TextUnit unit;
    open_file(unit, dir.file("spectrum.txt"));
    switch (kind) {
        case Kind::observed:
            read_observed_file(unit.reader, store);
            break;
        case Kind::continuum:
            read_continuum_file(unit.reader, store);
            break;
        case Kind::component:
            read_component_file(unit.reader, store);
            break;
    }
    close_file(unit);
}

std::vector<float> slots(const SpectrumTable& table, std::int32_t first, std::int32_t last) {
    std::vector<float> values;
    for (std::int32_t i = first; i <= last; ++i) {
        values.push_back(table[i]);
    }
    return values;
}

TEST(ObservedFile, Normalisation) {
    struct Case {
        std::string file;
        std::vector<float> observed;
        float max_observed;
    };
    const Case cases[] = {
        {"3 2 4\n1 2\n2 8\n3 4\n", {0.25f, 1.0f, 0.5f}, 8.0f},
        {"3 4 2\n1 2\n2 8\n3 4\n", {2.0f, 8.0f, 4.0f}, 0.0f},
        {"3 2 5\n1 2\n2 8\n3 4\n", {2.0f, 8.0f, 4.0f}, 0.0f},
        {"3 2 4\n1 -4\n2 -1\n3 -2\n", {4.0f, 1.0f, 2.0f}, -1.0f},  // compared with signs
        {"1 2 4\n1 3\n", {1.0f}, 3.0f},
        // Each quotient is narrowed: 1/3 and 2/3 as 32-bit reals.
        {"3 2 4\n1 1\n2 2\n3 3\n", {0x1.555556p-2f, 0x1.555556p-1f, 1.0f}, 3.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        auto store = std::make_unique<SpectrumStore>();
        read_into(*store, Kind::observed, c.file);
        const auto count = static_cast<std::int32_t>(c.observed.size());
        EXPECT_EQ(store->point_count, count);
        EXPECT_EQ(slots(store->observed, 1, count), c.observed);
        EXPECT_EQ(store->max_observed, c.max_observed);
        for (std::int32_t i = 1; i <= count; ++i) {
            EXPECT_EQ(store->wavelengths[i], static_cast<float>(i));
        }
    }
}

TEST(ObservedFile, ZeroMaximumIsAFloatingPointFault) {
    struct Case {
        std::string file;
        std::string report;
    };
    const Case cases[] = {
        {"2 2 4\n1 0\n2 0\n", "|run-time error M6101: MATH|- floating-point error: invalid|"},
        {"2 2 4\n1 -1\n2 0\n",
         "|run-time error M6103: MATH|- floating-point error: divide by zero|"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto result = run_in_child([&] {
            auto store = std::make_unique<SpectrumStore>();
            read_into(*store, Kind::observed, c.file);
        });
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, crlf(c.report));
    }
}

TEST(SpectrumFiles, TenThousandRowsAreReadInFull) {
    std::string observed = "10000 0 0\n";
    std::string single = "10000\n";
    for (int i = 1; i <= 10000; ++i) {
        observed += std::to_string(i) + " " + std::to_string(i % 7) + "\n";
        single += std::to_string(i % 5) + "\n";
    }
    auto store = std::make_unique<SpectrumStore>();
    read_into(*store, Kind::observed, observed);
    EXPECT_EQ(store->point_count, 10000);
    EXPECT_EQ(store->wavelengths[10000], 10000.0f);
    EXPECT_EQ(store->observed[9999], static_cast<float>(9999 % 7));
    read_into(*store, Kind::continuum, single);
    EXPECT_EQ(store->continuum[10000], 0.0f);
    EXPECT_EQ(store->continuum[9999], 4.0f);
}

// A count above 10000 ends the run before any row is read, with the same
// report for every spectrum file.
TEST(SpectrumFiles, CountAboveTenThousandIsRefused) {
    const Kind kinds[] = {Kind::observed, Kind::continuum, Kind::component};
    for (Kind kind : kinds) {
        SCOPED_TRACE(static_cast<int>(kind));
        const std::string file = kind == Kind::observed ? "10001 2 4\nrow\n" : "10001\nrow\n";
        const auto result = run_in_child([&] {
            auto store = std::make_unique<SpectrumStore>();
            read_into(*store, kind, file);
        });
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, crlf("ERROR REPORT|TOO LONG DATA FILE N_sat=      10001|"
                                   "Press Enter to continue|Stop - Program terminated.||"));
        EXPECT_EQ(result.err, "");
    }
}

TEST(SpectrumFiles, ContinuumSeedsSyntheticBitForBit) {
    auto store = std::make_unique<SpectrumStore>();
    read_into(*store, Kind::continuum, "3\n1.1\n-0\n3e-40\n");
    EXPECT_EQ(store->point_count, 3);
    for (std::int32_t i = 1; i <= 3; ++i) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(store->synthetic[i]),
                  std::bit_cast<std::uint32_t>(store->continuum[i]));
    }
    EXPECT_EQ(std::bit_cast<std::uint32_t>(store->continuum[2]), 0x80000000u);
}

// Component files against a continuum of 1 in rows 1 and 2: shorter files
// leave higher rows alone; longer files meet a zero continuum; the last
// file's count is left in point_count.
TEST(SpectrumFiles, ComponentsAreDifferencesFromTheContinuum) {
    auto store = std::make_unique<SpectrumStore>();
    read_into(*store, Kind::continuum, "2\n1\n1\n");
    read_into(*store, Kind::component, "4\n0.5\n1.25\n3\n-2\n");
    EXPECT_EQ(store->point_count, 4);
    EXPECT_EQ(slots(store->component, 1, 5), (std::vector<float>{-0.5f, 0.25f, 3.0f, -2.0f, 0.0f}));
    read_into(*store, Kind::component, "1\n2\n");
    EXPECT_EQ(store->point_count, 1);
    EXPECT_EQ(slots(store->component, 1, 4), (std::vector<float>{1.0f, 0.25f, 3.0f, -2.0f}));
    // The difference is narrowed once: 2^-30 - 1 needs 30 bits and becomes -1.
    read_into(*store, Kind::component, "1\n9.31322574615478515625e-10\n");
    EXPECT_EQ(store->component[1], -1.0f);
}

TEST(ScaleFile, TwoReadsOnTwoRecords) {
    {
        TempDir dir;
        write_file(dir.file("qdqd.txt"), "10 99\n0.5\n");
        TextUnit unit;
        open_file(unit, dir.file("qdqd.txt"));
        ReportScales scales;
        read_scale_file(unit.reader, scales.ref_a, scales.ref_b);
        EXPECT_EQ(scales.ref_a, 10.0f);
        EXPECT_EQ(scales.ref_b, 0.5f);
    }
    TempDir dir;
    const std::string path = dir.file("qdqd.txt");
    write_file(path, "10 0.5");
    const auto result = run_in_child([&] {
        TextUnit unit;
        open_file(unit, path);
        ReportScales scales;
        read_scale_file(unit.reader, scales.ref_a, scales.ref_b);
    });
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              crlf("|run-time error F6501: READ(" + path + ")|- end of file reached during read|"));
}

}  // namespace
}  // namespace linesynth
