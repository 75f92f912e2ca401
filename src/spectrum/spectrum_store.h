// The run's spectrum arrays and the synthesis of the synthetic spectrum:
//
//   synthetic = continuum + sum over sets J of weight(J) * (component J - continuum)
//
// built one slot and one set at a time, each step narrowed to a 32-bit real
// where it is stored. Every expression is evaluated in double on exactly
// widened operands and narrowed once, ties to even:
//   store_component: value 0.5f, continuum 1.0f            -> component -0.5f
//   add_component_set: component -0.5f, weight 0.5f,
//                      synthetic 1.0f                      -> synthetic 0.75f
//   then component -0.25f (value 0.75f), weight 2.0f       -> synthetic 0.25f
// The product component * weight is exact in double and is not narrowed
// before the addition:
//   component 0x1.001p0f, weight 0x1.0008p0f, synthetic 0x1.000002p11f
//     -> product 0x1.0018008p0 (double), sum narrowed -> 0x1.002006p11f
//        (narrowing the product first to 0x1.0018p0f would give 0x1.002004p11f)
// Each set is added to what the earlier sets left and narrowed on its own, so
// the order of the sets can change the last bit:
//   synthetic 1.0f, contributions -0x1p-24 then +0x1p-24 -> 1.0f
//   synthetic 1.0f, contributions +0x1p-24 then -0x1p-24 -> 0x1.fffffep-1f
//   (1 + 0x1p-24 is a tie between 1 and 0x1.000002p0 and goes to the even 1)
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace linesynth {

// Every table has this many slots, numbered 1 to max_points.
inline constexpr std::int32_t max_points = 10000;

// 32-bit reals in slots 1 to max_points, all 0 until written.
struct SpectrumTable {
    std::array<float, max_points> slots{};

    float& operator[](std::int32_t index) {
        assert(index >= 1 && index <= max_points);
        return slots[static_cast<std::size_t>(index - 1)];
    }
    float operator[](std::int32_t index) const {
        assert(index >= 1 && index <= max_points);
        return slots[static_cast<std::size_t>(index - 1)];
    }
};

// The run's one store: zero at start and never cleared. A slot that the
// current file does not reach keeps what an earlier step left in it. Large
// (five tables of 40000 bytes): the run keeps it on the heap.
struct SpectrumStore {
    SpectrumTable wavelengths;
    // Shared by all spectrum files: each file read replaces it with its own
    // count, and later loops run over slots 1 to the value left.
    std::int32_t point_count = 0;
    SpectrumTable observed;
    SpectrumTable continuum;
    SpectrumTable synthetic;
    SpectrumTable component;  // the current set's difference from the continuum
    // Normalisation values of the observed spectrum.
    std::int32_t norm_a = 0;
    std::int32_t norm_b = 0;
    float max_observed = 0;
};

// The run's store with every value zero, on the heap. It is taken from
// calloc, which hands out memory it knows to be zero (fresh pages from the
// system) without clearing it again, where building it with new would write
// its 200,000 bytes of zeros first. calloc creates the store itself: it is an
// aggregate of floats and integers (an implicit-lifetime type), and all-zero
// bytes are the zero of each of them. Throws std::bad_alloc when there is no
// memory, as new does.
struct FreeStore {
    void operator()(SpectrumStore* store) const;
};
using StoreHandle = std::unique_ptr<SpectrumStore, FreeStore>;
StoreHandle make_zero_store();

// synthetic(index) = continuum(index), bit for bit. Called for each slot as
// soon as its continuum value has been read. Precondition: 1 <= index <= max_points.
void seed_synthetic(SpectrumStore& store, std::int32_t index);

// component(index) = narrow(value - continuum(index)), for the value of a
// component file as read. Precondition: 1 <= index <= max_points.
void store_component(SpectrumStore& store, std::int32_t index, float value);

// For I = 1 to point_count in ascending order:
//   synthetic(I) = narrow(component(I) * weight + synthetic(I)).
// Called once per set, in set order, after that set's file has been read.
// Does nothing when point_count <= 0; a count beyond max_points stops at the
// last slot.
void add_component_set(SpectrumStore& store, float weight);

// One component set as a re-synthesis takes it: the differences from the
// continuum that its file left in the component table (store_component), the
// count its file declared, and the weight to add it with.
struct WeightedSet {
    const SpectrumTable* differences = nullptr;
    std::int32_t count = 0;
    float weight = 0;
};

// The synthesis of the run replayed with other weights, on a store whose
// continuum is the run's and was read with `continuum_count` rows: slots 1 to
// that count seeded from the continuum, then each set in order copied into
// `component` with point_count its count and added with add_component_set.
// So the weights the run reads give the run's synthetic spectrum bit for bit.
// A sum that overflows its narrowing is the run's fault, as in the run.
void resynthesize(SpectrumStore& store, std::int32_t continuum_count,
                  const std::vector<WeightedSet>& sets);

}  // namespace linesynth
