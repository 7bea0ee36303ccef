// The never-thinned stand's density screen: one count of trees, planted or alive.

#include "entry_test_support.h"

#include <gtest/gtest.h>

namespace tavelo::test {
namespace {

const Message kDataInvalidError = Message::error("Dados Inválidos", "Dados Inválidos");

StandState young() { return standEntered(byHeight("12", "9")); }

void expectNoDensityStored(const StandState &s)
{
    EXPECT_TRUE(s.enteredUnthinned.isEmpty());
    EXPECT_TRUE(s.treesPlanted.isEmpty());
    EXPECT_TRUE(s.treesAlive.isEmpty());
    EXPECT_TRUE(s.basalArea.isEmpty());
    EXPECT_TRUE(s.weibullA.isEmpty());
}

TEST(UnthinnedDensity, EmptyAsksToLeaveAndRemindsWithoutIcon)
{
    StandState s = young();
    const DensityOutcome out = confirmUnthinnedDensity(s, "", DensityChoice::Planted);
    EXPECT_EQ(out.kind, DensityOutcome::Kind::AskToLeave);
    ASSERT_TRUE(out.leave.has_value());
    EXPECT_EQ(out.leave->question,
              (Message{Message::Icon::Question, Message::Buttons::YesNo, "Insuficiência de Dados...",
                       "Não preencheu todos os requesitos. Deseja sair deste ecran?"}));
    EXPECT_EQ(out.leave->reminder,
              (Message{Message::Icon::None, Message::Buttons::YesNo, "Insuficiência de Dados...",
                       "Para continuar necessita de preencher todos os requesitos."}));
    expectNoDensityStored(s);
}

struct RefusedCase {
    const char *text;
    DensityChoice choice;
};

class UnthinnedDensityRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(UnthinnedDensityRefused, DataInvalidAndNothingStored)
{
    StandState s = young();
    const DensityOutcome out = confirmUnthinnedDensity(s, GetParam().text, GetParam().choice);
    EXPECT_EQ(out.kind, DensityOutcome::Kind::Refused);
    EXPECT_EQ(out.message, kDataInvalidError);
    expectNoDensityStored(s);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, UnthinnedDensityRefused,
    ::testing::Values(RefusedCase{"abc", DensityChoice::Planted}, RefusedCase{"1,500", DensityChoice::Planted},
                      RefusedCase{" ", DensityChoice::Alive}, RefusedCase{"-5", DensityChoice::Planted},
                      RefusedCase{"-0.4", DensityChoice::Alive}, RefusedCase{"0", DensityChoice::Planted},
                      RefusedCase{"0.5", DensityChoice::Alive}, // rounds to the even 0
                      RefusedCase{"32768", DensityChoice::Planted}, RefusedCase{"32767.5", DensityChoice::Alive},
                      RefusedCase{"1e9", DensityChoice::Planted}, RefusedCase{"0", DensityChoice::None}));

TEST(UnthinnedDensity, NeitherOptionChosen)
{
    StandState s = young();
    const DensityOutcome out = confirmUnthinnedDensity(s, "1500", DensityChoice::None);
    EXPECT_EQ(out.kind, DensityOutcome::Kind::Refused);
    EXPECT_EQ(out.message,
              Message::error("Dados Inválidos", "Escolha o nº de árvores plantadas ou o nº de árvores vivas"));
    expectNoDensityStored(s);
}

struct PlantedCase {
    const char *text;
    double stored;
};

class UnthinnedDensityPlanted : public ::testing::TestWithParam<PlantedCase> {};

TEST_P(UnthinnedDensityPlanted, RoundsHalvesToEvenAndDerivesTheStand)
{
    StandState s = young();
    const DensityOutcome out = confirmUnthinnedDensity(s, GetParam().text, DensityChoice::Planted);
    ASSERT_EQ(out.kind, DensityOutcome::Kind::Stored);
    EXPECT_FALSE(out.message.has_value());
    EXPECT_EQ(s.enteredUnthinned, StateValue(1.0));
    EXPECT_EQ(s.treesPlanted, StateValue(GetParam().stored));
    // The model derives the rest of the initial stand.
    for (const StateValue *v : {&s.treesAlive, &s.basalArea, &s.minDiameter, &s.weibullA, &s.weibullB, &s.weibullC})
        EXPECT_TRUE(v->isGiven());
    EXPECT_LE(s.treesAlive.value(), GetParam().stored);
    EXPECT_GT(s.basalArea.value(), 0.0);
    EXPECT_LE(s.basalArea.value(), 45.0);
}

INSTANTIATE_TEST_SUITE_P(Counts, UnthinnedDensityPlanted,
                         ::testing::Values(PlantedCase{"1200.5", 1200.0}, PlantedCase{"1201.5", 1202.0},
                                           PlantedCase{"1500", 1500.0}, PlantedCase{" 1500.4 ", 1500.0},
                                           PlantedCase{"1.5e3", 1500.0}));

TEST(UnthinnedDensity, AliveDerivesThePlanted)
{
    StandState s = young();
    ASSERT_EQ(confirmUnthinnedDensity(s, "1100.5", DensityChoice::Alive).kind, DensityOutcome::Kind::Stored);
    EXPECT_EQ(s.treesAlive, StateValue(1100.0));
    EXPECT_TRUE(s.treesPlanted.isGiven());
    EXPECT_GE(s.treesPlanted.value(), 1100.0);
    EXPECT_TRUE(s.basalArea.isGiven());
}

TEST(UnthinnedDensity, TheOtherCountIsDerivedAfresh)
{
    // A second confirmation with the other option must not run on the first count.
    StandState planted = young();
    ASSERT_EQ(confirmUnthinnedDensity(planted, "1500", DensityChoice::Planted).kind, DensityOutcome::Kind::Stored);
    StandState alive = young();
    ASSERT_EQ(confirmUnthinnedDensity(alive, "900", DensityChoice::Alive).kind, DensityOutcome::Kind::Stored);
    ASSERT_EQ(confirmUnthinnedDensity(planted, "900", DensityChoice::Alive).kind, DensityOutcome::Kind::Stored);
    EXPECT_EQ(planted.treesAlive, alive.treesAlive);
    EXPECT_EQ(planted.treesPlanted, alive.treesPlanted);
    EXPECT_EQ(planted.basalArea, alive.basalArea);
}

TEST(UnthinnedDensity, BasalAreaAbove45EndsTheSimulation)
{
    StandState s = standEntered(byHeight("15", "14"));
    try {
        confirmUnthinnedDensity(s, "3000", DensityChoice::Alive);
        FAIL() << "a stand above 45 m2/ha must end the simulation";
    } catch (const ModelLimitError &e) {
        EXPECT_EQ(e.title(), "Resultados Inconsistentes");
        EXPECT_EQ(e.text(), "Simulação fora dos limites do modelo!A simulação vai terminar.");
    }
}

} // namespace
} // namespace tavelo::test
