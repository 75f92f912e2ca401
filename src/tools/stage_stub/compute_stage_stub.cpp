// TEMPORARY stand-in for the run's first stage; deleted at the merge.
#include "stages/compute_stage.h"

#include "inputs/spectrum_files.h"
#include "run/stops.h"

namespace linesynth {

std::optional<RunFailure> compute_stage(RunData& data, const std::string& dir, Opening,
                                        KeptColumns* kept) {
    try {
        {
            TextUnit weights;
            open_file(weights, dir + "synthesis.txt");
            read_weights_file(weights.reader, data.parameters);
            close_file(weights);
        }
        open_file(data.parameter_file, dir + "vlt.txt");
        read_parameter_file(data.parameter_file.reader, data.parameters, data.calibration);
        static_cast<void>(flux_to_level(data.calibration, data.parameters.probe_flux));
        for (std::int32_t pixel = 1; pixel <= 1000; ++pixel) {
            data.store.wavelengths[pixel] = pixel_to_wavelength(data.calibration, pixel);
        }
        open_file(data.observed_file, dir + "FDftn.txt");
        read_observed_file(data.observed_file.reader, data.store);
        if (kept != nullptr) {
            kept->observed_count = data.store.point_count;
        }
        {
            TextUnit continuum;
            open_file(continuum, dir + "continum.txt");
            read_continuum_file(continuum.reader, data.store);
            close_file(continuum);
        }
        if (kept != nullptr) {
            kept->continuum_count = data.store.point_count;
        }
        for (std::int32_t set = 1; set <= data.parameters.set_count; ++set) {
            {
                TextUnit component;
                open_file(component, dir + "VeltoOut" + std::to_string(set) + ".txt");
                read_component_file(component.reader, data.store);
                close_file(component);
            }
            if (kept != nullptr) {
                kept->component_counts[static_cast<std::size_t>(set - 1)] = data.store.point_count;
                kept->components[static_cast<std::size_t>(set - 1)] = data.store.component;
            }
            add_component_set(data.store, data.parameters.weight(set));
        }
        {
            TextUnit scale;
            open_file(scale, dir + "qdqd.txt");
            read_scale_file(scale.reader, data.scales);
            close_file(scale);
        }
        compute_scale_factors(data.scales, data.calibration);
    } catch (const RunEnd&) {
        return FileFailure{Failure::read_error, "READ", "(stub)", 0};
    }
    return std::nullopt;
}

}  // namespace linesynth
