#include "tools/compare/refusal.h"

namespace linesynth::tools {

std::string_view refusal_name(RefusalKind kind) {
    switch (kind) {
        case RefusalKind::mask_file:
            return "mask_file";
        case RefusalKind::input_file:
            return "input_file";
        case RefusalKind::floating_point:
            return "floating_point";
        case RefusalKind::calibration:
            return "calibration";
        case RefusalKind::too_large:
            return "too_large";
        case RefusalKind::sigma_file:
            return "sigma_file";
        case RefusalKind::no_rows:
            return "no_rows";
        case RefusalKind::run_stop:
            return "run_stop";
        case RefusalKind::run_error:
            return "run_error";
        case RefusalKind::fit:
            return "fit";
        case RefusalKind::data_files:
            return "data_files";
        case RefusalKind::output:
            return "output";
        case RefusalKind::command:
            return "command";
    }
    return "failed";
}

std::string_view run_outcome_name(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::unknown:
            break;
        case RunOutcome::completes:
            return "completes";
        case RunOutcome::stops:
            return "stops";
        case RunOutcome::fails:
            return "fails";
    }
    return "";
}

}  // namespace linesynth::tools
