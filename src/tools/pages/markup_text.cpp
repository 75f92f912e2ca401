#include "tools/pages/markup_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <system_error>

namespace linesynth::tools {
namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0
// when its first byte does not start one (overlong forms, surrogates and code
// points above U+10FFFF are not well formed).
std::size_t utf8_sequence_length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;  // range of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

// Whether the well-formed sequence at the start of `text` is one that no
// table line, YAML header or XML document may hold as it is: U+2028 and
// U+2029, which Python's line splitting (and so astropy's readers) and YAML
// take as line ends, and the noncharacters U+FFFE and U+FFFF, which XML and
// YAML forbid.
bool is_forbidden_character(std::string_view sequence) {
    return sequence == "\xE2\x80\xA8" || sequence == "\xE2\x80\xA9" || sequence == "\xEF\xBF\xBE" ||
           sequence == "\xEF\xBF\xBF";
}

}  // namespace

void append_escaped(std::string& out, std::string_view text) {
    while (!text.empty()) {
        const char c = text.front();
        const auto code = static_cast<unsigned char>(c);
        std::size_t taken = 1;
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            case '\t':
            case '\n':
            case '\r':
                out += c;
                break;
            default:
                if (code < 0x20 || code == 0x7F) {
                    out += replacement;
                } else if (code < 0x80) {
                    out += c;
                } else if (const std::size_t length = utf8_sequence_length(text); length != 0) {
                    const std::string_view sequence = text.substr(0, length);
                    out += is_forbidden_character(sequence) ? replacement : sequence;
                    taken = length;
                } else {
                    out += replacement;
                }
        }
        text.remove_prefix(taken);
    }
}

std::string one_line_text(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        const auto code = static_cast<unsigned char>(text.front());
        std::size_t taken = 1;
        if (code >= 0x20 && code < 0x7F) {
            out += text.front();
        } else if (const std::size_t length = code < 0x80 ? 0 : utf8_sequence_length(text);
                   length != 0 && !(code == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0) &&
                   !is_forbidden_character(text.substr(0, length))) {
            out += text.substr(0, length);
            taken = length;
        } else {
            out += replacement;
            // A C1 control is one character of two bytes: one replacement.
            taken = length != 0 ? length : 1;
        }
        text.remove_prefix(taken);
    }
    return out;
}

std::string_view without_trailing_blanks(std::string_view text) {
    const std::size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

std::string six_digits(double value) {
    std::array<char, 32> text;
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value + 0.0,
                                            std::chars_format::general, 6);
    return error == std::errc() ? std::string(text.data(), end) : std::string();
}

namespace {

// `value` with `decimals` decimals, or, for negative `decimals`, rounded to a
// multiple of 10^-decimals and written without decimals; "-0" as "0".
std::string fixed_at(double value, int decimals) {
    if (decimals < 0) {
        double unit = 1;
        for (int i = 0; i < -decimals; ++i) {
            unit *= 10;
        }
        value = std::nearbyint(value / unit) * unit;
        decimals = 0;
    }
    std::array<char, 400> text;
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value,
                                            std::chars_format::fixed, decimals);
    std::string out = error == std::errc() ? std::string(text.data(), end) : std::string();
    if (out.starts_with('-') && out.find_first_not_of("0.", 1) == std::string::npos) {
        out.erase(0, 1);
    }
    return out;
}

}  // namespace

ValueWithError with_error(double value, double error) {
    if (!(std::isfinite(error) && error > 0) || !std::isfinite(value)) {
        return {six_digits(value), six_digits(error)};
    }
    // Two significant digits: the decimal place of the error's leading digit,
    // one further; one back when rounding carried into a third digit.
    int decimals = 1 - static_cast<int>(std::floor(std::log10(error)));
    if (std::nearbyint(error * std::pow(10.0, decimals)) >= 100) {
        --decimals;
    }
    return {fixed_at(value, decimals), fixed_at(error, decimals)};
}

}  // namespace linesynth::tools
