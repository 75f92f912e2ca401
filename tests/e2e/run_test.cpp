// Whole runs of the real binary on a temporary data directory. Every expected
// byte was worked out by hand from the layout rules: a real is right-justified
// in 15 columns, an integer in 11, each record starts with a blank and each
// further numeric item has one separating blank; the blank counts are written
// out explicitly below.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace linesynth {
namespace {

using testing::crlf;
using testing::read_file;
using testing::record;
using testing::run_linesynth;
using testing::TempDir;
using testing::write_file;

using Files = std::map<std::string, std::string>;

const std::string stop_line = "Stop - Program terminated.\r\n";
const std::string summary_text = "THE INTEGRAL OF <B>ALL SETS</B> IS=";

void write_all(const TempDir& dir, const Files& files) {
    for (const auto& [name, bytes] : files) {
        write_file(dir.file(name), bytes);
    }
}

void expect_files(const TempDir& dir, const Files& expected) {
    for (const auto& [name, bytes] : expected) {
        SCOPED_TRACE(name);
        EXPECT_EQ(read_file(dir.file(name)), bytes);
    }
}

// The inputs of a small complete run: three points and one set.
const Files three_point_inputs = {
    {"synthesis.txt", "1\n0.5\n"},
    {"vlt.txt", "Simple run\n1\n0\n4000 5000\n1 1001\n2 200\n0 0 1\n"},
    {"FDftn.txt", "3 0 0\n4000 1.5\n4001 1.0\n4002 0.5\n"},
    {"continum.txt", "3\n1\n1\n1\n"},
    {"VeltoOut1.txt", "3\n1\n0.5\n1\n"},
    {"qdqd.txt", "4\n0\n"},
};

// Runs the binary on `dir` and expects the normal stop and nothing else.
void expect_normal_stop(const TempDir& dir, const std::vector<std::string>& args = {}) {
    const auto result = run_linesynth(dir.dir_with_separator(), "", args);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, stop_line);
    EXPECT_EQ(result.err, "");
}

// Three points, one set, every value exact: the calibration maps pixel p to
// wavelength p + 3999 and flux f to level 100 f; ref 4 and 0 against flux 2
// and 0 give scale_fwd 2 and scale_back 0.5.
//   synthetic = 1 + 0.5 * (1, 0.5, 1) - 1)        = 1, 0.75, 1
//   S = 2 * synthetic                              = 2, 1.5, 2
//   O = 0.5 * observed (1.5, 1, 0.5)               = 0.75, 0.5, 0.25
//   integral = 1 * (1 + 0.75) / 2 + 1 * (0.75 + 1) / 2 = 1.75
TEST(Run, ThreePointsOneSet) {
    TempDir dir;
    const Files& inputs = three_point_inputs;
    write_all(dir, inputs);

    expect_normal_stop(dir);

    const std::string count = record({{11, "3"}});
    expect_files(dir, inputs);
    expect_files(
        dir,
        {
            {"RDF.txt",
             count +
                 record(
                     {{5, "4000.000000"}, {8, "2.000000"}, {8, "1.500000"}, {3, "-5.000000E-01"}}) +
                 record(
                     {{5, "4001.000000"}, {8, "1.500000"}, {8, "1.000000"}, {3, "-5.000000E-01"}}) +
                 record(
                     {{5, "4002.000000"}, {8, "2.000000"}, {4, "5.000000E-01"}, {7, "-1.500000"}})},
            {"RDF1.txt", count +
                             record({{5, "4000.000000"},
                                     {8, "1.000000"},
                                     {4, "7.500000E-01"},
                                     {4, "2.500000E-01"}}) +
                             record({{5, "4001.000000"},
                                     {4, "7.500000E-01"},
                                     {4, "5.000000E-01"},
                                     {4, "2.500000E-01"}}) +
                             record({{5, "4002.000000"},
                                     {8, "1.000000"},
                                     {4, "2.500000E-01"},
                                     {4, "7.500000E-01"}})},
            {"RDF2.txt", count + record({{11, "1"}, {9, "100"}, {10, "75"}}) +
                             record({{11, "2"}, {10, "75"}, {10, "50"}}) +
                             record({{11, "3"}, {9, "100"}, {10, "25"}})},
            {"vltOut.htm", record({{1, summary_text}, {7, "1.750000"}})},
        });
}

// CR LF files, the option block, a normalised observed spectrum, two sets and
// a last component file longer than the others, old output files.
//   calibration: wavelength 10 p + 90; level 250 f (flux 4 -> 1000, 2 -> 500)
//   observed 2, 8 with flags 2 4      -> 0.25, 1; rows 3..5 stay 0
//   wavelengths 100, 110 from the file; rows 3..5 keep 120, 130, 140
//   set 1 (0.5 everywhere, weight 0.5): component -0.5, synthetic 0.75
//   set 2 (0.75 x4 then 3, weight 2):   component -0.25 and 3 (continuum 0 in
//                                        row 5), synthetic 0.25 x4 and 6
//   ref 6 and 2 against flux 4 and 2: scale_fwd 2, scale_back 0.5
//   S = (syn - 2) * 2 + 2:  -1.5 x4, 10       O = (obs - 2) * 0.5 + 2: 1.125, 1.5, 1 x3
//   levels of synthetic: 250 * 0.25 = 62.5 -> 63 (half away from zero), 1500
//   levels of O: 281.25 -> 281, 375, 250
//   integral = 10 * 0.5 / 2 * 3 + 10 * 6.25 / 2 = 38.75
TEST(Run, OptionBlockNormalisationAndALongLastSet) {
    TempDir dir;
    const Files inputs = {
        {"synthesis.txt", crlf("2|0.5|2|")},
        {"vlt.txt", crlf("Title 1 2 3 that runs on past the eightieth column of its record, "
                         "far past it ...|7|1|5, 1E300, 2.5D0|3*0.5|option text one|"
                         "option text two|100 200 999|1 11|4 1000|2 500 3|")},
        {"FDftn.txt", crlf("2 2 4|100 2|110 8|")},
        {"continum.txt", crlf("4|1|1|1|1|")},
        {"VeltoOut1.txt", crlf("4|0.5|0.5|0.5|0.5|")},
        {"VeltoOut2.txt", crlf("5|0.75|0.75|0.75|0.75|3|")},
        {"qdqd.txt", crlf("6|2|")},
    };
    write_all(dir, inputs);
    write_file(dir.file("RDF.txt"), std::string(5000, 'x'));
    write_file(dir.file("vltOut.htm"), crlf("old line|<PRE>"));

    expect_normal_stop(dir, {"ignored", "arguments"});

    const std::string count = record({{11, "5"}});
    expect_files(dir, inputs);
    expect_files(
        dir,
        {
            {"RDF.txt",
             count +
                 record(
                     {{6, "100.000000"}, {7, "-1.500000"}, {4, "2.500000E-01"}, {8, "1.750000"}}) +
                 record({{6, "110.000000"}, {7, "-1.500000"}, {8, "1.000000"}, {8, "2.500000"}}) +
                 record(
                     {{6, "120.000000"}, {7, "-1.500000"}, {4, "0.000000E+00"}, {8, "1.500000"}}) +
                 record(
                     {{6, "130.000000"}, {7, "-1.500000"}, {4, "0.000000E+00"}, {8, "1.500000"}}) +
                 record({{6, "140.000000"},
                         {7, "10.000000"},
                         {4, "0.000000E+00"},
                         {6, "-10.000000"}})},
            {"RDF1.txt",
             count +
                 record({{6, "100.000000"},
                         {4, "2.500000E-01"},
                         {8, "1.125000"},
                         {3, "-8.750000E-01"}}) +
                 record(
                     {{6, "110.000000"}, {4, "2.500000E-01"}, {8, "1.500000"}, {7, "-1.250000"}}) +
                 record({{6, "120.000000"},
                         {4, "2.500000E-01"},
                         {8, "1.000000"},
                         {3, "-7.500000E-01"}}) +
                 record({{6, "130.000000"},
                         {4, "2.500000E-01"},
                         {8, "1.000000"},
                         {3, "-7.500000E-01"}}) +
                 record({{6, "140.000000"}, {8, "6.000000"}, {8, "1.000000"}, {8, "5.000000"}})},
            {"RDF2.txt", count + record({{11, "1"}, {10, "63"}, {9, "281"}}) +
                             record({{11, "2"}, {10, "63"}, {9, "375"}}) +
                             record({{11, "3"}, {10, "63"}, {9, "250"}}) +
                             record({{11, "4"}, {10, "63"}, {9, "250"}}) +
                             record({{11, "5"}, {8, "1500"}, {9, "250"}})},
            {"vltOut.htm", crlf("old line|<PRE>") + record({{1, summary_text}, {6, "38.750000"}})},
        });
}

// No component set: the reports cover the continuum file's count, and the
// synthetic spectrum is the continuum. A count of zero writes count records only.
TEST(Run, NoSetsAndEmptySpectra) {
    TempDir dir;
    write_all(dir, {
                       {"synthesis.txt", "0\n"},
                       {"vlt.txt", "t\n1\nn\n10 20\n1 2\n1 10\n0 0 0.5\n"},
                       {"FDftn.txt", "0 2 4\n"},
                       {"continum.txt", "0\n"},
                       {"qdqd.txt", "1\n0\n"},
                   });
    write_file(dir.file("vltOut.htm"), crlf("<PRE>|"));
    for (int run = 0; run < 2; ++run) {
        expect_normal_stop(dir);
    }
    const std::string zero_summary = record({{1, summary_text}, {3, "0.000000E+00"}});
    expect_files(dir, {
                          {"RDF.txt", record({{11, "0"}})},
                          {"RDF1.txt", record({{11, "0"}})},
                          {"RDF2.txt", record({{11, "0"}})},
                          {"vltOut.htm", crlf("<PRE>|") + zero_summary + zero_summary},
                      });
}

// A last count beyond the observed rows: rows up to 1000 show the calibrated
// wavelength (p + 3999), rows above it zero; observed is zero there.
//   integral = 999 unit intervals of height 1, then (0 - 4999) * 2 / 2, then 0
//            = 999 - 4999 = -4000
TEST(Run, RowsBeyondTheObservedSpectrum) {
    TempDir dir;
    std::string continuum = "1002\n";
    for (int i = 0; i < 1002; ++i) {
        continuum += "1\n";
    }
    write_all(dir, {
                       {"synthesis.txt", "0\n"},
                       {"vlt.txt", "t\n1\n0\n4000 5000\n1 1001\n2 200\n0 0 1\n"},
                       {"FDftn.txt", "1 0 0\n4000 0.5\n"},
                       {"continum.txt", continuum},
                       {"qdqd.txt", "2\n0\n"},
                   });
    const auto result = run_linesynth(dir.dir_with_separator());
    ASSERT_EQ(result.status, 0);

    // Line 0 is the count record, line I the row of point I.
    const auto lines_of = [&](const std::string& name) {
        std::vector<std::string> lines;
        const std::string bytes = read_file(dir.file(name));
        for (std::size_t start = 0; start < bytes.size();) {
            const std::size_t end = bytes.find("\r\n", start);
            lines.push_back(bytes.substr(start, end - start) + "\r\n");
            start = end + 2;
        }
        return lines;
    };
    const auto rdf = lines_of("RDF.txt");
    ASSERT_EQ(rdf.size(), 1003u);
    EXPECT_EQ(rdf[0], record({{8, "1002"}}));
    EXPECT_EQ(
        rdf[1],
        record({{5, "4000.000000"}, {8, "1.000000"}, {4, "5.000000E-01"}, {3, "-5.000000E-01"}}));
    EXPECT_EQ(rdf[2],
              record({{5, "4001.000000"}, {8, "1.000000"}, {4, "0.000000E+00"}, {7, "-1.000000"}}));
    EXPECT_EQ(rdf[1000],
              record({{5, "4999.000000"}, {8, "1.000000"}, {4, "0.000000E+00"}, {7, "-1.000000"}}));
    EXPECT_EQ(
        rdf[1001],
        record({{4, "0.000000E+00"}, {8, "1.000000"}, {4, "0.000000E+00"}, {7, "-1.000000"}}));
    const auto rdf2 = lines_of("RDF2.txt");
    ASSERT_EQ(rdf2.size(), 1003u);
    EXPECT_EQ(rdf2[1000], record({{8, "1000"}, {9, "100"}, {11, "0"}}));
    EXPECT_EQ(rdf2[1002], record({{7, "-3999"}, {9, "100"}, {11, "0"}}));
    EXPECT_EQ(read_file(dir.file("vltOut.htm")), record({{1, summary_text}, {3, "-4000.000000"}}));
}

// Runs that end early: the exact console and error stream, the exit status,
// and no output file touched.
TEST(Run, EarlyEndsTouchNoOutput) {
    const std::string prompt =
        "Pause - Please enter a blank line (to continue) or a DOS command.\r\n";
    const Files& good = three_point_inputs;
    struct Case {
        const char* name;
        Files changes;
        int status;
        std::string out;
        std::string err;  // with the data directory written as "@"
    };
    const Case cases[] = {
        {"equal reference pixels stop the wavelength pre-fill",
         {{"vlt.txt", "t\n1\n0\n4000 5000\n7 7\n2 200\n0 0 1\n"}},
         0,
         "ERROR ON TERENNING WAVE LENGTH INTO pixel CALIBRATION ERROR\r\n"
         "ENTER TO STOP OR YOUR COMMAND\r\n" +
             prompt + "\r\nERROR ON TERENNING WAVE LENGTH INTO pixel CALIBRATION ERROR\r\n\r\n",
         ""},
        {"equal levels stop the flux check",
         {{"vlt.txt", "t\n1\n0\n4000 5000\n1 1001\n2 200\n0 200 1\n"}},
         0,
         "ERROR ON TERENNING  pixel INTO flux CALIBRATION ERROR\r\n"
         "ENTER TO STOP OR YOUR COMMAND\r\n" +
             prompt + "\r\nERROR ON TERENNING  pixel INTO flux\r\n\r\n",
         ""},
        {"equal fluxes stop the flux check instead of dividing by zero",
         {{"vlt.txt", "t\n1\n0\n4000 5000\n1 1001\n2 200\n2 0 1\n"}},
         0,
         "ERROR ON TERENNING  pixel INTO flux CALIBRATION ERROR\r\n"
         "ENTER TO STOP OR YOUR COMMAND\r\n" +
             prompt + "\r\nERROR ON TERENNING  pixel INTO flux\r\n\r\n",
         ""},
        {"equal wavelengths stop before any table is written",
         {{"vlt.txt", "t\n1\n0\n4000 4000\n1 1001\n2 200\n0 0 1\n"}},
         0,
         "ERROR ON TERENNING WAVE LENGTH INTO pixel CALIBRATION ERROR\r\n"
         "ENTER TO STOP OR YOUR COMMAND\r\n" +
             prompt + "\r\nERROR ON TERENNING WAVE LENGTH INTO pixel\r\n\r\n",
         ""},
        {"too many component sets",
         {{"synthesis.txt", "11\n"}},
         0,
         "ERROR REPORT\r\nTOO MANY COMPONENT SETS N_set=         11\r\n"
         "Press Enter to continue\r\n" +
             stop_line + "\r\n",
         ""},
        {"observed file too long",
         {{"FDftn.txt", "10001 0 0\n1 1\n"}},
         0,
         "ERROR REPORT\r\nTOO LONG DATA FILE N_sat=      10001\r\n"
         "Press Enter to continue\r\n" +
             stop_line + "\r\n",
         ""},
        {"component file too long",
         {{"VeltoOut1.txt", "20000\n"}},
         0,
         "ERROR REPORT\r\nTOO LONG DATA FILE N_sat=      20000\r\n"
         "Press Enter to continue\r\n" +
             stop_line + "\r\n",
         ""},
        {"references equal: scale_back divides by zero",
         {{"qdqd.txt", "3\n3\n"}},
         1,
         "",
         "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n"},
        {"a scale file with both values on one record",
         {{"qdqd.txt", "4 0\n"}},
         1,
         "",
         "\r\nrun-time error F6501: READ(@qdqd.txt)\r\n- end of file reached during read\r\n"},
        {"a malformed weight",
         {{"synthesis.txt", "1\n0.5x\n"}},
         1,
         "",
         "\r\nrun-time error F6103: READ(@synthesis.txt)\r\n- invalid real value\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        Files files = good;
        for (const auto& [name, bytes] : c.changes) {
            files[name] = bytes;
        }
        write_all(dir, files);
        const Files old_outputs = {{"RDF.txt", "old\r\n"},
                                   {"RDF1.txt", "old 1\r\n"},
                                   {"RDF2.txt", "old 2\r\n"},
                                   {"vltOut.htm", "<PRE>\r\n"}};
        write_all(dir, old_outputs);

        const auto result = run_linesynth(dir.dir_with_separator(), "\n");
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.out, c.out);
        std::string err = c.err;
        if (const auto at = err.find('@'); at != std::string::npos) {
            err.replace(at, 1, dir.dir_with_separator());
        }
        EXPECT_EQ(result.err, err);
        expect_files(dir, old_outputs);
        expect_files(dir, files);
    }
}

// A missing input file is left behind empty and the run ends at its first
// read, before any later file is opened.
TEST(Run, MissingContinuumIsLeftEmpty) {
    TempDir dir;
    write_all(dir, {
                       {"synthesis.txt", "1\n0.5\n"},
                       {"vlt.txt", "t\n1\n0\n4000 5000\n1 1001\n2 200\n0 0 1\n"},
                       {"FDftn.txt", "1 0 0\n4000 1.5\n"},
                   });
    const auto result = run_linesynth(dir.dir_with_separator());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "\r\nrun-time error F6501: READ(" + dir.file("continum.txt") +
                              ")\r\n- end of file reached during read\r\n");
    EXPECT_EQ(read_file(dir.file("continum.txt")), "");
    EXPECT_FALSE(std::filesystem::exists(dir.file("VeltoOut1.txt")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("RDF.txt")));
}

TEST(Run, BundledExampleCompletes) {
    TempDir dir;
    std::filesystem::copy(LINESYNTH_EXAMPLE_DATA, dir.path(),
                          std::filesystem::copy_options::recursive);
    const std::string before = read_file(dir.file("vltOut.htm"));
    expect_normal_stop(dir);
    const std::string after = read_file(dir.file("vltOut.htm"));
    ASSERT_GT(after.size(), before.size());
    EXPECT_EQ(after.compare(0, before.size(), before), 0);
    EXPECT_EQ(after.substr(before.size(), 37), " " + summary_text + " ");
    EXPECT_EQ(read_file(dir.file("RDF2.txt")).substr(0, 14), record({{9, "400"}}));
}

}  // namespace
}  // namespace linesynth
