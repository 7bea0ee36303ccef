// The valuation of a simulation, checked to the cent against numbers worked
// out by hand from the reference record of the planted stand thinned twice:
//
//   age 22: AD 170.59 (Madeira 71.04, Rolaria 94.48, Lenha 5.07), D 122.37 (50.86, 67.86, 3.64)
//   age 32: AD 245.17 (160.59, 80.83, 3.76), D 132.93 (90.70, 40.39, 1.84)
//   age 42: AD 233.45 (193.57, 38.16, 1.72), the final felling
//
// With Madeira 45, Rolaria 30, Lenha 8 €/m3, 4 €/m3 harvesting, 250 € a
// thinning and 400 € the final felling:
//   22: removed 20.18, 26.62, 1.43 (48.22): 908.10 + 798.60 + 11.44 = 1718.14; costs 192.88 + 250 = 442.88; 1275.26
//   32: removed 69.89, 40.44, 1.92 (112.24): 3145.05 + 1213.20 + 15.36 = 4373.61; costs 448.96 + 250 = 698.96; 3674.65
//   42: 193.57, 38.16, 1.72 (233.45): 8710.65 + 1144.80 + 13.76 = 9869.21; costs 933.80 + 400 = 1333.80; 8535.41
// At 3 %: 1275.26 x 1.03^-10 = 948.91, 3674.65 x 1.03^-20 = 2034.56, 8535.41 x 1.03^-30 = 3516.48;
// 15 €/year for 30 years: 15 x 19.600441 = 294.01.

#include "regimes/scenario.h"
#include "base/csv.h"
#include "base/numeric_text.h"
#include "session/entry/entry_session.h"
#include "session/results/economics.h"
#include "session/results/end_session.h"
#include "session/results/regime_comparison.h"

#include <QJsonArray>
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

// The reference record's rows as a StandState holds them.
StandState referenceRecord(const std::string &name = "planted-two-thinnings")
{
    std::ifstream in(std::string(TAVELO_EXAMPLES_DIR) + "/" + name + ".record.csv");
    EXPECT_TRUE(in) << "the reference runs are needed";
    StandState s;
    std::string line;
    std::getline(in, line); // headers
    int r = 0;
    while (std::getline(in, line)) {
        const auto cells = splitCsvLine(line);
        if (!cells || cells->size() != kRecordColumns)
            continue;
        for (int c = 0; c < kRecordColumns; ++c)
            s.record[r][c] = c == 1 ? RecordCell(std::stod((*cells)[c])) : RecordCell((*cells)[c]);
        ++r;
    }
    s.recordLast = r - 1;
    return s;
}

EconomicInputs prices(double annual, double rate)
{
    EconomicInputs in;
    in.sawlogPrice = 45.0;
    in.roundwoodPrice = 30.0;
    in.firewoodPrice = 8.0;
    in.thinningCost = 250.0;
    in.finalFellingCost = 400.0;
    in.costPerCubicMetre = 4.0;
    in.annualCost = annual;
    in.establishmentCost = 1200.0;
    in.discountRatePercent = rate;
    return in;
}

std::string cents(std::optional<double> v)
{
    return v ? moneyText(*v) : std::string("none");
}

// --- The worked example ---------------------------------------------------------------------

struct ExampleCase {
    const char *name;
    double annual;
    double rate;
    bool planted;
    const char *npv;
    const char *eaa;
    const char *lev;
    std::vector<const char *> discounted; // thinning 22, thinning 32, final felling 42[, annual costs]
};

class WorkedExample : public ::testing::TestWithParam<ExampleCase> {};

TEST_P(WorkedExample, ToTheCent)
{
    const ExampleCase &c = GetParam();
    const auto rows = valuationRows(referenceRecord());
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 9u);
    const Valuation v = valueRecord(*rows, prices(c.annual, c.rate), c.planted);

    EXPECT_EQ(v.firstAge, 12.0);
    EXPECT_EQ(v.lastAge, 42.0);
    EXPECT_EQ(moneyText(v.npv), c.npv);
    EXPECT_EQ(cents(v.eaa), c.eaa);
    EXPECT_EQ(cents(v.lev), c.lev);

    // The harvests do not depend on the rate or the annual cost.
    ASSERT_EQ(v.flows.size(), c.discounted.size());
    const std::vector<std::array<const char *, 9>> harvests = {
        {"22", "20.18", "26.62", "1.43", "48.22", "1718.14", "442.88", "1275.26", "Desbaste"},
        {"32", "69.89", "40.44", "1.92", "112.24", "4373.61", "698.96", "3674.65", "Desbaste"},
        {"42", "193.57", "38.16", "1.72", "233.45", "9869.21", "1333.80", "8535.41", "Corte final"}};
    for (size_t i = 0; i < harvests.size(); ++i) {
        SCOPED_TRACE(i);
        const CashFlow &f = v.flows[i];
        EXPECT_EQ(f.ageText, harvests[i][0]);
        EXPECT_EQ(formatFixed(f.sawlog, 2), harvests[i][1]);
        EXPECT_EQ(formatFixed(f.roundwood, 2), harvests[i][2]);
        EXPECT_EQ(formatFixed(f.firewood, 2), harvests[i][3]);
        EXPECT_EQ(formatFixed(f.total, 2), harvests[i][4]);
        EXPECT_EQ(moneyText(f.revenue), harvests[i][5]);
        EXPECT_EQ(moneyText(f.cost), harvests[i][6]);
        EXPECT_EQ(moneyText(f.net), harvests[i][7]);
        EXPECT_EQ(operationText(f.kind), harvests[i][8]);
    }
    for (size_t i = 0; i < c.discounted.size(); ++i)
        EXPECT_EQ(moneyText(v.flows[i].discounted), c.discounted[i]) << i;
    // The discounted column adds up to the net present value.
    EXPECT_NEAR(v.totals.discounted, v.npv, 1e-9);
    EXPECT_EQ(moneyText(npvAtRate(v, c.rate)), c.npv);
}

INSTANTIATE_TEST_SUITE_P(
    PlantedThinnedTwice, WorkedExample,
    ::testing::Values(
        // 948.91 + 2034.56 + 3516.48 - 294.01; x 0.03 / (1 - 1.03^-30); LEV: see below.
        ExampleCase{"ThreePercentAnnualCostPlanted", 15.0, 3.0, true, "6205.95", "316.62", "4223.97",
                    {"948.91", "2034.56", "3516.48", "-294.01"}},
        ExampleCase{"ThreePercentNotPlanted", 15.0, 3.0, false, "6205.95", "316.62", "none",
                    {"948.91", "2034.56", "3516.48", "-294.01"}},
        // Without the annual cost the LEV rises by 15 / 0.03 = 500 exactly.
        ExampleCase{"ThreePercentNoAnnualCost", 0.0, 3.0, true, "6499.95", "331.62", "4723.97",
                    {"948.91", "2034.56", "3516.48"}},
        // 1275.26 + 3674.65 + 8535.41 - 30 x 15 = 13035.32, over 30 years 434.51; no LEV at 0 %.
        ExampleCase{"NoDiscountAnnualCost", 15.0, 0.0, true, "13035.32", "434.51", "none",
                    {"1275.26", "3674.65", "8535.41", "-450.00"}},
        ExampleCase{"NoDiscountNoCostNotPlanted", 0.0, 0.0, false, "13485.32", "449.51", "none",
                    {"1275.26", "3674.65", "8535.41"}}),
    [](const ::testing::TestParamInfo<ExampleCase> &i) { return std::string(i.param.name); });

// LEV at 3 % with the annual cost, by hand: NPV at planting
//   -1200 + 1275.26 x 1.03^-22 + 3674.65 x 1.03^-32 + 8535.41 x 1.03^-42 - 15 x (1 - 1.03^-42) / 0.03
//   = -1200 + 665.55 + 1427.00 + 2466.39 - 355.52 = 3003.42 (each term to the cent),
// times 1.03^42 / (1.03^42 - 1) = 1.406389: 4223.97.
TEST(WorkedExample, LandExpectationValueStepByStep)
{
    const Valuation v = valueRecord(*valuationRows(referenceRecord()), prices(15.0, 3.0), true);
    EXPECT_EQ(moneyText(1275.26 * std::pow(1.03, -22)), "665.55");
    EXPECT_EQ(moneyText(3674.65 * std::pow(1.03, -32)), "1427.00");
    EXPECT_EQ(moneyText(8535.41 * std::pow(1.03, -42)), "2466.39");
    EXPECT_EQ(moneyText(15.0 * (1.0 - std::pow(1.03, -42)) / 0.03), "355.52");
    EXPECT_EQ(formatFixed(std::pow(1.03, 42) / (std::pow(1.03, 42) - 1.0), 6), "1.406389");
    const double npv0 = -1200.0 + 665.55 + 1427.00 + 2466.39 - 355.52;
    EXPECT_NEAR(npv0 * std::pow(1.03, 42) / (std::pow(1.03, 42) - 1.0), *v.lev, 0.01);
}

TEST(Valuation, PlantedOnlyWhenEnteredByTreesPlanted)
{
    StandState s = referenceRecord();
    EXPECT_FALSE(enteredAsPlanted(s));
    s.enteredPlanted = true;
    EXPECT_TRUE(enteredAsPlanted(s));
    EXPECT_EQ(cents(valueSimulation(s, prices(15.0, 3.0))->lev), "4223.97");
}

// The route is kept from the density entry to the end, whatever the thinnings do.
TEST(Valuation, PlantedRouteFollowsTheDensityEntry)
{
    StandState s;
    StandDataInput stand;
    stand.age = "12";
    stand.mode = SiteInput::DominantHeight;
    stand.dominantHeight = "9";
    ASSERT_TRUE(standDataButton(s, stand).openDensityScreen);
    ASSERT_EQ(confirmUnthinnedDensity(s, "1500", DensityChoice::Planted).kind, DensityOutcome::Kind::Stored);
    EXPECT_TRUE(enteredAsPlanted(s));
    ASSERT_EQ(confirmUnthinnedDensity(s, "1500", DensityChoice::Alive).kind, DensityOutcome::Kind::Stored);
    EXPECT_FALSE(enteredAsPlanted(s));
    ASSERT_EQ(confirmUnthinnedDensity(s, "1500", DensityChoice::Planted).kind, DensityOutcome::Kind::Stored);
    cancelStandData(s);
    EXPECT_FALSE(enteredAsPlanted(s));
    ASSERT_TRUE(standDataButton(s, stand).openDensityScreen);
    ASSERT_EQ(confirmUnthinnedDensity(s, "1500", DensityChoice::Planted).kind, DensityOutcome::Kind::Stored);
    newSimulation(s);
    EXPECT_FALSE(enteredAsPlanted(s));
}

TEST(Valuation, TableEndsWithTheTotals)
{
    const Valuation v = valueRecord(*valuationRows(referenceRecord()), prices(15.0, 3.0), false);
    const auto table = cashFlowTable(v);
    ASSERT_EQ(table.size(), 5u);
    const std::array<std::string, 11> first = {"2036",    "22",     "Desbaste", "20.18",  "26.62", "1.43",
                                               "48.22",   "1718.14", "442.88",  "1275.26", "948.91"};
    EXPECT_EQ(table[0], first);
    const std::array<std::string, 11> annual = {"2027–2056", "13–42",  "Custos anuais", "", "", "", "",
                                                "0.00",      "450.00", "-450.00",       "-294.01"};
    EXPECT_EQ(table[3], annual);
    const std::array<std::string, 11> total = {"",         "",        "Total",    "283.64",   "105.22", "5.07",
                                               "393.91",   "15960.96", "2925.64", "13035.32", "6205.95"};
    EXPECT_EQ(table[4], total);
}

TEST(Valuation, OneStateIsAFinalFellingWithNoAnnualValue)
{
    std::vector<ValuationRow> rows(1);
    rows[0].year = "2026";
    rows[0].ageText = "30";
    rows[0].age = 30.0;
    rows[0].total = 100.0;
    rows[0].sawlog = 60.0;
    rows[0].roundwood = 35.0;
    rows[0].firewood = 5.0;
    const Valuation v = valueRecord(rows, prices(15.0, 3.0), true);
    ASSERT_EQ(v.flows.size(), 1u); // no annual costs: the record spans no year
    // 2700 + 1050 + 40 - 400 - 400 = 2990, today.
    EXPECT_EQ(moneyText(v.npv), "2990.00");
    EXPECT_FALSE(v.eaa);
    ASSERT_TRUE(v.lev);
}

TEST(Valuation, EndingOnTheThinnedStandThinsAndFellsAtTheSameAge)
{
    std::vector<ValuationRow> rows(3);
    rows[0] = {"2026", "20", 20.0, false, 100.0, 40.0, 55.0, 5.0};
    rows[1] = {"2031", "25", 25.0, false, 150.0, 50.0, 95.0, 5.0};
    rows[2] = {"2031", "25", 25.0, true, 100.0, 30.0, 67.0, 3.0};
    const Valuation v = valueRecord(rows, prices(0.0, 0.0), false);
    ASSERT_EQ(v.flows.size(), 2u);
    EXPECT_EQ(v.flows[0].kind, CashFlowKind::Thinning);
    // 45 x 28 + 30 x 20 + 8 x 2 - 4 x 50 - 250 = 1426
    EXPECT_EQ(moneyText(v.flows[0].net), "1426.00");
    EXPECT_EQ(v.flows[1].kind, CashFlowKind::FinalFelling);
    // 45 x 67 + 30 x 30 + 8 x 3 - 4 x 100 - 400 = 3139
    EXPECT_EQ(moneyText(v.flows[1].net), "3139.00");
    EXPECT_EQ(moneyText(v.npv), "4565.00");
    EXPECT_EQ(cents(v.eaa), "913.00"); // over 5 years
}

TEST(Valuation, EmptyOrUnreadableRecordIsNotValued)
{
    StandState empty;
    EXPECT_FALSE(valuationRows(empty));
    EXPECT_FALSE(valueSimulation(empty, prices(0.0, 3.0)));
    StandState s = referenceRecord();
    s.record[2][8] = std::string("abc");
    EXPECT_FALSE(valuationRows(s));
}

TEST(Valuation, ChartsFollowTheCashFlows)
{
    const Valuation v = valueRecord(*valuationRows(referenceRecord()), prices(15.0, 3.0), false);
    const auto flow = cumulativeDiscountedFlow(v);
    // One point a year from 12 to 42, and one more after each of the three harvests.
    ASSERT_EQ(flow.size(), 31u + 3u);
    EXPECT_EQ(flow.front(), (ChartPoint{12.0, 0.0}));
    EXPECT_EQ(flow.back().x, 42.0);
    EXPECT_NEAR(flow.back().y, v.npv, 1e-9);
    EXPECT_NEAR(flow[1].y, -15.0 / 1.03, 1e-9);

    const auto byRate = npvByRate(v);
    ASSERT_EQ(byRate.size(), 41u); // 0 to 10 % by 0.25
    EXPECT_EQ(byRate.front().x, 0.0);
    EXPECT_EQ(byRate.back().x, 10.0);
    EXPECT_EQ(moneyText(byRate.front().y), "13035.32");
    EXPECT_EQ(moneyText(byRate[12].y), "6205.95"); // 3 %
    for (size_t i = 1; i < byRate.size(); ++i)
        EXPECT_LT(byRate[i].y, byRate[i - 1].y); // all harvests come later: the value falls with the rate
}

TEST(Valuation, JsonHoldsTheValuesAndTheCashFlows)
{
    const Valuation v = valueRecord(*valuationRows(referenceRecord()), prices(15.0, 3.0), true);
    const std::string json = valuationJson(v);
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &err);
    ASSERT_EQ(err.error, QJsonParseError::NoError) << json;
    const QJsonObject o = doc.object();
    EXPECT_DOUBLE_EQ(o.value("npv").toDouble(), 6205.95);
    EXPECT_DOUBLE_EQ(o.value("eaa").toDouble(), 316.62);
    EXPECT_DOUBLE_EQ(o.value("lev").toDouble(), 4223.97);
    const QJsonArray flows = o.value("cashFlows").toArray();
    ASSERT_EQ(flows.size(), 4);
    const QJsonObject first = flows[0].toObject();
    EXPECT_EQ(first.value("year").toDouble(), 2036.0);
    EXPECT_EQ(first.value("age").toDouble(), 22.0);
    EXPECT_EQ(first.value("operation").toString(), QStringLiteral("thinning"));
    EXPECT_DOUBLE_EQ(first.value("sawlog").toDouble(), 20.18);
    EXPECT_DOUBLE_EQ(first.value("roundwood").toDouble(), 26.62);
    EXPECT_DOUBLE_EQ(first.value("firewood").toDouble(), 1.43);
    EXPECT_DOUBLE_EQ(first.value("total").toDouble(), 48.22);
    EXPECT_DOUBLE_EQ(first.value("revenue").toDouble(), 1718.14);
    EXPECT_DOUBLE_EQ(first.value("cost").toDouble(), 442.88);
    EXPECT_DOUBLE_EQ(first.value("net").toDouble(), 1275.26);
    EXPECT_DOUBLE_EQ(first.value("discounted").toDouble(), 948.91);
    EXPECT_EQ(flows[2].toObject().value("operation").toString(), QStringLiteral("finalFelling"));
    const QJsonObject annual = flows[3].toObject();
    EXPECT_EQ(annual.value("operation").toString(), QStringLiteral("annual"));
    EXPECT_TRUE(annual.value("year").isNull());
    EXPECT_TRUE(annual.value("age").isNull());
    EXPECT_DOUBLE_EQ(annual.value("discounted").toDouble(), -294.01);

    const Valuation none = valueRecord(*valuationRows(referenceRecord()), prices(0.0, 0.0), false);
    const QJsonObject o2 = QJsonDocument::fromJson(QByteArray::fromStdString(valuationJson(none))).object();
    EXPECT_TRUE(o2.value("lev").isNull());
    EXPECT_EQ(o2.value("cashFlows").toArray().size(), 3);
}

// --- Inputs -----------------------------------------------------------------------------------

struct InputCase {
    const char *name;
    EconomicField field;
    const char *text;
    const char *keyPath; // nullptr: accepted
};

class EconomicInputRule : public ::testing::TestWithParam<InputCase> {};

EconomicTexts goodTexts()
{
    EconomicTexts t;
    t[EconomicField::SawlogPrice] = "45";
    t[EconomicField::RoundwoodPrice] = "30";
    t[EconomicField::FirewoodPrice] = "8";
    t[EconomicField::DiscountRate] = "3";
    return t;
}

TEST_P(EconomicInputRule, StrictNumbersWithinLimits)
{
    const InputCase &c = GetParam();
    EconomicTexts t = goodTexts();
    t[c.field] = c.text;
    const auto read = readEconomicInputs(t);
    if (!c.keyPath) {
        EXPECT_TRUE(std::holds_alternative<EconomicInputs>(read));
        return;
    }
    ASSERT_TRUE(std::holds_alternative<EconomicRefusal>(read));
    const auto &r = std::get<EconomicRefusal>(read);
    EXPECT_EQ(r.field, c.field);
    EXPECT_EQ(r.keyPath, c.keyPath);
    EXPECT_EQ(r.message.title, "Dados Inválidos");
    EXPECT_NE(r.message.text.find(economicFieldInfo(c.field).label), std::string::npos) << r.message.text;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, EconomicInputRule,
    ::testing::Values(InputCase{"PriceEmpty", EconomicField::SawlogPrice, "", "economics.prices.sawlog"},
                      InputCase{"PriceComma", EconomicField::RoundwoodPrice, "30,5", "economics.prices.roundwood"},
                      InputCase{"PriceNegative", EconomicField::FirewoodPrice, "-1", "economics.prices.firewood"},
                      InputCase{"PriceText", EconomicField::SawlogPrice, "abc", "economics.prices.sawlog"},
                      InputCase{"PriceHuge", EconomicField::SawlogPrice, "1e300", "economics.prices.sawlog"},
                      InputCase{"PriceDecimal", EconomicField::SawlogPrice, "45.5", nullptr},
                      InputCase{"CostEmptyIsZero", EconomicField::ThinningCost, "", nullptr},
                      InputCase{"CostBlankIsZero", EconomicField::AnnualCost, "  ", nullptr},
                      InputCase{"CostNan", EconomicField::FinalFellingCost, "nan", "economics.costs.finalFelling"},
                      InputCase{"CostPerM3", EconomicField::CostPerCubicMetre, "x", "economics.costs.perCubicMetre"},
                      InputCase{"Establishment", EconomicField::EstablishmentCost, "-5",
                                "economics.costs.establishment"},
                      InputCase{"RateEmpty", EconomicField::DiscountRate, "", "economics.discountRate"},
                      InputCase{"RateAboveHundred", EconomicField::DiscountRate, "101", "economics.discountRate"},
                      InputCase{"RateZero", EconomicField::DiscountRate, "0", nullptr},
                      InputCase{"RatePointOnly", EconomicField::DiscountRate, ".5", nullptr}),
    [](const ::testing::TestParamInfo<InputCase> &i) { return std::string(i.param.name); });

TEST(EconomicInputs, ReadAsTyped)
{
    EconomicTexts t = goodTexts();
    t[EconomicField::AnnualCost] = "15";
    t[EconomicField::DiscountRate] = "2.5";
    const auto in = std::get<EconomicInputs>(readEconomicInputs(t));
    EXPECT_EQ(in.sawlogPrice, 45.0);
    EXPECT_EQ(in.roundwoodPrice, 30.0);
    EXPECT_EQ(in.firewoodPrice, 8.0);
    EXPECT_EQ(in.thinningCost, 0.0);
    EXPECT_EQ(in.annualCost, 15.0);
    EXPECT_EQ(in.discountRatePercent, 2.5);
}

// --- Scenario files ---------------------------------------------------------------------------

const char *kScenario = R"({"stand": {"age": "12", "dominantHeight": "9"}, "density": {"planted": "1500"},
 "economics": {"prices": {"sawlog": "45", "roundwood": "30", "firewood": "8"},
               "costs": {"thinning": "250", "finalFelling": "400", "perCubicMetre": "4", "annual": "15",
                         "establishment": "1200"},
               "discountRate": "3"}})";

TEST(EconomicsSection, ScenarioAndRegimeHoldTheTexts)
{
    const auto s = parseScenario(kScenario, "2026");
    ASSERT_TRUE(std::holds_alternative<Scenario>(s)) << englishText(std::get<ReadProblem>(s));
    const auto &e = std::get<Scenario>(s).economics;
    ASSERT_TRUE(e);
    EXPECT_EQ((*e)[EconomicField::SawlogPrice], "45");
    EXPECT_EQ((*e)[EconomicField::EstablishmentCost], "1200");
    EXPECT_EQ((*e)[EconomicField::DiscountRate], "3");

    const auto r = parseRegime(R"({"steps": ["project"], "economics": {"prices": {"sawlog": "40"}}})", "2026");
    ASSERT_TRUE(std::holds_alternative<Regime>(r)) << englishText(std::get<ReadProblem>(r));
    const auto &re = std::get<Regime>(r).economics;
    ASSERT_TRUE(re);
    EXPECT_EQ((*re)[EconomicField::SawlogPrice], "40");
    EXPECT_EQ((*re)[EconomicField::RoundwoodPrice], ""); // left out: refused later, by its key path

    const auto plain = parseScenario(R"({"stand": {"age": "12", "dominantHeight": "9"},
                                         "density": {"planted": "1500"}})",
                                     "2026");
    EXPECT_FALSE(std::get<Scenario>(plain).economics);
}

struct SectionCase {
    const char *name;
    const char *economics;
    const char *error;
};

class EconomicsSectionShape : public ::testing::TestWithParam<SectionCase> {};

TEST_P(EconomicsSectionShape, NamesWhereItIsWrong)
{
    const std::string json = std::string(R"({"stand": {"age": "12", "dominantHeight": "9"},
        "density": {"planted": "1500"}, "economics": )") +
                             GetParam().economics + "}";
    const auto s = parseScenario(json, "2026");
    ASSERT_TRUE(std::holds_alternative<ReadProblem>(s));
    EXPECT_EQ(englishText(std::get<ReadProblem>(s)), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, EconomicsSectionShape,
    ::testing::Values(SectionCase{"NotAnObject", R"("45")", "economics: must be an object"},
                      SectionCase{"UnknownKey", R"({"price": {}})", "economics.price: unknown key"},
                      SectionCase{"UnknownPrice", R"({"prices": {"pine": "3"}})",
                                  "economics.prices.pine: unknown key"},
                      SectionCase{"CostsNotObject", R"({"costs": 3})", "economics.costs: must be an object"},
                      SectionCase{"NumberNotText", R"({"discountRate": 3})",
                                  "economics.discountRate: must be a string (the text as typed)"},
                      SectionCase{"PriceNumber", R"({"prices": {"sawlog": 45}})",
                                  "economics.prices.sawlog: must be a string (the text as typed)"}),
    [](const ::testing::TestParamInfo<SectionCase> &i) { return std::string(i.param.name); });

// --- Comparison of regimes --------------------------------------------------------------------

TEST(EconomicsComparison, ValuedRegimesGetTheirValue)
{
    RegimeSeries a{"a.json", {{20.0, 70.0, 30.0}}, 1234.5};
    RegimeSeries b{"b.json", {{20.0, 80.0, 0.0}}, std::nullopt};
    EXPECT_EQ(comparisonCsv({a, b}), "regime,age,standing,removedCumulative,npv\n"
                                     "a.json,20,70.00,30.00,1234.50\n"
                                     "b.json,20,80.00,0.00,\n");
    EXPECT_EQ(valuedRegimeName(a), "a.json (VAL 1234.50 €/ha)");
    EXPECT_EQ(valuedRegimeName(b), "b.json");
}

} // namespace
} // namespace tavelo
