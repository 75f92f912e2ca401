#include "textio/free_form_scanner.h"

#include <algorithm>
#include <cstring>

namespace linesynth {
namespace {

// The line end supplied after a last record that has none.
constexpr char supplied_line_end[] = "\n";

bool is_line_end(char c) {
    return c == '\r' || c == '\n';
}

// The rest of the record after the line-end byte `c` was read: nothing more
// after an LF, everything up to and including the LF after a CR.
ReadError finish_line_end(ByteSource& source, char c) {
    return c == '\r' ? skip_record(source) : std::nullopt;
}

void append(Token& token, char c) {
    if (token.length < token_capacity) {
        token.text[token.length++] = c;
    } else {
        token.overlong = true;
    }
}

// The part of a quoted value after its opening quote: the text up to the
// closing quote, and the separator byte after it.
ReadError scan_quoted(ByteSource& source, ReadState& state, char quote, std::size_t text_limit) {
    Token& token = state.token;
    char c = 0;
    for (;;) {
        if (const ReadError error = next_byte(source, c)) {
            return error;
        }
        if (is_line_end(c)) {
            // The text goes on after the first byte of the next record.
            if (const ReadError error = finish_line_end(source, c)) {
                return error;
            }
            if (const ReadError error = next_byte(source, c)) {
                return error;
            }
            continue;
        }
        if (c == quote) {
            if (const ReadError error = next_byte(source, c)) {
                return error;
            }
            if (c != quote) {
                break;
            }
        }
        if (token.length < text_limit) {
            token.text[token.length++] = c;
        }
    }
    // `c` is the byte after the closing quote.
    if (is_line_end(c)) {
        state.last_separator = ' ';
        state.ended_at_line_end = true;
        return finish_line_end(source, c);
    }
    state.last_separator = c == '\t' ? ' ' : c;
    return std::nullopt;
}

// Scans one value into state.token, from the first byte after the previous
// value's separator to this value's separator.
ReadError scan_value(ByteSource& source, ReadState& state, std::size_t text_limit) {
    Token& token = state.token;
    token.clear();
    state.ended_at_line_end = false;
    // A repeat count was given for this value. A count of 1 leaves nothing
    // pending but still makes a following separator end the value as null.
    bool counted = false;
    char c = 0;
    for (;;) {
        if (const ReadError error = next_byte(source, c)) {
            return error;
        }
        const bool started = !token.is_null();
        const bool in_pair = token.kind == TokenKind::parenthesised;
        switch (c) {
            case '\r':
            case '\n':
                if (const ReadError error = finish_line_end(source, c)) {
                    return error;
                }
                if (in_pair || (!started && !counted)) {
                    continue;  // a blank inside a pair, or before the value
                }
                state.ended_at_line_end = true;
                state.last_separator = ' ';
                return std::nullopt;
            case ' ':
            case '\t':
                if (in_pair || (!started && !counted)) {
                    continue;
                }
                state.last_separator = ' ';
                return std::nullopt;
            case '(':
                if (started || in_pair) {
                    break;
                }
                token.kind = TokenKind::parenthesised;
                continue;
            case ')':
                if (!in_pair) {
                    break;
                }
                // The pair is complete; what follows is separated from it as
                // from a value ended by a blank.
                state.last_separator = ' ';
                return std::nullopt;
            case '\'':
            case '"':
                if (started || in_pair) {
                    break;
                }
                token.kind = TokenKind::quoted;
                return scan_quoted(source, state, c, text_limit);
            case '*': {
                if (counted) {
                    return Failure::second_repeat;
                }
                if (!started) {
                    return Failure::zero_repeat;
                }
                std::int32_t count = 0;
                if (const ReadError error = convert_integer(token, count)) {
                    return error;
                }
                if (count < 1) {
                    return Failure::zero_repeat;
                }
                state.repeat_pending = count - 1;
                counted = true;
                token.clear();
                continue;
            }
            case ',':
                if (!started && !counted && state.last_separator == ' ') {
                    state.last_separator = ',';  // the comma joins the blank before it
                    continue;
                }
                if (in_pair) {
                    break;
                }
                state.last_separator = ',';
                return std::nullopt;
            case '/':
                state.last_separator = '/';
                return std::nullopt;
            default:
                break;
        }
        append(token, c);
    }
}

}  // namespace

ByteSource file_source(platform::FileHandle file, char* buffer, std::size_t capacity) {
    ByteSource source;
    source.file = file;
    source.buffer = buffer;
    source.capacity = capacity;
    return source;
}

ByteSource bytes_source(std::string_view bytes) {
    ByteSource source;
    source.window = bytes.data();
    source.end = bytes.size();
    return source;
}

ReadError refill(ByteSource& source) {
    if (source.end > 0) {
        source.at_record_start = source.window[source.end - 1] == '\n';
        source.lines_passed += std::count(source.window, source.window + source.end, '\n');
    }
    source.position = 0;
    source.end = 0;
    if (source.exhausted) {
        return Failure::end_of_file;
    }
    if (source.file) {
        const platform::ReadResult read =
            platform::read_some(source.file, source.buffer, source.capacity);
        if (read.failed) {
            return Failure::read_error;
        }
        if (read.count > 0) {
            source.window = source.buffer;
            source.end = read.count;
            return std::nullopt;
        }
    }
    // The file has no more bytes. Its last record may lack its LF.
    source.exhausted = true;
    if (source.at_record_start) {
        return Failure::end_of_file;
    }
    source.window = supplied_line_end;
    source.end = 1;
    return std::nullopt;
}

std::int64_t record_number(const ByteSource& source, bool value_ended_at_line_end) {
    const std::int64_t lines =
        source.lines_passed + std::count(source.window, source.window + source.position, '\n');
    return lines + (value_ended_at_line_end && lines > 0 ? 0 : 1);
}

ReadError skip_record(ByteSource& source) {
    for (;;) {
        if (source.position < source.end) {
            const char* from = source.window + source.position;
            const void* lf = std::memchr(from, '\n', source.end - source.position);
            if (lf != nullptr) {
                source.position +=
                    static_cast<std::size_t>(static_cast<const char*>(lf) - from) + 1;
                return std::nullopt;
            }
            source.position = source.end;
        }
        if (const ReadError error = refill(source)) {
            return error;
        }
    }
}

void reset_read(ReadState& state) {
    state.last_separator = ',';
    state.repeat_pending = 0;
    state.token.clear();
    state.ended_at_line_end = false;
}

ReadError next_item(ByteSource& source, ReadState& state, std::size_t text_limit, bool& has_value) {
    has_value = false;
    if (state.repeat_pending > 0) {
        --state.repeat_pending;
    } else if (state.last_separator == '/') {
        return std::nullopt;
    } else if (const ReadError error =
                   scan_value(source, state, std::min(text_limit, token_capacity))) {
        return error;
    }
    has_value = !state.token.is_null();
    return std::nullopt;
}

ReadError finish_free_form(ByteSource& source, ReadState& state) {
    state.repeat_pending = 0;
    if (state.ended_at_line_end) {
        return std::nullopt;
    }
    return skip_record(source);
}

ReadError read_text_record(ByteSource& source, char (&text)[80]) {
    std::size_t taken = 0;
    char c = 0;
    while (taken < sizeof text) {
        if (const ReadError error = next_byte(source, c)) {
            return error;
        }
        if (is_line_end(c)) {
            put_back(source);
            break;
        }
        text[taken++] = c;
    }
    std::memset(text + taken, ' ', sizeof text - taken);
    return std::nullopt;
}

}  // namespace linesynth
