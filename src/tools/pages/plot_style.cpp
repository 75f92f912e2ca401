#include "tools/pages/plot_style.h"

#include <algorithm>
#include <array>

namespace linesynth::tools {

LineStyle component_line(std::int32_t set) {
    constexpr std::array<std::string_view, 5> colours = {
        okabe_ito::bluish_green, okabe_ito::reddish_purple, okabe_ito::sky_blue, okabe_ito::orange,
        okabe_ito::black};
    const auto slot = static_cast<std::size_t>(std::max<std::int32_t>(set - 1, 0));
    const bool dashed = (slot / colours.size()) % 2 == 1;
    return {colours[slot % colours.size()], 1.0, dashed ? "4 2" : ""};
}

bool curve_breaks(const DrawnRow& before, const DrawnRow& after,
                  const std::vector<std::pair<double, double>>& masks) {
    if (after.index != before.index + 1) {
        return true;
    }
    const double low = std::min(before.wavelength, after.wavelength);
    const double high = std::max(before.wavelength, after.wavelength);
    return std::any_of(masks.begin(), masks.end(), [&](const std::pair<double, double>& range) {
        return range.first > low && range.second < high;
    });
}

}  // namespace linesynth::tools
