// linesynth-tools: fit statistics, suggested weights, plot, report and explore
// pages, tables and surveys of linesynth data directories. It reads a
// directory the way a run does, but only for reading: it never pauses, never
// writes a table or the summary page, and writes "synthesis.txt" (and
// "qdqd.txt" with --scale) only when asked to (fit --write); the other
// subcommands write only the file named by -o.
// Each subcommand is declared by its own add_..._command, which binds its
// options and returns what runs it once the command line is parsed.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "inputs/input_files.h"
#include "platform/platform.h"
#include "tools/cli/commands.h"
#include "tools/cli/page_commands.h"
#include "tools/cli/survey_command.h"
#include "tools/files/companion_start.h"
#include "tools/files/whole_files.h"

namespace {

using linesynth::tools::CommandOptions;
using linesynth::tools::CommandOutput;
using linesynth::tools::PageOptions;
using linesynth::tools::program_name;
using linesynth::tools::SurveyCommand;

constexpr int usage_status = 2;
constexpr int failure_status = 1;

// An empty file or directory name is a usage error: "--dir ''" would
// otherwise mean the default directory, and an empty mask no mask.
const CLI::Validator named(
    [](std::string& value) {
        return value.empty() ? std::string("an empty value names no file") : std::string();
    },
    "", "named");

// --dir, --mask and --sigma.
void add_request(CLI::App& command, linesynth::tools::ComparisonRequest& request) {
    command
        .add_option("--dir", request.dir,
                    "data directory (default: TAVO_DIR, else the platform's default)")
        ->check(named);
    command
        .add_option("--mask", request.mask_file,
                    "file of wavelength ranges \"low high\" to leave out, one per line")
        ->check(named);
    command
        .add_option("--sigma", request.sigma_file,
                    "file of row uncertainties: a count, then one value per record")
        ->check(named);
}

// What `plot` and `report` draw, and how.
struct PageFlags {
    std::string residuals = "flux";
    std::string title;
    std::vector<CLI::Option*> titles;
};

void add_page(CLI::App& command, PageOptions& page, PageFlags& flags) {
    add_request(command, page.request);
    CLI::Option* fit = command.add_flag(
        "--fit", page.fit,
        "draw the model with the weights of `fit`, dashed (report: and list them)");
    command.add_flag("--free", page.free, "with --fit: allow negative weights, as fit --free")
        ->needs(fit);
    command
        .add_flag("--scale", page.scale,
                  "with --fit: fit the scale of the map (ref_a of qdqd.txt) too, as fit --scale")
        ->needs(fit);
    command.add_flag("--components", page.components,
                     "draw each set's contribution w(J) * component_J in a panel of its own");
    command
        .add_option("--residuals", flags.residuals,
                    "flux: draw the residuals r (default); sigma: r / sigma (needs --sigma)")
        ->check(CLI::IsMember({"flux", "sigma"}));
    flags.titles.push_back(command.add_option(
        "--title", flags.title, "the heading (default: the title record of vlt.txt)"));
    command.add_option("--wavelength-unit", page.wavelength_unit,
                       "the wavelength axis reads \"wavelength [TEXT]\"");
    command.add_option("--flux-unit", page.flux_unit,
                       "the flux and residual axes read \"flux [TEXT]\", \"residual [TEXT]\"");
    command.add_option("--width", page.width, "the image's width in pixels (default 960)")
        ->check(CLI::Range(480, 20000));
    command.add_option("--height", page.height, "the image's height in pixels (default 600)")
        ->check(CLI::Range(360, 20000));
}

void add_common(CLI::App& command, CommandOptions& options) {
    add_request(command, options.request);
    command.add_flag("--json", options.json, "print one JSON object instead of text");
}

// Writes what a command printed; a failed or short write to either stream is
// a failure of the command (a full disk must not pass for an empty result).
int printed(const CommandOutput& output) {
    const bool out_written = linesynth::platform::write_stdout(output.out);
    const bool err_written = linesynth::platform::write_stderr(output.err);
    if (!out_written) {
        linesynth::platform::write_stderr(
            std::string(program_name) + ": cannot write standard output" +
            (output.replaced ? "; the files were replaced all the same\n" : "\n"));
    }
    if (output.replaced && !(out_written && err_written)) {
        return linesynth::tools::replaced_status;
    }
    return out_written && err_written ? output.status : failure_status;
}

// A usage error: the reason and the help of what was asked, status 2.
CommandOutput usage_error(const std::string& reason, const CLI::App& app) {
    return {usage_status, "", std::string(program_name) + ": " + reason + "\n" + app.help()};
}

// The data directory the command names, else the default one, ending in its
// separator.
void resolve_directory(std::string& dir) {
    dir = dir.empty() ? linesynth::platform::data_directory()
                      : linesynth::platform::directory_path(dir);
}

// One subcommand: its options are bound to values that `run` reads once the
// command line is parsed.
struct Subcommand {
    CLI::App* app = nullptr;
    std::function<CommandOutput(const CLI::App& top)> run;
};

Subcommand add_stats_command(CLI::App& app) {
    auto options = std::make_shared<CommandOptions>();
    CLI::App* stats =
        app.add_subcommand("stats", "compare the run's synthetic spectrum with the observed one");
    add_common(*stats, *options);
    return {stats, [options](const CLI::App&) {
                resolve_directory(options->request.dir);
                options->version = LINESYNTH_VERSION;
                return linesynth::tools::run_stats(*options);
            }};
}

// A progress line on a terminal for long runs of realizations, rewritten in
// place at every whole percent.
void show_progress(std::int64_t done, std::int64_t total) {
    if (done * 100 / total != (done - 1) * 100 / total || done == total) {
        linesynth::platform::write_stderr("\rrealizations: " + std::to_string(done) + " of " +
                                          std::to_string(total) + (done == total ? "\n" : ""));
    }
}

Subcommand add_fit_command(CLI::App& app) {
    auto options = std::make_shared<CommandOptions>();
    CLI::App* fit = app.add_subcommand(
        "fit", "find the weights of the component sets that minimise chi-squared");
    add_common(*fit, *options);
    fit->add_flag("--free", options->free, "allow negative weights (default: weights >= 0)");
    fit->add_flag("--write", options->write,
                  std::string("replace ") + linesynth::weights_file_name +
                      " with the fitted weights (and " + linesynth::scale_file_name +
                      " with --scale), keeping each old file as NAME.bak (or .bak.1, .bak.2, "
                      "... when taken)");
    fit->add_flag("--wait", options->wait,
                  "with --write: wait for another writer of the directory instead of refusing");
    fit->add_flag("--scale", options->scale,
                  std::string("fit the scale of the map to the observed spectrum too (ref_a of ") +
                      linesynth::scale_file_name + ")");
    fit->add_option("--realizations", options->realizations,
                    "refit N noisy copies of the best fit and report the spread of the weights "
                    "(default: 1000 when a weight is held at 0, else none; 0: none)")
        ->check(CLI::Range(std::int64_t{0}, std::int64_t{100000000}));
    fit->add_option("--seed", options->seed, "seed of the realizations' generator (default 1)");
    return {fit, [options](const CLI::App&) {
                resolve_directory(options->request.dir);
                options->version = LINESYNTH_VERSION;
                if (options->realizations >= 1000000 && linesynth::platform::stderr_is_terminal()) {
                    options->progress = show_progress;
                }
                return linesynth::tools::run_fit(*options);
            }};
}

// `plot` and `report`: the page's options, the output, and the checks that
// need more than one option.
Subcommand add_drawing_command(CLI::App& app, const char* name, const char* description,
                               const char* output_help,
                               CommandOutput (*run_page)(const PageOptions&)) {
    auto page = std::make_shared<PageOptions>();
    auto flags = std::make_shared<PageFlags>();
    CLI::App* command = app.add_subcommand(name, description);
    add_page(*command, *page, *flags);
    command->add_option("-o,--output", page->output, output_help)->required()->check(named);
    return {command, [page, flags, run_page](const CLI::App& top) {
                page->residuals_in_sigma = flags->residuals == "sigma";
                if (page->residuals_in_sigma && page->request.sigma_file.empty()) {
                    return usage_error("--residuals sigma needs --sigma FILE", top);
                }
                for (const CLI::Option* title : flags->titles) {
                    if (title->count() > 0) {
                        page->title = flags->title;
                    }
                }
                resolve_directory(page->request.dir);
                page->version = LINESYNTH_VERSION;
                return run_page(*page);
            }};
}

Subcommand add_plot_command(CLI::App& app) {
    return add_drawing_command(app, "plot",
                               "draw observed and model spectra and the residuals as an SVG image",
                               "the SVG file to write", linesynth::tools::run_plot);
}

Subcommand add_report_command(CLI::App& app) {
    return add_drawing_command(
        app, "report", "write one self-contained HTML page with the plot and the fit's numbers",
        "the HTML file to write", linesynth::tools::run_report);
}

// A page command's run: the directory resolved, the version set.
std::function<CommandOutput(const CLI::App&)> page_run(
    std::shared_ptr<PageOptions> page, CommandOutput (*run_page)(const PageOptions&)) {
    return [page = std::move(page), run_page](const CLI::App&) {
        resolve_directory(page->request.dir);
        page->version = LINESYNTH_VERSION;
        return run_page(*page);
    };
}

Subcommand add_explore_command(CLI::App& app) {
    auto page = std::make_shared<PageOptions>();
    CLI::App* explore = app.add_subcommand(
        "explore", "write one HTML page on which the weights can be moved and the fit followed");
    add_request(*explore, page->request);
    explore->add_flag("--fit", page->fit, "add the fitted weights and a button that sets them");
    explore->add_flag("--scale", page->scale, "add a control for ref_a of qdqd.txt");
    explore->add_option("-o,--output", page->output, "the HTML file to write")
        ->required()
        ->check(named);
    return {explore, page_run(page, linesynth::tools::run_explore)};
}

Subcommand add_export_command(CLI::App& app) {
    auto page = std::make_shared<PageOptions>();
    CLI::App* export_rows = app.add_subcommand(
        "export", "write the compared rows as a table that Python and spreadsheets read");
    add_request(*export_rows, page->request);
    export_rows
        ->add_option("-o,--output", page->output,
                     "the table to write, FILE.ecsv or FILE.csv (default: CSV on standard output)")
        ->check(named);
    export_rows->add_flag("--fit", page->fit, "add the model with the suggested weights");
    export_rows->add_option("--wavelength-unit", page->wavelength_unit,
                            "the unit of the wavelengths, as astropy spells it (e.g. Angstrom)");
    export_rows->add_option("--flux-unit", page->flux_unit,
                            "the unit of the fluxes, as astropy spells it");
    return {export_rows, page_run(page, linesynth::tools::run_export)};
}

Subcommand add_survey_command(CLI::App& app) {
    auto command = std::make_shared<SurveyCommand>();
    CLI::App* survey =
        app.add_subcommand("survey", "one table row per data directory: statistics, fit, failures");
    survey->add_option("dirs", command->dirs, "data directories")->check(named);
    survey->add_option("--from", command->from, "a file of further data directories, one per line")
        ->check(named);
    survey
        ->add_option("-o,--output", command->output,
                     "the table to write, FILE.ecsv or FILE.csv (default: CSV on standard output)")
        ->check(named);
    CLI::Option* fit =
        survey->add_flag("--fit", command->table.fit,
                         "fit the weights of each directory; add them with their errors");
    survey->add_flag("--scale", command->table.scale, "with --fit, fit ref_a as well")->needs(fit);
    survey
        ->add_flag("--free", command->table.free,
                   "with --fit, allow negative weights (default: weights >= 0)")
        ->needs(fit);
    survey
        ->add_option("--mask-name", command->table.mask_name,
                     "a mask file that a directory may hold, used where present")
        ->check(named);
    survey
        ->add_option("--sigma-name", command->table.sigma_name,
                     "a sigma file that a directory may hold, used where present")
        ->check(named);
    survey
        ->add_option("--jobs", command->jobs,
                     "threads, at most " + std::to_string(linesynth::tools::max_survey_jobs) +
                         " (default: one per core)")
        ->check(CLI::Range(1, linesynth::tools::max_survey_jobs));
    survey
        ->add_option("--time-limit", command->time_limit,
                     "seconds one directory may take before its row says timeout; 0: no limit")
        ->check(CLI::Range(0, 1000000))
        ->capture_default_str();
    survey
        ->add_option("--update", command->update,
                     "an earlier FILE.ecsv: keep its rows whose files, options and version are "
                     "unchanged (a missing file keeps none)")
        ->check(named);
    return {survey, [command](const CLI::App&) {
                command->version = LINESYNTH_VERSION;
                return linesynth::tools::run_survey(*command);
            }};
}

// Parses the arguments (the program's name first). Nothing when a command was
// chosen; else what to print: the help, the version, or a usage error.
std::optional<CommandOutput> parse(CLI::App& app, std::vector<std::string> arguments) {
    try {
        // CLI11 takes the arguments after the program's name, last first.
        std::reverse(arguments.begin(), arguments.end());
        if (!arguments.empty()) {
            arguments.pop_back();
        }
        app.parse(arguments);
    } catch (const CLI::CallForHelp&) {
        return CommandOutput{0, app.help(), ""};
    } catch (const CLI::CallForVersion&) {
        return CommandOutput{0, app.version() + "\n", ""};
    } catch (const CLI::ParseError& error) {
        return usage_error(error.what(), app);
    }
    return std::nullopt;
}

int run(const std::vector<std::string>& arguments) {
    linesynth::platform::setup_floating_point();
    CLI::App app(
        "Fit statistics, suggested weights, plot, report and explore pages, tables and surveys "
        "of linesynth data directories.",
        program_name);
    app.set_version_flag("--version", std::string(program_name) + " " + LINESYNTH_VERSION);
    app.require_subcommand(1);
    const std::vector<Subcommand> subcommands = {
        add_stats_command(app),  add_fit_command(app),     add_plot_command(app),
        add_report_command(app), add_explore_command(app), add_export_command(app),
        add_survey_command(app),
    };
    if (const std::optional<CommandOutput> answer = parse(app, arguments)) {
        return printed(*answer);
    }
    for (const Subcommand& subcommand : subcommands) {
        if (subcommand.app->parsed()) {
            return printed(subcommand.run(app));
        }
    }
    return printed(usage_error("no subcommand", app));
}

}  // namespace

int main(int argc, char** argv) {
    // Errors are values inside; what still escapes (memory exhausted, a
    // library's exception) is one line and a failure, never an abort.
    try {
        return run(linesynth::platform::start_companion(argc, argv));
    } catch (const std::exception& error) {
        linesynth::platform::write_stderr(std::string(program_name) + ": " + error.what() + "\n");
    } catch (...) {
        linesynth::platform::write_stderr(std::string(program_name) + ": unexpected failure\n");
    }
    return failure_status;
}
