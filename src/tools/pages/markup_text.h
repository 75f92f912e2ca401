// Text from a data file made safe to place in an SVG or HTML page, as
// character data or inside a quoted attribute value. One rule serves both
// languages, so the plot can be written alone or inline in the report.
//   "<b>&\"'"          -> "&lt;b&gt;&amp;&quot;&#39;"
//   "]]>"              -> "]]&gt;"             (no CDATA section can end early)
//   "6563 \xC3\x85"    -> "6563 \xC3\x85"     (well-formed UTF-8 is kept as it is)
//   "caf\xE9"          -> "caf\xEF\xBF\xBD"   (a byte outside well-formed UTF-8 -> U+FFFD)
//   "a\x01" "b"        -> "a\xEF\xBF\xBD" "b" (control characters other than tab, line
//                                               feed and carriage return -> U+FFFD:
//                                               XML forbids them even as references)
//   "\xEF\xBF\xBE"     -> "\xEF\xBF\xBD"      (U+FFFE and U+FFFF -> U+FFFD: XML forbids them)
#pragma once

#include <string>
#include <string_view>

namespace linesynth::tools {

// Appends `text`, escaped as above, to `out`.
void append_escaped(std::string& out, std::string_view text);

// `text` as one line of well-formed UTF-8 without control characters, for a
// table's cell or a YAML scalar: a byte outside well-formed UTF-8 and every
// control character (tab, line ends, DEL and U+0080 to U+009F included) ->
// U+FFFD, the rest kept as it is:
//   "H-alpha \xC3\x85" -> "H-alpha \xC3\x85";  "caf\xE9" -> "caf\xEF\xBF\xBD"
//   "a\tb" -> "a\xEF\xBF\xBDb";  "\xC2\x85" -> "\xEF\xBF\xBD"
// U+2028 and U+2029 end a line for Python's readers and YAML, and YAML and XML
// forbid U+FFFE and U+FFFF, so each of the four -> U+FFFD too:
//   "a\xE2\x80\xA8" "b" -> "a\xEF\xBF\xBD" "b";  "\xEF\xBF\xBF" -> "\xEF\xBF\xBD"
std::string one_line_text(std::string_view text);

// `text` without its trailing blanks: the title record is padded with them.
//   "H-alpha   " -> "H-alpha";  "   " -> ""
std::string_view without_trailing_blanks(std::string_view text);

// A computed value as a reader takes it in: six significant digits, trailing
// zeros dropped, powers of ten written out only for very small or large
// values (the exact values are in the commands' JSON):
//   0.02932168489030386 -> "0.0293217";  14 -> "14";  -0.5 -> "-0.5"
//   1234567 -> "1.23457e+06";  0.000025 -> "2.5e-05";  NaN -> "nan"
std::string six_digits(double value);

// A value and its error as a reader takes them in: the error to two
// significant digits, the value to the same decimal place, so that no digit
// is shown that the error leaves unknown (the exact values are in the
// commands' JSON). An error that rounds up into a third digit loses one; an
// error that is 0 or not finite leaves the value at six digits:
//   0.123456 +/- 0.00176973 -> "0.1235", "0.0018"
//   1.5 +/- 0.0996          -> "1.50", "0.10"    (0.0996 rounds to 0.100)
//   56789 +/- 1234          -> "56800", "1200"
//   -0.00004 +/- 0.3        -> "0.00", "0.30"    (no "-0.00")
//   2.5 +/- 0               -> "2.5", "0"
struct ValueWithError {
    std::string value;
    std::string error;
};
ValueWithError with_error(double value, double error);

}  // namespace linesynth::tools
