#include "textio/free_form_scanner.h"

#include <algorithm>
#include <array>
#include <bit>
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

// The fast scan looks at most this many bytes past the first byte of a
// value: a token of at most 21 characters (sign, 19 digits, point), its CR LF,
// and the 8-byte loads that find the digits. It leaves a value that starts
// nearer to the end of the window to the general scanner.
constexpr std::size_t plain_reach = 32;
// The bytes copied into the token: all of a token of the fast scan.
constexpr std::size_t plain_copy = 24;
static_assert(plain_copy <= token_capacity);

// A run of digits at `p`, of at most 8: how many there are and their value.
//   "98997611" -> 8, 98997611;   "5286.00 " -> 4, 5286;   ".5" -> 0, 0
struct DigitRun {
    unsigned count;
    std::uint32_t value;
};

DigitRun digit_run(const char* p) {
    if constexpr (std::endian::native != std::endian::little) {
        DigitRun run{0, 0};
        for (; run.count < 8; ++run.count) {
            const auto digit =
                static_cast<unsigned>(static_cast<unsigned char>(p[run.count])) - '0';
            if (digit >= 10) {
                break;
            }
            run.value = run.value * 10 + digit;
        }
        return run;
    } else {
        // The 8 bytes as one word, the first byte lowest. A byte is a digit
        // when it is at least '0' (no borrow out of byte - '0') and at most
        // '9' (no carry into the top bit of byte + 0x46); the lowest byte
        // whose top bit is set in `others` is the first that is not a digit,
        // since below it nothing borrows or carries.
        std::uint64_t word = 0;
        std::memcpy(&word, p, sizeof word);
        constexpr std::uint64_t zeros = 0x3030303030303030;
        const std::uint64_t others =
            ((word + 0x4646464646464646) | (word - zeros)) & 0x8080808080808080;
        const auto count = static_cast<unsigned>(std::countr_zero(others)) / 8;
        if (count == 0) {
            return DigitRun{0, 0};
        }
        if (count < 8) {
            // The run as the last digits of eight, behind leading zeros.
            const unsigned gap = 64 - 8 * count;
            word = (word << gap) | (zeros >> (8 * count));
        }
        // Digits into pairs, pairs into fours, fours into the eight; the first
        // byte is the most significant digit.
        word -= zeros;
        word = word * 10 + (word >> 8);
        constexpr std::uint64_t pair_mask = 0x000000ff000000ff;
        word = ((word & pair_mask) * 0x000f424000000064 +
                ((word >> 16) & pair_mask) * 0x0000271000000001) >>
               32;
        return DigitRun{count, static_cast<std::uint32_t>(word)};
    }
}

// The LFs among `size` bytes, counted in chunks that a byte counter cannot
// overflow, so that the compiler can count many bytes per instruction.
std::int64_t count_line_feeds(const char* bytes, std::size_t size) {
    std::int64_t total = 0;
    while (size > 0) {
        const std::size_t chunk = std::min<std::size_t>(size, 255);
        unsigned char count = 0;
        for (std::size_t k = 0; k < chunk; ++k) {
            count = static_cast<unsigned char>(count + (bytes[k] == '\n' ? 1 : 0));
        }
        total += count;
        bytes += chunk;
        size -= chunk;
    }
    return total;
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
                // The count is read by the integer rules, whose first check
                // refuses a parenthesised token, even an empty one: "(*" is
                // F6504 like "(5*"; only an empty plain count reads as 0.
                if (!started && !in_pair) {
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
        source.lines_passed += count_line_feeds(source.window, source.end);
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
        source.lines_passed + count_line_feeds(source.window, source.position);
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

namespace {

// The digits of a plain number so far, and where the scan stands.
struct DecimalDigits {
    std::uint64_t significand;
    unsigned count;
    const char* end;  // the first byte not yet taken
};

// The digits from `digits.end` on, one at a time. More than 19 digits in all
// are refused (false) as soon as there are 20, before the wrapped
// significand is used and before the scan leaves its reach.
bool more_digits(DecimalDigits& digits) {
    for (;; ++digits.end) {
        const auto digit = static_cast<unsigned>(static_cast<unsigned char>(*digits.end)) - '0';
        if (digit >= 10) {
            return true;
        }
        digits.significand = digits.significand * 10 + digit;
        if (++digits.count > 19) {
            return false;
        }
    }
}

// What a byte does when it follows a plain number: `recorded` is the
// separator the read keeps (a tab and a line end count as a blank), 0 for a
// byte that makes the value something else than a plain number.
struct AfterNumber {
    char recorded;
    bool line_end;
    bool carriage_return;  // a line end only when an LF follows
};

constexpr std::array<AfterNumber, 256> after_number = [] {
    std::array<AfterNumber, 256> table{};
    table[' '] = {' ', false, false};
    table['\t'] = {' ', false, false};
    table[','] = {',', false, false};
    table['/'] = {'/', false, false};
    table['\n'] = {' ', true, false};
    table['\r'] = {' ', true, true};
    return table;
}();

}  // namespace

bool scan_plain_decimal(ByteSource& source, ReadState& state, PlainDecimal& number) {
    if (state.repeat_pending > 0 || state.last_separator == '/') {
        return false;
    }
    const char* const window = source.window;
    const std::size_t end = source.end;
    std::size_t i = source.position;
    while (i < end && (window[i] == ' ' || window[i] == '\t')) {
        ++i;
    }
    if (end - i < plain_reach) {
        return false;
    }
    const char* const first = window + i;
    const bool negative = *first == '-';
    const char* const unsigned_first = first + (negative || *first == '+' ? 1 : 0);
    // The digits before the point one at a time (there are few as a rule),
    // the first 8 after it at once.
    DecimalDigits digits{0, 0, unsigned_first};
    if (!more_digits(digits)) {
        return false;
    }
    int fraction_digits = 0;
    if (*digits.end == '.') {
        static constexpr std::uint64_t scale[] = {1,      10,      100,      1000,     10000,
                                                  100000, 1000000, 10000000, 100000000};
        const unsigned before = digits.count;
        const DigitRun run = digit_run(digits.end + 1);
        digits.significand = digits.significand * scale[run.count] + run.value;
        digits.count += run.count;
        digits.end += 1 + run.count;
        if (digits.count > 19 || (run.count == 8 && !more_digits(digits))) {
            return false;
        }
        fraction_digits = static_cast<int>(digits.count - before);
    }
    if (digits.count == 0) {
        return false;  // a lone sign or point: not a number
    }
    const AfterNumber after = after_number[static_cast<unsigned char>(*digits.end)];
    const char* next = digits.end + 1;
    if (after.recorded == 0 || (after.carriage_return && *next != '\n')) {
        return false;  // not a plain number; or a lone CR, which skip_record handles
    }
    next += after.carriage_return ? 1 : 0;
    Token& token = state.token;
    token.clear();
    token.length = static_cast<std::size_t>(digits.end - first);
    // The token has at most 21 characters: a copy of fixed length costs a
    // few moves instead of a call.
    std::memcpy(token.text.data(), first, plain_copy);
    state.last_separator = after.recorded;
    state.ended_at_line_end = after.line_end;
    source.position = static_cast<std::size_t>(next - window);
    number = PlainDecimal{digits.significand, fraction_digits, negative};
    return true;
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
