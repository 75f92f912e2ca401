#include "tools/pages/table_text.h"

#include <algorithm>
#include <array>

#include "tools/pages/markup_text.h"

namespace linesynth::tools {
namespace {

std::string_view type_name(ColumnType type) {
    switch (type) {
        case ColumnType::string:
            return "string";
        case ColumnType::int64:
            return "int64";
        case ColumnType::float64:
            return "float64";
        case ColumnType::boolean:
            return "bool";
    }
    return "string";
}

bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A plain scalar that YAML reads as this very string: a letter first, then
// letters, digits, '_', '.' and '-' only, and none of the words YAML reads
// as booleans or null.
bool plain_is_safe(std::string_view text) {
    if (text.empty() || !is_letter(text.front())) {
        return false;
    }
    for (const char c : text) {
        if (!is_letter(c) && !(c >= '0' && c <= '9') && c != '_' && c != '.' && c != '-') {
            return false;
        }
    }
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    constexpr std::array<std::string_view, 9> words = {"y",   "n",    "yes",   "no",  "on",
                                                       "off", "true", "false", "null"};
    return std::find(words.begin(), words.end(), lower) == words.end();
}

void put_meta(std::string& out, const MetaEntry& entry) {
    out += yaml_scalar(entry.key);
    out += ": ";
    if (entry.entries.empty()) {
        out += entry.number ? yaml_number(entry.value) : yaml_scalar(entry.value);
        return;
    }
    out += '{';
    for (std::size_t i = 0; i < entry.entries.size(); ++i) {
        out += i == 0 ? "" : ", ";
        put_meta(out, entry.entries[i]);
    }
    out += '}';
}

// A cell of an ECSV row, quoted as astropy's reader expects: a cell that is
// empty or holds a blank or a quote (doubled inside), and one that starts
// with '#' (which would make its line a comment).
std::string ecsv_cell(std::string_view cell) {
    const bool quoted =
        cell.empty() || cell.front() == '#' || cell.find_first_of(" \"") != std::string_view::npos;
    if (!quoted) {
        return std::string(cell);
    }
    std::string out = "\"";
    for (const char c : cell) {
        out += c == '"' ? "\"\"" : std::string(1, c);
    }
    return out + "\"";
}

// A CSV cell: quoted when it holds a comma or a quote (doubled inside).
std::string csv_cell(std::string_view cell) {
    if (cell.find_first_of(",\"") == std::string_view::npos) {
        return std::string(cell);
    }
    std::string out = "\"";
    for (const char c : cell) {
        out += c == '"' ? "\"\"" : std::string(1, c);
    }
    return out + "\"";
}

template <typename Cell>
void put_row(std::string& out, const std::vector<std::string>& cells, char separator, Cell cell) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) {
            out += separator;
        }
        out += cell(one_line_text(cells[i]));
    }
    out += '\n';
}

}  // namespace

std::string_view boolean_cell(bool value) {
    return value ? "True" : "False";
}

std::string yaml_scalar(std::string_view text) {
    std::string line = one_line_text(text);
    if (plain_is_safe(line)) {
        return line;
    }
    std::string out = "\"";
    for (const char c : line) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

std::string yaml_number(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    const std::string_view magnitude = negative ? text.substr(1) : text;
    const std::string sign = negative ? "-" : "";
    if (magnitude == "nan") {
        return ".nan";
    }
    if (magnitude == "inf") {
        return sign + ".inf";
    }
    const std::size_t exponent = text.find('e');
    if (exponent != std::string_view::npos && text.find('.') == std::string_view::npos) {
        return std::string(text.substr(0, exponent)) + ".0" + std::string(text.substr(exponent));
    }
    return std::string(text);
}

namespace {

std::string ecsv_head_text(const Table& table) {
    std::string out = "# %ECSV 1.0\n# ---\n# datatype:\n";
    for (const TableColumn& column : table.columns) {
        out += "# - {name: " + yaml_scalar(column.name);
        if (!column.unit.empty()) {
            out += ", unit: " + yaml_scalar(column.unit);
        }
        out += ", datatype: " + std::string(type_name(column.type));
        if (!column.description.empty()) {
            out += ", description: " + yaml_scalar(column.description);
        }
        out += "}\n";
    }
    if (!table.meta.empty()) {
        out += "# meta: !!omap\n";
        for (const MetaEntry& entry : table.meta) {
            out += "# - ";
            // An entry that is itself a mapping is written "key: {...}", as
            // astropy writes it; a scalar one as a mapping of its own.
            if (entry.entries.empty()) {
                out += '{';
                put_meta(out, entry);
                out += "}\n";
            } else {
                put_meta(out, entry);
                out += '\n';
            }
        }
    }
    out += "# schema: astropy-2.0\n";
    std::vector<std::string> names;
    for (const TableColumn& column : table.columns) {
        names.push_back(column.name);
    }
    put_row(out, names, ' ', ecsv_cell);
    return out;
}

std::string csv_head_text(const Table& table) {
    std::string out;
    std::vector<std::string> names;
    for (const TableColumn& column : table.columns) {
        names.push_back(column.name);
    }
    put_row(out, names, ',', csv_cell);
    return out;
}

}  // namespace

std::string ecsv_text(const Table& table) {
    return table_text(table, TableFormat::ecsv);
}

std::string csv_text(const Table& table) {
    return table_text(table, TableFormat::csv);
}

std::optional<std::vector<std::string>> ecsv_row_cells(std::string_view line) {
    std::vector<std::string> cells;
    std::size_t at = 0;
    for (;;) {
        std::string cell;
        if (at < line.size() && line[at] == '"') {
            for (++at;; ++at) {
                if (at >= line.size()) {
                    return std::nullopt;
                }
                if (line[at] == '"') {
                    if (at + 1 < line.size() && line[at + 1] == '"') {
                        cell += '"';
                        ++at;
                        continue;
                    }
                    ++at;
                    break;
                }
                cell += line[at];
            }
        } else {
            const std::size_t end = std::min(line.find(' ', at), line.size());
            cell = line.substr(at, end - at);
            if (cell.find('"') != std::string::npos) {
                return std::nullopt;
            }
            at = end;
        }
        cells.push_back(std::move(cell));
        if (at == line.size()) {
            return cells;
        }
        if (line[at] != ' ') {
            return std::nullopt;
        }
        ++at;
    }
}

std::optional<TableFormat> table_format(std::string_view output) {
    const auto ends_with = [&](std::string_view end) {
        return output.size() >= end.size() && output.substr(output.size() - end.size()) == end;
    };
    if (output.empty() || ends_with(".csv")) {
        return TableFormat::csv;
    }
    if (ends_with(".ecsv")) {
        return TableFormat::ecsv;
    }
    return std::nullopt;
}

std::string table_head_text(const Table& table, TableFormat format) {
    return format == TableFormat::ecsv ? ecsv_head_text(table) : csv_head_text(table);
}

std::string table_row_text(const std::vector<std::string>& cells, TableFormat format) {
    std::string out;
    if (format == TableFormat::ecsv) {
        put_row(out, cells, ' ', ecsv_cell);
    } else {
        put_row(out, cells, ',', csv_cell);
    }
    return out;
}

std::string table_text(const Table& table, TableFormat format) {
    std::string out = table_head_text(table, format);
    for (const std::vector<std::string>& row : table.rows) {
        out += table_row_text(row, format);
    }
    return out;
}

}  // namespace linesynth::tools
