// Placeholder until the free-form reader lands.
#include "textio/record_reader.h"

#include "run/stops.h"

namespace linesynth {

void attach_reader(RecordReader& reader, const std::string& file_name, platform::FileHandle source) {
    reader.file_name = file_name;
    reader.source = source;
}

void begin_read(RecordReader&, ReadMode) {}
void get_int(RecordReader& reader, std::int32_t&) { fail_file(Failure::end_of_file, "READ", reader.file_name); }
void get_real(RecordReader& reader, float&) { fail_file(Failure::end_of_file, "READ", reader.file_name); }
void get_double(RecordReader& reader, double&) { fail_file(Failure::end_of_file, "READ", reader.file_name); }
void get_char(RecordReader& reader, char*, std::size_t) { fail_file(Failure::end_of_file, "READ", reader.file_name); }
void get_text(RecordReader& reader, char (&)[80]) { fail_file(Failure::end_of_file, "READ", reader.file_name); }
void end_read(RecordReader&) {}

}  // namespace linesynth
