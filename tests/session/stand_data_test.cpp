// The stand data screen: the age rule on the two stand-data buttons, the site
// equations behind them, and "&Ok" / "Cancelar".

#include "entry_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tavelo::test {
namespace {

// --- Age rule -----------------------------------------------------------------------

struct AgeRuleCase {
    SiteInput mode;
    const char *age;
    bool thinned;
    bool unthinned;
};

class AgeRule : public ::testing::TestWithParam<AgeRuleCase> {};

TEST_P(AgeRule, EnablesTheStandDataButtons)
{
    const AgeRuleCase &c = GetParam();
    // Start from the opposite of the expected state so that every button must change.
    const StandButtons b = ageRule(c.mode, c.age, {!c.thinned, !c.unthinned, std::nullopt});
    EXPECT_EQ(b.thinned, c.thinned) << "age \"" << c.age << '"';
    EXPECT_EQ(b.unthinned, c.unthinned) << "age \"" << c.age << '"';
}

INSTANTIATE_TEST_SUITE_P(
    DominantHeight, AgeRule,
    ::testing::Values(AgeRuleCase{SiteInput::DominantHeight, "9", false, false},
                      AgeRuleCase{SiteInput::DominantHeight, "9.99", false, false},
                      AgeRuleCase{SiteInput::DominantHeight, "10", true, true},
                      AgeRuleCase{SiteInput::DominantHeight, "12", true, true},
                      AgeRuleCase{SiteInput::DominantHeight, "15", true, true},
                      AgeRuleCase{SiteInput::DominantHeight, "15.5", true, false},
                      AgeRuleCase{SiteInput::DominantHeight, "40", true, false},
                      AgeRuleCase{SiteInput::DominantHeight, " 12 ", true, true},
                      AgeRuleCase{SiteInput::DominantHeight, "-3", false, false},
                      AgeRuleCase{SiteInput::DominantHeight, "abc", false, false},
                      AgeRuleCase{SiteInput::DominantHeight, "", false, false},
                      AgeRuleCase{SiteInput::DominantHeight, "1,5", false, false}));

INSTANTIATE_TEST_SUITE_P(
    QualityClass, AgeRule,
    ::testing::Values(AgeRuleCase{SiteInput::QualityClass, "3", true, true},
                      AgeRuleCase{SiteInput::QualityClass, "15", true, true},
                      AgeRuleCase{SiteInput::QualityClass, "15.01", true, false},
                      AgeRuleCase{SiteInput::QualityClass, "16", true, false},
                      AgeRuleCase{SiteInput::QualityClass, "-1", true, true}, // no lower bound
                      AgeRuleCase{SiteInput::QualityClass, "abc", false, false},
                      AgeRuleCase{SiteInput::QualityClass, "", false, false}));

TEST(AgeRule, HeightModeDisablesTheClassFrame)
{
    EXPECT_EQ(ageRule(SiteInput::DominantHeight, "12", {}).classFrameEnabled, std::optional<bool>(false));
    EXPECT_EQ(ageRule(SiteInput::DominantHeight, "x", {}).classFrameEnabled, std::optional<bool>(false));
    // The class route leaves the frame as it is.
    EXPECT_EQ(ageRule(SiteInput::QualityClass, "12", {}).classFrameEnabled, std::nullopt);
}

TEST(AgeRule, NeitherModeEnablesTheClassFrameAndKeepsTheButtons)
{
    for (const StandButtons current : {StandButtons{true, false, {}}, StandButtons{false, true, {}}}) {
        const StandButtons b = ageRule(SiteInput::None, "12", current);
        EXPECT_EQ(b.classFrameEnabled, std::optional<bool>(true));
        EXPECT_EQ(b.thinned, current.thinned);
        EXPECT_EQ(b.unthinned, current.unthinned);
    }
}

// --- Opening before the options ---------------------------------------------------------

TEST(StandDataScreen, WarnsWhenTheOptionsWereNeverConfirmed)
{
    const Message warning = Message::warning(
        "Insuficiência de Dados", "Para continuar tem que preencher correctamente os parâmetros do povoamento");
    StandState s;
    EXPECT_EQ(standDataLoadMessage(s), warning);
    s.withBark.setNull();
    EXPECT_EQ(standDataLoadMessage(s), warning);
    s.withBark = 0.0;
    EXPECT_EQ(standDataLoadMessage(s), std::nullopt);
}

// --- storeStandData ----------------------------------------------------------------------------

TEST(storeStandData, MediaAtFiftyYears)
{
    StandState s = optionsConfirmed();
    EXPECT_TRUE(storeStandData(s, byClass("50", QualityClass::Media)).empty());
    EXPECT_EQ(s.standAge, StateValue(50.0));
    EXPECT_EQ(s.siteIndex, StateValue(15.0));
    const double expected = 15.0 * std::pow(10.0, 0.380999 - 2.694076 / std::sqrt(50.0));
    EXPECT_NEAR(s.dominantHeight.value(), expected, 1e-12);
    EXPECT_LT(s.dominantHeight.value(), 15.0);
}

struct ClassCase {
    QualityClass q;
    const char *caption;
    double siteIndex;
};

class StoreStandDataClasses : public ::testing::TestWithParam<ClassCase> {};

TEST_P(StoreStandDataClasses, ClassStandsForItsSiteIndex)
{
    const ClassCase &c = GetParam();
    EXPECT_STREQ(captionOf(c.q), c.caption);
    EXPECT_EQ(qualityClassFromCaption(c.caption), c.q);
    StandState s = optionsConfirmed();
    EXPECT_TRUE(storeStandData(s, byClass("30", c.q)).empty());
    EXPECT_EQ(s.siteIndex, StateValue(c.siteIndex));
    // The height at the base age of 50 years is the site index again.
    EXPECT_NEAR(SiteIndexFromHeight(30.0, s.dominantHeight.value()), c.siteIndex, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Classes, StoreStandDataClasses,
                         ::testing::Values(ClassCase{QualityClass::MuitoElevada, "Muito Elevada", 23.0},
                                           ClassCase{QualityClass::Elevada, "Elevada", 19.0},
                                           ClassCase{QualityClass::Media, "Média", 15.0},
                                           ClassCase{QualityClass::Baixa, "Baixa", 11.0},
                                           ClassCase{QualityClass::MuitoBaixa, "Muito Baixa", 7.0}));

TEST(storeStandData, UnknownCaptionIsNoClass)
{
    EXPECT_EQ(qualityClassFromCaption("Media"), std::nullopt);
    EXPECT_EQ(qualityClassFromCaption("média"), std::nullopt);
}

TEST(storeStandData, HeightGivesTheSiteIndex)
{
    StandState s = optionsConfirmed();
    EXPECT_TRUE(storeStandData(s, byHeight("20", "12")).empty());
    EXPECT_EQ(s.standAge, StateValue(20.0));
    EXPECT_EQ(s.dominantHeight, StateValue(12.0));
    // Going back from the site index gives the typed height.
    EXPECT_NEAR(DominantHeightAtAge(20.0, s.siteIndex.value()), 12.0, 1e-9);
}

class StoreStandDataBadHeight : public ::testing::TestWithParam<const char *> {};

TEST_P(StoreStandDataBadHeight, ShowsTheHeightMessageAndStoresNoHeight)
{
    StandState s = optionsConfirmed();
    cancelStandData(s); // the next entry starts from null values
    const Messages shown = storeStandData(s, byHeight("20", GetParam()));
    EXPECT_EQ(shown, Messages{Message::error("Insuficiência de Dados",
                                             "Para continuar necessita de preencher correctamente a altura "
                                             "dominante...")});
    EXPECT_TRUE(s.dominantHeight.isNull());
    EXPECT_TRUE(s.siteIndex.isNull());
    EXPECT_FALSE(standDataButton(s, byHeight("20", GetParam())).openDensityScreen);
}

INSTANTIATE_TEST_SUITE_P(Heights, StoreStandDataBadHeight, ::testing::Values("", "abc", "1,5", "nan"));

TEST(storeStandData, NoClassChosen)
{
    StandState s = optionsConfirmed();
    const StandDataOutcome out = standDataButton(s, byClass("20", std::nullopt));
    EXPECT_EQ(out.messages, Messages{Message::error(
                                "Insuficiência de Dados",
                                "Para continuar necessita de preencher correctamente a Classe de qualidade...")});
    EXPECT_FALSE(out.openDensityScreen);
    EXPECT_TRUE(s.siteIndex.isEmpty());
}

TEST(storeStandData, BadAgeShowsTheAgeMessageAndComputesNothing)
{
    StandState s = optionsConfirmed();
    const StandDataOutcome out = standDataButton(s, byHeight("doze", "9"));
    ASSERT_FALSE(out.messages.empty());
    EXPECT_EQ(out.messages.front(),
              Message::error("Insuficiência de Dados",
                             "Para continuar necessita de preencher correctamente a idade do povoamento"));
    EXPECT_FALSE(out.openDensityScreen);
    EXPECT_TRUE(s.standAge.isEmpty());
    EXPECT_TRUE(s.siteIndex.isEmpty());
    EXPECT_TRUE(s.dominantHeight.isEmpty());
}

class StoreStandDataAgeWithoutHeight : public ::testing::TestWithParam<const char *> {};

TEST_P(StoreStandDataAgeWithoutHeight, RefusedWithoutOpeningTheDensityScreen)
{
    // The class route enables both buttons at any age up to 15, but an age of
    // zero or below has no dominant height.
    StandState s = optionsConfirmed();
    const StandDataOutcome out = standDataButton(s, byClass(GetParam(), QualityClass::Media));
    ASSERT_EQ(out.messages.size(), 1u);
    EXPECT_EQ(out.messages[0].title, "Dados Inválidos");
    EXPECT_EQ(out.messages[0].icon, Message::Icon::Error);
    EXPECT_FALSE(out.openDensityScreen);
    EXPECT_FALSE(s.dominantHeight.isGiven());
    EXPECT_FALSE(s.siteIndex.isGiven());
}

INSTANTIATE_TEST_SUITE_P(Ages, StoreStandDataAgeWithoutHeight, ::testing::Values("0", "-1"));

TEST(StandDataButton, OpensTheDensityScreenWhenAllThreeAreGiven)
{
    StandState s = optionsConfirmed();
    const StandDataOutcome out = standDataButton(s, byHeight("12", "9"));
    EXPECT_TRUE(out.messages.empty());
    EXPECT_TRUE(out.openDensityScreen);
    EXPECT_TRUE(s.standAge.isGiven() && s.dominantHeight.isGiven() && s.siteIndex.isGiven());
}

// --- "&Ok" and "Cancelar" ---------------------------------------------------------------------

TEST(StandDataOk, WarnsUntilADensityScreenWasCompleted)
{
    StandState s = standEntered(byHeight("12", "9"));
    EXPECT_EQ(confirmStandData(s),
              Message::warning("Insuficiência de Dados",
                               "Para continuar tem que preencher correctamente os dados do povoamento "
                               "(idade/Altura dominante ou Classe Qualidade/desbastado ou não desbastado)"));
    s.enteredUnthinned = 1.0;
    EXPECT_EQ(confirmStandData(s), std::nullopt);
    s.withBark.setNull();
    EXPECT_EQ(confirmStandData(s),
              Message::warning("Insuficiência de Dados",
                               "Para continuar tem que preencher correctamente os parâmetros do povoamento"));
}

TEST(StandDataCancel, NullsTheStandAndKeepsTheOptions)
{
    StandState s = standEntered(byHeight("12", "9"));
    ASSERT_EQ(confirmUnthinnedDensity(s, "1500", DensityChoice::Planted).kind, DensityOutcome::Kind::Stored);
    cancelStandData(s);
    for (const StateValue *v : {&s.standAge, &s.siteIndex, &s.dominantHeight, &s.enteredUnthinned, &s.treesAlive,
                                &s.treesPlanted, &s.basalArea, &s.minDiameter, &s.weibullA, &s.weibullB, &s.weibullC})
        EXPECT_TRUE(v->isNull());
    EXPECT_EQ(s.withBark, StateValue(1.0));
    EXPECT_EQ(s.currentYear.text(), "2026");
    EXPECT_EQ(s.sawlogMinDiameter, StateValue(20.0));
    EXPECT_EQ(s.sawlogMinLength, StateValue(2.3));
    EXPECT_EQ(s.stumpHeight, StateValue(0.15));
    EXPECT_EQ(s.topDiameter, StateValue(7.0));
    EXPECT_TRUE(confirmStandData(s).has_value());
}

} // namespace
} // namespace tavelo::test
