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
