// linesynth-tools: fit statistics, suggested weights, a plot and a report page
// for a linesynth data directory. It reads the directory the way a run does,
// but only for reading: it never pauses, never writes a table or the summary
// page, and writes "synthesis.txt" only when asked to (fit --write); plot,
// report and explore write only the file named by -o.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "inputs/input_files.h"
#include "platform/companion_start.h"
#include "platform/platform.h"
#include "platform/whole_files.h"
#include "tools/cli/commands.h"
#include "tools/cli/page_commands.h"
#include "tools/cli/survey_command.h"

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

int run(std::vector<std::string> arguments) {
    linesynth::platform::setup_floating_point();
    CLI::App app(
        "Fit statistics, suggested weights, a plot and a report page for a linesynth data "
        "directory.",
        program_name);
    app.set_version_flag("--version", std::string(program_name) + " " + LINESYNTH_VERSION);
    app.require_subcommand(1);
    CommandOptions options;
    CLI::App* stats =
        app.add_subcommand("stats", "compare the run's synthetic spectrum with the observed one");
    add_common(*stats, options);
    CLI::App* fit = app.add_subcommand(
        "fit", "find the weights of the component sets that minimise chi-squared");
    add_common(*fit, options);
    fit->add_flag("--free", options.free, "allow negative weights (default: weights >= 0)");
    fit->add_flag("--write", options.write,
                  std::string("replace ") + linesynth::weights_file_name +
                      " with the fitted weights (and " + linesynth::scale_file_name +
                      " with --scale), keeping each old file as NAME.bak (or .bak.1, .bak.2, "
                      "... when taken)");
    fit->add_flag("--wait", options.wait,
                  "with --write: wait for another writer of the directory instead of refusing");
    fit->add_flag("--scale", options.scale,
                  std::string("fit the scale of the map to the observed spectrum too (ref_a of ") +
                      linesynth::scale_file_name + ")");
    fit->add_option("--realizations", options.realizations,
                    "refit N noisy copies of the best fit and report the spread of the weights")
        ->check(CLI::Range(std::int64_t{0}, std::int64_t{100000000}));
    fit->add_option("--seed", options.seed, "seed of the realizations' generator (default 1)");
    PageOptions page;
    PageFlags flags;
    CLI::App* plot = app.add_subcommand(
        "plot", "draw observed and model spectra and the residuals as an SVG image");
    add_page(*plot, page, flags);
    plot->add_option("-o,--output", page.output, "the SVG file to write")->required()->check(named);
    CLI::App* report = app.add_subcommand(
        "report", "write one self-contained HTML page with the plot and the fit's numbers");
    add_page(*report, page, flags);
    report->add_option("-o,--output", page.output, "the HTML file to write")
        ->required()
        ->check(named);
    CLI::App* explore = app.add_subcommand(
        "explore", "write one HTML page on which the weights can be moved and the fit followed");
    add_request(*explore, page.request);
    explore->add_flag("--fit", page.fit, "add the fitted weights and a button that sets them");
    explore->add_flag("--scale", page.scale, "add a control for ref_a of qdqd.txt");
    explore->add_option("-o,--output", page.output, "the HTML file to write")
        ->required()
        ->check(named);
    CLI::App* export_rows = app.add_subcommand(
        "export", "write the compared rows as a table that Python and spreadsheets read");
    add_request(*export_rows, page.request);
    export_rows
        ->add_option("-o,--output", page.output,
                     "the table to write, FILE.ecsv or FILE.csv (default: CSV on standard output)")
        ->check(named);
    export_rows->add_flag("--fit", page.fit, "add the model with the suggested weights");
    export_rows->add_option("--wavelength-unit", page.wavelength_unit,
                            "the unit of the wavelengths, as astropy spells it (e.g. Angstrom)");
    export_rows->add_option("--flux-unit", page.flux_unit,
                            "the unit of the fluxes, as astropy spells it");
    SurveyCommand survey_command;
    CLI::App* survey =
        app.add_subcommand("survey", "one table row per data directory: statistics, fit, failures");
    survey->add_option("dirs", survey_command.dirs, "data directories")->check(named);
    survey
        ->add_option("--from", survey_command.from,
                     "a file of further data directories, one per line")
        ->check(named);
    survey
        ->add_option("-o,--output", survey_command.output,
                     "the table to write, FILE.ecsv or FILE.csv (default: CSV on standard output)")
        ->check(named);
    CLI::Option* survey_fit =
        survey->add_flag("--fit", survey_command.table.fit,
                         "fit the weights of each directory; add them with their errors");
    survey->add_flag("--scale", survey_command.table.scale, "with --fit, fit ref_a as well")
        ->needs(survey_fit);
    survey
        ->add_flag("--free", survey_command.table.free,
                   "with --fit, allow negative weights (default: weights >= 0)")
        ->needs(survey_fit);
    survey
        ->add_option("--mask-name", survey_command.table.mask_name,
                     "a mask file that a directory may hold, used where present")
        ->check(named);
    survey
        ->add_option("--sigma-name", survey_command.table.sigma_name,
                     "a sigma file that a directory may hold, used where present")
        ->check(named);
    survey->add_option("--jobs", survey_command.jobs, "threads (default: one per core)")
        ->check(CLI::Range(1, 4096));

    try {
        // CLI11 takes the arguments after the program's name, last first.
        std::reverse(arguments.begin(), arguments.end());
        if (!arguments.empty()) {
            arguments.pop_back();
        }
        app.parse(arguments);
    } catch (const CLI::CallForHelp&) {
        const CLI::App* asked =
            app.get_subcommands().empty() ? &app : app.get_subcommands().front();
        return printed({0, asked->help(), ""});
    } catch (const CLI::CallForVersion&) {
        return printed({0, app.version() + "\n", ""});
    } catch (const CLI::ParseError& error) {
        const CLI::App* asked =
            app.get_subcommands().empty() ? &app : app.get_subcommands().front();
        const int status =
            printed({usage_status, "",
                     std::string(program_name) + ": " + error.what() + "\n" + asked->help()});
        return status == usage_status ? usage_status : failure_status;
    }

    if (survey->parsed()) {
        return printed(linesynth::tools::run_survey(survey_command));
    }
    if (plot->parsed() || report->parsed()) {
        page.residuals_in_sigma = flags.residuals == "sigma";
        if (page.residuals_in_sigma && page.request.sigma_file.empty()) {
            const CLI::App* asked = app.get_subcommands().front();
            const int status =
                printed({usage_status, "",
                         std::string(program_name) + ": --residuals sigma needs --sigma FILE\n" +
                             asked->help()});
            return status == usage_status ? usage_status : failure_status;
        }
        for (const CLI::Option* title : flags.titles) {
            if (title->count() > 0) {
                page.title = flags.title;
            }
        }
    }
    std::string& dir =
        plot->parsed() || report->parsed() || explore->parsed() || export_rows->parsed()
            ? page.request.dir
            : options.request.dir;
    dir = dir.empty() ? linesynth::platform::data_directory()
                      : linesynth::platform::directory_path(dir);
    page.version = LINESYNTH_VERSION;
    options.version = LINESYNTH_VERSION;
    // A progress line on a terminal for long runs of realizations, rewritten
    // in place at every whole percent.
    if (options.realizations >= 1000 && linesynth::platform::stderr_is_terminal()) {
        options.progress = [](std::int64_t done, std::int64_t total) {
            if (done * 100 / total != (done - 1) * 100 / total || done == total) {
                linesynth::platform::write_stderr("\rrealizations: " + std::to_string(done) +
                                                  " of " + std::to_string(total) +
                                                  (done == total ? "\n" : ""));
            }
        };
    }
    const CommandOutput output = stats->parsed()     ? linesynth::tools::run_stats(options)
                                 : fit->parsed()     ? linesynth::tools::run_fit(options)
                                 : plot->parsed()    ? linesynth::tools::run_plot(page)
                                 : report->parsed()  ? linesynth::tools::run_report(page)
                                 : explore->parsed() ? linesynth::tools::run_explore(page)
                                                     : linesynth::tools::run_export(page);
    return printed(output);
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
