// The summary page gathers one record per completed run.
#pragma once

#include <string>

#include "textio/text_unit.h"

namespace linesynth {

// Appends "THE INTEGRAL OF <B>ALL SETS</B> IS=" and `integral` as one record
// after the page's last byte (a last line without a line end is joined):
//   123.4567 -> " THE INTEGRAL OF <B>ALL SETS</B> IS=     123.456700" CR LF
// With Output::rehearsal the record is laid out and dropped.
void append_summary_record(const std::string& path, float integral, Output output = Output::files);

}  // namespace linesynth
