// The carbon account on the command line, as a user runs tavelo-cli: the JSON
// of `run --carbon` on the planted stand thinned twice (worked out by hand in
// the guides: 0.44 x 1.3 x 1.29 x 0.5 = 0.36894 t C per m3 of stand, 0.22 per
// m3 of stem removed), refused factors by key path, batch and compare, and the
// carbon objective of optimize replayed through `run`.

#include "support/cli_test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace tavelo::test {
namespace {

const char *kCarbon = R"("carbon": {"basicDensity": "0.44", "expansionFactor": "1.3", "rootToShoot": "0.29",
  "carbonFraction": "0.5", "halfLives": {"sawlog": "35", "roundwood": "25"}})";

// The reference scenario with its volumes shown `volumes` and `section` added.
std::string example(const std::string &volumes, const std::string &section = kCarbon)
{
    std::string json = readBytes(kExamples / "planted-two-thinnings.json");
    json.replace(json.find("com casca"), 9, volumes);
    const size_t brace = json.rfind('}');
    return json.substr(0, brace) + (section.empty() ? "" : ",\n" + section) + "\n}\n";
}

class CarbonRun : public ::testing::TestWithParam<const char *> {};

TEST_P(CarbonRun, WritesTheWorkedExample)
{
    TempFolder tmp;
    writeBytes(tmp / "s.json", example(GetParam()));
    const CliRun r = runCli({"run", "s.json", "--log", "l.log", "--carbon", "c.json"}, tmp);
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonObject o = jsonFile(tmp / "c.json");
    // Stand: volume x 0.36894; products: the pools at the start of each year;
    // emitted: fuelwood x 0.22 + volume x (0.36894 - 0.22) of every removal so far.
    const struct {
        double year, age;
        const char *code;
        double stand, products, emitted, total;
    } rows[] = {{2026, 12, "AD", 17.73, 0, 0, 17.73},          {2031, 17, "AD", 38.70, 0, 0, 38.70},
                {2036, 22, "AD", 62.94, 0, 0, 62.94},          {2036, 22, "D", 45.15, 0, 7.50, 45.15},
                {2041, 27, "AD", 67.45, 9.23, 7.50, 76.68},    {2046, 32, "AD", 90.45, 8.18, 7.50, 98.63},
                {2046, 32, "D", 49.04, 8.18, 24.64, 57.22},    {2051, 37, "AD", 67.32, 29.17, 24.64, 96.49},
                {2056, 42, "AD", 86.13, 26.00, 59.78, 112.13}};
    const QJsonArray got = o.value("rows").toArray();
    ASSERT_EQ(got.size(), 9);
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        const QJsonObject g = got[i].toObject();
        EXPECT_EQ(g.keys().size(), 7);
        EXPECT_EQ(g.value("year").toDouble(), rows[i].year);
        EXPECT_EQ(g.value("age").toDouble(), rows[i].age);
        EXPECT_EQ(g.value("code").toString().toStdString(), rows[i].code);
        EXPECT_TRUE(g.value("stand").isDouble());
        EXPECT_DOUBLE_EQ(g.value("stand").toDouble(), rows[i].stand);
        EXPECT_DOUBLE_EQ(g.value("products").toDouble(), rows[i].products);
        EXPECT_DOUBLE_EQ(g.value("emitted").toDouble(), rows[i].emitted);
        EXPECT_DOUBLE_EQ(g.value("total").toDouble(), rows[i].total);
    }
    EXPECT_DOUBLE_EQ(o.value("start").toDouble(), 17.73);
    EXPECT_DOUBLE_EQ(o.value("end").toDouble(), 112.13);
    EXPECT_DOUBLE_EQ(o.value("balance").toDouble(), 94.41);
    EXPECT_DOUBLE_EQ(o.value("meanStock").toDouble(), 70.88);
    EXPECT_EQ(o.keys().size(), 5);
}

INSTANTIATE_TEST_SUITE_P(PlantedThinnedTwice, CarbonRun, ::testing::Values("com casca", "sem casca"),
                         [](const ::testing::TestParamInfo<const char *> &i) {
                             return std::string(i.param[0] == 'c' ? "WithBark" : "WithoutBark");
                         });

TEST(CarbonCli, WithoutSectionTakesTheDefaults)
{
    TempFolder tmp;
    writeBytes(tmp / "s.json", example("com casca", ""));
    const CliRun r = runCli({"run", "s.json", "--log", "l.log", "--carbon", "c.json"}, tmp);
    ASSERT_EQ(r.status, 0) << r.err;
    // The carbon fraction 0.51 instead of 0.5: 48.05 x 0.44 x 1.3 x 1.29 x 0.51 = 18.08.
    EXPECT_DOUBLE_EQ(jsonFile(tmp / "c.json").value("start").toDouble(), 18.08);
    // The log is the run's without the account.
    EXPECT_EQ(readBytes(tmp / "l.log"), readBytes(kExamples / "planted-two-thinnings.log"));
}

TEST(CarbonCli, ModelEndedGetsNoAccount)
{
    TempFolder tmp;
    const CliRun r = runCli(
        {"run", (kExamples / "ends-outside-the-model.json").string(), "--log", "l.log", "--carbon", "c.json"}, tmp);
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_FALSE(fs::exists(tmp / "c.json"));
}

struct BadFactor {
    const char *section;
    const char *keyPath;
};

class CarbonRefused : public ::testing::TestWithParam<BadFactor> {};

// Every command refuses the factor with its key path before anything is written.
TEST_P(CarbonRefused, ExitTwoWithKeyPath)
{
    const BadFactor &c = GetParam();
    const std::string section = std::string("\"carbon\": ") + c.section;
    TempFolder tmp;
    writeBytes(tmp / "s.json", example("com casca", section));
    writeBytes(tmp / "space.json", R"({"rotation": {"from": "30", "to": "40"}})");
    writeBytes(tmp / "stands.csv", "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95\n"
                                   "a,12,9,,1500,,,,,\n");
    writeBytes(tmp / "regime.json", "{\"steps\": [\"project\"], " + section + "}");
    const std::vector<std::vector<std::string>> calls = {
        {"run", "s.json", "--log", "l.log", "--carbon", "c.json", "--record", "r.csv"},
        {"batch", "stands.csv", "--regime", "regime.json", "--out", "out"},
        {"batch", "stands.csv", "--regime", "regime.json", "--db", "out.sqlite"},
        {"optimize", "s.json", "--space", "space.json", "--objective", "carbon", "--out", "opt"},
        {"batch", "stands.csv", "--regime", "regime.json", "--out", "bo", "--optimize", "space.json", "--objective",
         "carbon"},
        {"compare", "s.json", "--chart", "c.png", "--csv", "c.csv"}};
    for (const auto &call : calls) {
        SCOPED_TRACE(call[0] + " " + call[1] + " " + call[4]);
        const CliRun r = runCli(call, tmp);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.err.find(c.keyPath), std::string::npos) << r.err;
    }
    for (const char *output : {"l.log", "c.json", "r.csv", "out", "out.sqlite", "opt", "bo"})
        EXPECT_FALSE(fs::exists(tmp / output)) << output;
}

INSTANTIATE_TEST_SUITE_P(
    Factors, CarbonRefused,
    ::testing::Values(BadFactor{R"({"basicDensity": "0,44"})", "carbon.basicDensity"},
                      BadFactor{R"({"expansionFactor": "0.5"})", "carbon.expansionFactor"},
                      BadFactor{R"({"rootToShoot": "-1"})", "carbon.rootToShoot"},
                      BadFactor{R"({"carbonFraction": "2"})", "carbon.carbonFraction"},
                      BadFactor{R"({"halfLives": {"sawlog": "0"}})", "carbon.halfLives.sawlog"},
                      BadFactor{R"({"halfLives": {"roundwood": "x"}})", "carbon.halfLives.roundwood"}));

TEST(CarbonCli, BatchAndCompare)
{
    TempFolder tmp;
    std::string regime = example("com casca");
    writeBytes(tmp / "s.json", regime);
    // The regime: the example's options, steps and factors, without its stand.
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(regime)).object();
    QJsonObject r;
    for (const char *k : {"options", "steps", "carbon"})
        r.insert(k, o.value(k));
    writeBytes(tmp / "regime.json", QJsonDocument(r).toJson().toStdString());
    writeBytes(tmp / "stands.csv", "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95\n"
                                   "a,12,9,,1500,,,,,\n");
    CliRun run = runCli({"batch", "stands.csv", "--regime", "regime.json", "--out", "out", "--db", "r.sqlite"}, tmp);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readBytes(tmp / "out" / "carbon.csv"), "id,start,end,balance,meanStock\na,17.73,112.13,94.41,70.88\n");

    run = runCli({"compare", "s.json", (kExamples / "planted-two-thinnings.json").string(), "--chart", "c.png", "--csv",
                  "c.csv"},
                 tmp);
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream csv(readBytes(tmp / "c.csv"));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "regime,age,standing,removedCumulative,meanCarbonStock");
    std::getline(csv, line);
    EXPECT_EQ(line, "s.json,12,48.05,0.00,70.88");
}

class CarbonOptimize : public ::testing::TestWithParam<const char *> {};

// Each ranked regime, replayed with `run --carbon`, has the mean stock it was ranked by.
TEST_P(CarbonOptimize, RankedValueReplays)
{
    TempFolder tmp;
    writeBytes(tmp / "s.json", example(GetParam()));
    writeBytes(tmp / "space.json", R"({"rotation": {"from": "30", "to": "45"},
        "thinnings": {"max": "2", "minInterval": "5", "firstAge": "17", "mechanical": ["30"], "below": ["16"]}})");
    const CliRun r =
        runCli({"optimize", "s.json", "--space", "space.json", "--objective", "carbon", "--out", "opt", "--top", "3"}, tmp);
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream ranking(readBytes(tmp / "opt" / "ranking.csv"));
    std::string line;
    std::getline(ranking, line);
    double previous = 1e9;
    for (int k = 1; k <= 3; ++k) {
        SCOPED_TRACE(k);
        ASSERT_TRUE(std::getline(ranking, line));
        const std::string objective = line.substr(line.find(',') + 1, line.find(',', line.find(',') + 1) - line.find(',') - 1);
        const std::string best = "opt/best-" + std::to_string(k) + ".json";
        const CliRun replay = runCli({"run", best, "--log", "b.log", "--carbon", "b.json"}, tmp);
        ASSERT_EQ(replay.status, 0) << replay.err;
        const double stock = jsonFile(tmp / "b.json").value("meanStock").toDouble();
        EXPECT_DOUBLE_EQ(stock, std::stod(objective));
        EXPECT_LE(stock, previous);
        previous = stock;
    }
}

INSTANTIATE_TEST_SUITE_P(BothBarks, CarbonOptimize, ::testing::Values("com casca", "sem casca"),
                         [](const ::testing::TestParamInfo<const char *> &i) {
                             return std::string(i.param[0] == 'c' ? "WithBark" : "WithoutBark");
                         });

} // namespace
} // namespace tavelo::test
