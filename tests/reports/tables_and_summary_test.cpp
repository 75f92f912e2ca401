// The residual tables and the summary page, written to real files.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "reports/residual_tables.h"
#include "reports/summary_page.h"
#include "test_support.h"

namespace linesynth {
namespace {

using testing::crlf;
using testing::read_file;
using testing::run_in_child;
using testing::TempDir;
using testing::write_file;

std::string blanks(int n) {
    return std::string(static_cast<std::size_t>(n), ' ');
}

// wl 4000 <-> pixel 1 and 5000 <-> 1001; flux 3 <-> level 300 and 0 <-> 0;
// references 1 and 0 make scale_fwd the 32-bit real nearest 1/3, 0x1.555556p-2.
CalibrationSet calibration() {
    CalibrationSet cal;
    cal.wl_1 = 4000;
    cal.wl_2 = 5000;
    cal.px_1 = 1;
    cal.px_2 = 1001;
    cal.flux_1 = 3;
    cal.level_1 = 300;
    cal.flux_2 = 0;
    cal.level_2 = 0;
    return cal;
}

ReportScales scales_for(const CalibrationSet& cal, float ref_a, float ref_b) {
    ReportScales scales;
    scales.ref_a = ref_a;
    scales.ref_b = ref_b;
    compute_scale_factors(scales, cal);
    return scales;
}

// S = 7 * 0x1.555556p-2 = 0x1.2aaaab4p+1 in double, printed from its 32-bit
// value 0x1.2aaaacp+1 as 2.333333. The observed value is that same 32-bit
// real, so the printed values agree, yet the residual comes from the double S:
// 0x1.2aaaacp+1 - 0x1.2aaaab4p+1 = 0x1.8p-24 = 8.9406967e-08.
TEST(ResidualTables, ResidualComesFromTheDoubleValue) {
    TempDir dir;
    auto store = std::make_unique<SpectrumStore>();
    store->point_count = 1;
    store->wavelengths[1] = 4000;
    store->synthetic[1] = 7;
    store->observed[1] = 0x1.2aaaacp+1f;
    const CalibrationSet cal = calibration();
    write_residual_tables(dir.dir_with_separator(), *store, cal, scales_for(cal, 1, 0));
    EXPECT_EQ(read_file(dir.file("RDF.txt")), blanks(11) + "1\r\n" + blanks(5) + "4000.000000" +
                                                  blanks(8) + "2.333333" + blanks(8) + "2.333333" +
                                                  blanks(4) + "8.940697E-08\r\n");
}

TEST(ResidualTables, CountsOfZeroOrLessWriteTheCountRecordOnly) {
    const std::int32_t counts[] = {0, -5};
    for (std::int32_t count : counts) {
        SCOPED_TRACE(count);
        TempDir dir;
        write_file(dir.file("RDF.txt"), std::string(3000, '#'));
        auto store = std::make_unique<SpectrumStore>();
        store->point_count = count;
        CalibrationSet cal = calibration();
        cal.wl_2 = cal.wl_1;  // nothing to convert, so nothing to refuse
        write_residual_tables(dir.dir_with_separator(), *store, cal, scales_for(cal, 1, 0));
        const std::string expected = count == 0 ? blanks(11) + "0\r\n" : blanks(10) + "-5\r\n";
        EXPECT_EQ(read_file(dir.file("RDF.txt")), expected);
        EXPECT_EQ(read_file(dir.file("RDF1.txt")), expected);
        EXPECT_EQ(read_file(dir.file("RDF2.txt")), expected);
    }
}

// Equal reference wavelengths are refused before the first table is opened,
// so an old set of tables stays whole.
TEST(ResidualTables, EqualWavelengthsTouchNoTable) {
    TempDir dir;
    const std::string names[] = {"RDF.txt", "RDF1.txt", "RDF2.txt"};
    for (const auto& name : names) {
        write_file(dir.file(name), "old " + name + "\r\n");
    }
    const auto result = run_in_child(
        [&] {
            auto store = std::make_unique<SpectrumStore>();
            store->point_count = 1;
            CalibrationSet cal = calibration();
            cal.wl_2 = cal.wl_1;
            write_residual_tables(dir.dir_with_separator(), *store, cal, scales_for(cal, 1, 0));
        },
        "\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, crlf("ERROR ON TERENNING WAVE LENGTH INTO pixel CALIBRATION ERROR|"
                               "ENTER TO STOP OR YOUR COMMAND|"
                               "Pause - Please enter a blank line (to continue) or a DOS command.||"
                               "ERROR ON TERENNING WAVE LENGTH INTO pixel||"));
    for (const auto& name : names) {
        EXPECT_EQ(read_file(dir.file(name)), "old " + name + "\r\n");
    }
}

TEST(SummaryPage, RecordsAreAppended) {
    const std::string record_6 =
        " THE INTEGRAL OF <B>ALL SETS</B> IS=" + blanks(7) + "6.000000\r\n";
    const std::string record_neg =
        " THE INTEGRAL OF <B>ALL SETS</B> IS=" + blanks(4) + "-123.456700\r\n";
    struct Case {
        const char* name;
        bool exists;
        std::string before;
        std::string after;
    };
    const Case cases[] = {
        {"a missing page is created", false, "", record_6 + record_neg},
        {"old records stay first", true, "<HTML>\r\n", "<HTML>\r\n" + record_6 + record_neg},
        {"a last line without a line end is joined", true, "<PRE>",
         "<PRE>" + record_6 + record_neg},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file("vltOut.htm");
        if (c.exists) {
            write_file(path, c.before);
        }
        append_summary_record(path, 6.0f);
        append_summary_record(path, -123.4567f);
        EXPECT_EQ(read_file(path), c.after);
    }
}

}  // namespace
}  // namespace linesynth
