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

}  // namespace linesynth::tools
