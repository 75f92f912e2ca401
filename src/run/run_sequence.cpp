#include "run/run_sequence.h"

#include <memory>
#include <string>
#include <type_traits>

#include "dialogue/stops.h"
#include "platform/platform.h"
#include "spectrum/calibration.h"
#include "stages/compute_stage.h"
#include "stages/report_stage.h"

namespace linesynth {
namespace {

std::string_view count_label(CountLimit limit) {
    return limit == CountLimit::component_sets ? "TOO MANY COMPONENT SETS N_set="
                                               : "TOO LONG DATA FILE N_sat=";
}

}  // namespace

void end_with(const RunFailure& failure) {
    std::visit(
        [&](const auto& f) {
            using Kind = std::decay_t<decltype(f)>;
            if constexpr (std::is_same_v<Kind, CalibrationFailure>) {
                const CalibrationErrorText text = calibration_error_text(f.conversion);
                error_stop(text.first_line, text.stop_text);
            } else if constexpr (std::is_same_v<Kind, CountFailure>) {
                refuse_count(count_label(f.limit), f.count);
            } else {
                end_run(failure);
            }
        },
        failure);
}

void run_sequence() {
    const auto data = std::make_unique<RunData>();
    const std::string dir = platform::data_directory();
    std::optional<RunFailure> failure = compute_stage(*data, dir, Opening::run);
    if (!failure) {
        failure = report_stage(*data, dir);
    }
    if (failure) {
        end_with(*failure);  // while `data` still holds its files
        return;
    }
    // 13.
    stop();
}

}  // namespace linesynth
