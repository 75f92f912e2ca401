// Number texts that read back as the same value: the shortest decimal text of
// a 32-bit or 64-bit real that converts back to exactly that real (round to
// nearest), with the exponent form only where it is shorter:
//   0.3f -> "0.3";  0.30000001192092896 -> "0.30000001192092896"
//   1e-5f -> "1e-05";  1e8f -> "1e+08";  123456.0f -> "123456";  -0.0f -> "-0"
#pragma once

#include <string>

namespace linesynth::tools {

std::string shortest_text(float value);
std::string shortest_text(double value);

}  // namespace linesynth::tools
