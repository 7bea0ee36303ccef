// Results written in one go as one finished run: a search for best regimes
// and a forest plan.

#include "inventory/results_db.h"

#include "inventory/results_map.h"
#include "inventory/results_tables.h"

#include <algorithm>
#include <initializer_list>

namespace tavelo {

namespace {

// The run's end time, inside the save's own transaction.
void markFinished(ResultsDb &out, int64_t run)
{
    SqliteStatement finished = out.db().prepare("UPDATE tavelo_runs SET finished = ?1 WHERE run_id = ?2");
    finished.bind(1, isoTimeNow()).bind(2, run);
    finished.run();
}

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

} // namespace

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
        markFinished(out, run);
        tx.commit();
    } catch (const DatabaseError &e) {
        throw BatchOutputError(std::string("cannot write the results: ") + e.what());
    }
}

void savePlan(const std::filesystem::path &path, const RunIdentity &identity, int64_t stands,
              const std::vector<std::vector<std::string>> &plan, const std::vector<std::vector<std::string>> &periods,
              const std::vector<std::vector<std::string>> &errors, int busyTimeoutMs, const MapLayer *map,
              const std::vector<PlannedStand> *planned, const PlanSpatialTables *spatial,
              const std::vector<std::vector<std::string>> *front)
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
        if (spatial) {
            insertAll(insertSql(kPlanAdjacencyTable), spatial->adjacency, {0, 1});
            insertAll(insertSql(kPlanOpeningsTable), spatial->openings, {2});
        }
        if (front)
            insertAll(insertSql(kPlanFrontTable), *front, {});
        if (map && planned) {
            ResultsMap layer(out.db(), out.geoPackage(), *map);
            for (const PlannedStand &p : *planned)
                layer.addPlanned(run, p);
            layer.updateExtent();
            std::vector<std::string> periodLabels; // periods.csv's years
            for (const auto &row : periods)
                periodLabels.push_back(row.size() > 1 ? row[1] : std::string());
            layer.writePlanStyle(periodLabels);
        }
        markFinished(out, run);
        tx.commit();
    } catch (const DatabaseError &e) {
        throw BatchOutputError(std::string("cannot write the results: ") + e.what());
    }
}

} // namespace tavelo
