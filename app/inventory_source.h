#pragma once

// Where a batch run's stands come from: a CSV file, or a table of a SQLite
// database or GeoPackage. Either way every row becomes the ten texts a user
// would type, in the same column order.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace tavelo {

// The inventory's columns, in the header's order.
inline constexpr const char *kInventoryColumns[] = {"id",    "age",       "dominantHeight", "qualityClass", "planted",
                                                    "alive", "trees",     "basalArea",      "minDiameter",  "p95"};

// An optional column: the stand's area (ha), which a forest plan needs.
inline constexpr const char *kInventoryAreaColumn = "area";

struct InventoryRow {
    size_t line = 0;   // the CSV file's line, or the table's row counted from 1
    std::string rawId; // the id cell as read, also for a row that cannot be used
    // The ten cells in kInventoryColumns order, or why the row cannot be read.
    std::variant<std::vector<std::string>, std::string> cells;
    std::string area; // the area cell, empty when blank or without the column
};

class InventorySource {
public:
    virtual ~InventorySource() = default;
    // How many rows next() will give.
    virtual size_t count() const = 0;
    // The next row in inventory order; false after the last.
    virtual bool next(InventoryRow &row) = 0;
    // Whether the inventory has an area column.
    virtual bool hasArea() const = 0;
};

// A SQLite database or GeoPackage, told by the file name's extension
// (.sqlite, .db, .gpkg).
bool isDatabaseFile(const std::filesystem::path &path);

// Opens `path` (a CSV file, or `table` of a database). Throws
// std::runtime_error when the inventory cannot be used at all: missing,
// unreadable, no such table, a column missing.
std::unique_ptr<InventorySource> openInventory(const std::filesystem::path &path, const std::string &table);

} // namespace tavelo
