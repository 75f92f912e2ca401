#include "tools/fit/uncertainty.h"

#include <cmath>
#include <limits>

namespace linesynth::tools {

std::vector<std::optional<double>> formal_errors(const Eigen::MatrixXd& jacobian,
                                                 const std::vector<bool>& at_bound,
                                                 double variance_factor) {
    const Eigen::Index n = jacobian.cols();
    std::vector<std::optional<double>> errors(static_cast<std::size_t>(n));
    std::vector<Eigen::Index> free;
    for (Eigen::Index j = 0; j < n; ++j) {
        if (!at_bound[static_cast<std::size_t>(j)]) {
            free.push_back(j);
        }
    }
    const auto m = static_cast<Eigen::Index>(free.size());
    if (m == 0 || jacobian.rows() < m) {
        return errors;
    }
    Eigen::MatrixXd sub(jacobian.rows(), m);
    for (Eigen::Index k = 0; k < m; ++k) {
        sub.col(k) = jacobian.col(free[static_cast<std::size_t>(k)]);
    }
    // J = U S V^T gives (J^T J)^-1 = V S^-2 V^T: the SVD keeps the small
    // singular values that make a poorly determined parameter's error large.
    const Eigen::HouseholderQR<Eigen::MatrixXd> qr(sub);
    const Eigen::MatrixXd r = qr.matrixQR().topRows(m).triangularView<Eigen::Upper>();
    const Eigen::JacobiSVD<Eigen::MatrixXd> svd(r, Eigen::ComputeFullV);
    const Eigen::VectorXd& values = svd.singularValues();
    const double floor =
        values(0) * static_cast<double>(m) * std::numeric_limits<double>::epsilon();
    if (!(values(m - 1) > floor)) {
        return errors;
    }
    const Eigen::MatrixXd scaled = svd.matrixV() * values.cwiseInverse().asDiagonal();
    for (Eigen::Index k = 0; k < m; ++k) {
        const double variance = scaled.row(k).squaredNorm() * variance_factor;
        errors[static_cast<std::size_t>(free[static_cast<std::size_t>(k)])] = std::sqrt(variance);
    }
    return errors;
}

}  // namespace linesynth::tools
