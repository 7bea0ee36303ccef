// The results database opened or created: its tables and their check, a
// GeoPackage's own tables, and the checks made before any work.

#include "inventory/results_db.h"

#include "base/ascii_case.h"
#include "base/shown_text.h"
#include "base/version.h"
#include "inventory/results_map.h"
#include "inventory/results_tables.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string_view>
#include <thread>

namespace tavelo {

namespace {

bool isGeoPackageName(const std::filesystem::path &path)
{
    return asciiLowerCase(path.extension().string()) == ".gpkg";
}

// The view of the last record row of every stand of the latest finished run
// that has record rows (a plan or a search for best regimes has none). Files
// of earlier versions hold it as it was, over the latest finished run
// whatever it held: that view is replaced.
std::string finalViewSql(bool geoPackage, bool asEarlier = false)
{
    const std::string latest =
        asEarlier ? "(SELECT max(run_id) FROM tavelo_runs WHERE finished IS NOT NULL)"
                  : "(SELECT max(u.run_id) FROM tavelo_runs u WHERE u.finished IS NOT NULL AND EXISTS (SELECT 1 FROM "
                    "tavelo_record k WHERE k.run_id = u.run_id))";
    return std::string("CREATE VIEW IF NOT EXISTS ") + kFinalView + " AS SELECT " +
           (geoPackage ? "r.fid AS fid, " : "") +
           "r.run_id AS run_id, r.stand_id AS stand_id, r.\"row\" AS \"row\", r.year AS year, r.age AS age, "
           "r.code AS code, r.trees AS trees, r.basal_area AS basal_area, r.height AS height, r.v_total AS "
           "v_total, r.v_roundwood AS v_roundwood, r.v_sawlog AS v_sawlog, r.v_firewood AS v_firewood "
           "FROM tavelo_record r JOIN (SELECT stand_id, max(\"row\") AS last_row FROM tavelo_record WHERE run_id = " +
           latest + " GROUP BY stand_id) l ON r.stand_id = l.stand_id AND r.\"row\" = l.last_row WHERE r.run_id = " +
           latest;
}

// The statement as SQLite keeps it in sqlite_master.
std::string storedSql(std::string sql)
{
    const std::string ifNotExists = "IF NOT EXISTS ";
    if (const size_t at = sql.find(ifNotExists); at != std::string::npos)
        sql.erase(at, ifNotExists.size());
    return sql;
}

enum class FinalView { Missing, Current, Earlier };

// Throws std::runtime_error when `db` holds a table, view or index of one of
// our names that is not ours; says in what state our view is.
FinalView checkOurSchema(SqliteDb &db);

// The core tables every GeoPackage has, with the three reference systems it
// must define.
void createGeoPackageCore(SqliteDb &db)
{
    db.exec("PRAGMA application_id = 1196444487"); // "GPKG"
    db.exec("PRAGMA user_version = 10300");        // version 1.3.0
    db.exec("CREATE TABLE gpkg_spatial_ref_sys (srs_name TEXT NOT NULL, srs_id INTEGER NOT NULL PRIMARY KEY, "
            "organization TEXT NOT NULL, organization_coordsys_id INTEGER NOT NULL, definition TEXT NOT NULL, "
            "description TEXT)");
    db.exec("INSERT INTO gpkg_spatial_ref_sys VALUES "
            "('Undefined cartesian SRS', -1, 'NONE', -1, 'undefined', "
            "'undefined cartesian coordinate reference system'), "
            "('Undefined geographic SRS', 0, 'NONE', 0, 'undefined', "
            "'undefined geographic coordinate reference system'), "
            "('WGS 84 geodetic', 4326, 'EPSG', 4326, 'GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\","
            "6378137,298.257223563,AUTHORITY[\"EPSG\",\"7030\"]],AUTHORITY[\"EPSG\",\"6326\"]],PRIMEM[\"Greenwich\","
            "0,AUTHORITY[\"EPSG\",\"8901\"]],UNIT[\"degree\",0.0174532925199433,AUTHORITY[\"EPSG\",\"9122\"]],"
            "AUTHORITY[\"EPSG\",\"4326\"]]', 'longitude/latitude coordinates in decimal degrees on the WGS 84 "
            "spheroid')");
    db.exec("CREATE TABLE gpkg_contents (table_name TEXT NOT NULL PRIMARY KEY, data_type TEXT NOT NULL, "
            "identifier TEXT UNIQUE, description TEXT DEFAULT '', last_change DATETIME NOT NULL DEFAULT "
            "(strftime('%Y-%m-%dT%H:%M:%fZ','now')), min_x DOUBLE, min_y DOUBLE, max_x DOUBLE, max_y DOUBLE, "
            "srs_id INTEGER, CONSTRAINT fk_gc_r_srs_id FOREIGN KEY (srs_id) REFERENCES "
            "gpkg_spatial_ref_sys(srs_id))");
    db.exec("CREATE TABLE gpkg_geometry_columns (table_name TEXT NOT NULL, column_name TEXT NOT NULL, "
            "geometry_type_name TEXT NOT NULL, srs_id INTEGER NOT NULL, z TINYINT NOT NULL, m TINYINT NOT NULL, "
            "CONSTRAINT pk_geom_cols PRIMARY KEY (table_name, column_name), CONSTRAINT uk_gc_table_name UNIQUE "
            "(table_name), CONSTRAINT fk_gc_tn FOREIGN KEY (table_name) REFERENCES gpkg_contents(table_name), "
            "CONSTRAINT fk_gc_srs FOREIGN KEY (srs_id) REFERENCES gpkg_spatial_ref_sys (srs_id))");
}

} // namespace

ResultsDb::ResultsDb(const std::filesystem::path &path, int busyTimeoutMs) try
    : db_(path, SqliteDb::Mode::ReadWrite, busyTimeoutMs)
{
    if (db_.readOnly())
        throw BatchOutputError("cannot write " + path.string() + ": the file is read-only");
    // Two shards may start on one new file at once. Not every step of the
    // set-up waits for the other writer by itself (a change of journal mode
    // gives up at once), so the whole set-up is tried again, as long as any
    // statement would wait.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(busyTimeoutMs);
    for (;;) {
        try {
            setUp(path);
            break;
        } catch (const DatabaseError &e) {
            if (!isBusyError(e) || std::chrono::steady_clock::now() >= deadline)
                throw;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    insertStand_.emplace(db_, insertSql(kStandsTable));
    insertError_.emplace(db_, insertSql(kErrorsTable));
    insertEconomics_.emplace(db_, insertSql(kEconomicsTable));
    insertCarbon_.emplace(db_, insertSql(kCarbonTable));
    insertEvent_.emplace(db_, insertSql(kEventsTable));
} catch (const DatabaseError &e) {
    throw BatchOutputError(std::string("cannot write the results: ") + e.what());
}

void ResultsDb::setUp(const std::filesystem::path &path)
{
    // Nothing is changed before the file is known to take our tables.
    replaceFinalView_ = checkOurSchema(db_) == FinalView::Earlier;
    // Several shards or readers may use the file at once; a commit needs no
    // disk sync, and a stand is still never half written.
    {
        SqliteStatement mode = db_.prepare("PRAGMA journal_mode");
        if (mode.step())
            journalModeBefore_ = mode.text(0);
    }
    db_.prepare("PRAGMA journal_mode = WAL").run();
    db_.exec("PRAGMA synchronous = NORMAL");
    geoPackage_ = isGeoPackageName(path) || db_.tableExists("gpkg_contents");
    createSchema();
}

void ResultsDb::checkExisting(const std::filesystem::path &path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) || std::filesystem::file_size(path, ec) == 0)
        return;
    try {
        SqliteDb db(path, SqliteDb::Mode::ReadOnly);
        checkOurSchema(db);
    } catch (const DatabaseError &) {
        // A file SQLite cannot read is reported when the results are opened.
    }
}

void ResultsDb::checkWritable(const std::filesystem::path &path)
{
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        try {
            SqliteDb db(path, SqliteDb::Mode::ReadWrite);
            if (db.readOnly())
                throw BatchOutputError("cannot write " + path.string() + ": the file is read-only");
            db.prepare("SELECT count(*) FROM sqlite_master").step();
        } catch (const DatabaseError &e) {
            throw BatchOutputError(std::string("cannot write the results: ") + e.what());
        }
        return;
    }
    const std::filesystem::path folder = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    if (!std::filesystem::is_directory(folder, ec))
        throw BatchOutputError("cannot write " + path.string() + ": its folder " + folder.string() +
                               " does not exist");
    if (::access(folder.c_str(), W_OK) != 0)
        throw BatchOutputError("cannot write " + path.string() + ": its folder " + folder.string() +
                               " cannot be written");
}

namespace {

FinalView checkOurSchema(SqliteDb &db)
{
    const std::string file = db.path().string();
    FinalView view = FinalView::Missing;
    SqliteStatement object =
        db.prepare("SELECT type, name, sql, tbl_name FROM sqlite_master WHERE name = ?1 COLLATE NOCASE");
    for (const ResultsObject &ours : resultsObjects()) {
        object.bind(1, ours.name);
        if (!object.step()) {
            object.reset();
            continue;
        }
        const std::string type = object.text(0);
        const std::string name = object.text(1);
        const std::string sql = object.text(2);
        const std::string indexedTable = object.text(3);
        object.reset();
        if (type != ours.type)
            throw std::runtime_error(file + ": it holds a " + type + " named \"" + shownText(name) +
                                     "\" where the results need a " + ours.type +
                                     " of that name; nothing was changed (write the results to another file)");
        if (type == "index" && asciiLowerCase(indexedTable) != ours.indexedTable)
            throw std::runtime_error(file + ": its index \"" + shownText(name) + "\" is on the table \"" +
                                     shownText(indexedTable) + "\", not on " + ours.indexedTable +
                                     "; nothing was changed (write the results to another file)");
        if (type == "view") {
            const bool geoPackage = db.tableExists("gpkg_contents");
            if (sql == storedSql(finalViewSql(geoPackage)))
                view = FinalView::Current;
            else if (sql == storedSql(finalViewSql(geoPackage, true)))
                view = FinalView::Earlier;
            else
                throw std::runtime_error(file + ": its view \"" + shownText(name) +
                                         "\" is not the view of batch results; nothing was changed (write the "
                                         "results to another file)");
        }
        if (type != "table")
            continue;
        SqliteStatement info = db.prepare("PRAGMA table_info(" + sqlIdentifier(name) + ")");
        std::vector<std::string> present;
        while (info.step())
            present.push_back(asciiLowerCase(info.text(1)));
        for (const std::string &column : ours.requiredColumns) {
            if (std::find(present.begin(), present.end(), column) == present.end())
                throw std::runtime_error(file + ": its table \"" + shownText(name) + "\" has no column \"" +
                                         column +
                                         "\": it is not a table of batch results; nothing was changed (write "
                                         "the results to another file)");
        }
    }
    return view;
}

} // namespace

ResultsDb::~ResultsDb()
{
    map_.reset();
    insertStand_.reset();
    insertRecordRows_.clear();
    insertError_.reset();
    insertEconomics_.reset();
    insertCarbon_.reset();
    insertEvent_.reset();
    // A GeoPackage travels as one file: unless it had a write-ahead log before,
    // leave it without one when no one else is using it (otherwise it stays
    // as it is, still valid).
    if (geoPackage_ && journalModeBefore_ != "wal") {
        try {
            db_.prepare("PRAGMA journal_mode = DELETE").run();
        } catch (const DatabaseError &) {
        }
    }
}

void ResultsDb::createSchema()
{
    SqliteTransaction tx(db_);
    if (geoPackage_ && !db_.tableExists("gpkg_contents"))
        createGeoPackageCore(db_);
    for (const ResultsTable *table : kResultsTables) {
        db_.exec(createTableSql(*table, geoPackage_));
        // A file of an earlier version: columns added since.
        std::vector<std::string> present;
        for (SqliteStatement info = db_.prepare("PRAGMA table_info(" + std::string(table->name) + ")"); info.step();)
            present.push_back(asciiLowerCase(info.text(1)));
        for (const ResultsColumn &c : table->columns)
            if (c.addedLater && std::find(present.begin(), present.end(), c.name) == present.end())
                db_.exec("ALTER TABLE " + std::string(table->name) + " ADD COLUMN " + sqlColumnName(c) + " " + c.type);
        if (table->index)
            db_.exec("CREATE INDEX IF NOT EXISTS " + std::string(table->index) + " ON " + table->name + " (" +
                     table->indexColumns + ")");
    }
    if (replaceFinalView_)
        db_.exec(std::string("DROP VIEW ") + kFinalView);
    db_.exec(finalViewSql(geoPackage_));
    if (geoPackage_) {
        SqliteStatement reg = db_.prepare(
            "INSERT OR IGNORE INTO gpkg_contents (table_name, data_type, identifier, description, last_change) "
            "VALUES (?1, 'attributes', ?1, ?2, strftime('%Y-%m-%dT%H:%M:%fZ', 'now'))");
        // In the order the first versions registered them, so that a new file is as theirs.
        const char *const registered[] = {kRunsTable.name,   kStandsTable.name,  kRecordTable.name,
                                          kErrorsTable.name, kEconomicsTable.name, kBestTable.name,
                                          kFinalView,        kCarbonTable.name,  kPlanTable.name,
                                          kPlanPeriodsTable.name, kEventsTable.name, kPlanAdjacencyTable.name,
                                          kPlanOpeningsTable.name};
        static_assert(std::size(registered) == 13, "every table and the view");
        for (const char *table : registered) {
            reg.bind(1, std::string(table)).bind(2, std::string("Tavelo batch results"));
            reg.run();
        }
    }
    tx.commit();
}

} // namespace tavelo
