#include "csv.h"

namespace tavelo {

std::optional<std::vector<std::string>> splitCsvLine(const std::string &line)
{
    std::vector<std::string> cells;
    std::string cur;
    bool quoted = false;
    bool wasQuoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < line.size() && line[i + 1] == '"') {
                    cur.push_back('"');
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cur.push_back(c);
            }
        } else if (c == '"' && cur.empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == ',') {
            cells.push_back(cur);
            cur.clear();
            wasQuoted = false;
        } else {
            cur.push_back(c);
        }
    }
    if (quoted)
        return std::nullopt;
    cells.push_back(cur);
    return cells;
}

std::vector<CsvRecord> splitCsvRecords(const std::string &text)
{
    std::vector<CsvRecord> records;
    CsvRecord cur{1, {}};
    size_t line = 1;
    // The same quoting rule as splitCsvLine: a quote opens a cell only at its start.
    bool quoted = false;
    bool cellStart = true;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool lineEnd = c == '\r' || c == '\n';
        if (lineEnd && c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            if (quoted)
                cur.text.push_back(c);
            ++i;
        }
        if (lineEnd)
            ++line;
        if (lineEnd && !quoted) {
            records.push_back(std::move(cur));
            cur = CsvRecord{line, {}};
            cellStart = true;
            continue;
        }
        cur.text.push_back(lineEnd ? text[i] : c);
        if (quoted) {
            if (c == '"')
                quoted = false; // a doubled quote closes and at once reopens below
            else
                continue;
            if (i + 1 < text.size() && text[i + 1] == '"') {
                cur.text.push_back('"');
                ++i;
                quoted = true;
            }
            continue;
        }
        if (c == '"' && cellStart)
            quoted = true;
        cellStart = c == ',';
    }
    if (!cur.text.empty())
        records.push_back(std::move(cur));
    return records;
}

std::string csvCell(const std::string &text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string csvTable(const std::vector<std::vector<std::string>> &rows)
{
    std::string out;
    for (const auto &row : rows) {
        for (size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                out += ',';
            out += csvCell(row[c]);
        }
        out += '\n';
    }
    return out;
}

} // namespace tavelo
