// Whole simulations played from scenario files, through the runner the screens
// share and through the tavelo-cli executable: the log and the record must
// come out byte for byte as expected, with the expected exit status.
//
// Two folders hold such runs: the reference runs (read where they lie, never
// copied) and the runs checked in beside this test.

#include "regimes/scenario.h"
#include "support/cli_test_support.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ctime>
#include <string>
#include <vector>

namespace tavelo::test {
namespace {

std::string thisYear()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return std::to_string(local.tm_year + 1900);
}

struct ScenarioFiles {
    fs::path folder;
    std::string name;
    fs::path file(const std::string &ending) const { return folder / (name + ending); }
};

// The exit status a run ends with: the reference runs all complete except the
// one that leaves the model; a checked-in run names a non-zero status in NAME.status.
int expectedStatus(const ScenarioFiles &run)
{
    if (fs::exists(run.file(".status")))
        return std::stoi(readBytes(run.file(".status")));
    return run.name == "ends-outside-the-model" ? 3 : 0;
}

std::vector<ScenarioFiles> runsIn(const fs::path &folder)
{
    std::vector<ScenarioFiles> runs;
    for (const std::string &name : scenarioNames(folder))
        runs.push_back({folder, name});
    return runs;
}

std::string runName(const ::testing::TestParamInfo<ScenarioFiles> &info)
{
    std::string s;
    for (char c : info.param.name)
        s += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return s;
}

class ScenarioRun : public ::testing::TestWithParam<ScenarioFiles> {};

TEST_P(ScenarioRun, RunnerWritesTheExpectedLogAndRecord)
{
    const ScenarioFiles &run = GetParam();
    const auto parsed = parseScenario(readBytes(run.file(".json")), thisYear());
    ASSERT_TRUE(std::holds_alternative<Scenario>(parsed)) << englishText(std::get<ReadProblem>(parsed));

    TempFolder tmp;
    const fs::path log = tmp / "Simulacao1.temp";
    StandState state;
    const RunResult result = runScenario(std::get<Scenario>(parsed), state, log);

    EXPECT_EQ(static_cast<int>(result.status), expectedStatus(run))
        << (result.message ? result.message->title + ": " + result.message->text : std::string());
    EXPECT_TRUE(readBytes(log) == readBytes(run.file(".log"))) << "the log differs from " << run.file(".log");
    EXPECT_EQ(recordCsv(state), readBytes(run.file(".record.csv")));
}

TEST_P(ScenarioRun, CommandLineWritesTheExpectedLogAndRecord)
{
    const ScenarioFiles &run = GetParam();
    TempFolder tmp;
    const CliRun r = runCli({"run", run.file(".json").string(), "--log", "out.log", "--record", "out.csv"}, tmp);
    EXPECT_EQ(r.status, expectedStatus(run)) << r.err;
    EXPECT_TRUE(readBytes(tmp / "out.log") == readBytes(run.file(".log"))) << "the log differs from "
                                                                           << run.file(".log");
    EXPECT_EQ(readBytes(tmp / "out.csv"), readBytes(run.file(".record.csv")));
}

TEST_P(ScenarioRun, AnExistingLogIsReplaced)
{
    const ScenarioFiles &run = GetParam();
    TempFolder tmp;
    writeBytes(tmp / "out.log", std::string(5000, 'x'));
    const CliRun r = runCli({"run", run.file(".json").string(), "--log", "out.log"}, tmp);
    EXPECT_EQ(r.status, expectedStatus(run)) << r.err;
    EXPECT_TRUE(readBytes(tmp / "out.log") == readBytes(run.file(".log")));
}

INSTANTIATE_TEST_SUITE_P(Reference, ScenarioRun, ::testing::ValuesIn(runsIn(kExamples)), runName);
INSTANTIATE_TEST_SUITE_P(CheckedIn, ScenarioRun, ::testing::ValuesIn(runsIn(kOwnRuns)), runName);

TEST(ScenarioRuns, ReferenceRunsArePresent)
{
    ASSERT_TRUE(fs::is_directory(kExamples))
        << "the reference runs are missing: expected the folder " << kExamples
        << " (set TAVELO_EXAMPLES_DIR when configuring)";
    const std::vector<std::string> names = scenarioNames(kExamples);
    EXPECT_GE(names.size(), 5u) << "too few reference scenarios in " << kExamples;
    for (const std::string &n : names) {
        EXPECT_TRUE(fs::exists(kExamples / (n + ".log"))) << n << ".log missing";
        EXPECT_TRUE(fs::exists(kExamples / (n + ".record.csv"))) << n << ".record.csv missing";
    }
}

TEST(ScenarioRuns, CheckedInRunsArePresent)
{
    const std::vector<std::string> names = scenarioNames(kOwnRuns);
    ASSERT_GE(names.size(), 3u) << kOwnRuns;
    for (const std::string &n : names) {
        EXPECT_TRUE(fs::exists(kOwnRuns / (n + ".log"))) << n;
        EXPECT_TRUE(fs::exists(kOwnRuns / (n + ".record.csv"))) << n;
    }
}

} // namespace
} // namespace tavelo::test
