#include "inventory_source.h"

#include "inventory/sqlite_db.h"
#include "base/csv.h"
#include "base/shown_text.h"
#include "base/whole_file.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace tavelo {

namespace {

std::string lowerCase(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// FNV-1a over the bytes given, in 64 bits: a changed inventory is told from
// an unchanged one, not a secret kept.
class ContentHash {
public:
    void add(std::string_view bytes)
    {
        for (const char c : bytes) {
            value_ ^= static_cast<unsigned char>(c);
            value_ *= 0x100000001b3ULL;
        }
    }
    // A cell with its length first, so that no two rows hash alike by a shift.
    void addCell(std::string_view cell)
    {
        add(std::to_string(cell.size()));
        add(":");
        add(cell);
    }
    std::string hex() const
    {
        char text[24];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value_));
        return text;
    }

private:
    uint64_t value_ = 0xcbf29ce484222325ULL;
};

std::string readWhole(const std::filesystem::path &path)
{
    std::optional<std::string> bytes = readWholeFile(path);
    if (!bytes)
        throw std::runtime_error("cannot read " + path.string());
    return std::move(*bytes);
}

// A CSV file with a header line. Read once, whole: it may be a pipe that
// cannot be read twice; a quoted cell may hold line ends.
class CsvInventory : public InventorySource {
public:
    explicit CsvInventory(const std::filesystem::path &path)
    {
        std::string text = readWhole(path);
        if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0)
            text.erase(0, 3);
        records_ = splitCsvRecords(text);
        text.clear();
        if (records_.empty())
            throw std::runtime_error(path.string() + ": the header line is missing");
        const auto header = splitCsvLine(records_.front().text);
        columnOf_.assign(std::size(kInventoryColumns), -1);
        if (header) {
            for (size_t h = 0; h < header->size(); ++h)
                for (size_t k = 0; k < std::size(kInventoryColumns); ++k)
                    if ((*header)[h] == kInventoryColumns[k]) {
                        // Which of the two would be meant cannot be told.
                        if (columnOf_[k] >= 0)
                            throw std::runtime_error(path.string() + ": line 1: column \"" + kInventoryColumns[k] +
                                                     "\" is named twice in the header");
                        columnOf_[k] = static_cast<int>(h);
                    }
        }
        for (size_t k = 0; k < columnOf_.size(); ++k)
            if (columnOf_[k] < 0)
                throw std::runtime_error(path.string() + ": line 1: column \"" + kInventoryColumns[k] +
                                         "\" missing from the header");
        headerCells_ = header->size();
        ContentHash hash;
        hash.addCell(records_.front().text);
        for (size_t i = 1; i < records_.size(); ++i)
            if (!records_[i].text.empty()) {
                ++count_;
                hash.addCell(records_[i].text);
            }
        fingerprint_ = {count_, hash.hex()};
    }

    size_t count() const override { return count_; }
    InventoryFingerprint fingerprint() override { return fingerprint_; }

    bool next(InventoryRow &row) override
    {
        for (; next_ < records_.size(); ++next_) {
            CsvRecord &record = records_[next_];
            if (record.text.empty())
                continue;
            row = InventoryRow{};
            row.line = record.line;
            const auto cells = splitCsvLine(record.text);
            std::string().swap(record.text); // what was handed on is not kept twice
            ++next_;
            if (cells && columnOf_[0] < static_cast<int>(cells->size()))
                row.rawId = (*cells)[columnOf_[0]];
            if (!cells) {
                row.cells = std::string("a quoted cell does not close");
            } else if (cells->size() != headerCells_) {
                row.cells =
                    "expected " + std::to_string(headerCells_) + " cells, found " + std::to_string(cells->size());
            } else {
                std::vector<std::string> ordered;
                ordered.reserve(columnOf_.size());
                for (int col : columnOf_)
                    ordered.push_back((*cells)[col]);
                row.cells = std::move(ordered);
            }
            return true;
        }
        return false;
    }

private:
    std::vector<CsvRecord> records_;
    std::vector<int> columnOf_;
    size_t headerCells_ = 0;
    size_t count_ = 0;
    size_t next_ = 1;
    InventoryFingerprint fingerprint_;
};

// Whether a read-only open may go without the lock files: the folder takes
// no new file (so no writer can be using it in write-ahead mode) and no
// write-ahead log holds changes the file itself does not have yet.
bool mayReadImmutable(const std::filesystem::path &path)
{
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::absolute(path, ec).parent_path();
    if (::access(folder.c_str(), W_OK) == 0)
        return false;
    const std::filesystem::path wal = path.string() + "-wal";
    return !std::filesystem::exists(wal, ec) || std::filesystem::file_size(wal, ec) == 0;
}

// A table (or view) of a SQLite database or GeoPackage, read only. Columns are
// found by name whatever their case and place; other columns, the geometry
// included, are not read.
class DatabaseInventory : public InventorySource {
public:
    DatabaseInventory(const std::filesystem::path &path, const std::string &table) : path_(path), table_(table)
    {
        if (!std::filesystem::is_regular_file(path))
            throw std::runtime_error("cannot read " + path.string());
        try {
            try {
                open(SqliteDb::Mode::ReadOnly, table);
            } catch (const DatabaseError &) {
                // A write-ahead log database wants its shared-memory file even
                // to be read, which a read-only folder cannot take.
                if (!mayReadImmutable(path))
                    throw;
                db_.reset();
                open(SqliteDb::Mode::Immutable, table);
            }
        } catch (const DatabaseError &e) {
            throw std::runtime_error(e.what());
        }
    }

    size_t count() const override { return count_; }

    InventoryFingerprint fingerprint() override
    {
        ContentHash hash;
        size_t rowNo = 0;
        try {
            SqliteStatement rows(*db_, select_);
            while (rows.step()) {
                ++rowNo;
                for (int c = 0; c < static_cast<int>(std::size(kInventoryColumns)); ++c) {
                    const auto text = rows.typedText(c);
                    hash.add(text ? "t" : "b"); // a binary cell is refused whatever it holds
                    hash.addCell(text ? *text : std::string());
                }
            }
        } catch (const DatabaseError &e) {
            throw std::runtime_error(rowProblem(rowNo + 1, e));
        }
        return {rowNo, hash.hex()};
    }

    bool next(InventoryRow &row) override
    {
        try {
            // Prepared on the first row: until then no read lock is held, so a
            // writer may set the same file up first.
            if (!rows_)
                rows_.emplace(*db_, select_);
            if (!rows_->step())
                return false;
            row = InventoryRow{};
            row.line = ++rowNo_;
            std::vector<std::string> cells;
            cells.reserve(std::size(kInventoryColumns));
            std::string binary;
            for (int c = 0; c < static_cast<int>(std::size(kInventoryColumns)); ++c) {
                auto text = rows_->typedText(c);
                if (!text) {
                    binary = kInventoryColumns[c];
                    text.emplace();
                }
                cells.push_back(std::move(*text));
            }
            row.rawId = cells[0];
            if (!binary.empty())
                row.cells = "column \"" + binary + "\" holds binary data, not a text or a number";
            else
                row.cells = std::move(cells);
            return true;
        } catch (const DatabaseError &e) {
            throw std::runtime_error(rowProblem(rowNo_ + 1, e));
        }
    }

private:
    void open(SqliteDb::Mode mode, const std::string &table)
    {
        db_.emplace(path_, mode);
        if (!db_->tableExists(table))
            throw std::runtime_error(path_.string() + ": no table \"" + shownText(table) + "\"");
        SqliteStatement columns = db_->prepare("SELECT * FROM " + sqlIdentifier(table) + " LIMIT 0");
        std::string selected;
        for (const char *wanted : kInventoryColumns) {
            int found = -1;
            for (int c = 0; c < columns.columns(); ++c)
                if (lowerCase(columns.columnName(c)) == lowerCase(wanted))
                    found = c;
            if (found < 0)
                throw std::runtime_error(path_.string() + ": table \"" + shownText(table) + "\": column \"" +
                                         wanted + "\" missing");
            selected += (selected.empty() ? "" : ", ") + sqlIdentifier(columns.columnName(found));
        }
        SqliteStatement counted = db_->prepare("SELECT count(*) FROM " + sqlIdentifier(table));
        counted.step();
        count_ = static_cast<size_t>(counted.integer(0));
        // Inventory order is the order the rows were stored in; a view's is its
        // own (sorting it by the rowid of a table below would also read it all
        // before the first row, so a row that fails could not be named).
        const std::string select = "SELECT " + selected + " FROM " + sqlIdentifier(table);
        SqliteStatement kind = db_->prepare("SELECT type FROM sqlite_master WHERE name = ?1 COLLATE NOCASE");
        kind.bind(1, table);
        select_ = kind.step() && kind.text(0) == "view" ? select : select + " ORDER BY rowid";
        try {
            db_->prepare(select_); // only tried here
        } catch (const DatabaseError &) {
            select_ = select;
        }
    }

    // SQLite's own words, with the row it stopped at.
    std::string rowProblem(size_t rowNo, const DatabaseError &e) const
    {
        return path_.string() + ": table \"" + shownText(table_) + "\": row " + std::to_string(rowNo) + ": " +
               (e.sqliteMessage().empty() ? std::string(e.what()) : e.sqliteMessage());
    }

    std::filesystem::path path_;
    std::string table_;
    std::optional<SqliteDb> db_;
    std::optional<SqliteStatement> rows_;
    std::string select_;
    size_t count_ = 0;
    size_t rowNo_ = 0;
};

} // namespace

bool isDatabaseFile(const std::filesystem::path &path)
{
    const std::string ext = lowerCase(path.extension().string());
    return ext == ".sqlite" || ext == ".db" || ext == ".gpkg";
}

std::unique_ptr<InventorySource> openInventory(const std::filesystem::path &path, const std::string &table)
{
    if (isDatabaseFile(path))
        return std::make_unique<DatabaseInventory>(path, table);
    return std::make_unique<CsvInventory>(path);
}

} // namespace tavelo
