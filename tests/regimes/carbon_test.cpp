// The carbon account of the planted stand thinned twice, worked out by hand
// from its record (volumes over bark) with D 0.44, BEF 1.3, R 0.29, CF 0.5 and
// half-lives of 35 (sawlog) and 25 years (roundwood):
//
//   whole tree per m3: 0.44 x 1.3 x 1.29 x 0.5 = 0.36894 t C; stem per m3: 0.44 x 0.5 = 0.22 t C
//   stand: 48.05 -> 17.73, 104.90 -> 38.70, 170.59 -> 62.94, 122.37 -> 45.15, 182.82 -> 67.45,
//          245.17 -> 90.45, 132.93 -> 49.04, 182.47 -> 67.32, 233.45 -> 86.13
//   thinning 22: sawlog 20.18 x 0.22 = 4.4396, roundwood 26.62 x 0.22 = 5.8564,
//                emitted 1.43 x 0.22 + 48.22 x (0.36894 - 0.22) = 7.4965
//   thinning 32: 69.89 -> 15.3758, 40.44 -> 8.8968, emitted 1.92 x 0.22 + 112.24 x 0.14894 = 17.1394
//   felling 42: 193.57 -> 42.5854, 38.16 -> 8.3952, emitted 1.72 x 0.22 + 233.45 x 0.14894 = 35.1484
//   a pool fed at age a holds at age y > a: (1 - e^-k)/k x inflow x e^-k(y-a-1)
//     (a closed form of the year-by-year decay, k = ln 2 / half-life)
//   products at 27: 4.3959 x 0.98039^4 + 5.7760 x 0.97265^4 = 4.0612 + 5.1696 = 9.23
//   mean stand: trapezoids 5 x (17.73+38.70)/2 + ... over 30 years = 58.20
//   start 17.73, end 86.13 + 26.00 = 112.13, balance 94.41, mean stock 58.20 + 12.68 = 70.88

#include "regimes/scenario.h"
#include "base/numeric_text.h"
#include "session/results/carbon.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tavelo {
namespace {

CarbonFactors exampleFactors()
{
    return {0.44, 1.3, 0.29, 0.5, 35.0, 25.0};
}

// The example as typed, with its volumes shown with or without bark, played
// through the session.
StandState playExample(const char *volumes)
{
    std::ifstream in(std::string(TAVELO_EXAMPLES_DIR) + "/planted-two-thinnings.json");
    EXPECT_TRUE(in) << "the reference runs are needed";
    const std::string json{std::istreambuf_iterator<char>(in), {}};
    QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
    QJsonObject options = root.value("options").toObject();
    options.insert("volumes", QString::fromUtf8(volumes));
    root.insert("options", options);
    auto parsed = parseScenario(QJsonDocument(root).toJson().toStdString(), "2026");
    EXPECT_TRUE(std::holds_alternative<Scenario>(parsed));
    StandState state;
    LogFile log;
    log.discard();
    EXPECT_EQ(runScenario(std::get<Scenario>(parsed), state, log).status, RunResult::Status::Completed);
    return state;
}

// The pool's stock at age y by the closed form, from the removals by hand.
double poolByHand(const std::vector<std::pair<double, double>> &inflows, double halfLife, double y)
{
    const double k = std::log(2.0) / halfLife;
    double c = 0.0;
    for (const auto &[age, inflow] : inflows)
        if (y > age)
            c += (1.0 - std::exp(-k)) / k * inflow * std::exp(-k * (y - age - 1.0));
    return c;
}

struct ExpectedRow {
    const char *code;
    double age;
    const char *stand, *products, *emitted, *total;
};

class CarbonExample : public ::testing::TestWithParam<const char *> {};

TEST_P(CarbonExample, ToTheLastDigit)
{
    const StandState state = playExample(GetParam());
    const auto account = carbonOfSimulation(state, exampleFactors());
    ASSERT_TRUE(account);
    const std::vector<ExpectedRow> expected = {
        {"AD", 12, "17.73", "0.00", "0.00", "17.73"},   {"AD", 17, "38.70", "0.00", "0.00", "38.70"},
        {"AD", 22, "62.94", "0.00", "0.00", "62.94"},   {"D", 22, "45.15", "0.00", "7.50", "45.15"},
        {"AD", 27, "67.45", "9.23", "7.50", "76.68"},   {"AD", 32, "90.45", "8.18", "7.50", "98.63"},
        {"D", 32, "49.04", "8.18", "24.64", "57.22"},   {"AD", 37, "67.32", "29.17", "24.64", "96.49"},
        {"AD", 42, "86.13", "26.00", "59.78", "112.13"}};
    const auto table = carbonTable(*account);
    ASSERT_EQ(table.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(table[i][1], plainNumberText(expected[i].age));
        EXPECT_EQ(table[i][2], expected[i].code);
        EXPECT_EQ(table[i][3], expected[i].stand);
        EXPECT_EQ(table[i][4], expected[i].products);
        EXPECT_EQ(table[i][5], expected[i].emitted);
        EXPECT_EQ(table[i][6], expected[i].total);
    }
    EXPECT_EQ(carbonText(account->start), "17.73");
    EXPECT_EQ(carbonText(account->end), "112.13");
    EXPECT_EQ(carbonText(account->balance), "94.41");
    EXPECT_EQ(carbonText(account->meanStand), "58.20");
    EXPECT_EQ(carbonText(account->meanProducts), "12.68");
    EXPECT_EQ(carbonText(account->meanStock), "70.88");
    EXPECT_EQ(carbonText(account->meanStock * 44.0 / 12.0), "259.89");

    // Every yearly stock of both pools against the closed form.
    const std::vector<std::pair<double, double>> sawlog = {{22, 20.18 * 0.22}, {32, 69.89 * 0.22}};
    const std::vector<std::pair<double, double>> roundwood = {{22, 26.62 * 0.22}, {32, 40.44 * 0.22}};
    ASSERT_EQ(account->sawlogPool.size(), 31u);
    double sum = 0.0;
    for (int y = 12; y <= 42; ++y) {
        EXPECT_NEAR(account->sawlogPool[y - 12], poolByHand(sawlog, 35.0, y), 1e-9) << y;
        EXPECT_NEAR(account->roundwoodPool[y - 12], poolByHand(roundwood, 25.0, y), 1e-9) << y;
        if (y > 12)
            sum += poolByHand(sawlog, 35.0, y) + poolByHand(roundwood, 25.0, y);
    }
    EXPECT_NEAR(account->meanProducts, sum / 30.0, 1e-9);
    // The stand's mean by trapezoids over the ages of the record, thinnings as drops.
    const double w = 0.44 * 1.3 * 1.29 * 0.5;
    const double area = 5 * w *
                        ((48.05 + 104.90) + (104.90 + 170.59) + (122.37 + 182.82) + (182.82 + 245.17) +
                         (132.93 + 182.47) + (182.47 + 233.45)) / 2.0;
    EXPECT_NEAR(account->meanStand, area / 30.0, 1e-9);
}

// The record under bark gives the same carbon: the account reads the tables with bark.
INSTANTIATE_TEST_SUITE_P(PlantedThinnedTwice, CarbonExample, ::testing::Values("com casca", "sem casca"),
                         [](const ::testing::TestParamInfo<const char *> &i) {
                             return std::string(i.param[0] == 'c' ? "WithBark" : "WithoutBark");
                         });

TEST(CarbonAccount, UnderBarkRecordStaysUnderBark)
{
    const StandState withBark = playExample("com casca");
    const StandState without = playExample("sem casca");
    // The record shows the volumes without bark, smaller than with it.
    const auto shown = valuationRows(without);
    const auto over = valuationRows(withBark);
    ASSERT_TRUE(shown && over);
    ASSERT_EQ(shown->size(), over->size());
    for (size_t i = 0; i < shown->size(); ++i)
        EXPECT_LT((*shown)[i].total, (*over)[i].total) << i;
    // The record itself is the reference run's, untouched by the account.
    std::ifstream in(std::string(TAVELO_EXAMPLES_DIR) + "/planted-two-thinnings.record.csv");
    EXPECT_EQ(recordCsv(withBark), std::string(std::istreambuf_iterator<char>(in), {}));
}

} // namespace
} // namespace tavelo
