// The names of the files a run reads from its data directory, in the order
// it reads them. The program opens them; the companion reads the same files
// through the same stage and names them in its reports and on its pages.
//   weights_file_name       -> "synthesis.txt"
//   component_file_name(3)  -> "VeltoOut3.txt"
//   input_file_names(2)     -> synthesis.txt, vlt.txt, FDftn.txt, continum.txt,
//                              VeltoOut1.txt, VeltoOut2.txt, qdqd.txt
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace linesynth {

inline constexpr char weights_file_name[] = "synthesis.txt";
inline constexpr char parameter_file_name[] = "vlt.txt";
inline constexpr char observed_file_name[] = "FDftn.txt";
inline constexpr char continuum_file_name[] = "continum.txt";
inline constexpr char scale_file_name[] = "qdqd.txt";

// The component file of set `set` (1 to max_component_sets): the number in
// decimal without leading zeros.
std::string component_file_name(std::int32_t set);

// Every input of a run with `set_count` component sets, in reading order.
// The sets run from 1 to set_count, at most max_component_sets of them.
std::vector<std::string> input_file_names(std::int32_t set_count);

}  // namespace linesynth
