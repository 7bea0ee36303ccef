#include "inventory_source.h"

#include "app/sqlite_db.h"
#include "base/csv.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>

namespace tavelo {

namespace {

std::string lowerCase(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string readWhole(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::string bytes;
    try {
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::ios_base::failure &) {
        throw std::runtime_error("cannot read " + path.string());
    }
    if (in.bad())
        throw std::runtime_error("cannot read " + path.string());
    return bytes;
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
                    if ((*header)[h] == kInventoryColumns[k])
                        columnOf_[k] = static_cast<int>(h);
            for (size_t h = 0; h < header->size(); ++h)
                if ((*header)[h] == kInventoryAreaColumn)
                    areaColumn_ = static_cast<int>(h);
        }
        for (size_t k = 0; k < columnOf_.size(); ++k)
            if (columnOf_[k] < 0)
                throw std::runtime_error(path.string() + ": line 1: column \"" + kInventoryColumns[k] +
                                         "\" missing from the header");
        headerCells_ = header->size();
        for (size_t i = 1; i < records_.size(); ++i)
            if (!records_[i].text.empty())
                ++count_;
    }

    size_t count() const override { return count_; }
    bool hasArea() const override { return areaColumn_ >= 0; }

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
                if (areaColumn_ >= 0)
                    row.area = (*cells)[areaColumn_];
            }
            return true;
        }
        return false;
    }

private:
    std::vector<CsvRecord> records_;
    std::vector<int> columnOf_;
    int areaColumn_ = -1;
    size_t headerCells_ = 0;
    size_t count_ = 0;
    size_t next_ = 1;
};

// A table (or view) of a SQLite database or GeoPackage, read only. Columns are
// found by name whatever their case and place; other columns, the geometry
// included, are not read.
class DatabaseInventory : public InventorySource {
public:
    DatabaseInventory(const std::filesystem::path &path, const std::string &table)
    {
        if (!std::filesystem::is_regular_file(path))
            throw std::runtime_error("cannot read " + path.string());
        try {
            db_.emplace(path, SqliteDb::Mode::ReadOnly);
            if (!db_->tableExists(table))
                throw std::runtime_error(path.string() + ": no table \"" + table + "\"");
            SqliteStatement columns = db_->prepare("SELECT * FROM " + sqlIdentifier(table) + " LIMIT 0");
            std::string selected;
            for (const char *wanted : kInventoryColumns) {
                int found = -1;
                for (int c = 0; c < columns.columns(); ++c)
                    if (lowerCase(columns.columnName(c)) == lowerCase(wanted))
                        found = c;
                if (found < 0)
                    throw std::runtime_error(path.string() + ": table \"" + table + "\": column \"" + wanted +
                                             "\" missing");
                selected += (selected.empty() ? "" : ", ") + sqlIdentifier(columns.columnName(found));
            }
            for (int c = 0; c < columns.columns(); ++c)
                if (lowerCase(columns.columnName(c)) == kInventoryAreaColumn && !hasArea_) {
                    selected += ", " + sqlIdentifier(columns.columnName(c));
                    hasArea_ = true;
                }
            SqliteStatement counted = db_->prepare("SELECT count(*) FROM " + sqlIdentifier(table));
            counted.step();
            count_ = static_cast<size_t>(counted.integer(0));
            // Inventory order is the order the rows were stored in; a view has no rowid.
            const std::string select = "SELECT " + selected + " FROM " + sqlIdentifier(table);
            select_ = select + " ORDER BY rowid";
            try {
                db_->prepare(select_); // only tried here
            } catch (const DatabaseError &) {
                select_ = select;
            }
        } catch (const DatabaseError &e) {
            throw std::runtime_error(e.what());
        }
    }

    size_t count() const override { return count_; }
    bool hasArea() const override { return hasArea_; }

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
            if (hasArea_) {
                const int areaAt = static_cast<int>(std::size(kInventoryColumns));
                if (auto area = rows_->typedText(areaAt))
                    row.area = std::move(*area);
                else
                    binary = kInventoryAreaColumn;
            }
            if (!binary.empty())
                row.cells = "column \"" + binary + "\" holds binary data, not a text or a number";
            else
                row.cells = std::move(cells);
            return true;
        } catch (const DatabaseError &e) {
            throw std::runtime_error(e.what());
        }
    }

private:
    std::optional<SqliteDb> db_;
    std::optional<SqliteStatement> rows_;
    std::string select_;
    bool hasArea_ = false;
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
