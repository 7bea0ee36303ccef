// tavelo-cli optimize as a user runs it: the ranking and the scenario files it
// writes, the best one replayed with run, the same output for any number of
// jobs, and the exit statuses of a bad call, a bad space, an infeasible space
// and an output that cannot be written.

#include "regimes/optimizer.h"
#include "base/numeric_text.h"
#include "support/cli_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavelo::test {
namespace {

const char *kOptimizedStand = R"({"options": {"volumes": "com casca", "year": "2026"},
 "stand": {"age": "12", "dominantHeight": "9"},
 "density": {"planted": "1500"}})";

const char *kSpace = R"({"rotation": {"from": "30", "to": "45"},
  "thinnings": {"max": "2", "minInterval": "5", "firstAge": "15",
                "mechanical": ["20", "30"], "below": ["14", "16"]}})";

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    size_t at = 0;
    for (size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', at)) {
        out.push_back(text.substr(at, nl - at));
        at = nl + 1;
    }
    return out;
}

std::vector<std::string> cells(const std::string &line)
{
    std::vector<std::string> out;
    size_t at = 0;
    for (size_t comma = line.find(','); comma != std::string::npos; comma = line.find(',', at)) {
        out.push_back(line.substr(at, comma - at));
        at = comma + 1;
    }
    out.push_back(line.substr(at));
    return out;
}

// The volume removed by the regime a record CSV shows, as the ranking writes it.
std::string volumeOfRecord(const std::string &csv, bool sawlog)
{
    std::vector<ValuationRow> rows;
    const auto all = lines(csv);
    for (size_t i = 1; i < all.size(); ++i) {
        const auto c = cells(all[i]);
        ValuationRow r;
        r.age = *parseNumber(c[1]);
        r.afterThinning = c[2] == "D";
        r.total = *parseNumber(c[6]);
        r.roundwood = *parseNumber(c[7]);
        r.sawlog = *parseNumber(c[8]);
        r.firewood = *parseNumber(c[9]);
        rows.push_back(r);
    }
    const HarvestVolumes v = harvestVolumes(rows);
    return formatFixed(sawlog ? v.sawlog : v.total, 2);
}

TEST(CliOptimize, WritesTheRankingAndScenarioFilesReadyForRun)
{
    TempFolder tmp;
    writeBytes(tmp / "stand.json", kOptimizedStand);
    writeBytes(tmp / "space.json", kSpace);
    const CliRun r = runCli({"optimize", "stand.json", "--space", "space.json", "--objective", "sawlog", "--out",
                             "out", "--top", "5", "--jobs", "2"},
                            tmp);
    ASSERT_EQ(r.status, 0) << r.err;
    // One summary line: regimes evaluated, feasible, time.
    EXPECT_NE(r.err.find(" regimes evaluated: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" feasible, "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" s\n"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;

    const auto ranking = lines(readBytes(tmp / "out" / "ranking.csv"));
    ASSERT_EQ(ranking.size(), 6u);
    EXPECT_EQ(ranking[0], "rank,objective,npv,eaa,lev,volume,sawlog,rotationAge,schedule");
    for (int i = 1; i <= 5; ++i) {
        const auto c = cells(ranking[i]);
        ASSERT_EQ(c.size(), 9u) << ranking[i];
        EXPECT_EQ(c[0], std::to_string(i));
        EXPECT_EQ(c[1], c[6]); // the objective is the sawlog volume
        EXPECT_TRUE(fs::exists(tmp / "out" / ("best-" + std::to_string(i) + ".json")));
        if (i > 1) {
            EXPECT_GE(*parseNumber(cells(ranking[i - 1])[1]), *parseNumber(c[1]));
        }
    }
    EXPECT_FALSE(fs::exists(tmp / "out" / "best-6.json"));

    // The best regime replayed by run gives exactly the ranked value.
    const CliRun replay = runCli({"run", "out/best-1.json", "--log", "l.txt", "--record", "r.csv"}, tmp);
    ASSERT_EQ(replay.status, 0) << replay.err;
    const std::string record = readBytes(tmp / "r.csv");
    const auto best = cells(ranking[1]);
    EXPECT_EQ(volumeOfRecord(record, true), best[1]);
    EXPECT_EQ(volumeOfRecord(record, false), best[5]);
    EXPECT_EQ(cells(lines(record).back())[1], best[7]); // the rotation age ends the record
}

const char *kValuedStand = R"({"options": {"volumes": "com casca", "year": "2026"},
 "stand": {"age": "12", "dominantHeight": "9"},
 "density": {"planted": "1500"},
 "economics": {"prices": {"sawlog": "45", "roundwood": "30", "firewood": "8"},
   "costs": {"thinning": "250", "finalFelling": "400", "perCubicMetre": "4", "annual": "15",
             "establishment": "1200"},
   "discountRate": "3"}})";

// The value of `key` in run's valuation JSON, to the cent.
std::string valuationNumber(const std::string &json, const std::string &key)
{
    const size_t at = json.find("\"" + key + "\":");
    EXPECT_NE(at, std::string::npos) << json;
    const size_t from = json.find_first_not_of(' ', at + key.size() + 3);
    return formatFixed(*parseNumber(json.substr(from, json.find_first_of(",\n}", from) - from)), 2);
}

struct ValuedCase {
    const char *name;
    const char *objective;
    int column; // of the ranking: 2 npv, 4 lev
};

class CliOptimizeValued : public ::testing::TestWithParam<ValuedCase> {};

TEST_P(CliOptimizeValued, TheBestRegimeReplayedWithRunEconomicsGivesTheRankedValue)
{
    TempFolder tmp;
    writeBytes(tmp / "stand.json", kValuedStand);
    writeBytes(tmp / "space.json", kSpace);
    const CliRun r = runCli({"optimize", "stand.json", "--space", "space.json", "--objective",
                             GetParam().objective, "--out", "out", "--top", "3"},
                            tmp);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto ranking = lines(readBytes(tmp / "out" / "ranking.csv"));
    ASSERT_EQ(ranking.size(), 4u);
    const auto best = cells(ranking[1]);
    EXPECT_EQ(best[1], best[GetParam().column]);
    EXPECT_FALSE(best[3].empty()); // eaa

    const CliRun replay = runCli({"run", "out/best-1.json", "--log", "l.txt", "--economics", "v.json"}, tmp);
    ASSERT_EQ(replay.status, 0) << replay.err;
    const std::string valuation = readBytes(tmp / "v.json");
    EXPECT_EQ(valuationNumber(valuation, "npv"), best[2]);
    EXPECT_EQ(valuationNumber(valuation, "eaa"), best[3]);
    EXPECT_EQ(valuationNumber(valuation, "lev"), best[4]);
}

INSTANTIATE_TEST_SUITE_P(Objectives, CliOptimizeValued,
                         ::testing::Values(ValuedCase{"Npv", "npv", 2}, ValuedCase{"Lev", "lev", 4}),
                         [](const ::testing::TestParamInfo<ValuedCase> &i) { return std::string(i.param.name); });

TEST(CliOptimize, NpvWithoutPricesIsAUsageError)
{
    TempFolder tmp;
    writeBytes(tmp / "stand.json", kOptimizedStand);
    writeBytes(tmp / "space.json", kSpace);
    const CliRun r = runCli({"optimize", "stand.json", "--space", "space.json", "--objective", "npv", "--out", "out"},
                            tmp);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("--objective npv needs an \"economics\" section in stand.json"), std::string::npos)
        << r.err;
}

TEST(CliOptimize, ABadPriceIsRefusedWithItsKeyPath)
{
    TempFolder tmp;
    std::string stand = kValuedStand;
    stand.replace(stand.find(R"("sawlog": "45")"), 14, R"("sawlog": "4,5")");
    writeBytes(tmp / "stand.json", stand);
    writeBytes(tmp / "space.json", kSpace);
    const CliRun r = runCli({"optimize", "stand.json", "--space", "space.json", "--objective", "npv", "--out", "out"},
                            tmp);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("prices.sawlog"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(tmp / "out" / "ranking.csv"));
}

TEST(CliOptimize, LevOfAStandEnteredAliveIsRefused)
{
    TempFolder tmp;
    std::string stand = kValuedStand;
    stand.replace(stand.find(R"("planted": "1500")"), 17, R"("alive": "1400")");
    writeBytes(tmp / "stand.json", stand);
    writeBytes(tmp / "space.json", kSpace);
    const CliRun r = runCli({"optimize", "stand.json", "--space", "space.json", "--objective", "lev", "--out", "out"},
                            tmp);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("stand.json: the lev objective needs a stand entered by its trees planted"),
              std::string::npos)
        << r.err;
}

TEST(CliOptimize, SameOutputWithOneAndTwoJobs)
{
    TempFolder tmp;
    writeBytes(tmp / "stand.json", kOptimizedStand);
    writeBytes(tmp / "space.json", kSpace);
    for (const char *jobs : {"1", "2"}) {
        const CliRun r = runCli({"optimize", "stand.json", "--space", "space.json", "--objective", "volume",
                                 "--out", std::string("out") + jobs, "--jobs", jobs},
                                tmp);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    const std::string ranking = readBytes(tmp / "out1" / "ranking.csv");
    EXPECT_EQ(lines(ranking).size(), 11u); // ten by default
    EXPECT_EQ(ranking, readBytes(tmp / "out2" / "ranking.csv"));
    for (int i = 1; i <= 10; ++i) {
        const std::string name = "best-" + std::to_string(i) + ".json";
        EXPECT_EQ(readBytes(tmp / "out1" / name), readBytes(tmp / "out2" / name)) << name;
    }
}

TEST(CliOptimize, AnInfeasibleSpaceExitsWithThree)
{
    TempFolder tmp;
    writeBytes(tmp / "space.json", R"({"rotation": {"from": "35", "to": "45"}})");
    const CliRun r = runCli({"optimize", (kExamples / "ends-outside-the-model.json").string(), "--space",
                             "space.json", "--objective", "volume", "--out", "out"},
                            tmp);
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("no regime of the space stays inside the model"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Resultados Inconsistentes"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("0 feasible"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(tmp / "out" / "ranking.csv"));
}

struct StatusCase {
    const char *name;
    std::vector<std::string> args;
    const char *space;
    int status;
    const char *says;
};

class CliOptimizeStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(CliOptimizeStatus, ExitsWithItsStatusAndSaysWhy)
{
    const StatusCase &c = GetParam();
    TempFolder tmp;
    writeBytes(tmp / "stand.json", kOptimizedStand);
    writeBytes(tmp / "space.json", c.space);
    tmp.touch("file");
    const CliRun r = runCli(c.args, tmp);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
}

const std::vector<std::string> kCall = {"optimize", "stand.json", "--space", "space.json", "--objective", "volume",
                                        "--out", "out"};

std::vector<std::string> callWith(std::vector<std::string> extra)
{
    std::vector<std::string> args = kCall;
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

INSTANTIATE_TEST_SUITE_P(
    Calls, CliOptimizeStatus,
    ::testing::Values(
        StatusCase{"NoSpace", {"optimize", "stand.json", "--objective", "volume", "--out", "out"}, kSpace, 1,
                   "optimize needs a stand file, --space, --objective and --out"},
        StatusCase{"UnknownObjective",
                   {"optimize", "stand.json", "--space", "space.json", "--objective", "profit", "--out", "out"},
                   kSpace, 1, "--objective must be npv, lev, volume, sawlog or carbon"},
        StatusCase{"ZeroTop", callWith({"--top", "0"}), kSpace, 1, "--top must be a whole number"},
        StatusCase{"BadJobs", callWith({"--jobs", "two"}), kSpace, 1, "--jobs must be a whole number"},
        StatusCase{"MissingStand",
                   {"optimize", "none.json", "--space", "space.json", "--objective", "volume", "--out", "out"},
                   kSpace, 1, "cannot read none.json"},
        StatusCase{"MalformedSpace", kCall, R"({"rotation": []})", 1, "rotation: must be an object"},
        StatusCase{"BadSpaceValue", kCall,
                   R"({"rotation": {"from": "30", "to": "45"}, "thinnings": {"max": "1", "mechanical": ["60"]}})", 2,
                   "space.json: thinnings.mechanical[0]: \"60\" must lie between 15 and 50"},
        StatusCase{"NoRotationAge", kCall, R"({"rotation": {"from": "5", "to": "10"}})", 2,
                   "rotation: no stand screen"},
        StatusCase{"OutputIsAFile",
                   {"optimize", "stand.json", "--space", "space.json", "--objective", "volume", "--out", "file"},
                   kSpace, 4, "the output folder file is not a folder"}),
    [](const ::testing::TestParamInfo<StatusCase> &i) { return std::string(i.param.name); });

TEST(CliOptimize, TheResultsOfTwoRunsNeverMix)
{
    TempFolder tmp;
    writeBytes(tmp / "stand.json", kOptimizedStand);
    writeBytes(tmp / "space.json", kSpace);
    ASSERT_EQ(runCli(callWith({"--top", "5"}), tmp).status, 0);
    writeBytes(tmp / "out" / "notes.txt", "mine");

    // A folder that holds files needs --overwrite; nothing is touched without it.
    const std::string before = readBytes(tmp / "out" / "ranking.csv");
    const CliRun again = runCli(callWith({"--top", "2"}), tmp);
    EXPECT_EQ(again.status, 1) << again.err;
    EXPECT_NE(again.err.find("is not empty; give --overwrite"), std::string::npos) << again.err;
    EXPECT_EQ(readBytes(tmp / "out" / "ranking.csv"), before);
    EXPECT_TRUE(fs::exists(tmp / "out" / "best-5.json"));

    // With it the earlier results go, the user's own files stay.
    const CliRun over = runCli(callWith({"--top", "2", "--overwrite"}), tmp);
    ASSERT_EQ(over.status, 0) << over.err;
    EXPECT_EQ(lines(readBytes(tmp / "out" / "ranking.csv")).size(), 3u);
    EXPECT_TRUE(fs::exists(tmp / "out" / "best-2.json"));
    EXPECT_FALSE(fs::exists(tmp / "out" / "best-3.json"));
    EXPECT_FALSE(fs::exists(tmp / "out" / "best-5.json"));
    EXPECT_EQ(readBytes(tmp / "out" / "notes.txt"), "mine");
}

TEST(CliOptimize, AnInputAmongTheResultsIsRefused)
{
    TempFolder tmp;
    writeBytes(tmp / "space.json", kSpace);
    fs::create_directories(tmp / "out");
    writeBytes(tmp / "out" / "best-1.json", kOptimizedStand); // the stand file kept among the results
    const CliRun r = runCli({"optimize", "out/best-1.json", "--space", "space.json", "--objective", "volume", "--out",
                             "out", "--overwrite"},
                            tmp);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("it would be overwritten"), std::string::npos) << r.err;
    EXPECT_EQ(readBytes(tmp / "out" / "best-1.json"), kOptimizedStand);
}

TEST(CliOptimize, AResultThatCannotBeWrittenExitsWithFour)
{
    TempFolder tmp;
    writeBytes(tmp / "stand.json", kOptimizedStand);
    writeBytes(tmp / "space.json", R"({"rotation": {"from": "20", "to": "25"}})");
    fs::create_directories(tmp / "out" / "ranking.csv"); // a folder where the file should go
    const CliRun r = runCli(callWith({"--overwrite"}), tmp);
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
}

// --- Every stand of an inventory ---------------------------------------------------------

namespace batch {

// A stand of each route, a malformed line, a stand the model ends as it is
// entered and one whose entry is refused.
const char *kBatchInventory = "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95\n"
                         "p1,12,9,,1500,,,,,\n"
                         "bad,12,9\n"
                         "dense,30,16,,,,2000,50,10,25\n"
                         "a1,10,,Média,,1100.5,,,,\n"
                         "zero,12,9,,0,,,,,\n";

const char *kProjectOnly = R"({"options": {"volumes": "com casca", "year": "2026"}, "steps": ["project"]})";

const char *kBatchSpace = R"({"rotation": {"from": "30", "to": "40"},
  "thinnings": {"max": "2", "mechanical": ["30"], "below": ["14", "18"]}})";

std::vector<std::string> batchCall(const std::string &out, const std::string &jobs)
{
    return {"batch", "stands.csv", "--regime", "regime.json", "--out", out, "--optimize", "space.json",
            "--objective", "volume", "--jobs", jobs};
}

TEST(CliBatchOptimize, EachStandsBestRegimeIsTheOneOptimizeFinds)
{
    TempFolder tmp;
    writeBytes(tmp / "stands.csv", kBatchInventory);
    writeBytes(tmp / "regime.json", kProjectOnly);
    writeBytes(tmp / "space.json", kBatchSpace);
    const CliRun r = runCli(batchCall("out", "2"), tmp);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("5 stands: 2 with a best regime, 1 refused, 1 with no feasible regime, 1 malformed rows"),
              std::string::npos)
        << r.err;

    const auto best = lines(readBytes(tmp / "out" / "best.csv"));
    ASSERT_EQ(best.size(), 3u);
    EXPECT_EQ(best[0], "id,objective,rotationAge,schedule,npv,volume,sawlog");
    EXPECT_EQ(cells(best[1])[0], "p1");
    EXPECT_EQ(cells(best[2])[0], "a1");

    // The same stand through optimize gives the same first rank.
    writeBytes(tmp / "stand.json", R"({"options": {"volumes": "com casca", "year": "2026"},
        "stand": {"age": "12", "dominantHeight": "9"}, "density": {"planted": "1500"}})");
    const CliRun one = runCli({"optimize", "stand.json", "--space", "space.json", "--objective", "volume", "--out",
                               "one", "--top", "1"},
                              tmp);
    ASSERT_EQ(one.status, 0) << one.err;
    const auto ranked = cells(lines(readBytes(tmp / "one" / "ranking.csv"))[1]);
    const auto p1 = cells(best[1]);
    EXPECT_EQ(p1[1], ranked[1]); // objective
    EXPECT_EQ(p1[2], ranked[7]); // rotation age
    EXPECT_EQ(p1[3], ranked[8]); // schedule
    EXPECT_EQ(p1[5], ranked[5]); // volume
    EXPECT_EQ(p1[6], ranked[6]); // sawlog

    const auto errors = lines(readBytes(tmp / "out" / "errors.csv"));
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors[0], "id,status,title,text");
    EXPECT_EQ(errors[1], "bad,malformed,,\"line 3: expected 10 cells, found 3\"");
    EXPECT_EQ(errors[2].rfind("dense,infeasible,Dados Inconsistentes,", 0), 0u) << errors[2];
    EXPECT_EQ(errors[3].rfind("zero,refused,", 0), 0u) << errors[3];
}

TEST(CliBatchOptimize, ByNetPresentValueWithTheRegimesPrices)
{
    TempFolder tmp;
    writeBytes(tmp / "stands.csv", "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95\n"
                                   "p1,12,9,,1500,,,,,\n");
    writeBytes(tmp / "regime.json", R"({"options": {"volumes": "com casca", "year": "2026"},
        "economics": {"prices": {"sawlog": "45", "roundwood": "30", "firewood": "8"},
                      "costs": {"thinning": "250", "finalFelling": "400", "perCubicMetre": "4", "annual": "15",
                                "establishment": "1200"},
                      "discountRate": "3"}})");
    writeBytes(tmp / "space.json", kBatchSpace);
    const CliRun r = runCli({"batch", "stands.csv", "--regime", "regime.json", "--out", "out", "--optimize",
                             "space.json", "--objective", "npv"},
                            tmp);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto best = lines(readBytes(tmp / "out" / "best.csv"));
    ASSERT_EQ(best.size(), 2u);
    const auto p1 = cells(best[1]);
    EXPECT_EQ(p1[1], p1[4]); // the objective is the npv

    // The same stand and prices through optimize.
    writeBytes(tmp / "stand.json", kValuedStand);
    const CliRun one = runCli({"optimize", "stand.json", "--space", "space.json", "--objective", "npv", "--out",
                               "one", "--top", "1"},
                              tmp);
    ASSERT_EQ(one.status, 0) << one.err;
    const auto ranked = cells(lines(readBytes(tmp / "one" / "ranking.csv"))[1]);
    EXPECT_EQ(p1[1], ranked[1]);
    EXPECT_EQ(p1[3], ranked[8]);
}

TEST(CliBatchOptimize, ReadsTheInventoryAsAnOrdinaryBatchDoes)
{
    TempFolder tmp;
    // A quoted id holding a line end is one record, refused by the id rule as
    // in an ordinary batch, not two broken lines.
    writeBytes(tmp / "stands.csv", "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95\n"
                                   "\"p\n1\",12,9,,1500,,,,,\n"
                                   "a1,10,,Média,,1100.5,,,,\n");
    writeBytes(tmp / "regime.json", kProjectOnly);
    writeBytes(tmp / "space.json", kBatchSpace);
    const CliRun r = runCli(batchCall("out", "1"), tmp);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("2 stands: 1 with a best regime, 0 refused, 0 with no feasible regime, 1 malformed rows"),
              std::string::npos)
        << r.err;
    const auto best = lines(readBytes(tmp / "out" / "best.csv"));
    ASSERT_EQ(best.size(), 2u);
    EXPECT_EQ(cells(best[1])[0], "a1");
    const std::string errors = readBytes(tmp / "out" / "errors.csv");
    EXPECT_EQ(errors.rfind("id,status,title,text\n\"p\n1\",malformed,,\"line 2: the id must be a usable file name", 0),
              0u)
        << errors;
}

TEST(CliBatchOptimize, NpvWithoutPricesIsAUsageError)
{
    TempFolder tmp;
    writeBytes(tmp / "stands.csv", kBatchInventory);
    writeBytes(tmp / "regime.json", kProjectOnly);
    writeBytes(tmp / "space.json", kBatchSpace);
    const CliRun r = runCli({"batch", "stands.csv", "--regime", "regime.json", "--out", "out", "--optimize",
                             "space.json", "--objective", "npv"},
                            tmp);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("needs an \"economics\" section in regime.json"), std::string::npos) << r.err;
}

TEST(CliBatchOptimize, SameOutputWithOneAndTwoJobs)
{
    TempFolder tmp;
    writeBytes(tmp / "stands.csv", kBatchInventory);
    writeBytes(tmp / "regime.json", kProjectOnly);
    writeBytes(tmp / "space.json", kBatchSpace);
    ASSERT_EQ(runCli(batchCall("out1", "1"), tmp).status, 0);
    ASSERT_EQ(runCli(batchCall("out2", "2"), tmp).status, 0);
    EXPECT_EQ(readBytes(tmp / "out1" / "best.csv"), readBytes(tmp / "out2" / "best.csv"));
    EXPECT_EQ(readBytes(tmp / "out1" / "errors.csv"), readBytes(tmp / "out2" / "errors.csv"));
}

TEST(CliBatchOptimize, AFileInPlaceOfTheResultsExitsWithFour)
{
    TempFolder tmp;
    writeBytes(tmp / "stands.csv", kBatchInventory);
    writeBytes(tmp / "regime.json", kProjectOnly);
    writeBytes(tmp / "space.json", kBatchSpace);
    fs::create_directories(tmp / "out" / "best.csv");
    std::vector<std::string> args = batchCall("out", "1");
    args.push_back("--overwrite");
    const CliRun r = runCli(args, tmp);
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
}

TEST(CliBatchOptimize, ABadSpaceValueExitsWithTwo)
{
    TempFolder tmp;
    writeBytes(tmp / "stands.csv", kBatchInventory);
    writeBytes(tmp / "regime.json", kProjectOnly);
    writeBytes(tmp / "space.json", R"({"rotation": {"from": "30", "to": "2O"}})");
    const CliRun r = runCli(batchCall("out", "1"), tmp);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("rotation.to: \"2O\" is not a number"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(tmp / "out" / "best.csv"));
}

} // namespace batch

} // namespace
} // namespace tavelo::test
