#include "tools/compare/number_text.h"

#include <charconv>

namespace linesynth::tools {
namespace {

template <typename Real>
std::string text_of(Real value) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

}  // namespace

std::string shortest_text(float value) {
    return text_of(value);
}

std::string shortest_text(double value) {
    return text_of(value);
}

std::string set_list(const std::vector<std::int32_t>& sets) {
    std::string text;
    for (const std::int32_t set : sets) {
        if (!text.empty()) {
            text += ", ";
        }
        text += std::to_string(set);
    }
    return text.empty() ? "none" : text;
}

std::string upper_limit_text(double limit) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, limit, std::chars_format::general, 2);
    return "< " + std::string(text, end.ptr);
}

}  // namespace linesynth::tools
