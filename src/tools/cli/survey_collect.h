// The collecting side of a survey: the rows put in order into the table's
// text and the checkpoint as the threads finish them, a thread past the time
// limit abandoned (its row "timeout") and replaced, and the progress line on
// a terminal.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "tools/cli/survey_command.h"
#include "tools/cli/survey_pool.h"
#include "tools/cli/survey_resume.h"
#include "tools/pages/table_text.h"

namespace linesynth::tools {

// What the collecting thread gathers: the table's text and counts.
struct Collected {
    std::string text;
    std::size_t failed = 0;
    std::size_t abandoned = 0;
    std::optional<std::string> thread_failure;
};

// How the threads left the survey.
struct SurveyEnd {
    bool complete = false;  // every directory of the list has its row
    std::optional<std::string> list_failure;
    std::size_t rows = 0;
    std::size_t kept_rows = 0;
    bool out_of_memory = false;
};

// Puts the rows in order as the threads finish them until none is at work.
SurveyEnd collect_rows(const SurveyCommand& command, SurveyPool& pool, TableFormat format,
                       Checkpoint& checkpoint, Collected& collected);

}  // namespace linesynth::tools
