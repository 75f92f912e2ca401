#include "tools/cli/survey_command.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/platform.h"
#include "tools/cli/directory_list.h"
#include "tools/cli/output_names.h"
#include "tools/cli/survey_collect.h"
#include "tools/cli/survey_pool.h"
#include "tools/cli/survey_resume.h"
#include "tools/files/whole_files.h"

namespace linesynth::tools {
namespace {

constexpr int usage_status = 2;

const std::string output_refusal_end =
    " is a file that linesynth or linesynth-tools reads or writes; the output needs a name of "
    "its own";

// The survey's output may replace neither its list nor a file of any listed
// directory. A name that can be none of those (nearly every name) spares the
// walk through the list; otherwise the list is read once here, before any
// work, which needs a --from that can be read twice.
std::optional<std::string> refused_survey_output(const SurveyCommand& command) {
    if (command.output.empty()) {
        return std::nullopt;
    }
    std::error_code ignored;
    if (!command.from.empty() &&
        std::filesystem::equivalent(file_path(command.output), file_path(command.from), ignored)) {
        return command.output + output_refusal_end;
    }
    const SurveyOptions& options = command.table;
    if (!output_may_name_data_file(command.output, {options.mask_name, options.sigma_name})) {
        return std::nullopt;
    }
    if (!command.from.empty() &&
        !std::filesystem::is_regular_file(file_path(command.from), ignored)) {
        return command.from + " is not a regular file, and the output's name (" + command.output +
               ") must be checked against every listed directory before any work: give the "
               "output another name or the list as a file";
    }
    DirectoryList list(command.dirs, command.from);
    if (auto reason = list.open()) {
        return reason;
    }
    while (const std::optional<std::string> dir = list.next()) {
        const std::string path = platform::directory_path(*dir);
        const std::vector<std::string> option_files = {
            options.mask_name.empty() ? "" : path + options.mask_name,
            options.sigma_name.empty() ? "" : path + options.sigma_name};
        if (auto refusal = refused_output(command.output, path, option_files)) {
            return refusal->text;
        }
    }
    return list.failure;
}

// The usage errors (status 2) and the refused output, before any work.
std::optional<CommandOutput> refused_command(const SurveyCommand& command) {
    for (const std::string* name : {&command.output, &command.update}) {
        const std::optional<TableFormat> format = table_format(*name);
        if (!format ||
            (name == &command.update && !name->empty() && *format != TableFormat::ecsv)) {
            return with_status(
                refused(*name + (name == &command.update
                                     ? ": the earlier table must be an ECSV file (.ecsv)"
                                     : ": the table's name must end in .ecsv or .csv")),
                usage_status);
        }
    }
    if (command.dirs.empty() && command.from.empty()) {
        return with_status(refused("no data directory given"), usage_status);
    }
    if (auto reason = refused_survey_output(command)) {
        return refused(*reason);
    }
    return std::nullopt;
}

// --jobs, else one per core; never more than max_survey_jobs, nor more than
// the directories when they are all on the command line.
std::size_t survey_jobs(const SurveyCommand& command) {
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    auto jobs = std::min<std::size_t>(
        command.jobs > 0 ? static_cast<std::size_t>(command.jobs) : cores, max_survey_jobs);
    if (command.from.empty()) {
        jobs = std::min(jobs, command.dirs.size());
    }
    return jobs;
}

// The header every table of these options and this version starts with.
Table survey_head(const SurveyCommand& command) {
    Table table;
    table.columns = survey_columns(command.table);
    const auto flag = [](std::string key, bool on) {
        return MetaEntry{std::move(key), on ? "yes" : "no", false, {}};
    };
    const SurveyOptions& options = command.table;
    table.meta = {
        {"tool", "linesynth-tools", false, {}},
        {"version", command.version, false, {}},
        {"options",
         "",
         false,
         {flag("fit", options.fit),
          flag("scale", options.scale),
          flag("free", options.free),
          {"mask_name", options.mask_name, false, {}},
          {"sigma_name", options.sigma_name, false, {}}}},
    };
    return table;
}

// With --update, the rows that may be taken again: those of the earlier
// table, then those of the checkpoint a killed survey of the same output
// left; and the checkpoint of this survey opened.
std::optional<std::string> resume(const SurveyCommand& command, const std::string& ecsv_head,
                                  SurveyState& state, Checkpoint& checkpoint) {
    if (command.update.empty()) {
        return std::nullopt;
    }
    if (auto reason = read_kept_rows(command.update, ecsv_head, state.kept)) {
        return reason;
    }
    if (command.output.empty()) {
        return std::nullopt;
    }
    const std::string checkpoint_path = command.output + checkpoint_suffix;
    if (auto reason = read_kept_rows(checkpoint_path, ecsv_head, state.kept)) {
        return reason;
    }
    return checkpoint.open(checkpoint_path, ecsv_head);
}

// The table written (or printed), the checkpoint gone, and the report: the
// rows kept with --update, the directories that failed.
CommandOutput finished_survey(const SurveyCommand& command, const SurveyEnd& end,
                              Collected& collected, Checkpoint& checkpoint) {
    if (end.out_of_memory) {
        return refused("memory ran out while surveying (fewer --jobs need less); no table");
    }
    if (end.list_failure) {
        return refused(*end.list_failure);
    }
    if (!end.complete) {
        return refused(std::to_string(collected.abandoned) +
                       " directories passed the time limit and held every thread; the survey "
                       "stops without a table");
    }
    if (end.rows == 0) {
        return with_status(refused("no data directory given"), usage_status);
    }
    CommandOutput output;
    if (command.output.empty()) {
        output.out = std::move(collected.text);
    } else if (const platform::FileOutcome outcome =
                   platform::replace_file(command.output, collected.text)) {
        return refused(platform::fault_text(outcome));
    }
    checkpoint.remove();
    if (!command.update.empty()) {
        output.err = refused("survey: " + std::to_string(end.kept_rows) + " of " +
                             std::to_string(end.rows) + " rows kept from the earlier table")
                         .err;
    }
    if (collected.failed > 0) {
        output.status = 1;
        output.err += refused(std::to_string(collected.failed) + " of " + std::to_string(end.rows) +
                              " directories failed; their rows give the reason")
                          .err;
    }
    return output;
}

}  // namespace

std::size_t survey_window(std::size_t jobs) {
    return 4 * jobs + 16;
}

CommandOutput run_survey(const SurveyCommand& command) {
    if (auto refusal = refused_command(command)) {
        return std::move(*refusal);
    }
    const TableFormat format = *table_format(command.output);
    const std::size_t jobs = survey_jobs(command);
    SurveyPool pool(std::make_shared<SurveyState>(command, jobs));
    if (auto reason = pool.state->list.open()) {
        return refused(*reason);
    }
    const Table head = survey_head(command);
    Checkpoint checkpoint;
    if (auto reason =
            resume(command, table_head_text(head, TableFormat::ecsv), *pool.state, checkpoint)) {
        return refused(*reason);
    }

    platform::keep_freed_memory();
    Collected collected;
    for (std::size_t job = 0; job < jobs && !collected.thread_failure; ++job) {
        collected.thread_failure = start_thread(pool);
    }
    if (pool.threads.empty()) {
        return refused(*collected.thread_failure);
    }
    collected.text = table_head_text(head, format);
    const SurveyEnd end = collect_rows(command, pool, format, checkpoint, collected);
    return finished_survey(command, end, collected, checkpoint);
}

}  // namespace linesynth::tools
