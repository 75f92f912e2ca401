// linesynth-tools: fit statistics and suggested weights for a linesynth data
// directory. It reads the directory the way a run does, but only for reading:
// it never pauses, never writes a table or the summary page, and writes
// "synthesis.txt" only when asked to (fit --write).
#include <CLI/CLI.hpp>
#include <string>

#include "platform/platform.h"
#include "tools/commands.h"

namespace {

using linesynth::tools::CommandOptions;
using linesynth::tools::CommandOutput;

constexpr int usage_status = 2;

void add_common(CLI::App& command, CommandOptions& options) {
    command.add_option("--dir", options.request.dir,
                       "data directory (default: TAVO_DIR, else the platform's default)");
    command.add_option("--mask", options.request.mask_file,
                       "file of wavelength ranges \"low high\" to leave out, one per line");
    command.add_option("--sigma", options.request.sigma_file,
                       "file of row uncertainties: a count, then one value per record");
    command.add_flag("--json", options.json, "print one JSON object instead of text");
}

}  // namespace

int main(int argc, char** argv) {
    linesynth::platform::setup_floating_point();
    CLI::App app("Fit statistics and suggested weights for a linesynth data directory.",
                 "linesynth-tools");
    app.set_version_flag("--version", std::string("linesynth-tools ") + LINESYNTH_VERSION);
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
                  "replace synthesis.txt with the fitted weights, keeping synthesis.txt.bak");

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
        linesynth::platform::write_stderr(std::string("linesynth-tools: ") + error.what() + "\n" +
                                          asked->help());
        return usage_status;
    }

    options.request.dir = options.request.dir.empty()
                              ? linesynth::platform::data_directory()
                              : linesynth::platform::directory_path(options.request.dir);
    const CommandOutput output =
        stats->parsed() ? linesynth::tools::run_stats(options) : linesynth::tools::run_fit(options);
    linesynth::platform::write_stdout(output.out);
    linesynth::platform::write_stderr(output.err);
    return output.status;
}
