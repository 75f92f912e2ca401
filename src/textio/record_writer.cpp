// The layout of free-form records. The texts of the numbers come from
// real_text.h; this file only places them.
//
// Placing a numeric item of field width w (11 or 15) and text length L:
// t = w, plus 1 when a numeric item came before it in the record (the
// separating blank); the t - L blanks of its field are owed before its text.
// When fewer than t + 1 columns remain, the record ends first and the item
// opens the next one, preceded only by the blanks owed for it. Examples
// ("." a blank, "|" the end of a record):
//   100                    -> ".........100|"
//   1.0, -2.5, 0.0         -> "........1.000000.......-2.500000....0.000000E+00|"
//   five times 1.0         -> "........1.000000" four times (64 columns), then
//                             "|........1.000000|": the fifth does not fit
//   "N=", 10001            -> ".N=......10001|"  (no separating blank after a text)
//   nothing                -> ".|"
// A text opens its record after the leading blank, or follows the item before
// it directly. Of a text that does not fit, the first `remaining` characters
// end the record and the rest goes on after the leading blank of the next; a
// text that exactly fills `remaining` ends its record all the same:
//   78 x "A"               -> ".AA...A|"         (78 A)
//   79 x "A"               -> ".AA...A|.|"       (79 A, then a record of only
//                                                 the leading blank)
//   80 x "A"               -> ".AA...A|.A|"      (79 A, then 1)
#include "textio/record_writer.h"

#include <algorithm>
#include <cstring>

#include "textio/console.h"
#include "textio/real_text.h"

namespace linesynth {
namespace {

constexpr int record_width = 79;
constexpr int integer_field = 11;
constexpr int real_field = 15;
constexpr std::string_view line_end = "\r\n";
constexpr std::string_view blanks = "                                ";  // 32

// Adds bytes to the record in progress: the console keeps them until the
// record ends, a file takes them into its block.
void emit(TextUnit& unit, std::string_view bytes) {
    if (unit.is_console) {
        unit.line.append(bytes);
    } else {
        write_bytes(unit, bytes);
    }
}

void emit_blanks(TextUnit& unit, int count) {
    while (count > 0) {
        const auto n = std::min(static_cast<std::size_t>(count), blanks.size());
        emit(unit, blanks.substr(0, n));
        count -= static_cast<int>(n);
    }
}

// Writes `count` blanks and then `text`.
void emit_after_blanks(TextUnit& unit, int count, std::string_view text) {
    emit_blanks(unit, count);
    emit(unit, text);
}

// The text of a numeric item with room for its blanks in front of it: a
// numeric item is owed at most 16 blanks (the leading blank and a field of 15,
// or a separating blank and a field of 15), so the blanks and the text go out
// as one piece without copying.
struct NumericText {
    static constexpr std::size_t headroom = 16;
    char bytes[headroom + real_text_room];
    std::size_t length;

    char* text() { return bytes + headroom; }
};

void emit_numeric(TextUnit& unit, int count, NumericText& item) {
    const auto n = static_cast<std::size_t>(count);
    if (count >= 0 && n <= NumericText::headroom) {
        std::memset(item.bytes, ' ', NumericText::headroom);
        emit(unit, std::string_view(item.text() - n, n + item.length));
        return;
    }
    emit_after_blanks(unit, count, std::string_view(item.text(), item.length));
}

// Ends the current record with the blanks still owed to it.
void finish_record(TextUnit& unit) {
    if (unit.is_console) {
        emit_blanks(unit, unit.record.pending_blanks);
        show_console_record(unit);
    } else {
        // At most one blank is owed at a record's end.
        emit_after_blanks(unit, unit.record.pending_blanks, line_end);
    }
    unit.record.pending_blanks = 0;
}

void place_numeric(TextUnit& unit, int width, NumericText& item) {
    RecordState& state = unit.record;
    const int t = width + (state.separator_due ? 1 : 0);
    state.separator_due = true;
    state.pending_blanks += t - static_cast<int>(item.length);
    if (state.remaining <= t) {
        const int held = state.pending_blanks;
        state.pending_blanks = 0;
        finish_record(unit);
        state.remaining = record_width;
        state.pending_blanks = held;
    }
    emit_numeric(unit, state.pending_blanks, item);
    state.pending_blanks = 0;
    state.remaining -= t;
}

// The common case, laid out straight into the block: a file unit that has
// been cut already and can be written, an item that fits the record, and
// room in the block for the widest item (16 blanks and a copy of fixed
// length of its text). The bytes and the state are those of place_numeric;
// an item never fills the block here, so nothing is written out. Each item
// is in the block before the caller computes the next one, so a fault in a
// later item's computation leaves exactly the items before it, as on the
// general way.
constexpr std::size_t direct_room = NumericText::headroom + real_text_room;
static_assert(direct_room < TextUnit::block_size);

bool direct_ready(const TextUnit& unit) {
    return unit.written && unit.writable && !unit.is_console &&
           TextUnit::block_size - unit.block_fill >= direct_room;
}

template <typename Value, std::size_t (*format)(Value, char*)>
void put_numeric(TextUnit& unit, int width, Value value) {
    RecordState& state = unit.record;
    const int t = width + (state.separator_due ? 1 : 0);
    if (direct_ready(unit) && state.remaining > t) {
        char text[real_text_room];
        const std::size_t length = format(value, text);
        // At most 16: the leading blank and a field of 15 less a text of 1.
        const auto owed =
            static_cast<std::size_t>(state.pending_blanks + t - static_cast<int>(length));
        char* const out = unit.block.data() + unit.block_fill;
        std::memcpy(out, blanks.data(), NumericText::headroom);
        std::memcpy(out + owed, text, real_text_room);
        unit.block_fill += owed + length;
        state.separator_due = true;
        state.pending_blanks = 0;
        state.remaining -= t;
        return;
    }
    NumericText item;
    item.length = format(value, item.text());
    place_numeric(unit, width, item);
}

}  // namespace

void begin_record(TextUnit& unit) {
    unit.record = RecordState{};
    if (unit.is_console) {
        unit.line.clear();
    }
}

void put_integer(TextUnit& unit, std::int32_t value) {
    put_numeric<std::int32_t, format_integer>(unit, integer_field, value);
}

void put_real(TextUnit& unit, float value) {
    put_numeric<float, format_real>(unit, real_field, value);
}

void put_text(TextUnit& unit, std::string_view text) {
    RecordState& state = unit.record;
    if (state.pending_blanks != 1) {
        state.pending_blanks = 0;
    }
    for (;;) {
        const auto n = static_cast<std::ptrdiff_t>(text.size());
        if (state.remaining > n) {
            emit_after_blanks(unit, state.pending_blanks, text);
            state.pending_blanks = 0;
            state.remaining -= static_cast<int>(n);
            break;
        }
        // remaining >= 1 always: every placement leaves at least one column.
        const auto fits = static_cast<std::size_t>(state.remaining);
        emit_after_blanks(unit, state.pending_blanks, text.substr(0, fits));
        text.remove_prefix(fits);
        state.pending_blanks = 0;
        finish_record(unit);
        state.remaining = record_width;
        state.pending_blanks = 1;
        if (text.empty()) {
            break;
        }
    }
    state.separator_due = false;
}

void end_record(TextUnit& unit) {
    if (direct_ready(unit) && unit.record.pending_blanks >= 0 && unit.record.pending_blanks <= 1) {
        // What finish_record writes for a file, straight into the block.
        char* const out = unit.block.data() + unit.block_fill;
        const auto owed = static_cast<std::size_t>(unit.record.pending_blanks);
        out[0] = ' ';
        std::memcpy(out + owed, line_end.data(), line_end.size());
        unit.block_fill += owed + line_end.size();
        unit.record.pending_blanks = 0;
        return;
    }
    finish_record(unit);
}

}  // namespace linesynth
