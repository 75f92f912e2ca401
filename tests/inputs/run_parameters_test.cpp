// The weights file and the parameter file, read from real files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "inputs/run_parameters.h"
#include "test_support.h"
#include "textio/text_unit.h"

namespace linesynth {
namespace {

using testing::crlf;
using testing::run_in_child;
using testing::TempDir;
using testing::write_file;

RunParameters read_weights(const std::string& bytes) {
    TempDir dir;
    write_file(dir.file("synthesis.txt"), bytes);
    TextUnit unit;
    open_file(unit, dir.file("synthesis.txt"));
    RunParameters parameters;
    read_weights_file(unit.reader, parameters);
    close_file(unit);
    return parameters;
}

struct Parsed {
    RunParameters parameters;
    CalibrationSet calibration;
};

Parsed read_parameters(const std::string& bytes) {
    TempDir dir;
    write_file(dir.file("vlt.txt"), bytes);
    TextUnit unit;
    open_file(unit, dir.file("vlt.txt"));
    Parsed parsed;
    read_parameter_file(unit.reader, parsed.parameters, parsed.calibration);
    return parsed;
}

std::string text80(const char (&buffer)[80]) {
    return std::string(buffer, 80);
}

std::string padded(const std::string& text) {
    return text + std::string(80 - text.size(), ' ');
}

TEST(WeightsFile, Layouts) {
    struct Case {
        std::string file;
        std::int32_t set_count;
        std::vector<float> weights;
    };
    const Case cases[] = {
        {"2\n0.5\n1.5\n", 2, {0.5f, 1.5f}},
        {"2\n0.5\n1.5\n9\n", 2, {0.5f, 1.5f}},   // a record past the last weight is not read
        {"2\n0.5 0.7\n1.5\n", 2, {0.5f, 1.5f}},  // the second number on a record is skipped
        {"0\n", 0, {}},                          // no weight read at all
        {"-3\n", -3, {}},
        {"3\r\n1\r\n\r\n2 3\r\n4\r\n", 3, {1.0f, 2.0f, 4.0f}},  // a blank record is skipped
        {"10\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n",
         10,
         {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 9.0f, 10.0f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const RunParameters parameters = read_weights(c.file);
        EXPECT_EQ(parameters.set_count, c.set_count);
        for (std::size_t j = 0; j < 10; ++j) {
            const float expected = j < c.weights.size() ? c.weights[j] : 0.0f;
            EXPECT_EQ(parameters.weights[j], expected) << "weight " << j + 1;
        }
    }
}

TEST(WeightsFile, RefusesMoreThanTenSetsBeforeAnyWeight) {
    TempDir dir;
    write_file(dir.file("synthesis.txt"), "11\n0.5x\n");
    const auto result = run_in_child([&] {
        TextUnit unit;
        open_file(unit, dir.file("synthesis.txt"));
        RunParameters parameters;
        read_weights_file(unit.reader, parameters);
    });
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, crlf("ERROR REPORT|TOO MANY COMPONENT SETS N_set=         11|"
                               "Press Enter to continue|Stop - Program terminated.||"));
    EXPECT_EQ(result.err, "");
}

TEST(ParameterFile, OptionBlockFollowsAnswerOneOrTwo) {
    const std::string calibration_records = "4000 5000\n1 1001\n2 200\n0 0 1\n";
    const std::string option_block = "5 1E300 -2.5D0\n1e-300 7\noption one\noption two\n";
    struct Case {
        std::string answer_record;
        bool block;
    };
    const Case cases[] = {
        {"1", true},  {"2", true},  {"'2'", true}, {"0", false},
        {"3", false}, {"y", false}, {"12", true},  // only the first character counts
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer_record);
        const std::string file = "title\n42\n" + c.answer_record + "\n" +
                                 (c.block ? option_block : "") + calibration_records;
        const Parsed parsed = read_parameters(file);
        const RunParameters& p = parsed.parameters;
        EXPECT_EQ(p.param_a, 42);
        EXPECT_EQ(p.answer, c.answer_record == "'2'" ? '2' : c.answer_record[0]);
        EXPECT_EQ(p.opt_int, c.block ? 5 : 0);
        EXPECT_EQ(p.opt_real_1, c.block ? 1e300 : 0.0);
        EXPECT_EQ(p.opt_real_2, c.block ? -2.5 : 0.0);
        EXPECT_EQ(p.opt_real_3, c.block ? 1e-300 : 0.0);
        EXPECT_EQ(p.opt_real_4, c.block ? 7.0 : 0.0);
        EXPECT_EQ(text80(p.opt_text_1), c.block ? padded("option one") : std::string(80, '\0'));
        EXPECT_EQ(text80(p.opt_text_2), c.block ? padded("option two") : std::string(80, '\0'));
        const CalibrationSet& cal = parsed.calibration;
        EXPECT_EQ(cal.wl_1, 4000.0f);
        EXPECT_EQ(cal.wl_2, 5000.0f);
        EXPECT_EQ(cal.px_1, 1);
        EXPECT_EQ(cal.px_2, 1001);
        EXPECT_EQ(cal.flux_1, 2.0f);
        EXPECT_EQ(cal.level_1, 200);
        EXPECT_EQ(cal.flux_2, 0.0f);
        EXPECT_EQ(cal.level_2, 0);
        EXPECT_EQ(p.probe_flux, 1.0f);
    }
}

TEST(ParameterFile, TitleIsTextWhateverItHolds) {
    const std::string long_title(100, 'T');
    struct Case {
        std::string title_record;
        std::string title;
    };
    const Case cases[] = {
        {"A short title", padded("A short title")}, {long_title, std::string(80, 'T')},
        {"1 2 3 4 5", padded("1 2 3 4 5")},         {"", std::string(80, ' ')},
        {"tab\there", padded("tab\there")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title_record);
        const Parsed parsed =
            read_parameters(c.title_record + "\r\n7\r\n0\r\n10 20\r\n1 2\r\n3 30\r\n4 40 3.5\r\n");
        EXPECT_EQ(text80(parsed.parameters.title_line), c.title);
        EXPECT_EQ(parsed.parameters.param_a, 7);
        EXPECT_EQ(parsed.calibration.wl_1, 10.0f);
        EXPECT_EQ(parsed.parameters.probe_flux, 3.5f);
    }
}

// Every calibration record keeps only the values its read lists; the next
// read starts at the next record.
TEST(ParameterFile, ExtraValuesOnCalibrationRecordsAreSkipped) {
    const Parsed parsed =
        read_parameters("t\n1\n0\n10 20 30 40\n1 2 3\n3 30 99\n4 40 3.5 77\nmore\n");
    const CalibrationSet& cal = parsed.calibration;
    EXPECT_EQ(cal.wl_1, 10.0f);
    EXPECT_EQ(cal.wl_2, 20.0f);
    EXPECT_EQ(cal.px_1, 1);
    EXPECT_EQ(cal.px_2, 2);
    EXPECT_EQ(cal.flux_1, 3.0f);
    EXPECT_EQ(cal.level_1, 30);
    EXPECT_EQ(cal.flux_2, 4.0f);
    EXPECT_EQ(cal.level_2, 40);
    EXPECT_EQ(parsed.parameters.probe_flux, 3.5f);
}

// Values that are read and not used still fail by their type's rules.
TEST(ParameterFile, FailuresNameTheFile) {
    struct Case {
        const char* name;
        std::string file;
        std::string report;  // "@" stands for the file's path
    };
    const Case cases[] = {
        {"1E300 fits the option block but not wl_1", "t\n1\n0\n1E300 20\n1 2\n3 30\n4 40 3.5\n",
         "|run-time error F6104: READ(@)|- real value out of single-precision range|"},
        {"an unused integer is still an integer", "t\n1.5\n0\n10 20\n1 2\n3 30\n4 40 3.5\n",
         "|run-time error F6101: READ(@)|- invalid character in integer value|"},
        {"an unused option real is still a real", "t\n1\n1\n5 abc 1\n1 2\na\nb\n10 20\n",
         "|run-time error F6103: READ(@)|- invalid real value|"},
        {"a file that ends before its last read", "t\n1\n0\n10 20\n1 2\n3 30\n",
         "|run-time error F6501: READ(@)|- end of file reached during read|"},
        {"an empty file", "", "|run-time error F6501: READ(@)|- end of file reached during read|"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file("vlt.txt");
        write_file(path, c.file);
        const auto child = run_in_child([&] {
            TextUnit unit;
            open_file(unit, path);
            RunParameters parameters;
            CalibrationSet calibration;
            read_parameter_file(unit.reader, parameters, calibration);
        });
        std::string expected = c.report;
        expected.replace(expected.find('@'), 1, path);
        EXPECT_EQ(child.status, 1);
        EXPECT_EQ(child.err, crlf(expected));
    }
}

}  // namespace
}  // namespace linesynth
