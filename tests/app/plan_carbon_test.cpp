// Carbon in the forest plan: a candidate's carbon is its regime's account
// over the horizon (replayed with `run --carbon`), and every point of the
// front between value and carbon is the best plan under its floor, found
// again by enumerating every combination of candidates.

#include "support/cli_test_support.h"
#include "support/inventory_rows.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <functional>

namespace tavelo::test {
namespace {

// Prices as the guides' plan, and carbon factors of their own, so that the
// plan is seen to read them.
const char *kCarbonEconomics = R"({"options": {"volumes": "com casca", "year": "2026"},
 "economics": {"prices": {"sawlog": "45", "roundwood": "30", "firewood": "8"},
               "costs": {"thinning": "250", "finalFelling": "400", "annual": "15"},
               "discountRate": "3", "landValue": "800"},
 "carbon": {"basicDensity": "0.5", "halfLives": {"sawlog": "40"}}})";

const char *kYoungForest = "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95,area\n"
                           "y1,12,9,,1500,,,,,,2.5\n"
                           "y2,25,13,,,,601,22,9,31,1.5\n"
                           "y3,20,13,,,,900,21,8,28,3.5\n";

struct ReplayCase {
    const char *name;
    const char *regime; // its length is the horizon's
    const char *horizon;
};

class PlanCarbonReplay : public ::testing::TestWithParam<ReplayCase> {};

TEST_P(PlanCarbonReplay, EachStandsCarbonIsItsAccountsMeanStock)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kYoungForest);
    writeBytes(dir / "econ.json", kCarbonEconomics);
    writeBytes(dir / "regime.json", GetParam().regime);
    const CliRun r = runCli({"plan", "stands.csv", "--regimes", "regime.json", "--economics", "econ.json",
                             "--horizon", GetParam().horizon, "--out", "out"},
                            dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto inventory = csvTable(kYoungForest);
    const auto plan = csvTable(readBytes(dir / "out/plan.csv"));
    ASSERT_EQ(plan.size(), inventory.size());
    ASSERT_EQ(plan[0].back(), "carbon");
    for (size_t i = 1; i < plan.size(); ++i) {
        SCOPED_TRACE(plan[i][0]);
        QJsonObject scenario =
            QJsonDocument::fromJson(QByteArray::fromStdString(standScenario(inventory[i], GetParam().regime))).object();
        scenario.insert("carbon", QJsonDocument::fromJson(kCarbonEconomics).object().value("carbon"));
        writeBytes(dir / "replay.json", QJsonDocument(scenario).toJson().toStdString());
        const CliRun run = runCli({"run", "replay.json", "--log", "replay.log", "--carbon", "carbon.json"}, dir);
        ASSERT_EQ(run.status, 0) << run.err;
        const double meanStock = jsonFile(dir / "carbon.json").value("meanStock").toDouble();
        const double area = std::stod(plan[i][1]);
        EXPECT_NEAR(std::stod(plan[i].back()), meanStock * area, 0.006 * area + 0.006);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Regimes, PlanCarbonReplay,
    ::testing::Values(
        ReplayCase{"FelledAtFifteen", R"({"options": {"volumes": "com casca", "year": "2026"},
                    "steps": ["project", "project", "project", "end"]})", "15"},
        ReplayCase{"ThinnedFelledAtTwenty", R"({"options": {"volumes": "com casca", "year": "2026"},
                    "steps": ["project", {"thin": "mechanical", "percent": "30"}, "project", "project", "project",
                              "end"]})", "20"}),
    [](const auto &info) { return std::string(info.param.name); });

// Old stands, past the age of the best value: felling soon pays, waiting holds carbon.
const char *kOldForest = "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95,area\n"
                         "o1,42,19,,,,420,32,15,40,3\n"
                         "o2,47,20,,,,380,34,17,43,2\n"
                         "o3,52,21,,,,350,36,18,45,4\n"
                         "o4,38,18,,,,450,30,14,38,2.5\n"
                         "o5,45,17,,,,400,31,15,39,3.5\n";
const char *kFellingsOnly = R"({"rotation": {"from": "35", "to": "80"},
  "thinnings": {"max": "0", "minInterval": "5", "firstAge": "15", "mechanical": [], "below": []}})";

// Five stands' values, each rounded to the cent in candidates.csv.
constexpr double kRounding = 0.03;

struct Combination {
    double value = 0.0, carbon = 0.0; // €, t C
};

TEST(PlanCarbonFront, EveryPointIsTheBestPlanUnderItsFloor)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kOldForest);
    writeBytes(dir / "econ.json", kCarbonEconomics);
    writeBytes(dir / "space.json", kFellingsOnly);
    const auto plan = [&](const std::string &out, std::vector<std::string> extra) {
        std::vector<std::string> args{"plan", "stands.csv", "--space", "space.json", "--economics", "econ.json",
                                      "--horizon", "30", "--gap", "0", "--out", out};
        args.insert(args.end(), extra.begin(), extra.end());
        return runCli(args, dir);
    };
    const CliRun r = plan("front", {"--front", "carbon:6"});
    ASSERT_EQ(r.status, 0) << r.err;

    // Every combination of the candidates, enumerated.
    const auto candidates = csvTable(readBytes(dir / "front/candidates.csv"));
    std::vector<std::vector<Combination>> byStand;
    double area = 0.0;
    for (const auto &row : csvTable(kOldForest))
        if (row[0] != "id")
            area += std::stod(row[10]);
    for (size_t i = 1; i < candidates.size(); ++i) {
        if (i == 1 || candidates[i][0] != candidates[i - 1][0])
            byStand.emplace_back();
        byStand.back().push_back({std::stod(candidates[i][3]), std::stod(candidates[i][6])});
    }
    ASSERT_EQ(byStand.size(), 5u);
    std::vector<Combination> all{{}};
    for (const auto &stand : byStand) {
        std::vector<Combination> next;
        for (const Combination &c : all)
            for (const Combination &k : stand)
                next.push_back({c.value + k.value, c.carbon + k.carbon});
        all = std::move(next);
    }
    const auto bestValueWith = [&](double carbonPerHa) {
        double best = -1e300;
        for (const Combination &c : all)
            if (c.carbon / area >= carbonPerHa - 0.0005 - 1e-9)
                best = std::max(best, c.value);
        return best;
    };
    double mostCarbon = 0.0;
    for (const Combination &c : all)
        mostCarbon = std::max(mostCarbon, c.carbon / area);

    const auto front = csvTable(readBytes(dir / "front/front.csv"));
    ASSERT_EQ(front[0], (std::vector<std::string>{"point", "carbon_t_per_ha", "value", "value_loss_pct",
                                                  "carbon_gain_pct", "gap_pct", "knee"}));
    ASSERT_GE(front.size(), 4u) << "the anchors and at least one plan between them";
    struct Point {
        double carbon, value;
        bool knee;
    };
    std::vector<Point> points;
    for (size_t i = 1; i < front.size(); ++i)
        points.push_back({std::stod(front[i][1]), std::stod(front[i][2]), front[i][6] == "1"});
    EXPECT_NEAR(points.front().value, bestValueWith(0.0), kRounding);
    EXPECT_NEAR(points.back().carbon, mostCarbon, 0.001);
    EXPECT_NEAR(points.back().value, bestValueWith(mostCarbon), kRounding);
    for (size_t k = 0; k < points.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(points[k].value, bestValueWith(points[k].carbon), kRounding);
        EXPECT_TRUE(fs::exists(dir / "front/front" / std::to_string(k) / "plan.csv"));
        for (size_t j = 0; j < points.size(); ++j) { // nondominated, by carbon
            if (j != k) {
                EXPECT_FALSE(points[j].value >= points[k].value && points[j].carbon >= points[k].carbon);
            }
        }
        if (k > 0) {
            EXPECT_GT(points[k].carbon, points[k - 1].carbon);
        }
    }
    // The knee: scaled between the anchors, the point farthest above the line joining them.
    const Point &a = points.front(), &b = points.back();
    size_t knee = 0;
    double farthest = 0.0;
    for (size_t k = 1; k + 1 < points.size(); ++k) {
        const double height = (points[k].carbon - a.carbon) / (b.carbon - a.carbon) +
                              (points[k].value - b.value) / (a.value - b.value) - 1.0;
        if (height > farthest) {
            farthest = height;
            knee = k;
        }
    }
    for (size_t k = 0; k < points.size(); ++k)
        EXPECT_EQ(points[k].knee, k == knee && knee > 0) << k;

    // The carbon objective is the front's carbon anchor; a floor above it exits 3 saying how far a plan reaches.
    const CliRun most = plan("most", {"--objective", "carbon"});
    ASSERT_EQ(most.status, 0) << most.err;
    EXPECT_EQ(readBytes(dir / "most/plan.csv"), readBytes(dir / "front/front" / std::to_string(points.size() - 1) /
                                                          "plan.csv"));
    const CliRun beyond = plan("beyond", {"--min-carbon", std::to_string(mostCarbon + 1.0)});
    EXPECT_EQ(beyond.status, 3) << beyond.err;
    const std::string said = "reaches under the other constraints is ";
    const size_t at = beyond.err.find(said);
    ASSERT_NE(at, std::string::npos) << beyond.err;
    EXPECT_NEAR(std::stod(beyond.err.substr(at + said.size())), mostCarbon, 0.001);
}

} // namespace
} // namespace tavelo::test
