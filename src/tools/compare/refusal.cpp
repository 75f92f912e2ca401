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

}  // namespace linesynth::tools
