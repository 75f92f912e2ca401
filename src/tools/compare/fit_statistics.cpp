#include "tools/compare/fit_statistics.h"

#include <cassert>
#include <cmath>

namespace linesynth::tools {

double chi_squared(const std::vector<ComparedRow>& rows) {
    double sum = 0;
    for (const ComparedRow& row : rows) {
        const double scaled = residual(row) / row.sigma;
        sum += scaled * scaled;
    }
    return sum;
}

FitStatistics fit_statistics(const std::vector<ComparedRow>& rows) {
    assert(!rows.empty());
    FitStatistics stats;
    stats.points = static_cast<std::int64_t>(rows.size());
    double sum = 0;
    double sum_squares = 0;
    double sum_abs = 0;
    double sum_relative = 0;
    std::int64_t relative_count = 0;
    for (const ComparedRow& row : rows) {
        const double r = residual(row);
        const double magnitude = std::fabs(r);
        sum += r;
        sum_squares += r * r;
        sum_abs += magnitude;
        if (magnitude > stats.max_abs || row.index == rows.front().index) {
            stats.max_abs = magnitude;
            stats.max_abs_wavelength = row.wavelength;
        }
        if (row.observed != 0) {
            sum_relative += magnitude / std::fabs(static_cast<double>(row.observed));
            ++relative_count;
        }
    }
    const auto count = static_cast<double>(stats.points);
    stats.mean = sum / count;
    stats.rms = std::sqrt(sum_squares / count);
    stats.mean_abs = sum_abs / count;
    stats.chi2 = chi_squared(rows);
    stats.chi2_per_point = stats.chi2 / count;
    if (relative_count > 0) {
        stats.adev_percent = 100 * (sum_relative / static_cast<double>(relative_count));
    }
    return stats;
}

}  // namespace linesynth::tools
