#include "inventory_source.h"

#include "base/ascii_case.h"
#include "inventory/gdal_inventory.h"
#include "inventory/sqlite_db.h"
#include "base/csv.h"
#include "base/read_problem.h"
#include "base/shown_text.h"
#include "base/whole_file.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string_view>

namespace tavelo {

std::string ContentHash::hex() const
{
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value_));
    return text;
}

namespace {

// What is wrong with the inventory file at `path`, thrown with its kind.
[[noreturn]] void refuseInventory(ReadProblem::Kind kind, const std::filesystem::path &path,
                                  std::string column = {})
{
    ReadProblem p;
    p.kind = kind;
    p.file = path.string();
    p.path = std::move(column);
    throw ReadError(std::move(p));
}

std::string readWhole(const std::filesystem::path &path)
{
    std::optional<std::string> bytes = readWholeFile(path);
    if (!bytes)
        refuseInventory(ReadProblem::Kind::CannotRead, path);
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
            refuseInventory(ReadProblem::Kind::HeaderMissing, path);
        const auto header = splitCsvLine(records_.front().text);
        columnOf_.assign(std::size(kInventoryColumns), -1);
        if (header) {
            for (size_t h = 0; h < header->size(); ++h)
                for (size_t k = 0; k < std::size(kInventoryColumns); ++k)
                    if ((*header)[h] == kInventoryColumns[k]) {
                        // Which of the two would be meant cannot be told.
                        if (columnOf_[k] >= 0)
                            refuseInventory(ReadProblem::Kind::ColumnTwice, path, kInventoryColumns[k]);
                        columnOf_[k] = static_cast<int>(h);
                    }
            for (size_t h = 0; h < header->size(); ++h)
                if ((*header)[h] == kInventoryAreaColumn) {
                    if (areaColumn_ >= 0)
                        refuseInventory(ReadProblem::Kind::ColumnTwice, path, kInventoryAreaColumn);
                    areaColumn_ = static_cast<int>(h);
                }
        }
        for (size_t k = 0; k < columnOf_.size(); ++k)
            if (columnOf_[k] < 0)
                refuseInventory(ReadProblem::Kind::ColumnMissing, path, kInventoryColumns[k]);
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
    bool hasArea() const override { return areaColumn_ >= 0; }
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
                row.cells = rowProblem(ReadProblem::Kind::QuoteNotClosed);
            } else if (cells->size() != headerCells_) {
                ReadProblem p = rowProblem(ReadProblem::Kind::CellCount, std::to_string(headerCells_));
                p.found = static_cast<long long>(cells->size());
                row.cells = std::move(p);
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
    InventoryFingerprint fingerprint_;
};

// The names of databases and GIS datasets.
bool hasDatasetExtension(const std::filesystem::path &path)
{
    static constexpr std::string_view kExtensions[] = {".sqlite", ".sqlite3", ".db",  ".gpkg", ".shp",
                                                       ".shx",    ".dbf",     ".fgb", ".gdb",  ".geojson",
                                                       ".gml",    ".kml",     ".kmz", ".tab",  ".mif"};
    const std::string ext = asciiLowerCase(path.extension().string());
    return std::find(std::begin(kExtensions), std::end(kExtensions), ext) != std::end(kExtensions);
}

enum class DatasetBytes { None, Sqlite, Other };

// What the first bytes of a regular file say it is; a pipe is not read here.
DatasetBytes datasetBytes(const std::filesystem::path &path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return DatasetBytes::None;
    char head[16] = {};
    std::ifstream in(path, std::ios::binary);
    in.read(head, sizeof head);
    const std::string_view bytes(head, static_cast<size_t>(in.gcount()));
    if (bytes == std::string_view("SQLite format 3\0", 16))
        return DatasetBytes::Sqlite;
    // A shapefile's file code 9994 (big-endian); FlatGeobuf's "fgb" and version 3.
    if (bytes.substr(0, 4) == std::string_view("\0\0\x27\x0a", 4) || bytes.substr(0, 4) == "fgb\x03")
        return DatasetBytes::Other;
    return DatasetBytes::None;
}

// Why a file that says it is a database or GIS dataset cannot be read as
// one: SQLite's words for a damaged database, else GDAL's.
std::string unreadableDataset(const std::filesystem::path &path)
{
    std::string why;
    if (datasetBytes(path) == DatasetBytes::Sqlite || isDatabaseFile(path)) {
        try {
            SqliteDb db(path, SqliteDb::Mode::ReadOnly);
            SqliteStatement check = db.prepare("PRAGMA quick_check");
            if (check.step() && check.text(0) != "ok")
                why = check.text(0);
        } catch (const DatabaseError &e) {
            why = e.sqliteMessage().empty() ? e.what() : e.sqliteMessage();
        }
    }
    if (why.empty())
        why = gdalOpenFailure(path);
    if (why.empty())
        why = "neither GDAL nor SQLite reads it, and it is not read as a CSV file";
    return "cannot read " + path.string() + ": " + why;
}

} // namespace

bool readAsCsv(const std::filesystem::path &path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return !gdalReadsInventory(path);
    return !gdalReadsInventory(path) && !hasDatasetExtension(path) && datasetBytes(path) == DatasetBytes::None;
}

bool isDatabaseFile(const std::filesystem::path &path)
{
    const std::string ext = asciiLowerCase(path.extension().string());
    return ext == ".sqlite" || ext == ".db" || ext == ".gpkg";
}

std::string InventoryCrs::name() const
{
    if (!organization.empty())
        return organization + ":" + std::to_string(code);
    // WKT starts with its kind and the system's name: PROJCRS["name", ...
    const size_t open = wkt.find('"');
    const size_t close = open == std::string::npos ? open : wkt.find('"', open + 1);
    return close == std::string::npos ? std::string() : wkt.substr(open + 1, close - open - 1);
}

std::unique_ptr<InventorySource> openInventory(const std::filesystem::path &path, const std::string &layer)
{
    if (gdalReadsInventory(path))
        return openGdalInventory(path, layer);
    if (!readAsCsv(path))
        throw std::runtime_error(unreadableDataset(path));
    if (!layer.empty())
        refuseInventory(ReadProblem::Kind::CsvHasNoLayers, path);
    return std::make_unique<CsvInventory>(path);
}

} // namespace tavelo
