// The plan job called as a window would call it, without the command line: a
// cancel while the candidates are gathered or while the solver works gives a
// cancelled outcome and nothing to write, and the files of its result are the
// command line's, byte for byte, for the same inputs.

#include "inventory/plan_job.h"
#include "base/whole_file.h"
#include "regimes/scenario.h"
#include "support/cli_test_support.h"

#include <atomic>
#include <variant>

namespace tavelo::test {
namespace {

const char *kJobForest = "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95,area\n"
                      "a,12,9,,1500,,,,,,2.5\n"
                      "b,25,13,,,,601,22,9,31,1.5\n"
                      "noarea,14,10,,1500,,,,,,\n"
                      "c,28,15,,,,550,24,10,33,2\n"
                      "d,38,18,,,,450,30,14,38,3\n";

// The guides' plan economics, as shipped.
std::string jobEconomics()
{
    return readBytes(kExamples.parent_path() / "plan-economics.json");
}

const std::vector<std::pair<std::string, std::string>> kJobRegimeFiles = {
    {"now.json", R"({"options": {"volumes": "com casca", "year": "2026"}, "steps": ["end"]})"},
    {"later.json", R"({"options": {"volumes": "com casca", "year": "2026"},
                       "steps": ["project", "project", "project", "end"]})"},
};

class PlanJob : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeBytes(dir / "stands.csv", kJobForest);
        writeBytes(dir / "econ.json", jobEconomics());
        for (const auto &[name, json] : kJobRegimeFiles)
            writeBytes(dir / name, json);

        // What the command line makes of the same files.
        const Regime economics = std::get<Regime>(parseRegime(jobEconomics(), "2026"));
        request.inventory = dir / "stands.csv";
        request.economicsJson = jobEconomics();
        request.settings.options = economics.options;
        request.settings.economics = std::get<EconomicInputs>(readEconomicInputs(*economics.economics));
        request.settings.landValue = std::get<double>(readLandValue(*economics.economics));
        request.settings.startYear = 2026;
        request.settings.horizonYears = 30;
        request.constraints.basis = FlowBasis::Sawlog;
        request.jobs = 2;
        for (const auto &[name, json] : kJobRegimeFiles)
            request.source.regimes.emplace_back(name, std::get<Regime>(parseRegime(json, "2026")));
    }
    TempFolder dir;
    PlanRequest request;
};

TEST_F(PlanJob, WritesTheCommandLinesFiles)
{
    // The solver's state follows the candidates: the LP's bound alone first,
    // never a bound below the plan found nor a plan above it.
    std::vector<PlanProgress> solving;
    const PlanResult result = runPlan(request, [&](const PlanProgress &p) {
        if (p.stage == PlanProgress::Stage::Solving)
            solving.push_back(p);
    });
    ASSERT_TRUE(result.hasPlan()) << static_cast<int>(result.failure->kind) << " " << result.failure->detail;
    ASSERT_GE(solving.size(), 2u);
    EXPECT_TRUE(solving.front().gathered && !solving.front().solver);
    ASSERT_TRUE(solving[1].solver);
    EXPECT_FALSE(solving[1].solver->best);
    EXPECT_DOUBLE_EQ(solving[1].solver->bound, result.solution.relaxationBound);
    for (size_t i = 1; i < solving.size(); ++i) {
        ASSERT_TRUE(solving[i].solver && !solving[i].gathered);
        EXPECT_GE(solving[i].solver->bound, result.solution.objective - 1e-6);
        if (solving[i].solver->best) {
            EXPECT_LE(*solving[i].solver->best, result.solution.objective + 1e-6);
        }
    }
    const CliRun cli = runCli({"plan", "stands.csv", "--regimes", "now.json", "later.json", "--economics", "econ.json",
                               "--horizon", "30", "--flow-on", "sawlog", "--out", "cli", "--jobs", "2"},
                              dir);
    ASSERT_EQ(cli.status, 0) << cli.err;
    auto files = candidateCsvFiles(request, result.gathered);
    const auto planFiles = planCsvFiles(result);
    files.insert(files.end(), planFiles.begin(), planFiles.end());
    ASSERT_EQ(files.size(), 4u);
    for (const auto &[name, bytes] : files)
        EXPECT_EQ(bytes, readBytes(dir / "cli" / name)) << name;
}

struct CancelCase {
    const char *name;
    PlanProgress::Stage cancelAt;
    PlanFailure::Kind outcome;
};

class PlanJobCancel : public PlanJob, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(PlanJobCancel, GivesACancelledOutcomeAndNothingToWrite)
{
    std::atomic<bool> cancel{false};
    bool solverStarted = false;
    const auto progress = [&](const PlanProgress &p) {
        solverStarted = solverStarted || p.stage == PlanProgress::Stage::Solving;
        if (p.stage == GetParam().cancelAt && (p.stage == PlanProgress::Stage::Solving || p.done >= 1))
            cancel = true;
    };
    const PlanResult result = runPlan(request, progress, &cancel);
    ASSERT_TRUE(result.failure);
    EXPECT_EQ(result.failure->kind, GetParam().outcome);
    EXPECT_EQ(solverStarted, GetParam().cancelAt == PlanProgress::Stage::Solving);
    EXPECT_FALSE(result.hasPlan());
    EXPECT_TRUE(planCsvFiles(result).empty());
    EXPECT_EQ(hasCandidates(result), GetParam().cancelAt == PlanProgress::Stage::Solving);
}

INSTANTIATE_TEST_SUITE_P(
    Stages, PlanJobCancel,
    ::testing::Values(
        CancelCase{"WhileGathering", PlanProgress::Stage::Candidates, PlanFailure::Kind::CancelledGathering},
        CancelCase{"WhileSolving", PlanProgress::Stage::Solving, PlanFailure::Kind::CancelledSolving}),
    [](const auto &info) { return std::string(info.param.name); });

// Candidates gathered in two shards, one of them interrupted and resumed, then
// merged and planned from the merged file: one run's files, byte for byte.
TEST_F(PlanJob, ShardsResumedAndMergedPlanAsOneRun)
{
    std::string forest = "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95,area\n";
    for (int i = 0; i < 40; ++i) // every stand its own age, height and area
        forest += "s" + std::to_string(i) + "," + std::to_string(12 + i % 17) + "," + std::to_string(8 + i % 7) +
                  ",,1500,,,,,," + std::to_string(1 + i % 5) + ".5\n";
    forest += "noarea,14,10,,1500,,,,,,\n";
    writeBytes(dir / "stands.csv", forest);
    std::vector<std::pair<std::string, std::string>> files(kJobRegimeFiles.begin(), kJobRegimeFiles.end());
    request.sourceJson = candidateSourceJson(files);
    const PlanResult one = runPlan(request);
    ASSERT_TRUE(one.hasPlan()) << static_cast<int>(one.failure->kind) << one.failure->detail;

    GatheringRequest shard{request, dir / "s1.sqlite", 1, 2};
    shard.plan.jobs = 1;
    std::atomic<bool> cancel{false};
    const GatheringOutcome cut = gatherCandidatesInto(shard, [&](size_t done, size_t) { cancel = done >= 2; }, &cancel);
    ASSERT_TRUE(cut.failure);
    EXPECT_EQ(cut.failure->kind, PlanFailure::Kind::CancelledGathering);
    EXPECT_LT(cut.planned + cut.withoutCandidates, 21u);
    shard.resume = true;
    const GatheringOutcome resumed = gatherCandidatesInto(shard);
    EXPECT_FALSE(resumed.failure);
    EXPECT_TRUE(resumed.resumed);
    EXPECT_EQ(resumed.alreadyDone, cut.planned + cut.withoutCandidates);
    EXPECT_EQ(resumed.alreadyDone + resumed.planned + resumed.withoutCandidates, 21u);
    shard.shardIndex = 2;
    shard.database = dir / "s2.sqlite";
    EXPECT_FALSE(gatherCandidatesInto(shard).failure);
    const CliRun merge = runCli({"merge", "all.sqlite", "s1.sqlite", "s2.sqlite"}, dir);
    ASSERT_EQ(merge.status, 0) << merge.err;

    PlanRequest fromGathered = request;
    fromGathered.source = {};
    fromGathered.candidatesDatabase = dir / "all.sqlite";
    const PlanResult two = runPlan(fromGathered);
    ASSERT_TRUE(two.hasPlan());
    EXPECT_EQ(two.gathered.rows, 41u);
    EXPECT_EQ(candidateCsvFiles(request, two.gathered), candidateCsvFiles(request, one.gathered));
    EXPECT_EQ(planCsvFiles(two), planCsvFiles(one));
    // The shards alone are not a whole inventory.
    fromGathered.candidatesDatabase = dir / "s1.sqlite";
    const PlanResult part = runPlan(fromGathered);
    ASSERT_TRUE(part.failure && part.failure->gathering);
    EXPECT_EQ(part.failure->gathering->kind, CandidateStoreProblem::Kind::OnlyShards);
}

} // namespace
} // namespace tavelo::test
