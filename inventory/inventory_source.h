#pragma once

// Where a batch run's stands come from: a CSV file, or a layer of any vector
// dataset GDAL reads. Either way every row becomes the ten texts a user would
// type, in the same column order, with the stand's geometry when it has one.

#include "base/read_problem.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tavelo {

// The inventory's columns, in the header's order.
inline constexpr const char *kInventoryColumns[] = {"id",    "age",       "dominantHeight", "qualityClass", "planted",
                                                    "alive", "trees",     "basalArea",      "minDiameter",  "p95"};

// A stand's outline as ISO well-known binary, with its bounding box.
struct StandGeometry {
    std::string wkb; // empty: no geometry
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
};

// The inventory's coordinate reference system.
struct InventoryCrs {
    std::string organization; // "EPSG", or empty when it has no authority
    int64_t code = 0;
    std::string wkt;
    // "EPSG:3763", or the WKT's own name when there is no authority.
    std::string name() const;
};

// An optional column: the stand's area (ha), which a forest plan needs.
inline constexpr const char *kInventoryAreaColumn = "area";

struct InventoryRow {
    size_t line = 0;   // the CSV file's line, or the table's row counted from 1
    std::string rawId; // the id cell as read, also for a row that cannot be used
    // The ten cells in kInventoryColumns order, or why the row cannot be read.
    std::variant<std::vector<std::string>, ReadProblem> cells;
    std::string area; // the area cell, empty when blank or without the column
    StandGeometry geometry;
};

// What a run read, to tell later whether the inventory is still the same:
// the rows and a hash of their content.
struct InventoryFingerprint {
    size_t rows = 0;
    std::string hash; // 16 hexadecimal digits
    bool operator==(const InventoryFingerprint &) const = default;
};

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
    std::string hex() const;

private:
    uint64_t value_ = 0xcbf29ce484222325ULL;
};

// Something about an inventory that does not stop a run but changes what it
// writes, for the caller to tell.
struct InventoryWarning {
    enum class Kind {
        // The .prj beside a shapefile says nothing GDAL understands: the
        // stands are read without a reference system, and so is their map.
        UnreadableReferenceSystem,
    };
    Kind kind = Kind::UnreadableReferenceSystem;
    std::filesystem::path file; // the file it is about
    std::string detail;         // GDAL's words, when it had any
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
    // Whether the inventory has an area column.
    virtual bool hasArea() const = 0;
    // The layer read; empty for a CSV file.
    virtual std::string layer() const { return {}; }
    // The layer's coordinate reference system, when its features have geometries.
    virtual std::optional<InventoryCrs> crs() const { return std::nullopt; }
    // Its geometry type as GeoPackage names it ("MULTIPOLYGON"); empty when
    // its features have none.
    virtual std::string geometryType() const { return {}; }
    // What the caller should tell about the inventory as read.
    virtual std::vector<InventoryWarning> warnings() const { return {}; }
};

// A SQLite database or GeoPackage, told by the file name's extension
// (.sqlite, .db, .gpkg).
bool isDatabaseFile(const std::filesystem::path &path);

// False for a file that GDAL reads or that says by its name (.sqlite, .gpkg,
// .shp, ...) or its first bytes (SQLite's header, a shapefile's) that it is a
// database or GIS dataset: such a file is never read as CSV, damaged or not.
bool readAsCsv(const std::filesystem::path &path);

// Opens `path`: a GIS dataset through GDAL (`layer`, or by default the one
// named "stands", else its only layer), else a CSV file. Throws
// std::runtime_error when the inventory cannot be used at all: missing,
// unreadable, no such layer, a column missing, a layer given for a CSV file,
// a database or GIS dataset that neither GDAL nor SQLite can read (their
// words, with the file's name).
std::unique_ptr<InventorySource> openInventory(const std::filesystem::path &path, const std::string &layer);

} // namespace tavelo
