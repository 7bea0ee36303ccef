// Management rules from the command line: a batch under rules gives each
// stand the events and log of the same stand run alone, whose steps replay
// it; bad rules are refused (status 2) before anything is written.

#include "inventory/sqlite_db.h"
#include "support/cli_test_support.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tavelo::test {
namespace {

const fs::path kInventory = fs::path(TAVELO_TEST_DATA_DIR) / ".." / "inventory.csv";

const char *kRules = R"("rules": {"maxAge": "40",
  "finalFelling": {"any": [{"age": {"atLeast": "45"}}, {"quadraticMeanDiameter": {"atLeast": "30"}}]},
  "thinnings": {"firstAge": "14", "minInterval": "10", "max": "3", "when": [
    {"if": {"age": {"atMost": "14"}}, "thin": "mechanical", "percent": "55"},
    {"if": {"dominantHeight": {"atLeast": "12"}, "basalArea": {"above": "28"}},
     "thin": "below", "residualBasalAreaPercent": "70"},
    {"if": {"trees": {"above": "1100"}, "relativeSpacing": {"below": "30"}}, "thin": "mechanical", "percent": "30"}]}})";

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::vector<std::string> split(const std::string &line)
{
    std::vector<std::string> cells;
    std::string cell;
    std::istringstream in(line);
    while (std::getline(in, cell, ','))
        cells.push_back(cell);
    cells.resize(10);
    return cells;
}

// The scenario a user would write for one inventory row.
std::string scenarioOfRow(const std::vector<std::string> &c)
{
    std::string stand = "{\"age\": \"" + c[1] + "\", " +
                        (c[2].empty() ? "\"qualityClass\": \"" + c[3] + "\"" : "\"dominantHeight\": \"" + c[2] + "\"") +
                        "}";
    std::string density;
    if (!c[4].empty())
        density = "{\"planted\": \"" + c[4] + "\"}";
    else if (!c[5].empty())
        density = "{\"alive\": \"" + c[5] + "\"}";
    else
        density = "{\"trees\": \"" + c[6] + "\", \"basalArea\": \"" + c[7] + "\", \"minDiameter\": \"" + c[8] +
                  "\", \"p95\": \"" + c[9] + "\"}";
    return "{\"options\": {\"year\": \"2026\"}, \"stand\": " + stand + ", \"density\": " + density + ", " + kRules +
           "}";
}

TEST(RulesFromTheCommandLine, ABatchGivesEachStandTheEventsAndLogOfItsOwnRunWhoseStepsReplayIt)
{
    TempFolder tmp;
    writeBytes(tmp / "regime.json", std::string("{\"options\": {\"year\": \"2026\"}, ") + kRules + "}");
    const CliRun batch = runCli({"batch", kInventory.string(), "--regime", "regime.json", "--out", "out", "--db",
                                 "r.sqlite", "--jobs", "2"},
                                tmp);
    ASSERT_EQ(batch.status, 0) << batch.err;

    std::string expectedEvents = "id,year,age,event,cause,text\n";
    std::vector<std::string> rows = lines(readBytes(kInventory));
    rows.erase(rows.begin());
    std::set<std::string> kinds;
    for (const std::string &row : rows) {
        const std::vector<std::string> cells = split(row);
        const std::string id = cells[0];
        writeBytes(tmp / (id + ".json"), scenarioOfRow(cells));
        const CliRun alone = runCli({"run", id + ".json", "--log", id + ".log", "--record", id + ".csv", "--steps",
                                     id + ".steps.json", "--events", id + ".events.csv"},
                                    tmp);
        ASSERT_EQ(alone.status, 0) << id << ": " << alone.err;
        EXPECT_EQ(readBytes(tmp / "out" / (id + ".txt")), readBytes(tmp / (id + ".log"))) << id;
        const std::vector<std::string> events = lines(readBytes(tmp / (id + ".events.csv")));
        for (size_t i = 1; i < events.size(); ++i) {
            expectedEvents += events[i] + "\n";
            kinds.insert(split(events[i])[3]);
        }
        // The steps taken, played as a plain scenario, give the same log and record.
        const CliRun replay = runCli({"run", id + ".steps.json", "--log", id + ".replay.log", "--record",
                                      id + ".replay.csv"},
                                     tmp);
        ASSERT_EQ(replay.status, 0) << id << ": " << replay.err;
        EXPECT_EQ(readBytes(tmp / (id + ".replay.log")), readBytes(tmp / (id + ".log"))) << id;
        EXPECT_EQ(readBytes(tmp / (id + ".replay.csv")), readBytes(tmp / (id + ".csv"))) << id;
    }
    EXPECT_EQ(readBytes(tmp / "out" / "events.csv"), expectedEvents);
    // Thinnings of both kinds, a refusal (55 % is more than the dialogue takes) and both endings.
    EXPECT_EQ(kinds, (std::set<std::string>{"thinning", "refused-thinning", "final-felling", "maximum-age"}));

    SqliteDb db(tmp / "r.sqlite", SqliteDb::Mode::ReadOnly);
    SqliteStatement q = db.prepare("SELECT stand_id, year, age, event, cause, text FROM tavelo_events ORDER BY rowid");
    std::string fromDb = "id,year,age,event,cause,text\n";
    while (q.step()) {
        std::string line;
        for (int c = 0; c < 6; ++c)
            line += (c ? "," : "") + q.typedText(c).value_or("");
        fromDb += line + "\n";
    }
    // The dialogue's texts hold commas: quoted in the file, plain in the table.
    std::string unquoted = expectedEvents;
    std::erase(unquoted, '"');
    EXPECT_EQ(fromDb, unquoted);
}

struct BadRulesCase {
    const char *name;
    std::vector<std::string> args;
    const char *keyPath;
};

class BadRulesFromTheCommandLine : public ::testing::TestWithParam<BadRulesCase> {};

TEST_P(BadRulesFromTheCommandLine, AreRefusedBeforeAnythingIsWritten)
{
    TempFolder tmp;
    const std::string bad = R"("rules": {"maxAge": "50", "thinnings": {"when": [
        {"thin": "mechanical", "percent": "30"}, {"if": {"trees": {"above": "many"}}, "thin": "below",
         "residualBasalArea": "20"}]}})";
    writeBytes(tmp / "s.json", std::string(R"({"stand": {"age": "12", "dominantHeight": "9"},
        "density": {"planted": "1500"}, )") + bad + "}");
    writeBytes(tmp / "regime.json", "{" + bad + "}");
    writeBytes(tmp / "both.json", R"({"stand": {"age": "12", "dominantHeight": "9"}, "density": {"planted": "1500"},
        "steps": ["project"], "rules": {"maxAge": "30"}})");
    std::vector<std::string> args = GetParam().args;
    for (std::string &a : args)
        if (a == "INVENTORY")
            a = kInventory.string();
    const CliRun r = runCli(args, tmp);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find(GetParam().keyPath), std::string::npos) << r.err;
    for (const char *output : {"l.log", "out", "out.png", "r.sqlite"})
        EXPECT_FALSE(fs::exists(tmp / output)) << output;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, BadRulesFromTheCommandLine,
    ::testing::Values(
        BadRulesCase{"Run", {"run", "s.json", "--log", "l.log", "--steps", "out"}, "rules.thinnings.when[1].if.trees.above"},
        BadRulesCase{"RunWithStepsAndRules", {"run", "both.json", "--log", "l.log"}, "rules: give either"},
        BadRulesCase{"Batch", {"batch", "INVENTORY", "--regime", "regime.json", "--out", "out", "--db", "r.sqlite"},
                     "rules.thinnings.when[1].if.trees.above"},
        BadRulesCase{"Compare", {"compare", "s.json", "--chart", "out.png"}, "rules.thinnings.when[1].if.trees.above"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace tavelo::test
