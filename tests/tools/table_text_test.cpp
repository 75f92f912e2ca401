// The examples of tools/pages/table_text.h and markup_text.h's one_line_text,
// replayed: YAML scalars that must read back as the same string or number,
// the cells of ECSV and CSV rows, and the format an output name asks for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/pages/markup_text.h"
#include "tools/pages/table_text.h"

namespace linesynth::tools {
namespace {

struct TextRow {
    std::string input;
    std::string expected;
};

TEST(TableText, YamlScalarReadsBackAsTheSameString) {
    const std::vector<TextRow> rows = {
        {"float64", "float64"},
        {"synthesis.txt", "synthesis.txt"},
        {"%", "\"%\""},
        {"true", "\"true\""},
        {"No", "\"No\""},
        {"1.5", "\"1.5\""},
        {"", "\"\""},
        {"a: b", "\"a: b\""},
        {"say \"x\"\\", "\"say \\\"x\\\"\\\\\""},
        {"caf\xE9", "\"caf\xEF\xBF\xBD\""},
    };
    for (const TextRow& row : rows) {
        SCOPED_TRACE(row.input);
        EXPECT_EQ(yaml_scalar(row.input), row.expected);
    }
}

TEST(TableText, YamlNumberReadsBackAsTheSameNumber) {
    const std::vector<TextRow> rows = {
        {"6537.8", "6537.8"}, {"1e+08", "1.0e+08"}, {"-1e-05", "-1.0e-05"}, {"2.5e+20", "2.5e+20"},
        {"-inf", "-.inf"},    {"inf", ".inf"},      {"-nan", ".nan"},       {"12000", "12000"},
    };
    for (const TextRow& row : rows) {
        SCOPED_TRACE(row.input);
        EXPECT_EQ(yaml_number(row.input), row.expected);
    }
}

TEST(TableText, OneLineTextReplacesWhatNoTableCellHolds) {
    const std::vector<TextRow> rows = {
        {"H-alpha \xC3\x85", "H-alpha \xC3\x85"},
        {"caf\xE9", "caf\xEF\xBF\xBD"},
        {"a\tb",
         "a\xEF\xBF\xBD"
         "b"},
        {"a\r\n", "a\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xC2\x85", "\xEF\xBF\xBD"},
        {"\xC2\xA0", "\xC2\xA0"},
        {"\x7F", "\xEF\xBF\xBD"},
    };
    for (const TextRow& row : rows) {
        SCOPED_TRACE(row.input);
        EXPECT_EQ(one_line_text(row.input), row.expected);
    }
}

TEST(TableText, CellsAreQuotedWhereTheFormatNeedsIt) {
    Table table;
    table.columns = {{"name", ColumnType::string, "", ""}, {"x", ColumnType::float64, "", ""}};
    table.rows = {{"a b", "1"}, {"c\"d", ""}, {"#e,f", "2"}};
    EXPECT_EQ(csv_text(table), "name,x\na b,1\n\"c\"\"d\",\n\"#e,f\",2\n");
    const std::string ecsv = ecsv_text(table);
    EXPECT_EQ(ecsv.substr(ecsv.find("# schema")),
              "# schema: astropy-2.0\nname x\n\"a b\" 1\n\"c\"\"d\" \"\"\n\"#e,f\" 2\n");
}

TEST(TableText, TheOutputNameGivesTheFormat) {
    EXPECT_EQ(table_format("survey.ecsv"), TableFormat::ecsv);
    EXPECT_EQ(table_format("survey.csv"), TableFormat::csv);
    EXPECT_EQ(table_format(""), TableFormat::csv);
    EXPECT_EQ(table_format("survey.txt"), std::nullopt);
    EXPECT_EQ(table_format("ecsv"), std::nullopt);
}

}  // namespace
}  // namespace linesynth::tools
