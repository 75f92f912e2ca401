#include "tools/fit/new_data_directory.h"

#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>
#include <tuple>
#include <utility>

#include "inputs/input_files.h"
#include "inputs/run_parameters.h"
#include "platform/platform.h"
#include "spectrum/spectrum_store.h"
#include "tools/compare/number_text.h"
#include "tools/files/whole_files.h"

namespace linesynth::tools {
namespace {

// The longest title a text read of the parameter file takes.
constexpr std::size_t title_length = 80;

std::optional<std::string> real_text(const std::string& what, std::size_t row, double value,
                                     std::string& text) {
    if (auto reason = real_refusal(what, row, value)) {
        return reason;
    }
    text = shortest_text(static_cast<float>(value));
    return std::nullopt;
}

std::optional<std::string> integer_text(const std::string& what, std::int64_t value,
                                        std::string& text) {
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return what + ": " + std::to_string(value) + " is beyond the 32-bit integers the run reads";
    }
    text = std::to_string(value);
    return std::nullopt;
}

std::optional<std::string> count_fits(const std::string& what, std::size_t count) {
    if (count > static_cast<std::size_t>(max_points)) {
        return what + ": " + std::to_string(count) + " rows, above the " +
               std::to_string(max_points) + " the run's tables hold";
    }
    return std::nullopt;
}

// A spectrum file with one value per row: the count, then the values.
std::optional<std::string> column_file(const std::string& what, const std::vector<double>& values,
                                       std::string& text) {
    if (auto reason = count_fits(what, values.size())) {
        return reason;
    }
    text = std::to_string(values.size()) + "\r\n";
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::string value;
        if (auto reason = real_text(what, i + 1, values[i], value)) {
            return reason;
        }
        text.append(value).append("\r\n");
    }
    return std::nullopt;
}

std::optional<std::string> parameter_file(const NewDirectory& values, std::string& text) {
    if (values.title.size() > title_length ||
        values.title.find_first_of("\r\n") != std::string::npos) {
        return "title: the run reads one line of at most " + std::to_string(title_length) +
               " characters";
    }
    const NewCalibration& c = values.calibration;
    std::string wl_1, wl_2, px_1, px_2, flux_1, level_1, flux_2, level_2, probe;
    for (const auto& [what, value, out] :
         {std::tuple{"wl_1", c.wl_1, &wl_1}, std::tuple{"wl_2", c.wl_2, &wl_2},
          std::tuple{"flux_1", c.flux_1, &flux_1}, std::tuple{"flux_2", c.flux_2, &flux_2},
          std::tuple{"probe_flux", c.probe_flux, &probe}}) {
        if (auto reason = real_text(what, 0, value, *out)) {
            return reason;
        }
    }
    for (const auto& [what, value, out] :
         {std::tuple{"px_1", c.px_1, &px_1}, std::tuple{"px_2", c.px_2, &px_2},
          std::tuple{"level_1", c.level_1, &level_1}, std::tuple{"level_2", c.level_2, &level_2}}) {
        if (auto reason = integer_text(what, value, *out)) {
            return reason;
        }
    }
    // The integer after the title is read and not used; answer 0 leaves the
    // option block out.
    text = values.title + "\r\n1\r\n0\r\n" + wl_1 + " " + wl_2 + "\r\n" + px_1 + " " + px_2 +
           "\r\n" + flux_1 + " " + level_1 + "\r\n" + flux_2 + " " + level_2 + " " + probe + "\r\n";
    return std::nullopt;
}

// The counts the files must agree on: the sets the run holds, one weight
// per set, one flux per wavelength.
std::optional<std::string> counts_refusal(const NewDirectory& values) {
    if (values.components.size() > static_cast<std::size_t>(max_component_sets)) {
        return "components: " + std::to_string(values.components.size()) + " sets, above the " +
               std::to_string(max_component_sets) + " the run holds";
    }
    if (values.weights.size() != values.components.size()) {
        return "weights: " + std::to_string(values.weights.size()) + " for " +
               std::to_string(values.components.size()) + " component sets";
    }
    if (values.observed.size() != values.wavelengths.size()) {
        return "observed: " + std::to_string(values.observed.size()) + " fluxes for " +
               std::to_string(values.wavelengths.size()) + " wavelengths";
    }
    return std::nullopt;
}

std::optional<std::string> weights_file(const std::vector<double>& values, std::string& text) {
    std::vector<float> weights;
    for (std::size_t j = 0; j < values.size(); ++j) {
        std::string unused;
        if (auto reason = real_text("weights", j + 1, values[j], unused)) {
            return reason;
        }
        weights.push_back(static_cast<float>(values[j]));
    }
    text = weights_file_text(weights);
    return std::nullopt;
}

// The observed file: the count and the normalisation flags, then a
// wavelength and a flux per row.
std::optional<std::string> observed_file(const NewDirectory& values, std::string& text) {
    if (auto reason = count_fits("observed", values.observed.size())) {
        return reason;
    }
    text = std::to_string(values.observed.size()) + (values.normalise ? " 2 4\r\n" : " 0 0\r\n");
    for (std::size_t i = 0; i < values.observed.size(); ++i) {
        std::string wavelength, flux;
        if (auto reason = real_text("wavelength", i + 1, values.wavelengths[i], wavelength)) {
            return reason;
        }
        if (auto reason = real_text("observed", i + 1, values.observed[i], flux)) {
            return reason;
        }
        text.append(wavelength).append(" ").append(flux).append("\r\n");
    }
    return std::nullopt;
}

std::optional<std::string> scale_file(const NewDirectory& values, std::string& text) {
    std::string unused;
    if (auto reason = real_text("ref_a", 0, values.ref_a, unused)) {
        return reason;
    }
    if (auto reason = real_text("ref_b", 0, values.ref_b, unused)) {
        return reason;
    }
    text = scale_file_text(static_cast<float>(values.ref_a), static_cast<float>(values.ref_b));
    return std::nullopt;
}

}  // namespace

std::optional<std::string> real_refusal(const std::string& what, std::size_t row, double value) {
    // Narrowed as the run's reader narrows: to the nearest 32-bit real.
    if (!std::isfinite(value) || !std::isfinite(static_cast<float>(value))) {
        return what + (row > 0 ? ", row " + std::to_string(row) : std::string()) + ": " +
               shortest_text(value) + " is beyond the 32-bit reals the run reads";
    }
    return std::nullopt;
}

std::optional<std::string> new_directory_files(const NewDirectory& values,
                                               std::vector<NewDataFile>& files) {
    files.clear();
    if (auto reason = counts_refusal(values)) {
        return reason;
    }
    std::string weights, parameters, observed, continuum, scale;
    if (auto reason = weights_file(values.weights, weights)) {
        return reason;
    }
    files.push_back({weights_file_name, std::move(weights)});
    if (auto reason = parameter_file(values, parameters)) {
        return reason;
    }
    files.push_back({parameter_file_name, std::move(parameters)});
    if (auto reason = observed_file(values, observed)) {
        return reason;
    }
    files.push_back({observed_file_name, std::move(observed)});
    if (auto reason = column_file("continuum", values.continuum, continuum)) {
        return reason;
    }
    files.push_back({continuum_file_name, std::move(continuum)});
    for (std::size_t j = 0; j < values.components.size(); ++j) {
        const auto set = static_cast<std::int32_t>(j + 1);
        std::string component;
        if (auto reason =
                column_file("component " + std::to_string(set), values.components[j], component)) {
            return reason;
        }
        files.push_back({component_file_name(set), std::move(component)});
    }
    if (auto reason = scale_file(values, scale)) {
        return reason;
    }
    files.push_back({scale_file_name, std::move(scale)});
    return std::nullopt;
}

std::optional<std::string> write_new_directory(const std::string& dir, const NewDirectory& values) {
    std::vector<NewDataFile> files;
    if (auto reason = new_directory_files(values, files)) {
        return reason;
    }
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(dir), error);
    if (error) {
        return dir + ": cannot make the directory (" + error.message() + ")";
    }
    platform::DirectoryLock lock;
    if (auto refusal = lock_data_directory(dir, false, lock)) {
        return refusal->text;
    }
    // A new directory only: the files of another are replaced by fit --write
    // or write_weights, which keep backups of what they replace.
    for (const NewDataFile& file : files) {
        if (platform::entry_exists(dir + file.name)) {
            return dir + file.name + " exists; a new data directory is written only where none is";
        }
    }
    std::vector<ReplacedFile> replaced;
    if (auto refusal = replace_data_files(dir, files, replaced)) {
        return refusal->text;
    }
    return std::nullopt;
}

}  // namespace linesynth::tools
