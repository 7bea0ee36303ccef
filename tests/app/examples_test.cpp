// The samples in examples/ do what its README says, so a user trying them gets
// what the tests check: the inventory as CSV and as a GeoPackage gives the same
// records, and the stand's search finds a regime that replays to its value.

#include "support/cli_test_support.h"

#include <gtest/gtest.h>

namespace tavelo::test {
namespace {

const fs::path kSamples = fs::path(TAVELO_EXAMPLES_DIR).parent_path();

TEST(Examples, InventoryAsCsvAndGeoPackageGivesTheSameRecords)
{
    TempFolder tmp;
    const std::string regime = (kSamples / "regime.json").string();
    const CliRun csv = runCli({"batch", (kSamples / "inventory.csv").string(), "--regime", regime, "--out", "csv"}, tmp);
    const CliRun gpkg =
        runCli({"batch", (kSamples / "inventory.gpkg").string(), "--regime", regime, "--out", "gpkg"}, tmp);
    ASSERT_EQ(csv.status, 0) << csv.err;
    ASSERT_EQ(gpkg.status, 0) << gpkg.err;
    const std::string record = readBytes(tmp / "csv" / "record.csv");
    EXPECT_EQ(readBytes(tmp / "gpkg" / "record.csv"), record);
    EXPECT_EQ(readBytes(tmp / "gpkg" / "economics.csv"), readBytes(tmp / "csv" / "economics.csv"));
    for (const char *id : {"T01", "T02", "T03", "T04", "T05", "T06"})
        EXPECT_NE(record.find(std::string("\n") + id + ","), std::string::npos) << id << " has no record";
    // Every stand simulated to its end: none refused, none ended by the model.
    EXPECT_EQ(readBytes(tmp / "csv" / "errors.csv"), "id,status,title,text\n");
    EXPECT_EQ(readBytes(tmp / "gpkg" / "errors.csv"), "id,status,title,text\n");
}

// The worked example of the README and the guides: the guide's rules on the
// planted stand, event by event; the same rules as a regime for the inventory.
TEST(Examples, TheRulesExampleTakesTheEventsTheGuidesWorkOut)
{
    TempFolder tmp;
    const CliRun r = runCli({"run", (kSamples / "rules.json").string(), "--log", "rules.txt", "--events",
                             "events.csv"},
                            tmp);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readBytes(tmp / "events.csv"),
              "id,year,age,event,cause,text\n"
              "rules,2031,15,thinning,rules.thinnings.when[1],Mecânico com 30% de árvores a retirar\n"
              "rules,2041,25,thinning,rules.thinnings.when[0],Pelo baixo com 23.56 m2 de área basal residual\n"
              "rules,2051,35,thinning,rules.thinnings.when[0],Pelo baixo com 26.79 m2 de área basal residual\n"
              "rules,2061,45,final-felling,rules.finalFelling.any[0],\n");
    const CliRun batch = runCli({"batch", (kSamples / "inventory.csv").string(), "--regime",
                                 (kSamples / "rules-regime.json").string(), "--out", "out"},
                                tmp);
    EXPECT_EQ(batch.status, 0) << batch.err;
    EXPECT_NE(readBytes(tmp / "out" / "events.csv").find("\nT06,"), std::string::npos);
}

TEST(Examples, TheStandsBestRegimeReplaysToItsValue)
{
    TempFolder tmp;
    const CliRun found = runCli({"optimize", (kSamples / "stand.json").string(), "--space",
                                 (kSamples / "search-space.json").string(), "--objective", "npv", "--out", "best"},
                                tmp);
    ASSERT_EQ(found.status, 0) << found.err;
    const std::string ranking = readBytes(tmp / "best" / "ranking.csv");
    const size_t line = ranking.find('\n') + 1;
    const std::string npv = ranking.substr(line + 2, ranking.find(',', line + 2) - line - 2); // "1,<objective>,"
    const CliRun replay = runCli({"run", (tmp / "best" / "best-1.json").string(), "--log", "replay.log",
                                  "--economics", "replay.json"}, tmp);
    ASSERT_EQ(replay.status, 0) << replay.err;
    EXPECT_NE(readBytes(tmp / "replay.json").find("\"npv\": " + npv), std::string::npos)
        << "ranked " << npv << ", replayed " << readBytes(tmp / "replay.json");
}

// The forest plan of the guides, from the shipped files: its value, and the
// stand without an area left out.
TEST(Examples, TheForestPlanIsWorthWhatTheGuidesSay)
{
    TempFolder tmp;
    const CliRun r = runCli({"plan", (kSamples / "forest.csv").string(), "--space",
                             (kSamples / "plan-space.json").string(), "--economics",
                             (kSamples / "plan-economics.json").string(), "--horizon", "30", "--flow", "even:30",
                             "--out", "plan"},
                            tmp);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("objective 141678.43 €"), std::string::npos) << r.err;
    EXPECT_NE(readBytes(tmp / "plan" / "errors.csv").find("\nnoarea,"), std::string::npos);
}

// The same forest on its map, with neighbours: the guides' value and cost of the rule.
TEST(Examples, TheForestPlanWithNeighboursCostsWhatTheGuidesSay)
{
    TempFolder tmp;
    const CliRun r = runCli({"plan", (kSamples / "forest.gpkg").string(), "--space",
                             (kSamples / "plan-space.json").string(), "--economics",
                             (kSamples / "plan-economics.json").string(), "--horizon", "30", "--flow", "even:30",
                             "--green-up", "10", "--max-opening", "8", "--out", "plan"},
                            tmp);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("objective 138869.76 €"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("neighbours: 13 pairs; 0 openings over 8 ha; 1 round of added openings; value without the "
                         "rule 141678.43 €, the rule costs 2808.66 €"),
              std::string::npos)
        << r.err;
    EXPECT_NE(readBytes(tmp / "plan" / "openings.csv").find(",n1 n2,6.5000\n"), std::string::npos);
}

} // namespace
} // namespace tavelo::test
