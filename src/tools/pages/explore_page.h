// The explore page: one HTML file in which the user moves the weights of the
// component sets (and, when asked, the scale file's ref_a) and sees the model,
// the residuals and chi-squared follow at once, computed as the run computes
// them, and takes the chosen weights home in the weights file's layout.
//
// The page needs nothing from outside: its script and style are inline, and
// its content security policy forbids every request and allows only that
// script and that style, named by their SHA-256 digests. Its data sit in a
// JSON block the script reads: every 32-bit value the run holds (the compared
// rows, the continuum, each set's stored component column, the calibration's
// fluxes, the scale file's values, the weights) as a decimal text that reads
// back as exactly that value. The same data give the same bytes.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace linesynth::tools {

// Rows 1 to n, n being the last row the run's tables and the observed
// spectrum share (compared_rows.h); a masked row is carried too, so that the
// curves can break there.
struct ExploreData {
    std::string title;  // the title record as read; trailing blanks are dropped
    std::vector<float> wavelength;
    std::vector<float> observed;
    std::vector<float> sigma;  // empty: unit sigmas
    std::vector<int> masked;   // row numbers (from 1) left out of the comparison
    std::vector<std::pair<double, double>> masks;  // (low, high), for the shading
    std::vector<float> continuum;                  // continuum(I), 0 beyond its file's count
    // Set J's stored component column at [J - 1], rows 1 to the smaller of
    // its file's count and n.
    std::vector<std::vector<float>> components;
    // The rows beyond n that the run still synthesises and integrates, for
    // the floating-point faults the run would meet there: the synthetic
    // spectrum is built up to the longest of the continuum's and the sets'
    // counts, and integrated over rows 1 to integral_rows.
    std::int32_t integral_rows = 0;
    std::vector<float> tail_wavelength;               // rows n + 1 to integral_rows
    std::vector<float> tail_observed;                 // rows n + 1 to integral_rows
    std::vector<float> tail_continuum;                // rows n + 1 on
    std::vector<std::vector<float>> tail_components;  // set J's rows n + 1 to its count
    float flux_1 = 0;
    float flux_2 = 0;
    std::int32_t level_1 = 0;  // the flux calibration's pixel levels
    std::int32_t level_2 = 0;
    float ref_a = 0;
    float ref_b = 0;
    std::vector<float> weights;                // of the weights file, set 1 first
    std::optional<std::vector<float>> fitted;  // the suggested weights, when asked for
    std::optional<float> fitted_ref_a;         // with a scale fit
    bool scale = false;                        // a control for ref_a
    std::string version;
};

std::string explore_page(const ExploreData& data);

// A 32-bit real as the page carries it: the shortest text that reads back as
// the same 32-bit real, unless a browser reading it as a double (as JSON is
// read) and narrowing that would round another way; then the shortest text of
// the widened value, which reads back as that double exactly:
//   0.3f -> "0.3";  6562.8f -> "6562.8";  1e-5f -> "1e-05";  -0.0f -> "-0"
//   0x1.5c87fap-84f -> "7.038530691851209e-26" ("7.038531e-26" reads as the
//     double halfway to its neighbour, which narrows to the neighbour; of all
//     the finite 32-bit reals, only this one)
//   not finite -> "null"
std::string page_single_text(float value);

// The standard base64 text of the bytes that `hex` (two hexadecimal digits a
// byte) spells, as a content security policy names a digest:
//   "e3b0c442...b855" (SHA-256 of nothing) -> "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU="
//   "ff" -> "/w==";  "ffff" -> "//8=";  "" -> ""
std::string base64_of_hex(std::string_view hex);

}  // namespace linesynth::tools
