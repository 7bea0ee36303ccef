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

struct InventoryRow {
    size_t line = 0;   // the CSV file's line, or the table's row counted from 1
    std::string rawId; // the id cell as read, also for a row that cannot be used
    // The ten cells in kInventoryColumns order, or why the row cannot be read.
    std::variant<std::vector<std::string>, std::string> cells;
};

// What a run read, to tell later whether the inventory is still the same:
// the rows and a hash of their content.
struct InventoryFingerprint {
    size_t rows = 0;
    std::string hash; // 16 hexadecimal digits
    bool operator==(const InventoryFingerprint &) const = default;
};

class InventorySource {
public:
    virtual ~InventorySource() = default;
    // How many rows next() will give.
    virtual size_t count() const = 0;
    // Every row read once, apart from next(); throws std::runtime_error (with
    // the row) when one cannot be read.
    virtual InventoryFingerprint fingerprint() = 0;
    // The next row in inventory order; false after the last.
    virtual bool next(InventoryRow &row) = 0;
};

// A SQLite database or GeoPackage, told by the file name's extension
// (.sqlite, .db, .gpkg).
bool isDatabaseFile(const std::filesystem::path &path);

// Opens `path` (a CSV file, or `table` of a database). Throws
// std::runtime_error when the inventory cannot be used at all: missing,
// unreadable, no such table, a column missing.
std::unique_ptr<InventorySource> openInventory(const std::filesystem::path &path, const std::string &table);

} // namespace tavelo
