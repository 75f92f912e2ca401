#include "textio/record_reader.h"

#include "base/run_end.h"
#include "textio/value_conversion.h"

namespace linesynth {
namespace {

void check(const RecordReader& reader, const ReadError& error) {
    if (error) {
        fail_file(*error, "READ", reader.file_name,
                  record_number(reader.bytes, reader.state.ended_at_line_end));
    }
}

// The token of the next item, or nullptr when the variable stays unchanged.
const Token* next_value(RecordReader& reader, std::size_t text_limit) {
    bool has_value = false;
    check(reader, next_item(reader.bytes, reader.state, text_limit, has_value));
    return has_value ? &reader.state.token : nullptr;
}

}  // namespace

void attach_reader(RecordReader& reader, const std::string& file_name,
                   platform::FileHandle source) {
    reader.file_name = file_name;
    reader.bytes = file_source(source, nullptr, 0);
    reader.mode = ReadMode::free_form;
    reset_read(reader.state);
}

void detach_reader(RecordReader& reader) {
    reader.bytes = ByteSource{};
    reset_read(reader.state);
}

void allocate_block(RecordReader& reader) {
    if (!reader.block) {
        // Every byte is read into before it is looked at.
        reader.block = std::make_unique_for_overwrite<std::array<char, RecordReader::block_size>>();
    }
    reader.bytes.buffer = reader.block->data();
    reader.bytes.capacity = reader.block->size();
}

void get_int(RecordReader& reader, std::int32_t& value) {
    if (const Token* token = next_value(reader, token_capacity)) {
        check(reader, convert_integer(*token, value));
    }
}

void get_real(RecordReader& reader, float& value) {
    PlainDecimal number;
    if (scan_plain_decimal(reader.bytes, reader.state, number)) {
        double wide = 0.0;
        if (plain_decimal_to_double(number, wide)) {
            // Below 2^53 in magnitude: always within the 32-bit range, so
            // the narrowing is that of convert_real.
            value = static_cast<float>(wide);
        } else {
            check(reader, convert_real(reader.state.token, value));
        }
        return;
    }
    if (const Token* token = next_value(reader, token_capacity)) {
        check(reader, convert_real(*token, value));
    }
}

void get_double(RecordReader& reader, double& value) {
    PlainDecimal number;
    if (scan_plain_decimal(reader.bytes, reader.state, number)) {
        if (!plain_decimal_to_double(number, value)) {
            check(reader, convert_double(reader.state.token, value));
        }
        return;
    }
    if (const Token* token = next_value(reader, token_capacity)) {
        check(reader, convert_double(*token, value));
    }
}

void get_char(RecordReader& reader, char* buffer, std::size_t length) {
    if (const Token* token = next_value(reader, length)) {
        convert_characters(*token, buffer, length);
    }
}

void get_text(RecordReader& reader, char (&buffer)[80]) {
    check(reader, read_text_record(reader.bytes, buffer));
}

void skip_rest_of_record(RecordReader& reader) {
    if (reader.mode == ReadMode::text) {
        check(reader, skip_record(reader.bytes));
    } else {
        check(reader, finish_free_form(reader.bytes, reader.state));
    }
}

}  // namespace linesynth
