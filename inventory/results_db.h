#pragma once

// Batch results in a SQLite database or GeoPackage: one row per run in
// tavelo_runs, the record of every stand in tavelo_record, the stands that did
// not complete in tavelo_errors, each stand's completion in tavelo_stands, the
// value of each stand in tavelo_economics (when the regime has prices), what
// management rules decided in tavelo_events, the
// best regime of each stand in tavelo_best (a regime search), and
// the view tavelo_final (the last record row of every stand of the latest
// finished run that has record rows). The tables are defined in
// results_tables.h. Each stand is committed whole, with its completion, so an
// interrupted run never leaves half a stand and can be resumed.

#include "inventory/result_sink.h"
#include "inventory/sqlite_db.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavelo {

struct MapLayer;
class ResultsMap;

// What makes two runs the same run, for --resume and merge.
struct RunIdentity {
    std::string inventory;      // the inventory's absolute path
    std::string inventoryTable; // the table read, for a database inventory
    std::string regime;         // the regime file's JSON
    std::string shard;          // "K/N", or empty for the whole inventory
    // The inventory as read: its rows and a hash of their content (none for
    // a run recorded before they were kept, or a search for best regimes).
    std::optional<int64_t> inventoryRows;
    std::string inventoryHash;
};

// A run over `inventory` (its path made absolute, links resolved) read from
// `layer` under `regime` (the regime file's JSON); whole, no fingerprint.
RunIdentity runIdentityOf(const std::filesystem::path &inventory, const std::string &layer,
                          const std::string &regime);

// Why a run of `was` cannot be continued or merged with the inventory of
// `now`; empty when both read the same stands.
std::string inventoryChange(const RunIdentity &was, const RunIdentity &now);

struct RunInfo {
    int64_t id = 0;
    RunIdentity identity;
    std::string started;
    std::string finished; // empty while unfinished
    int64_t stands = 0;
};

// "K/N" read back; nothing when `shard` is not of that form with 1 <= K <= N.
struct ShardSpec {
    unsigned index = 1; // K, from 1
    unsigned count = 1; // N
};
std::optional<ShardSpec> parseShard(const std::string &shard);

// The current time in ISO 8601, UTC, to the second.
std::string isoTimeNow();

class ResultsDb {
public:
    // Opens or creates `path` with the results tables (a GeoPackage also gets
    // its metadata tables, and ours are registered as attribute tables).
    // Throws BatchOutputError when the file cannot be written, and
    // std::runtime_error, before anything is changed, when the file holds
    // tables or views of our names that are not ours.
    explicit ResultsDb(const std::filesystem::path &path, int busyTimeoutMs = kBusyTimeoutMs);
    // The same check of an existing file's tables, read only, for a run that
    // touches other outputs before it opens the results: throws
    // std::runtime_error when they are not ours. Nothing for a new file.
    static void checkExisting(const std::filesystem::path &path);
    // Whether the results could be written into `path`, for a run that opens
    // them only at its end: throws BatchOutputError when the file is
    // read-only or SQLite cannot read it, or when a new file's folder is
    // missing or cannot be written. Changes nothing.
    static void checkWritable(const std::filesystem::path &path);
    ~ResultsDb();
    ResultsDb(const ResultsDb &) = delete;
    ResultsDb &operator=(const ResultsDb &) = delete;

    bool geoPackage() const { return geoPackage_; }
    // Stands added from now on also go to the map layer tavelo_map.
    void enableMap(const MapLayer &layer);

    int64_t startRun(const RunIdentity &identity, int64_t stands);
    // The latest unfinished run with this identity.
    std::optional<RunInfo> unfinishedRun(const RunIdentity &identity);
    // The latest finished run.
    std::optional<RunInfo> latestFinishedRun();
    // The inventory positions a run has completed.
    std::vector<size_t> completedPositions(int64_t runId);
    // Everything of the stands, each with its completion, in one transaction:
    // a stand is there whole or not at all.
    void addStands(int64_t runId, const std::vector<StandOutcome> &stands);
    void finishRun(int64_t runId);

    // Copies everything of run `fromRun` of `from` into run `toRun` of this
    // database, inside the caller's transaction, its map too when both
    // databases are of one kind; false when a map was left out for that.
    // The tables of one row a run come from the first shard only.
    bool copyRun(SqliteDb &from, int64_t fromRun, int64_t toRun, bool firstShard);
    SqliteDb &db() { return db_; }

private:
    void setUp(const std::filesystem::path &path);
    void createSchema();
    SqliteDb db_;
    std::string journalModeBefore_;
    bool geoPackage_ = false;
    bool replaceFinalView_ = false; // the file holds tavelo_final as earlier versions defined it
    std::optional<SqliteStatement> insertStand_;
    // The record rows of a stand go in one statement, prepared once for each
    // number of rows: a statement a row spent about as long in SQLite's
    // statement machinery as in the insert itself.
    SqliteStatement &recordInsert(size_t rows);
    std::vector<std::optional<SqliteStatement>> insertRecordRows_;
    std::optional<SqliteStatement> insertError_;
    std::optional<SqliteStatement> insertEconomics_;
    std::unique_ptr<ResultsMap> map_;
    std::optional<SqliteStatement> insertCarbon_;
    std::optional<SqliteStatement> insertEvent_;
};

// Reads the run of a results database (--db without --out fills one).
std::optional<RunInfo> readRun(SqliteDb &db, int64_t runId);

// A search for every stand's best regime as one finished run: the rows of
// best.csv (id, objective, rotation age, schedule, npv, volume, sawlog) in
// tavelo_best and those of its errors.csv (id, status, title, text) in
// tavelo_errors, in one transaction. Throws BatchOutputError when `path`
// cannot be written.
void saveBestRegimes(const std::filesystem::path &path, const RunIdentity &identity, int64_t stands,
                     const std::vector<std::vector<std::string>> &best,
                     const std::vector<std::vector<std::string>> &errors, int busyTimeoutMs = kBusyTimeoutMs);

// A forest plan as one finished run: the rows of plan.csv in tavelo_plan,
// those of periods.csv in tavelo_plan_periods, those of front.csv (when
// given) in tavelo_plan_front and the stands without
// candidates in tavelo_errors, in one transaction. Throws BatchOutputError
// when `path` cannot be written.
// With `map` (an inventory with geometries) the planned stands also go to
// the map layer tavelo_map, with their regime, felling year and period.
// With `spatial`, the rows of adjacency.csv and openings.csv in
// tavelo_plan_adjacency and tavelo_plan_openings.
struct PlannedStand;
struct PlanSpatialTables {
    std::vector<std::vector<std::string>> adjacency, openings;
};
void savePlan(const std::filesystem::path &path, const RunIdentity &identity, int64_t stands,
              const std::vector<std::vector<std::string>> &plan, const std::vector<std::vector<std::string>> &periods,
              const std::vector<std::vector<std::string>> &errors, int busyTimeoutMs = kBusyTimeoutMs,
              const MapLayer *map = nullptr, const std::vector<PlannedStand> *planned = nullptr,
              const PlanSpatialTables *spatial = nullptr,
              const std::vector<std::vector<std::string>> *front = nullptr);

// A ResultSink into a results database: starts or resumes a run.
class DatabaseSink : public ResultSink {
public:
    // With `map` (an inventory with geometries) the stands also go to tavelo_map.
    DatabaseSink(const std::filesystem::path &path, const RunIdentity &identity, int64_t stands, bool resume,
                 int busyTimeoutMs, const MapLayer *map = nullptr);
    // The positions a resumed run has already done (empty for a new run).
    const std::vector<size_t> &alreadyDone() const { return done_; }
    bool resumed() const { return resumed_; }
    int64_t runId() const { return runId_; }
    void add(const std::vector<StandOutcome> &stands) override;
    void finish(bool complete) override;

private:
    std::filesystem::path path_;
    std::optional<ResultsDb> db_;
    int64_t runId_ = 0;
    bool resumed_ = false;
    std::vector<size_t> done_;
};

} // namespace tavelo
