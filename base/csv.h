#pragma once

// Comma-separated text: double quotes around a cell that holds a comma, a quote
// or a line end, and "" for a quote inside one.

#include <optional>
#include <string>
#include <vector>

namespace tavelo {

// Splits one CSV line; nothing when the quotes do not close.
std::optional<std::vector<std::string>> splitCsvLine(const std::string &line);
// CSV text cut into records (RFC 4180): CR LF, LF or CR end a record, except
// inside a quoted cell, where they belong to the cell. Each record comes with
// the number of the line it starts on; empty lines are records too.
struct CsvRecord {
    size_t line = 0;
    std::string text; // without its line end
};
std::vector<CsvRecord> splitCsvRecords(const std::string &text);
// A cell as it must be written to a CSV file.
std::string csvCell(const std::string &text);
// Whole rows, one line each, LF after every line.
std::string csvTable(const std::vector<std::vector<std::string>> &rows);

} // namespace tavelo
