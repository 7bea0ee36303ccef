// The thinning dialogue: the limits of each kind of thinning, the residual
// stand it computes and what it hands to the after-thinning screen.

#include "entry_test_support.h"

#include <gtest/gtest.h>

namespace tavelo::test {
namespace {

using Thinning = ScreenEntries::Thinning;

const Message kBadPercent =
    Message::warning("Dados inválidos", "A % de árv. a retirar deve ter valores entre 15 e 50 %");

// A stand of 1000 trees and 30 m2/ha.
StandState thousandTrees()
{
    StandState s = optionsConfirmed();
    s.standAge = 30.0;
    s.siteIndex = 15.0;
    s.dominantHeight = DominantHeightAtAge(30.0, 15.0);
    s.enteredUnthinned = 1.0;
    s.treesAlive = 1000.0;
    s.basalArea = 30.0;
    s.minDiameter = 8.0;
    s.weibullA = 7.2;
    s.weibullB = 15.0;
    s.weibullC = 2.5;
    return s;
}

// A stand entered by its parameters with exactly 25 m2/ha.
StandState twentyFive(ScreenEntries &entries)
{
    StandState s = standEntered(byHeight("30", "14"));
    ThinnedEntryInput in;
    in.choice = ThinnedEntryChoice::Parameters;
    in.trees = "700";
    in.basalArea = "25";
    in.minDiameter = "9";
    in.p95 = "33";
    EXPECT_EQ(confirmThinnedEntry(s, entries, in).kind, DensityOutcome::Kind::Stored);
    return s;
}

void expectNoResidual(const StandState &s)
{
    for (const StateValue *v : {&s.residualBasalArea, &s.residualWeibullA, &s.residualWeibullB, &s.residualWeibullC,
                                &s.residualTrees})
        EXPECT_FALSE(v->isGiven());
}

// --- Mechanical ------------------------------------------------------------------------------

class MechanicalAccepted : public ::testing::TestWithParam<const char *> {};

TEST_P(MechanicalAccepted, ShowsTheThinnedStand)
{
    StandState s = thousandTrees();
    ScreenEntries entries;
    const ThinningOutcome out = confirmThinning(s, entries, ThinningInput::mechanical(GetParam()));
    EXPECT_EQ(out.kind, ThinningOutcome::Kind::ShowThinnedStand);
    EXPECT_FALSE(out.message.has_value());
    const double f = std::stod(GetParam()) / 100.0;
    EXPECT_NEAR(s.residualTrees.value(), 1000.0 * (1.0 - f), 1e-9);
    EXPECT_EQ(entries.thinning, Thinning::Mechanical);
    EXPECT_EQ(entries.mechanicalPercentText, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Percent, MechanicalAccepted, ::testing::Values("15", "50", "30", " 20.5 "));

class MechanicalRefused : public ::testing::TestWithParam<const char *> {};

TEST_P(MechanicalRefused, PercentMustLieBetween15And50)
{
    StandState s = thousandTrees();
    ScreenEntries entries;
    const ThinningOutcome out = confirmThinning(s, entries, ThinningInput::mechanical(GetParam()));
    EXPECT_EQ(out.kind, ThinningOutcome::Kind::Refused);
    EXPECT_EQ(out.message, kBadPercent);
    expectNoResidual(s);
    EXPECT_EQ(entries.thinning, Thinning::None);
}

INSTANTIATE_TEST_SUITE_P(Percent, MechanicalRefused,
                         ::testing::Values("14.9", "50.1", "", "abc", "-20", "0", "100", "1,5"));

TEST(MechanicalThinning, TwentyPercentOfAThousandTrees)
{
    StandState s = thousandTrees();
    ScreenEntries entries;
    ASSERT_EQ(confirmThinning(s, entries, ThinningInput::mechanical("20")).kind, ThinningOutcome::Kind::ShowThinnedStand);
    EXPECT_NEAR(s.residualTrees.value(), 800.0, 1e-9);
    EXPECT_NEAR(s.residualBasalArea.value(), 24.0, 1e-9);
    EXPECT_EQ(s.residualWeibullA, s.weibullA);
    EXPECT_EQ(s.residualWeibullB, s.weibullB);
    EXPECT_EQ(s.residualWeibullC, s.weibullC);
    // The stand before the thinning is not touched, nor how it was entered.
    EXPECT_EQ(s.treesAlive, StateValue(1000.0));
    EXPECT_EQ(s.basalArea, StateValue(30.0));
    EXPECT_EQ(s.enteredUnthinned, StateValue(1.0));
}

// --- From below ----------------------------------------------------------------------------------

class FromBelowAccepted : public ::testing::TestWithParam<const char *> {};

TEST_P(FromBelowAccepted, KeepsTheResidualBasalAreaExactly)
{
    ScreenEntries entries;
    StandState s = twentyFive(entries);
    ASSERT_EQ(s.basalArea, StateValue(25.0));
    const ThinningOutcome out = confirmThinning(s, entries, ThinningInput::fromBelow(GetParam()));
    ASSERT_EQ(out.kind, ThinningOutcome::Kind::ShowThinnedStand) << (out.message ? out.message->text : "");
    EXPECT_EQ(s.residualBasalArea, StateValue(std::stod(GetParam())));
    EXPECT_LT(s.residualTrees.value(), s.treesAlive.value());
    EXPECT_EQ(s.enteredUnthinned, StateValue(0.0));
    EXPECT_EQ(entries.thinning, Thinning::FromBelow);
    EXPECT_EQ(entries.residualBasalAreaText, GetParam());
    EXPECT_TRUE(entries.mechanicalPercentText.empty());
}

INSTANTIATE_TEST_SUITE_P(Residual, FromBelowAccepted, ::testing::Values("12.5", "18.75", "15"));

class FromBelowOutOfRange : public ::testing::TestWithParam<const char *> {};

TEST_P(FromBelowOutOfRange, ShowsTheBoundsOfThisStand)
{
    ScreenEntries entries;
    StandState s = twentyFive(entries);
    const ThinningOutcome out = confirmThinning(s, entries, ThinningInput::fromBelow(GetParam()));
    EXPECT_EQ(out.kind, ThinningOutcome::Kind::Refused);
    EXPECT_EQ(out.message,
              Message::warning("Dados inválidos - A AB residual deve ter valores entre 50 e 75 % da AB do povoamento",
                               "Neste caso, a área basal residual deve ter valores entre 12.50 e 18.75 m2/ha"));
    expectNoResidual(s);
}

INSTANTIATE_TEST_SUITE_P(Residual, FromBelowOutOfRange, ::testing::Values("12.49", "18.76", "0", "-15", "25"));

class FromBelowNotNumeric : public ::testing::TestWithParam<const char *> {};

TEST_P(FromBelowNotNumeric, ResidualBasalAreaInvalid)
{
    ScreenEntries entries;
    StandState s = twentyFive(entries);
    const ThinningOutcome out = confirmThinning(s, entries, ThinningInput::fromBelow(GetParam()));
    EXPECT_EQ(out.kind, ThinningOutcome::Kind::Refused);
    EXPECT_EQ(out.message, Message::warning("Dados inválidos", "A área basal residual tem dados inválidos"));
    expectNoResidual(s);
}

INSTANTIATE_TEST_SUITE_P(Residual, FromBelowNotNumeric, ::testing::Values("", "abc", "15,5"));

TEST(FromBelowThinning, BoundsFormattedWithTwoDecimals)
{
    StandState s = thousandTrees(); // 30 m2/ha: bounds 15.00 and 22.50
    ScreenEntries entries;
    const ThinningOutcome out = confirmThinning(s, entries, ThinningInput::fromBelow("10"));
    ASSERT_TRUE(out.message.has_value());
    EXPECT_EQ(out.message->text, "Neste caso, a área basal residual deve ter valores entre 15.00 e 22.50 m2/ha");
}

// --- Neither option -------------------------------------------------------------------------------

TEST(ThinningDialogue, NeitherOptionAsksToLeave)
{
    StandState s = thousandTrees();
    ScreenEntries entries;
    const ThinningOutcome out = confirmThinning(s, entries, ThinningInput{});
    EXPECT_EQ(out.kind, ThinningOutcome::Kind::AskToLeave);
    ASSERT_TRUE(out.leave.has_value());
    EXPECT_EQ(out.leave->question, Message::question("Insuficiência de Dados...",
                                                     "Não fez a opção de desbaste. Deseja sair deste ecran?"));
    EXPECT_EQ(out.leave->reminder,
              (Message{Message::Icon::None, Message::Buttons::YesNo, "Insuficiência de Dados...",
                       "Para continuar necessita de escolher um tipo e intensidade de desbaste."}));
    expectNoResidual(s);
}

} // namespace
} // namespace tavelo::test
