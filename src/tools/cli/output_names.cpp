#include "tools/cli/output_names.h"

#include <filesystem>

#include "inputs/input_files.h"
#include "inputs/run_parameters.h"
#include "tools/files/whole_files.h"
#include "tools/fit/weights_file.h"

namespace linesynth::tools {
namespace {

// Every file of the data directory that either program reads or writes: the
// inputs of a run with the most sets, the tables and the summary page the
// run writes (reports/residual_tables.cpp, stages/report_stage.cpp), the
// Windows lock file and the journal of fit --write.
std::vector<std::string> data_file_names() {
    std::vector<std::string> names = input_file_names(max_component_sets);
    for (const char* output : {"RDF.txt", "RDF1.txt", "RDF2.txt", "vltOut.htm"}) {
        names.emplace_back(output);
    }
    names.emplace_back(platform::lock_file_name);
    names.emplace_back(journal_file_name);
    return names;
}

std::string file_name_of(const std::filesystem::path& path) {
    const std::u8string name = path.filename().u8string();
    return std::string(name.begin(), name.end());
}

// Whether `name` is `protected_name` or one of its backups or temporaries:
// the name itself, or it followed by a dot and anything ("synthesis.txt.bak.2",
// "vlt.txt.new", "out.svg.new-Ab12Cd").
bool is_or_extends(const std::string& name, const std::string& protected_name) {
    return name == protected_name ||
           (name.size() > protected_name.size() && name.starts_with(protected_name + "."));
}

}  // namespace

std::filesystem::path file_path(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::optional<Refusal> refused_output(const std::string& output_name, const std::string& dir,
                                      const std::vector<std::string>& option_files) {
    const std::filesystem::path output = file_path(output_name);
    const std::string name = file_name_of(output);
    std::filesystem::path parent = output.parent_path();
    std::error_code ignored;
    const auto same_directory = [&](const std::string& other) {
        return std::filesystem::equivalent(parent.empty() ? "." : parent,
                                           other.empty() ? file_path(".") : file_path(other),
                                           ignored);
    };
    const Refusal refusal{RefusalKind::output,
                          {},
                          0,
                          output_name +
                              " is a file that linesynth or linesynth-tools reads or writes; "
                              "the output needs a name of its own"};
    if (same_directory(dir)) {
        for (const std::string& data_name : data_file_names()) {
            if (is_or_extends(name, data_name)) {
                return refusal;
            }
        }
    }
    for (const std::string& data_name : data_file_names()) {
        if (std::filesystem::equivalent(output, file_path(dir + data_name), ignored)) {
            return refusal;
        }
    }
    for (const std::string& option : option_files) {
        if (option.empty()) {
            continue;
        }
        const std::filesystem::path option_path = file_path(option);
        const std::string option_name = file_name_of(option_path);
        parent = output.parent_path();
        const std::filesystem::path option_parent = option_path.parent_path();
        const bool beside = std::filesystem::equivalent(
            parent.empty() ? "." : parent, option_parent.empty() ? "." : option_parent, ignored);
        if ((beside && is_or_extends(name, option_name)) ||
            std::filesystem::equivalent(output, option_path, ignored)) {
            return refusal;
        }
    }
    return std::nullopt;
}

bool output_may_name_data_file(const std::string& output_name,
                               const std::vector<std::string>& option_names) {
    const std::filesystem::path output = file_path(output_name);
    std::error_code ignored;
    if (std::filesystem::hard_link_count(output, ignored) > 1 &&
        std::filesystem::is_regular_file(output, ignored)) {
        return true;
    }
    std::vector<std::string> names = data_file_names();
    for (const std::string& option : option_names) {
        if (!option.empty()) {
            names.push_back(file_name_of(file_path(option)));
        }
    }
    const std::filesystem::path reached = std::filesystem::weakly_canonical(output, ignored);
    for (const std::string& name : {file_name_of(output), file_name_of(reached)}) {
        for (const std::string& data_name : names) {
            if (is_or_extends(name, data_name)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace linesynth::tools
