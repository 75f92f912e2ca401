#include "inputs/run_parameters.h"

#include "base/run_end.h"

namespace linesynth {

void read_weights_file(RecordReader& file, RunParameters& parameters) {
    read_values(file, parameters.set_count);
    if (parameters.set_count > max_component_sets) {
        end_run(CountFailure{CountLimit::component_sets, parameters.set_count, file.file_name});
    }
    for (std::int32_t set = 1; set <= parameters.set_count; ++set) {
        read_values(file, parameters.weights[static_cast<std::size_t>(set - 1)]);
    }
}

void read_parameter_file(RecordReader& file, RunParameters& parameters,
                         CalibrationSet& calibration) {
    RunParameters& p = parameters;
    CalibrationSet& cal = calibration;
    read_text(file, p.title_line);
    read_values(file, p.param_a);
    read_values(file, p.answer);
    if (p.answer == '1' || p.answer == '2') {
        read_values(file, p.opt_int, p.opt_real_1, p.opt_real_2);
        read_values(file, p.opt_real_3, p.opt_real_4);
        read_text(file, p.opt_text_1);
        read_text(file, p.opt_text_2);
    }
    read_values(file, cal.wl_1, cal.wl_2);
    read_values(file, cal.px_1, cal.px_2);
    read_values(file, cal.flux_1, cal.level_1);
    read_values(file, cal.flux_2, cal.level_2, p.probe_flux);
}

}  // namespace linesynth
