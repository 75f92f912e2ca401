// The Python module `linesynth._linesynth`: the companion's own loading,
// statistics, fit and safe replacement of data files, called in the
// interpreter's process. The numbers are the commands' JSON objects, built by
// the same functions and handed over value by value (a double stays the same
// double), so that a result in Python equals `stats --json` or `fit --json`
// bit for bit. The pure-Python package around it adds the astropy and
// specutils side.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "inputs/input_files.h"
#include "platform/platform.h"
#include "tools/cli/commands.h"
#include "tools/compare/comparison.h"
#include "tools/compare/mask.h"
#include "tools/compare/refusal.h"
#include "tools/files/whole_files.h"
#include "tools/fit/fit_result.h"
#include "tools/fit/new_data_directory.h"
#include "tools/fit/weights_file.h"

namespace py = pybind11;

namespace linesynth::tools {
namespace {

// The exception a refusal raises: the command's line, and the file and record
// it names (None when it names none).
// Held for the life of the process (never released: the interpreter may be
// gone when static objects are destroyed).
py::handle refused_type;

[[noreturn]] void raise_refused(const Refusal& refusal) {
    py::object error = refused_type(refusal.text);
    error.attr("file") = refusal.file.empty() ? py::none() : py::object(py::str(refusal.file));
    error.attr("record") = refusal.record > 0 ? py::object(py::int_(refusal.record)) : py::none();
    error.attr("kind") = std::string(refusal_name(refusal.kind));
    PyErr_SetObject(refused_type.ptr(), error.ptr());
    throw py::error_already_set();
}

// A JSON value as the Python value json.loads would give for the command's
// text: numbers keep their exact double (or integer), objects become dicts.
py::object python_value(const nlohmann::json& value) {
    switch (value.type()) {
        case nlohmann::json::value_t::null:
            return py::none();
        case nlohmann::json::value_t::boolean:
            return py::bool_(value.get<bool>());
        case nlohmann::json::value_t::number_integer:
            return py::int_(value.get<std::int64_t>());
        case nlohmann::json::value_t::number_unsigned:
            return py::int_(value.get<std::uint64_t>());
        case nlohmann::json::value_t::number_float:
            return py::float_(value.get<double>());
        case nlohmann::json::value_t::string:
            return py::str(value.get_ref<const std::string&>());
        case nlohmann::json::value_t::array: {
            py::list list;
            for (const nlohmann::json& item : value) {
                list.append(python_value(item));
            }
            return list;
        }
        case nlohmann::json::value_t::object: {
            py::dict dict;
            for (const auto& [key, item] : value.items()) {
                dict[py::str(key)] = python_value(item);
            }
            return dict;
        }
        default:
            return py::none();
    }
}

std::string directory_of(const std::string& dir) {
    return dir.empty() ? platform::data_directory() : platform::directory_path(dir);
}

std::string version_text() {
    return LINESYNTH_VERSION;
}

// One data directory loaded through the run's first stage, kept for the
// statistics and any number of fits.
struct LoadedDirectory {
    ComparisonRequest request;
    Comparison comparison;
};

std::shared_ptr<LoadedDirectory> load(const std::string& dir, const std::string& mask,
                                      const std::string& sigma) {
    auto loaded = std::make_shared<LoadedDirectory>();
    loaded->request = {directory_of(dir), mask, sigma};
    std::optional<Refusal> refusal;
    {
        py::gil_scoped_release released;
        platform::setup_floating_point();
        refusal = load_comparison(loaded->request, loaded->comparison);
    }
    if (refusal) {
        raise_refused(*refusal);
    }
    return loaded;
}

template <typename T>
py::array_t<T> array_of(const std::vector<T>& values) {
    py::array_t<T> array(static_cast<py::ssize_t>(values.size()));
    auto out = array.template mutable_unchecked<1>();
    for (std::size_t i = 0; i < values.size(); ++i) {
        out(static_cast<py::ssize_t>(i)) = values[i];
    }
    return array;
}

// Every comparable row, the masked ones too and marked, as `export` gives
// them: wavelength and observed widened exactly from their 32-bit reals, the
// model S(I) and the residual in double.
py::dict rows(const LoadedDirectory& loaded) {
    const Comparison& comparison = loaded.comparison;
    const RunData& data = *comparison.data;
    const std::vector<ComparedRow> all =
        compared_rows(*data.store, data.scales, data.calibration, comparison.kept->observed_count,
                      {}, comparison.sigma);
    std::vector<double> wavelength, observed, model, residuals, sigma;
    std::vector<bool> masked_rows;
    const MaskIndex mask = mask_index(comparison.mask);
    for (const ComparedRow& row : all) {
        wavelength.push_back(static_cast<double>(row.wavelength));
        observed.push_back(static_cast<double>(row.observed));
        model.push_back(row.synthetic);
        residuals.push_back(residual(row));
        sigma.push_back(row.sigma);
        masked_rows.push_back(masked(mask, row.wavelength));
    }
    py::array_t<bool> flags(static_cast<py::ssize_t>(masked_rows.size()));
    auto out = flags.mutable_unchecked<1>();
    for (std::size_t i = 0; i < masked_rows.size(); ++i) {
        out(static_cast<py::ssize_t>(i)) = masked_rows[i];
    }
    py::dict dict;
    dict["wavelength"] = array_of(wavelength);
    dict["observed"] = array_of(observed);
    dict["model"] = array_of(model);
    dict["residual"] = array_of(residuals);
    dict["sigma"] = array_of(sigma);
    dict["masked"] = flags;
    return dict;
}

// What the directory holds besides the rows: the scale file's references and
// the calibration, as read (32-bit values widened exactly).
py::dict inputs(const LoadedDirectory& loaded) {
    const RunData& data = *loaded.comparison.data;
    const CalibrationSet& c = data.calibration;
    py::dict calibration;
    calibration["wl_1"] = static_cast<double>(c.wl_1);
    calibration["wl_2"] = static_cast<double>(c.wl_2);
    calibration["px_1"] = c.px_1;
    calibration["px_2"] = c.px_2;
    calibration["flux_1"] = static_cast<double>(c.flux_1);
    calibration["level_1"] = c.level_1;
    calibration["flux_2"] = static_cast<double>(c.flux_2);
    calibration["level_2"] = c.level_2;
    calibration["probe_flux"] = static_cast<double>(data.parameters.probe_flux);
    py::dict dict;
    dict["ref_a"] = static_cast<double>(data.scales.ref_a);
    dict["ref_b"] = static_cast<double>(data.scales.ref_b);
    dict["calibration"] = calibration;
    dict["directory"] = loaded.request.dir;
    return dict;
}

py::object stats(const LoadedDirectory& loaded) {
    nlohmann::json document;
    {
        py::gil_scoped_release released;
        platform::setup_floating_point();
        document = stats_document(loaded.comparison, loaded.request.dir, version_text());
    }
    return python_value(document);
}

// The fit runs without the interpreter's lock, so that threads fitting
// several directories run at once.
py::object fit(const LoadedDirectory& loaded, bool scale, bool free,
               std::optional<std::int64_t> realizations, std::uint64_t seed) {
    // None: as the command without --realizations (refits only where a
    // weight is held at 0 and the formal errors cannot be trusted).
    if (realizations && *realizations < 0) {
        raise_refused({RefusalKind::command,
                       {},
                       0,
                       "realizations: " + std::to_string(*realizations) + " is below 0"});
    }
    FitOptions options;
    options.mode = free ? FitMode::free : FitMode::non_negative;
    options.scale = scale;
    options.realizations = realizations.value_or(realizations_as_needed);
    options.seed = seed;
    FitResult result;
    std::optional<Refusal> reason;
    nlohmann::json document;
    {
        py::gil_scoped_release released;
        platform::setup_floating_point();
        reason = fit_comparison(loaded.comparison, loaded.request.dir, options, result);
        if (!reason) {
            document = fit_document(loaded.comparison, result, options, loaded.request.dir,
                                    version_text());
        }
    }
    if (reason) {
        raise_refused(*reason);
    }
    return python_value(document);
}

// The weights (and with `ref_a` the scale file, ref_b kept) written the way
// `fit --write` writes them: the directory locked from before its reading to
// after the last rename, both files or neither, numbered backups. The result
// lists each file with its backup.
std::vector<std::pair<std::string, std::string>> write_weights(const std::string& dir,
                                                               const std::vector<double>& weights,
                                                               std::optional<double> ref_a,
                                                               bool wait) {
    const ComparisonRequest request{directory_of(dir), "", ""};
    std::optional<Refusal> refusal;
    std::vector<ReplacedFile> replaced;
    {
        py::gil_scoped_release released;
        platform::setup_floating_point();
        platform::DirectoryLock lock;
        refusal = lock_data_directory(request.dir, wait, lock);
        Comparison comparison;
        if (!refusal) {
            refusal = load_comparison(request, comparison);
        }
        std::optional<std::string> reason;
        std::vector<float> narrowed;
        if (!refusal &&
            weights.size() != static_cast<std::size_t>(comparison.data->parameters.set_count)) {
            reason = "weights: " + std::to_string(weights.size()) + " for the " +
                     std::to_string(comparison.data->parameters.set_count) + " component sets of " +
                     std::string(weights_file_name);
        }
        for (std::size_t j = 0; !refusal && !reason && j < weights.size(); ++j) {
            reason = real_refusal("weights", j + 1, weights[j]);
            narrowed.push_back(static_cast<float>(weights[j]));
        }
        if (!refusal && !reason && ref_a) {
            reason = real_refusal("ref_a", 0, *ref_a);
        }
        if (reason) {
            refusal = Refusal{RefusalKind::command, {}, 0, *reason};
        }
        if (!refusal) {
            std::vector<NewDataFile> files = {{weights_file_name, weights_file_text(narrowed)}};
            if (ref_a) {
                files.push_back({scale_file_name, scale_file_text(static_cast<float>(*ref_a),
                                                                  comparison.data->scales.ref_b)});
            }
            refusal = replace_data_files(request.dir, files, replaced);
        }
    }
    if (refusal) {
        raise_refused(*refusal);
    }
    std::vector<std::pair<std::string, std::string>> result;
    result.reserve(replaced.size());
    for (const ReplacedFile& file : replaced) {
        result.emplace_back(file.name, file.backup);
    }
    return result;
}

void write_directory(const std::string& dir, const NewDirectory& values) {
    std::optional<std::string> reason;
    {
        py::gil_scoped_release released;
        reason = write_new_directory(platform::directory_path(dir), values);
    }
    if (reason) {
        raise_refused({RefusalKind::data_files, {}, 0, *reason});
    }
}

}  // namespace
}  // namespace linesynth::tools

PYBIND11_MODULE(_linesynth, module) {
    using namespace linesynth::tools;
    module.doc() = "The companion's loading, statistics, fit and writing, in process.";
    refused_type = PyErr_NewException("linesynth.Refused", PyExc_ValueError, nullptr);
    module.attr("Refused") = py::reinterpret_borrow<py::object>(refused_type);
    module.attr("version") = version_text();
    module.attr("weights_file_name") = linesynth::weights_file_name;
    module.attr("scale_file_name") = linesynth::scale_file_name;
    module.attr("observed_file_name") = linesynth::observed_file_name;

    py::class_<LoadedDirectory, std::shared_ptr<LoadedDirectory>>(module, "LoadedDirectory")
        .def("rows", &rows)
        .def("inputs", &inputs)
        .def("stats", &stats)
        .def("fit", &fit, py::arg("scale"), py::arg("free"), py::arg("realizations"),
             py::arg("seed"));
    module.def("load", &load, py::arg("directory"), py::arg("mask"), py::arg("sigma"));
    module.def("write_weights", &write_weights, py::arg("directory"), py::arg("weights"),
               py::arg("ref_a"), py::arg("wait"));

    py::class_<NewCalibration>(module, "NewCalibration")
        .def(py::init<>())
        .def_readwrite("wl_1", &NewCalibration::wl_1)
        .def_readwrite("wl_2", &NewCalibration::wl_2)
        .def_readwrite("px_1", &NewCalibration::px_1)
        .def_readwrite("px_2", &NewCalibration::px_2)
        .def_readwrite("flux_1", &NewCalibration::flux_1)
        .def_readwrite("level_1", &NewCalibration::level_1)
        .def_readwrite("flux_2", &NewCalibration::flux_2)
        .def_readwrite("level_2", &NewCalibration::level_2)
        .def_readwrite("probe_flux", &NewCalibration::probe_flux);
    py::class_<NewDirectory>(module, "NewDirectory")
        .def(py::init<>())
        .def_readwrite("title", &NewDirectory::title)
        .def_readwrite("wavelengths", &NewDirectory::wavelengths)
        .def_readwrite("observed", &NewDirectory::observed)
        .def_readwrite("normalise", &NewDirectory::normalise)
        .def_readwrite("continuum", &NewDirectory::continuum)
        .def_readwrite("components", &NewDirectory::components)
        .def_readwrite("weights", &NewDirectory::weights)
        .def_readwrite("calibration", &NewDirectory::calibration)
        .def_readwrite("ref_a", &NewDirectory::ref_a)
        .def_readwrite("ref_b", &NewDirectory::ref_b);
    module.def("write_directory", &write_directory, py::arg("directory"), py::arg("values"));
}
