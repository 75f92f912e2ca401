// The scanner on bytes in memory: one row per input, the values one free-form
// read of `items` items takes (a token as written, "null" for a null value,
// "Fnnnn" for the failure that ends the read) and the bytes left for the next
// read. Tokens are shown as text, q[text] when quoted, p[text] when
// parenthesised, with "~" appended when overlong.
#include "textio/free_form_scanner.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
#include <random>
#include <string>

namespace linesynth {
namespace {

std::string describe(const Token& token) {
    std::string text(token.view());
    if (token.overlong) {
        text += "~";
    }
    switch (token.kind) {
        case TokenKind::quoted:
            return "q[" + text + "]";
        case TokenKind::parenthesised:
            return "p[" + text + "]";
        case TokenKind::plain:
            break;
    }
    return text;
}

std::string failure_text(Failure failure) {
    return "F" + std::to_string(static_cast<int>(failure));
}

struct ScanOutcome {
    std::string items;
    std::string rest;
};

// One free-form read of `items` items, then its end.
ScanOutcome scan(const std::string& bytes, int items, std::size_t text_limit = token_capacity) {
    ByteSource source = bytes_source(bytes);
    ReadState state;
    reset_read(state);
    ScanOutcome outcome;
    for (int i = 0; i < items; ++i) {
        bool has_value = false;
        if (const ReadError error = next_item(source, state, text_limit, has_value)) {
            outcome.items += (i > 0 ? " " : "") + failure_text(*error);
            return outcome;
        }
        outcome.items += (i > 0 ? " " : "") + (has_value ? describe(state.token) : "null");
    }
    if (const ReadError error = finish_free_form(source, state)) {
        outcome.items += " end " + failure_text(*error);
        return outcome;
    }
    outcome.rest.assign(source.window + source.position, source.end - source.position);
    return outcome;
}

struct Row {
    std::string bytes;
    int items;
    std::string values;
    std::string rest;
};

template <std::size_t N>
void check(const Row (&rows)[N]) {
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << '"' << row.bytes << "\" items " << row.items);
        const ScanOutcome outcome = scan(row.bytes, row.items);
        EXPECT_EQ(outcome.items, row.values);
        EXPECT_EQ(outcome.rest, row.rest);
    }
}

TEST(Scanner, LineEndsAndRecords) {
    const Row rows[] = {
        {"1\n2\n", 2, "1 2", ""},
        {"1\n2\n3\n", 2, "1 2", "3\n"},
        {"1\r\n2\r\n3\r\n", 2, "1 2", "3\r\n"},
        {"\n\n  \n\t\n7\nnext\n", 1, "7", "next\n"},
        {"\r\n \r\n7\r\nnext\r\n", 1, "7", "next\r\n"},
        {"7 8 9\nnext\n", 1, "7", "next\n"},
        {"7 8 9\r\nnext\r\n", 1, "7", "next\r\n"},
        // A CR ends the record: the bytes up to the LF go with it.
        {"1\r2\n3\n", 1, "1", "3\n"},
        {"1\r2\n3\n", 2, "1 3", ""},
        // The last record needs no LF.
        {"7", 1, "7", ""},
        {"7 8", 1, "7", ""},
        {"1 2", 2, "1 2", ""},
        {"1\n2", 2, "1 2", ""},
        {"1\r", 1, "1", ""},
        // A read that needs a byte after the last record.
        {"", 1, "F6501", ""},
        {"\n\n", 1, "F6501", ""},
        {"  ", 1, "F6501", ""},
        {"1\n", 2, "1 F6501", ""},
        {"1", 2, "1 F6501", ""},
        {"", 0, " end F6501", ""},
    };
    check(rows);
}

TEST(Scanner, QuotedValues) {
    const Row rows[] = {
        {"'ab'\n", 1, "q[ab]", ""},
        {"\"ab\"\n", 1, "q[ab]", ""},
        {"'it''s' x\n", 1, "q[it's]", ""},
        {"\"say \"\"hi\"\"\"\n", 1, "q[say \"hi\"]", ""},
        {"'a\"b' \"a'b\"\n", 2, "q[a\"b] q[a'b]", ""},
        {"'a, b/c*(d)'\n", 1, "q[a, b/c*(d)]", ""},
        // Continued on the next record, whose first byte is skipped.
        {"'ab\n cd'\n", 1, "q[abcd]", ""},
        {"'ab\r\n cd'\r\n", 1, "q[abcd]", ""},
        {"'ab\nxcd' 5\n", 2, "q[abcd] 5", ""},
        {"'ab\n\n cd'\n", 1, "q[ab cd]", ""},
        // The byte after the closing quote is the separator, whatever it is.
        {"'ab'x5\n", 2, "q[ab] 5", ""},
        {"'ab'/5\n", 2, "q[ab] null", ""},
        {"'ab',,5\n", 3, "q[ab] null 5", ""},
        {"'ab'\t,5\n", 2, "q[ab] 5", ""},
        {"'ab'5\n", 2, "q[ab] F6501", ""},
        // A line end there ends the value with its record.
        {"'ab'\nnext\n", 1, "q[ab]", "next\n"},
        {"'ab'\r\nnext\r\n", 1, "q[ab]", "next\r\n"},
        {"'ab'\n,5\n", 2, "q[ab] 5", ""},
        {"'ab'", 1, "q[ab]", ""},
        // An empty quoted text is a null value.
        {"'',5\n", 2, "null 5", ""},
        {"''\n7\n", 2, "null 7", ""},
        // Left open at the end of the file.
        {"'ab", 1, "F6501", ""},
        {"'ab\n", 1, "F6501", ""},
        {"'ab\ncd", 1, "F6501", ""},
        {"'ab''", 1, "F6501", ""},
        // A quote inside a plain value is an ordinary character.
        {"a'b\n", 1, "a'b", ""},
    };
    check(rows);
}

TEST(Scanner, QuotedCharactersBeyondTheVariableAreDropped) {
    EXPECT_EQ(scan("'abc' 'de' xyz\n", 3, 1).items, "q[a] q[d] xyz");
    EXPECT_EQ(scan("'abc'\n", 1, 0).items, "null");
    EXPECT_EQ(scan("'" + std::string(300, 'a') + "'\n", 1, 1000).items,
              "q[" + std::string(token_capacity, 'a') + "]");
}

TEST(Scanner, BlanksAndTabs) {
    const Row rows[] = {
        {"  \t 5\t6  7\n", 3, "5 6 7", ""},
        {"( 1 ,\t2 )\n", 1, "p[1,2]", ""},
        {"5\t\t\nnext\n", 1, "5", "next\n"},
    };
    check(rows);
}

TEST(Scanner, ParenthesisedPairs) {
    const Row rows[] = {
        {"(1,2) 3\n", 2, "p[1,2] 3", ""},
        {"(1,2),3\n", 2, "p[1,2] 3", ""},
        {"(1,2) , 3\n", 2, "p[1,2] 3", ""},
        {"(1,2),,3\n", 3, "p[1,2] null 3", ""},
        {"(1,\n2)\n", 1, "p[1,2]", ""},
        {"(1,2)\nnext\n", 1, "p[1,2]", "next\n"},
        {"(1,2)/3\n", 2, "p[1,2] null", ""},
        {"(1/2)\n", 2, "p[1] null", ""},
        {"()\n", 1, "null", ""},
        {"1(2)\n", 1, "1(2)", ""},
        {"(1,2", 1, "F6501", ""},
    };
    check(rows);
}

TEST(Scanner, RepeatCounts) {
    const Row rows[] = {
        {"3*0.5\n", 3, "0.5 0.5 0.5", ""},
        {"2*5 6\n", 3, "5 5 6", ""},
        {"2*\nnext\n", 2, "null null", "next\n"},
        {"2* 5\n", 3, "null null 5", ""},
        {"2*,5\n", 3, "null null 5", ""},
        {"2*/\n", 3, "null null null", ""},
        {"1* 5\n", 2, "null 5", ""},
        {"1*5 6\n", 2, "5 6", ""},
        {"3*7\nnext\n", 1, "7", "next\n"},
        {"3*7 8\nnext\n", 1, "7", "next\n"},
        {"2*'ab'\n", 2, "q[ab] q[ab]", ""},
        {"2*(1,2)\n", 2, "p[1,2] p[1,2]", ""},
        {"+2*5\n", 2, "5 5", ""},
        {"#2*5\n", 2, "5 5", ""},
        {"2*5\n", 3, "5 5 F6501", ""},
        {"0*5\n", 1, "F6502", ""},
        {"-0*5\n", 1, "F6502", ""},
        {"*5\n", 1, "F6502", ""},
        {"-2*5\n", 1, "F6502", ""},
        {"2*3*4\n", 1, "F6503", ""},
        {"1*2*4\n", 1, "F6503", ""},
        {"2**\n", 1, "F6503", ""},
        {"x*5\n", 1, "F6101", ""},
        {"1.5*5\n", 1, "F6101", ""},
        {"99999999999*5\n", 1, "F6100", ""},
        {"37#1*5\n", 1, "F6303", ""},
        {"(2*3)\n", 1, "F6504", ""},
        // An empty count between parentheses is still parenthesised.
        {"(* 1\n", 1, "F6504", ""},
    };
    check(rows);
}

TEST(Scanner, Commas) {
    const Row rows[] = {
        {"3 , 4\n", 2, "3 4", ""},     {"3,4\n", 2, "3 4", ""},
        {"3,,4\n", 3, "3 null 4", ""}, {"3, ,4\n", 3, "3 null 4", ""},
        {",5\n", 2, "null 5", ""},     {" ,5\n", 2, "null 5", ""},
        {"1,\n2\n", 2, "1 2", ""},     {"1 ,\n,2\n", 3, "1 null 2", ""},
        {"1\n,2\n", 2, "1 2", ""},     {",\n", 1, "null", ""},
        {"1,5\n", 1, "1", ""},
    };
    check(rows);
}

TEST(Scanner, Slashes) {
    const Row rows[] = {
        {"1 2 / 3\n", 3, "1 2 null", ""},
        {"1 2 / 3\nnext\n", 4, "1 2 null null", "next\n"},
        {"1/2\n", 3, "1 null null", ""},
        {"/\nnext\n", 1, "null", "next\n"},
        {"1 2 /\nnext\n", 3, "1 2 null", "next\n"},
        {"1,/\n", 2, "1 null", ""},
    };
    check(rows);
}

TEST(Scanner, OtherCharactersJoinTheValue) {
    const std::string long_value(300, '7');
    const Row rows[] = {
        {"abc def\n", 2, "abc def", ""},
        {std::string("\x01\xff\x7f\n", 4), 1, std::string("\x01\xff\x7f", 3), ""},
        {std::string("a\0b\n", 4), 1, std::string("a\0b", 3), ""},
        {"1)2\n", 1, "1)2", ""},
        {long_value + "\nnext\n", 1, std::string(token_capacity, '7') + "~", "next\n"},
        {std::string(token_capacity, '7') + "\n", 1, std::string(token_capacity, '7'), ""},
    };
    check(rows);
}

TEST(Scanner, TextRecord) {
    struct TextRow {
        std::string bytes;
        std::string text;  // the characters before the blanks that fill the 80
        std::string rest;
    };
    const TextRow rows[] = {
        {"\nnext\n", "", "\nnext\n"},
        {"\r\nnext\n", "", "\r\nnext\n"},
        {"a\tb \nnext\n", "a\tb", "\nnext\n"},
        {"abc", "abc", "\n"},
        {std::string(100, 'x') + "\n", std::string(80, 'x'), std::string(20, 'x') + "\n"},
        {std::string(80, 'x'), std::string(80, 'x'), ""},
    };
    for (const TextRow& row : rows) {
        SCOPED_TRACE(row.bytes);
        ByteSource source = bytes_source(row.bytes);
        char text[80];
        ASSERT_FALSE(read_text_record(source, text));
        EXPECT_EQ(std::string(text, sizeof text),
                  row.text + std::string(80 - row.text.size(), ' '));
        EXPECT_EQ(std::string(source.window + source.position, source.end - source.position),
                  row.rest);
    }
    ByteSource empty = bytes_source("");
    char text[80];
    EXPECT_EQ(read_text_record(empty, text), Failure::end_of_file);
}

// Garbled input never reads outside the bytes, never loops without taking a
// byte, and every read ends with values or a failure.
TEST(Scanner, GarbledBytesEndInValuesOrAFailure) {
    std::mt19937 random(20240611);
    const std::string alphabet = " \t,/*'\"()\r\n\n#+-.eEdD0123456789xZ";
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 40, ' ');
        for (char& c : bytes) {
            c = random() % 8 == 0 ? static_cast<char>(random() % 256)
                                  : alphabet[random() % alphabet.size()];
        }
        ByteSource source = bytes_source(bytes);
        ReadState state;
        bool failed = false;
        for (int read = 0; read < 50 && !failed; ++read) {
            reset_read(state);
            for (int item = 0; item < 3 && !failed; ++item) {
                bool has_value = false;
                failed = next_item(source, state, 1 + static_cast<std::size_t>(item), has_value)
                             .has_value();
                ASSERT_LE(source.position, source.end);
            }
            failed = failed || finish_free_form(source, state).has_value();
        }
        // At most one record per read, and the bytes are fewer than 50 records.
        EXPECT_TRUE(failed) << bytes;
    }
}

// The fast scan against the general scanner on random tokens: mostly plain
// decimals of every length, with signs, points, exponents, repeat counts,
// quotes, parentheses and every separator mixed in, sometimes cut by the end
// of the bytes, read from every read state an item can meet. Where the fast
// scan takes a value, the general scanner must leave the same state and
// position, and the fast conversion must give the bits of the token's
// conversion; where it declines, it must have consumed nothing.
TEST(Scanner, FastScanAgreesWithTheGeneralScanner) {
    std::mt19937 engine(61);
    const auto pick = [&engine](std::size_t n) {
        return static_cast<std::size_t>(engine() % static_cast<std::uint32_t>(n));
    };
    const std::string digits = "0123456789";
    const std::string others = "..+-eEdD*'\"(),/ \t\r\nx#";
    const std::string separators[] = {" ", "\t", ",", "/", "\n", "\r\n", "\r", "e", "*", "x", ""};
    int taken = 0;
    int converted = 0;
    for (int round = 0; round < 100000; ++round) {
        std::string bytes(pick(3), ' ');
        if (pick(8) == 0) {
            bytes += "\t";
        }
        if (pick(3) == 0) {
            bytes += pick(2) == 0 ? "-" : "+";
        }
        const std::size_t length = pick(4) == 0 ? pick(30) : 1 + pick(12);
        bool point = false;
        for (std::size_t k = 0; k < length; ++k) {
            if (pick(12) == 0) {
                bytes += others[pick(others.size())];
            } else if (!point && pick(6) == 0) {
                bytes += '.';
                point = true;
            } else {
                bytes += digits[pick(digits.size())];
            }
        }
        bytes += separators[pick(std::size(separators))];
        // Most tokens have the 32 bytes after them that the fast scan needs.
        if (pick(4) != 0) {
            bytes += std::string(32 + pick(16), pick(2) == 0 ? '7' : ' ') + "\n";
        }
        ReadState before;
        reset_read(before);
        before.last_separator = " ,,/"[pick(4)];
        before.repeat_pending = pick(6) == 0 ? 1 : 0;
        SCOPED_TRACE(::testing::Message() << '"' << bytes << "\" after '" << before.last_separator
                                          << "', repeat " << before.repeat_pending);

        ByteSource fast_source = bytes_source(bytes);
        ReadState fast_state = before;
        PlainDecimal number;
        const bool fast = scan_plain_decimal(fast_source, fast_state, number);
        if (!fast) {
            ASSERT_EQ(fast_source.position, 0u);
            ASSERT_EQ(fast_state.last_separator, before.last_separator);
            ASSERT_EQ(fast_state.repeat_pending, before.repeat_pending);
            ASSERT_EQ(fast_state.ended_at_line_end, before.ended_at_line_end);
            ASSERT_TRUE(fast_state.token.is_null());
            continue;
        }
        ++taken;
        ByteSource source = bytes_source(bytes);
        ReadState state = before;
        bool has_value = false;
        ASSERT_EQ(next_item(source, state, token_capacity, has_value), std::nullopt);
        ASSERT_TRUE(has_value);
        ASSERT_EQ(fast_source.position, source.position);
        ASSERT_EQ(fast_state.last_separator, state.last_separator);
        ASSERT_EQ(fast_state.repeat_pending, state.repeat_pending);
        ASSERT_EQ(fast_state.ended_at_line_end, state.ended_at_line_end);
        ASSERT_EQ(describe(fast_state.token), describe(state.token));

        double general_double = 0.0;
        float general_real = 0.0f;
        ASSERT_EQ(convert_double(state.token, general_double), std::nullopt);
        ASSERT_EQ(convert_real(state.token, general_real), std::nullopt);
        double fast_double = 0.0;
        if (plain_decimal_to_double(number, fast_double)) {
            ++converted;
            ASSERT_EQ(std::bit_cast<std::uint64_t>(fast_double),
                      std::bit_cast<std::uint64_t>(general_double));
            ASSERT_EQ(std::bit_cast<std::uint32_t>(static_cast<float>(fast_double)),
                      std::bit_cast<std::uint32_t>(general_real));
        }
    }
    // The sweep reaches both paths often.
    EXPECT_GT(taken, 15000);
    EXPECT_GT(converted, 12000);
}

}  // namespace
}  // namespace linesynth
