// Placeholder until the free-form writer lands: texts only.
#include "textio/record_writer.h"

#include "platform/platform.h"

namespace linesynth {

void begin_record(TextUnit& unit) { unit.record = RecordState{}; unit.line.assign(" "); }
void put_integer(TextUnit&, std::int32_t) {}
void put_real(TextUnit&, float) {}
void put_text(TextUnit& unit, std::string_view text) { unit.line.append(text); }
void end_record(TextUnit& unit) {
    if (unit.is_console) {
        if (unit.line_open) platform::write_stdout("\r\n");
        platform::write_stdout(std::string_view(unit.line).substr(1));
        unit.line_open = true;
    } else {
        unit.line += "\r\n";
        write_bytes(unit, unit.line);
    }
}

}  // namespace linesynth
