#include "inputs/run_parameters.h"

#include "run/stops.h"

namespace linesynth {

void read_weights_file(RecordReader& file, RunParameters& parameters) {
    begin_read(file, ReadMode::free_form);
    get_int(file, parameters.set_count);
    end_read(file);
    if (parameters.set_count > max_component_sets) {
        refuse_count("TOO MANY COMPONENT SETS N_set=", parameters.set_count);
    }
    for (std::int32_t set = 1; set <= parameters.set_count; ++set) {
        begin_read(file, ReadMode::free_form);
        get_real(file, parameters.weights[static_cast<std::size_t>(set - 1)]);
        end_read(file);
    }
}

void read_parameter_file(RecordReader& file, RunParameters& parameters,
                         CalibrationSet& calibration) {
    begin_read(file, ReadMode::text);
    get_text(file, parameters.title_line);
    end_read(file);

    begin_read(file, ReadMode::free_form);
    get_int(file, parameters.param_a);
    end_read(file);

    begin_read(file, ReadMode::free_form);
    get_char(file, &parameters.answer, 1);
    end_read(file);

    if (parameters.answer == '1' || parameters.answer == '2') {
        begin_read(file, ReadMode::free_form);
        get_int(file, parameters.opt_int);
        get_double(file, parameters.opt_real_1);
        get_double(file, parameters.opt_real_2);
        end_read(file);

        begin_read(file, ReadMode::free_form);
        get_double(file, parameters.opt_real_3);
        get_double(file, parameters.opt_real_4);
        end_read(file);

        begin_read(file, ReadMode::text);
        get_text(file, parameters.opt_text_1);
        end_read(file);

        begin_read(file, ReadMode::text);
        get_text(file, parameters.opt_text_2);
        end_read(file);
    }

    begin_read(file, ReadMode::free_form);
    get_real(file, calibration.wl_1);
    get_real(file, calibration.wl_2);
    end_read(file);

    begin_read(file, ReadMode::free_form);
    get_int(file, calibration.px_1);
    get_int(file, calibration.px_2);
    end_read(file);

    begin_read(file, ReadMode::free_form);
    get_real(file, calibration.flux_1);
    get_int(file, calibration.level_1);
    end_read(file);

    begin_read(file, ReadMode::free_form);
    get_real(file, calibration.flux_2);
    get_int(file, calibration.level_2);
    get_real(file, parameters.probe_flux);
    end_read(file);
}

}  // namespace linesynth
