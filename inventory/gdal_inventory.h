#pragma once

// Inventories read through GDAL: every vector dataset it opens (Shapefile,
// GeoPackage, GeoJSON, FlatGeobuf, SQLite/SpatiaLite, its own CSV reading).
// Each feature becomes the ten texts a user would type, plus its geometry.

#include "inventory/inventory_source.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class OGRGeometry;

namespace tavelo {

// A geometry as an inventory row holds it: little-endian WKB and its envelope.
StandGeometry standGeometryOf(const OGRGeometry &shape);

// True when GDAL recognises `path` as a vector dataset. A `.csv` file, a pipe
// or standard input is left to the plain CSV reader.
bool gdalReadsInventory(const std::filesystem::path &path);

// Opens `layer` of `path` read only; an empty `layer` means the one named
// "stands", else the dataset's only layer. Columns are found by name whatever
// their case; in a Shapefile a name cut to its 10 characters also matches
// ("dominantHe" is dominantHeight). Throws std::runtime_error when the
// inventory cannot be used at all, also for an error GDAL reports while
// reading a feature.
// The layers of a dataset GDAL reads, in its order; throws std::runtime_error
// when it cannot be opened.
std::vector<std::string> gdalLayerNames(const std::filesystem::path &path);

// What GDAL says when it tries to open `path` as a vector dataset and
// cannot; empty when it opens it or says nothing.
std::string gdalOpenFailure(const std::filesystem::path &path);

std::unique_ptr<InventorySource> openGdalInventory(const std::filesystem::path &path, const std::string &layer);

} // namespace tavelo
