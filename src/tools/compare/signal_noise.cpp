#include "tools/compare/signal_noise.h"

#include <algorithm>
#include <cmath>

namespace linesynth::tools {
namespace {

// Reorders `values`; precondition: not empty.
double median(std::vector<double>& values) {
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle),
                     values.end());
    const double upper = values[middle];
    if (values.size() % 2 == 1) {
        return upper;
    }
    const double lower =
        *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle));
    return (lower + upper) / 2;
}

}  // namespace

std::optional<double> der_snr(const std::vector<double>& flux) {
    const std::size_t n = flux.size();
    if (n < 5) {
        return std::nullopt;
    }
    std::vector<double> differences;
    differences.reserve(n - 4);
    for (std::size_t i = 2; i + 2 < n; ++i) {
        differences.push_back(std::fabs(2 * flux[i] - flux[i - 2] - flux[i + 2]));
    }
    // 1.482602 turns the median absolute deviation of a Gaussian into its
    // sigma; sqrt(6) is the sigma of 2 f(i) - f(i-2) - f(i+2) in units of the
    // sigma of one flux.
    const double noise = 1.482602 / std::sqrt(6.0) * median(differences);
    if (!(noise > 0)) {
        return std::nullopt;
    }
    std::vector<double> values = flux;
    return median(values) / noise;
}

}  // namespace linesynth::tools
