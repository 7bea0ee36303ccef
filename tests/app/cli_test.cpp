// tavelo-cli as a user runs it: usage and scenario errors (status 1), refused
// entries (status 2), a simulation the model ends (status 3), and what the
// checked-in runs must show besides their files.

#include "regimes/scenario.h"
#include "base/numeric_text.h"
#include "support/cli_test_support.h"
#include "session/structure/sim_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tavelo::test {
namespace {

const char *kMinimal = R"({"options": {"year": "2026"},
 "stand": {"age": "12", "dominantHeight": "9"},
 "density": {"planted": "1500"},
 "steps": ["project"]})";

size_t countBlocks(const std::string &logBytes)
{
    // Every block starts with an empty line and a row of 160 asterisks.
    size_t n = 0;
    for (size_t p = logBytes.find("\r\n" + std::string(160, '*') + "\r\n"); p != std::string::npos;
         p = logBytes.find("\r\n" + std::string(160, '*') + "\r\n", p + 1))
        ++n;
    return n;
}

// --- Usage --------------------------------------------------------------------------

struct UsageCase {
    const char *name;
    std::vector<std::string> args;
};

class CliUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CliUsage, ExitsWithOneAndShowsTheUsage)
{
    TempFolder tmp;
    writeBytes(tmp / "s.json", kMinimal);
    const CliRun r = runCli(GetParam().args, tmp);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("usage: tavelo-cli run SCENARIO.json --log LOG.txt [--record RECORD.csv]"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(tmp / "l.log"));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CliUsage,
    ::testing::Values(UsageCase{"Nothing", {}}, UsageCase{"UnknownCommand", {"play", "s.json", "--log", "l.log"}},
                      UsageCase{"NoLog", {"run", "s.json"}}, UsageCase{"LogWithoutName", {"run", "s.json", "--log"}},
                      UsageCase{"NoScenario", {"run", "--log", "l.log"}},
                      UsageCase{"TwoScenarios", {"run", "s.json", "t.json", "--log", "l.log"}},
                      UsageCase{"UnknownOption", {"run", "s.json", "--log", "l.log", "--verbose"}}),
    [](const ::testing::TestParamInfo<UsageCase> &i) { return std::string(i.param.name); });

struct UnreadableCase {
    const char *name;
    const char *scenario;
};

class CliUnreadableScenario : public ::testing::TestWithParam<UnreadableCase> {};

TEST_P(CliUnreadableScenario, ExitsWithOneAndNamesTheFile)
{
    TempFolder tmp;
    fs::create_directories(tmp / "folder.json");
    const CliRun r = runCli({"run", GetParam().scenario, "--log", "l.log"}, tmp);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(std::string("cannot read ") + GetParam().scenario), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(tmp / "l.log"));
}

INSTANTIATE_TEST_SUITE_P(Files, CliUnreadableScenario,
                         ::testing::Values(UnreadableCase{"Missing", "missing.json"},
                                           UnreadableCase{"Folder", "folder.json"}),
                         [](const ::testing::TestParamInfo<UnreadableCase> &i) { return std::string(i.param.name); });

// --- Scenario errors ----------------------------------------------------------------

struct ScenarioErrorCase {
    const char *name;
    const char *json;
    const char *says; // part of the message: what and where
};

class CliScenarioError : public ::testing::TestWithParam<ScenarioErrorCase> {};

TEST_P(CliScenarioError, ExitsWithOneAndSaysWhatAndWhere)
{
    TempFolder tmp;
    writeBytes(tmp / "s.json", GetParam().json);
    const CliRun r = runCli({"run", "s.json", "--log", "l.log", "--record", "r.csv"}, tmp);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(GetParam().says), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("s.json"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(tmp / "l.log"));
    EXPECT_FALSE(fs::exists(tmp / "r.csv"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, CliScenarioError,
    ::testing::Values(
        // The column names the offending character.
        ScenarioErrorCase{"BadJson", "{\n  \"options\": {,\n}", "line 2, column 15"},
        ScenarioErrorCase{"BadValue", "{\"stand\": tru}", "line 1, column 11"},
        ScenarioErrorCase{"ColumnCountsLetters", "{\"stand\": {\"qualityClass\": \"Média\" \"age\": \"1\"}}",
                          "line 1, column 36"},
        ScenarioErrorCase{"NotAnObject", "[1, 2]", "must be a JSON object"},
        ScenarioErrorCase{"UnknownKey",
                          R"({"stand": {"age": "12", "dominantHeight": "9"}, "density": {"planted": "1500"},
                              "colour": "green"})",
                          "scenario.colour: unknown key"},
        ScenarioErrorCase{"UnknownOption",
                          R"({"options": {"bark": "yes"}, "stand": {"age": "12", "dominantHeight": "9"},
                              "density": {"planted": "1500"}})",
                          "options.bark: unknown key"},
        ScenarioErrorCase{"WrongVolumes",
                          R"({"options": {"volumes": "sem casc"}, "stand": {"age": "12", "dominantHeight": "9"},
                              "density": {"planted": "1500"}})",
                          "options.volumes"},
        ScenarioErrorCase{"NumberNotText",
                          R"({"stand": {"age": 12, "dominantHeight": "9"}, "density": {"planted": "1500"}})",
                          "stand.age: must be a string"},
        ScenarioErrorCase{"NoStand", R"({"density": {"planted": "1500"}})", "stand: missing"},
        ScenarioErrorCase{"HeightAndClass",
                          R"({"stand": {"age": "12", "dominantHeight": "9", "qualityClass": "Média"},
                              "density": {"planted": "1500"}})",
                          "stand: give either dominantHeight or qualityClass"},
        ScenarioErrorCase{"UnknownClass",
                          R"({"stand": {"age": "12", "qualityClass": "Alta"}, "density": {"planted": "1500"}})",
                          "stand.qualityClass"},
        ScenarioErrorCase{"PlantedAndAlive",
                          R"({"stand": {"age": "12", "dominantHeight": "9"},
                              "density": {"planted": "1500", "alive": "1400"}})",
                          "density"},
        ScenarioErrorCase{"TwelveClasses",
                          R"({"stand": {"age": "30", "dominantHeight": "14"},
                              "density": {"classes": ["", "", "", "100", "", "", "", "", "", "", "", ""]}})",
                          "density.classes: must be an array of 13 texts"},
        ScenarioErrorCase{"ClassNotText",
                          R"({"stand": {"age": "30", "dominantHeight": "14"},
                              "density": {"classes": ["", 5, "", "100", "", "", "", "", "", "", "", "", ""]}})",
                          "density.classes[1]"},
        ScenarioErrorCase{"MissingParameter",
                          R"({"stand": {"age": "30", "dominantHeight": "14"},
                              "density": {"trees": "601", "basalArea": "22", "minDiameter": "9"}})",
                          "density.p95: missing"},
        ScenarioErrorCase{"UnknownStep",
                          R"({"stand": {"age": "12", "dominantHeight": "9"}, "density": {"planted": "1500"},
                              "steps": ["project", "grow"]})",
                          "steps[1]"},
        ScenarioErrorCase{"StepAfterEnd",
                          R"({"stand": {"age": "12", "dominantHeight": "9"}, "density": {"planted": "1500"},
                              "steps": ["end", "project"]})",
                          "steps[1]: no step can follow \"end\""},
        ScenarioErrorCase{"MechanicalWithoutPercent",
                          R"({"stand": {"age": "12", "dominantHeight": "9"}, "density": {"planted": "1500"},
                              "steps": [{"thin": "mechanical", "residualBasalArea": "14"}]})",
                          "steps[0]"},
        ScenarioErrorCase{"UnknownThinning",
                          R"({"stand": {"age": "12", "dominantHeight": "9"}, "density": {"planted": "1500"},
                              "steps": [{"thin": "selective", "percent": "30"}]})",
                          "steps[0].thin"}),
    [](const ::testing::TestParamInfo<ScenarioErrorCase> &i) { return std::string(i.param.name); });

// --- Refused entries --------------------------------------------------------------------

struct RefusalCase {
    const char *name;
    const char *json;
    const char *title;
    const char *text;
    size_t blocks; // blocks in the log when the refusal comes
};

class CliRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(CliRefusal, ExitsWithTwoAndShowsTheBox)
{
    const RefusalCase &c = GetParam();
    TempFolder tmp;
    writeBytes(tmp / "s.json", c.json);
    const CliRun r = runCli({"run", "s.json", "--log", "l.log", "--record", "r.csv"}, tmp);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find(c.title), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
    EXPECT_EQ(countBlocks(readBytes(tmp / "l.log")), c.blocks);
    // The record written so far is still written.
    const std::string csv = readBytes(tmp / "r.csv");
    EXPECT_EQ(static_cast<size_t>(std::count(csv.begin(), csv.end(), '\n')), c.blocks + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, CliRefusal,
    ::testing::Values(
        RefusalCase{"ZeroPlanted",
                    R"({"options": {"year": "2026"}, "stand": {"age": "12", "dominantHeight": "9"},
                        "density": {"planted": "0"}})",
                    "Dados Inválidos", "Dados Inválidos", 0},
        RefusalCase{"TooManyAlive",
                    R"({"options": {"year": "2026"}, "stand": {"age": "12", "dominantHeight": "9"},
                        "density": {"alive": "32768"}})",
                    "Dados Inválidos", "Dados Inválidos", 0},
        // At 16 years the height route only enables "Dados povoamento desbastado".
        RefusalCase{"UnthinnedRouteDisabled",
                    R"({"options": {"year": "2026"}, "stand": {"age": "16", "dominantHeight": "9"},
                        "density": {"planted": "1500"}})",
                    "Dados Inválidos", "Dados povoamento não desbastado", 0},
        RefusalCase{"ThinnedRouteDisabled",
                    R"({"options": {"year": "2026"}, "stand": {"age": "9", "dominantHeight": "6"},
                        "density": {"trees": "601", "basalArea": "22", "minDiameter": "9", "p95": "31"}})",
                    "Dados Inválidos", "Dados povoamento desbastado", 0},
        RefusalCase{"BadYear",
                    R"({"options": {"year": "0"}, "stand": {"age": "12", "dominantHeight": "9"},
                        "density": {"planted": "1500"}})",
                    "Dados Inválidos", "Data Inválida", 0},
        RefusalCase{"NegativeDimension",
                    R"({"options": {"year": "2026", "topDiameter": "-7"},
                        "stand": {"age": "12", "dominantHeight": "9"}, "density": {"planted": "1500"}})",
                    "Dados Inválidos", "Parâmetros negativos não são aceitáveis...", 0},
        RefusalCase{"BadHeight",
                    R"({"options": {"year": "2026"}, "stand": {"age": "12", "dominantHeight": "nove"},
                        "density": {"planted": "1500"}})",
                    "Insuficiência de Dados",
                    "Para continuar necessita de preencher correctamente a altura dominante...", 0},
        RefusalCase{"BadParameters",
                    R"({"options": {"year": "2026"}, "stand": {"age": "30", "dominantHeight": "14"},
                        "density": {"trees": "601", "basalArea": "-22", "minDiameter": "9", "p95": "31"}})",
                    "Dados Inválidos", "Parâmetros do povoamento Inválidos", 0},
        RefusalCase{"NoClassCounts",
                    R"({"options": {"year": "2026"}, "stand": {"age": "30", "dominantHeight": "14"},
                        "density": {"classes": ["", "", "", "", "", "", "", "", "", "", "", "", ""]}})",
                    "Dados Inválidos", "Para continuar tem que introduzir nº de árvores em cada classe de dap", 0},
        RefusalCase{"BadClassCount",
                    R"({"options": {"year": "2026"}, "stand": {"age": "30", "dominantHeight": "14"},
                        "density": {"classes": ["", "-1", "", "50", "", "", "", "", "", "", "", "", ""]}})",
                    "Dados Inválidos", "Nº de árvores inválido!", 0},
        RefusalCase{"PercentTooLow",
                    R"({"options": {"year": "2026"}, "stand": {"age": "12", "dominantHeight": "9"},
                        "density": {"planted": "1500"},
                        "steps": ["project", {"thin": "mechanical", "percent": "14.9"}]})",
                    "Dados inválidos", "A % de árv. a retirar deve ter valores entre 15 e 50 %", 2},
        RefusalCase{"ResidualTooLow",
                    R"({"options": {"year": "2026"}, "stand": {"age": "12", "dominantHeight": "9"},
                        "density": {"planted": "1500"},
                        "steps": [{"thin": "below", "residualBasalArea": "1"}]})",
                    "Dados inválidos - A AB residual deve ter valores entre 50 e 75 % da AB do povoamento",
                    "Neste caso, a área basal residual deve ter valores entre ", 1},
        RefusalCase{"DiscardWithoutThinning",
                    R"({"options": {"year": "2026"}, "stand": {"age": "12", "dominantHeight": "9"},
                        "density": {"planted": "1500"}, "steps": ["project", "discard"]})",
                    "Dados Inválidos", "steps[1]", 2}),
    [](const ::testing::TestParamInfo<RefusalCase> &i) { return std::string(i.param.name); });

// --- The model ends the simulation ------------------------------------------------------

struct ModelEndCase {
    const char *name;
    const char *json;
    const char *title;
    const char *text;
    size_t blocks;
};

class CliModelEnd : public ::testing::TestWithParam<ModelEndCase> {};

TEST_P(CliModelEnd, ExitsWithThreeAndKeepsTheLogWrittenSoFar)
{
    const ModelEndCase &c = GetParam();
    TempFolder tmp;
    writeBytes(tmp / "s.json", c.json);
    const CliRun r = runCli({"run", "s.json", "--log", "l.log", "--record", "r.csv"}, tmp);
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find(std::string(c.title) + ": " + c.text), std::string::npos) << r.err;
    EXPECT_EQ(countBlocks(readBytes(tmp / "l.log")), c.blocks);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, CliModelEnd,
    ::testing::Values(
        ModelEndCase{"TypedBasalAreaAbove45",
                     R"({"options": {"year": "2026"}, "stand": {"age": "30", "dominantHeight": "14"},
                         "density": {"trees": "1000", "basalArea": "45.5", "minDiameter": "10", "p95": "35"}})",
                     "Dados Inconsistentes",
                     "Os dados introduzidos não permitem a convergência do modelo!A simulação vai terminar.", 0},
        // The table of the typed stand lies more than 1 m2/ha from the typed basal area.
        ModelEndCase{"TableFarFromTypedBasalArea",
                     R"({"options": {"year": "2026"}, "stand": {"age": "30", "dominantHeight": "14"},
                         "density": {"trees": "1500", "basalArea": "44", "minDiameter": "1", "p95": "40"}})",
                     "Dados Inconsistentes",
                     "Os dados introduzidos não permitem a convergência do modelo! A simulação vai terminar.", 0},
        ModelEndCase{"TableAbove45",
                     R"({"options": {"year": "2026"}, "stand": {"age": "30", "dominantHeight": "14"},
                         "density": {"trees": "2000", "basalArea": "45", "minDiameter": "10", "p95": "25"}})",
                     "Resultados Inconsistentes",
                     "Simulação fora dos limites do modelo! A simulação vai terminar.", 0},
        // Projected past the model's limit after three states.
        ModelEndCase{"ProjectionLeavesTheModel",
                     R"({"options": {"year": "2026"}, "stand": {"age": "15", "dominantHeight": "10"},
                         "density": {"planted": "2000"},
                         "steps": ["project", "project", "project", "project", "project", "project"]})",
                     "Resultados Inconsistentes", "Simulação fora dos limites do modelo!A simulação vai terminar.",
                     3}),
    [](const ::testing::TestParamInfo<ModelEndCase> &i) { return std::string(i.param.name); });

TEST(CliModelEnd, ExactlyFortyFiveTypedPasses)
{
    TempFolder tmp;
    writeBytes(tmp / "s.json", R"({"options": {"year": "2026"}, "stand": {"age": "30", "dominantHeight": "14"},
                                   "density": {"trees": "1000", "basalArea": "45", "minDiameter": "10", "p95": "35"}})");
    const CliRun r = runCli({"run", "s.json", "--log", "l.log"}, tmp);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(countBlocks(readBytes(tmp / "l.log")), 1u);
}

// --- What the checked-in runs show besides their files ----------------------------------------

RunResult runOwn(const std::string &name, StandState &state, const TempFolder &tmp)
{
    const auto parsed = parseScenario(readBytes(kOwnRuns / (name + ".json")), "2026");
    EXPECT_TRUE(std::holds_alternative<Scenario>(parsed));
    if (!std::holds_alternative<Scenario>(parsed))
        return {};
    return runScenario(std::get<Scenario>(parsed), state, tmp / "Simulacao1.temp");
}

TEST(CheckedInRuns, RecordLimitShowsItsMessageOnce)
{
    TempFolder tmp;
    StandState state;
    const RunResult r = runOwn("record-limit", state, tmp);
    EXPECT_EQ(r.status, RunResult::Status::Completed);
    ASSERT_EQ(r.notices.size(), 1u);
    EXPECT_EQ(r.notices[0],
              Message::information("Limite máximo de simulações atingido",
                                   "Esta será a última simulação registada, pois foi atingido o limite de simulações "
                                   "registáveis..."));
    EXPECT_EQ(recordRowCount(state), 34);
    // The log still takes every state: more blocks than rows.
    EXPECT_GT(countBlocks(readBytes(tmp / "Simulacao1.temp")), 35u);

    const CliRun cli = runCli({"run", (kOwnRuns / "record-limit.json").string(), "--log", "l.log"}, tmp);
    EXPECT_EQ(cli.status, 0);
    EXPECT_NE(cli.err.find("Limite máximo de simulações atingido"), std::string::npos) << cli.err;
}

TEST(CheckedInRuns, ParametersLineOnEveryStandScreenBlock)
{
    TempFolder tmp;
    StandState state;
    const RunResult r = runOwn("thinned-by-parameters-line-11", state, tmp);
    EXPECT_EQ(r.status, RunResult::Status::Completed);
    const std::string log = readBytes(tmp / "Simulacao1.temp");
    const std::string line11 = utf8ToCp1252("Parâmetros iniciais do povoamento: Ts(nº/ha) = ");
    const std::string thinnedBlock = utf8ToCp1252("Caracteristicas do povoamento - Desbaste ");
    size_t standBlocks = 0;
    size_t lines11 = 0;
    size_t thinnedBlocks = 0;
    for (size_t p = log.find(utf8ToCp1252("Características do povoamento")); p != std::string::npos;
         p = log.find(utf8ToCp1252("Características do povoamento"), p + 1))
        ++standBlocks;
    for (size_t p = log.find(line11); p != std::string::npos; p = log.find(line11, p + 1))
        ++lines11;
    for (size_t p = log.find(thinnedBlock); p != std::string::npos; p = log.find(thinnedBlock, p + 1))
        ++thinnedBlocks;
    EXPECT_GE(standBlocks, 3u);
    EXPECT_GE(thinnedBlocks, 1u);
    EXPECT_EQ(lines11, standBlocks); // on every block of the stand screen, none after a thinning
}

} // namespace
} // namespace tavelo::test
