#include "tools/pages/markup_writer.h"

#include <cassert>

#include "tools/pages/markup_text.h"

namespace linesynth::tools {

Markup& Markup::start(std::string_view tag) {
    written += '<';
    written += tag;
    return *this;
}

Markup& Markup::attribute(const Attribute& attribute) {
    written += ' ';
    written += attribute.name;
    if (attribute.value) {
        // An attribute value is the program's own and is not escaped: one
        // that could end the value or start a reference would be a caller
        // passing outside text here instead of through `text`.
        assert(attribute.value->find_first_of("\"&<>") == std::string_view::npos);
        written += "=\"";
        written += *attribute.value;
        written += '"';
    }
    return *this;
}

Markup& Markup::end_empty() {
    written += "/>";
    return *this;
}

Markup& Markup::end_start() {
    written += '>';
    return *this;
}

Markup& Markup::open(std::string_view tag, Attributes attributes) {
    start(tag);
    for (const Attribute& a : attributes) {
        attribute(a);
    }
    return end_start();
}

Markup& Markup::close(std::string_view tag) {
    written += "</";
    written += tag;
    written += '>';
    return *this;
}

Markup& Markup::text(std::string_view text) {
    append_escaped(written, text);
    return *this;
}

Markup& Markup::raw(std::string_view trusted) {
    written += trusted;
    return *this;
}

Markup& Markup::element(std::string_view tag, std::string_view text, Attributes attributes) {
    return open(tag, attributes).text(text).close(tag);
}

Markup& Markup::empty(std::string_view tag, Attributes attributes) {
    start(tag);
    for (const Attribute& a : attributes) {
        attribute(a);
    }
    return end_empty();
}

Markup& Markup::void_element(std::string_view tag, Attributes attributes) {
    return open(tag, attributes);
}

Markup& Markup::line() {
    written += '\n';
    return *this;
}

}  // namespace linesynth::tools
