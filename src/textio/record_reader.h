// The input side of an open file: the free-form read and the "(A80)" text read.
//
// A read consumes whole records. It starts at the next unread record; the item
// operations take one value each, spanning as many records as they need; and
// end_read skips the rest of the last record touched. Every failure ends the
// run with the F report for READ(file name) (stops.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace linesynth {

enum class ReadMode { free_form, text };

struct RecordReader {
    std::string file_name;        // as opened; quoted in failure reports
    platform::FileHandle source;  // read forward only; owned by the TextUnit
    // Scanner and read state are added by the reader implementation.
};

// Connects `reader` to an open file; called by open_file().
void attach_reader(RecordReader& reader, const std::string& file_name, platform::FileHandle source);

void begin_read(RecordReader& reader, ReadMode mode);
void get_int(RecordReader& reader, std::int32_t& value);
void get_real(RecordReader& reader, float& value);
void get_double(RecordReader& reader, double& value);
void get_char(RecordReader& reader, char* buffer, std::size_t length);
void get_text(RecordReader& reader, char (&buffer)[80]);
void end_read(RecordReader& reader);

}  // namespace linesynth
