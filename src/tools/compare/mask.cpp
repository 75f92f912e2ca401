#include "tools/compare/mask.h"

#include <charconv>
#include <cmath>

#include "base/checked_math.h"

namespace linesynth::tools {
namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view skip_blanks(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && is_blank(text[start])) {
        ++start;
    }
    return text.substr(start);
}

// The number at the start of `text` (after blanks), up to the next blank.
std::optional<double> take_number(std::string_view& text) {
    text = skip_blanks(text);
    std::size_t end = 0;
    while (end < text.size() && !is_blank(text[end])) {
        ++end;
    }
    if (end == 0) {
        return std::nullopt;
    }
    double value = 0;
    const char* first = text.data();
    const auto [stop, ec] = std::from_chars(first, first + end, value);
    if (ec != std::errc() || stop != first + end) {
        return std::nullopt;
    }
    text = text.substr(end);
    return value;
}

}  // namespace

ParsedMask parse_mask(std::string_view text) {
    ParsedMask result;
    std::int64_t line_number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++line_number;
        if (skip_blanks(line).empty() || line.front() == '#') {
            continue;
        }
        const auto low = take_number(line);
        const auto high = take_number(line);
        if (!low || !high || !skip_blanks(line).empty()) {
            result.error = MaskLineError{line_number, "two wavelengths \"low high\" expected"};
            return result;
        }
        if (!std::isfinite(*low) || !std::isfinite(*high)) {
            result.error = MaskLineError{line_number, "a wavelength is not a finite number"};
            return result;
        }
        if (*low > *high) {
            result.error = MaskLineError{line_number, "low end above high end"};
            return result;
        }
        result.ranges.push_back({*low, *high});
    }
    return result;
}

bool masked(const std::vector<MaskRange>& ranges, float wavelength) {
    const double value = widen(wavelength);
    for (const MaskRange& range : ranges) {
        if (range.low <= value && value <= range.high) {
            return true;
        }
    }
    return false;
}

}  // namespace linesynth::tools
