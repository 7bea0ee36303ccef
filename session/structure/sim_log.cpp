#include "sim_log.h"

#include "base/numeric_text.h"
#include "base/whole_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

namespace tavelo {

namespace {

// Characters on the printed line: the log is single-byte, so an accented
// letter is one column.
size_t columns(const std::string &utf8)
{
    size_t n = 0;
    for (char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    return n;
}

const std::string kAsterisks(160, '*');
const std::string kHyphens(160, '-');

void appendTable(std::vector<std::string> &lines, const StandTable &table)
{
    const size_t last = table.rows.size() - 1;
    for (size_t r = 0; r < table.rows.size(); ++r) {
        lines.push_back(tableLine(table.rows[r], r == 0));
        if (r + 1 == last)
            lines.push_back(kHyphens);
    }
}

std::string weibullLine(const StandTable &table)
{
    return zoneLine({"Parâmetros de Weibul: A = " + table.txtA, "B = " + table.txtB, "C = " + table.txtC});
}

} // namespace

std::string zoneLine(const std::vector<std::string> &items)
{
    std::string line;
    size_t col = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            const size_t next = (col / 14 + 1) * 14;
            line.append(next - col, ' ');
            col = next;
        }
        line += items[i];
        col += columns(items[i]);
    }
    return line;
}

std::string tableLine(const TableRow &row, bool header)
{
    std::string line;
    for (const std::string &cell : row) {
        const size_t w = columns(cell);
        if (header) {
            line += cell;
            if (w < 17)
                line.append(17 - w, ' ');
        } else {
            if (w < 6)
                line.append(6 - w, ' ');
            line += cell;
            line.append(11, ' ');
        }
    }
    return line;
}

std::vector<std::string> standLogBlock(const StandTable &table, const StandState &state, const ScreenEntries &entries)
{
    std::vector<std::string> lines{"", kAsterisks, "", table.frameCaption, "",
                                   "Ano " + table.txtAno,
                                   "Idade = " + table.txtIdade,
                                   "Altura Dominante(m)= " + table.txtADom,
                                   "Classe de Qualidade = " + table.txtCQualidd,
                                   "Diâmetro médio(cm)= " + table.txtDmedio};
    if (state.enteredUnthinned.isGiven() && state.enteredUnthinned.value() == 0.0 && entries.thinnedByParameters) {
        // The stand's values as they are now; the percentile stays the typed one.
        const double p95 = parseNumber(entries.typedP95Text).value_or(0.0);
        lines.push_back(zoneLine({"Parâmetros iniciais do povoamento: Ts(nº/ha) = " +
                                      formatFixed(state.treesAlive.value(), 0),
                                  "ABasal(m2/ha) = " + formatFixed(state.basalArea.value(), 1),
                                  "DapMin(cm)= " + formatFixed(state.minDiameter.value(), 1),
                                  "P95 = " + formatFixed(p95, 1)}));
    }
    lines.push_back(weibullLine(table));
    lines.push_back("");
    lines.push_back(table.lblTGrelha);
    lines.push_back(kHyphens);
    appendTable(lines, table);
    return lines;
}

std::vector<std::string> thinnedStandLogBlock(const StandTable &table)
{
    std::vector<std::string> lines{"", kAsterisks, "",
                                   "Caracteristicas do povoamento - Desbaste " + table.lblDesbasteMS, "",
                                   "Ano " + table.txtAno,
                                   "Idade = " + table.txtIdade,
                                   "Altura Dominante(m) = " + table.txtADom,
                                   "Classe de Qualidade = " + table.txtCQualidd,
                                   "Diâmetro médio(cm)= " + table.txtDmedio,
                                   "",
                                   weibullLine(table),
                                   table.lblTGrelha,
                                   kHyphens};
    appendTable(lines, table);
    return lines;
}

namespace {

// Appends a block; on failure the file is cut back to its length before the
// block (or removed when the block created it). The reason, empty on success.
std::string appendWhole(const std::filesystem::path &path, const std::string &bytes)
{
    const bool existed = std::filesystem::exists(path);
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return systemErrorText(errno);
    struct stat before {};
    int error = ::fstat(fd, &before) == 0 ? 0 : errno;
    for (size_t done = 0; error == 0 && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n >= 0)
            done += static_cast<size_t>(n);
        else if (errno != EINTR)
            error = errno;
    }
    if (error != 0 && S_ISREG(before.st_mode) && ::ftruncate(fd, before.st_size) != 0) {
        // Nothing more can be done; the reason already given is the first one.
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0)
        return {};
    if (!existed && S_ISREG(before.st_mode)) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    return systemErrorText(error);
}

} // namespace

bool LogFile::append(const std::vector<std::string> &lines) const
{
    if (discard_)
        return true;
    std::string bytes;
    for (const std::string &l : lines) {
        bytes += utf8ToCp1252(l);
        bytes += "\r\n";
    }
    if (memory_) {
        *memory_ += bytes;
        return true;
    }
    if (path_.empty() || (stopAfterFailure_ && failed_))
        return false;
    std::string why;
    if (replacePending_) {
        if (auto error = writeWholeFile(path_, bytes, Durability::Unsynced))
            why = *error;
        else
            replacePending_ = false;
    } else {
        why = appendWhole(path_, bytes);
    }
    if (why.empty())
        return true;
    failed_ = true;
    if (failure_ && failure_->empty())
        *failure_ = why;
    return false;
}

std::vector<std::string> splitLines(const std::string &bytes)
{
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty())
        lines.push_back(cur);
    return lines;
}

std::optional<std::vector<std::string>> LogFile::readLines() const
{
    const std::optional<std::string> bytes = readWholeFile(path_);
    if (!bytes)
        return std::nullopt;
    std::vector<std::string> lines = splitLines(*bytes);
    for (std::string &l : lines)
        l = cp1252ToUtf8(l);
    return lines;
}

} // namespace tavelo
