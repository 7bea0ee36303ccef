// Management rules from the command line: a batch under rules gives each
// stand the events and log of the same stand run alone, whose steps replay
// it; bad rules are refused (status 2) before anything is written.

#include "inventory/sqlite_db.h"
#include "support/cli_test_support.h"
#include "support/inventory_rows.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace tavelo::test {
namespace {

const fs::path kInventoryFile = fs::path(TAVELO_TEST_DATA_DIR) / ".." / "inventory.csv";

const char *kRules = R"("rules": {"maxAge": "40",
  "finalFelling": {"any": [{"age": {"atLeast": "45"}}, {"quadraticMeanDiameter": {"atLeast": "30"}}]},
  "thinnings": {"firstAge": "14", "minInterval": "10", "max": "3", "when": [
    {"if": {"age": {"atMost": "14"}}, "thin": "mechanical", "percent": "55"},
    {"if": {"dominantHeight": {"atLeast": "12"}, "basalArea": {"above": "28"}},
     "thin": "below", "residualBasalAreaPercent": "70"},
    {"if": {"trees": {"above": "1100"}, "relativeSpacing": {"below": "30"}}, "thin": "mechanical", "percent": "30"}]}})";

TEST(RulesFromTheCommandLine, ABatchGivesEachStandTheEventsAndLogOfItsOwnRunWhoseStepsReplayIt)
{
    TempFolder tmp;
    writeBytes(tmp / "regime.json", std::string("{\"options\": {\"year\": \"2026\"}, ") + kRules + "}");
    const CliRun batch = runCli({"batch", kInventoryFile.string(), "--regime", "regime.json", "--out", "out", "--db",
                                 "r.sqlite", "--jobs", "2"},
                                tmp);
    ASSERT_EQ(batch.status, 0) << batch.err;

    const std::string regime = readBytes(tmp / "regime.json");
    std::string expectedEvents = "id,year,age,event,cause,text\n";
    const auto inventory = csvTable(readBytes(kInventoryFile));
    for (size_t r = 1; r < inventory.size(); ++r) {
        const std::string id = inventory[r][0];
        writeBytes(tmp / (id + ".json"), standScenario(inventory[r], regime));
        const CliRun alone = runCli({"run", id + ".json", "--log", id + ".log", "--record", id + ".csv", "--steps",
                                     id + ".steps.json", "--events", id + ".events.csv"},
                                    tmp);
        ASSERT_EQ(alone.status, 0) << id << ": " << alone.err;
        EXPECT_EQ(readBytes(tmp / "out" / (id + ".txt")), readBytes(tmp / (id + ".log"))) << id;
        const std::string events = readBytes(tmp / (id + ".events.csv"));
        expectedEvents += events.substr(events.find('\n') + 1);
        // The steps taken, played as a plain scenario, give the same log and record.
        const CliRun replay = runCli({"run", id + ".steps.json", "--log", id + ".replay.log", "--record",
                                      id + ".replay.csv"},
                                     tmp);
        ASSERT_EQ(replay.status, 0) << id << ": " << replay.err;
        EXPECT_EQ(readBytes(tmp / (id + ".replay.log")), readBytes(tmp / (id + ".log"))) << id;
        EXPECT_EQ(readBytes(tmp / (id + ".replay.csv")), readBytes(tmp / (id + ".csv"))) << id;
    }
    EXPECT_EQ(readBytes(tmp / "out" / "events.csv"), expectedEvents);
    const auto events = csvTable(expectedEvents);
    // Thinnings of both kinds, a refusal (55 % is more than the dialogue takes) and both endings.
    std::set<std::string> kinds;
    for (size_t r = 1; r < events.size(); ++r)
        kinds.insert(events[r][3]);
    EXPECT_EQ(kinds, (std::set<std::string>{"thinning", "refused-thinning", "final-felling", "maximum-age"}));

    // The database holds the same rows.
    SqliteDb db(tmp / "r.sqlite", SqliteDb::Mode::ReadOnly);
    SqliteStatement q = db.prepare("SELECT stand_id, year, age, event, cause, text FROM tavelo_events ORDER BY rowid");
    std::vector<std::vector<std::string>> fromDb{events.front()};
    while (q.step()) {
        fromDb.emplace_back();
        for (int c = 0; c < 6; ++c)
            fromDb.back().push_back(q.typedText(c).value_or(""));
    }
    EXPECT_EQ(fromDb, events);
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
            a = kInventoryFile.string();
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
