#include "run/run_sequence.h"

#include <memory>
#include <string>

#include "inputs/run_parameters.h"
#include "inputs/spectrum_files.h"
#include "platform/platform.h"
#include "reports/integral.h"
#include "reports/residual_tables.h"
#include "reports/scales.h"
#include "reports/summary_page.h"
#include "run/stops.h"
#include "spectrum/calibration.h"
#include "spectrum/spectrum_store.h"
#include "textio/text_unit.h"

namespace linesynth {
namespace {

// Everything a run owns, zero at start and allocated once. The parameter file
// and the observed spectrum file stay connected (and held) until the run ends;
// a stop unwinding out of run_sequence() closes them with the rest.
struct RunState {
    RunParameters parameters;
    CalibrationSet calibration;
    SpectrumStore store;
    ReportScales scales;
    float integral = 0;
    TextUnit parameter_file;
    TextUnit observed_file;
};

}  // namespace

void run_sequence() {
    // The files this sequence opens itself are only read.
    constexpr auto input = platform::Intent::input;
    const auto state = std::make_unique<RunState>();
    RunParameters& parameters = state->parameters;
    CalibrationSet& calibration = state->calibration;
    SpectrumStore& store = state->store;
    const std::string dir = platform::data_directory();

    // 1. Weights file.
    {
        TextUnit weights;
        open_file(weights, dir + "synthesis.txt", Access::default_access, input);
        read_weights_file(weights.reader, parameters);
        close_file(weights);
    }

    // 2. Parameter file, held open until the run ends.
    open_file(state->parameter_file, dir + "vlt.txt", Access::default_access, input);
    read_parameter_file(state->parameter_file.reader, parameters, calibration);

    // 3. Flux calibration check: only the check matters, not the level.
    static_cast<void>(flux_to_level(calibration, parameters.probe_flux));

    // 4. Calibrated wavelengths for the first 1000 pixels; the observed
    //    spectrum overwrites the rows it has.
    for (std::int32_t pixel = 1; pixel <= 1000; ++pixel) {
        store.wavelengths[pixel] = pixel_to_wavelength(calibration, pixel);
    }

    // 5. Observed spectrum, held open until the run ends.
    open_file(state->observed_file, dir + "FDftn.txt", Access::default_access, input);
    read_observed_file(state->observed_file.reader, store);

    // 6. Continuum, which also seeds the synthetic spectrum.
    {
        TextUnit continuum;
        open_file(continuum, dir + "continum.txt", Access::default_access, input);
        read_continuum_file(continuum.reader, store);
        close_file(continuum);
    }

    // 7. Component sets, each read and closed before it is added.
    for (std::int32_t set = 1; set <= parameters.set_count; ++set) {
        {
            TextUnit component;
            open_file(component, dir + "VeltoOut" + std::to_string(set) + ".txt",
                      Access::default_access, input);
            read_component_file(component.reader, store);
            close_file(component);
        }
        add_component_set(store, parameters.weight(set));
    }

    // 8. Scale file.
    {
        TextUnit scale;
        open_file(scale, dir + "qdqd.txt", Access::default_access, input);
        read_scale_file(scale.reader, state->scales);
        close_file(scale);
    }

    // 9. and 10. Scale factors and the residual tables.
    compute_scale_factors(state->scales, calibration);
    write_residual_tables(dir, store, calibration, state->scales);

    // 11. and 12. The integral, appended to the summary page.
    trapezoid_integral(state->integral, store.synthetic, store.wavelengths, store.point_count);
    append_summary_record(dir + "vltOut.htm", state->integral);

    // 13.
    stop();
}

}  // namespace linesynth
