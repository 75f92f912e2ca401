#include "tools/compare/failure_text.h"

#include "inputs/run_parameters.h"
#include "spectrum/spectrum_store.h"

namespace linesynth::tools {
namespace {

std::string conversion_name(Conversion conversion) {
    switch (conversion) {
        case Conversion::pixel_to_wavelength:
            return "pixel to wavelength";
        case Conversion::wavelength_to_pixel:
            return "wavelength to pixel";
        case Conversion::flux_to_level:
            return "flux to level";
        case Conversion::level_to_flux:
            return "level to flux";
    }
    return "calibration";
}

struct Describe {
    std::string operator()(const FileFailure& f) const {
        std::string text = f.file_name;
        if (f.record > 0) {
            text += ", record " + std::to_string(f.record);
        }
        return text + ": " + std::string(failure_message(f.failure)) + " [F" +
               std::to_string(static_cast<int>(f.failure)) + "]";
    }
    std::string operator()(const MathFailure& f) const {
        return fault_message(f.fault) + " [M" + std::to_string(static_cast<int>(f.fault)) + "]";
    }
    std::string operator()(const CalibrationFailure& f) const {
        return "unusable calibration: the " + conversion_name(f.conversion) +
               " conversion refuses it";
    }
    std::string operator()(const CountFailure& f) const {
        if (f.limit == CountLimit::component_sets) {
            return f.file_name + ": " + std::to_string(f.count) +
                   " component sets, more than there are (" + std::to_string(max_component_sets) +
                   ")";
        }
        return f.file_name + ": " + std::to_string(f.count) + " rows, more than the tables hold (" +
               std::to_string(max_points) + ")";
    }
};

}  // namespace

std::string failure_text(const RunFailure& failure) {
    return std::visit(Describe{}, failure);
}

}  // namespace linesynth::tools
