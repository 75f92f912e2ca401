#include "tools/compare/mask.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>

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

// The number at the start of `text` (after blanks), up to the next blank,
// narrowed to the nearest 32-bit real as the run reads a wavelength of its
// files: the text of a row's own wavelength gives exactly that row's value.
// Out of the 32-bit range: an infinity of its sign, refused by the caller.
std::optional<float> take_number(std::string_view& text) {
    text = skip_blanks(text);
    std::size_t end = 0;
    while (end < text.size() && !is_blank(text[end])) {
        ++end;
    }
    if (end == 0) {
        return std::nullopt;
    }
    float value = 0;
    const char* first = text.data();
    const auto [stop, ec] = std::from_chars(first, first + end, value);
    if (stop != first + end || (ec != std::errc() && ec != std::errc::result_out_of_range)) {
        return std::nullopt;
    }
    if (ec == std::errc::result_out_of_range) {
        // Beyond the 32-bit range (refused by the caller as not finite), or
        // so small that it rounds to 0.
        double wide = 0;
        std::from_chars(first, first + end, wide);
        value = std::fabs(wide) >= 1 ? std::numeric_limits<float>::infinity() : 0.0f;
    }
    text = text.substr(end);
    return value;
}

}  // namespace

ParsedMask parse_mask(std::string_view text) {
    ParsedMask result;
    // A byte-order mark, which some editors put at the start of a UTF-8 file.
    constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
    if (text.starts_with(byte_order_mark)) {
        text.remove_prefix(byte_order_mark.size());
    }
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
            result.error =
                MaskLineError{line_number, "a wavelength is not a finite 32-bit real number"};
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

MaskIndex mask_index(const std::vector<MaskRange>& ranges) {
    std::vector<MaskRange> sorted = ranges;
    std::sort(sorted.begin(), sorted.end(),
              [](const MaskRange& a, const MaskRange& b) { return a.low < b.low; });
    MaskIndex index;
    for (const MaskRange& range : sorted) {
        if (!index.merged.empty() && range.low <= index.merged.back().high) {
            index.merged.back().high = std::max(index.merged.back().high, range.high);
        } else {
            index.merged.push_back(range);
        }
    }
    return index;
}

bool masked(const MaskIndex& index, float wavelength) {
    if (std::isnan(wavelength)) {
        return false;
    }
    // The last range that starts at or below the wavelength is the only one
    // that can hold it: the merged ranges are apart.
    const auto after =
        std::upper_bound(index.merged.begin(), index.merged.end(), wavelength,
                         [](float value, const MaskRange& range) { return value < range.low; });
    return after != index.merged.begin() && wavelength <= std::prev(after)->high;
}

std::int64_t count_in_range(const std::vector<float>& sorted, const MaskRange& range) {
    const auto first = std::lower_bound(sorted.begin(), sorted.end(), range.low);
    const auto last = std::upper_bound(sorted.begin(), sorted.end(), range.high);
    return last > first ? last - first : 0;
}

}  // namespace linesynth::tools
