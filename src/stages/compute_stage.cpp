#include "stages/compute_stage.h"

#include "inputs/input_files.h"
#include "inputs/spectrum_files.h"

namespace linesynth {
namespace {

// Opens an input file of the run. The program opens it the default way (and
// says it is an input, so that a FIFO is read to its end); the inspection
// only reads.
void open_input(TextUnit& unit, const std::string& path, Opening opening) {
    if (opening == Opening::inspect) {
        open_file(unit, path, Access::read_only);
    } else {
        open_file(unit, path, Access::default_access, platform::Intent::input);
    }
}

void compute(RunData& data, const std::string& dir, Opening opening, KeptColumns* kept) {
    RunParameters& parameters = data.parameters;
    CalibrationSet& calibration = data.calibration;
    SpectrumStore& store = *data.store;

    // 1. Weights file.
    {
        TextUnit weights;
        open_input(weights, dir + weights_file_name, opening);
        read_weights_file(weights.reader, parameters);
        close_file(weights);
    }

    // 2. Parameter file, held open as long as the run's data.
    open_input(data.parameter_file, dir + parameter_file_name, opening);
    read_parameter_file(data.parameter_file.reader, parameters, calibration);

    // 3. Flux calibration check: only the check matters, not the level.
    static_cast<void>(flux_to_level(calibration, parameters.probe_flux));

    // 4. Calibrated wavelengths for the first 1000 pixels; the observed
    //    spectrum overwrites the rows it has.
    for (std::int32_t pixel = 1; pixel <= 1000; ++pixel) {
        store.wavelengths[pixel] = pixel_to_wavelength(calibration, pixel);
    }

    // 5. Observed spectrum, held open as long as the run's data.
    open_input(data.observed_file, dir + observed_file_name, opening);
    read_observed_file(data.observed_file.reader, store);
    if (kept != nullptr) {
        kept->observed_count = store.point_count;
    }

    // 6. Continuum, which also seeds the synthetic spectrum.
    {
        TextUnit continuum;
        open_input(continuum, dir + continuum_file_name, opening);
        read_continuum_file(continuum.reader, store);
        close_file(continuum);
    }
    if (kept != nullptr) {
        kept->continuum_count = store.point_count;
    }

    // 7. Component sets, each read and closed before it is added.
    for (std::int32_t set = 1; set <= parameters.set_count; ++set) {
        {
            TextUnit component;
            open_input(component, dir + component_file_name(set), opening);
            read_component_file(component.reader, store);
            close_file(component);
        }
        if (kept != nullptr) {
            const auto slot = static_cast<std::size_t>(set - 1);
            kept->component_counts[slot] = store.point_count;
            kept->components[slot] = store.component;
        }
        add_component_set(store, parameters.weight(set));
    }

    // 8. Scale file.
    {
        TextUnit scale;
        open_input(scale, dir + scale_file_name, opening);
        read_scale_file(scale.reader, data.scales.ref_a, data.scales.ref_b);
        close_file(scale);
    }

    // 9. Scale factors.
    compute_scale_factors(data.scales, calibration);
}

}  // namespace

std::optional<RunFailure> compute_stage(RunData& data, const std::string& dir, Opening opening,
                                        KeptColumns* kept) {
    return guarded([&] { compute(data, dir, opening, kept); });
}

}  // namespace linesynth
