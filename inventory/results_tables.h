#pragma once

// Every table of the results database, defined once: its name, its columns
// with their SQL types, its key, its index, and the heading each column has
// in the CSV file that holds the same results. The schema, the check of an
// existing file, the merge's copy, the inserts and the CSV headers are all
// made from these definitions.

#include <span>
#include <string>
#include <vector>

namespace tavelo {

struct ResultsColumn {
    const char *name;       // as SQL names it
    const char *type;       // its SQL type and constraint: "INTEGER NOT NULL"
    const char *csvHeading; // in the CSV file; nullptr when the file has no such column
    bool quoted = false;    // a word SQL keeps for itself ("row", "end"), so written in quotes
    bool addedLater = false; // a file of an earlier version may lack it: added, not required
};

struct ResultsTable {
    const char *name;
    // After run_id (see ofARun).
    std::span<const ResultsColumn> columns;
    const char *key = nullptr;         // the natural key's columns ("run_id, position"), nullptr for none
    const char *index = nullptr;       // the name of the index on `indexColumns`, nullptr for none
    const char *indexColumns = nullptr;
    bool perStand = false;             // filled stand by stand by a batch run, so copied by a merge
    // Every table but tavelo_runs holds rows of a run: run_id first, and in a
    // GeoPackage an integer key of its own before it.
    bool ofARun = true;
    // One row a run, which a merge copies from its first shard only.
    bool onceARun = false;
};

// Each table; kResultsTables lists them in the order they are created.
extern const ResultsTable kRunsTable;
extern const ResultsTable kStandsTable;
extern const ResultsTable kRecordTable;
extern const ResultsTable kErrorsTable;
extern const ResultsTable kEconomicsTable;
extern const ResultsTable kCarbonTable;
extern const ResultsTable kEventsTable;
extern const ResultsTable kBestTable;
extern const ResultsTable kPlanTable;
extern const ResultsTable kPlanPeriodsTable;
extern const ResultsTable kPlanAdjacencyTable;
extern const ResultsTable kPlanOpeningsTable;
extern const ResultsTable kPlanFrontTable;
extern const ResultsTable kPlanStandsTable;
extern const ResultsTable kPlanCandidatesTable;
extern const ResultsTable kPlanLayerTable;
extern const std::span<const ResultsTable *const> kResultsTables;

// The view of the last record row of every stand, and the map layer (its
// columns are the map's own, see results_map.h).
inline constexpr const char *kFinalView = "tavelo_final";
inline constexpr const char *kMapTable = "tavelo_map";

// Every table, view and index the program may write into a results file,
// with its kind and the columns an existing table of that name must have.
struct ResultsObject {
    std::string name;
    const char *type; // "table", "view" or "index"
    std::vector<std::string> requiredColumns;
    std::string indexedTable; // an index: the table it must be on
};
std::vector<ResultsObject> resultsObjects();

// The record's columns as the record table stores them ("year, age, …"), with
// their SQL types when `withTypes` ("year INTEGER, age INTEGER, …").
std::string recordColumnsSql(bool withTypes);

// The column as written in SQL: in quotes when it must be.
std::string sqlColumnName(const ResultsColumn &column);
// The table's columns after run_id, as a list for SQL ("stand_id, npv, eaa, lev").
std::string columnList(const ResultsTable &table);
// CREATE TABLE IF NOT EXISTS for a plain SQLite file or, with its integer
// key and UNIQUE for the natural key, a GeoPackage.
std::string createTableSql(const ResultsTable &table, bool geoPackage);
// INSERT INTO the table, run_id first, with one numbered parameter a column.
std::string insertSql(const ResultsTable &table);
// The CSV file's header line, its headings in the table's order, with its
// line end.
std::string csvHeader(const ResultsTable &table);

} // namespace tavelo
