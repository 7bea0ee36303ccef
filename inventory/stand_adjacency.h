#pragma once

// Which stands of a map are neighbours: their outlines share a boundary
// longer than a given length, measured in the layer's projected reference
// system (GDAL, with its GEOS functions).

#include "inventory/inventory_source.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tavelo {

struct StandNeighbours {
    size_t a = 0, b = 0;         // indices of the outlines given, a < b
    double sharedMetres = 0.0;   // the length of boundary they share
};

struct StandAdjacency {
    // Refused: no outlines at all, or a reference system in degrees (named in `crs`).
    enum class Outcome { Built, NoGeometries, Geographic };
    Outcome outcome = Outcome::Built;
    std::string crs;
    std::vector<StandNeighbours> pairs; // ascending by a, then b
    // Outlines that cannot be read or are not valid (index, GEOS's reason):
    // such a stand has no neighbours.
    std::vector<std::pair<size_t, std::string>> invalid;
};

// A reference system in degrees is refused before the outlines are looked at.
// Envelopes prune the pairs first (a sweep along x), so that large maps take
// seconds. `minSharedMetres` 0: any shared line, not a single point.
StandAdjacency standAdjacency(const std::vector<StandGeometry> &outlines, const std::optional<InventoryCrs> &crs,
                              double minSharedMetres);

} // namespace tavelo
