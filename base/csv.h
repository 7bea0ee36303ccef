#pragma once

// Comma-separated text: double quotes around a cell that holds a comma, a quote
// or a line end, and "" for a quote inside one.

#include <optional>
#include <string>
#include <vector>

namespace tavelo {

// Splits one CSV line; nothing when the quotes do not close.
std::optional<std::vector<std::string>> splitCsvLine(const std::string &line);
// A cell as it must be written to a CSV file.
std::string csvCell(const std::string &text);
// Whole rows, one line each, LF after every line.
std::string csvTable(const std::vector<std::vector<std::string>> &rows);

} // namespace tavelo
