#include "tools/pages/drawn_comparison.h"

#include "tools/compare/compared_rows.h"

namespace linesynth::tools {

std::int32_t last_comparable_row(const Comparison& comparison) {
    return comparable_count(comparison.kept->observed_count, comparison.data->store->point_count);
}

std::string page_title(const std::optional<std::string>& title, const RunParameters& parameters) {
    return title ? *title : std::string(parameters.title_line, sizeof parameters.title_line);
}

}  // namespace linesynth::tools
