#include "results_map.h"

#include "base/numeric_text.h"
#include "inventory/results_tables.h"

#include <set>
#include <cstring>

namespace tavelo {

namespace {

template <typename T>
void appendLittleEndian(std::string &out, T value)
{
    // The machines this runs on are little-endian, as the header's flag says.
    static_assert(sizeof(T) == 4 || sizeof(T) == 8);
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

// The reference system's srs_id, added to gpkg_spatial_ref_sys when missing:
// an EPSG system keeps its code, any other gets a free number above 100000.
int32_t registerSrs(SqliteDb &db, const std::optional<InventoryCrs> &crs)
{
    if (!crs)
        return -1; // the GeoPackage's undefined cartesian system
    SqliteStatement known =
        crs->organization.empty()
            ? db.prepare("SELECT srs_id FROM gpkg_spatial_ref_sys WHERE definition = ?1")
            : db.prepare("SELECT srs_id FROM gpkg_spatial_ref_sys WHERE upper(organization) = upper(?1) AND "
                         "organization_coordsys_id = ?2");
    if (crs->organization.empty())
        known.bind(1, crs->wkt);
    else
        known.bind(1, crs->organization).bind(2, crs->code);
    if (known.step())
        return static_cast<int32_t>(known.integer(0));
    int64_t id = crs->organization == "EPSG" ? crs->code : 0;
    SqliteStatement taken = db.prepare("SELECT count(*) FROM gpkg_spatial_ref_sys WHERE srs_id = ?1");
    taken.bind(1, id);
    taken.step();
    if (id <= 0 || id > INT32_MAX || taken.integer(0) > 0) {
        SqliteStatement next = db.prepare("SELECT max(100000, coalesce(max(srs_id), 0) + 1) FROM gpkg_spatial_ref_sys");
        next.step();
        id = next.integer(0);
    }
    SqliteStatement add = db.prepare("INSERT INTO gpkg_spatial_ref_sys (srs_name, srs_id, organization, "
                                     "organization_coordsys_id, definition, description) VALUES (?1, ?2, ?3, ?4, ?5, "
                                     "'the inventory''s reference system')");
    add.bind(1, crs->name().empty() ? std::string("inventory") : crs->name()).bind(2, id);
    add.bind(3, crs->organization.empty() ? std::string("NONE") : crs->organization);
    add.bind(4, crs->organization.empty() ? id : crs->code);
    add.bind(5, crs->wkt.empty() ? std::string("undefined") : crs->wkt);
    add.run();
    return static_cast<int32_t>(id);
}

// The map's columns after its geometry: the stand, the last record row's
// columns as the record table stores them, then the values.
std::string valueColumns()
{
    return "run_id INTEGER NOT NULL, position INTEGER NOT NULL, stand_id TEXT, status TEXT, " + recordColumnsSql(true) +
           ", npv REAL, carbon_balance REAL, schedule TEXT, plan_value REAL, felling_year INTEGER, "
           "felling_period INTEGER, opening_id INTEGER";
}

// Columns added after the first maps were written, for a map made by an earlier version.
constexpr std::pair<const char *, const char *> kLaterColumns[] = {{"carbon_balance", "REAL"},
                                                                   {"schedule", "TEXT"},
                                                                   {"plan_value", "REAL"},
                                                                   {"felling_year", "INTEGER"},
                                                                   {"felling_period", "INTEGER"},
                                                                   {"opening_id", "INTEGER"}};

// The columns of layer_styles as QGIS creates it, with types a GeoPackage allows.
constexpr std::pair<const char *, const char *> kStyleColumns[] = {
    {"f_table_catalog", "TEXT(256)"}, {"f_table_schema", "TEXT(256)"}, {"f_table_name", "TEXT(256)"},
    {"f_geometry_column", "TEXT(256)"}, {"styleName", "TEXT(30)"}, {"styleQML", "TEXT"}, {"styleSLD", "TEXT"},
    {"useAsDefault", "BOOLEAN"}, {"description", "TEXT"}, {"owner", "TEXT(30)"}, {"ui", "TEXT(30)"},
    {"update_time", "DATETIME DEFAULT CURRENT_TIMESTAMP"}};
constexpr const char *kPlanStyleName = "tavelo_plan";

std::string xmlEscaped(const std::string &text)
{
    std::string out;
    for (char c : text)
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;" : std::string(1, c);
    return out;
}

// A fill symbol in QGIS's style file, its properties both as QGIS 3 before
// 3.26 reads them and as later versions do.
std::string fillSymbol(size_t name, const std::string &rgb)
{
    const std::pair<const char *, std::string> props[] = {{"color", rgb + ",255"},
                                                          {"outline_color", "35,35,35,255"},
                                                          {"outline_style", "solid"},
                                                          {"outline_width", "0.26"},
                                                          {"style", "solid"}};
    std::string options, old;
    for (const auto &[k, v] : props) {
        options += std::string("<Option name=\"") + k + "\" type=\"QString\" value=\"" + v + "\"/>";
        old += std::string("<prop k=\"") + k + "\" v=\"" + v + "\"/>";
    }
    return "<symbol type=\"fill\" name=\"" + std::to_string(name) +
           "\" alpha=\"1\" clip_to_extent=\"1\" force_rhr=\"0\"><layer class=\"SimpleFill\" enabled=\"1\" "
           "pass=\"0\" locked=\"0\"><Option type=\"Map\">" +
           options + "</Option>" + old + "</layer></symbol>";
}

// The stands by felling period, from dark red (the first) to yellow (the
// last), grey when not felled within the horizon.
std::string planStyleQml(const std::vector<std::string> &periodLabels)
{
    std::string categories, symbols;
    const size_t n = periodLabels.size();
    for (size_t p = 0; p <= n; ++p) {
        const bool felled = p < n;
        const double f = n > 1 ? static_cast<double>(p) / static_cast<double>(n - 1) : 0.0;
        const std::string rgb = felled ? std::to_string(165 + static_cast<int>(90 * f)) + "," +
                                             std::to_string(static_cast<int>(220 * f)) + ",38"
                                       : std::string("190,190,190");
        categories += "<category symbol=\"" + std::to_string(p) + "\" value=\"" +
                      (felled ? std::to_string(p) : std::string()) + "\" label=\"" +
                      xmlEscaped(felled ? "Corte final " + periodLabels[p] : std::string("Sem corte final")) +
                      "\" render=\"true\"/>";
        symbols += fillSymbol(p, rgb);
    }
    return "<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>\n<qgis version=\"3.22.0\" "
           "styleCategories=\"Symbology\"><renderer-v2 type=\"categorizedSymbol\" attr=\"felling_period\" "
           "symbollevels=\"0\" enableorderby=\"0\" forceraster=\"0\"><categories>" +
           categories + "</categories><symbols>" + symbols + "</symbols></renderer-v2><layerGeometryType>2"
           "</layerGeometryType></qgis>\n";
}

} // namespace

std::string geoPackageGeometry(int32_t srsId, const StandGeometry &geometry)
{
    std::string out = "GP";
    out += '\0';   // version 1
    out += '\x03'; // little-endian, envelope [minx, maxx, miny, maxy]
    appendLittleEndian(out, srsId);
    appendLittleEndian(out, geometry.minX);
    appendLittleEndian(out, geometry.maxX);
    appendLittleEndian(out, geometry.minY);
    appendLittleEndian(out, geometry.maxY);
    return out + geometry.wkb;
}

ResultsMap::ResultsMap(SqliteDb &db, bool geoPackage, const MapLayer &layer) : db_(db), geoPackage_(geoPackage)
{
    const std::string type = layer.geometryType.empty() ? std::string("GEOMETRY") : layer.geometryType;
    if (geoPackage_) {
        srsId_ = registerSrs(db_, layer.crs);
        SqliteStatement existing =
            db_.prepare("SELECT geometry_type_name, srs_id FROM gpkg_geometry_columns WHERE table_name = 'tavelo_map'");
        if (existing.step()) {
            if (existing.text(0) != type || existing.integer(1) != srsId_)
                throw BatchOutputError("cannot write the map of this run into " + db_.path().string() +
                                       ": its tavelo_map holds " + existing.text(0) + " geometries in srs_id " +
                                       std::to_string(existing.integer(1)) + ", this inventory has " + type +
                                       " in srs_id " + std::to_string(srsId_));
        }
        db_.exec("CREATE TABLE IF NOT EXISTS tavelo_map (fid INTEGER PRIMARY KEY AUTOINCREMENT, geom " + type + ", " +
                 valueColumns() + ", UNIQUE (run_id, position))");
        SqliteStatement contents = db_.prepare(
            "INSERT OR IGNORE INTO gpkg_contents (table_name, data_type, identifier, description, last_change, srs_id) "
            "VALUES ('tavelo_map', 'features', 'tavelo_map', 'Tavelo batch results by stand', "
            "strftime('%Y-%m-%dT%H:%M:%fZ', 'now'), ?1)");
        contents.bind(1, static_cast<int64_t>(srsId_));
        contents.run();
        SqliteStatement columns =
            db_.prepare("INSERT OR IGNORE INTO gpkg_geometry_columns (table_name, column_name, geometry_type_name, "
                        "srs_id, z, m) VALUES ('tavelo_map', 'geom', ?1, ?2, 0, 0)");
        columns.bind(1, type).bind(2, static_cast<int64_t>(srsId_));
        columns.run();
    } else {
        crsName_ = layer.crs ? layer.crs->name() : std::string();
        db_.exec(std::string("CREATE TABLE IF NOT EXISTS tavelo_map (geom BLOB, crs TEXT, ") + valueColumns() +
                 ", PRIMARY KEY (run_id, position))");
    }
    std::set<std::string> present;
    for (SqliteStatement info = db_.prepare("PRAGMA table_info(tavelo_map)"); info.step();)
        present.insert(info.text(1));
    for (const auto &[column, type] : kLaterColumns)
        if (!present.count(column))
            db_.exec(std::string("ALTER TABLE tavelo_map ADD COLUMN ") + column + " " + type);
    // geom (and crs), the stand's four columns, the record's, npv and carbon_balance.
    const int parameters = (geoPackage_ ? 1 : 2) + 4 + kRecordColumns + 2;
    std::string values = "?1";
    for (int p = 2; p <= parameters; ++p)
        values += ", ?" + std::to_string(p);
    insert_.emplace(db_, std::string("INSERT INTO tavelo_map (geom, ") + (geoPackage_ ? "" : "crs, ") +
                             "run_id, position, stand_id, status, " + recordColumnsSql(false) +
                             ", npv, carbon_balance) VALUES (" + values + ")");
}

void ResultsMap::add(int64_t runId, const StandOutcome &stand)
{
    SqliteStatement &q = *insert_;
    int i = bindStand(q, runId, stand.position, stand.id, standStatusName(stand.kind), stand.geometry);
    for (int c = 0; c < kRecordColumns; ++c) {
        if (stand.record.empty())
            q.bindNull(i++);
        else
            q.bindShown(i++, stand.record.back()[c]);
    }
    if (stand.economics)
        q.bindShown(i++, stand.economics->npv);
    else
        q.bindNull(i++);
    if (stand.carbon)
        q.bindShown(i++, stand.carbon->balance);
    else
        q.bindNull(i++);
    q.run();
}

std::optional<MapLayer> ResultsMap::layerOf(SqliteDb &from, bool geoPackage)
{
    if (!from.tableExists("tavelo_map") || from.tableExists("gpkg_contents") != geoPackage)
        return std::nullopt;
    MapLayer layer;
    if (geoPackage) {
        SqliteStatement q = from.prepare(
            "SELECT c.geometry_type_name, s.organization, s.organization_coordsys_id, s.definition "
            "FROM gpkg_geometry_columns c LEFT JOIN gpkg_spatial_ref_sys s ON s.srs_id = c.srs_id "
            "WHERE c.table_name = 'tavelo_map'");
        if (!q.step())
            return std::nullopt;
        layer.geometryType = q.text(0);
        if (!q.isNull(1)) {
            InventoryCrs crs;
            if (q.text(1) != "NONE") {
                crs.organization = q.text(1);
                crs.code = q.integer(2);
            }
            crs.wkt = q.text(3) == "undefined" ? std::string() : q.text(3);
            layer.crs = crs;
        }
        return layer;
    }
    // A plain map names its system by "ORGANIZATION:CODE" (or the WKT's name).
    SqliteStatement q = from.prepare("SELECT crs FROM tavelo_map WHERE crs IS NOT NULL LIMIT 1");
    if (q.step()) {
        const std::string name = q.text(0);
        InventoryCrs crs;
        if (const size_t colon = name.find(':'); colon != std::string::npos) {
            crs.organization = name.substr(0, colon);
            crs.code = std::atoll(name.c_str() + colon + 1);
        }
        layer.crs = crs;
    }
    return layer;
}

void ResultsMap::copyRun(SqliteDb &from, int64_t fromRun, int64_t toRun)
{
    std::set<std::string> present;
    for (SqliteStatement info = from.prepare("PRAGMA table_info(tavelo_map)"); info.step();)
        present.insert(info.text(1));
    std::string columns = "position, stand_id, status, " + recordColumnsSql(false) + ", npv";
    std::string selected = columns;
    for (const auto &[column, type] : kLaterColumns) {
        columns += std::string(", ") + column;
        selected += present.count(column) ? std::string(", ") + column : std::string(", NULL");
    }
    SqliteStatement read = from.prepare("SELECT geom, " + std::string(geoPackage_ ? "" : "crs, ") + selected +
                                        " FROM tavelo_map WHERE run_id = ?1 ORDER BY position");
    read.bind(1, fromRun);
    const int count = read.columns();
    std::string values = "?1";
    for (int c = 0; c < count; ++c)
        values += ", ?" + std::to_string(c + 2);
    SqliteStatement write = db_.prepare("INSERT INTO tavelo_map (run_id, geom, " +
                                        std::string(geoPackage_ ? "" : "crs, ") + columns + ") VALUES (" + values +
                                        ")");
    while (read.step()) {
        write.bind(1, toRun);
        for (int c = 0; c < count; ++c) {
            if (c == 0 && geoPackage_ && !read.isNull(0)) {
                // The outline in this file's number for the same reference system.
                std::string blob = read.text(0);
                if (blob.size() >= 8)
                    for (int b = 0; b < 4; ++b)
                        blob[4 + b] = static_cast<char>((static_cast<uint32_t>(srsId_) >> (8 * b)) & 0xFF);
                write.bindBlob(2, blob);
                continue;
            }
            write.bindColumn(c + 2, read, c);
        }
        write.run();
    }
    if (geoPackage_) {
        // The source layer's extent widens this one's.
        SqliteStatement e = from.prepare(
            "SELECT min_x, min_y, max_x, max_y FROM gpkg_contents WHERE table_name = 'tavelo_map' AND min_x IS NOT NULL");
        if (e.step()) {
            const double x0 = e.real(0), y0 = e.real(1), x1 = e.real(2), y1 = e.real(3);
            minX_ = seen_ ? std::min(minX_, x0) : x0;
            minY_ = seen_ ? std::min(minY_, y0) : y0;
            maxX_ = seen_ ? std::max(maxX_, x1) : x1;
            maxY_ = seen_ ? std::max(maxY_, y1) : y1;
            seen_ = true;
            updateExtent();
        }
    }
}

void ResultsMap::addPlanned(int64_t runId, const PlannedStand &stand)
{
    if (!insertPlanned_)
        insertPlanned_.emplace(db_, std::string("INSERT INTO tavelo_map (geom, ") + (geoPackage_ ? "" : "crs, ") +
                                        "run_id, position, stand_id, status, schedule, plan_value, felling_year, "
                                        "felling_period, opening_id) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10" +
                                        (geoPackage_ ? ")" : ", ?11)"));
    SqliteStatement &q = *insertPlanned_;
    int i = bindStand(q, runId, stand.position, stand.id, "planned", stand.geometry);
    q.bind(i++, stand.schedule);
    q.bindShown(i++, formatFixed(stand.value, 2));
    if (stand.fellingYear)
        q.bind(i++, static_cast<int64_t>(*stand.fellingYear));
    else
        q.bindNull(i++);
    if (stand.fellingPeriod)
        q.bind(i++, static_cast<int64_t>(*stand.fellingPeriod));
    else
        q.bindNull(i++);
    if (stand.openingId)
        q.bind(i++, *stand.openingId);
    else
        q.bindNull(i++);
    q.run();
}

int ResultsMap::bindStand(SqliteStatement &q, int64_t runId, size_t position, const std::string &id,
                          const char *status, const StandGeometry &geometry)
{
    int i = 1;
    if (geometry.wkb.empty()) {
        q.bindNull(i++);
    } else {
        q.bindBlob(i++, geoPackage_ ? geoPackageGeometry(srsId_, geometry) : geometry.wkb);
        widen(geometry);
    }
    if (!geoPackage_) {
        if (crsName_.empty() || geometry.wkb.empty())
            q.bindNull(i++);
        else
            q.bind(i++, crsName_);
    }
    q.bind(i++, runId);
    q.bind(i++, static_cast<int64_t>(position));
    q.bind(i++, id);
    q.bind(i++, std::string(status));
    return i;
}

void ResultsMap::widen(const StandGeometry &g)
{
    if (!seen_ || g.minX < minX_)
        minX_ = g.minX;
    if (!seen_ || g.minY < minY_)
        minY_ = g.minY;
    if (!seen_ || g.maxX > maxX_)
        maxX_ = g.maxX;
    if (!seen_ || g.maxY > maxY_)
        maxY_ = g.maxY;
    seen_ = true;
}

void ResultsMap::writePlanStyle(const std::vector<std::string> &periodLabels)
{
    if (!geoPackage_)
        return;
    std::string columns;
    for (const auto &[name, type] : kStyleColumns)
        columns += std::string(", ") + name + " " + type;
    db_.exec("CREATE TABLE IF NOT EXISTS layer_styles (id INTEGER PRIMARY KEY AUTOINCREMENT" + columns + ")");
    std::set<std::string> present;
    for (SqliteStatement info = db_.prepare("PRAGMA table_info(layer_styles)"); info.step();)
        present.insert(info.text(1));
    for (const auto &[name, type] : kStyleColumns)
        if (!present.count(name))
            return; // another program's table of that name, left as it is
    db_.exec("INSERT OR IGNORE INTO gpkg_contents (table_name, data_type, identifier, description, last_change) "
             "VALUES ('layer_styles', 'attributes', 'layer_styles', 'Map styles', "
             "strftime('%Y-%m-%dT%H:%M:%fZ', 'now'))");
    SqliteStatement drop = db_.prepare("DELETE FROM layer_styles WHERE f_table_name = ?1 AND styleName = ?2");
    drop.bind(1, std::string(kMapTable)).bind(2, std::string(kPlanStyleName));
    drop.run();
    SqliteStatement others = db_.prepare("UPDATE layer_styles SET useAsDefault = 0 WHERE f_table_name = ?1");
    others.bind(1, std::string(kMapTable));
    others.run();
    SqliteStatement add = db_.prepare(
        "INSERT INTO layer_styles (f_table_catalog, f_table_schema, f_table_name, f_geometry_column, styleName, "
        "styleQML, styleSLD, useAsDefault, description, owner, ui) VALUES ('', '', ?1, 'geom', ?2, ?3, '', 1, "
        "'Corte final por período', '', '')");
    add.bind(1, std::string(kMapTable)).bind(2, std::string(kPlanStyleName)).bind(3, planStyleQml(periodLabels));
    add.run();
}

void ResultsMap::updateExtent()
{
    if (!geoPackage_ || !seen_)
        return;
    SqliteStatement q = db_.prepare(
        "UPDATE gpkg_contents SET min_x = CASE WHEN min_x IS NULL OR min_x > ?1 THEN ?1 ELSE min_x END, "
        "min_y = CASE WHEN min_y IS NULL OR min_y > ?2 THEN ?2 ELSE min_y END, "
        "max_x = CASE WHEN max_x IS NULL OR max_x < ?3 THEN ?3 ELSE max_x END, "
        "max_y = CASE WHEN max_y IS NULL OR max_y < ?4 THEN ?4 ELSE max_y END, "
        "last_change = strftime('%Y-%m-%dT%H:%M:%fZ', 'now') WHERE table_name = 'tavelo_map'");
    q.bind(1, minX_).bind(2, minY_).bind(3, maxX_).bind(4, maxY_);
    q.run();
}

} // namespace tavelo
