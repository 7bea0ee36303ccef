// The simulation loop of the two stand screens: every state shown is logged
// and recorded once, projections advance by 5 years, thinnings are carried
// forward, ended on or discarded.

#include "base/numeric_text.h"
#include "session/structure/sim_record.h"
#include "session/structure/simulation.h"
#include "structure_test_support.h"

#include <gtest/gtest.h>

namespace tavelo::test {
namespace {

using Thinning = ScreenEntries::Thinning;

size_t blocksIn(const fs::path &log)
{
    const std::string bytes = readBytes(log);
    const std::string mark = "\r\n" + std::string(160, '*') + "\r\n";
    size_t n = 0;
    for (size_t p = bytes.find(mark); p != std::string::npos; p = bytes.find(mark, p + 1))
        ++n;
    return n;
}

std::string cell(const StandState &s, int row, int col) { return recordCellText(s.record[row][col]); }

class SimulationFlowTest : public ::testing::Test {
protected:
    SimulationFlowTest() : state(plantedStand()), sim(state, entries)
    {
        state.logName = "Simulacao1.temp";
        sim.log().setPath(logPath());
    }
    fs::path logPath() const { return tmp / "Simulacao1.temp"; }
    // The residual basal area in the middle of the allowed range, as typed.
    std::string midResidual() const
    {
        return formatFixed(0.6 * state.basalArea.value(), 2);
    }

    TempFolder tmp;
    ScreenEntries entries;
    StandState state;
    Simulation sim;
};

TEST_F(SimulationFlowTest, OpeningShowsLogsAndRecordsTheStand)
{
    EXPECT_TRUE(sim.openStandScreen().empty());
    ASSERT_TRUE(sim.standTable().has_value());
    EXPECT_EQ(sim.standTable()->txtIdade, "12");
    EXPECT_EQ(sim.standTable()->txtAno, "2026");
    EXPECT_EQ(blocksIn(logPath()), 1u);
    EXPECT_EQ(recordRowCount(state), 1);
    EXPECT_EQ(cell(state, 0, 0), "2026");
    EXPECT_EQ(cell(state, 0, 1), "12");
    EXPECT_EQ(cell(state, 0, 2), "AD");
    for (int c = 1; c < 8; ++c)
        EXPECT_EQ(cell(state, 0, c + 2), sim.standTable()->totalRow()[c]);
    EXPECT_FALSE(state.projected);
}

TEST_F(SimulationFlowTest, EachProjectionAdvancesByFiveYears)
{
    sim.openStandScreen();
    for (int step = 1; step <= 3; ++step) {
        const double treesBefore = state.treesAlive.value();
        EXPECT_TRUE(sim.projectWithoutThinning().empty());
        EXPECT_EQ(state.standAge, StateValue(12.0 + 5.0 * step));
        ASSERT_TRUE(state.currentYear.isNumber());
        EXPECT_EQ(state.currentYear.number(), 2026.0 + 5.0 * step);
        EXPECT_TRUE(state.projected);
        EXPECT_NEAR(state.dominantHeight.value(), DominantHeightAtAge(12.0 + 5.0 * step, state.siteIndex.value()),
                    1e-12);
        EXPECT_LE(state.treesAlive.value(), treesBefore);
        EXPECT_EQ(sim.standTable()->txtIdade, std::to_string(12 + 5 * step));
        EXPECT_EQ(sim.standTable()->txtAno, std::to_string(2026 + 5 * step));
        EXPECT_EQ(blocksIn(logPath()), static_cast<size_t>(step + 1));
        EXPECT_EQ(recordRowCount(state), step + 1);
        EXPECT_EQ(cell(state, step, 0), std::to_string(2026 + 5 * step));
        EXPECT_EQ(cell(state, step, 1), std::to_string(12 + 5 * step));
        EXPECT_EQ(cell(state, step, 2), "AD");
    }
    // The typed year is kept in the first row.
    EXPECT_TRUE(std::holds_alternative<std::string>(state.record[0][0]));
    EXPECT_TRUE(std::holds_alternative<double>(state.record[1][0]));
}

TEST_F(SimulationFlowTest, ProjectedThinningAddsDThenAD)
{
    sim.openStandScreen();
    sim.projectWithoutThinning();
    sim.projectWithoutThinning(); // 22 years, 2036
    const ThinningOutcome out = sim.thin(ThinningInput::mechanical("30"));
    ASSERT_EQ(out.kind, ThinningOutcome::Kind::ShowThinnedStand);
    ASSERT_TRUE(sim.thinnedTable().has_value());
    EXPECT_EQ(sim.thinnedTable()->lblDesbasteMS, "Mecânico com 30% de árvores a retirar");
    // Shown, but neither logged nor recorded yet.
    EXPECT_EQ(blocksIn(logPath()), 3u);
    EXPECT_EQ(recordRowCount(state), 3);
    const TableRow thinnedTotal = sim.thinnedTable()->totalRow();

    EXPECT_TRUE(sim.projectThinned().empty());
    EXPECT_EQ(blocksIn(logPath()), 5u);
    ASSERT_EQ(recordRowCount(state), 5);
    EXPECT_EQ(cell(state, 3, 2), "D");
    EXPECT_EQ(cell(state, 3, 0), cell(state, 2, 0)); // same year and age as the stand it was applied to
    EXPECT_EQ(cell(state, 3, 1), cell(state, 2, 1));
    for (int c = 1; c < 8; ++c)
        EXPECT_EQ(cell(state, 3, c + 2), thinnedTotal[c]);
    EXPECT_EQ(cell(state, 4, 2), "AD");
    EXPECT_EQ(cell(state, 4, 0), "2041");
    EXPECT_EQ(cell(state, 4, 1), "27");

    // The residual values are null again and the after-thinning screen is gone.
    for (const StateValue *v : {&state.residualBasalArea, &state.residualWeibullA, &state.residualWeibullB,
                                &state.residualWeibullC, &state.residualTrees})
        EXPECT_TRUE(v->isNull());
    EXPECT_FALSE(sim.thinnedTable().has_value());
    ASSERT_TRUE(sim.standTable().has_value());
    EXPECT_EQ(sim.standTable()->txtIdade, "27");
    // A mechanical thinning keeps the caption of a never-thinned stand.
    EXPECT_EQ(sim.standTable()->frameCaption, "Características do povoamento sem desbaste prévio");
    EXPECT_EQ(state.enteredUnthinned, StateValue(1.0));
}

TEST_F(SimulationFlowTest, DiscardedThinningLeavesNoTrace)
{
    sim.openStandScreen();
    sim.projectWithoutThinning();
    const std::string logBefore = readBytes(logPath());
    const auto recordBefore = state.record;
    const int lastBefore = state.recordLast;

    ASSERT_EQ(sim.thin(ThinningInput::mechanical("40")).kind, ThinningOutcome::Kind::ShowThinnedStand);
    sim.discardThinning();
    EXPECT_FALSE(sim.thinnedTable().has_value());
    EXPECT_TRUE(sim.standTable().has_value()); // the stand screen comes back with its table
    EXPECT_EQ(entries.thinning, Thinning::None); // the thinning screen starts empty next time
    EXPECT_TRUE(entries.mechanicalPercentText.empty());
    for (const StateValue *v : {&state.residualBasalArea, &state.residualWeibullA, &state.residualWeibullB,
                                &state.residualWeibullC, &state.residualTrees})
        EXPECT_TRUE(v->isNull());

    // A new thinning, carried forward: only it shows in the log and the record.
    ASSERT_EQ(sim.thin(ThinningInput::mechanical("20")).kind, ThinningOutcome::Kind::ShowThinnedStand);
    sim.projectThinned();
    EXPECT_EQ(readBytes(logPath()).substr(0, logBefore.size()), logBefore);
    EXPECT_EQ(state.recordLast, lastBefore + 2);
    for (int r = 0; r <= lastBefore; ++r)
        EXPECT_EQ(state.record[r], recordBefore[r]);
    const auto lines = sim.log().readLines();
    ASSERT_TRUE(lines.has_value());
    size_t mentions40 = 0, mentions20 = 0;
    for (const std::string &l : *lines) {
        mentions40 += l.find("Mecânico com 40%") != std::string::npos;
        mentions20 += l.find("Mecânico com 20%") != std::string::npos;
    }
    EXPECT_EQ(mentions40, 0u);
    EXPECT_EQ(mentions20, 1u);
}

TEST_F(SimulationFlowTest, ThinningFromBelowSwitchesTheCaptionEvenWhenDiscarded)
{
    sim.openStandScreen();
    sim.projectWithoutThinning();
    EXPECT_EQ(sim.standTable()->frameCaption, "Características do povoamento sem desbaste prévio");
    ASSERT_EQ(sim.thin(ThinningInput::fromBelow(midResidual())).kind, ThinningOutcome::Kind::ShowThinnedStand);
    EXPECT_EQ(state.enteredUnthinned, StateValue(0.0));
    sim.discardThinning();
    EXPECT_EQ(state.enteredUnthinned, StateValue(0.0));
    sim.projectWithoutThinning();
    EXPECT_EQ(sim.standTable()->frameCaption, "Características do povoamento com desbaste prévio");
}

TEST_F(SimulationFlowTest, EndingOnTheThinnedScreenRecordsTheThinnedStand)
{
    sim.openStandScreen();
    sim.projectWithoutThinning();
    ASSERT_EQ(sim.thin(ThinningInput::fromBelow(midResidual())).kind, ThinningOutcome::Kind::ShowThinnedStand);
    EXPECT_TRUE(sim.endFromThinnedScreen().empty());
    EXPECT_EQ(blocksIn(logPath()), 3u);
    ASSERT_EQ(recordRowCount(state), 3);
    EXPECT_EQ(cell(state, 2, 2), "D");
    EXPECT_EQ(cell(state, 2, 1), "17");
    EXPECT_EQ(cell(state, 2, 4), sim.thinnedTable()->totalRow()[2]);
    EXPECT_EQ(sim.thinnedTable()->totalRow()[2], formatFixed(std::stod(midResidual()), 1));
}

TEST_F(SimulationFlowTest, ClosingTheThinnedScreenDiscardsItSilently)
{
    sim.openStandScreen();
    ASSERT_EQ(sim.thin(ThinningInput::mechanical("25")).kind, ThinningOutcome::Kind::ShowThinnedStand);
    sim.closeThinnedScreen();
    EXPECT_FALSE(sim.thinnedTable().has_value());
    // Nothing left to carry forward or to end on.
    EXPECT_TRUE(sim.projectThinned().empty());
    EXPECT_TRUE(sim.endFromThinnedScreen().empty());
    EXPECT_EQ(blocksIn(logPath()), 1u);
    EXPECT_EQ(recordRowCount(state), 1);
    sim.closeStandScreen();
    EXPECT_FALSE(sim.standTable().has_value());
}

TEST_F(SimulationFlowTest, RefusedThinningChangesNothing)
{
    sim.openStandScreen();
    const ThinningOutcome out = sim.thin(ThinningInput::mechanical("60"));
    EXPECT_EQ(out.kind, ThinningOutcome::Kind::Refused);
    EXPECT_FALSE(sim.thinnedTable().has_value());
    EXPECT_EQ(blocksIn(logPath()), 1u);
}

TEST_F(SimulationFlowTest, LogFailureIsReportedOnceAndTheSimulationGoesOn)
{
    sim.log().setPath(tmp / "no-such-folder" / "Simulacao1.temp");
    EXPECT_EQ(sim.openStandScreen(), Messages{Message::error("Erro!", "Erro de gravação do ficheiro...")});
    EXPECT_TRUE(sim.projectWithoutThinning().empty());
    ASSERT_EQ(sim.thin(ThinningInput::mechanical("30")).kind, ThinningOutcome::Kind::ShowThinnedStand);
    EXPECT_TRUE(sim.projectThinned().empty());
    EXPECT_EQ(recordRowCount(state), 4); // the record still takes every state
    EXPECT_EQ(state.standAge, StateValue(22.0));
    EXPECT_FALSE(fs::exists(tmp / "no-such-folder"));
}

TEST_F(SimulationFlowTest, RecordLimitReachedFromTheThinnedScreen)
{
    sim.openStandScreen();
    state.recordLast = 33; // as after 34 recorded states
    ASSERT_EQ(sim.thin(ThinningInput::mechanical("30")).kind, ThinningOutcome::Kind::ShowThinnedStand);
    const size_t blocksBefore = blocksIn(logPath());
    // The thinned stand is the 35th request, the projected stand the 36th.
    EXPECT_EQ(sim.projectThinned(),
              Messages{Message::information("Limite máximo de simulações atingido",
                                            "Esta será a última simulação permitida, pois foi atingido o limite de "
                                            "simulações...")});
    EXPECT_EQ(blocksIn(logPath()), blocksBefore + 2); // the log takes them all
    EXPECT_TRUE(sim.projectWithoutThinning().empty());
    EXPECT_TRUE(std::holds_alternative<std::monostate>(state.record[34][0]));
}

TEST_F(SimulationFlowTest, ProjectionLeavingTheModelWritesNothingMore)
{
    // A dense stand on a good site: its basal area leaves the model within a few steps.
    StandState dense;
    OptionsInput options;
    options.year = "2026";
    ASSERT_TRUE(confirmOptions(dense, options).accepted);
    StandDataInput stand;
    stand.age = "15";
    stand.dominantHeight = "10";
    ASSERT_TRUE(standDataButton(dense, stand).openDensityScreen);
    ASSERT_EQ(confirmUnthinnedDensity(dense, "2000", DensityChoice::Planted).kind, DensityOutcome::Kind::Stored);
    ScreenEntries denseEntries;
    Simulation s(dense, denseEntries);
    s.log().setPath(tmp / "dense.temp");
    s.openStandScreen();
    bool ended = false;
    for (int step = 0; step < 20 && !ended; ++step) {
        const size_t blocks = blocksIn(tmp / "dense.temp");
        const int last = dense.recordLast;
        try {
            s.projectWithoutThinning();
        } catch (const ModelLimitError &e) {
            ended = true;
            EXPECT_EQ(e.title(), "Resultados Inconsistentes");
            EXPECT_EQ(blocksIn(tmp / "dense.temp"), blocks);
            EXPECT_EQ(dense.recordLast, last);
        }
    }
    EXPECT_TRUE(ended);
}

} // namespace
} // namespace tavelo::test
