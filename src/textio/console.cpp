#include "textio/console.h"

#include <string_view>

#include "platform/platform.h"

namespace linesynth {
namespace {

constexpr std::string_view line_end = "\r\n";

}  // namespace

TextUnit& console() {
    static TextUnit unit;
    if (!unit.is_console) {
        unit.is_console = true;
        unit.path = "stdout";
        unit.writable = true;
        unit.line.reserve(2 * TextUnit::block_size);
    }
    return unit;
}

void show_console_record(TextUnit& unit) {
    if (unit.line_open) {
        platform::write_stdout(line_end);
    }
    if (!unit.line.empty()) {
        platform::write_stdout(std::string_view(unit.line).substr(1));
    }
    unit.line_open = true;
    unit.line.clear();
}

void end_open_line() {
    if (console().line_open) {
        platform::write_stdout(line_end);
    }
}

}  // namespace linesynth
