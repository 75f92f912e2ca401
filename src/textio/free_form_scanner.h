// The scanner of the free-form read: records, separators, repeat counts,
// quoted and parenthesised values. It takes bytes from a ByteSource and leaves
// each value in ReadState::token; value_conversion.h turns the token into the
// variable's type. Failures come back as values (ReadError); the reader turns
// them into the run-time error report.
//
// A record is the bytes up to and including the next LF. CR and LF both end a
// record while it is scanned: on either, everything up to and including the
// next LF is skipped, so CR LF and LF files read the same. A last record
// without an LF is complete: the end of the file acts as its LF, and only a
// step that needs a byte beyond that fails, with F6501.
//
// How a read of values sees a record (each item is one call of next_item):
//   "3 , 4"      -> 3, 4            blanks around a comma form one separator
//   "3,,4"       -> 3, null, 4      a null value leaves the variable unchanged
//   ",5"         -> null, 5         a comma first in a read
//   "1," "2"     -> 1, 2            a comma at a record's end gives no null
//   "1 2 / 3"    -> 1, 2, null...   a slash completes the read
//   "3*0.5"      -> 0.5, 0.5, 0.5
//   "2*" at a record's end -> null, null; the record is consumed
//   "2* 5"       -> null, null, 5   a repeat count followed by a separator
//   "1* 5"       -> null, 5         (so a count of 1 is a count too)
//   "0*5", "*5", "-2*5" -> F6502    "2*3*4" -> F6503
//   "'ab" " cd'" -> abcd: inside quotes a line end adds nothing, and the
//                   first byte of the next record is skipped
//   "'it''s'"    -> it's            "''," -> null
//   "(1, 2) 3"   -> (1,2), 3        the pair holds "1,2"
//   "(1,2),3"    -> (1,2), 3        a closing parenthesis acts as a blank
//   "'ab'x5"     -> ab, 5: the byte after a closing quote is its separator,
//                   whatever it is; a line end there ends the value with its
//                   record, as a line end after a plain value does
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/platform.h"
#include "textio/free_form_token.h"
#include "textio/value_conversion.h"

namespace linesynth {

// The bytes of one file, read forward in large blocks. A source without a
// file reads only the bytes its window already holds.
struct ByteSource {
    platform::FileHandle file;  // none: the window's bytes are all there is
    char* buffer = nullptr;     // where blocks of the file are read to
    std::size_t capacity = 0;
    const char* window = nullptr;  // the bytes being read: a block, or the supplied LF
    std::size_t position = 0;      // the next unread byte of the window
    std::size_t end = 0;
    bool exhausted = false;         // the file has reported its end
    bool at_record_start = true;    // the last byte delivered was an LF, or none was
    std::int64_t lines_passed = 0;  // LFs in the windows before the current one
};

// A source that reads `file` in blocks of `capacity` bytes into `buffer`.
ByteSource file_source(platform::FileHandle file, char* buffer, std::size_t capacity);
// A source over bytes held by the caller, which must outlive it.
ByteSource bytes_source(std::string_view bytes);

// Loads the next window: the next block of the file; at its end, one LF when
// the last byte delivered was not an LF; after that, F6501. A failed read of
// the file is F6500.
ReadError refill(ByteSource& source);

inline ReadError next_byte(ByteSource& source, char& c) {
    if (source.position == source.end) {
        if (const ReadError error = refill(source)) {
            return error;
        }
    }
    c = source.window[source.position++];
    return std::nullopt;
}

// The record (counted from 1) of the next unread byte; with
// `value_ended_at_line_end`, the record of the value that the line end just
// ended. Counted only when asked, from the window's bytes, so that reading
// pays nothing for it:
//   "1\n2\n" with "1" and its LF read              -> 2
//   the same, asked for the value "1" ended by its LF -> 1
std::int64_t record_number(const ByteSource& source, bool value_ended_at_line_end);

// Puts back the byte that next_byte has just delivered.
inline void put_back(ByteSource& source) {
    --source.position;
}

// Skips to and including the next LF.
ReadError skip_record(ByteSource& source);

// The state of one read, reset by begin_read.
struct ReadState {
    char last_separator = ',';        // ended the previous value: ' ', ',', '/' or another byte
    std::int32_t repeat_pending = 0;  // how many more items take the current token again
    Token token;                      // the current value
    bool ended_at_line_end = false;   // the last value scanned consumed its record's line end
};

inline void reset_read(ReadState& state) {
    state.last_separator = ',';
    state.repeat_pending = 0;
    state.token.clear();
    state.ended_at_line_end = false;
}

// Finds the value of the next item of a free-form read. A pending repeat gives
// the current token again without reading; after a slash the item gets
// nothing; otherwise one value is scanned into state.token. `has_value` is set
// when the token is not null. `text_limit` is the variable's length for a
// character item: quoted characters beyond it are dropped.
ReadError next_item(ByteSource& source, ReadState& state, std::size_t text_limit, bool& has_value);

// The common case of next_item, taken straight from the window: a plain
// decimal value (free_form_token.h), possibly after blanks or tabs, ended by
// a blank, a tab, a comma, a slash, an LF or a CR LF, all within the window.
// It then leaves the source and the state exactly as next_item would, the
// token included, describes the value in `number` and returns true. Anything
// else (a repeat pending, a slash before, a separator or line end before the
// value, a quote, a parenthesis, an exponent, a repeat count, more than 19
// digits, a token or its CR LF cut by the end of the window) returns false
// and consumes nothing, and next_item takes the value.
//   "  1.25 3" -> {125, 2}; the token "1.25", separator ' ', next read at "3"
//   "-7\r\n8"  -> {7, 0, negative}; ended at the line end, next read at "8"
//   "1e3 ", ",5", "2*1.5", "'1'", "1.5" at the window's end -> false
bool scan_plain_decimal(ByteSource& source, ReadState& state, PlainDecimal& number);

// End of a free-form read: the rest of the last record touched is skipped
// unless the last value scanned consumed its line end; a pending repeat is lost.
inline ReadError finish_free_form(ByteSource& source, ReadState& state) {
    state.repeat_pending = 0;
    if (state.ended_at_line_end) {
        return std::nullopt;
    }
    return skip_record(source);
}

// The "(A80)" text read at the start of a record: bytes up to 80, or up to a
// CR or LF, which stays unread; the rest of the 80 is blanks. A tab or any
// other byte is taken unchanged.
//   "" -> 80 blanks;  "ab\tc" -> "ab\tc" and 76 blanks;  100 bytes -> the first 80
ReadError read_text_record(ByteSource& source, char (&text)[80]);

}  // namespace linesynth
