// The search for the best regime as the windows offer it: the form's texts
// read with the search space file's rules, the stand as its screens accepted
// it written back as a stand file, the table and the closing line.

#include "regimes/best_regime_search.h"
#include "base/numeric_text.h"
#include "session/structure/simulation_flow.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <string>
#include <vector>

namespace tavelo::test {
namespace {

SearchSpaceTexts textsOf(std::array<const char *, kSearchFieldCount> values)
{
    SearchSpaceTexts t;
    for (size_t i = 0; i < values.size(); ++i)
        t.values[i] = values[i];
    return t;
}

TEST(TypedList, CommasAndSpacesSeparateTheTextsAsTyped)
{
    EXPECT_EQ(splitTypedList("14, 16 18"), (std::vector<std::string>{"14", "16", "18"}));
    EXPECT_EQ(splitTypedList(" 20,,30.0 ,"), (std::vector<std::string>{"20", "30.0"}));
    EXPECT_TRUE(splitTypedList("  ").empty());
    EXPECT_TRUE(splitTypedList("").empty());
}

TEST(SearchForm, ReadsLikeASearchSpaceFile)
{
    const auto read = readSearchSpace(textsOf({"30", "60", "3", "10", "15", "20, 30.0 40", "14 16"}));
    ASSERT_TRUE(std::holds_alternative<SearchSpace>(read)) << std::get<SearchSpaceRefusal>(read).message.text;
    const SearchSpace &s = std::get<SearchSpace>(read);
    EXPECT_EQ(s.rotationFrom, 30.0);
    EXPECT_EQ(s.rotationTo, 60.0);
    EXPECT_EQ(s.maxThinnings, 3);
    EXPECT_EQ(s.minInterval, 10.0);
    ASSERT_TRUE(s.firstAge.has_value());
    EXPECT_EQ(*s.firstAge, 15.0);
    EXPECT_EQ(s.mechanical, (std::vector<std::string>{"20", "30.0", "40"}));
    EXPECT_EQ(s.below, (std::vector<std::string>{"14", "16"}));
}

TEST(SearchForm, EmptyIntervalAndFirstAgeTakeTheDefaults)
{
    const auto read = readSearchSpace(textsOf({"30", "40", "0", "", "", "", ""}));
    ASSERT_TRUE(std::holds_alternative<SearchSpace>(read));
    const SearchSpace &s = std::get<SearchSpace>(read);
    EXPECT_EQ(s.maxThinnings, 0);
    EXPECT_EQ(s.minInterval, 5.0);
    EXPECT_FALSE(s.firstAge.has_value());
}

struct FormRefusalCase {
    const char *name;
    std::array<const char *, kSearchFieldCount> texts;
    SearchField field;
    const char *text;
};

class SearchFormRefusals : public ::testing::TestWithParam<FormRefusalCase> {};

TEST_P(SearchFormRefusals, NameTheBoxAndTheRule)
{
    const FormRefusalCase &c = GetParam();
    const auto read = readSearchSpace(textsOf(c.texts));
    ASSERT_TRUE(std::holds_alternative<SearchSpaceRefusal>(read));
    const SearchSpaceRefusal &r = std::get<SearchSpaceRefusal>(read);
    EXPECT_EQ(r.field, c.field);
    EXPECT_EQ(r.message.title, "Procurar o Melhor Regime");
    EXPECT_EQ(r.message.icon, Message::Icon::Warning);
    EXPECT_EQ(r.message.text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, SearchFormRefusals,
    ::testing::Values(
        FormRefusalCase{"NoRotationStart", {"", "40", "0", "", "", "", ""}, SearchField::RotationFrom,
                        "A idade de rotação inicial tem de ser um número maior que 0."},
        FormRefusalCase{"RotationZero", {"0", "40", "0", "", "", "", ""}, SearchField::RotationFrom,
                        "A idade de rotação inicial tem de ser um número maior que 0."},
        FormRefusalCase{"RotationCommaDecimal", {"30", "40,5", "0", "", "", "", ""}, SearchField::RotationTo,
                        "A idade de rotação final tem de ser um número não inferior à inicial."},
        FormRefusalCase{"NoMaximum", {"30", "40", "", "", "", "20", ""}, SearchField::MaxThinnings,
                        "O número máximo de desbastes tem de ser um número inteiro de 0 a 30."},
        FormRefusalCase{"TooManyThinnings", {"30", "40", "31", "", "", "20", ""}, SearchField::MaxThinnings,
                        "O número máximo de desbastes tem de ser um número inteiro de 0 a 30."},
        FormRefusalCase{"NegativeInterval", {"30", "40", "1", "-5", "", "20", ""}, SearchField::MinInterval,
                        "O intervalo mínimo entre desbastes tem de ser um número não negativo."},
        FormRefusalCase{"FirstAgeNotANumber", {"30", "40", "1", "", "doze", "20", ""}, SearchField::FirstAge,
                        "A idade mínima do primeiro desbaste tem de ser um número."},
        FormRefusalCase{"MechanicalAboveFifty", {"30", "40", "1", "", "", "20 55", ""}, SearchField::Mechanical,
                        "\"55\" não é aceite. As percentagens do desbaste mecânico têm de ser números entre 15 e "
                        "50, sem repetições."},
        FormRefusalCase{"MechanicalRepeated", {"30", "40", "1", "", "", "20, 20.0", ""}, SearchField::Mechanical,
                        "\"20.0\" não é aceite. As percentagens do desbaste mecânico têm de ser números entre 15 e "
                        "50, sem repetições."},
        FormRefusalCase{"BelowZero", {"30", "40", "1", "", "", "", "16 0"}, SearchField::Below,
                        "\"0\" não é aceite. As áreas basais residuais do desbaste pelo baixo têm de ser números "
                        "maiores que 0, sem repetições."},
        FormRefusalCase{"NoIntensity", {"30", "40", "2", "", "", " , ", ""}, SearchField::Mechanical,
                        "Indique pelo menos uma intensidade de desbaste, mecânico ou pelo baixo."}),
    [](const auto &info) { return std::string(info.param.name); });

// The planted stand of the guides, as its screens accepted it.
EnteredStand plantedStand()
{
    EnteredStand e;
    OptionsInput o;
    o.year = "2026";
    o.stumpHeight = "0.150";
    e.options = o;
    StandDataInput s;
    s.age = "12";
    s.dominantHeight = "9";
    e.stand = s;
    e.density = EnteredStand::Unthinned{DensityChoice::Planted, "1500"};
    return e;
}

EconomicTexts guidePrices()
{
    EconomicTexts p;
    p[EconomicField::SawlogPrice] = "45";
    p[EconomicField::RoundwoodPrice] = "30";
    p[EconomicField::FirewoodPrice] = "8";
    p[EconomicField::DiscountRate] = "3";
    p[EconomicField::AnnualCost] = "15";
    return p;
}

TEST(SearchStand, NothingUntilTheStandIsEntered)
{
    EnteredStand e = plantedStand();
    e.density = std::monostate{};
    EXPECT_FALSE(searchStandOf(e, std::nullopt).has_value());
    e = plantedStand();
    e.options.reset();
    EXPECT_FALSE(searchStandOf(e, std::nullopt).has_value());
}

TEST(SearchStand, WrittenBackAsAStandFileWithThePrices)
{
    const auto stand = searchStandOf(plantedStand(), guidePrices());
    ASSERT_TRUE(stand.has_value());
    EXPECT_EQ(stand->year, "2026");
    const auto parsed = parseScenario(stand->json, "1999");
    ASSERT_TRUE(std::holds_alternative<Scenario>(parsed)) << englishText(std::get<ReadProblem>(parsed));
    const Scenario &s = std::get<Scenario>(parsed);
    EXPECT_EQ(s.options.year, "2026");
    EXPECT_EQ(s.options.stumpHeight, "0.150"); // as typed
    EXPECT_EQ(s.stand.age, "12");
    EXPECT_EQ(s.stand.dominantHeight, "9");
    const auto *d = std::get_if<UnthinnedDensity>(&s.density);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->choice, DensityChoice::Planted);
    EXPECT_EQ(d->trees, "1500");
    ASSERT_TRUE(s.economics.has_value());
    EXPECT_EQ(*s.economics, guidePrices());
    EXPECT_TRUE(s.steps.empty());
}

TEST(SearchStand, ThinnedByClassesAndQualityClassWithoutPrices)
{
    EnteredStand e = plantedStand();
    StandDataInput s;
    s.age = "25";
    s.mode = SiteInput::QualityClass;
    s.qualityClass = QualityClass::Elevada;
    e.stand = s;
    ThinnedEntryInput t;
    t.choice = ThinnedEntryChoice::Classes;
    t.classes = {"", "100", "200", "150", "", "", "", "", "", "", "", "", ""};
    e.density = t;
    const auto stand = searchStandOf(e, std::nullopt);
    ASSERT_TRUE(stand.has_value());
    const auto parsed = parseScenario(stand->json, "1999");
    ASSERT_TRUE(std::holds_alternative<Scenario>(parsed)) << englishText(std::get<ReadProblem>(parsed));
    const Scenario &back = std::get<Scenario>(parsed);
    EXPECT_EQ(back.stand.mode, SiteInput::QualityClass);
    EXPECT_EQ(back.stand.qualityClass, QualityClass::Elevada);
    const auto *d = std::get_if<ThinnedEntryInput>(&back.density);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->choice, ThinnedEntryChoice::Classes);
    EXPECT_EQ(d->classes, t.classes);
    EXPECT_FALSE(back.economics.has_value());
}

TEST(SearchStand, TheFlowKeepsTheStandAsAccepted)
{
    StandState state;
    SimulationFlow flow(state);
    EXPECT_FALSE(flow.enteredStand().complete());
    OptionsInput o;
    o.year = "2026";
    ASSERT_TRUE(flow.confirmOptions(o).accepted);
    StandDataInput s;
    s.age = "12";
    s.dominantHeight = "9";
    ASSERT_TRUE(flow.chooseRoute(SimulationFlow::Route::Unthinned, s).openDensityScreen);
    EXPECT_FALSE(flow.enteredStand().complete());
    // A refused density keeps nothing.
    EXPECT_EQ(flow.confirmUnthinnedDensity("abc", DensityChoice::Planted).kind, DensityOutcome::Kind::Refused);
    EXPECT_FALSE(flow.enteredStand().complete());
    ASSERT_EQ(flow.confirmUnthinnedDensity("1500", DensityChoice::Planted).kind, DensityOutcome::Kind::Stored);
    ASSERT_TRUE(flow.enteredStand().complete());
    EXPECT_EQ(flow.enteredStand().stand->age, "12");
    EXPECT_EQ(std::get<EnteredStand::Unthinned>(flow.enteredStand().density).trees, "1500");
    flow.newSimulation();
    EXPECT_FALSE(flow.enteredStand().complete());
    EXPECT_FALSE(flow.enteredStand().options.has_value());
}

TEST(RankingTable, RowsAsTheWindowShowsThem)
{
    RankedRegime r;
    r.objective = 1234.5;
    r.npv = 1234.5;
    r.eaa = 61.234;
    r.volumes = {412.345, 250.0};
    r.rotationAge = 37;
    r.thinnings = {{17, ThinningInput::mechanical("30")}, {27, ThinningInput::fromBelow("16")}};
    RankedRegime plain;
    plain.objective = 300;
    plain.volumes = {300, 120.5};
    plain.rotationAge = 42;
    const auto rows = rankingTable({r, plain});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (std::array<std::string, 9>{"1", "1234.50", "1234.50", "61.23", "—", "412.35", "250.00", "37",
                                                    "17: mecânico 30 %; 27: pelo baixo 16 m2/ha"}));
    EXPECT_EQ(rows[1], (std::array<std::string, 9>{"2", "300.00", "—", "—", "—", "300.00", "120.50", "42",
                                                    "sem desbastes"}));
}

TEST(SearchOutcome, ClosingLineAndBoxes)
{
    OptimizeResult done;
    done.evaluated = 120;
    done.feasible = 100;
    done.endedByModel = 20;
    done.seconds = 0.254;
    const SearchOutcome ok = searchOutcome(done);
    EXPECT_FALSE(ok.message.has_value());
    EXPECT_EQ(ok.summary, "120 regimes avaliados: 100 viáveis, 20 terminados pelo modelo; 0.25 s");

    OptimizeResult cancelled = done;
    cancelled.status = OptimizeResult::Status::Cancelled;
    EXPECT_EQ(searchOutcome(cancelled).summary, "Procura cancelada: 120 regimes avaliados.");
    EXPECT_FALSE(searchOutcome(cancelled).message.has_value());

    OptimizeResult infeasible = done;
    infeasible.status = OptimizeResult::Status::Infeasible;
    infeasible.feasible = 0;
    infeasible.message = Message::error("Fim da simulação", "fora do modelo");
    const SearchOutcome none = searchOutcome(infeasible);
    ASSERT_TRUE(none.message.has_value());
    EXPECT_EQ(none.message->text,
              "Nenhum regime do espaço de procura fica dentro do modelo.\n\nFim da simulação: fora do modelo");

    OptimizeResult noAge;
    noAge.status = OptimizeResult::Status::Refused;
    noAge.refusal = OptimizeResult::Refusal::NoRotationAge;
    ASSERT_TRUE(searchOutcome(noAge).message.has_value());
    EXPECT_NE(searchOutcome(noAge).message->text.find("Nenhuma idade de rotação"), std::string::npos);
    EXPECT_TRUE(searchOutcome(noAge).summary.empty());
}

// Every reason a search is refused reaches the window in its own Portuguese
// sentence, never the command line's English nor its options.
class SearchRefusals : public ::testing::TestWithParam<OptimizeResult::Refusal> {};

TEST_P(SearchRefusals, ArePortuguese)
{
    OptimizeResult refused;
    refused.status = OptimizeResult::Status::Refused;
    refused.refusal = GetParam();
    refused.objective = Objective::Lev;
    refused.regimesInSpace = 2e6;
    refused.regimeLimit = 1e6;
    const std::string english = refusalText(refused);
    ASSERT_FALSE(english.empty());
    const SearchOutcome outcome = searchOutcome(refused);
    ASSERT_TRUE(outcome.message.has_value());
    EXPECT_EQ(outcome.message->title, kSearchTitle);
    const std::string &text = outcome.message->text;
    EXPECT_EQ(text.find(english), std::string::npos) << text;
    for (const char *word : {"--", "the ", "regimes for", "needs", "objective", "lev"})
        EXPECT_EQ(text.find(word), std::string::npos) << text;
    EXPECT_EQ(text.find("O povoamento não pode ser usado na procura"), std::string::npos) << text; // its own sentence
    EXPECT_EQ(text.back(), '.') << text;
}

INSTANTIATE_TEST_SUITE_P(Reasons, SearchRefusals,
                         ::testing::Values(OptimizeResult::Refusal::NoRotationAge,
                                           OptimizeResult::Refusal::BeyondLimit,
                                           OptimizeResult::Refusal::NeedsEconomics,
                                           OptimizeResult::Refusal::LevNeedsPlanting,
                                           OptimizeResult::Refusal::NeedsCarbonFactors,
                                           OptimizeResult::Refusal::NoFiniteValue));

} // namespace
} // namespace tavelo::test
