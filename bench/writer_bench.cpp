// The cost of the free-form write per real: the text alone, and the text laid
// out four to a record into a file unit, over one million random finite
// 32-bit reals spread over the whole exponent range.
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "textio/real_text.h"
#include "textio/record_writer.h"
#include "textio/text_unit.h"

namespace {

constexpr std::size_t value_count = 1'000'000;

const std::vector<float>& random_reals() {
    static const std::vector<float> values = [] {
        std::mt19937 random(12345);
        std::vector<float> result;
        result.reserve(value_count);
        while (result.size() < value_count) {
            const auto bits = static_cast<std::uint32_t>(random());
            if ((bits & 0x7f800000u) != 0x7f800000u) {  // finite
                result.push_back(std::bit_cast<float>(bits));
            }
        }
        return result;
    }();
    return values;
}

void per_value(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(value_count));
    state.counters["s_per_value"] = benchmark::Counter(
        static_cast<double>(value_count),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void format_real_alone(benchmark::State& state) {
    const auto& values = random_reals();
    char text[linesynth::real_text_room];
    for (auto _ : state) {
        for (const float value : values) {
            benchmark::DoNotOptimize(linesynth::format_real(value, text));
            benchmark::ClobberMemory();
        }
    }
    per_value(state);
}
BENCHMARK(format_real_alone)->Unit(benchmark::kMillisecond);

// Four reals per record, as the residual tables have them, into `path`, which
// each iteration opens afresh (cut at the first write) and closes.
void put_reals(benchmark::State& state, const std::string& path) {
    const auto& values = random_reals();
    for (auto _ : state) {
        linesynth::TextUnit unit;
        linesynth::open_file(unit, path);
        for (std::size_t i = 0; i < values.size(); i += 4) {
            linesynth::begin_record(unit);
            linesynth::put_real(unit, values[i]);
            linesynth::put_real(unit, values[i + 1]);
            linesynth::put_real(unit, values[i + 2]);
            linesynth::put_real(unit, values[i + 3]);
            linesynth::end_record(unit);
        }
        linesynth::close_file(unit);
    }
    per_value(state);
}

// The whole path to a real file: text, layout, and the 1024-byte block writes,
// whose system calls cost as much again as the rest on a virtual machine.
void put_real_to_file(benchmark::State& state) {
    const auto path = (std::filesystem::temp_directory_path() /
                       ("linesynth-bench-" + std::to_string(std::random_device{}()) + ".txt"))
                          .string();
    put_reals(state, path);
    std::filesystem::remove(path);
}
BENCHMARK(put_real_to_file)->Unit(benchmark::kMillisecond);

// The same records with the cheapest possible block writes: what the writer
// itself costs per value.
void put_real_to_null_device(benchmark::State& state) {
    put_reals(state, "/dev/null");
}
BENCHMARK(put_real_to_null_device)->Unit(benchmark::kMillisecond);

}  // namespace
