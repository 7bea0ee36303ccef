#pragma once

// The results as a map: tavelo_map, one row per stand of a run with the
// stand's outline and its values at the end (the last record row, the NPV
// when the regime is valued, the carbon balance when it has a carbon
// section). In a GeoPackage it is a feature table in the inventory's
// reference system, which a GIS opens as a layer; in a plain
// SQLite database the outline is well-known binary with the system's name in
// the column `crs`.

#include "inventory/inventory_source.h"
#include "inventory/result_sink.h"
#include "inventory/sqlite_db.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavelo {

struct MapLayer {
    std::string geometryType; // as GeoPackage names it: "POLYGON", "MULTIPOLYGON", ...
    std::optional<InventoryCrs> crs;
};

// A GeoPackage geometry: its binary header (little-endian, with the xy
// envelope) followed by the well-known binary.
std::string geoPackageGeometry(int32_t srsId, const StandGeometry &geometry);

// A stand of a forest plan on the map: its outline and the regime chosen.
struct PlannedStand {
    size_t position = 0; // in the inventory, from 0
    std::string id;
    StandGeometry geometry;
    std::string schedule;
    double value = 0.0;             // € for the stand's area
    std::optional<int> fellingYear; // none: not felled within the horizon
    std::optional<int> fellingPeriod;
    std::optional<int64_t> openingId; // the largest opening it is part of (openings.csv), with a spatial rule
};

class ResultsMap {
public:
    // Creates tavelo_map (and registers it, in a GeoPackage) inside the
    // caller's transaction. Throws DatabaseError when the file cannot take
    // it, BatchOutputError when its tavelo_map holds another reference system
    // or geometry type.
    ResultsMap(SqliteDb &db, bool geoPackage, const MapLayer &layer);
    // Inside the caller's transaction.
    void add(int64_t runId, const StandOutcome &stand);
    // A stand of a plan: the plan's columns filled, the record's left empty.
    void addPlanned(int64_t runId, const PlannedStand &stand);
    // In a GeoPackage, the layer's default style for a GIS (QGIS reads the
    // table layer_styles): the stands coloured by felling period, with a
    // legend naming each period by `periodLabels` and the stands not felled.
    // Skipped when the file's layer_styles lacks a column QGIS gives it.
    void writePlanStyle(const std::vector<std::string> &periodLabels);
    // Widens the layer's extent by the stands added since the last call.
    void updateExtent();
    // The map layer of another results database, when it has one of this
    // kind (both GeoPackages or both plain SQLite).
    static std::optional<MapLayer> layerOf(SqliteDb &from, bool geoPackage);
    // Copies the rows of run `fromRun` of `from` (see layerOf) into run
    // `toRun`, inside the caller's transaction.
    void copyRun(SqliteDb &from, int64_t fromRun, int64_t toRun);

private:
    SqliteDb &db_;
    bool geoPackage_;
    int32_t srsId_ = -1;
    std::string crsName_;
    std::optional<SqliteStatement> insert_;
    std::optional<SqliteStatement> insertPlanned_;
    void widen(const StandGeometry &geometry);
    // Binds the outline (and, in plain SQLite, its system), the run, the
    // position, the id and the status: the columns every row starts with.
    // The next parameter's index.
    int bindStand(SqliteStatement &q, int64_t runId, size_t position, const std::string &id, const char *status,
                  const StandGeometry &geometry);
    bool seen_ = false;
    double minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
};

} // namespace tavelo
