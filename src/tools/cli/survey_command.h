// `survey`: one table row per data directory, read on several threads, for
// surveys of hundreds or millions of directories (tools/pages/survey_table.h
// has the columns). The rows come out in the order the directories were
// given, whatever the threads did.
//
// Memory: the list of directories is read as the threads take them, and a
// thread may run at most survey_window(jobs) rows ahead of the first row not
// yet finished; what stays is the table's text. The mask and sigma files of
// the directories in flight, which are read whole, share option_bytes_budget:
// a directory whose files would pass it waits until others are done (one
// alone always goes ahead).
//
// Provenance: the ECSV header holds the tool's version and the options that
// decide the rows, and each row the digest of the files that decided it. With
// `update`, a row of that earlier table (or of the checkpoint
// "<output>.partial", which a survey with `update` and `output` keeps while
// it runs) is taken again as it is when the header is the same and the
// directory's digest is unchanged; every other directory is surveyed anew.
// The table is then the same bytes as a survey of all of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/cli/commands.h"
#include "tools/pages/survey_table.h"

namespace linesynth::tools {

// The most threads a survey runs (--jobs); more would only hold memory.
inline constexpr std::int32_t max_survey_jobs = 256;

// Seconds one directory may take before its row says "timeout" and the
// survey goes on without it (a second guard beside the refusal of files that
// are not regular files): far above the largest data set's tenth of a second.
inline constexpr std::int32_t default_time_limit = 60;

// Bytes of mask and sigma files that the directories in flight hold at once.
inline constexpr std::uintmax_t option_bytes_budget = std::uintmax_t{256} << 20;

// Rows a thread may be ahead of the first unfinished one: a few per thread,
// so that one slow directory does not stop the others at once.
std::size_t survey_window(std::size_t jobs);

struct SurveyCommand {
    std::vector<std::string> dirs;
    std::string from;    // a file of further directories, one per line; empty: none
    std::string output;  // the table file; empty: CSV on standard output
    std::string update;  // an earlier ECSV table whose rows may be kept; empty: none
    SurveyOptions table;
    std::int32_t jobs = 0;                         // threads; 0: one per core
    std::int32_t time_limit = default_time_limit;  // seconds per directory; 0: none
    std::string version;                           // of the tool, in the ECSV header
};

// The suffix of the checkpoint kept beside the output with `update`.
inline constexpr char checkpoint_suffix[] = ".partial";

// Status 0 when every directory was read, 1 when any failed (the table holds
// every row either way; one line on `err` counts the failures), the table
// could not be written or the output would replace a file of the survey's
// own (its list, a directory's files), 2 when no directory was given or a
// file's name has no table format.
CommandOutput run_survey(const SurveyCommand& command);

}  // namespace linesynth::tools
