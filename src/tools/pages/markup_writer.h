// The one writer of the pages' markup: HTML and SVG elements, their
// attributes and their text, appended in order to one string. Text that may
// come from a data file or the command line goes in through `text` only,
// which escapes it by the one rule of markup_text.h; nothing else escapes.
// Attribute values and `raw` text are the program's own (fixed names,
// colours, numbers it formatted, an embedded style sheet, script or JSON
// block) and are written as they are; an attribute value holding `"`, `&`,
// `<` or `>` is a fault of the caller, stopped by an assertion.
//   open("p", {{"id", "sigma"}})            -> "<p id=\"sigma\">"
//   open("p", {{"id", "fault"}, {"hidden", std::nullopt}}) -> "<p id=\"fault\" hidden>"
//   text("a<b & \"c\"")                      -> "a&lt;b &amp; &quot;c&quot;"
//   raw("&#177; 0.0018")                     -> "&#177; 0.0018"
//   close("p")                               -> "</p>"
//   element("td", "a&b", {{"class", "n"}})   -> "<td class=\"n\">a&amp;b</td>"
//   empty("line", {{"x1", "0.0"}})           -> "<line x1=\"0.0\"/>"  (SVG)
//   void_element("meta", {{"charset", "utf-8"}}) -> "<meta charset=\"utf-8\">"  (HTML)
//   line()                                   -> "\n"
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace linesynth::tools {

// A value of std::nullopt writes the name alone (an HTML boolean attribute).
struct Attribute {
    std::string_view name;
    std::optional<std::string_view> value;
};

using Attributes = std::initializer_list<Attribute>;

struct Markup {
    std::string written;

    Markup& open(std::string_view tag, Attributes attributes = {});
    Markup& close(std::string_view tag);
    Markup& text(std::string_view text);
    Markup& raw(std::string_view trusted);
    // open, text (escaped), close.
    Markup& element(std::string_view tag, std::string_view text, Attributes attributes = {});
    Markup& empty(std::string_view tag, Attributes attributes = {});
    Markup& void_element(std::string_view tag, Attributes attributes = {});
    Markup& line();

    // The start tag left open for attributes added one by one (a shape whose
    // attributes depend on the data), then ended as an SVG empty element or
    // as a start tag.
    Markup& start(std::string_view tag);
    Markup& attribute(const Attribute& attribute);
    Markup& end_empty();
    Markup& end_start();
};

}  // namespace linesynth::tools
