// TEMPORARY stand-in for the run's first stage until it lands on main; deleted
// at the merge.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "base/run_failure.h"
#include "inputs/run_parameters.h"
#include "reports/scales.h"
#include "run/stops.h"
#include "spectrum/calibration.h"
#include "spectrum/spectrum_store.h"
#include "textio/text_unit.h"

namespace linesynth {

struct RunData {
    RunParameters parameters;
    CalibrationSet calibration;
    SpectrumStore store;
    ReportScales scales;
    float integral = 0;
    TextUnit parameter_file;
    TextUnit observed_file;
};

struct KeptColumns {
    std::int32_t observed_count = 0;
    std::int32_t continuum_count = 0;
    std::array<std::int32_t, max_component_sets> component_counts{};
    std::array<SpectrumTable, max_component_sets> components{};
};

enum class Opening { run, inspect };

std::optional<RunFailure> compute_stage(RunData& data, const std::string& dir, Opening opening,
                                        KeptColumns* kept = nullptr);

template <typename Body>
std::optional<RunFailure> guarded(Body&& body) {
    try {
        body();
    } catch (const RunEnd&) {
        return FileFailure{Failure::read_error, "READ", "(stub)", 0};
    }
    return std::nullopt;
}

}  // namespace linesynth
