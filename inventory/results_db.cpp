#include "results_db.h"

#include "base/ascii_case.h"
#include "base/version.h"
#include "base/shown_text.h"
#include "inventory/results_map.h"
#include "inventory/results_tables.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <stdexcept>
#include <string_view>
#include <thread>


namespace tavelo {

namespace {

// run_id, stand_id, row and the record, in one row of a stand's INSERT.
constexpr int kRecordInsertColumns = 3 + kRecordColumns;

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

// An errors.csv row into tavelo_errors: its columns that errors.csv has.
std::string insertErrorsCsvRow()
{
    std::string columns, values = "?1";
    int n = 1;
    for (const ResultsColumn &c : kErrorsTable.columns)
        if (c.csvHeading) {
            columns += ", " + sqlColumnName(c);
            values += ", ?" + std::to_string(++n);
        }
    return "INSERT INTO " + std::string(kErrorsTable.name) + " (run_id" + columns + ") VALUES (" + values + ")";
}

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

std::optional<ShardSpec> parseShard(const std::string &shard)
{
    const size_t slash = shard.find('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 >= shard.size())
        return std::nullopt;
    auto number = [](std::string_view s) -> std::optional<unsigned> {
        if (s.size() > 6 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        return static_cast<unsigned>(std::stoul(std::string(s)));
    };
    const auto k = number(std::string_view(shard).substr(0, slash));
    const auto n = number(std::string_view(shard).substr(slash + 1));
    if (!k || !n || *k < 1 || *k > *n)
        return std::nullopt;
    return ShardSpec{*k, *n};
}

std::string inventoryChange(const RunIdentity &was, const RunIdentity &now)
{
    if (!was.inventoryRows)
        return "it kept no fingerprint of its inventory (a run of an earlier version), so the stands cannot be "
               "checked to be the same";
    if (!now.inventoryRows)
        return "this inventory has no fingerprint";
    if (*was.inventoryRows != *now.inventoryRows)
        return "the inventory had " + std::to_string(*was.inventoryRows) + " rows, it now has " +
               std::to_string(*now.inventoryRows);
    if (was.inventoryHash != now.inventoryHash)
        return "the inventory's rows have changed (the same number of rows, another content)";
    return {};
}

std::string isoTimeNow()
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

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
                                          kPlanPeriodsTable.name, kEventsTable.name};
        static_assert(std::size(registered) == 11, "every table and the view");
        for (const char *table : registered) {
            reg.bind(1, std::string(table)).bind(2, std::string("Tavelo batch results"));
            reg.run();
        }
    }
    tx.commit();
}

void ResultsDb::enableMap(const MapLayer &layer)
{
    SqliteTransaction tx(db_);
    map_ = std::make_unique<ResultsMap>(db_, geoPackage_, layer);
    tx.commit();
}

int64_t ResultsDb::startRun(const RunIdentity &identity, int64_t stands)
{
    SqliteStatement insert =
        db_.prepare("INSERT INTO tavelo_runs (started, program_version, inventory, regime, stands, inventory_table, "
                    "shard, inventory_rows, inventory_hash) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    insert.bind(1, isoTimeNow()).bind(2, std::string(kProgramVersion)).bind(3, identity.inventory);
    insert.bind(4, identity.regime).bind(5, stands);
    if (identity.inventoryTable.empty())
        insert.bindNull(6);
    else
        insert.bind(6, identity.inventoryTable);
    if (identity.shard.empty())
        insert.bindNull(7);
    else
        insert.bind(7, identity.shard);
    if (identity.inventoryRows)
        insert.bind(8, *identity.inventoryRows).bind(9, identity.inventoryHash);
    else
        insert.bindNull(8).bindNull(9);
    insert.run();
    return db_.lastInsertId();
}

std::optional<RunInfo> readRun(SqliteDb &db, int64_t runId)
{
    SqliteStatement q = db.prepare("SELECT run_id, started, finished, inventory, regime, stands, inventory_table, "
                                   "shard, inventory_rows, inventory_hash FROM tavelo_runs WHERE run_id = ?1");
    q.bind(1, runId);
    if (!q.step())
        return std::nullopt;
    RunInfo r;
    r.id = q.integer(0);
    r.started = q.text(1);
    r.finished = q.text(2);
    r.identity.inventory = q.text(3);
    r.identity.regime = q.text(4);
    r.stands = q.integer(5);
    r.identity.inventoryTable = q.text(6);
    r.identity.shard = q.text(7);
    if (!q.isNull(8))
        r.identity.inventoryRows = q.integer(8);
    r.identity.inventoryHash = q.text(9);
    return r;
}

std::optional<RunInfo> ResultsDb::unfinishedRun(const RunIdentity &identity)
{
    SqliteStatement q = db_.prepare(
        "SELECT max(run_id) FROM tavelo_runs WHERE finished IS NULL AND inventory = ?1 AND regime = ?2 AND "
        "coalesce(inventory_table, '') = ?3 AND coalesce(shard, '') = ?4");
    q.bind(1, identity.inventory).bind(2, identity.regime).bind(3, identity.inventoryTable).bind(4, identity.shard);
    if (!q.step() || q.isNull(0))
        return std::nullopt;
    return readRun(db_, q.integer(0));
}

std::optional<RunInfo> ResultsDb::latestFinishedRun()
{
    SqliteStatement q = db_.prepare("SELECT max(run_id) FROM tavelo_runs WHERE finished IS NOT NULL");
    if (!q.step() || q.isNull(0))
        return std::nullopt;
    return readRun(db_, q.integer(0));
}

std::vector<size_t> ResultsDb::completedPositions(int64_t runId)
{
    SqliteStatement q = db_.prepare("SELECT position FROM tavelo_stands WHERE run_id = ?1 ORDER BY position");
    q.bind(1, runId);
    std::vector<size_t> positions;
    while (q.step())
        positions.push_back(static_cast<size_t>(q.integer(0)));
    return positions;
}

SqliteStatement &ResultsDb::recordInsert(size_t rows)
{
    if (insertRecordRows_.size() < rows)
        insertRecordRows_.resize(rows);
    std::optional<SqliteStatement> &insert = insertRecordRows_[rows - 1];
    if (!insert) {
        std::string sql = "INSERT INTO " + std::string(kRecordTable.name) + " (run_id, " + columnList(kRecordTable) +
                          ") VALUES ";
        std::string one = "(?";
        for (int c = 1; c < kRecordInsertColumns; ++c)
            one += ", ?";
        one += ")";
        for (size_t row = 0; row < rows; ++row)
            sql += (row ? ", " : "") + one;
        insert.emplace(db_, sql);
    }
    return *insert;
}

void ResultsDb::addStands(int64_t runId, const std::vector<StandOutcome> &stands)
{
    SqliteTransaction tx(db_);
    for (const StandOutcome &stand : stands) {
        insertStand_->bind(1, runId).bind(2, static_cast<int64_t>(stand.position)).bind(3, stand.id);
        insertStand_->bind(4, static_cast<int64_t>(stand.line)).bind(5, std::string(standStatusName(stand.kind)));
        insertStand_->run();
        if (!stand.record.empty()) {
            SqliteStatement &insert = recordInsert(stand.record.size());
            for (size_t row = 0; row < stand.record.size(); ++row) {
                const int first = static_cast<int>(row) * kRecordInsertColumns;
                insert.bind(first + 1, runId).bind(first + 2, stand.id).bind(first + 3, static_cast<int64_t>(row + 1));
                for (int c = 0; c < kRecordColumns; ++c)
                    insert.bindShown(first + 4 + c, stand.record[row][c]);
            }
            insert.run();
        }
        for (const StandOutcome::Error &e : stand.errors) {
            insertError_->bind(1, runId).bind(2, stand.id).bind(3, static_cast<int64_t>(stand.line));
            insertError_->bind(4, e.status).bind(5, e.title).bind(6, e.text);
            insertError_->run();
        }
        if (stand.economics) {
            insertEconomics_->bind(1, runId).bind(2, stand.id).bindShown(3, stand.economics->npv);
            insertEconomics_->bindShown(4, stand.economics->eaa).bindShown(5, stand.economics->lev);
            insertEconomics_->run();
        }
        if (map_)
            map_->add(runId, stand);
        if (stand.carbon) {
            insertCarbon_->bind(1, runId).bind(2, stand.id).bindShown(3, stand.carbon->start);
            insertCarbon_->bindShown(4, stand.carbon->end).bindShown(5, stand.carbon->balance);
            insertCarbon_->bindShown(6, stand.carbon->meanStock);
            insertCarbon_->run();
        }
        for (const ManagementEvent &e : stand.events) {
            insertEvent_->bind(1, runId).bind(2, stand.id).bindShown(3, e.year).bindShown(4, e.age);
            insertEvent_->bind(5, std::string(eventKindName(e.kind))).bind(6, e.cause).bind(7, e.text);
            insertEvent_->run();
        }
    }
    if (map_)
        map_->updateExtent();
    tx.commit();
}

RunIdentity runIdentityOf(const std::filesystem::path &inventory, const std::string &layer,
                          const std::string &regime)
{
    std::error_code ec;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(inventory, ec);
    RunIdentity id;
    id.inventory = ec ? std::filesystem::absolute(inventory).string() : canonical.string();
    id.inventoryTable = layer;
    id.regime = regime;
    return id;
}

void ResultsDb::finishRun(int64_t runId)
{
    SqliteTransaction tx(db_);
    SqliteStatement update = db_.prepare("UPDATE tavelo_runs SET finished = ?1 WHERE run_id = ?2");
    update.bind(1, isoTimeNow()).bind(2, runId);
    update.run();
    if (geoPackage_)
        db_.exec("UPDATE gpkg_contents SET last_change = strftime('%Y-%m-%dT%H:%M:%fZ', 'now') "
                 "WHERE table_name LIKE 'tavelo\\_%' ESCAPE '\\'");
    tx.commit();
}

bool ResultsDb::copyRun(SqliteDb &from, int64_t fromRun, int64_t toRun)
{
    for (const ResultsTable *t : kResultsTables) {
        if (!t->perStand || !from.tableExists(t->name)) // a shard written before the table existed
            continue;
        const std::string columns = columnList(*t);
        SqliteStatement read = from.prepare("SELECT " + columns + " FROM " + t->name +
                                            " WHERE run_id = ?1 ORDER BY rowid");
        read.bind(1, fromRun);
        SqliteStatement write = db_.prepare(insertSql(*t));
        const int count = static_cast<int>(t->columns.size());
        while (read.step()) {
            write.bind(1, toRun);
            for (int c = 0; c < count; ++c)
                write.bindColumn(c + 2, read, c);
            write.run();
        }
    }
    // The map goes with the stands, between databases of one kind.
    const auto layer = ResultsMap::layerOf(from, geoPackage_);
    if (!layer)
        return !from.tableExists("tavelo_map");
    if (!map_)
        map_ = std::make_unique<ResultsMap>(db_, geoPackage_, *layer);
    map_->copyRun(from, fromRun, toRun);
    return true;
}

void saveBestRegimes(const std::filesystem::path &path, const RunIdentity &identity, int64_t stands,
                     const std::vector<std::vector<std::string>> &best,
                     const std::vector<std::vector<std::string>> &errors, int busyTimeoutMs)
{
    ResultsDb out(path, busyTimeoutMs);
    try {
        SqliteTransaction tx(out.db());
        const int64_t run = out.startRun(identity, stands);
        SqliteStatement insertBest = out.db().prepare(insertSql(kBestTable));
        for (const auto &row : best) {
            insertBest.bind(1, run);
            for (size_t c = 0; c < row.size() && c < 7; ++c) {
                if (c == 0 || c == 3)
                    insertBest.bind(static_cast<int>(c) + 2, row[c]);
                else
                    insertBest.bindShown(static_cast<int>(c) + 2, row[c]);
            }
            insertBest.run();
        }
        SqliteStatement insertError = out.db().prepare(insertErrorsCsvRow());
        for (const auto &row : errors) {
            insertError.bind(1, run);
            for (size_t c = 0; c < row.size() && c < 4; ++c)
                insertError.bind(static_cast<int>(c) + 2, row[c]);
            insertError.run();
        }
        SqliteStatement finished = out.db().prepare("UPDATE tavelo_runs SET finished = ?1 WHERE run_id = ?2");
        finished.bind(1, isoTimeNow()).bind(2, run);
        finished.run();
        tx.commit();
    } catch (const DatabaseError &e) {
        throw BatchOutputError(std::string("cannot write the results: ") + e.what());
    }
}

void savePlan(const std::filesystem::path &path, const RunIdentity &identity, int64_t stands,
              const std::vector<std::vector<std::string>> &plan, const std::vector<std::vector<std::string>> &periods,
              const std::vector<std::vector<std::string>> &errors, int busyTimeoutMs, const MapLayer *map,
              const std::vector<PlannedStand> *planned)
{
    ResultsDb out(path, busyTimeoutMs);
    try {
        SqliteTransaction tx(out.db());
        const int64_t run = out.startRun(identity, stands);
        // Cells in the CSV files' order; texts where the column is a text, numbers as shown otherwise.
        auto insertAll = [&](const std::string &sql, const std::vector<std::vector<std::string>> &rows,
                             std::initializer_list<size_t> textColumns) {
            SqliteStatement insert = out.db().prepare(sql);
            for (const auto &row : rows) {
                insert.bind(1, run);
                for (size_t c = 0; c < row.size(); ++c) {
                    const bool text = std::find(textColumns.begin(), textColumns.end(), c) != textColumns.end();
                    if (text)
                        insert.bind(static_cast<int>(c) + 2, row[c]);
                    else
                        insert.bindShown(static_cast<int>(c) + 2, row[c]);
                }
                insert.run();
            }
        };
        insertAll(insertSql(kPlanTable), plan, {0, 3});
        insertAll(insertSql(kPlanPeriodsTable), periods, {1});
        insertAll(insertErrorsCsvRow(), errors, {0, 1, 2, 3});
        if (map && planned) {
            ResultsMap layer(out.db(), out.geoPackage(), *map);
            for (const PlannedStand &p : *planned)
                layer.addPlanned(run, p);
            layer.updateExtent();
        }
        SqliteStatement finished = out.db().prepare("UPDATE tavelo_runs SET finished = ?1 WHERE run_id = ?2");
        finished.bind(1, isoTimeNow()).bind(2, run);
        finished.run();
        tx.commit();
    } catch (const DatabaseError &e) {
        throw BatchOutputError(std::string("cannot write the results: ") + e.what());
    }
}

DatabaseSink::DatabaseSink(const std::filesystem::path &path, const RunIdentity &identity, int64_t stands,
                           bool resume, int busyTimeoutMs, const MapLayer *map)
    : path_(path)
{
    db_.emplace(path, busyTimeoutMs);
    try {
        if (map)
            db_->enableMap(*map);
        if (resume) {
            if (const auto run = db_->unfinishedRun(identity)) {
                if (const std::string why = inventoryChange(run->identity, identity); !why.empty())
                    throw std::runtime_error("cannot resume run " + std::to_string(run->id) + " of " +
                                             path.string() + ": " + why +
                                             "; run without --resume to start a new run");
                runId_ = run->id;
                resumed_ = true;
                done_ = db_->completedPositions(runId_);
            }
        }
        if (!resumed_)
            runId_ = db_->startRun(identity, stands);
    } catch (const DatabaseError &e) {
        throw BatchOutputError(std::string("cannot write the results: ") + e.what());
    }
}

void DatabaseSink::add(const std::vector<StandOutcome> &stands)
{
    try {
        db_->addStands(runId_, stands);
    } catch (const DatabaseError &e) {
        throw BatchOutputError(std::string("cannot write the results: ") + e.what());
    }
}

void DatabaseSink::finish(bool complete)
{
    if (!complete)
        return; // left unfinished, for --resume
    try {
        db_->finishRun(runId_);
    } catch (const DatabaseError &e) {
        throw BatchOutputError(std::string("cannot write the results: ") + e.what());
    }
}

} // namespace tavelo
