#include "tools/fit/conditioning.h"

#include <cmath>
#include <limits>

namespace linesynth::tools {
namespace {

void add_shares(const Eigen::VectorXd& vector, std::vector<bool>& named) {
    for (Eigen::Index j = 0; j < vector.size(); ++j) {
        if (std::fabs(vector(j)) > dependency_share) {
            named[static_cast<std::size_t>(j)] = true;
        }
    }
}

std::vector<Eigen::Index> named_columns(const std::vector<bool>& named) {
    std::vector<Eigen::Index> columns;
    for (std::size_t j = 0; j < named.size(); ++j) {
        if (named[j]) {
            columns.push_back(static_cast<Eigen::Index>(j));
        }
    }
    return columns;
}

}  // namespace

Conditioning conditioning(const Eigen::MatrixXd& design) {
    Conditioning result;
    const Eigen::Index n = design.cols();
    if (n == 0) {
        return result;
    }
    // A column of zeros stays zero: it is dependent on its own.
    Eigen::MatrixXd unit = design;
    for (Eigen::Index j = 0; j < n; ++j) {
        const double length = unit.col(j).norm();
        if (length > 0) {
            unit.col(j) /= length;
        }
    }
    // The singular values of the triangle of a QR are those of the tall
    // matrix; the SVD then works on n x n numbers only.
    Eigen::MatrixXd square = unit;
    if (unit.rows() > n) {
        const Eigen::HouseholderQR<Eigen::MatrixXd> qr(unit);
        square = qr.matrixQR().topRows(n).triangularView<Eigen::Upper>();
    }
    const Eigen::JacobiSVD<Eigen::MatrixXd> svd(square, Eigen::ComputeFullV);
    const Eigen::VectorXd& values = svd.singularValues();  // descending
    const Eigen::MatrixXd& vectors = svd.matrixV();
    const double largest = values(0);
    const double smallest = values.size() < n ? 0.0 : values(values.size() - 1);
    result.condition_number =
        smallest > 0 ? largest / smallest : std::numeric_limits<double>::infinity();
    std::vector<bool> named(static_cast<std::size_t>(n), false);
    for (Eigen::Index k = 0; k < values.size(); ++k) {
        if (values(k) > rank_tolerance * largest) {
            ++result.rank;
        } else {
            add_shares(vectors.col(k), named);
        }
    }
    // Fewer rows than columns: the missing singular values are zero.
    for (Eigen::Index k = values.size(); k < n; ++k) {
        add_shares(vectors.col(k), named);
    }
    if (result.rank < n) {
        result.dependent = named_columns(named);
    } else if (result.condition_number > condition_warning) {
        add_shares(vectors.col(n - 1), named);
        result.nearly_dependent = named_columns(named);
    }
    return result;
}

}  // namespace linesynth::tools
