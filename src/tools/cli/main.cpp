// linesynth-tools: fit statistics, suggested weights, a plot and a report page
// for a linesynth data directory. It reads the directory the way a run does,
// but only for reading: it never pauses, never writes a table or the summary
// page, and writes "synthesis.txt" only when asked to (fit --write); plot and
// report write only the file named by -o.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <string>

#include "inputs/input_files.h"
#include "platform/platform.h"
#include "tools/cli/commands.h"
#include "tools/cli/page_commands.h"

namespace {

using linesynth::tools::CommandOptions;
using linesynth::tools::CommandOutput;
using linesynth::tools::PageOptions;
using linesynth::tools::program_name;

constexpr int usage_status = 2;

// --dir, --mask and (unless `plot`, which draws no chi-squared) --sigma.
void add_request(CLI::App& command, linesynth::tools::ComparisonRequest& request,
                 bool sigma = true) {
    command.add_option("--dir", request.dir,
                       "data directory (default: TAVO_DIR, else the platform's default)");
    command.add_option("--mask", request.mask_file,
                       "file of wavelength ranges \"low high\" to leave out, one per line");
    if (sigma) {
        command.add_option("--sigma", request.sigma_file,
                           "file of row uncertainties: a count, then one value per record");
    }
}

void add_common(CLI::App& command, CommandOptions& options) {
    add_request(command, options.request);
    command.add_flag("--json", options.json, "print one JSON object instead of text");
}

int run(int argc, char** argv) {
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
                      " with the fitted weights, keeping " + linesynth::weights_file_name + ".bak");
    PageOptions page;
    CLI::App* plot = app.add_subcommand(
        "plot", "draw observed and model spectra and the residuals as an SVG image");
    add_request(*plot, page.request, false);
    plot->add_option("-o,--output", page.output, "the SVG file to write")->required();
    CLI::App* report = app.add_subcommand(
        "report", "write one self-contained HTML page with the plot and the fit's numbers");
    add_request(*report, page.request);
    report->add_flag("--fit", page.fit, "add the suggested weights and both chi-squared values");
    report->add_option("-o,--output", page.output, "the HTML file to write")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        const CLI::App* asked =
            app.get_subcommands().empty() ? &app : app.get_subcommands().front();
        linesynth::platform::write_stdout(asked->help());
        return 0;
    } catch (const CLI::CallForVersion&) {
        linesynth::platform::write_stdout(app.version() + "\n");
        return 0;
    } catch (const CLI::ParseError& error) {
        const CLI::App* asked =
            app.get_subcommands().empty() ? &app : app.get_subcommands().front();
        linesynth::platform::write_stderr(std::string(program_name) + ": " + error.what() + "\n" +
                                          asked->help());
        return usage_status;
    }

    std::string& dir = plot->parsed() || report->parsed() ? page.request.dir : options.request.dir;
    dir = dir.empty() ? linesynth::platform::data_directory()
                      : linesynth::platform::directory_path(dir);
    page.version = LINESYNTH_VERSION;
    const CommandOutput output = stats->parsed()  ? linesynth::tools::run_stats(options)
                                 : fit->parsed()  ? linesynth::tools::run_fit(options)
                                 : plot->parsed() ? linesynth::tools::run_plot(page)
                                                  : linesynth::tools::run_report(page);
    linesynth::platform::write_stdout(output.out);
    linesynth::platform::write_stderr(output.err);
    return output.status;
}

}  // namespace

// What no command expects (no memory left, a library's own failure) is still
// one line and status 1, not an abort.
int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        std::fputs(program_name, stderr);
        std::fputs(": ", stderr);
        std::fputs(error.what(), stderr);
        std::fputs("\n", stderr);
    } catch (...) {
        std::fputs(program_name, stderr);
        std::fputs(": an unexpected failure\n", stderr);
    }
    return 1;
}
