// The valuation on the command line, as a user runs tavelo-cli: the JSON of
// `run --economics`, refusals by key path (status 2), an output that cannot be
// written (status 4), `economics.csv` of a batch and the value in `compare`.
// The numbers are the worked example of the planted stand thinned twice.

#include "support/cli_test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace tavelo::test {
namespace {

const char *kEconomics = R"("economics": {"prices": {"sawlog": "45", "roundwood": "30", "firewood": "8"},
  "costs": {"thinning": "250", "finalFelling": "400", "perCubicMetre": "4", "annual": "15", "establishment": "1200"},
  "discountRate": "3"})";

// The reference scenario with an economics section added before its last brace.
std::string withEconomics(const std::string &scenarioFile, const std::string &economics = kEconomics)
{
    std::string json = readBytes(kExamples / scenarioFile);
    const size_t brace = json.rfind('}');
    return json.substr(0, brace) + ",\n" + economics + "\n}\n";
}

TEST(EconomicsCli, RunWritesTheValuation)
{
    TempFolder tmp;
    writeBytes(tmp / "s.json", withEconomics("planted-two-thinnings.json"));
    const CliRun r = runCli({"run", "s.json", "--log", "l.log", "--economics", "v.json"}, tmp);
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonObject o = jsonFile(tmp / "v.json");
    EXPECT_DOUBLE_EQ(o.value("npv").toDouble(), 6205.95);
    EXPECT_DOUBLE_EQ(o.value("eaa").toDouble(), 316.62);
    EXPECT_DOUBLE_EQ(o.value("lev").toDouble(), 4223.97);
    const QJsonArray flows = o.value("cashFlows").toArray();
    ASSERT_EQ(flows.size(), 4);
    const char *operations[] = {"thinning", "thinning", "finalFelling", "annual"};
    const double ages[] = {22, 32, 42};
    const double nets[] = {1275.26, 3674.65, 8535.41, -450.0};
    const double discounted[] = {948.91, 2034.56, 3516.48, -294.01};
    for (int i = 0; i < 4; ++i) {
        const QJsonObject f = flows[i].toObject();
        EXPECT_EQ(f.value("operation").toString().toStdString(), operations[i]);
        if (i < 3) {
            EXPECT_EQ(f.value("age").toDouble(), ages[i]);
        }
        EXPECT_DOUBLE_EQ(f.value("net").toDouble(), nets[i]) << i;
        EXPECT_DOUBLE_EQ(f.value("discounted").toDouble(), discounted[i]) << i;
    }
    // The log and the record are those of the run without a valuation.
    EXPECT_EQ(readBytes(tmp / "l.log"), readBytes(kExamples / "planted-two-thinnings.log"));
}

TEST(EconomicsCli, NotPlantedHasNoLandExpectationValue)
{
    TempFolder tmp;
    writeBytes(tmp / "s.json", withEconomics("thinned-by-parameters.json"));
    const CliRun r = runCli({"run", "s.json", "--log", "l.log", "--economics", "v.json"}, tmp);
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonObject o = jsonFile(tmp / "v.json");
    EXPECT_TRUE(o.value("npv").isDouble());
    EXPECT_TRUE(o.value("lev").isNull());
}

struct BadValueCase {
    const char *name;
    const char *economics;
    const char *keyPath;
};

class EconomicsCliBadValue : public ::testing::TestWithParam<BadValueCase> {};

TEST_P(EconomicsCliBadValue, RefusedWithStatusTwoAndTheKeyPath)
{
    TempFolder tmp;
    writeBytes(tmp / "s.json", withEconomics("planted-two-thinnings.json", GetParam().economics));
    const CliRun r = runCli({"run", "s.json", "--log", "l.log", "--economics", "v.json"}, tmp);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find(GetParam().keyPath), std::string::npos) << r.err;
    // Refused before anything ran: no log, no valuation.
    EXPECT_FALSE(fs::exists(tmp / "l.log"));
    EXPECT_FALSE(fs::exists(tmp / "v.json"));
}

INSTANTIATE_TEST_SUITE_P(
    Values, EconomicsCliBadValue,
    ::testing::Values(
        BadValueCase{"CommaPrice",
                     R"("economics": {"prices": {"sawlog": "45,5", "roundwood": "30", "firewood": "8"},
                         "discountRate": "3"})",
                     "economics.prices.sawlog"},
        BadValueCase{"MissingPrice", R"("economics": {"prices": {"sawlog": "45", "roundwood": "30"},
                         "discountRate": "3"})",
                     "economics.prices.firewood"},
        BadValueCase{"NegativeCost",
                     R"("economics": {"prices": {"sawlog": "45", "roundwood": "30", "firewood": "8"},
                         "costs": {"annual": "-15"}, "discountRate": "3"})",
                     "economics.costs.annual"},
        BadValueCase{"RateText",
                     R"("economics": {"prices": {"sawlog": "45", "roundwood": "30", "firewood": "8"},
                         "discountRate": "três"})",
                     "economics.discountRate"}),
    [](const ::testing::TestParamInfo<BadValueCase> &i) { return std::string(i.param.name); });

TEST(EconomicsCli, WrongShapeIsAScenarioError)
{
    TempFolder tmp;
    writeBytes(tmp / "s.json", withEconomics("planted-two-thinnings.json", R"("economics": {"discountRate": 3})"));
    const CliRun r = runCli({"run", "s.json", "--log", "l.log"}, tmp);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("economics.discountRate: must be a string"), std::string::npos) << r.err;
}

TEST(EconomicsCli, NeedsAnEconomicsSection)
{
    TempFolder tmp;
    writeBytes(tmp / "s.json", readBytes(kExamples / "planted-two-thinnings.json"));
    const CliRun r = runCli({"run", "s.json", "--log", "l.log", "--economics", "v.json"}, tmp);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("--economics needs an \"economics\" section"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(tmp / "v.json"));
    EXPECT_FALSE(fs::exists(tmp / "l.log")); // nothing ran
}

TEST(EconomicsCli, OutputThatCannotBeWrittenEndsWithFour)
{
    TempFolder tmp;
    writeBytes(tmp / "s.json", withEconomics("planted-two-thinnings.json"));
    const CliRun r = runCli({"run", "s.json", "--log", "l.log", "--economics", "no-such-folder/v.json"}, tmp);
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_NE(r.err.find("cannot write no-such-folder/v.json"), std::string::npos) << r.err;
}

TEST(EconomicsCli, ARunTheModelEndedIsNotValued)
{
    TempFolder tmp;
    writeBytes(tmp / "s.json", withEconomics("ends-outside-the-model.json"));
    const CliRun r = runCli({"run", "s.json", "--log", "l.log", "--economics", "v.json"}, tmp);
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_FALSE(fs::exists(tmp / "v.json"));
}

TEST(EconomicsCli, BatchWritesEconomicsCsv)
{
    TempFolder tmp;
    writeBytes(tmp / "stands.csv", "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95\n"
                                   "p1,12,9,,1500,,,,,\n"
                                   "a1,12,9,,,1100,,,,\n"
                                   "zero,12,9,,0,,,,,\n");
    // The reference run's options and steps as a regime.
    std::string steps = readBytes(kExamples / "planted-two-thinnings.json");
    const size_t standAt = steps.find("\"stand\"");
    const size_t stepsAt = steps.find("\"steps\"");
    ASSERT_NE(standAt, std::string::npos);
    ASSERT_NE(stepsAt, std::string::npos);
    steps.erase(standAt, stepsAt - standAt);
    writeBytes(tmp / "regime.json", steps.substr(0, steps.rfind('}')) + ",\n" + kEconomics + "}\n");
    const CliRun r = runCli({"batch", "stands.csv", "--regime", "regime.json", "--out", "out"}, tmp);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string csv = readBytes(tmp / "out" / "economics.csv");
    // p1 is the worked example; a1, entered by the trees alive, has no LEV;
    // the refused stand has no line.
    const std::string expectedStart = "id,npv,eaa,lev\n"
                                      "p1,6205.95,316.62,4223.97\n"
                                      "a1,";
    EXPECT_EQ(csv.substr(0, expectedStart.size()), expectedStart) << csv;
    EXPECT_EQ(csv.substr(csv.size() - 2), ",\n") << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3) << csv;

    // A bad value refuses the whole batch before any stand runs.
    writeBytes(tmp / "bad.json", R"({"steps": ["project"], "economics": {"discountRate": "-3",
      "prices": {"sawlog": "45", "roundwood": "30", "firewood": "8"}}})");
    const CliRun bad = runCli({"batch", "stands.csv", "--regime", "bad.json", "--out", "out2"}, tmp);
    EXPECT_EQ(bad.status, 2) << bad.err;
    EXPECT_NE(bad.err.find("economics.discountRate"), std::string::npos) << bad.err;
    EXPECT_FALSE(fs::exists(tmp / "out2" / "record.csv"));

    // Without an economics section there is no economics.csv.
    writeBytes(tmp / "plain.json", steps);
    ASSERT_EQ(runCli({"batch", "stands.csv", "--regime", "plain.json", "--out", "out3"}, tmp).status, 0);
    EXPECT_FALSE(fs::exists(tmp / "out3" / "economics.csv"));
}

TEST(EconomicsCli, CompareShowsEachRegimesValue)
{
    TempFolder tmp;
    writeBytes(tmp / "a.json", withEconomics("planted-two-thinnings.json"));
    writeBytes(tmp / "b.json", readBytes(kExamples / "thinned-by-parameters.json"));
    const CliRun r = runCli({"compare", "a.json", "b.json", "--chart", "c.svg", "--csv", "c.csv"}, tmp);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string csv = readBytes(tmp / "c.csv");
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "regime,age,standing,removedCumulative,npv");
    EXPECT_NE(csv.find("a.json,42,233.45,160.46,6205.95\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("b.json,35,128.14,29.59,\n"), std::string::npos) << csv;
    const std::string svg = readBytes(tmp / "c.svg");
    EXPECT_NE(svg.find("a.json (VAL 6205.95 €/ha)"), std::string::npos);
}

} // namespace
} // namespace tavelo::test
