// The free-form write: one record (or several, when items do not fit the 79
// columns) laid out from integer, real and text items, on a file TextUnit or
// on console().
#pragma once

#include <cstdint>
#include <string_view>

#include "textio/text_unit.h"

namespace linesynth {

void begin_record(TextUnit& unit);
void put_integer(TextUnit& unit, std::int32_t value);
void put_real(TextUnit& unit, float value);
void put_text(TextUnit& unit, std::string_view text);
void end_record(TextUnit& unit);

}  // namespace linesynth
