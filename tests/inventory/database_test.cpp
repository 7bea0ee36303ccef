// Batch runs over inventories in SQLite databases and GeoPackages, with their
// results written into one: the rows equal the CSV output, an interrupted run
// resumes to the same result, shards merge into one run, and a database that
// cannot be written is reported without losing what was committed.

#include "inventory/batch.h"
#include "inventory/merge.h"
#include "inventory/results_db.h"
#include "inventory/sqlite_db.h"
#include "base/csv.h"
#include "support/cli_test_support.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace tavelo::test {
namespace {

// Every route, a stand refused, one the model ends, a repeated id, a comma in an id.
const char *kInventory =
    "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95\n"
    "p1,12,9,,1500,,,,,\n"
    "a1,10,,Média,,1100.5,,,,\n"
    "t1,25,13,,,,601,22,9,31\n"
    "zero,12,9,,0,,,,,\n"
    "over,14,,Muito Elevada,2500,,,,,\n"
    "\"q,1\",14,,Elevada,1200,,,,,\n"
    "nodensity,12,9,,,,,,,\n"
    "p1,13,9,,1300,,,,,\n"
    "h,13,9.5,,1400,,,,,\n"
    "young,9,8,,1500,,,,,\n";

Regime regime()
{
    return std::get<Regime>(parseRegime(kTwoThinningsRegime, "2026"));
}

// The CSV inventory as a table: typed columns in another order and case, a
// geometry column, empty cells as NULL (a number column turns "9" into an
// INTEGER and "9.5" into a REAL).
void csvToTable(const fs::path &file, const std::string &table, const std::string &csv)
{
    SqliteDb db(file, SqliteDb::Mode::ReadWrite);
    db.exec("CREATE TABLE " + sqlIdentifier(table) +
            " (fid INTEGER PRIMARY KEY, geom BLOB, P95 REAL, MinDiameter REAL, basalArea REAL, trees INTEGER, "
            "alive REAL, planted INTEGER, qualityClass TEXT, dominantHeight REAL, age INTEGER, id TEXT)");
    SqliteStatement insert = db.prepare(
        "INSERT INTO " + sqlIdentifier(table) +
        " (geom, id, age, dominantHeight, qualityClass, planted, alive, trees, basalArea, MinDiameter, P95) "
        "VALUES (x'00', ?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        const auto cells = splitCsvLine(line);
        ASSERT_TRUE(cells && cells->size() == 10) << line;
        for (int c = 0; c < 10; ++c) {
            if ((*cells)[c].empty())
                insert.bindNull(c + 1);
            else
                insert.bind(c + 1, (*cells)[c]);
        }
        insert.run();
    }
}

// Rows of a query, cells as typed text, "|" between cells, one line each.
std::string dump(const fs::path &file, const std::string &sql, int64_t runId)
{
    SqliteDb db(file, SqliteDb::Mode::ReadOnly);
    SqliteStatement q = db.prepare(sql);
    if (sql.find("?1") != std::string::npos)
        q.bind(1, runId);
    std::string out;
    while (q.step()) {
        for (int c = 0; c < q.columns(); ++c)
            out += (c ? "|" : "") + q.typedText(c).value_or("<blob>");
        out += "\n";
    }
    return out;
}

int64_t scalar(const fs::path &file, const std::string &sql)
{
    SqliteDb db(file, SqliteDb::Mode::ReadOnly);
    SqliteStatement q = db.prepare(sql);
    return q.step() ? q.integer(0) : -1;
}

// Everything a run holds, in key order, so that runs made in any order compare.
std::string runContents(const fs::path &file, int64_t runId)
{
    return dump(file,
                "SELECT stand_id, \"row\", year, age, code, trees, basal_area, height, v_total, v_roundwood, "
                "v_sawlog, v_firewood FROM tavelo_record WHERE run_id = ?1 ORDER BY stand_id, \"row\"",
                runId) +
           dump(file,
                "SELECT stand_id, line, status, title, text FROM tavelo_errors WHERE run_id = ?1 "
                "ORDER BY line, status",
                runId) +
           dump(file,
                "SELECT position, stand_id, line, status FROM tavelo_stands WHERE run_id = ?1 ORDER BY position",
                runId);
}

BatchSummary runInto(const fs::path &inventory, const fs::path &out, const fs::path &db, BatchOptions options = {})
{
    options.database = db;
    if (!options.jobs)
        options.jobs = 2;
    options.regimeJson = kTwoThinningsRegime;
    return runBatch(inventory, regime(), out, options);
}

// --- Reading ------------------------------------------------------------------------

TEST(DatabaseCells, BecomeWhatAUserWouldType)
{
    TempFolder dir;
    SqliteDb db(dir / "cells.sqlite", SqliteDb::Mode::ReadWrite);
    const struct {
        const char *sql;
        std::optional<std::string> text;
    } cases[] = {
        {"SELECT 12", "12"},           {"SELECT 9.5", "9.5"},       {"SELECT 1500.0", "1500"},
        {"SELECT 0.1", "0.1"},         {"SELECT -3", "-3"},         {"SELECT 'Média'", "Média"},
        {"SELECT ' 12 '", " 12 "},     {"SELECT NULL", ""},         {"SELECT 1.0/3", "0.3333333333333333"},
        {"SELECT x'3132'", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        SqliteStatement q = db.prepare(c.sql);
        ASSERT_TRUE(q.step());
        EXPECT_EQ(q.typedText(0), c.text);
    }
}

TEST(DatabaseInventory, RunsLikeTheSameCsv)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kInventory);
    csvToTable(dir / "stands.sqlite", "talhoes", kInventory);
    BatchOptions options;
    options.table = "talhoes";
    const BatchSummary fromDb = runInto(dir / "stands.sqlite", dir / "db", "", options);
    const BatchSummary fromCsv = runInto(dir / "stands.csv", dir / "csv", "");
    EXPECT_EQ(readBytes(dir / "db" / "record.csv"), readBytes(dir / "csv" / "record.csv"));
    EXPECT_EQ(fromDb.done, fromCsv.done);
    // A view has no row numbers of its own; it is read in its own order.
    SqliteDb(dir / "stands.sqlite", SqliteDb::Mode::ReadWrite).exec("CREATE VIEW vista AS SELECT * FROM talhoes");
    options.table = "vista";
    runInto(dir / "stands.sqlite", dir / "view", "", options);
    EXPECT_EQ(readBytes(dir / "view" / "record.csv"), readBytes(dir / "csv" / "record.csv"));
    EXPECT_EQ(fromDb.refused, 3u);
    EXPECT_EQ(fromDb.malformed, 2u);
    for (const char *id : {"p1", "a1", "t1", "q,1", "over", "h"})
        EXPECT_EQ(readBytes(dir / "db" / (std::string(id) + ".txt")),
                  readBytes(dir / "csv" / (std::string(id) + ".txt")))
            << id;
    // A table row is counted from 1, a CSV line from the header.
    EXPECT_NE(readBytes(dir / "db" / "errors.csv").find("nodensity,malformed,,\"line 7: give one density"),
              std::string::npos);
    EXPECT_NE(readBytes(dir / "csv" / "errors.csv").find("nodensity,malformed,,\"line 8: give one density"),
              std::string::npos);
}

TEST(DatabaseInventory, WithoutTheTableOrAColumnIsRefusedWhole)
{
    TempFolder dir;
    {
        SqliteDb db(dir / "s.db", SqliteDb::Mode::ReadWrite);
        db.exec("CREATE TABLE stands (id TEXT, age INTEGER, dominantHeight REAL)");
    }
    writeBytes(dir / "regime.json", kTwoThinningsRegime);
    const CliRun noColumn = runCli({"batch", "s.db", "--regime", "regime.json", "--db", "r.db"}, dir);
    EXPECT_EQ(noColumn.status, 1);
    EXPECT_NE(noColumn.err.find("layer \"stands\": column \"qualityClass\" missing"), std::string::npos)
        << noColumn.err;
    const CliRun noTable =
        runCli({"batch", "s.db", "--table", "parcelas", "--regime", "regime.json", "--db", "r.db"}, dir);
    EXPECT_EQ(noTable.status, 1);
    EXPECT_NE(noTable.err.find("no layer \"parcelas\" (its layers: \"stands\")"), std::string::npos) << noTable.err;
    EXPECT_FALSE(fs::exists(dir / "r.db"));
}

TEST(DatabaseInventory, BadCellsLandInErrorsWithTheirRow)
{
    TempFolder dir;
    {
        SqliteDb db(dir / "s.sqlite", SqliteDb::Mode::ReadWrite);
        db.exec("CREATE TABLE stands (id TEXT, age INTEGER, dominantHeight REAL, qualityClass TEXT, planted INTEGER, "
                "alive REAL, trees INTEGER, basalArea REAL, minDiameter REAL, p95 REAL)");
        db.exec("INSERT INTO stands (id, age, dominantHeight, planted) VALUES "
                "('ok', 12, 9, 1500), (NULL, 12, 9, 1500), ('txt', 'doze', 9, 1500), ('ok', 13, 9, 1300), "
                "('bin', 12, 9, x'01'), ('h', 12, 9.5, '1500.0')");
    }
    const BatchSummary s = runInto(dir / "s.sqlite", "", dir / "r.sqlite");
    EXPECT_EQ(s.done, 2u);
    EXPECT_EQ(dump(dir / "r.sqlite", "SELECT stand_id, line, status, title, text FROM tavelo_errors ORDER BY line", 0),
              "|2|malformed||the id must be a usable file name (no \"/\", \"\\\" or control characters)\n"
              "txt|3|malformed||GDAL: Value 'doze' of field stands.age parsed incompletely to integer 0.\n"
              "ok|4|malformed||the id \"ok\" was already used\n"
              "bin|5|malformed||column \"planted\" holds binary data, not a number\n");
    EXPECT_EQ(dump(dir / "r.sqlite", "SELECT DISTINCT stand_id FROM tavelo_record ORDER BY stand_id", 0), "h\nok\n");
}

TEST(DatabaseInventory, ItsOwnFileTakesTheResultsAndKeepsItsTable)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kInventory);
    csvToTable(dir / "stands.sqlite", "stands", kInventory);
    const std::string table = "SELECT hex(geom), * FROM stands ORDER BY fid";
    const std::string before = dump(dir / "stands.sqlite", table, 0);
    runInto(dir / "stands.sqlite", "", dir / "stands.sqlite");
    runInto(dir / "stands.csv", "", dir / "apart.sqlite");
    EXPECT_EQ(dump(dir / "stands.sqlite", table, 0), before);
    // The same results as from the CSV, except the rows, counted from 1 here.
    EXPECT_EQ(dump(dir / "stands.sqlite", "SELECT stand_id, \"row\", v_total FROM tavelo_record ORDER BY rowid", 0),
              dump(dir / "apart.sqlite", "SELECT stand_id, \"row\", v_total FROM tavelo_record ORDER BY rowid", 0));
    EXPECT_EQ(dump(dir / "stands.sqlite", "SELECT stand_id, line + 1, status FROM tavelo_errors ORDER BY rowid", 0),
              dump(dir / "apart.sqlite", "SELECT stand_id, line, status FROM tavelo_errors ORDER BY rowid", 0));
}

// --- Writing ------------------------------------------------------------------------

TEST(ResultsDatabase, RowsEqualTheCsvOutputOfTheSameRun)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kInventory);
    runInto(dir / "stands.csv", dir / "out", dir / "r.sqlite");

    // record.csv read back through the database's types.
    std::istringstream csv(readBytes(dir / "out" / "record.csv"));
    std::string line;
    std::getline(csv, line);
    std::string expected;
    std::map<std::string, int> rowOf;
    while (std::getline(csv, line)) {
        auto cells = *splitCsvLine(line);
        expected += cells[0] + "|" + std::to_string(++rowOf[cells[0]]);
        for (size_t c = 1; c < cells.size(); ++c)
            expected += "|" + (c == 3 ? cells[c] : shortestNumberText(std::stod(cells[c])));
        expected += "\n";
    }
    EXPECT_EQ(dump(dir / "r.sqlite",
                   "SELECT stand_id, \"row\", year, age, code, trees, basal_area, height, v_total, v_roundwood, "
                   "v_sawlog, v_firewood FROM tavelo_record ORDER BY rowid",
                   0),
              expected);
    EXPECT_GT(rowOf.size(), 4u);
    EXPECT_EQ(scalar(dir / "r.sqlite", "SELECT typeof(year) = 'integer' AND typeof(trees) = 'real' FROM tavelo_record"),
              1);

    // errors.csv with the line apart.
    std::istringstream errors(readBytes(dir / "out" / "errors.csv"));
    std::getline(errors, line);
    std::string expectedErrors;
    while (std::getline(errors, line)) {
        const auto cells = *splitCsvLine(line);
        std::string text = cells[3];
        if (cells[1] == "malformed")
            text = text.substr(text.find(": ") + 2);
        expectedErrors += cells[0] + "|" + cells[1] + "|" + cells[2] + "|" + text + "\n";
    }
    EXPECT_EQ(dump(dir / "r.sqlite", "SELECT stand_id, status, title, text FROM tavelo_errors ORDER BY rowid", 0),
              expectedErrors);

    // The run, and the last row of each stand that has a record.
    EXPECT_EQ(dump(dir / "r.sqlite", "SELECT run_id, program_version, stands, regime, shard FROM tavelo_runs", 0),
              std::string("1|2.0.0|10|") + kTwoThinningsRegime + "|\n");
    EXPECT_EQ(scalar(dir / "r.sqlite", "SELECT count(*) FROM tavelo_runs WHERE finished >= started AND started "
                                       "GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]T*Z'"),
              1);
    EXPECT_EQ(dump(dir / "r.sqlite", "SELECT stand_id, \"row\", age, code FROM tavelo_final ORDER BY stand_id", 0),
              "a1|5|25|AD\nh|8|38|AD\nover|4|24|AD\np1|8|37|AD\nq,1|8|39|AD\nt1|8|50|AD\n");
}

TEST(ResultsDatabase, TheValueOfEveryStandEqualsEconomicsCsv)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kInventory);
    std::string json = kTwoThinningsRegime;
    json.insert(json.rfind('}'), R"(, "economics": {"prices": {"sawlog": "45", "roundwood": "30", "firewood": "8"},
      "costs": {"thinning": "250", "finalFelling": "400", "perCubicMetre": "4", "annual": "15",
                "establishment": "1200"}, "discountRate": "3"})");
    writeBytes(dir / "regime.json", json);
    const CliRun run = runCli({"batch", "stands.csv", "--regime", "regime.json", "--out", "out", "--db", "r.gpkg"},
                              dir);
    ASSERT_EQ(run.status, 0) << run.err;

    std::istringstream csv(readBytes(dir / "out" / "economics.csv"));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "id,npv,eaa,lev");
    std::string expected;
    while (std::getline(csv, line)) {
        const auto cells = *splitCsvLine(line);
        expected += cells[0];
        for (size_t c = 1; c < cells.size(); ++c)
            expected += "|" + (cells[c].empty() ? "" : shortestNumberText(std::stod(cells[c])));
        expected += "\n";
    }
    EXPECT_GE(std::count(expected.begin(), expected.end(), '\n'), 3);
    EXPECT_EQ(dump(dir / "r.gpkg", "SELECT stand_id, npv, eaa, lev FROM tavelo_economics ORDER BY rowid", 0),
              expected);
    // Only a stand planted has a land expectation value.
    EXPECT_EQ(scalar(dir / "r.gpkg", "SELECT count(*) FROM tavelo_economics WHERE lev IS NOT NULL AND stand_id "
                                     "NOT IN ('p1', 'q,1', 'h')"),
              0);
}

TEST(ResultsDatabase, ASearchForTheBestRegimesEqualsBestCsv)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kInventory);
    writeBytes(dir / "regime.json", R"({"options": {"volumes": "com casca", "year": "2026"}, "steps": ["project"]})");
    writeBytes(dir / "space.json", R"({"rotation": {"from": "30", "to": "40"},
      "thinnings": {"max": "1", "mechanical": ["30"], "below": ["14"]}})");
    const CliRun run = runCli({"batch", "stands.csv", "--regime", "regime.json", "--out", "out", "--optimize",
                               "space.json", "--objective", "volume", "--db", "r.gpkg"},
                              dir);
    ASSERT_EQ(run.status, 0) << run.err;

    // best.csv and errors.csv read back through the database's types.
    auto asRows = [](const std::string &csv, const std::vector<size_t> &texts) {
        std::istringstream in(csv);
        std::string line, out;
        std::getline(in, line);
        while (std::getline(in, line)) {
            const auto cells = *splitCsvLine(line);
            for (size_t c = 0; c < cells.size(); ++c) {
                const bool text = std::find(texts.begin(), texts.end(), c) != texts.end();
                out += (c ? "|" : "") + (text || cells[c].empty() ? cells[c] : shortestNumberText(std::stod(cells[c])));
            }
            out += "\n";
        }
        return out;
    };
    const std::string best = asRows(readBytes(dir / "out" / "best.csv"), {0, 3});
    EXPECT_GE(std::count(best.begin(), best.end(), '\n'), 4);
    EXPECT_EQ(dump(dir / "r.gpkg",
                   "SELECT stand_id, objective, rotation_age, schedule, npv, volume, sawlog FROM tavelo_best "
                   "ORDER BY rowid",
                   0),
              best);
    EXPECT_EQ(dump(dir / "r.gpkg", "SELECT stand_id, status, title, text FROM tavelo_errors ORDER BY rowid", 0),
              asRows(readBytes(dir / "out" / "errors.csv"), {0, 1, 2, 3}));
    EXPECT_EQ(dump(dir / "r.gpkg", "SELECT stands, finished IS NOT NULL FROM tavelo_runs", 0), "10|1\n");

    const CliRun badDb = runCli({"batch", "stands.csv", "--regime", "regime.json", "--out", "out2", "--optimize",
                                 "space.json", "--objective", "volume", "--db", "missing/r.db"},
                                dir);
    EXPECT_EQ(badDb.status, 4) << badDb.err;
}

TEST(ResultsDatabase, AloneWritesNoLogsAndALaterRunIsTheFinalOne)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kInventory);
    runInto(dir / "stands.csv", "", dir / "r.db");
    const std::string first = runContents(dir / "r.db", 1);
    for (const auto &e : fs::directory_iterator(dir.path()))
        EXPECT_NE(e.path().extension(), ".txt") << e.path();
    // Not putting the logs together changes nothing else.
    runInto(dir / "stands.csv", dir / "out", dir / "with-logs.db");
    EXPECT_EQ(runContents(dir / "with-logs.db", 1), first);
    EXPECT_TRUE(fs::exists(dir / "out" / "p1.txt"));

    writeBytes(dir / "stands.csv", std::string(kInventory).substr(0, std::string(kInventory).find("a1,")));
    runInto(dir / "stands.csv", "", dir / "r.db");
    EXPECT_EQ(runContents(dir / "r.db", 1), first);
    EXPECT_EQ(dump(dir / "r.db", "SELECT run_id, stand_id FROM tavelo_final", 0), "2|p1\n");
}

// A plan or a search for best regimes records no rows: tavelo_final stays on
// the latest run that did, also in a file whose view an earlier version wrote.
TEST(ResultsDatabase, TheFinalRowsAreThoseOfTheLatestRunWithRecordRows)
{
    const char *earlierView =
        "CREATE VIEW tavelo_final AS SELECT r.run_id AS run_id, r.stand_id AS stand_id, r.\"row\" AS \"row\", "
        "r.year AS year, r.age AS age, r.code AS code, r.trees AS trees, r.basal_area AS basal_area, r.height AS "
        "height, r.v_total AS v_total, r.v_roundwood AS v_roundwood, r.v_sawlog AS v_sawlog, r.v_firewood AS "
        "v_firewood FROM tavelo_record r JOIN (SELECT stand_id, max(\"row\") AS last_row FROM tavelo_record WHERE "
        "run_id = (SELECT max(run_id) FROM tavelo_runs WHERE finished IS NOT NULL) GROUP BY stand_id) l ON "
        "r.stand_id = l.stand_id AND r.\"row\" = l.last_row WHERE r.run_id = (SELECT max(run_id) FROM tavelo_runs "
        "WHERE finished IS NOT NULL)";
    for (const bool earlier : {false, true}) {
        for (const std::string later : {"plan", "best"}) {
            SCOPED_TRACE(later + (earlier ? " over the earlier view" : ""));
            TempFolder dir;
            writeBytes(dir / "stands.csv", kInventory);
            runInto(dir / "stands.csv", "", dir / "r.sqlite");
            const std::string last = dump(dir / "r.sqlite", "SELECT * FROM tavelo_final ORDER BY stand_id", 0);
            ASSERT_FALSE(last.empty());
            if (earlier) {
                SqliteDb db(dir / "r.sqlite", SqliteDb::Mode::ReadWrite);
                db.exec("DROP VIEW tavelo_final");
                db.exec(earlierView);
            }
            const RunIdentity identity = runIdentityOf(dir / "stands.csv", "", "{}");
            if (later == "plan")
                savePlan(dir / "r.sqlite", identity, 0, {}, {}, {});
            else
                saveBestRegimes(dir / "r.sqlite", identity, 0, {}, {});
            EXPECT_EQ(scalar(dir / "r.sqlite", "SELECT count(*) FROM tavelo_runs WHERE finished IS NOT NULL"), 2);
            EXPECT_EQ(dump(dir / "r.sqlite", "SELECT * FROM tavelo_final ORDER BY stand_id", 0), last);
        }
    }
}

TEST(ResultsDatabase, ShardsRunEveryNthStandAndMergeIntoOneRun)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kInventory);
    runInto(dir / "stands.csv", "", dir / "whole.sqlite");
    for (unsigned k = 1; k <= 3; ++k) {
        BatchOptions options;
        options.shardIndex = k;
        options.shardCount = 3;
        runInto(dir / "stands.csv", "", dir / ("shard" + std::to_string(k) + ".sqlite"), options);
    }
    EXPECT_EQ(dump(dir / "shard2.sqlite", "SELECT group_concat(position) FROM tavelo_stands", 0), "1,4,7\n");
    EXPECT_EQ(dump(dir / "shard2.sqlite", "SELECT shard, stands FROM tavelo_runs", 0), "2/3|3\n");
    // The repeated id is found also when its first use is in another shard.
    EXPECT_EQ(dump(dir / "shard2.sqlite", "SELECT stand_id, status FROM tavelo_errors WHERE line = 9", 0),
              "p1|malformed\n");

    writeBytes(dir / "regime.json", kTwoThinningsRegime);
    const CliRun missing = runCli({"merge", "merged.gpkg", "shard1.sqlite", "shard3.sqlite"}, dir);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("shard 2/3 is missing"), std::string::npos) << missing.err;
    const CliRun merged = runCli({"merge", "merged.gpkg", "shard3.sqlite", "shard1.sqlite", "shard2.sqlite"}, dir);
    ASSERT_EQ(merged.status, 0) << merged.err;
    EXPECT_NE(merged.err.find("3 shards merged: run 1 with 10 stands"), std::string::npos) << merged.err;
    EXPECT_EQ(runContents(dir / "merged.gpkg", 1), runContents(dir / "whole.sqlite", 1));
    EXPECT_EQ(dump(dir / "merged.gpkg", "SELECT stand_id, v_total FROM tavelo_final ORDER BY stand_id", 0),
              dump(dir / "whole.sqlite", "SELECT stand_id, v_total FROM tavelo_final ORDER BY stand_id", 0));
    EXPECT_EQ(dump(dir / "merged.gpkg", "SELECT shard IS NULL, stands FROM tavelo_runs", 0), "1|10\n");

    // Shards that shared one file merge into that same file.
    for (unsigned k = 1; k <= 2; ++k) {
        BatchOptions options;
        options.shardIndex = k;
        options.shardCount = 2;
        runInto(dir / "stands.csv", "", dir / "both.sqlite", options);
    }
    const CliRun inPlace = runCli({"merge", "both.sqlite", "both.sqlite"}, dir);
    ASSERT_EQ(inPlace.status, 0) << inPlace.err;
    EXPECT_EQ(runContents(dir / "both.sqlite", 3), runContents(dir / "whole.sqlite", 1));

    // A shard of other work does not fit; nothing is added to the target.
    BatchOptions other;
    other.shardIndex = 2;
    other.shardCount = 3;
    other.database = dir / "other.sqlite";
    other.regimeJson = "another regime";
    runBatch(dir / "stands.csv", regime(), "", other);
    const CliRun mixed = runCli({"merge", "merged.gpkg", "shard1.sqlite", "other.sqlite", "shard3.sqlite"}, dir);
    EXPECT_EQ(mixed.status, 1);
    EXPECT_NE(mixed.err.find("ran another inventory or regime"), std::string::npos) << mixed.err;
    EXPECT_EQ(scalar(dir / "merged.gpkg", "SELECT count(*) FROM tavelo_runs"), 1);
}

TEST(ResultsDatabase, AGeoPackageGetsItsMetadataAndOurTablesRegistered)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kInventory);
    runInto(dir / "stands.csv", "", dir / "r.gpkg");
    EXPECT_EQ(scalar(dir / "r.gpkg", "PRAGMA application_id"), 0x47504B47);
    EXPECT_EQ(dump(dir / "r.gpkg", "PRAGMA journal_mode", 0), "delete\n");
    EXPECT_EQ(dump(dir / "r.gpkg",
                   "SELECT table_name, data_type FROM gpkg_contents ORDER BY table_name", 0),
              "tavelo_best|attributes\ntavelo_carbon|attributes\ntavelo_economics|attributes\ntavelo_errors|attributes\n"
              "tavelo_events|attributes\n"
              "tavelo_final|attributes\ntavelo_plan|attributes\ntavelo_plan_adjacency|attributes\n"
              "tavelo_plan_openings|attributes\ntavelo_plan_periods|attributes\n"
              "tavelo_record|attributes\n"
              "tavelo_runs|attributes\ntavelo_stands|attributes\n");
    EXPECT_EQ(scalar(dir / "r.gpkg", "SELECT count(*) FROM gpkg_spatial_ref_sys WHERE srs_id IN (-1, 0, 4326)"), 3);
    EXPECT_EQ(scalar(dir / "r.gpkg", "SELECT count(*) FROM pragma_table_info('tavelo_record') WHERE name = 'fid' "
                                     "AND pk = 1"),
              1);
}

// --- Interruptions and failures --------------------------------------------------------

std::string largeInventory(int stands)
{
    std::string csv = "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95\n";
    for (int i = 0; i < stands; ++i)
        csv += "s" + std::to_string(i) + ",12," + std::to_string(8 + i % 3) + ",," + std::to_string(1200 + i % 500) +
               ",,,,,\n";
    return csv;
}

// Starts a batch into `db` and stops it with `signal` once its first stands are
// committed (they come 32 at a time); the raw wait status.
int interruptedBatch(const TempFolder &dir, const std::string &db, int signal)
{
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(dir.path().c_str()) == 0)
            execl(TAVELO_CLI_PATH, TAVELO_CLI_PATH, "batch", "stands.csv", "--regime", "regime.json", "--db",
                  db.c_str(), "--jobs", "1", static_cast<char *>(nullptr));
        _exit(127);
    }
    EXPECT_GT(child, 0);
    int64_t committed = 0;
    for (int wait = 0; wait < 30000 && committed < 32; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (fs::exists(dir / db)) {
            try {
                committed = scalar(dir / db, "SELECT count(*) FROM tavelo_stands");
            } catch (const DatabaseError &) {
                committed = 0; // the schema is not there yet
            }
        }
    }
    EXPECT_EQ(kill(child, signal), 0);
    int raw = 0;
    EXPECT_EQ(waitpid(child, &raw, 0), child);
    return raw;
}

TEST(ResultsDatabase, ARunInterruptedPartWayResumesToTheUninterruptedResult)
{
    TempFolder dir;
    constexpr int kStands = 1000;
    writeBytes(dir / "stands.csv", largeInventory(kStands));
    writeBytes(dir / "regime.json", kTwoThinningsRegime);
    const CliRun whole = runCli({"batch", "stands.csv", "--regime", "regime.json", "--db", "whole.sqlite"}, dir);
    ASSERT_EQ(whole.status, 0) << whole.err;

    // SIGTERM stops after the stands under way; SIGKILL is as abrupt as a power cut.
    for (const int signal : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal);
        const std::string db = "r" + std::to_string(signal) + ".sqlite";
        const int raw = interruptedBatch(dir, db, signal);
        if (signal == SIGTERM)
            EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 130) << raw;
        else
            EXPECT_TRUE(WIFSIGNALED(raw)) << "the batch ended before it could be interrupted";

        const int64_t done = scalar(dir / db, "SELECT count(*) FROM tavelo_stands");
        EXPECT_GE(done, 32);
        EXPECT_LT(done, kStands);
        EXPECT_EQ(scalar(dir / db, "SELECT count(*) FROM tavelo_runs WHERE finished IS NULL"), 1);
        // No half stand: every stand with record rows is complete, and only those.
        EXPECT_EQ(scalar(dir / db, "SELECT count(DISTINCT stand_id) FROM tavelo_record"),
                  scalar(dir / db, "SELECT count(*) FROM tavelo_stands WHERE status IN ('done', 'ended')"));
        EXPECT_EQ(scalar(dir / db, "SELECT count(*) FROM tavelo_record WHERE stand_id NOT IN "
                                   "(SELECT stand_id FROM tavelo_stands)"),
                  0);

        const CliRun resumed =
            runCli({"batch", "stands.csv", "--regime", "regime.json", "--db", db, "--resume"}, dir);
        ASSERT_EQ(resumed.status, 0) << resumed.err;
        EXPECT_NE(resumed.err.find("resumed: " + std::to_string(done) + " stands were already done"),
                  std::string::npos)
            << resumed.err;
        EXPECT_EQ(dump(dir / db, "SELECT run_id, finished IS NOT NULL, stands FROM tavelo_runs", 0),
                  "1|1|" + std::to_string(kStands) + "\n");
        EXPECT_EQ(runContents(dir / db, 1), runContents(dir / "whole.sqlite", 1));
    }

    // Nothing left to resume: a new run starts.
    const CliRun again =
        runCli({"batch", "stands.csv", "--regime", "regime.json", "--db", "whole.sqlite", "--resume"}, dir);
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.err.find("a new run started"), std::string::npos) << again.err;
}

TEST(ResultsDatabase, LockedPartWayStopsKeepsTheCommittedStandsAndResumes)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", largeInventory(200));
    std::optional<SqliteDb> other;
    BatchOptions options;
    options.busyTimeoutMs = 50;
    options.jobs = 1;
    options.progress = [&](size_t done, size_t) {
        if (done >= 64 && !other) {
            other.emplace(dir / "r.sqlite", SqliteDb::Mode::ReadWrite);
            other->exec("BEGIN EXCLUSIVE");
        }
    };
    EXPECT_THROW(runInto(dir / "stands.csv", "", dir / "r.sqlite", options), BatchOutputError);
    other.reset(); // the other program lets go

    const int64_t kept = scalar(dir / "r.sqlite", "SELECT count(*) FROM tavelo_stands");
    EXPECT_GE(kept, 64);
    EXPECT_LT(kept, 200);
    options.progress = nullptr;
    options.resume = true;
    const BatchSummary s = runInto(dir / "stands.csv", "", dir / "r.sqlite", options);
    EXPECT_TRUE(s.resumed);
    EXPECT_EQ(s.alreadyDone, static_cast<size_t>(kept));
    EXPECT_EQ(s.stands, 200u - kept);
    runInto(dir / "stands.csv", "", dir / "whole.sqlite");
    EXPECT_EQ(runContents(dir / "r.sqlite", 1), runContents(dir / "whole.sqlite", 1));
}

TEST(ResultsDatabase, LockedOrUnwritableGivesExitFourAndKeepsWhatWasThere)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kInventory);
    writeBytes(dir / "regime.json", kTwoThinningsRegime);
    runInto(dir / "stands.csv", "", dir / "r.sqlite");
    const std::string before = runContents(dir / "r.sqlite", 1);
    {
        SqliteDb other(dir / "r.sqlite", SqliteDb::Mode::ReadWrite);
        other.exec("BEGIN EXCLUSIVE");
        const CliRun locked = runCli({"batch", "stands.csv", "--regime", "regime.json", "--db", "r.sqlite"}, dir);
        EXPECT_EQ(locked.status, 4);
        EXPECT_NE(locked.err.find("cannot write the results: "), std::string::npos) << locked.err;
        EXPECT_NE(locked.err.find("locked"), std::string::npos) << locked.err;
        other.exec("ROLLBACK");
    }
    EXPECT_EQ(runContents(dir / "r.sqlite", 1), before);
    EXPECT_EQ(scalar(dir / "r.sqlite", "SELECT count(*) FROM tavelo_runs"), 1);

    const CliRun noFolder =
        runCli({"batch", "stands.csv", "--regime", "regime.json", "--db", "missing/r.sqlite"}, dir);
    EXPECT_EQ(noFolder.status, 4);
    EXPECT_NE(noFolder.err.find("missing/r.sqlite"), std::string::npos) << noFolder.err;

    // Root writes into read-only files; an immutable file stops it too.
    fs::permissions(dir / "r.sqlite", fs::perms::owner_read);
    struct Immutable {
        std::string file;
        bool set = false;
        ~Immutable()
        {
            if (set) {
                EXPECT_EQ(std::system(("chattr -i " + file).c_str()), 0);
            }
        }
    } immutable{shellQuoted((dir / "r.sqlite").string())};
    if (geteuid() == 0) {
        immutable.set = std::system(("chattr +i " + immutable.file + " 2>/dev/null").c_str()) == 0;
        if (!immutable.set)
            GTEST_SKIP() << "running as root where files cannot be made immutable (chattr): "
                            "the read-only database cannot be tried";
    }
    const std::string bytes = readBytes(dir / "r.sqlite");
    const CliRun readOnly = runCli({"batch", "stands.csv", "--regime", "regime.json", "--db", "r.sqlite"}, dir);
    EXPECT_EQ(readOnly.status, 4);
    EXPECT_NE(readOnly.err.find("r.sqlite: the file is read-only"), std::string::npos) << readOnly.err;
    EXPECT_EQ(readBytes(dir / "r.sqlite"), bytes);
}

TEST(ResultsDatabase, CommandLineArguments)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kInventory);
    writeBytes(dir / "regime.json", kTwoThinningsRegime);
    const struct {
        std::vector<std::string> args;
        const char *says;
    } cases[] = {
        {{"batch", "stands.csv", "--regime", "regime.json"}, "--out or --db"},
        {{"batch", "stands.csv", "--regime", "regime.json", "--db", "r.txt"}, ".sqlite, .db or .gpkg"},
        {{"batch", "stands.csv", "--regime", "regime.json", "--out", "o", "--resume"}, "--resume continues"},
        {{"batch", "stands.csv", "--regime", "regime.json", "--db", "r.db", "--shard", "3/2"}, "K/N"},
        {{"batch", "stands.csv", "--regime", "regime.json", "--db", "r.db", "--shard", "0/2"}, "K/N"},
        {{"batch", "stands.csv", "--regime", "regime.json", "--db", "r.db", "--shard", "1"}, "K/N"},
        {{"batch", "stands.csv", "--table", "t", "--regime", "regime.json", "--db", "r.db"}, "names a layer of a GIS inventory"},
        {{"merge", "t.db"}, "at least one shard"},
        {{"merge", "t.db", "nothing.db"}, "cannot read nothing.db"},
        {{"merge", "t.csv", "stands.csv"}, "merge target"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.says);
        const CliRun r = runCli(c.args, dir);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir / "r.db"));
    EXPECT_FALSE(fs::exists(dir / "t.db"));

    // A folder already used is refused before the database records a run.
    fs::create_directories(dir / "used");
    writeBytes(dir / "used" / "notes.txt", "x");
    const CliRun used =
        runCli({"batch", "stands.csv", "--regime", "regime.json", "--out", "used", "--db", "r.db"}, dir);
    EXPECT_EQ(used.status, 1);
    EXPECT_NE(used.err.find("is not empty"), std::string::npos) << used.err;
    EXPECT_FALSE(fs::exists(dir / "r.db"));
}

TEST(ShardText, ReadsKOverN)
{
    const struct {
        const char *text;
        std::optional<std::pair<unsigned, unsigned>> shard;
    } cases[] = {{"1/1", std::pair{1u, 1u}}, {"2/4", std::pair{2u, 4u}}, {"4/4", std::pair{4u, 4u}},
                 {"5/4", std::nullopt},      {"0/4", std::nullopt},      {"1/0", std::nullopt},
                 {"1", std::nullopt},        {"/4", std::nullopt},       {"1/", std::nullopt},
                 {"a/4", std::nullopt},      {"1/-4", std::nullopt},     {"1/99999999", std::nullopt}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        const auto s = parseShard(c.text);
        ASSERT_EQ(s.has_value(), c.shard.has_value());
        if (s) {
            EXPECT_EQ(s->index, c.shard->first);
            EXPECT_EQ(s->count, c.shard->second);
        }
    }
}

// --- GIS ----------------------------------------------------------------------------

bool haveProgram(const char *name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string capture(const std::string &command)
{
    std::string out;
    if (FILE *p = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;)
            out.append(buffer, n);
        pclose(p);
    }
    return out;
}

TEST(GeoPackage, BatchIntoAPolygonLayerKeepsItOpenableAndJoinsById)
{
    if (!haveProgram("ogr2ogr") || !haveProgram("ogrinfo"))
        GTEST_SKIP() << "ogr2ogr and ogrinfo (Debian package gdal-bin) are needed to build the GeoPackage";
    TempFolder dir;
    std::string csv = "WKT,id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95\n";
    const std::vector<std::string> rows = {"p1,12,9,,1500,,,,,", "a1,10,,Média,,1100.5,,,,", "t1,25,13,,,,601,22,9,31",
                                           "zero,12,9,,0,,,,,"};
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string x0 = std::to_string(i * 100), x1 = std::to_string(i * 100 + 100);
        csv += "\"POLYGON((" + x0 + " 0," + x1 + " 0," + x1 + " 100," + x0 + " 100," + x0 + " 0))\"," + rows[i] +
               "\n";
    }
    writeBytes(dir / "parcelas.csv", csv);
    const std::string q = shellQuoted(dir.path().string());
    ASSERT_EQ(std::system(("cd " + q + " && ogr2ogr -f GPKG stands.gpkg parcelas.csv -nln stands -nlt POLYGON "
                                       "-a_srs EPSG:3763 "
                                       "-oo GEOM_POSSIBLE_NAMES=WKT -oo KEEP_GEOM_COLUMNS=NO -oo AUTODETECT_TYPE=YES")
                              .c_str()),
              0);
    ASSERT_NE(capture("ogrinfo -ro -so " + q + "/stands.gpkg stands").find("Geometry: Polygon"), std::string::npos);

    const BatchSummary s = runInto(dir / "stands.gpkg", "", dir / "stands.gpkg");
    EXPECT_EQ(s.done, 2u);
    EXPECT_EQ(s.refused, 2u); // a1 at its second thinning, after five rows of record

    const std::string layers = capture("ogrinfo -ro " + q + "/stands.gpkg 2>&1");
    EXPECT_NE(layers.find("using driver `GPKG' successful"), std::string::npos) << layers;
    for (const char *layer : {"stands (Polygon)", "tavelo_runs (None)", "tavelo_record (None)", "tavelo_errors (None)",
                              "tavelo_final (None)"})
        EXPECT_NE(layers.find(layer), std::string::npos) << layer << "\n" << layers;
    EXPECT_EQ(layers.find("Warning"), std::string::npos) << layers;
    EXPECT_EQ(layers.find("ERROR"), std::string::npos) << layers;

    // The stands layer is untouched, and the final rows join to its polygons by id.
    const std::string joined =
        capture("ogrinfo -ro -q " + q +
                "/stands.gpkg -sql \"SELECT s.id, f.v_total, ST_Area(s.geom) AS area FROM stands s JOIN tavelo_final f "
                "ON f.stand_id = s.id ORDER BY s.id\" 2>&1");
    for (const char *id : {"id (String) = a1", "id (String) = p1", "id (String) = t1"})
        EXPECT_NE(joined.find(id), std::string::npos) << joined;
    EXPECT_EQ(joined.find("= zero"), std::string::npos) << joined;
    EXPECT_NE(joined.find("area (Real) = 10000"), std::string::npos) << joined;
    EXPECT_EQ(scalar(dir / "stands.gpkg", "SELECT count(*) FROM stands"), 4);
    // One file again, as GDAL wrote it.
    EXPECT_EQ(dump(dir / "stands.gpkg", "PRAGMA journal_mode", 0), "delete\n");
    EXPECT_FALSE(fs::exists(dir / "stands.gpkg-wal"));
}

} // namespace
} // namespace tavelo::test
