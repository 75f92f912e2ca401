// linesynth_make_large_data DIR SEED: writes the largest data set the files
// allow into DIR, the same bytes for the same seed on every machine.
//
// 10000 observed points (flags 2 and 4, so the run normalises them), a
// continuum and ten component spectra of 10000 points, all ten sets weighted,
// a parameter file with its option block and a scale file; about 1.2 MB in all.
// Every line ends in CR LF. Wavelengths step by 0.125 and are written with
// three decimals, or two where the third is 0 (4000.125, 4000.25); fluxes get
// five to nine significant digits, chosen row by row, so the reader meets the
// lengths real data has.
//
// Only integer arithmetic and std::mt19937_64 (whose sequence the language
// fixes) make the values, so no library's rounding can change a byte: the
// checked-in digests of the run's outputs hold on any machine.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

namespace {

constexpr int points = 10000;
constexpr int sets = 10;
constexpr std::int64_t one = 1'000'000'000;  // values are held in units of 1e-9

std::string digits(std::int64_t value) {
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// A positive value in units of 1e-9, written with `significant` digits,
// rounded half up: 12086234500000, 6 -> "12086.2"; 997525000, 5 -> "0.99752"
// (the dropped 5 is followed by zeros only in the first case).
std::string decimal(std::int64_t value9, int significant) {
    std::string text = digits(value9);
    auto length = static_cast<int>(text.size());
    if (length > significant) {
        std::int64_t scale = 1;
        for (int i = significant; i < length; ++i) {
            scale *= 10;
        }
        std::int64_t kept = value9 / scale;
        if (2 * (value9 % scale) >= scale) {
            ++kept;
        }
        text = digits(kept);
        if (static_cast<int>(text.size()) > significant) {  // 99999|5 -> 100000
            text.pop_back();
            ++length;
        }
    }
    const int integer_digits = length - 9;
    if (integer_digits <= 0) {
        return "0." + std::string(static_cast<std::size_t>(-integer_digits), '0') + text;
    }
    if (integer_digits >= static_cast<int>(text.size())) {
        return text + std::string(static_cast<std::size_t>(integer_digits) - text.size(), '0');
    }
    return text.substr(0, static_cast<std::size_t>(integer_digits)) + "." +
           text.substr(static_cast<std::size_t>(integer_digits));
}

// A wavelength in units of 1e-3: 4000125 -> "4000.125", 4000250 -> "4000.25".
std::string wavelength(std::int64_t value3) {
    std::string fraction = digits(1000 + value3 % 1000).substr(1);
    if (fraction.back() == '0') {
        fraction.pop_back();
    }
    return digits(value3 / 1000) + "." + fraction;
}

struct Writer {
    std::filesystem::path dir;
    bool failed = false;

    void file(const char* name, const std::string& text) {
        std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", (dir / name).string().c_str());
            failed = true;
        }
    }
};

void line(std::string& text, std::string_view record) {
    text += record;
    text += "\r\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t seed = 0;
    if (argc != 3 ||
        std::from_chars(argv[2], argv[2] + std::string_view(argv[2]).size(), seed).ec !=
            std::errc{}) {
        std::fprintf(stderr, "usage: linesynth_make_large_data DIR SEED\n");
        return 2;
    }
    std::mt19937_64 random(seed);
    const auto below = [&random](std::uint64_t bound) {
        return static_cast<std::int64_t>(random() % bound);
    };
    Writer out{argv[1]};
    std::error_code error;
    std::filesystem::create_directories(out.dir, error);

    // Pixel I lies at first_wl + 0.125 (I - 1): the calibration in vlt.txt
    // says the same, so the third table's pixel column counts 1 to 10000.
    const std::int64_t first_wl = 3500 + below(2000);
    const auto row_wl = [first_wl](int i) { return first_wl * 1000 + 125 * (i - 1); };

    // A continuum with a gentle slope, and one Lorentzian line per component
    // set on top of it; the observed spectrum is their weighted sum in
    // detector counts with noise of about the photon noise.
    std::int64_t continuum[points + 1];
    for (int i = 1; i <= points; ++i) {
        continuum[i] = one + (i - points / 2) * 2000;
    }
    static std::int64_t component[sets + 1][points + 1];
    std::int64_t weight[sets + 1];  // units of 1e-4
    for (int j = 1; j <= sets; ++j) {
        weight[j] = 200 + below(1800);
        const std::int64_t centre = 200 + below(points - 400);
        const std::int64_t width = 3 + below(150);
        const std::int64_t depth = (100'000 + below(800'000)) * 1000;  // 0.1 to 0.9
        for (int i = 1; i <= points; ++i) {
            const std::int64_t x = i - centre;
            const std::int64_t profile = one - depth * width * width / (width * width + x * x);
            component[j][i] = continuum[i] * profile / one;
        }
    }

    std::string weights;
    line(weights, digits(sets));
    for (int j = 1; j <= sets; ++j) {
        line(weights, decimal(weight[j] * 100'000, 4));
    }
    out.file("synthesis.txt", weights);

    std::string parameters;
    line(parameters, "Largest data set: 10000 points, ten component sets, seed " +
                         digits(static_cast<std::int64_t>(seed % 1'000'000)));
    line(parameters, "1");
    line(parameters, "1");
    line(parameters, "3 0.25 1.5");
    line(parameters, "2.5E1, -0.125");
    line(parameters, "first option text");
    line(parameters, "second option text");
    line(parameters, digits(first_wl) + " " + digits(first_wl + 1250));
    line(parameters, "1 10001");
    line(parameters, "1.25 50000");
    line(parameters, "0.05 2000 0.5");
    out.file("vlt.txt", parameters);

    std::string observed;
    line(observed, digits(points) + " 2 4");
    for (int i = 1; i <= points; ++i) {
        std::int64_t model = continuum[i];
        for (int j = 1; j <= sets; ++j) {
            model += weight[j] * (component[j][i] - continuum[i]) / 10'000;
        }
        // Twelve uniform draws sum to a near-normal value with a spread of
        // 2^20; scaled to about 110 counts, the noise of 12000 counts.
        std::int64_t noise = -6 * (std::int64_t{1} << 20);
        for (int k = 0; k < 12; ++k) {
            noise += below(std::uint64_t{1} << 20);
        }
        std::int64_t counts = 12000 * model + noise * 110 * (one >> 10) / 1024;
        if (counts < 1000 * one) {
            counts = 1000 * one;
        }
        line(observed,
             wavelength(row_wl(i)) + " " + decimal(counts, 5 + static_cast<int>(below(5))));
    }
    out.file("FDftn.txt", observed);

    std::string continuum_text;
    line(continuum_text, digits(points));
    for (int i = 1; i <= points; ++i) {
        line(continuum_text, decimal(continuum[i], 5 + static_cast<int>(below(5))));
    }
    out.file("continum.txt", continuum_text);

    for (int j = 1; j <= sets; ++j) {
        std::string text;
        line(text, digits(points));
        for (int i = 1; i <= points; ++i) {
            line(text, decimal(component[j][i], 5 + static_cast<int>(below(5))));
        }
        const std::string name = "VeltoOut" + digits(j) + ".txt";
        out.file(name.c_str(), text);
    }

    std::string scales;
    line(scales, "1.21875");
    line(scales, "0.0371");
    out.file("qdqd.txt", scales);

    out.file("vltOut.htm", "<HTML><BODY><PRE>\r\n");
    return out.failed ? 1 : 0;
}
