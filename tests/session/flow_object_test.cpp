// The one road of a simulation as its flow object walks it: where the user is
// after each operation, what stays locked and what a closed window takes with it.

#include "session/structure/sim_record.h"
#include "session/structure/simulation_flow.h"
#include "structure_test_support.h"
#include "support/stand_inputs.h"

#include <gtest/gtest.h>

namespace tavelo::test {
namespace {

using tavelo::testing::age12Height9;
using tavelo::testing::thinnedByParameters;

using Stage = SimulationFlow::Stage;
using Route = SimulationFlow::Route;

size_t countOf(const std::string &bytes, const std::string &what)
{
    size_t n = 0;
    for (size_t p = bytes.find(what); p != std::string::npos; p = bytes.find(what, p + 1))
        ++n;
    return n;
}

const std::string kBlockRule = "\r\n" + std::string(160, '*') + "\r\n";
// Line 11 of a block, as Windows-1252 bytes.
const std::string kParameters = "Par\xe2metros iniciais do povoamento";

class FlowObject : public ::testing::Test {
protected:
    FlowObject() : flow(state)
    {
        state.logName = "Simulacao1.temp";
        flow.log().setPath(tmp / "Simulacao1.temp");
    }
    std::string log() const { return readBytes(tmp / "Simulacao1.temp"); }
    void confirmOptions()
    {
        OptionsInput options;
        options.year = "2026";
        flow.typeOptions("2026", "0.15");
        ASSERT_TRUE(flow.confirmOptions(options).accepted);
    }
    void enterPlanted()
    {
        ASSERT_TRUE(flow.chooseRoute(Route::Unthinned, age12Height9()).openDensityScreen);
        ASSERT_EQ(flow.confirmUnthinnedDensity("1500", DensityChoice::Planted).kind, DensityOutcome::Kind::Stored);
    }
    std::string midResidual() const { return std::to_string(0.6 * state.basalArea.value()); }

    TempFolder tmp;
    StandState state;
    SimulationFlow flow;
};

TEST_F(FlowObject, WalksTheStagesOfOneSimulation)
{
    EXPECT_EQ(flow.stage(), Stage::Options);
    confirmOptions();
    EXPECT_EQ(flow.stage(), Stage::StandData);
    ASSERT_TRUE(flow.chooseRoute(Route::Unthinned, age12Height9()).openDensityScreen);
    EXPECT_EQ(flow.stage(), Stage::DensityEntry);
    ASSERT_EQ(flow.confirmUnthinnedDensity("1500", DensityChoice::Planted).kind, DensityOutcome::Kind::Stored);
    EXPECT_EQ(flow.stage(), Stage::StandData);
    EXPECT_FALSE(flow.confirmStandData().has_value());
    EXPECT_EQ(flow.stage(), Stage::StandScreen);
    EXPECT_TRUE(flow.loadStandScreen().empty());
    flow.openThinning();
    EXPECT_EQ(flow.stage(), Stage::ThinningDialogue);
    ASSERT_EQ(flow.thin(ThinningInput::mechanical("30")).kind, ThinningOutcome::Kind::ShowThinnedStand);
    EXPECT_EQ(flow.stage(), Stage::AfterThinning);
    flow.discardThinning();
    EXPECT_EQ(flow.stage(), Stage::StandScreen);
    EXPECT_TRUE(flow.end().empty());
    EXPECT_EQ(flow.stage(), Stage::Ended);
    flow.newSimulation();
    EXPECT_EQ(flow.stage(), Stage::Options);
}

TEST_F(FlowObject, RefusedEntriesStayWhereTheyAre)
{
    confirmOptions();
    StandDataInput noHeight = age12Height9();
    noHeight.dominantHeight = "x";
    EXPECT_FALSE(flow.chooseRoute(Route::Thinned, noHeight).openDensityScreen);
    EXPECT_EQ(flow.stage(), Stage::StandData);
    ASSERT_TRUE(flow.chooseRoute(Route::Unthinned, age12Height9()).openDensityScreen);
    EXPECT_EQ(flow.confirmUnthinnedDensity("-3", DensityChoice::Planted).kind, DensityOutcome::Kind::Refused);
    EXPECT_EQ(flow.stage(), Stage::DensityEntry);
    EXPECT_FALSE(flow.standDataLock().locked);
    EXPECT_TRUE(flow.confirmStandData().has_value());
    EXPECT_EQ(flow.stage(), Stage::DensityEntry);
}

TEST_F(FlowObject, AStoredDensityLocksTheStandData)
{
    confirmOptions();
    enterPlanted();
    EXPECT_TRUE(flow.standDataLock().locked);
    EXPECT_TRUE(flow.standDataLock().thinnedRouteOff);
    EXPECT_FALSE(flow.standDataLock().unthinnedRouteOff);
    flow.cancelStandData();
    EXPECT_FALSE(flow.standDataLock().locked);
    EXPECT_TRUE(state.standAge.isNull());

    ASSERT_TRUE(flow.chooseRoute(Route::Thinned, age12Height9()).openDensityScreen);
    ASSERT_EQ(flow.confirmThinnedEntry(thinnedByParameters()).kind, DensityOutcome::Kind::Stored);
    EXPECT_TRUE(flow.standDataLock().locked);
    EXPECT_FALSE(flow.standDataLock().thinnedRouteOff);
    EXPECT_TRUE(flow.standDataLock().unthinnedRouteOff);
}

TEST_F(FlowObject, ACancelledStandTakesItsParametersAlong)
{
    confirmOptions();
    ASSERT_TRUE(flow.chooseRoute(Route::Thinned, age12Height9()).openDensityScreen);
    ASSERT_EQ(flow.confirmThinnedEntry(thinnedByParameters()).kind, DensityOutcome::Kind::Stored);
    EXPECT_TRUE(flow.entries().thinnedByParameters);
    flow.cancelStandData();
    EXPECT_FALSE(flow.entries().thinnedByParameters);
    EXPECT_TRUE(flow.entries().typedP95Text.empty());

    // A never-thinned stand thinned from below is marked as thinned, yet was
    // never entered by its parameters.
    enterPlanted();
    ASSERT_FALSE(flow.confirmStandData().has_value());
    flow.loadStandScreen();
    flow.openThinning();
    ASSERT_EQ(flow.thin(ThinningInput::fromBelow(midResidual())).kind, ThinningOutcome::Kind::ShowThinnedStand);
    EXPECT_EQ(state.enteredUnthinned.value(), 0.0);
    flow.project();
    flow.loadStandScreen();
    flow.project();
    EXPECT_EQ(countOf(log(), kBlockRule), 4u);
    EXPECT_EQ(countOf(log(), kParameters), 0u);
}

TEST_F(FlowObject, LeavingTheThinnedScreenTakesItsEntriesAlong)
{
    confirmOptions();
    ASSERT_TRUE(flow.chooseRoute(Route::Thinned, age12Height9()).openDensityScreen);
    flow.entries().thinnedByParameters = true; // as a stand entered before left them
    flow.leaveDensityEntry(Route::Thinned);
    EXPECT_FALSE(flow.entries().thinnedByParameters);
    EXPECT_EQ(flow.stage(), Stage::StandData);
}

TEST_F(FlowObject, TheProjectedStandAfterAThinningIsLoggedOnce)
{
    confirmOptions();
    enterPlanted();
    ASSERT_FALSE(flow.confirmStandData().has_value());
    flow.loadStandScreen();
    flow.openThinning();
    ASSERT_EQ(flow.thin(ThinningInput::mechanical("30")).kind, ThinningOutcome::Kind::ShowThinnedStand);
    flow.project();
    EXPECT_EQ(flow.stage(), Stage::StandScreen);
    EXPECT_EQ(countOf(log(), kBlockRule), 3u);
    // The stand screen that opens shows the projected stand without a second block.
    EXPECT_TRUE(flow.loadStandScreen().empty());
    EXPECT_EQ(countOf(log(), kBlockRule), 3u);
    EXPECT_EQ(recordRowCount(state), 3);
    EXPECT_EQ(state.standAge.value(), 17.0);
}

TEST_F(FlowObject, ClosingTheOptionsLeavesWhatAFreshScreenShows)
{
    flow.typeOptions("2030", ".2");
    EXPECT_EQ(flow.entries().yearText, "2030");
    EXPECT_EQ(flow.entries().stumpHeightText, ".2");
    flow.closeOptions("2027");
    EXPECT_EQ(flow.entries().yearText, "2027");
    EXPECT_EQ(flow.entries().stumpHeightText, "0.15");
}

TEST_F(FlowObject, ANewSimulationTellsALogFailureAgain)
{
    const Messages failure{Message::error("Erro!", "Erro de gravação do ficheiro...")};
    flow.log().setPath(tmp / "no-such-folder" / "Simulacao1.temp");
    confirmOptions();
    enterPlanted();
    ASSERT_FALSE(flow.confirmStandData().has_value());
    EXPECT_EQ(flow.loadStandScreen(), failure);
    EXPECT_TRUE(flow.project().empty());
    EXPECT_TRUE(flow.end().empty());

    flow.newSimulation();
    EXPECT_TRUE(state.withBark.isNull());
    EXPECT_EQ(recordRowCount(state), 0);
    confirmOptions();
    enterPlanted();
    ASSERT_FALSE(flow.confirmStandData().has_value());
    EXPECT_EQ(flow.loadStandScreen(), failure);
    EXPECT_TRUE(flow.project().empty());
}

} // namespace
} // namespace tavelo::test

namespace tavelo::test {
namespace {

using Op = SimulationFlow::Operation;
using Screen = SimulationFlow::Screen;

// The operation played on the flow, as a button would.
void play(SimulationFlow &flow, Op op, const std::string &residual)
{
    ThinningInput below;
    below.choice = ScreenEntries::Thinning::FromBelow;
    below.residualBasalArea = residual;
    switch (op) {
    case Op::Project: flow.project(); break;
    case Op::OpenThinning: flow.openThinning(); break;
    case Op::Thin: flow.thin(below); break;
    case Op::Discard: flow.discardThinning(); break;
    case Op::End: flow.end(); break;
    }
}

// Each stage offers only its own buttons: the flow refuses the others, and a
// refusal changes nothing (the same log and stage as before it).
TEST_F(FlowObject, RefusesWhatTheStageDoesNotOffer)
{
    struct Case {
        const char *name;
        std::vector<Op> before; // played from the first stand screen
        Op refused;
        Stage stage;
    };
    const Case cases[] = {
        {"thin over a thinning", {Op::OpenThinning, Op::Thin}, Op::Thin, Stage::AfterThinning},
        {"thinning dialogue over a thinning", {Op::OpenThinning, Op::Thin}, Op::OpenThinning, Stage::AfterThinning},
        {"discard without a thinning", {}, Op::Discard, Stage::StandScreen},
        {"discard in the dialogue", {Op::OpenThinning}, Op::Discard, Stage::ThinningDialogue},
        {"thin without the dialogue", {Op::Project}, Op::Thin, Stage::StandScreen},
        {"project after the end", {Op::End}, Op::Project, Stage::Ended},
        {"end after the end", {Op::End}, Op::End, Stage::Ended},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        flow.newSimulation();
        confirmOptions();
        enterPlanted();
        ASSERT_FALSE(flow.confirmStandData());
        flow.loadStandScreen();
        for (Op op : c.before)
            play(flow, op, midResidual());
        const std::string logBefore = log();
        const int rowsBefore = recordRowCount(state);
        try {
            play(flow, c.refused, midResidual());
            ADD_FAILURE() << "accepted";
        } catch (const SimulationFlow::NotAllowed &e) {
            EXPECT_EQ(e.operation(), c.refused);
            EXPECT_EQ(e.stage(), c.stage);
        }
        EXPECT_EQ(flow.stage(), c.stage);
        EXPECT_EQ(log(), logBefore);
        EXPECT_EQ(recordRowCount(state), rowsBefore);
    }
}

// Nothing of the stand screens before the stand screen opened.
TEST_F(FlowObject, NoStandScreenStepBeforeTheStandScreen)
{
    confirmOptions();
    EXPECT_THROW(flow.project(), SimulationFlow::NotAllowed);
    enterPlanted();
    EXPECT_THROW(flow.openThinning(), SimulationFlow::NotAllowed);
    EXPECT_THROW(flow.end(), SimulationFlow::NotAllowed);
    EXPECT_EQ(recordRowCount(state), 0);
}

// The route rule lives in the flow: a route whose button the age leaves off is
// refused before anything is stored, whoever asks.
TEST_F(FlowObject, RouteRuleDecidedByTheFlow)
{
    confirmOptions();
    StandDataInput old = age12Height9();
    old.age = "20"; // above 15 years only the thinned route is open
    const StandDataOutcome refused = flow.chooseRoute(Route::Unthinned, old);
    EXPECT_FALSE(refused.openDensityScreen);
    ASSERT_EQ(refused.messages.size(), 1u);
    EXPECT_EQ(refused.messages[0].text,
              "O botão \"Dados povoamento não desbastado\" não está disponível com a idade \"20\".");
    EXPECT_TRUE(state.standAge.isEmptyOrNull());
    EXPECT_EQ(flow.screenInFront(), Screen::StandData);
    EXPECT_TRUE(flow.chooseRoute(Route::Thinned, old).openDensityScreen);
    EXPECT_EQ(flow.screenInFront(), Screen::ThinnedDensity);
}

// "Projectar" on a thinned stand produces the next stand screen itself: a
// stand screen loading after it shows that stand and logs nothing more.
TEST_F(FlowObject, ProjectingAThinnedStandProducesTheNextStandScreen)
{
    confirmOptions();
    enterPlanted();
    ASSERT_FALSE(flow.confirmStandData());
    flow.loadStandScreen();
    flow.openThinning();
    ASSERT_EQ(flow.thin([&] {
        ThinningInput in;
        in.choice = ScreenEntries::Thinning::FromBelow;
        in.residualBasalArea = midResidual();
        return in;
    }()).kind, ThinningOutcome::Kind::ShowThinnedStand);
    EXPECT_EQ(flow.screenInFront(), Screen::AfterThinning);
    flow.project();
    EXPECT_EQ(flow.screenInFront(), Screen::StandTable);
    ASSERT_TRUE(flow.simulation().standTable());
    const std::string logged = log();
    const int rows = recordRowCount(state);
    EXPECT_TRUE(flow.loadStandScreen().empty());
    EXPECT_EQ(log(), logged);
    EXPECT_EQ(recordRowCount(state), rows);
    EXPECT_EQ(rows, 3); // the stand, its thinning, the stand 5 years on
}

} // namespace
} // namespace tavelo::test
