// Management rules: what they decide at a stand screen, worked out by hand
// for tables set up as the screen would show them; the key paths of bad
// rules; and runs under rules replayed as the plain steps they took.

#include "regimes/scenario.h"
#include "base/numeric_text.h"
#include "session/structure/sim_log.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace tavelo {
namespace {

ManagementRules rulesOf(const std::string &section)
{
    auto parsed = parseRegime(R"({"rules": )" + section + "}", "2026");
    if (const auto *error = std::get_if<ReadProblem>(&parsed)) {
        ADD_FAILURE() << englishText(*error);
        return {};
    }
    return *std::get<Regime>(parsed).rules;
}

// A stand screen showing these texts.
StandTable screen(const std::string &age, const std::string &height, const std::string &trees,
                  const std::string &basalArea, const std::string &diameter)
{
    StandTable t;
    t.txtIdade = age;
    t.txtAno = "2040";
    t.txtADom = height;
    t.txtCQualidd = "18";
    t.txtDmedio = diameter;
    t.rows.push_back({"Total", trees, basalArea, "12.0", "250.00", "100.00", "140.00", "10.00"});
    return t;
}

// The management guide's rules.
const char *kGuide = R"({"maxAge": "60",
  "finalFelling": {"any": [{"age": {"atLeast": "45"}}, {"quadraticMeanDiameter": {"atLeast": "35"}}]},
  "thinnings": {"firstAge": "15", "minInterval": "10", "max": "3", "when": [
    {"if": {"dominantHeight": {"atLeast": "12"}, "basalArea": {"above": "28"}},
     "thin": "below", "residualBasalAreaPercent": "70"},
    {"if": {"trees": {"above": "1100"}}, "thin": "mechanical", "percent": "30"}]}})";

struct DecisionCase {
    const char *name;
    const char *rules;
    StandTable table;
    ThinningHistory history;
    double basalArea; // as the dialogue checks it
    RuleDecision::Kind kind;
    std::string cause;
    std::string typed; // the thinning typed into the dialogue
};

class Decision : public ::testing::TestWithParam<DecisionCase> {};

TEST_P(Decision, IsTheOneWorkedOutByHand)
{
    const DecisionCase &c = GetParam();
    const RuleDecision d = decideAtStandScreen(rulesOf(c.rules), readStandScreen(c.table), c.history, c.basalArea);
    EXPECT_EQ(d.kind, c.kind);
    EXPECT_EQ(d.cause, c.cause);
    if (c.kind == RuleDecision::Kind::Thin) {
        EXPECT_EQ(d.thinning.choice == ScreenEntries::Thinning::Mechanical ? d.thinning.mechanicalPercent
                                                                          : d.thinning.residualBasalArea,
                  c.typed);
    }
}

// 33.66 x 70 / 100 = 23.562 -> "23.56"; relative spacing of 900 trees at 15 m:
// 100 x sqrt(10000 / 900) / 15 = 22.22 %.
INSTANTIATE_TEST_SUITE_P(
    Rules, Decision,
    ::testing::Values(
        DecisionCase{"FromBelowToSeventyPercent", kGuide, screen("25", "13.4", "1033", "33.7", "20.4"), {1, 15.0},
                     33.66, RuleDecision::Kind::Thin, "rules.thinnings.when[0]", "23.56"},
        DecisionCase{"AboveIsStrict", kGuide, screen("25", "13.4", "1033", "28.0", "20.4"), {1, 15.0}, 28.04,
                     RuleDecision::Kind::Project, "", ""},
        DecisionCase{"TheSecondEntryWhenTheFirstFails", kGuide, screen("15", "7.9", "1475", "22.1", "13.8"), {},
                     22.1, RuleDecision::Kind::Thin, "rules.thinnings.when[1]", "30"},
        DecisionCase{"NotBeforeFirstAge", kGuide, screen("10", "4.3", "1475", "11.0", "9.7"), {}, 11.0,
                     RuleDecision::Kind::Project, "", ""},
        DecisionCase{"NotWithinTheInterval", kGuide, screen("20", "11.1", "1200", "30.0", "16.0"), {1, 15.0}, 30.0,
                     RuleDecision::Kind::Project, "", ""},
        DecisionCase{"NotAfterTheMaximum", kGuide, screen("40", "19.1", "1200", "33.0", "30.2"), {3, 30.0}, 33.0,
                     RuleDecision::Kind::Project, "", ""},
        DecisionCase{"FellingByTheSecondAlternative", kGuide, screen("40", "19.1", "456", "33.0", "35.0"), {3, 35.0},
                     33.0, RuleDecision::Kind::End, "rules.finalFelling.any[1]", ""},
        DecisionCase{"FellingBeforeThinning", kGuide, screen("45", "20.1", "1456", "39.1", "30.0"), {}, 39.1,
                     RuleDecision::Kind::End, "rules.finalFelling.any[0]", ""},
        DecisionCase{"MaximumAge", R"({"maxAge": "30"})", screen("30", "15.6", "715", "31.1", "23.5"), {}, 31.1,
                     RuleDecision::Kind::End, "rules.maxAge", ""},
        DecisionCase{"SpacingFromTheShownTreesAndHeight",
                     R"({"maxAge": "90", "thinnings": {"when": [{"if": {"relativeSpacing": {"below": "22.23"}},
                         "thin": "below", "residualBasalArea": "19"}]}})",
                     screen("30", "15.0", "900", "27.5", "19.7"), {}, 27.52, RuleDecision::Kind::Thin,
                     "rules.thinnings.when[0]", "19"},
        DecisionCase{"SpacingNotBelowItself",
                     R"({"maxAge": "90", "thinnings": {"when": [{"if": {"relativeSpacing": {"below": "22.22"}},
                         "thin": "below", "residualBasalArea": "19"}]}})",
                     screen("30", "15.0", "900", "27.5", "19.7"), {}, 27.52, RuleDecision::Kind::Project, "", ""}),
    [](const auto &info) { return std::string(info.param.name); });

// --- Bad rules -------------------------------------------------------------------------

struct BadRules {
    const char *name;
    const char *regime; // the whole regime file
    const char *error;  // what the error starts with
};

class RulesRefused : public ::testing::TestWithParam<BadRules> {};

TEST_P(RulesRefused, NamesTheKeyPath)
{
    auto parsed = parseRegime(GetParam().regime, "2026");
    ASSERT_TRUE(std::holds_alternative<ReadProblem>(parsed));
    const std::string error = englishText(std::get<ReadProblem>(parsed));
    EXPECT_EQ(error.substr(0, std::string(GetParam().error).size()), GetParam().error) << error;
    EXPECT_TRUE(std::get<ReadProblem>(parsed).refusedValue);
}

INSTANTIATE_TEST_SUITE_P(
    Sections, RulesRefused,
    ::testing::Values(
        BadRules{"BothStepsAndRules", R"({"steps": ["project"], "rules": {"maxAge": "40"}})", "rules: give either"},
        BadRules{"NoMaxAge", R"({"rules": {"thinnings": {"when": [{"thin": "mechanical", "percent": "30"}]}}})",
                 "rules.maxAge: missing"},
        BadRules{"MaxAgeNotANumber", R"({"rules": {"maxAge": "forty"}})", "rules.maxAge: \"forty\" is not a number"},
        BadRules{"MaxAgeANumberNotAText", R"({"rules": {"maxAge": 40}})", "rules.maxAge: must be a string"},
        BadRules{"UnknownVariable", R"({"rules": {"maxAge": "40", "finalFelling": {"height": {"above": "20"}}}})",
                 "rules.finalFelling.height: unknown variable"},
        BadRules{"UnknownComparison",
                 R"({"rules": {"maxAge": "40", "finalFelling": {"any": [{"age": {"over": "20"}}]}}})",
                 "rules.finalFelling.any[0].age.over: unknown comparison"},
        BadRules{"NonNumericThreshold",
                 R"({"rules": {"maxAge": "40", "thinnings": {"when": [{"thin": "mechanical", "percent": "30"},
                   {"if": {"trees": {"above": "1,100"}}, "thin": "mechanical", "percent": "30"}]}}})",
                 "rules.thinnings.when[1].if.trees.above: \"1,100\" is not a number"},
        BadRules{"WhenWithoutThinning",
                 R"({"rules": {"maxAge": "40", "thinnings": {"when": [{"if": {"age": {"atLeast": "15"}}}]}}})",
                 "rules.thinnings.when[0]: a when entry needs a thinning"},
        BadRules{"BelowWithTwoTargets",
                 R"({"rules": {"maxAge": "40", "thinnings": {"when": [{"thin": "below", "residualBasalArea": "20",
                   "residualBasalAreaPercent": "70"}]}}})",
                 "rules.thinnings.when[0]: a thinning from below takes"},
        BadRules{"FractionalMax",
                 R"({"rules": {"maxAge": "40", "thinnings": {"max": "1.5", "when": [{"thin": "mechanical",
                   "percent": "30"}]}}})",
                 "rules.thinnings.max: must be a whole number"},
        BadRules{"EmptyCondition", R"({"rules": {"maxAge": "40", "finalFelling": {}}})",
                 "rules.finalFelling: a condition tests at least one"},
        BadRules{"UnknownKey", R"({"rules": {"maxAge": "40", "thinings": {}}})", "rules.thinings: unknown key"},
        BadRules{"NegativeMaxAge", R"({"rules": {"maxAge": "-1"}})", "rules.maxAge: must not be negative"},
        BadRules{"NegativeFirstAge",
                 R"({"rules": {"maxAge": "40", "thinnings": {"firstAge": "-5", "when": [{"thin": "mechanical",
                   "percent": "30"}]}}})",
                 "rules.thinnings.firstAge: must not be negative"},
        BadRules{"NegativeMinInterval",
                 R"({"rules": {"maxAge": "40", "thinnings": {"minInterval": "-0.5", "when": [{"thin": "mechanical",
                   "percent": "30"}]}}})",
                 "rules.thinnings.minInterval: must not be negative"}),
    [](const auto &info) { return std::string(info.param.name); });

// --- Replayed as steps ---------------------------------------------------------------------

struct Played {
    RunResult result;
    std::string log;
    std::string record;
};

Played play(const Scenario &scenario)
{
    Played p;
    StandState state;
    LogFile log("Simulacao.txt");
    log.collectInto(&p.log);
    p.result = runScenario(scenario, state, log);
    p.record = recordCsv(state);
    return p;
}

std::string kinds(const std::vector<ManagementEvent> &events)
{
    std::string out;
    for (const ManagementEvent &e : events)
        out += std::string(eventKindName(e.kind)) + "@" + e.age + " ";
    return out;
}

struct ReplayCase {
    const char *name;
    const char *scenario;
    RunResult::Status status;
    const char *events; // what the rules did, age by age
};

class RulesReplay : public ::testing::TestWithParam<ReplayCase> {};

TEST_P(RulesReplay, TheStepsTakenGiveTheSameLogAndRecord)
{
    auto parsed = parseScenario(GetParam().scenario, "2026");
    ASSERT_TRUE(std::holds_alternative<Scenario>(parsed)) << englishText(std::get<ReadProblem>(parsed));
    Scenario underRules = std::get<Scenario>(parsed);
    const Played first = play(underRules);
    EXPECT_EQ(first.result.status, GetParam().status);
    EXPECT_EQ(kinds(first.result.events), GetParam().events);

    // The file `run --steps` writes, read back and played.
    auto replayed = parseScenario(regimeScenarioJson(GetParam().scenario, "2026", first.result.stepsTaken), "2026");
    ASSERT_TRUE(std::holds_alternative<Scenario>(replayed)) << englishText(std::get<ReadProblem>(replayed));
    ASSERT_FALSE(std::get<Scenario>(replayed).rules);
    const Played again = play(std::get<Scenario>(replayed));
    EXPECT_EQ(again.result.status, first.result.status);
    EXPECT_EQ(again.log, first.log);
    EXPECT_EQ(again.record, first.record);
    EXPECT_FALSE(first.log.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Stands, RulesReplay,
    ::testing::Values(
        ReplayCase{"AliveByQualityClassToMaximumAge",
                   R"({"stand": {"age": "14", "qualityClass": "Elevada"}, "density": {"alive": "1200"},
                       "rules": {"maxAge": "34", "thinnings": {"max": "1", "when": [
                         {"if": {"siteIndex": {"atLeast": "10"}, "age": {"atLeast": "20"}},
                          "thin": "mechanical", "percent": "20"}]}}})",
                   RunResult::Status::Completed, "thinning@24 maximum-age@34 "},
        ReplayCase{"ThinnedByParametersRefusedThenEndedByTheModel",
                   R"({"stand": {"age": "20", "dominantHeight": "14.5"},
                       "density": {"trees": "900", "basalArea": "22", "minDiameter": "9", "p95": "27"},
                       "rules": {"maxAge": "50", "thinnings": {"when": [
                         {"if": {"basalArea": {"atLeast": "30"}}, "thin": "below", "residualBasalArea": "15"}]}}})",
                   RunResult::Status::EndedByModel, "refused-thinning@25 refused-thinning@30 "},
        ReplayCase{"MechanicalOutOfRangeIsRefusedEveryTime",
                   R"({"stand": {"age": "12", "dominantHeight": "9"}, "density": {"planted": "1500"},
                       "rules": {"maxAge": "22", "thinnings": {"when": [{"thin": "mechanical", "percent": "60"}]}}})",
                   RunResult::Status::Completed, "refused-thinning@12 refused-thinning@17 maximum-age@22 "}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace tavelo
