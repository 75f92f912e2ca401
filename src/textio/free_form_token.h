// One free-form value as the scanner took it from the file, before it is
// converted to the variable's type.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace linesynth {

// The most characters of one value that are kept.
inline constexpr std::size_t token_capacity = 259;

// How a value was written.
enum class TokenKind {
    plain,          // as it stands: 1.5, yes, 16#FF
    quoted,         // between apostrophes or double quotes: 'it''s' holds it's
    parenthesised,  // between parentheses, blanks removed: ( 1.5 , 2 ) holds 1.5,2
};

struct Token {
    std::array<char, token_capacity> text{};  // the first `length` characters are the value
    std::size_t length = 0;
    TokenKind kind = TokenKind::plain;
    // An unquoted value ran past token_capacity characters; `text` holds its
    // first token_capacity. A number refuses it, a character read takes its start.
    bool overlong = false;

    std::string_view view() const { return {text.data(), length}; }
    // A value with no characters is a null value: the variable keeps what it held.
    bool is_null() const { return length == 0; }
    void clear() {
        length = 0;
        kind = TokenKind::plain;
        overlong = false;
    }
};

// A plain decimal value taken by the fast scan (scan_plain_decimal in
// free_form_scanner.h): an optional sign, then digits with at most one point
// among them, nothing else. All its digits, the point removed, make the
// significand; the value is significand / 10^fraction_digits.
//   "-12.50" -> {1250, 2, negative}    ".5" -> {5, 1}    "7." -> {7, 0}
struct PlainDecimal {
    std::uint64_t significand = 0;  // of at most 19 digits
    int fraction_digits = 0;        // digits after the point
    bool negative = false;
};

}  // namespace linesynth
