#include "spectrum/spectrum_store.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <memory>
#include <vector>

namespace linesynth {
namespace {

std::uint32_t bits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

// One component set: the values of its file and its weight.
struct Set {
    std::vector<float> values;
    float weight;
};

// Reads a continuum and the sets into a fresh store the way the run does
// (each set's differences stored as its file is read) and synthesizes with
// resynthesize, the replay the companion uses too.
std::unique_ptr<SpectrumStore> synthesize(const std::vector<float>& continuum,
                                          const std::vector<Set>& sets) {
    auto store = std::make_unique<SpectrumStore>();
    const auto continuum_count = static_cast<std::int32_t>(continuum.size());
    for (std::int32_t i = 1; i <= continuum_count; ++i) {
        store->continuum[i] = continuum[static_cast<std::size_t>(i - 1)];
    }
    std::vector<SpectrumTable> differences(sets.size());
    std::vector<WeightedSet> weighted;
    for (std::size_t k = 0; k < sets.size(); ++k) {
        const auto count = static_cast<std::int32_t>(sets[k].values.size());
        for (std::int32_t i = 1; i <= count; ++i) {
            store_component(*store, i, sets[k].values[static_cast<std::size_t>(i - 1)]);
        }
        differences[k] = store->component;
        weighted.push_back({&differences[k], count, sets[k].weight});
    }
    resynthesize(*store, continuum_count, weighted);
    return store;
}

struct Row {
    const char* trace;
    std::vector<float> continuum;
    std::vector<Set> sets;
    std::vector<float> synthetic;  // expected slots 1, 2, ...
};

void expect_synthetic(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.trace);
        const auto store = synthesize(row.continuum, row.sets);
        for (std::size_t i = 0; i < row.synthetic.size(); ++i) {
            SCOPED_TRACE(i + 1);
            EXPECT_EQ(bits(store->synthetic[static_cast<std::int32_t>(i + 1)]),
                      bits(row.synthetic[i]));
        }
    }
}

// The run's store comes from make_zero_store, not from new; both must start
// with every value zero.
void expect_zero(const SpectrumStore& store) {
    EXPECT_EQ(store.point_count, 0);
    EXPECT_EQ(store.norm_a, 0);
    EXPECT_EQ(store.norm_b, 0);
    EXPECT_EQ(bits(store.max_observed), 0u);
    for (const SpectrumTable* table : {&store.wavelengths, &store.observed, &store.continuum,
                                       &store.synthetic, &store.component}) {
        for (const float slot : table->slots) {
            ASSERT_EQ(bits(slot), 0u);
        }
    }
}

TEST(SpectrumStore, TablesStartAtZeroAndCountFromOne) {
    expect_zero(*std::make_unique<SpectrumStore>());
    const StoreHandle store = make_zero_store();
    expect_zero(*store);
    store->observed[1] = 1.5f;
    store->observed[max_points] = 2.5f;
    EXPECT_EQ(store->observed.slots.front(), 1.5f);
    EXPECT_EQ(store->observed.slots.back(), 2.5f);
}

TEST(Synthesis, SetsThatChangeNothing) {
    const std::vector<float> continuum{1.0f, -3.25f, 0x1p-149f, -0.0f, 0x1.fffffep127f};
    expect_synthetic({
        {"no sets: the continuum bit for bit", continuum, {}, continuum},
        {"weight 0", {1.0f, -3.25f}, {{{7.0f, 0x1.8p100f}, 0.0f}}, {1.0f, -3.25f}},
        {"values equal to the continuum", {1.0f, -3.25f}, {{{1.0f, -3.25f}, 3.0f}}, {1.0f, -3.25f}},
    });
}

TEST(Synthesis, SetsAddInOrderEachNarrowed) {
    // The product component * weight is exact in double. In the last row it is
    // 0x1.001p0 * 0x1.0008p0 = 1 + 2^-12 + 2^-13 + 2^-25 = 0x1.0018008p0, and
    // the synthetic 2048 + 2^-12 plus that is 2049 + 3 * 2^-13 + 2^-25, exact in
    // double. Around 2049 the 32-bit reals are 2^-12 apart: the sum lies 2^-25
    // above the tie between 2049 + 2^-11 and 2049 + 3 * 2^-12 and goes up, to
    // 0x1.002006p11. Narrowed first, the product would be 0x1.0018p0 and the
    // sum the exact tie, which goes to the even 2049 + 2^-11 = 0x1.002004p11.
    expect_synthetic({
        {"two sets", {1.0f}, {{{0.5f}, 0.5f}, {{0.75f}, 2.0f}}, {0.25f}},
        {"first of two sets", {1.0f}, {{{0.5f}, 0.5f}}, {0.75f}},
        {"product kept in double",
         {0x1.000002p11f},
         {{{0x1.002004p11f}, 0x1.0008p0f}},
         {0x1.002006p11f}},
    });
}

TEST(Synthesis, OrderOfTheSetsCanChangeTheLastBit) {
    // Continuum 1. Set "down" has value 0.5 (component -0.5) and set "up" value
    // 1.5 (component 0.5), both with weight 2^-23: contributions -2^-24 and
    // +2^-24, exact.
    // down, up: 1 - 2^-24 = 0x1.fffffep-1 is a 32-bit real; adding 2^-24 gives 1.
    // up, down: 1 + 2^-24 lies halfway between 1 and 1 + 2^-23 and goes to the
    //   even 1; subtracting 2^-24 then gives 0x1.fffffep-1.
    const Set down{{0.5f}, 0x1p-23f};
    const Set up{{1.5f}, 0x1p-23f};
    expect_synthetic({
        {"down, up", {1.0f}, {down, up}, {1.0f}},
        {"up, down", {1.0f}, {up, down}, {0x1.fffffep-1f}},
    });
}

TEST(Synthesis, SetCoversOnlyItsOwnPoints) {
    // Three continuum points; the component file's count decides the slots.
    // A longer file meets continuum and synthetic 0 in its extra slot.
    expect_synthetic({
        {"shorter file", {1.0f, 2.0f, 3.0f}, {{{2.0f}, 1.0f}}, {2.0f, 2.0f, 3.0f}},
        {"empty file", {1.0f, 2.0f}, {{{}, 1.0f}}, {1.0f, 2.0f}},
        {"longer file", {1.0f}, {{{2.0f, 5.0f}, 0.5f}}, {1.5f, 2.5f}},
    });
}

TEST(Synthesis, CountOutsideTheTableStaysInside) {
    const auto store = std::make_unique<SpectrumStore>();
    for (std::int32_t i = 1; i <= max_points; ++i) {
        store->component[i] = 1.0f;
    }
    const std::int32_t counts[] = {-5, 0, max_points + 1};
    const float expected[] = {0.0f, 0.0f, 2.0f};
    for (std::size_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(counts[k]);
        store->point_count = counts[k];
        add_component_set(*store, 2.0f);
        EXPECT_EQ(store->synthetic[1], expected[k]);
        EXPECT_EQ(store->synthetic[max_points], expected[k]);
    }
}

}  // namespace
}  // namespace linesynth
