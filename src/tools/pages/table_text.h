// Tables that astronomers' tools and spreadsheets read as they are: ECSV 1.0
// (a YAML header in comment lines that gives each column's name, type, unit
// and description and the table's meta data, then the rows separated by
// spaces), which astropy.table.Table.read loads with its types and units,
// and plain CSV with one header row.
//
// The header is fixed and small, so a few lines of our own write its YAML:
// flow mappings of scalars, a scalar plain when YAML reads it back as the
// same string and double-quoted otherwise. A cell is a text made by whoever
// fills the table (numbers as their shortest exact texts); an empty cell is
// a missing value, which astropy reads as masked:
//   ecsv_text: "# %ECSV 1.0\n# ---\n# datatype:\n"
//              "# - {name: directory, datatype: string, description: \"...\"}\n"
//              "# - {name: adev_percent, unit: \"%\", datatype: float64, ...}\n" ...
//              "# schema: astropy-2.0\n"
//              "directory status ...\n"
//              "\"survey/a b/\" ok ...\n"       (a cell with a blank is quoted)
//              "survey/c/ input_file \"\" ...\n" (a missing value is "")
//   csv_text:  "directory,status,...\n" "\"a,b\",ok,...\n" "survey/c/,input_file,,...\n"
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linesynth::tools {

enum class ColumnType {
    string,
    int64,
    float64,
    boolean,  // cells "True" or "False"
};

struct TableColumn {
    std::string name;  // letters, digits and '_'
    ColumnType type = ColumnType::string;
    std::string unit;  // as astropy's units spell it; empty: none
    std::string description;
};

// One entry of the meta block: a scalar, or (when `entries` is not empty) a
// mapping of further entries.
struct MetaEntry {
    std::string key;
    std::string value;
    bool number = false;  // `value` is a number's text, written plain
    std::vector<MetaEntry> entries;
};

struct Table {
    std::vector<TableColumn> columns;
    std::vector<MetaEntry> meta;
    std::vector<std::vector<std::string>> rows;  // one cell per column
};

// The texts of a boolean cell.
std::string_view boolean_cell(bool value);

// A YAML scalar that reads back as `text`:
//   "float64" -> "float64";  "%" -> "\"%\"";  "true" -> "\"true\"";
//   "a: b" -> "\"a: b\"";  "say \"x\"\\" -> "\"say \\\"x\\\"\\\\\""
std::string yaml_scalar(std::string_view text);

// A number's shortest text as a YAML scalar that reads back as that number
// (YAML wants a point before an exponent and spells infinity its own way):
//   "6537.8" -> "6537.8";  "1e+08" -> "1.0e+08";  "-inf" -> "-.inf";  "nan" -> ".nan"
std::string yaml_number(std::string_view text);

std::string ecsv_text(const Table& table);
std::string csv_text(const Table& table);

// The cells of one ECSV row line (without its line end) as they were before
// ecsv_text wrote them; nothing when the line is not such a row (a quote
// left open, a quote inside a plain cell):
//   "a \"b c\" \"\" \"say \"\"x\"\"\"" -> {"a", "b c", "", "say \"x\""}
//   "a \"b" -> nothing
std::optional<std::vector<std::string>> ecsv_row_cells(std::string_view line);

enum class TableFormat {
    csv,
    ecsv,
};

// The format a table file's name asks for: "survey.ecsv" -> ecsv,
// "survey.csv" -> csv, "" -> csv (standard output), anything else -> nothing.
std::optional<TableFormat> table_format(std::string_view output);

// The table in that format.
std::string table_text(const Table& table, TableFormat format);

// A table written a row at a time (for tables too large to hold as cells):
// table_text(table, format) is table_head_text of the table without its rows
// followed by table_row_text of each row.
std::string table_head_text(const Table& table, TableFormat format);
std::string table_row_text(const std::vector<std::string>& cells, TableFormat format);

}  // namespace linesynth::tools
