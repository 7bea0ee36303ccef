// tavelo-cli under bad input, faults and interruptions, as a careful user or a
// scheduler meets them: huge or endless search spaces, damaged inventories,
// inventories changed under a resumed run, results files that are not ours,
// vanishing discount rates, and calls that would silently mean something else.

#include "regimes/optimizer.h"
#include "inventory/results_tables.h"
#include "inventory/sqlite_db.h"
#include "base/whole_file.h"
#include "support/cli_test_support.h"
#include "support/small_disk.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace tavelo::test {
namespace {

const char *kStand = R"({"options": {"volumes": "com casca", "year": "2026"},
 "stand": {"age": "12", "dominantHeight": "9"}, "density": {"planted": "1500"}})";

const char *kRegime = R"({"options": {"volumes": "com casca", "year": "2026"},
 "steps": ["project", {"thin": "mechanical", "percent": "25"}, "project", "project"]})";

const char *kHeader = "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95\n";

std::string inventory(int stands, int firstAge = 12)
{
    std::string csv = kHeader;
    for (int i = 0; i < stands; ++i)
        csv += "s" + std::to_string(i) + "," + std::to_string(firstAge + i % 5) + ",9,,1500,,,,,\n";
    return csv;
}

int64_t scalar(const fs::path &file, const std::string &sql)
{
    SqliteDb db(file, SqliteDb::Mode::ReadOnly);
    SqliteStatement q = db.prepare(sql);
    return q.step() ? q.integer(0) : -1;
}

// optimize stand.json (or `stand`) over `space` by volume, with `extra`.
std::vector<std::string> optimizeCall(const std::string &space, std::vector<std::string> extra,
                                      const std::string &stand = "stand.json")
{
    std::vector<std::string> args = {"optimize", stand, "--space", space, "--objective", "volume"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

// --- The regime search ----------------------------------------------------------------

// Every intensity of a list at the edge of a 16-bit index is tried once, the
// last one too: at age 12 the stand holds 12.5 m2/ha, so the dialogue refuses
// every residual basal area but the last, 8 m2/ha (50 to 75 % are accepted).
class ManyIntensities : public ::testing::TestWithParam<size_t> {};

TEST_P(ManyIntensities, EveryOneIsTriedAndTheLastIsReached)
{
    const size_t n = GetParam();
    std::string space = R"({"rotation": {"from": "17", "to": "17"}, "thinnings": {"max": "1", "below": [)";
    for (size_t i = 0; i + 1 < n; ++i) {
        char typed[32];
        std::snprintf(typed, sizeof typed, "\"%.5f\",", 1.0 + 1e-5 * static_cast<double>(i));
        space += typed;
    }
    space += R"("8"]}})";
    const auto parsedSpace = parseSearchSpace(space);
    ASSERT_TRUE(std::holds_alternative<SearchSpace>(parsedSpace));
    const auto stand = parseScenario(kStand, "2026");
    OptimizeOptions options;
    options.jobs = 2;
    const OptimizeResult r = optimizeRegime(std::get<Scenario>(stand), std::get<SearchSpace>(parsedSpace), options);
    ASSERT_EQ(r.status, OptimizeResult::Status::Done);
    EXPECT_EQ(r.regimesInSpace, static_cast<double>(n + 1));
    EXPECT_EQ(r.statesComputed, n + 1);
    EXPECT_EQ(r.refusedThinnings, n - 1);
    ASSERT_EQ(r.feasible, 2u);
    ASSERT_EQ(r.best.size(), 2u);
    const auto thinned = r.best[0].thinnings.empty() ? r.best[1] : r.best[0];
    ASSERT_EQ(thinned.thinnings.size(), 1u);
    EXPECT_EQ(scheduleText(thinned.thinnings), "12: pelo baixo 8 m2/ha");
}

INSTANTIATE_TEST_SUITE_P(AroundTheSixteenBitEdge, ManyIntensities, ::testing::Values(65534, 65535, 65536));

// The limit counts the schedules of the space, every thinning taken as
// accepted. Worked by hand: the stand's screens are 12, 17, ... 42; a regime
// ends at E in 27, 32, 37, 42 and thins at up to 2 of the m screens before E
// (m = 3, 4, 5, 6) with one of 3 intensities: the sum over E of
// 1 + 3m + 9m(m-1)/2 is 37 + 67 + 106 + 154 = 364. A limit of 364 searches
// (as without one), 363 refuses.
TEST(RegimeLimit, CountsTheSpaceAndRefusesBeyondIt)
{
    TempFolder tmp;
    writeBytes(tmp / "stand.json", kStand);
    writeBytes(tmp / "space.json", R"({"rotation": {"from": "25", "to": "40"},
      "thinnings": {"max": "2", "mechanical": ["20", "30", "40"]}})");
    const CliRun free = runCli(optimizeCall("space.json", {"--out", "a"}), tmp);
    ASSERT_EQ(free.status, 0) << free.err;
    const CliRun at = runCli(optimizeCall("space.json", {"--out", "b", "--max-regimes", "364"}), tmp);
    EXPECT_EQ(at.status, 0) << at.err;
    EXPECT_EQ(readBytes(tmp / "a" / "ranking.csv"), readBytes(tmp / "b" / "ranking.csv"));
    const CliRun below = runCli(optimizeCall("space.json", {"--out", "c", "--max-regimes", "363"}), tmp);
    EXPECT_EQ(below.status, 2) << below.err;
    EXPECT_NE(below.err.find("holds 364 regimes"), std::string::npos) << below.err;
    EXPECT_FALSE(fs::exists(tmp / "c" / "ranking.csv"));
}

TEST(RegimeLimit, AnEndlessSpaceIsRefusedAtOnceAndASignalStopsALongSearch)
{
    TempFolder tmp;
    writeBytes(tmp / "stand.json", kStand);
    std::string list;
    for (int i = 0; i < 1000; ++i)
        list += (i ? ",\"" : "\"") + std::to_string(15 + i * 0.035).substr(0, 6) + "\"";
    writeBytes(tmp / "space.json",
               R"({"rotation": {"from": "20", "to": "160"}, "thinnings": {"max": "30", "minInterval": "0",
                  "mechanical": [)" + list + "]}}");
    const CliRun endless = runCli(optimizeCall("space.json", {"--out", "out"}), tmp);
    EXPECT_EQ(endless.status, 2) << endless.err;
    EXPECT_NE(endless.err.find("--max-regimes"), std::string::npos) << endless.err;

    // Some 10^10 regimes: allowed, and far too many to finish.
    writeBytes(tmp / "long.json",
               R"({"rotation": {"from": "20", "to": "60"}, "thinnings": {"max": "3", "mechanical": [)" + list + "]}}");
    CliStart start;
    start.environment = "timeout --preserve-status -s INT 2";
    const CliRun stopped =
        runCli(optimizeCall("long.json", {"--out", "out", "--max-regimes", "1000000000000", "--jobs", "2"}), tmp, start);
    EXPECT_EQ(stopped.status, 130) << stopped.err;
    EXPECT_NE(stopped.err.find("interrupted"), std::string::npos) << stopped.err;
    EXPECT_TRUE(fs::is_empty(tmp / "out"));
}

// --- Vanishing discount rates ------------------------------------------------------------

std::string valueOf(const std::string &json, const std::string &key)
{
    const size_t at = json.find("\"" + key + "\": ");
    if (at == std::string::npos)
        return "<none>";
    const size_t from = at + key.size() + 4;
    return json.substr(from, json.find_first_of(",\n", from) - from);
}

// At a rate too small to change 1 + r the value is the one at 0 %.
TEST(TinyDiscountRate, GivesTheValueAtZeroAndNeverANonFiniteNumber)
{
    TempFolder tmp;
    std::string scenario = readBytes(kExamples / "planted-two-thinnings.json");
    const std::string economics =
        R"("economics": {"prices": {"sawlog": "45", "roundwood": "30", "firewood": "8"},
           "costs": {"thinning": "250", "finalFelling": "400", "perCubicMetre": "4", "annual": "15",
                     "establishment": "1200"}, "discountRate": "RATE"},)";
    scenario.insert(scenario.find('{') + 1, economics);
    std::string values[3];
    const char *rates[] = {"0", "1e-16", "1e-320"};
    for (int i = 0; i < 3; ++i) {
        std::string s = scenario;
        s.replace(s.find("RATE"), 4, rates[i]);
        writeBytes(tmp / "s.json", s);
        const CliRun r = runCli({"run", "s.json", "--log", "l.txt", "--economics", "v.json"}, tmp);
        ASSERT_EQ(r.status, 0) << rates[i] << r.err;
        values[i] = readBytes(tmp / "v.json");
        EXPECT_EQ(values[i].find("inf"), std::string::npos) << values[i];
        EXPECT_EQ(values[i].find("nan"), std::string::npos) << values[i];
    }
    EXPECT_EQ(valueOf(values[0], "npv"), "13035.32");
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(valueOf(values[i], "npv"), valueOf(values[0], "npv")) << rates[i];
        EXPECT_EQ(valueOf(values[i], "eaa"), valueOf(values[0], "eaa")) << rates[i];
    }
    // No land expectation value fits a double at the smallest rate: none is written.
    EXPECT_EQ(valueOf(values[2], "lev"), "null");

    // Nothing to rank by then: refused, not a ranking without rows.
    writeBytes(tmp / "space.json", R"({"rotation": {"from": "20", "to": "25"}})");
    std::vector<std::string> levCall = optimizeCall("space.json", {"--out", "o"}, "s.json");
    levCall[5] = "lev";
    const CliRun lev = runCli(levCall, tmp);
    EXPECT_EQ(lev.status, 2) << lev.err;
    EXPECT_FALSE(fs::exists(tmp / "o" / "ranking.csv"));
}

// --- Calls that would silently mean something else ------------------------------------------

struct CallCase {
    const char *name;
    std::vector<std::string> args;
    const char *says;
};

class RefusedCall : public ::testing::TestWithParam<CallCase> {};

void standsTable(const fs::path &file, int n);

// Files that say by their name or their first bytes that they are databases,
// damaged or not databases at all: never read as CSV.
void damagedDatabases(const TempFolder &tmp)
{
    standsTable(tmp / "whole.sqlite", 300);
    const std::string whole = readBytes(tmp / "whole.sqlite");
    writeBytes(tmp / "cut.sqlite", whole.substr(0, 12000));
    writeBytes(tmp / "cut.gpkg", whole.substr(0, 12000));
    std::string flipped = whole;
    flipped[0] = static_cast<char>(~flipped[0]);
    flipped[5] = static_cast<char>(~flipped[5]);
    writeBytes(tmp / "flipped.sqlite", flipped);
    writeBytes(tmp / "text.gpkg", inventory(3));
    writeBytes(tmp / "shapefile.csv", std::string("\0\0\x27\x0a", 4) + inventory(3));
}

TEST_P(RefusedCall, ExitsWithOneBeforeAnythingIsWritten)
{
    const CallCase &c = GetParam();
    TempFolder tmp;
    writeBytes(tmp / "stand.json", kStand);
    writeBytes(tmp / "regime.json", kRegime);
    writeBytes(tmp / "stands.csv", inventory(3));
    writeBytes(tmp / "twice.csv", "id,age,dominantHeight,qualityClass,planted,alive,trees,age,minDiameter,p95,basalArea\n");
    writeBytes(tmp / "space.json", R"({"rotation": {"from": "30", "to": "35"}})");
    damagedDatabases(tmp);
    const CliRun r = runCli(c.args, tmp);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << "a control character reached the terminal";
    EXPECT_FALSE(fs::exists(tmp / "out")) << "something was written";
    EXPECT_FALSE(fs::exists(tmp / "r.sqlite")) << "something was written";
}

INSTANTIATE_TEST_SUITE_P(
    Calls, RefusedCall,
    ::testing::Values(
        CallCase{"EmptyEconomics", {"run", "stand.json", "--log", "l.txt", "--economics", ""}, "--economics needs a value"},
        CallCase{"LogTwice", {"run", "stand.json", "--log", "a.txt", "--log", "b.txt"}, "--log is given twice"},
        CallCase{"OutTwice", {"batch", "stands.csv", "--regime", "regime.json", "--out", "out", "--out", "o2"},
                 "--out is given twice"},
        CallCase{"TopTwice", optimizeCall("space.json", {"--out", "out", "--top", "2", "--top", "3"}),
                 "--top is given twice"},
        CallCase{"ResumeIntoAFolder",
                 {"batch", "stands.csv", "--regime", "regime.json", "--db", "r.sqlite", "--out", "out", "--resume"},
                 "leave out --out"},
        CallCase{"ColumnNamedTwice", {"batch", "twice.csv", "--regime", "regime.json", "--out", "out"},
                 "column \"age\" is named twice"},
        CallCase{"ControlCharacters", {"batch", "stands.csv", "--regime", "regime.json", "--out", "out", "--\x1b[2J"},
                 "--\\x1b[2J"},
        CallCase{"CutDatabase", {"batch", "cut.sqlite", "--regime", "regime.json", "--out", "out"},
                 "cannot read cut.sqlite: database disk image is malformed"},
        CallCase{"CutDatabaseWithItsTable",
                 {"batch", "cut.sqlite", "--table", "stands", "--regime", "regime.json", "--out", "out"},
                 "cannot read cut.sqlite: database disk image is malformed"},
        CallCase{"CutGeoPackage", {"batch", "cut.gpkg", "--regime", "regime.json", "--out", "out"},
                 "cannot read cut.gpkg: database disk image is malformed"},
        CallCase{"FlippedHeader", {"batch", "flipped.sqlite", "--regime", "regime.json", "--db", "r.sqlite"},
                 "cannot read flipped.sqlite: file is not a database"},
        CallCase{"TextNamedGeoPackage", {"batch", "text.gpkg", "--regime", "regime.json", "--out", "out"},
                 "cannot read text.gpkg: file is not a database"},
        CallCase{"ShapefileBytes", {"batch", "shapefile.csv", "--regime", "regime.json", "--out", "out"},
                 "cannot read shapefile.csv: "}),
    [](const auto &info) { return std::string(info.param.name); });

// --- Inventories and results databases -----------------------------------------------------

// The stands of inventory(n) as a table of a database.
void standsTable(const fs::path &file, int n)
{
    SqliteDb db(file, SqliteDb::Mode::ReadWrite);
    db.exec("CREATE TABLE stands AS WITH RECURSIVE k(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM k WHERE i < " +
            std::to_string(n - 1) +
            ") SELECT 's' || i AS id, 12 + i % 5 AS age, 9 AS dominantHeight, NULL AS qualityClass, 1500 AS planted, "
            "NULL AS alive, NULL AS trees, NULL AS basalArea, NULL AS minDiameter, NULL AS p95 FROM k");
}

// A row SQLite cannot give (here a view whose third row overflows) stops the
// run with SQLite's words and the row, and the earlier run's files stay.
TEST(DatabaseInventory, ARowSqliteCannotReadStopsTheRunAndKeepsTheEarlierResults)
{
    TempFolder tmp;
    writeBytes(tmp / "regime.json", kRegime);
    standsTable(tmp / "inv.sqlite", 6);
    const CliRun first = runCli({"batch", "inv.sqlite", "--regime", "regime.json", "--out", "out"}, tmp);
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string record = readBytes(tmp / "out" / "record.csv");
    {
        SqliteDb db(tmp / "inv.sqlite", SqliteDb::Mode::ReadWrite);
        db.exec("CREATE VIEW broken AS SELECT id, abs(CASE WHEN id = 's2' THEN -9223372036854775807 - 1 ELSE age "
                "END) AS age, dominantHeight, qualityClass, planted, alive, trees, basalArea, minDiameter, p95 "
                "FROM stands");
    }
    for (const std::vector<std::string> &extra :
         {std::vector<std::string>{"--out", "out", "--overwrite"}, std::vector<std::string>{"--db", "r.sqlite"}}) {
        std::vector<std::string> args = {"batch", "inv.sqlite", "--table", "BROKEN", "--regime", "regime.json"};
        args.insert(args.end(), extra.begin(), extra.end());
        const CliRun r = runCli(args, tmp);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("feature 3"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("integer overflow"), std::string::npos) << r.err;
    }
    EXPECT_EQ(readBytes(tmp / "out" / "record.csv"), record);
    EXPECT_TRUE(fs::exists(tmp / "out" / "s2.txt"));
}

// An unfinished run, as a kill leaves it.
void leaveUnfinished(const fs::path &db)
{
    SqliteDb d(db, SqliteDb::Mode::ReadWrite);
    d.exec("UPDATE tavelo_runs SET finished = NULL");
    for (const char *table : {"tavelo_record", "tavelo_errors", "tavelo_economics"})
        d.exec(std::string("DELETE FROM ") + table +
               " WHERE stand_id IN (SELECT stand_id FROM tavelo_stands WHERE position >= 2)");
    d.exec("DELETE FROM tavelo_stands WHERE position >= 2");
}

struct ChangedInventory {
    const char *name;
    std::string after; // the inventory when resumed
    const char *says;  // empty: resumes
};

class ResumedInventory : public ::testing::TestWithParam<ChangedInventory> {};

TEST_P(ResumedInventory, IsCheckedAgainstTheFingerprintOfTheInterruptedRun)
{
    const ChangedInventory &c = GetParam();
    TempFolder tmp;
    writeBytes(tmp / "regime.json", kRegime);
    writeBytes(tmp / "stands.csv", inventory(6));
    const std::vector<std::string> args = {"batch", "stands.csv", "--regime", "regime.json", "--db", "r.sqlite",
                                           "--resume"};
    ASSERT_EQ(runCli(args, tmp).status, 0);
    EXPECT_EQ(scalar(tmp / "r.sqlite", "SELECT inventory_rows FROM tavelo_runs"), 6);
    leaveUnfinished(tmp / "r.sqlite");
    writeBytes(tmp / "stands.csv", c.after);
    const CliRun r = runCli(args, tmp);
    if (*c.says) {
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(scalar(tmp / "r.sqlite", "SELECT count(*) FROM tavelo_runs WHERE finished IS NOT NULL"), 0);
    } else {
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("resumed: 2 stands were already done"), std::string::npos) << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Inventories, ResumedInventory,
    ::testing::Values(ChangedInventory{"Unchanged", inventory(6), ""},
                      ChangedInventory{"RowsRemoved", inventory(4), "had 6 rows, it now has 4"},
                      ChangedInventory{"RowsAdded", inventory(9), "had 6 rows, it now has 9"},
                      ChangedInventory{"RowsChanged", inventory(6, 13), "rows have changed"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ResumedInventory, FromAPipeIsRefusedAndShardsOfDifferentInventoriesDoNotMerge)
{
    TempFolder tmp;
    writeBytes(tmp / "regime.json", kRegime);
    writeBytes(tmp / "stands.csv", inventory(6));
    CliStart pipe;
    pipe.input = (tmp / "stands.csv").string();
    const CliRun piped =
        runCli({"batch", "/dev/stdin", "--regime", "regime.json", "--db", "r.sqlite", "--resume"}, tmp, pipe);
    EXPECT_EQ(piped.status, 1) << piped.err;
    EXPECT_NE(piped.err.find("--resume needs the inventory as a file"), std::string::npos) << piped.err;

    ASSERT_EQ(runCli({"batch", "stands.csv", "--regime", "regime.json", "--db", "a.sqlite", "--shard", "1/2"}, tmp)
                  .status,
              0);
    writeBytes(tmp / "stands.csv", inventory(7));
    ASSERT_EQ(runCli({"batch", "stands.csv", "--regime", "regime.json", "--db", "b.sqlite", "--shard", "2/2"}, tmp)
                  .status,
              0);
    const CliRun merged = runCli({"merge", "all.sqlite", "a.sqlite", "b.sqlite"}, tmp);
    EXPECT_EQ(merged.status, 1) << merged.err;
    EXPECT_NE(merged.err.find("read another inventory"), std::string::npos) << merged.err;
}

// A results file with a table or view of our names that is not ours is
// refused before anything in it, or in the output folder, changes.
TEST(ResultsDatabase, NotOursIsRefusedUntouched)
{
    for (const char *theirs : {"CREATE TABLE tavelo_record (x TEXT)", "CREATE TABLE Tavelo_Final (x TEXT)"}) {
        TempFolder tmp;
        writeBytes(tmp / "regime.json", kRegime);
        writeBytes(tmp / "stands.csv", inventory(3));
        {
            SqliteDb db(tmp / "r.sqlite", SqliteDb::Mode::ReadWrite);
            db.exec(theirs);
        }
        const std::string before = readBytes(tmp / "r.sqlite");
        fs::create_directory(tmp / "out");
        writeBytes(tmp / "out" / "record.csv", "earlier");
        const CliRun r = runCli(
            {"batch", "stands.csv", "--regime", "regime.json", "--db", "r.sqlite", "--out", "out", "--overwrite"}, tmp);
        EXPECT_EQ(r.status, 1) << theirs << r.err;
        EXPECT_EQ(readBytes(tmp / "out" / "record.csv"), "earlier");
        EXPECT_NE(r.err.find("nothing was changed"), std::string::npos) << r.err;
        EXPECT_EQ(readBytes(tmp / "r.sqlite"), before) << theirs;
        EXPECT_FALSE(fs::exists(tmp / "r.sqlite-wal")) << theirs;
    }
}

// Every table, view and index the results may write: a file holding one of
// their names that is not theirs is refused before any work, by batch and by
// plan alike, and stays byte for byte as it was.
struct ForeignObject {
    ResultsObject ours;
    const char *command;
};

class ForeignResultsObject : public ::testing::TestWithParam<ForeignObject> {};

TEST_P(ForeignResultsObject, IsRefusedBeforeAnyWorkAndLeftAsItWas)
{
    const ResultsObject &ours = GetParam().ours;
    TempFolder tmp;
    writeBytes(tmp / "regime.json", kRegime);
    writeBytes(tmp / "econ.json", readBytes(kExamples / "plan-economics.json"));
    writeBytes(tmp / "forest.csv", readBytes(kExamples / "forest.csv"));
    {
        SqliteDb db(tmp / "r.sqlite", SqliteDb::Mode::ReadWrite);
        if (std::string(ours.type) == "view")
            db.exec("CREATE VIEW " + ours.name + " AS SELECT 1 AS x");
        else if (std::string(ours.type) == "index")
            db.exec("CREATE TABLE theirs (x TEXT); CREATE INDEX " + ours.name + " ON theirs (x)");
        else
            db.exec("CREATE TABLE " + ours.name + " (x TEXT)");
    }
    const std::string before = readBytes(tmp / "r.sqlite");
    const std::string command = GetParam().command;
    const CliRun r = runCli(command == "batch"
                                ? std::vector<std::string>{"batch", "forest.csv", "--regime", "regime.json", "--db",
                                                           "r.sqlite"}
                                : std::vector<std::string>{"plan", "forest.csv", "--regimes", "regime.json",
                                                           "--economics", "econ.json", "--horizon", "30", "--db",
                                                           "r.sqlite"},
                            tmp);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("\"" + ours.name + "\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was changed"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("stands:"), std::string::npos) << "the work was done first: " << r.err;
    EXPECT_EQ(readBytes(tmp / "r.sqlite"), before);
    EXPECT_FALSE(fs::exists(tmp / "r.sqlite-wal"));
}

std::vector<ForeignObject> everyResultsObject()
{
    std::vector<ForeignObject> all;
    for (const char *command : {"batch", "plan"})
        for (const ResultsObject &o : resultsObjects())
            all.push_back({o, command});
    return all;
}

INSTANTIATE_TEST_SUITE_P(EveryName, ForeignResultsObject, ::testing::ValuesIn(everyResultsObject()),
                         [](const auto &info) {
                             return std::string(info.param.command) + "_" + info.param.ours.name;
                         });

// Shards started together on one new file all get through its set-up.
TEST(ResultsDatabase, ShardsStartingTogetherOnANewFileAllRun)
{
    for (int trial = 0; trial < 3; ++trial) {
        TempFolder tmp;
        writeBytes(tmp / "regime.json", kRegime);
        writeBytes(tmp / "stands.csv", inventory(4));
        std::vector<std::thread> shards;
        std::vector<CliRun> runs(4);
        for (int k = 0; k < 4; ++k)
            shards.emplace_back([&, k] {
                runs[k] = runCli({"batch", "stands.csv", "--regime", "regime.json", "--db", "r.sqlite", "--jobs", "1",
                                  "--shard", std::to_string(k + 1) + "/4"},
                                 tmp);
            });
        for (std::thread &t : shards)
            t.join();
        for (const CliRun &r : runs)
            EXPECT_EQ(r.status, 0) << r.err;
    }
}

// Table names are matched as SQLite matches them; a write-ahead-log inventory
// on a disk that cannot be written is still read.
TEST(DatabaseInventory, TableNamesMatchWhateverTheirCaseAndAReadOnlyDiskIsRead)
{
    TempFolder tmp;
    writeBytes(tmp / "regime.json", kRegime);
    standsTable(tmp / "inv.sqlite", 3);
    const CliRun upper =
        runCli({"batch", "inv.sqlite", "--table", "STANDS", "--regime", "regime.json", "--out", "a"}, tmp);
    EXPECT_EQ(upper.status, 0) << upper.err;

    SmallDisk disk("1m");
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot();
    fs::copy_file(tmp / "inv.sqlite", disk / "inv.sqlite");
    {
        SqliteDb db(disk / "inv.sqlite", SqliteDb::Mode::ReadWrite);
        db.prepare("PRAGMA journal_mode = WAL").run();
    }
    ASSERT_EQ(::mount("tmpfs", disk.path().c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m"), 0)
        << std::strerror(errno);
    const CliRun r = runCli({"batch", (disk / "inv.sqlite").string(), "--regime", "regime.json", "--out", "b"}, tmp);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readBytes(tmp / "a" / "record.csv"), readBytes(tmp / "b" / "record.csv"));
}

// A file that does not fit on the disk says the system's reason, whether the
// disk fills at a write, at the flush or at the commit.
TEST(FullDisk, AFileThatDoesNotFitSaysWhy)
{
    for (const size_t piece : {size_t(1) << 20, size_t(1000), size_t(1)}) {
        SmallDisk disk("64k");
        if (!disk.mounted())
            GTEST_SKIP() << disk.whyNot();
        WholeFileWriter file(disk / "record.csv");
        ASSERT_TRUE(file.open()) << file.error();
        const std::string bytes(size_t(1) << 20, 'x');
        for (size_t at = 0; at < (size_t(1) << 17); at += piece)
            file.write(std::string_view(bytes).substr(0, piece));
        EXPECT_FALSE(file.commit());
        EXPECT_EQ(file.error(), std::strerror(ENOSPC)) << "writing " << piece << " bytes at a time";
    }
}

} // namespace
} // namespace tavelo::test
