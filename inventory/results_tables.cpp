#include "results_tables.h"

#include "session/structure/sim_record.h"

#include <array>

namespace tavelo {

namespace {

constexpr ResultsColumn kRunsColumns[] = {
    {"run_id", "INTEGER PRIMARY KEY AUTOINCREMENT", nullptr},
    {"started", "TEXT", nullptr},
    {"finished", "TEXT", nullptr},
    {"program_version", "TEXT", nullptr},
    {"inventory", "TEXT", nullptr},
    {"regime", "TEXT", nullptr},
    {"stands", "INTEGER", nullptr},
    {"inventory_table", "TEXT", nullptr},
    {"shard", "TEXT", nullptr},
    // The inventory's fingerprint, which runs of the first versions did not keep.
    {"inventory_rows", "INTEGER", nullptr, false, true},
    {"inventory_hash", "TEXT", nullptr, false, true},
};

constexpr ResultsColumn kStandsColumns[] = {
    {"position", "INTEGER NOT NULL", nullptr},
    {"stand_id", "TEXT", nullptr},
    {"line", "INTEGER", nullptr},
    {"status", "TEXT", nullptr},
};

constexpr const char *recordColumnType(RecordColumn column)
{
    switch (column) {
    case RecordColumn::Year:
    case RecordColumn::Age: return "INTEGER";
    case RecordColumn::Code: return "TEXT";
    default: return "REAL";
    }
}

// The stand, the row's number, then the record's own columns with their
// stored names and, in record.csv, their headings.
constexpr std::array<ResultsColumn, 2 + kRecordColumns> kRecordColumnsDefined = [] {
    std::array<ResultsColumn, 2 + kRecordColumns> columns{};
    columns[0] = {"stand_id", "TEXT NOT NULL", "id"};
    columns[1] = {"row", "INTEGER NOT NULL", nullptr, true};
    for (size_t c = 0; c < kRecordColumnNames.size(); ++c)
        columns[2 + c] = {kRecordColumnNames[c].stored, recordColumnType(kRecordColumnNames[c].column),
                          kRecordColumnNames[c].heading};
    return columns;
}();

constexpr ResultsColumn kErrorsColumns[] = {
    {"stand_id", "TEXT", "id"},
    {"line", "INTEGER", nullptr},
    {"status", "TEXT", "status"},
    {"title", "TEXT", "title"},
    {"text", "TEXT", "text"},
};

constexpr ResultsColumn kEconomicsColumns[] = {
    {"stand_id", "TEXT NOT NULL", "id"},
    {"npv", "REAL", "npv"},
    {"eaa", "REAL", "eaa"},
    {"lev", "REAL", "lev"},
};

// t C/ha.
constexpr ResultsColumn kCarbonColumns[] = {
    {"stand_id", "TEXT NOT NULL", "id"},
    {"start", "REAL", "start"},
    {"end", "REAL", "end", true},
    {"balance", "REAL", "balance"},
    {"mean_stock", "REAL", "meanStock"},
};

constexpr ResultsColumn kEventsColumns[] = {
    {"stand_id", "TEXT NOT NULL", "id"},
    {"year", "INTEGER", "year"},
    {"age", "INTEGER", "age"},
    {"event", "TEXT", "event"},
    {"cause", "TEXT", "cause"},
    {"text", "TEXT", "text"},
};

constexpr ResultsColumn kBestColumns[] = {
    {"stand_id", "TEXT NOT NULL", "id"},
    {"objective", "REAL", "objective"},
    {"rotation_age", "REAL", "rotationAge"},
    {"schedule", "TEXT", "schedule"},
    {"npv", "REAL", "npv"},
    {"volume", "REAL", "volume"},
    {"sawlog", "REAL", "sawlog"},
};

constexpr ResultsColumn kPlanColumns[] = {
    {"stand_id", "TEXT NOT NULL", "stand"},
    {"area", "REAL", "area"},
    {"candidate", "INTEGER", "candidate"},
    {"schedule", "TEXT", "schedule"},
    {"value", "REAL", "value"},
    {"felling_year", "INTEGER", "fellingYear"},
    {"carbon", "REAL", "carbon", false, true}, // t C, the mean stock over the horizon
};

constexpr ResultsColumn kPlanPeriodsColumns[] = {
    {"period", "INTEGER NOT NULL", "period"},
    {"years", "TEXT", "years"},
    {"total", "REAL", "total"},
    {"sawlog", "REAL", "sawlog"},
    {"roundwood", "REAL", "roundwood"},
    {"firewood", "REAL", "firewood"},
    {"revenue", "REAL", "revenue"},
    {"standing_at_end", "REAL", "standingAtEnd"},
    {"carbon_at_end", "REAL", "carbonAtEnd", false, true}, // t C, the stands and their products
    // With the neighbours' rule, the revenue of the plan solved without it: where the rule costs.
    {"revenue_without_rule", "REAL", "revenueWithoutRule", false, true},
};

// The front between value and carbon: its points by carbon, the anchors first and last.
constexpr ResultsColumn kPlanFrontColumns[] = {
    {"point", "INTEGER NOT NULL", "point"},
    {"carbon_t_per_ha", "REAL", "carbon_t_per_ha"},
    {"value", "REAL", "value"},
    {"value_loss_pct", "REAL", "value_loss_pct"},
    {"carbon_gain_pct", "REAL", "carbon_gain_pct"},
    {"gap_pct", "REAL", "gap_pct"},
    {"knee", "INTEGER", "knee"},
};

// Gathered candidates, for a plan solved later (plan --candidates): each
// planned stand, its outline as well-known binary with its envelope, and each
// candidate with its per-period figures packed as little-endian doubles (see
// plan_candidate_store.h), which read back exactly.
constexpr ResultsColumn kPlanStandsColumns[] = {
    {"position", "INTEGER NOT NULL", nullptr},
    {"stand_id", "TEXT NOT NULL", nullptr},
    {"area", "REAL", nullptr},
    {"standing_initial", "REAL", nullptr},
    {"outline", "BLOB", nullptr},
    {"min_x", "REAL", nullptr},
    {"min_y", "REAL", nullptr},
    {"max_x", "REAL", nullptr},
    {"max_y", "REAL", nullptr},
};

constexpr ResultsColumn kPlanCandidatesColumns[] = {
    {"position", "INTEGER NOT NULL", nullptr},
    {"candidate", "INTEGER NOT NULL", nullptr},
    {"schedule", "TEXT", nullptr},
    {"value", "REAL", nullptr},
    {"felling_year", "INTEGER", nullptr},
    {"standing_at_horizon", "REAL", nullptr},
    {"carbon", "REAL", nullptr},
    {"periods", "BLOB", nullptr},
};

// The inventory layer's geometry type and reference system.
constexpr ResultsColumn kPlanLayerColumns[] = {
    {"geometry_type", "TEXT", nullptr},
    {"crs_organization", "TEXT", nullptr},
    {"crs_code", "INTEGER", nullptr},
    {"crs_wkt", "TEXT", nullptr},
};

// A plan under a spatial rule: its neighbours, and the openings its fellings make.
constexpr ResultsColumn kPlanAdjacencyColumns[] = {
    {"stand_a", "TEXT NOT NULL", "stand_a"},
    {"stand_b", "TEXT NOT NULL", "stand_b"},
    {"shared_boundary_m", "REAL", "shared_boundary_m"},
};

constexpr ResultsColumn kPlanOpeningsColumns[] = {
    {"opening_id", "INTEGER NOT NULL", "opening"},
    {"period", "INTEGER", "period"},
    {"stands", "TEXT", "stands"},
    {"area", "REAL", "area"},
};

} // namespace

const ResultsTable kRunsTable{"tavelo_runs", kRunsColumns, nullptr, nullptr, nullptr, false, false};
const ResultsTable kStandsTable{"tavelo_stands", kStandsColumns, "run_id, position", nullptr, nullptr, true};
const ResultsTable kRecordTable{"tavelo_record", kRecordColumnsDefined, "run_id, stand_id, \"row\"", nullptr,
                                nullptr, true};
const ResultsTable kErrorsTable{"tavelo_errors", kErrorsColumns, nullptr, "tavelo_errors_run", "run_id", true};
// Filled when the regime has prices and costs.
const ResultsTable kEconomicsTable{"tavelo_economics", kEconomicsColumns, "run_id, stand_id", nullptr, nullptr,
                                   true};
// Filled when the regime has a carbon section.
const ResultsTable kCarbonTable{"tavelo_carbon", kCarbonColumns, "run_id, stand_id", nullptr, nullptr, true};
// Filled under management rules: what they decided for each stand, in order.
const ResultsTable kEventsTable{"tavelo_events", kEventsColumns, nullptr, "tavelo_events_run", "run_id, stand_id",
                                true};
// Filled by a search for every stand's best regime.
const ResultsTable kBestTable{"tavelo_best", kBestColumns, "run_id, stand_id"};
// Filled by a forest plan: each stand's chosen candidate, and the harvest per period.
const ResultsTable kPlanTable{"tavelo_plan", kPlanColumns, "run_id, stand_id"};
const ResultsTable kPlanPeriodsTable{"tavelo_plan_periods", kPlanPeriodsColumns, "run_id, period"};
const ResultsTable kPlanAdjacencyTable{"tavelo_plan_adjacency", kPlanAdjacencyColumns, "run_id, stand_a, stand_b"};
const ResultsTable kPlanOpeningsTable{"tavelo_plan_openings", kPlanOpeningsColumns, "run_id, opening_id"};
const ResultsTable kPlanFrontTable{"tavelo_plan_front", kPlanFrontColumns, "run_id, point"};
// Filled by gathering a plan's candidates, stand by stand, so copied by a merge.
const ResultsTable kPlanStandsTable{"tavelo_plan_stands", kPlanStandsColumns, "run_id, position", nullptr, nullptr,
                                    true};
const ResultsTable kPlanCandidatesTable{"tavelo_plan_candidates", kPlanCandidatesColumns,
                                        "run_id, position, candidate", nullptr, nullptr, true};
const ResultsTable kPlanLayerTable{"tavelo_plan_layer", kPlanLayerColumns, "run_id", nullptr, nullptr, false, true,
                                   true};

namespace {

constexpr std::array<const ResultsTable *, 16> kAllTables = {
    &kRunsTable,          &kStandsTable,       &kRecordTable,     &kErrorsTable,     &kEconomicsTable,
    &kCarbonTable,        &kEventsTable,       &kBestTable,       &kPlanTable,       &kPlanPeriodsTable,
    &kPlanAdjacencyTable, &kPlanOpeningsTable, &kPlanFrontTable,  &kPlanStandsTable, &kPlanCandidatesTable,
    &kPlanLayerTable};

} // namespace

const std::span<const ResultsTable *const> kResultsTables = kAllTables;

std::vector<ResultsObject> resultsObjects()
{
    std::vector<ResultsObject> objects;
    for (const ResultsTable *table : kResultsTables) {
        ResultsObject o{table->name, "table", {}, {}};
        if (table->ofARun)
            o.requiredColumns.emplace_back("run_id");
        for (const ResultsColumn &c : table->columns)
            if (!c.addedLater)
                o.requiredColumns.emplace_back(c.name);
        objects.push_back(std::move(o));
        if (table->index)
            objects.push_back({table->index, "index", {}, table->name});
    }
    objects.push_back({kFinalView, "view", {}, {}});
    // The columns that tell the map of a run.
    objects.push_back({kMapTable, "table", {"run_id", "position", "stand_id", "status"}, {}});
    return objects;
}

std::string recordColumnsSql(bool withTypes)
{
    std::string sql;
    for (const RecordColumnName &c : kRecordColumnNames) {
        if (!sql.empty())
            sql += ", ";
        sql += c.stored;
        if (withTypes)
            sql += std::string(" ") + recordColumnType(c.column);
    }
    return sql;
}

std::string sqlColumnName(const ResultsColumn &column)
{
    return column.quoted ? "\"" + std::string(column.name) + "\"" : std::string(column.name);
}

std::string columnList(const ResultsTable &table)
{
    std::string list;
    for (const ResultsColumn &c : table.columns) {
        if (table.ofARun || std::string_view(c.name) != "run_id")
            list += (list.empty() ? "" : ", ") + sqlColumnName(c);
    }
    return list;
}

std::string createTableSql(const ResultsTable &table, bool geoPackage)
{
    // A GeoPackage wants an integer key on every attribute table; elsewhere the
    // natural keys are the primary keys.
    std::string sql = "CREATE TABLE IF NOT EXISTS " + std::string(table.name) + " (";
    if (table.ofARun)
        sql += std::string(geoPackage ? "fid INTEGER PRIMARY KEY AUTOINCREMENT, " : "") + "run_id INTEGER NOT NULL";
    bool first = !table.ofARun;
    for (const ResultsColumn &c : table.columns) {
        sql += (first ? "" : ", ") + sqlColumnName(c) + " " + c.type;
        first = false;
    }
    if (table.key)
        sql += std::string(", ") + (geoPackage ? "UNIQUE" : "PRIMARY KEY") + " (" + table.key + ")";
    return sql + ")";
}

std::string insertSql(const ResultsTable &table)
{
    std::string columns = table.ofARun ? "run_id" : "";
    std::string values;
    int n = 0;
    if (table.ofARun)
        values = "?" + std::to_string(++n);
    for (const ResultsColumn &c : table.columns) {
        if (!table.ofARun && std::string_view(c.name) == "run_id")
            continue;
        columns += (columns.empty() ? "" : ", ") + sqlColumnName(c);
        values += (values.empty() ? "?" : ", ?") + std::to_string(++n);
    }
    return "INSERT INTO " + std::string(table.name) + " (" + columns + ") VALUES (" + values + ")";
}

std::string csvHeader(const ResultsTable &table)
{
    std::string header;
    for (const ResultsColumn &c : table.columns)
        if (c.csvHeading)
            header += (header.empty() ? "" : ",") + std::string(c.csvHeading);
    return header + "\n";
}

} // namespace tavelo
