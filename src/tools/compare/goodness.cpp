#include "tools/compare/goodness.h"

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/normal.hpp>
#include <cmath>

namespace linesynth::tools {

Goodness goodness_of_fit(double chi2, std::int64_t rows, std::int64_t parameters,
                         bool sigma_from_file) {
    Goodness goodness;
    goodness.dof = rows - parameters;
    if (goodness.dof < 1 || !std::isfinite(chi2)) {
        return goodness;
    }
    const auto dof = static_cast<double>(goodness.dof);
    goodness.chi2_reduced = chi2 / dof;
    if (sigma_from_file) {
        // The complement is computed directly (the regularised upper incomplete
        // gamma function), so a tiny tail is not lost as 1 - (almost 1).
        const boost::math::chi_squared_distribution<double> distribution(dof);
        goodness.p_value = boost::math::cdf(boost::math::complement(distribution, chi2));
    }
    return goodness;
}

double normal_cdf(double t) {
    return boost::math::cdf(boost::math::normal_distribution<double>(), t);
}

double normal_upper_quantile(double p) {
    return boost::math::quantile(
        boost::math::complement(boost::math::normal_distribution<double>(), p));
}

}  // namespace linesynth::tools
