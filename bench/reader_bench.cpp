// Throughput of the free-form read on a spectrum-like file: 10000 records of
// two reals each, read as one free-form read of two reals per record.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "textio/record_reader.h"
#include "textio/text_unit.h"

namespace {

constexpr int row_count = 10000;

// A file of row_count records "<fixed> <exponent form>" with CR LF line ends.
class SpectrumFile {
public:
    SpectrumFile() {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                ("linesynth-bench-reader-" + std::to_string(seed()) + ".txt");
        std::mt19937 random(12345);
        std::uniform_real_distribution<double> wavelength(3000.0, 9000.0);
        std::uniform_real_distribution<double> flux(-1e-3, 5e-2);
        std::string bytes;
        char record[64];
        for (int i = 0; i < row_count; ++i) {
            const int n = std::snprintf(record, sizeof record, " %.6f %.6E\r\n", wavelength(random),
                                        flux(random));
            bytes.append(record, static_cast<std::size_t>(n));
        }
        std::ofstream(path_, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        size_ = bytes.size();
    }
    ~SpectrumFile() { std::filesystem::remove(path_); }
    SpectrumFile(const SpectrumFile&) = delete;
    SpectrumFile& operator=(const SpectrumFile&) = delete;

    std::string path() const { return path_.string(); }
    std::size_t size() const { return size_; }

private:
    std::filesystem::path path_;
    std::size_t size_ = 0;
};

void BM_ReadTwoRealsPerRecord(benchmark::State& state) {
    const SpectrumFile file;
    for (auto _ : state) {
        linesynth::TextUnit unit;
        linesynth::open_file(unit, file.path());
        for (int i = 0; i < row_count; ++i) {
            float wavelength = 0;
            float flux = 0;
            linesynth::begin_read(unit.reader, linesynth::ReadMode::free_form);
            linesynth::get_real(unit.reader, wavelength);
            linesynth::get_real(unit.reader, flux);
            linesynth::end_read(unit.reader);
            benchmark::DoNotOptimize(wavelength);
            benchmark::DoNotOptimize(flux);
        }
        linesynth::close_file(unit);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.size()));
    state.counters["file_bytes"] = static_cast<double>(file.size());
}
BENCHMARK(BM_ReadTwoRealsPerRecord)->Unit(benchmark::kMillisecond);

}  // namespace
