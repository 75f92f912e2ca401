// Number texts that read back as the same value: the shortest decimal text of
// a 32-bit or 64-bit real that converts back to exactly that real (round to
// nearest), with the exponent form only where it is shorter:
//   0.3f -> "0.3";  0.30000001192092896 -> "0.30000001192092896"
//   1e-5f -> "1e-05";  1e8f -> "1e+08";  123456.0f -> "123456";  -0.0f -> "-0"
// and the list of component sets the reports name (sets at a bound, sets in
// a linear dependency):
//   {1, 3, 10} -> "1, 3, 10";  {} -> "none"
// and an upper limit as a table shows it, to two significant digits:
//   0.0312 -> "< 0.031";  4.56e-05 -> "< 4.6e-05"
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace linesynth::tools {

std::string shortest_text(float value);
std::string shortest_text(double value);

std::string set_list(const std::vector<std::int32_t>& sets);

std::string upper_limit_text(double limit);

}  // namespace linesynth::tools
