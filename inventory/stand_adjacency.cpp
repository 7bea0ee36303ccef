#include "stand_adjacency.h"

#include <cpl_error.h>
#include <ogr_api.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <memory>
#include <tuple>

namespace tavelo {

namespace {

struct GeometryDeleter {
    void operator()(OGRGeometry *g) const { OGRGeometryFactory::destroyGeometry(g); }
};
using GeometryPtr = std::unique_ptr<OGRGeometry, GeometryDeleter>;

// GEOS tells of each invalid outline through GDAL's error handler; kept
// quiet here, the outline reported by stand instead.
class QuietGdal {
public:
    QuietGdal() { CPLPushErrorHandler(CPLQuietErrorHandler); }
    ~QuietGdal() { CPLPopErrorHandler(); }
    QuietGdal(const QuietGdal &) = delete;
    QuietGdal &operator=(const QuietGdal &) = delete;
};

bool inDegrees(const InventoryCrs &crs)
{
    OGRSpatialReference srs;
    const OGRErr read = !crs.wkt.empty()                 ? srs.importFromWkt(crs.wkt.c_str())
                        : crs.organization == "EPSG"     ? srs.importFromEPSG(static_cast<int>(crs.code))
                                                         : OGRERR_FAILURE;
    return read == OGRERR_NONE && srs.IsGeographic();
}

} // namespace

StandAdjacency standAdjacency(const std::vector<StandGeometry> &outlines, const std::optional<InventoryCrs> &crs,
                              double minSharedMetres)
{
    StandAdjacency out;
    const QuietGdal quiet;
    if (crs && inDegrees(*crs)) {
        out.outcome = StandAdjacency::Outcome::Geographic;
        out.crs = crs->name();
        return out;
    }
    if (std::all_of(outlines.begin(), outlines.end(), [](const StandGeometry &g) { return g.wkb.empty(); })) {
        out.outcome = StandAdjacency::Outcome::NoGeometries;
        return out;
    }
    // Each outline's boundary, the lines two neighbours share.
    std::vector<GeometryPtr> boundary(outlines.size());
    for (size_t i = 0; i < outlines.size(); ++i) {
        const StandGeometry &g = outlines[i];
        if (g.wkb.empty()) {
            out.invalid.emplace_back(i, "no outline");
            continue;
        }
        OGRGeometry *read = nullptr;
        if (OGRGeometryFactory::createFromWkb(g.wkb.data(), nullptr, &read, g.wkb.size()) != OGRERR_NONE || !read) {
            out.invalid.emplace_back(i, "the outline cannot be read");
            continue;
        }
        const GeometryPtr outline(read);
        if (!outline->IsValid()) {
            out.invalid.emplace_back(i, "the outline is not valid (it crosses itself or is not closed)");
            continue;
        }
        boundary[i].reset(outline->Boundary());
    }
    // A sweep along x: the outlines whose envelopes overlap.
    std::vector<size_t> order;
    for (size_t i = 0; i < outlines.size(); ++i)
        if (boundary[i])
            order.push_back(i);
    std::sort(order.begin(), order.end(), [&](size_t x, size_t y) { return outlines[x].minX < outlines[y].minX; });
    const double slack = 1e-6;
    for (size_t i = 0; i < order.size(); ++i) {
        const StandGeometry &gi = outlines[order[i]];
        for (size_t j = i + 1; j < order.size() && outlines[order[j]].minX <= gi.maxX + slack; ++j) {
            const StandGeometry &gj = outlines[order[j]];
            if (gj.minY > gi.maxY + slack || gj.maxY < gi.minY - slack)
                continue;
            const OGRGeometry &bi = *boundary[order[i]], &bj = *boundary[order[j]];
            if (!bi.Intersects(&bj))
                continue;
            const GeometryPtr shared(bi.Intersection(&bj));
            const double length = shared ? OGR_G_Length(OGRGeometry::ToHandle(shared.get())) : 0.0;
            if (length > minSharedMetres && length > 0.0)
                out.pairs.push_back({std::min(order[i], order[j]), std::max(order[i], order[j]), length});
        }
    }
    std::sort(out.pairs.begin(), out.pairs.end(),
              [](const StandNeighbours &x, const StandNeighbours &y) { return std::tie(x.a, x.b) < std::tie(y.a, y.b); });
    return out;
}

} // namespace tavelo
