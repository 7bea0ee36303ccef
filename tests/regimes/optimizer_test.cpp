// The search for the best regime: the search space file, the volumes a regime
// removes, and the search itself checked against brute force through the
// ordinary scenario runner, for any number of jobs.

#include "regimes/optimizer.h"
#include "regimes/scenario.h"
#include "regimes/search_space.h"
#include "base/numeric_text.h"
#include "session/structure/sim_log.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace tavelo::test {
namespace {

const fs::path kExamples = TAVELO_EXAMPLES_DIR;

// --- The search space file -------------------------------------------------------

TEST(SearchSpace, ReadsTheTextsAsTyped)
{
    const auto parsed = parseSearchSpace(R"({"rotation": {"from": "30", "to": "60"},
        "thinnings": {"max": "3", "minInterval": "10", "firstAge": "15",
                      "mechanical": ["20", "30.0", "40"], "below": ["14", "16", "18"]}})");
    ASSERT_TRUE(std::holds_alternative<SearchSpace>(parsed)) << englishText(std::get<SearchSpaceError>(parsed).problem);
    const SearchSpace &s = std::get<SearchSpace>(parsed);
    EXPECT_EQ(s.rotationFrom, 30.0);
    EXPECT_EQ(s.rotationTo, 60.0);
    EXPECT_EQ(s.maxThinnings, 3);
    EXPECT_EQ(s.minInterval, 10.0);
    ASSERT_TRUE(s.firstAge.has_value());
    EXPECT_EQ(*s.firstAge, 15.0);
    EXPECT_EQ(s.mechanical, (std::vector<std::string>{"20", "30.0", "40"}));
    EXPECT_EQ(s.below, (std::vector<std::string>{"14", "16", "18"}));
}

TEST(SearchSpace, WithoutThinningsOnlyTheRotationVaries)
{
    const auto parsed = parseSearchSpace(R"({"rotation": {"from": "30", "to": "40"}})");
    ASSERT_TRUE(std::holds_alternative<SearchSpace>(parsed));
    const SearchSpace &s = std::get<SearchSpace>(parsed);
    EXPECT_EQ(s.maxThinnings, 0);
    EXPECT_EQ(s.minInterval, 5.0);
    EXPECT_FALSE(s.firstAge.has_value());
    EXPECT_TRUE(s.mechanical.empty());
    EXPECT_TRUE(s.below.empty());
}

struct SpaceErrorCase {
    const char *name;
    const char *json;
    const char *says;
    bool badValue;
};

class SearchSpaceErrors : public ::testing::TestWithParam<SpaceErrorCase> {};

TEST_P(SearchSpaceErrors, SaysWhatAndWhere)
{
    const auto parsed = parseSearchSpace(GetParam().json);
    ASSERT_TRUE(std::holds_alternative<SearchSpaceError>(parsed));
    const SearchSpaceError &e = std::get<SearchSpaceError>(parsed);
    const std::string what = englishText(e.problem);
    EXPECT_NE(what.find(GetParam().says), std::string::npos) << what;
    EXPECT_EQ(e.problem.refusedValue, GetParam().badValue) << what;
}

INSTANTIATE_TEST_SUITE_P(
    Files, SearchSpaceErrors,
    ::testing::Values(
        SpaceErrorCase{"NotJson", "{\"rotation\": ", "offset", false},
        SpaceErrorCase{"NotAnObject", "[]", "must be a JSON object", false},
        SpaceErrorCase{"NoRotation", R"({"thinnings": {"max": "1"}})", "rotation: missing", false},
        SpaceErrorCase{"UnknownKey", R"({"rotation": {"from": "30", "to": "40"}, "prices": {}})",
                       "space.prices: unknown key", false},
        SpaceErrorCase{"NumberNotText", R"({"rotation": {"from": 30, "to": "40"}})",
                       "rotation.from: must be a string", false},
        SpaceErrorCase{"NoTo", R"({"rotation": {"from": "30"}})", "rotation.to: missing", false},
        SpaceErrorCase{"CommaDecimal", R"({"rotation": {"from": "30,5", "to": "40"}})",
                       "rotation.from: \"30,5\" is not a number", true},
        SpaceErrorCase{"ToBeforeFrom", R"({"rotation": {"from": "40", "to": "30"}})", "rotation.to", true},
        SpaceErrorCase{"ZeroRotation", R"({"rotation": {"from": "0", "to": "30"}})", "rotation.from", true},
        SpaceErrorCase{"NoMax", R"({"rotation": {"from": "30", "to": "40"}, "thinnings": {"below": ["14"]}})",
                       "thinnings.max: missing", false},
        SpaceErrorCase{"HalfMax",
                       R"({"rotation": {"from": "30", "to": "40"}, "thinnings": {"max": "1.5", "below": ["14"]}})",
                       "thinnings.max", true},
        SpaceErrorCase{"NegativeInterval",
                       R"({"rotation": {"from": "30", "to": "40"},
                           "thinnings": {"max": "1", "minInterval": "-5", "below": ["14"]}})",
                       "thinnings.minInterval", true},
        SpaceErrorCase{"MechanicalBelowFifteen",
                       R"({"rotation": {"from": "30", "to": "40"},
                           "thinnings": {"max": "1", "mechanical": ["20", "14.9"]}})",
                       "thinnings.mechanical[1]: \"14.9\" must lie between 15 and 50", true},
        SpaceErrorCase{"MechanicalAboveFifty",
                       R"({"rotation": {"from": "30", "to": "40"}, "thinnings": {"max": "1", "mechanical": ["50.1"]}})",
                       "thinnings.mechanical[0]", true},
        SpaceErrorCase{"MechanicalNotNumber",
                       R"({"rotation": {"from": "30", "to": "40"}, "thinnings": {"max": "1", "mechanical": ["abc"]}})",
                       "thinnings.mechanical[0]: \"abc\" is not a number", true},
        SpaceErrorCase{"BelowZero",
                       R"({"rotation": {"from": "30", "to": "40"}, "thinnings": {"max": "1", "below": ["0"]}})",
                       "thinnings.below[0]", true},
        SpaceErrorCase{"Twice",
                       R"({"rotation": {"from": "30", "to": "40"},
                           "thinnings": {"max": "1", "below": ["16", "16.0"]}})",
                       "thinnings.below[1]: \"16.0\" is already in the list", true},
        SpaceErrorCase{"NoIntensity", R"({"rotation": {"from": "30", "to": "40"}, "thinnings": {"max": "2"}})",
                       "at least one intensity", true},
        SpaceErrorCase{"ListNotArray",
                       R"({"rotation": {"from": "30", "to": "40"}, "thinnings": {"max": "1", "below": "14"}})",
                       "thinnings.below: must be an array", false}),
    [](const ::testing::TestParamInfo<SpaceErrorCase> &i) { return std::string(i.param.name); });

struct RotationCase {
    const char *name;
    double from, to, initialAge;
    double first, last;
};

class RotationAgesTable : public ::testing::TestWithParam<RotationCase> {};

TEST_P(RotationAgesTable, RoundsUpToTheNextStandScreen)
{
    const RotationCase &c = GetParam();
    SearchSpace s;
    s.rotationFrom = c.from;
    s.rotationTo = c.to;
    const RotationAges r = rotationAges(s, c.initialAge);
    EXPECT_EQ(r.first, c.first);
    EXPECT_EQ(r.last, c.last);
}

INSTANTIATE_TEST_SUITE_P(
    Ages, RotationAgesTable,
    ::testing::Values(RotationCase{"OffTheGrid", 30, 60, 12, 32, 62}, RotationCase{"OnTheGrid", 32, 57, 12, 32, 57},
                      RotationCase{"FromBeforeTheStand", 5, 20, 12, 12, 22},
                      RotationCase{"HalfYears", 30, 31, 12.5, 32.5, 32.5},
                      RotationCase{"AllBeforeTheStand", 5, 10, 12, 12, 7}),
    [](const ::testing::TestParamInfo<RotationCase> &i) { return std::string(i.param.name); });

TEST(RotationAgesTable, EmptyWhenTheRangeEndsBeforeTheStand)
{
    SearchSpace s;
    s.rotationFrom = 5;
    s.rotationTo = 10;
    EXPECT_TRUE(rotationAges(s, 12).empty());
    s.rotationTo = 12;
    EXPECT_FALSE(rotationAges(s, 12).empty());
}

// --- Volumes removed and the schedule as text -------------------------------------

std::vector<ValuationRow> recordRowsOf(const std::string &csvPath)
{
    // Ano,Idade,Cod,NArv/ha,ABasal,Altura,V.Total,V.Rolaria,V.Madeira,V.Lenha
    std::vector<ValuationRow> rows;
    std::string bytes = readBytes(csvPath);
    size_t at = bytes.find('\n') + 1;
    while (at < bytes.size()) {
        const size_t end = bytes.find('\n', at);
        std::vector<std::string> cells;
        size_t from = at;
        for (size_t comma = bytes.find(',', from); comma < end; comma = bytes.find(',', from)) {
            cells.push_back(bytes.substr(from, comma - from));
            from = comma + 1;
        }
        cells.push_back(bytes.substr(from, end - from));
        ValuationRow r;
        r.age = *parseNumber(cells[1]);
        r.afterThinning = cells[2] == "D";
        r.total = *parseNumber(cells[6]);
        r.roundwood = *parseNumber(cells[7]);
        r.sawlog = *parseNumber(cells[8]);
        r.firewood = *parseNumber(cells[9]);
        rows.push_back(r);
        at = end + 1;
    }
    return rows;
}

TEST(HarvestVolumes, ThinningsAndTheFinalFellingOfTheReferenceRun)
{
    // Thinnings at 22 (170.59 - 122.37 = 48.22) and 32 (245.17 - 132.93 =
    // 112.24), final felling at 42 (233.45): 393.91 m3/ha. Sawlog: 20.18 +
    // 69.89 + 193.57 = 283.64 m3/ha.
    const auto rows = recordRowsOf(kExamples / "planted-two-thinnings.record.csv");
    ASSERT_EQ(rows.size(), 9u);
    const HarvestVolumes v = harvestVolumes(rows);
    EXPECT_EQ(formatFixed(v.total, 2), "393.91");
    EXPECT_EQ(formatFixed(v.sawlog, 2), "283.64");
}

TEST(HarvestVolumes, WithoutThinningsTheFinalFellingOnly)
{
    const auto rows = recordRowsOf(kExamples / "ends-outside-the-model.record.csv");
    const HarvestVolumes v = harvestVolumes(rows);
    EXPECT_EQ(v.total, rows.back().total);
    EXPECT_EQ(v.sawlog, 86.75);
    EXPECT_EQ(harvestVolumes({}).total, 0.0);
}

TEST(HarvestVolumes, RecordOfARunReadsAsTheCsvShowsIt)
{
    const auto parsed = parseScenario(readBytes(kExamples / "planted-two-thinnings.json"), "2026");
    ASSERT_TRUE(std::holds_alternative<Scenario>(parsed));
    StandState state;
    std::string log;
    LogFile file;
    file.collectInto(&log);
    ASSERT_EQ(runScenario(std::get<Scenario>(parsed), state, file).status, RunResult::Status::Completed);
    const auto fromRun = *valuationRows(state);
    const auto fromCsv = recordRowsOf(kExamples / "planted-two-thinnings.record.csv");
    ASSERT_EQ(fromRun.size(), fromCsv.size());
    for (size_t i = 0; i < fromRun.size(); ++i) {
        EXPECT_EQ(fromRun[i].age, fromCsv[i].age) << i;
        EXPECT_EQ(fromRun[i].afterThinning, fromCsv[i].afterThinning) << i;
        EXPECT_EQ(fromRun[i].total, fromCsv[i].total) << i;
        EXPECT_EQ(fromRun[i].sawlog, fromCsv[i].sawlog) << i;
        EXPECT_EQ(fromRun[i].firewood, fromCsv[i].firewood) << i;
    }
}

TEST(ScheduleText, NamesEachThinningByAgeKindAndIntensityAsTyped)
{
    EXPECT_EQ(scheduleText({}), "sem desbastes");
    EXPECT_EQ(scheduleText({{17, ThinningInput::mechanical("30")}, {27, ThinningInput::fromBelow("16")}}),
              "17: mecânico 30 %; 27: pelo baixo 16 m2/ha");
    EXPECT_EQ(scheduleText({{22.5, ThinningInput::fromBelow("14.50")}}), "22.5: pelo baixo 14.50 m2/ha");
}

// --- The search against brute force ---------------------------------------------------

const char *kStand = R"({"options": {"volumes": "com casca", "year": "2026"},
 "stand": {"age": "12", "dominantHeight": "9"},
 "density": {"planted": "1500"},
 "steps": ["project", "end"]})";

Scenario standOf(const std::string &json)
{
    const auto parsed = parseScenario(json, "2026");
    EXPECT_TRUE(std::holds_alternative<Scenario>(parsed));
    return std::get<Scenario>(parsed);
}

SearchSpace spaceOf(const std::string &json)
{
    const auto parsed = parseSearchSpace(json);
    EXPECT_TRUE(std::holds_alternative<SearchSpace>(parsed));
    return std::get<SearchSpace>(parsed);
}

// Every schedule of the space written out as scenario steps, in the order of
// the walk (end here, project, then each intensity), without asking the model.
void enumerate(const SearchSpace &space, double age, double first, double last, int thinnings,
               std::optional<double> lastThinning, std::vector<ScenarioStep> &steps,
               std::vector<std::vector<ScenarioStep>> &out)
{
    if (age >= first - 1e-6 && age <= last + 1e-6) {
        steps.push_back({ScenarioStep::Kind::End, {}});
        out.push_back(steps);
        steps.pop_back();
    }
    if (age + 5 > last + 1e-6)
        return;
    steps.push_back({ScenarioStep::Kind::Project, {}});
    enumerate(space, age + 5, first, last, thinnings, lastThinning, steps, out);
    steps.pop_back();
    const bool mayThin = thinnings < space.maxThinnings && (!space.firstAge || age >= *space.firstAge) &&
                         (!lastThinning || age - *lastThinning >= space.minInterval);
    if (!mayThin)
        return;
    std::vector<ThinningInput> inputs;
    for (const auto &p : space.mechanical)
        inputs.push_back(ThinningInput::mechanical(p));
    for (const auto &g : space.below)
        inputs.push_back(ThinningInput::fromBelow(g));
    for (const ThinningInput &in : inputs) {
        steps.push_back({ScenarioStep::Kind::Thin, in});
        steps.push_back({ScenarioStep::Kind::Project, {}});
        enumerate(space, age + 5, first, last, thinnings + 1, age, steps, out);
        steps.pop_back();
        steps.pop_back();
    }
}

struct BruteForce {
    size_t feasible = 0;
    std::vector<std::pair<double, std::vector<ScenarioStep>>> ranked; // best first, ties in walk order
};

const char *kEconomics = R"({"prices": {"sawlog": "45", "roundwood": "30", "firewood": "8"},
  "costs": {"thinning": "250", "finalFelling": "400", "perCubicMetre": "4", "annual": "15", "establishment": "1200"},
  "discountRate": "3"})";

// The stand with prices, costs and rate.
std::string valuedStand()
{
    std::string json = kStand;
    return json.substr(0, json.rfind('}')) + ", \"economics\": " + kEconomics + "}";
}

EconomicInputs inputsOf(const Scenario &s)
{
    EXPECT_TRUE(s.economics.has_value());
    return std::get<EconomicInputs>(readEconomicInputs(*s.economics));
}

// The carbon factors left to their defaults, as a stand file without a carbon section.
CarbonFactors carbonDefaults()
{
    return std::get<CarbonFactors>(readCarbonFactors(CarbonTexts{}));
}

BruteForce bruteForce(const Scenario &stand, const SearchSpace &space, Objective objective)
{
    const double t0 = *parseNumber(stand.stand.age);
    const RotationAges rotation = rotationAges(space, t0);
    std::vector<std::vector<ScenarioStep>> schedules;
    std::vector<ScenarioStep> steps;
    enumerate(space, t0, rotation.first, rotation.last, 0, std::nullopt, steps, schedules);
    BruteForce b;
    for (const auto &schedule : schedules) {
        Scenario s = stand;
        s.steps = schedule;
        StandState state;
        std::string log;
        LogFile file;
        file.collectInto(&log);
        if (runScenario(s, state, file).status != RunResult::Status::Completed)
            continue;
        ++b.feasible;
        const HarvestVolumes v = harvestVolumes(*valuationRows(state));
        switch (objective) {
        case Objective::Volume: b.ranked.emplace_back(v.total, schedule); break;
        case Objective::Sawlog: b.ranked.emplace_back(v.sawlog, schedule); break;
        case Objective::Npv: b.ranked.emplace_back(valueSimulation(state, inputsOf(stand))->npv, schedule); break;
        case Objective::Lev: b.ranked.emplace_back(*valueSimulation(state, inputsOf(stand))->lev, schedule); break;
        case Objective::Carbon:
            b.ranked.emplace_back(carbonOfSimulation(state, carbonDefaults())->meanStock, schedule);
            break;
        }
    }
    std::stable_sort(b.ranked.begin(), b.ranked.end(),
                     [](const auto &a, const auto &c) { return a.first > c.first; });
    return b;
}

bool sameSteps(const std::vector<ScenarioStep> &a, const std::vector<ScenarioStep> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].kind != b[i].kind || a[i].thinning.choice != b[i].thinning.choice ||
            a[i].thinning.mechanicalPercent != b[i].thinning.mechanicalPercent ||
            a[i].thinning.residualBasalArea != b[i].thinning.residualBasalArea)
            return false;
    }
    return true;
}

// Both kinds of thinning, an intensity the dialogue refuses at some ages and
// not others, a minimum interval and a first age.
const char *kSmallSpace = R"({"rotation": {"from": "25", "to": "42"},
  "thinnings": {"max": "2", "minInterval": "10", "firstAge": "15",
                "mechanical": ["25", "40"], "below": ["14", "20"]}})";

struct BruteForceCase {
    const char *name;
    Objective objective;
};

class AgainstBruteForce : public ::testing::TestWithParam<BruteForceCase> {};

TEST_P(AgainstBruteForce, SameBestRegimesAsReplayingEveryCandidate)
{
    const Scenario stand = standOf(valuedStand());
    const SearchSpace space = spaceOf(kSmallSpace);
    const BruteForce expected = bruteForce(stand, space, GetParam().objective);
    ASSERT_GT(expected.feasible, 20u);

    OptimizeOptions options;
    options.objective = GetParam().objective;
    options.economics = inputsOf(stand);
    options.carbon = carbonDefaults();
    options.top = 1000; // the whole ranking
    options.jobs = 2;
    const OptimizeResult result = optimizeRegime(stand, space, options);
    ASSERT_EQ(result.status, OptimizeResult::Status::Done);
    EXPECT_EQ(result.feasible, expected.feasible);
    EXPECT_GT(result.refusedThinnings, 0u); // 20 m2/ha lies above 75 % of a young stand's basal area
    ASSERT_EQ(result.best.size(), expected.ranked.size());
    for (size_t i = 0; i < result.best.size(); ++i) {
        EXPECT_EQ(result.best[i].objective, expected.ranked[i].first) << "rank " << i + 1;
        ASSERT_TRUE(result.best[i].npv && result.best[i].eaa && result.best[i].lev);
        EXPECT_TRUE(sameSteps(result.best[i].steps, expected.ranked[i].second)) << "rank " << i + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(Objectives, AgainstBruteForce,
                         ::testing::Values(BruteForceCase{"Volume", Objective::Volume},
                                           BruteForceCase{"Sawlog", Objective::Sawlog},
                                           BruteForceCase{"Npv", Objective::Npv},
                                           BruteForceCase{"Lev", Objective::Lev},
                                           BruteForceCase{"Carbon", Objective::Carbon}),
                         [](const ::testing::TestParamInfo<BruteForceCase> &i) { return std::string(i.param.name); });

// A stand thinned before, entered by its parameters and by its classes: the
// walk starts from the state the thinned-stand screen leaves.
class ThinnedStandAgainstBruteForce : public ::testing::TestWithParam<const char *> {};

TEST_P(ThinnedStandAgainstBruteForce, SameRanking)
{
    const Scenario stand = standOf(readBytes(kExamples / GetParam()));
    const SearchSpace space = spaceOf(R"({"rotation": {"from": "30", "to": "45"},
        "thinnings": {"max": "2", "mechanical": ["30"], "below": ["14", "18"]}})");
    const BruteForce expected = bruteForce(stand, space, Objective::Volume);
    ASSERT_GT(expected.feasible, 3u);
    OptimizeOptions options;
    options.top = 1000;
    options.jobs = 2;
    const OptimizeResult result = optimizeRegime(stand, space, options);
    ASSERT_EQ(result.status, OptimizeResult::Status::Done);
    EXPECT_EQ(result.feasible, expected.feasible);
    ASSERT_EQ(result.best.size(), expected.ranked.size());
    for (size_t i = 0; i < result.best.size(); ++i) {
        EXPECT_EQ(result.best[i].objective, expected.ranked[i].first) << "rank " << i + 1;
        EXPECT_TRUE(sameSteps(result.best[i].steps, expected.ranked[i].second)) << "rank " << i + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(Routes, ThinnedStandAgainstBruteForce,
                         ::testing::Values("thinned-by-parameters.json", "thinned-by-classes.json"),
                         [](const ::testing::TestParamInfo<const char *> &i) {
                             return std::string(i.param).find("classes") != std::string::npos
                                        ? std::string("ByClasses")
                                        : std::string("ByParameters");
                         });

TEST(Optimizer, RegimesShareTheStatesOfTheirCommonBeginning)
{
    const Scenario stand = standOf(kStand);
    const SearchSpace space = spaceOf(kSmallSpace);
    std::vector<std::vector<ScenarioStep>> schedules;
    std::vector<ScenarioStep> steps;
    const RotationAges rotation = rotationAges(space, 12);
    enumerate(space, 12, rotation.first, rotation.last, 0, std::nullopt, steps, schedules);

    // Every stand screen after the first is a beginning of some schedule ending
    // in a projection; replaying each schedule alone plays all of its own.
    std::set<std::string> beginnings;
    size_t replayed = 0;
    for (const auto &schedule : schedules) {
        std::string prefix;
        for (const ScenarioStep &st : schedule) {
            prefix += st.kind == ScenarioStep::Kind::Project ? "p"
                      : st.kind == ScenarioStep::Kind::Thin  ? "t" + st.thinning.mechanicalPercent + "/" +
                                                                  st.thinning.residualBasalArea
                                                            : "";
            if (st.kind == ScenarioStep::Kind::Project) {
                beginnings.insert(prefix);
                ++replayed;
            }
        }
    }
    const OptimizeResult r = optimizeRegime(stand, space, {});
    ASSERT_EQ(r.status, OptimizeResult::Status::Done);
    EXPECT_GT(r.statesComputed, 0u);
    EXPECT_LE(r.statesComputed, beginnings.size()); // each at most once, fewer where a branch left the model
    EXPECT_LT(r.statesComputed * 3, replayed);
}

TEST(Optimizer, TheBestRegimeReplayedGivesTheRankedValue)
{
    const Scenario stand = standOf(kStand);
    OptimizeOptions options;
    options.objective = Objective::Sawlog;
    options.top = 3;
    const OptimizeResult result = optimizeRegime(stand, spaceOf(kSmallSpace), options);
    ASSERT_EQ(result.best.size(), 3u);
    EXPECT_GE(result.best[0].objective, result.best[1].objective);
    EXPECT_GE(result.best[1].objective, result.best[2].objective);
    for (const RankedRegime &r : result.best) {
        const std::string json = regimeScenarioJson(kStand, "2026", r.steps);
        Scenario replay = standOf(json);
        StandState state;
        std::string log;
        LogFile file;
        file.collectInto(&log);
        ASSERT_EQ(runScenario(replay, state, file).status, RunResult::Status::Completed);
        const auto rows = *valuationRows(state);
        EXPECT_EQ(harvestVolumes(rows).sawlog, r.objective);
        EXPECT_EQ(harvestVolumes(rows).total, r.volumes.total);
        EXPECT_EQ(rows.back().age, r.rotationAge);
    }
}

TEST(Optimizer, TheBestRegimeByNpvReplayedGivesTheRankedValuation)
{
    const Scenario stand = standOf(valuedStand());
    OptimizeOptions options;
    options.objective = Objective::Npv;
    options.economics = inputsOf(stand);
    options.top = 2;
    const OptimizeResult result = optimizeRegime(stand, spaceOf(kSmallSpace), options);
    ASSERT_EQ(result.best.size(), 2u);
    for (const RankedRegime &r : result.best) {
        const Scenario replay = standOf(regimeScenarioJson(valuedStand(), "2026", r.steps));
        ASSERT_TRUE(replay.economics.has_value()); // the prices travel with the regime
        StandState state;
        std::string log;
        LogFile file;
        file.collectInto(&log);
        ASSERT_EQ(runScenario(replay, state, file).status, RunResult::Status::Completed);
        const auto v = valueSimulation(state, inputsOf(replay));
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(v->npv, r.objective);
        EXPECT_EQ(v->npv, *r.npv);
        EXPECT_EQ(v->eaa, r.eaa);
        EXPECT_EQ(v->lev, r.lev);
    }
}

struct ValuedRefusalCase {
    const char *name;
    Objective objective;
    bool economics;
    const char *density;
    const char *says;
};

class ValuedObjectiveRefusals : public ::testing::TestWithParam<ValuedRefusalCase> {};

TEST_P(ValuedObjectiveRefusals, SayWhyBeforeSearching)
{
    const ValuedRefusalCase &c = GetParam();
    std::string json = valuedStand();
    json.replace(json.find(R"("planted": "1500")"), 17, c.density);
    const Scenario stand = standOf(json);
    OptimizeOptions options;
    options.objective = c.objective;
    if (c.economics)
        options.economics = inputsOf(stand);
    const OptimizeResult r = optimizeRegime(stand, spaceOf(kSmallSpace), options);
    EXPECT_EQ(r.status, OptimizeResult::Status::Refused);
    EXPECT_NE(refusalText(r).find(c.says), std::string::npos) << refusalText(r);
    EXPECT_EQ(r.feasible, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Objectives, ValuedObjectiveRefusals,
    ::testing::Values(ValuedRefusalCase{"NpvWithoutPrices", Objective::Npv, false, R"("planted": "1500")",
                                        "the npv objective needs an \"economics\" section"},
                      ValuedRefusalCase{"LevWithoutPrices", Objective::Lev, false, R"("planted": "1500")",
                                        "the lev objective needs an \"economics\" section"},
                      ValuedRefusalCase{"LevOfAStandEnteredAlive", Objective::Lev, true, R"("alive": "1400")",
                                        "the lev objective needs a stand entered by its trees planted"}),
    [](const ::testing::TestParamInfo<ValuedRefusalCase> &i) { return std::string(i.param.name); });

TEST(Optimizer, OutputIsTheSameForAnyNumberOfJobs)
{
    const Scenario stand = standOf(kStand);
    const SearchSpace space = spaceOf(R"({"rotation": {"from": "20", "to": "47"},
        "thinnings": {"max": "3", "minInterval": "5", "mechanical": ["20", "30", "45"], "below": ["12", "16"]}})");
    std::vector<std::string> rankings;
    std::vector<size_t> counts;
    for (unsigned jobs : {1u, 2u, 3u}) {
        OptimizeOptions options;
        options.jobs = jobs;
        options.top = 25;
        const OptimizeResult r = optimizeRegime(stand, space, options);
        ASSERT_EQ(r.status, OptimizeResult::Status::Done);
        rankings.push_back(rankingCsv(r.best));
        counts.push_back(r.evaluated * 1000003 + r.feasible * 1009 + r.refusedThinnings);
    }
    EXPECT_EQ(rankings[0], rankings[1]);
    EXPECT_EQ(rankings[0], rankings[2]);
    EXPECT_EQ(counts[0], counts[1]);
    EXPECT_EQ(counts[0], counts[2]);
    EXPECT_EQ(std::count(rankings[0].begin(), rankings[0].end(), '\n'), 26);
}

TEST(Optimizer, ProgressReachesTheEnd)
{
    OptimizeOptions options;
    options.jobs = 2;
    size_t calls = 0, lastDone = 0, lastTotal = 0;
    options.progress = [&](size_t done, size_t total) {
        ++calls;
        EXPECT_LE(done, total);
        EXPECT_GE(done, lastDone);
        lastDone = done;
        lastTotal = total;
    };
    const OptimizeResult r = optimizeRegime(standOf(kStand), spaceOf(R"({"rotation": {"from": "20", "to": "47"},
        "thinnings": {"max": "3", "mechanical": ["20", "30", "45"], "below": ["12", "16"]}})"), options);
    EXPECT_EQ(r.status, OptimizeResult::Status::Done);
    EXPECT_GE(calls, 1u);
    EXPECT_GT(lastTotal, 0u);
    EXPECT_EQ(lastDone, lastTotal);
}

TEST(Optimizer, ACancelledSearchSaysSo)
{
    std::atomic<bool> cancel{true};
    OptimizeOptions options;
    options.cancel = &cancel;
    const OptimizeResult r = optimizeRegime(standOf(kStand), spaceOf(kSmallSpace), options);
    EXPECT_EQ(r.status, OptimizeResult::Status::Cancelled);
}

TEST(Optimizer, EveryRegimeLeavingTheModelIsInfeasible)
{
    const OptimizeResult r = optimizeRegime(standOf(readBytes(kExamples / "ends-outside-the-model.json")),
                                            spaceOf(R"({"rotation": {"from": "35", "to": "45"}})"), {});
    EXPECT_EQ(r.status, OptimizeResult::Status::Infeasible);
    EXPECT_EQ(r.feasible, 0u);
    EXPECT_GE(r.endedByModel, 1u);
    ASSERT_TRUE(r.message.has_value());
    EXPECT_EQ(r.message->title, "Resultados Inconsistentes");
    EXPECT_TRUE(r.best.empty());
}

TEST(Optimizer, ARefusedStandIsReportedAsTheRunWould)
{
    std::string json = kStand;
    json.replace(json.find("1500"), 4, "abc");
    const OptimizeResult r = optimizeRegime(standOf(json), spaceOf(kSmallSpace), {});
    EXPECT_EQ(r.status, OptimizeResult::Status::Refused);
    ASSERT_TRUE(r.message.has_value());
    EXPECT_EQ(r.refusal, OptimizeResult::Refusal::None);
}

TEST(Optimizer, NoRotationAgeAfterTheStandsAge)
{
    const OptimizeResult r =
        optimizeRegime(standOf(kStand), spaceOf(R"({"rotation": {"from": "5", "to": "10"}})"), {});
    EXPECT_EQ(r.status, OptimizeResult::Status::Refused);
    EXPECT_EQ(r.refusal, OptimizeResult::Refusal::NoRotationAge);
}

TEST(Optimizer, RotationOnlyCountsOneRegimePerAge)
{
    // 12 + 5k from 15 to 30: 17, 22, 27, 32; unthinned, the stand leaves the
    // model before 32 (more than 45 m2/ha).
    const OptimizeResult r =
        optimizeRegime(standOf(kStand), spaceOf(R"({"rotation": {"from": "15", "to": "30"}})"), {});
    ASSERT_EQ(r.status, OptimizeResult::Status::Done);
    EXPECT_EQ(r.feasible, 3u);
    EXPECT_EQ(r.endedByModel, 1u);
    EXPECT_EQ(r.evaluated, 4u);
    ASSERT_EQ(r.best.size(), 3u);
    EXPECT_EQ(r.best[0].rotationAge, 27.0); // the stand still grows: the longest rotation removes most
    EXPECT_EQ(r.best[2].rotationAge, 17.0);
    EXPECT_EQ(scheduleText(r.best[0].thinnings), "sem desbastes");
}

TEST(RankingCsv, OneLinePerRegimeWithTheScheduleInOneCell)
{
    RankedRegime r;
    r.objective = 393.914;
    r.volumes = {393.914, 283.635};
    r.rotationAge = 42;
    r.thinnings = {{22, ThinningInput::mechanical("30")}, {32, ThinningInput::fromBelow("19.5")}};
    r.npv = -12.5;
    EXPECT_EQ(rankingCsv({r}), "rank,objective,npv,eaa,lev,volume,sawlog,rotationAge,schedule\n"
                               "1,393.91,-12.50,,,393.91,283.64,42,22: mecânico 30 %; 32: pelo baixo 19.5 m2/ha\n");
}

TEST(RegimeScenarioJson, KeepsTheStandAsTypedAndWritesTheSteps)
{
    const std::string json = regimeScenarioJson(
        R"({"options": {"volumes": "sem casca"}, "stand": {"age": "12.0", "dominantHeight": "9"},
            "density": {"planted": "1500"}, "steps": ["project", "project"]})",
        "2031",
        {{ScenarioStep::Kind::Thin, ThinningInput::mechanical("30")},
         {ScenarioStep::Kind::Project, {}},
         {ScenarioStep::Kind::Thin, ThinningInput::fromBelow("16.0")},
         {ScenarioStep::Kind::Project, {}},
         {ScenarioStep::Kind::End, {}}});
    const Scenario s = standOf(json);
    EXPECT_EQ(s.options.year, "2031");
    EXPECT_FALSE(s.options.withBark);
    EXPECT_EQ(s.stand.age, "12.0");
    ASSERT_EQ(s.steps.size(), 5u);
    EXPECT_EQ(s.steps[0].thinning.mechanicalPercent, "30");
    EXPECT_EQ(s.steps[2].thinning.residualBasalArea, "16.0");
    EXPECT_EQ(s.steps[4].kind, ScenarioStep::Kind::End);
}

} // namespace
} // namespace tavelo::test
