#include "inputs/input_files.h"

#include <algorithm>

#include "inputs/run_parameters.h"

namespace linesynth {

std::string component_file_name(std::int32_t set) {
    return "VeltoOut" + std::to_string(set) + ".txt";
}

std::vector<std::string> input_file_names(std::int32_t set_count) {
    std::vector<std::string> names{weights_file_name, parameter_file_name, observed_file_name,
                                   continuum_file_name};
    for (std::int32_t set = 1; set <= std::min(set_count, max_component_sets); ++set) {
        names.push_back(component_file_name(set));
    }
    names.emplace_back(scale_file_name);
    return names;
}

}  // namespace linesynth
