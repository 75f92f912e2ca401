// How well the columns of a design pin their parameters, from the singular
// values of the design with each column scaled to unit length (so that a
// column's units do not count, only its direction).
//
// The inputs carry about seven significant digits, so a singular value below
// 1e-5 of the largest is taken as zero: the rank is the count of the others.
// The condition number is the largest singular value over the smallest
// (infinite when the smallest is 0). Columns with a component above 0.1 in
// magnitude in a right singular vector of a zero singular value are
// dependent; when the rank is full but the condition number is above 1e4,
// those with such a component in the vector of the smallest singular value
// are nearly dependent:
//   columns c1, c2, c1                 -> rank 2, dependent 0 and 2
//   columns c1, 0, c2                  -> rank 2, dependent 1
//   columns c1, c2, (c1 + c2) / 2 off by 1e-7 (seven digits)
//                                      -> rank 2, dependent 0, 1 and 2
//   columns c1, c1 + 1e-4 * c2         -> rank 2, condition above 1e4,
//                                         nearly dependent 0 and 1
//   (c1 = (1, 2, 3), c2 = (0, 1, -1))
#pragma once

#include <Eigen/Dense>
#include <vector>

namespace linesynth::tools {

inline constexpr double rank_tolerance = 1e-5;
inline constexpr double condition_warning = 1e4;
inline constexpr double dependency_share = 0.1;

struct Conditioning {
    Eigen::Index rank = 0;
    double condition_number = 0;
    std::vector<Eigen::Index> dependent;         // columns from 0, ascending
    std::vector<Eigen::Index> nearly_dependent;  // full rank, condition above 1e4
};

Conditioning conditioning(const Eigen::MatrixXd& design);

}  // namespace linesynth::tools
