#include "tools/fit/uncertainty.h"

#include <cmath>
#include <limits>

#include "tools/fit/conditioning.h"

namespace linesynth::tools {

std::optional<Eigen::MatrixXd> covariance(const Eigen::MatrixXd& jacobian,
                                          const std::vector<bool>& at_bound,
                                          double variance_factor) {
    const Eigen::Index n = jacobian.cols();
    std::vector<Eigen::Index> free;
    for (Eigen::Index j = 0; j < n; ++j) {
        if (!at_bound[static_cast<std::size_t>(j)]) {
            free.push_back(j);
        }
    }
    const auto m = static_cast<Eigen::Index>(free.size());
    if (m == 0 || jacobian.rows() < m) {
        return std::nullopt;
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
        return std::nullopt;
    }
    const Eigen::MatrixXd scaled = svd.matrixV() * values.cwiseInverse().asDiagonal();
    const Eigen::MatrixXd inverse = scaled * scaled.transpose() * variance_factor;
    Eigen::MatrixXd result = Eigen::MatrixXd::Zero(n, n);
    for (Eigen::Index k = 0; k < m; ++k) {
        for (Eigen::Index l = 0; l < m; ++l) {
            result(free[static_cast<std::size_t>(k)], free[static_cast<std::size_t>(l)]) =
                inverse(k, l);
        }
    }
    return result;
}

std::vector<std::optional<double>> formal_errors(const Eigen::MatrixXd& jacobian,
                                                 const std::vector<bool>& at_bound,
                                                 double variance_factor) {
    std::vector<std::optional<double>> errors(static_cast<std::size_t>(jacobian.cols()));
    const std::optional<Eigen::MatrixXd> matrix = covariance(jacobian, at_bound, variance_factor);
    if (!matrix) {
        return errors;
    }
    for (Eigen::Index j = 0; j < jacobian.cols(); ++j) {
        if (!at_bound[static_cast<std::size_t>(j)]) {
            errors[static_cast<std::size_t>(j)] = std::sqrt((*matrix)(j, j));
        }
    }
    return errors;
}

Eigen::MatrixXd pseudo_covariance(const Eigen::MatrixXd& jacobian, double variance_factor) {
    const Eigen::Index n = jacobian.cols();
    Eigen::VectorXd lengths(n);
    Eigen::MatrixXd unit = jacobian;
    for (Eigen::Index j = 0; j < n; ++j) {
        lengths(j) = unit.col(j).norm();
        if (lengths(j) > 0) {
            unit.col(j) /= lengths(j);
        }
    }
    const Eigen::JacobiSVD<Eigen::MatrixXd> svd(unit.transpose() * unit, Eigen::ComputeFullV);
    // The singular values of J^T J are the squares of J's.
    const Eigen::VectorXd& values = svd.singularValues();
    Eigen::MatrixXd kept = Eigen::MatrixXd::Zero(n, n);
    for (Eigen::Index k = 0; k < values.size(); ++k) {
        if (values(0) > 0 && std::sqrt(values(k) / values(0)) > rank_tolerance) {
            kept += svd.matrixV().col(k) * svd.matrixV().col(k).transpose() / values(k);
        }
    }
    Eigen::MatrixXd result(n, n);
    for (Eigen::Index k = 0; k < n; ++k) {
        for (Eigen::Index l = 0; l < n; ++l) {
            const double scale = lengths(k) * lengths(l);
            result(k, l) = scale > 0 ? kept(k, l) / scale * variance_factor : 0.0;
        }
    }
    return result;
}

}  // namespace linesynth::tools
