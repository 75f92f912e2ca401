// `survey`: one table row per data directory, read on several threads, for
// surveys of hundreds or thousands of directories (tools/pages/survey_table.h
// has the columns). The rows come out in the order the directories were
// given, whatever the threads did.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/cli/commands.h"
#include "tools/pages/survey_table.h"

namespace linesynth::tools {

struct SurveyCommand {
    std::vector<std::string> dirs;
    std::string from;    // a file of further directories, one per line; empty: none
    std::string output;  // the table file; empty: CSV on standard output
    SurveyOptions table;
    std::int32_t jobs = 0;  // threads; 0: one per core
};

// Status 0 when every directory was read, 1 when any failed (the table holds
// every row either way; one line on `err` counts the failures) or the table
// could not be written, 2 when no directory was given or the output's name
// has no table format.
CommandOutput run_survey(const SurveyCommand& command);

}  // namespace linesynth::tools
