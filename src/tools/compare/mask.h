// The mask file: wavelength ranges whose rows are left out of the comparison.
//
// One range per line, "low high", both ends included and low <= high; blanks
// and tabs separate the two numbers and may surround them. Blank lines and
// lines whose first character is "#" are skipped; anything else is refused,
// naming the line (counted from 1):
//   "6562.0 6563.5"     -> range [6562.0, 6563.5]
//   "  6562 6562\r"     -> range [6562, 6562] (a CR LF line end is accepted)
//   "# telluric"        -> skipped;  ""  -> skipped
//   "6563.5 6562.0"     -> refused, low above high
//   "6562.0"            -> refused, two wavelengths wanted
//   "6562.0 6563 x"     -> refused, two wavelengths wanted
//   " # late comment"   -> refused (a comment starts in the first column)
//   "nan 1", "1 inf"    -> refused, not a finite wavelength
//   "1 1e39"            -> refused, beyond the 32-bit range
//   "6541.05 6541.05"   -> range [6541.05f, 6541.05f]: the row of 6541.05 only
// A UTF-8 byte-order mark at the start of the text is skipped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linesynth::tools {

// Both ends included. Each end is narrowed to the nearest 32-bit real as the
// run narrows a wavelength it reads, and compared with the rows' 32-bit
// wavelengths: a range written with a row's own wavelength text holds exactly
// that row ("6541.05 6541.05" masks the row of 6541.05 and no other).
struct MaskRange {
    float low = 0;
    float high = 0;
};

struct MaskLineError {
    std::int64_t line = 0;  // counted from 1
    std::string reason;
};

struct ParsedMask {
    std::vector<MaskRange> ranges;
    std::optional<MaskLineError> error;  // set: the file is refused
};

ParsedMask parse_mask(std::string_view text);

// The ranges sorted by their low ends and merged where they meet, so that a
// row is looked up in logarithmic time: a mask of a million ranges over
// 10000 rows costs one sort, not ranges x rows comparisons.
//   6562 6563, 6500 6510, 6505 6520 -> 6500 6520, 6562 6563
struct MaskIndex {
    std::vector<MaskRange> merged;
};
MaskIndex mask_index(const std::vector<MaskRange>& ranges);

// Whether any range holds `wavelength` (a NaN is in none).
bool masked(const MaskIndex& index, float wavelength);

// How many of `sorted` (ascending, no NaN) lie in `range`, ends included.
std::int64_t count_in_range(const std::vector<float>& sorted, const MaskRange& range);

}  // namespace linesynth::tools
