// A whole run at the largest size the files allow: 10000 observed points and
// ten component sets of 10000 points each (about 1.1 MB of input), read,
// combined, written to the three tables and appended to the summary page.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "run/entry.h"

namespace {

constexpr int points = 10000;
constexpr int sets = 10;

void write(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

// Writes the largest data set into `dir`.
void make_data_set(const std::filesystem::path& dir) {
    std::mt19937 random(6563);
    std::normal_distribution<double> noise(0.0, 30.0);
    std::string weights = std::to_string(sets) + "\n";
    for (int j = 1; j <= sets; ++j) {
        weights += number(0.1 * j) + "\n";
    }
    write(dir / "synthesis.txt", weights);
    write(dir / "vlt.txt", "largest run\n1\n0\n6000 7000\n1 10001\n1 10000\n0 0 0.5\n");
    std::string observed = std::to_string(points) + " 2 4\n";
    std::string continuum = std::to_string(points) + "\n";
    for (int i = 0; i < points; ++i) {
        observed += number(6000 + 0.1 * i) + " " + number(1000 + noise(random)) + "\n";
        continuum += "1.0\n";
    }
    write(dir / "FDftn.txt", observed);
    write(dir / "continum.txt", continuum);
    for (int j = 1; j <= sets; ++j) {
        std::string component = std::to_string(points) + "\n";
        for (int i = 0; i < points; ++i) {
            const double x = (i - 5000) / (50.0 * j);
            component += number(1 - 0.5 * std::exp(-x * x)) + "\n";
        }
        write(dir / ("VeltoOut" + std::to_string(j) + ".txt"), component);
    }
    write(dir / "qdqd.txt", "1\n0\n");
}

void whole_run(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("linesynth-bench-run-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directory(dir);
    make_data_set(dir);
    ::setenv("TAVO_DIR", (dir.string() + "/").c_str(), 1);
    // The stop line goes to the null device rather than into the report.
    const int saved_stdout = ::dup(STDOUT_FILENO);
    const int null_device = ::open("/dev/null", O_WRONLY);
    ::dup2(null_device, STDOUT_FILENO);
    int status = 0;
    for (auto _ : state) {
        status |= linesynth::run_linesynth();
    }
    ::dup2(saved_stdout, STDOUT_FILENO);
    ::close(null_device);
    ::close(saved_stdout);
    std::filesystem::remove_all(dir);
    if (status != 0) {
        state.SkipWithError("the run did not complete");
    }
}
BENCHMARK(whole_run)->Unit(benchmark::kMillisecond);

}  // namespace
