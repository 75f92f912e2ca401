#include "tools/pages/markup_writer.h"

#include "tools/pages/markup_text.h"

namespace linesynth::tools {

Markup& Markup::start(std::string_view tag) {
    out += '<';
    out += tag;
    return *this;
}

Markup& Markup::attribute(const Attribute& attribute) {
    out += ' ';
    out += attribute.name;
    if (attribute.value) {
        out += "=\"";
        out += *attribute.value;
        out += '"';
    }
    return *this;
}

Markup& Markup::end_empty() {
    out += "/>";
    return *this;
}

Markup& Markup::end_start() {
    out += '>';
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
    out += "</";
    out += tag;
    out += '>';
    return *this;
}

Markup& Markup::text(std::string_view text) {
    append_escaped(out, text);
    return *this;
}

Markup& Markup::raw(std::string_view trusted) {
    out += trusted;
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
    out += '\n';
    return *this;
}

}  // namespace linesynth::tools
