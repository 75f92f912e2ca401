// The input side of an open file: the free-form read and the "(A80)" text read.
//
// A read consumes whole records. It starts at the next unread record; the item
// operations take one value each, spanning as many records as they need; and
// end_read skips the rest of the last record touched. Every failure ends the
// run with the F report for READ(file name) and the record it happened in
// (base/run_end.h).
//
// The scanning rules are in free_form_scanner.h, the conversions of a value in
// value_conversion.h. The file is read in blocks of block_size bytes into the
// reader's own buffer, allocated at the first read of the file: a unit that is
// only written never has one. Nothing is allocated per read or per value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "textio/free_form_scanner.h"

namespace linesynth {

enum class ReadMode { free_form, text };

struct RecordReader {
    static constexpr std::size_t block_size = std::size_t{64} * 1024;

    std::string file_name;  // as opened; quoted in failure reports
    // The file's bytes, read forward only; the file itself is the TextUnit's.
    ByteSource bytes;
    std::unique_ptr<std::array<char, block_size>> block;  // where `bytes` reads the file to

    ReadMode mode = ReadMode::free_form;  // of the read in progress
    ReadState state;                      // of the read in progress
};

// Connects `reader` to an open file at its start; called by open_file().
void attach_reader(RecordReader& reader, const std::string& file_name, platform::FileHandle source);

// Disconnects `reader` when its file is closed: a later read finds the end of
// the file instead of a stale descriptor.
void detach_reader(RecordReader& reader);

// Gives the reader its block buffer, at the first read of its file.
void allocate_block(RecordReader& reader);

// Starts a read at the next unread record.
inline void begin_read(RecordReader& reader, ReadMode mode) {
    if (reader.bytes.file && reader.bytes.buffer == nullptr) [[unlikely]] {
        allocate_block(reader);
    }
    reader.mode = mode;
    reset_read(reader.state);
}

// Free-form items: each takes the next value, converted to the variable's
// type; a null value, or an item after a slash, leaves the variable unchanged.
void get_int(RecordReader& reader, std::int32_t& value);
void get_real(RecordReader& reader, float& value);
void get_double(RecordReader& reader, double& value);
// Stores the first `length` characters of the value, padded with blanks.
void get_char(RecordReader& reader, char* buffer, std::size_t length);

// Text read: the record as 80 characters, padded with blanks.
void get_text(RecordReader& reader, char (&buffer)[80]);

// Skips the rest of the last record touched, unless it is already consumed.
void skip_rest_of_record(RecordReader& reader);
inline void end_read(RecordReader& reader) {
    if (reader.mode == ReadMode::free_form && reader.state.ended_at_line_end) {
        reader.state.repeat_pending = 0;  // what finish_free_form does here
        return;
    }
    skip_rest_of_record(reader);
}

// The item operation for a variable's type; a character variable has length 1.
inline void get_value(RecordReader& reader, std::int32_t& value) {
    get_int(reader, value);
}
inline void get_value(RecordReader& reader, float& value) {
    get_real(reader, value);
}
inline void get_value(RecordReader& reader, double& value) {
    get_double(reader, value);
}
inline void get_value(RecordReader& reader, char& value) {
    get_char(reader, &value, 1);
}

// One whole free-form read of the variables, in order, each by its type:
//   read_values(file, count, norm_a, norm_b)
//     -> begin_read, get_int three times, end_read
template <typename... Values>
void read_values(RecordReader& reader, Values&... values) {
    begin_read(reader, ReadMode::free_form);
    (get_value(reader, values), ...);
    end_read(reader);
}

// One whole text read of one record.
inline void read_text(RecordReader& reader, char (&buffer)[80]) {
    begin_read(reader, ReadMode::text);
    get_text(reader, buffer);
    end_read(reader);
}

}  // namespace linesynth
