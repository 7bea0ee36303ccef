// The thinned stand's screen: by its four stand parameters or by the trees in
// thirteen 5 cm classes.

#include "entry_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tavelo::test {
namespace {

const Message kBadParameters = Message::error("Dados Inválidos", "Parâmetros do povoamento Inválidos");
const Message kBadCount = Message::error("Dados Inválidos", "Nº de árvores inválido!");
const Message kNoCounts =
    Message::error("Dados Inválidos", "Para continuar tem que introduzir nº de árvores em cada classe de dap");

StandState older() { return standEntered(byHeight("30", "14")); }

ThinnedEntryInput parameters(const std::string &trees, const std::string &g, const std::string &dmin,
                             const std::string &p95)
{
    ThinnedEntryInput in;
    in.choice = ThinnedEntryChoice::Parameters;
    in.trees = trees;
    in.basalArea = g;
    in.minDiameter = dmin;
    in.p95 = p95;
    return in;
}

ThinnedEntryInput classes(std::array<std::string, 13> texts)
{
    ThinnedEntryInput in;
    in.choice = ThinnedEntryChoice::Classes;
    in.classes = std::move(texts);
    return in;
}

// The 95th percentile that the recovered distribution puts back.
double percentileOf(const StandState &s)
{
    return s.weibullA.value() + s.weibullB.value() * std::pow(2.99573, 1.0 / s.weibullC.value());
}

void expectNoThinnedEntryStored(const StandState &s)
{
    EXPECT_TRUE(s.enteredUnthinned.isEmpty());
    EXPECT_TRUE(s.treesAlive.isEmpty());
    EXPECT_TRUE(s.basalArea.isEmpty());
    EXPECT_TRUE(s.minDiameter.isEmpty());
    EXPECT_TRUE(s.weibullA.isEmpty());
    EXPECT_TRUE(s.weibullB.isEmpty());
    EXPECT_TRUE(s.weibullC.isEmpty());
}

// --- Stand parameters ------------------------------------------------------------------

struct TreesCase {
    const char *typed;
    double stored;
};

class ThinnedByParameters : public ::testing::TestWithParam<TreesCase> {};

TEST_P(ThinnedByParameters, WholeCountStaysAFractionGoesUp)
{
    StandState s = older();
    ScreenEntries entries;
    const ThinnedEntryOutcome out = confirmThinnedEntry(s, entries, parameters(GetParam().typed, "22", "9", "31"));
    ASSERT_EQ(out.kind, DensityOutcome::Kind::Stored) << (out.message ? out.message->text : "");
    EXPECT_EQ(s.treesAlive, StateValue(GetParam().stored));
    EXPECT_EQ(s.basalArea, StateValue(22.0));
    EXPECT_EQ(s.minDiameter, StateValue(9.0));
    EXPECT_DOUBLE_EQ(s.weibullA.value(), 8.1); // 0.9 of the minimum diameter
    EXPECT_NEAR(percentileOf(s), 31.0, 1e-9);
    EXPECT_EQ(s.enteredUnthinned, StateValue(0.0));
    EXPECT_TRUE(s.treesPlanted.isEmpty()); // not touched
    EXPECT_TRUE(entries.thinnedByParameters);
    EXPECT_EQ(entries.typedBasalAreaText, "22");
    EXPECT_EQ(entries.typedP95Text, "31");
}

INSTANTIATE_TEST_SUITE_P(Trees, ThinnedByParameters,
                         ::testing::Values(TreesCase{"601", 601.0}, TreesCase{"600", 600.0},
                                           TreesCase{"600.2", 601.0}, TreesCase{"600.5", 601.0},
                                           TreesCase{"599.9", 600.0}));

TEST(ThinnedByParameters, TypedTextsKeptAsTyped)
{
    StandState s = older();
    ScreenEntries entries;
    ASSERT_EQ(confirmThinnedEntry(s, entries, parameters("601", "22.0", "9", " 31.")).kind,
              DensityOutcome::Kind::Stored);
    EXPECT_EQ(entries.typedBasalAreaText, "22.0");
    EXPECT_EQ(entries.typedP95Text, " 31.");
}

struct BadParametersCase {
    const char *trees;
    const char *g;
    const char *dmin;
    const char *p95;
};

class ThinnedByParametersRefused : public ::testing::TestWithParam<BadParametersCase> {};

TEST_P(ThinnedByParametersRefused, StandParametersInvalid)
{
    const BadParametersCase &c = GetParam();
    StandState s = older();
    ScreenEntries entries;
    const ThinnedEntryOutcome out = confirmThinnedEntry(s, entries, parameters(c.trees, c.g, c.dmin, c.p95));
    EXPECT_EQ(out.kind, DensityOutcome::Kind::Refused);
    EXPECT_EQ(out.message, kBadParameters);
    expectNoThinnedEntryStored(s);
    EXPECT_FALSE(entries.thinnedByParameters);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, ThinnedByParametersRefused,
    ::testing::Values(BadParametersCase{"x", "22", "9", "31"}, BadParametersCase{"601", "", "9", "31"},
                      BadParametersCase{"601", "22", "9,5", "31"}, BadParametersCase{"601", "22", "9", "nan"},
                      BadParametersCase{"-601", "22", "9", "31"}, BadParametersCase{"601", "-22", "9", "31"},
                      BadParametersCase{"601", "22", "-9", "31"}, BadParametersCase{"601", "22", "9", "-31"},
                      // -50 is both negative and beyond 45: refused as invalid, nothing ends.
                      BadParametersCase{"601", "-50", "9", "31"}));

TEST(ThinnedByParameters, BasalAreaAbove45EndsWithTheConvergenceMessage)
{
    StandState s = older();
    ScreenEntries entries;
    try {
        confirmThinnedEntry(s, entries, parameters("1000", "45.01", "10", "35"));
        FAIL() << "a typed basal area above 45 must end the simulation";
    } catch (const ModelLimitError &e) {
        EXPECT_EQ(e.title(), "Dados Inconsistentes");
        EXPECT_EQ(e.text(), "Os dados introduzidos não permitem a convergência do modelo!A simulação vai terminar.");
    }
    expectNoThinnedEntryStored(s);
}

TEST(ThinnedByParameters, BasalAreaOfExactly45Passes)
{
    StandState s = older();
    ScreenEntries entries;
    EXPECT_EQ(confirmThinnedEntry(s, entries, parameters("1000", "45", "10", "35")).kind,
              DensityOutcome::Kind::Stored);
    EXPECT_EQ(s.basalArea, StateValue(45.0));
}

// --- Trees per class ----------------------------------------------------------------------

TEST(ThinnedByClasses, HundredTreesInTheTwentyCentimetreClass)
{
    StandState s = older();
    ScreenEntries entries;
    entries.thinnedByParameters = true; // as left by an earlier entry by parameters
    const ThinnedEntryOutcome out =
        confirmThinnedEntry(s, entries, classes({"", "", "", "100", "", "", "", "", "", "", "", "", ""}));
    ASSERT_EQ(out.kind, DensityOutcome::Kind::Stored);
    EXPECT_EQ(s.treesAlive, StateValue(100.0));
    EXPECT_DOUBLE_EQ(s.minDiameter.value(), 17.5);
    EXPECT_DOUBLE_EQ(s.weibullA.value(), 15.75);
    EXPECT_NEAR(s.basalArea.value(), 3.14156, 1e-12);
    EXPECT_NEAR(percentileOf(s), 22.0, 1e-9); // 5 * (3.5 + 0.9)
    EXPECT_EQ(s.enteredUnthinned, StateValue(0.0));
    EXPECT_FALSE(entries.thinnedByParameters);
    ASSERT_TRUE(out.classTexts.has_value());
    EXPECT_EQ((*out.classTexts)[3], "100");
    EXPECT_EQ((*out.classTexts)[0], "0"); // empty boxes now read "0"
    EXPECT_EQ((*out.classTexts)[12], "0");
}

TEST(ThinnedByClasses, FiftyAtTenAndFiftyAtTwenty)
{
    StandState s = older();
    ScreenEntries entries;
    ASSERT_EQ(confirmThinnedEntry(s, entries, classes({"", "50", "", "50", "", "", "", "", "", "", "", "", ""})).kind,
              DensityOutcome::Kind::Stored);
    EXPECT_EQ(s.treesAlive, StateValue(100.0));
    EXPECT_DOUBLE_EQ(s.minDiameter.value(), 7.5);
    EXPECT_DOUBLE_EQ(s.weibullA.value(), 6.75);
    EXPECT_NEAR(s.basalArea.value(), (100.0 + 400.0) * 0.78539 / 10000.0 * 50.0, 1e-12);
    EXPECT_NEAR(percentileOf(s), 21.5, 1e-9); // 5 * (3.5 + 40/50)
}

TEST(ThinnedByClasses, CountsRoundHalvesToEven)
{
    StandState s = older();
    ScreenEntries entries;
    ASSERT_EQ(
        confirmThinnedEntry(s, entries, classes({"", "50.5", "", "49.5", "", "", "", "", "", "", "", "", ""})).kind,
        DensityOutcome::Kind::Stored);
    EXPECT_EQ(s.treesAlive, StateValue(100.0)); // 50 + 50
}

class ThinnedByClassesNoTrees : public ::testing::TestWithParam<std::array<std::string, 13>> {};

TEST_P(ThinnedByClassesNoTrees, AsksForTreesAndFillsTheEmptyBoxesWithZero)
{
    StandState s = older();
    ScreenEntries entries;
    const ThinnedEntryOutcome out = confirmThinnedEntry(s, entries, classes(GetParam()));
    EXPECT_EQ(out.kind, DensityOutcome::Kind::Refused);
    EXPECT_EQ(out.message, kNoCounts);
    ASSERT_TRUE(out.classTexts.has_value());
    for (size_t k = 0; k < 13; ++k)
        EXPECT_EQ((*out.classTexts)[k], GetParam()[k].empty() ? std::string("0") : GetParam()[k]) << k;
    expectNoThinnedEntryStored(s);
}

INSTANTIATE_TEST_SUITE_P(Boxes, ThinnedByClassesNoTrees,
                         ::testing::Values(std::array<std::string, 13>{},
                                           std::array<std::string, 13>{"0", "0", "0", "0", "0", "0", "0", "0", "0",
                                                                       "0", "0", "0", "0"},
                                           std::array<std::string, 13>{"", "0", "", "0.4", "", "", "", "", "", "",
                                                                       "", "", ""}));

struct BadCountCase {
    size_t box;
    const char *text;
};

class ThinnedByClassesBadCount : public ::testing::TestWithParam<BadCountCase> {};

TEST_P(ThinnedByClassesBadCount, InvalidCountAndBoxesUntouched)
{
    StandState s = older();
    ScreenEntries entries;
    std::array<std::string, 13> texts{};
    texts[1] = "50";
    texts[GetParam().box] = GetParam().text;
    const ThinnedEntryOutcome out = confirmThinnedEntry(s, entries, classes(texts));
    EXPECT_EQ(out.kind, DensityOutcome::Kind::Refused);
    EXPECT_EQ(out.message, kBadCount);
    EXPECT_FALSE(out.classTexts.has_value()); // no box was changed to "0"
    expectNoThinnedEntryStored(s);
}

INSTANTIATE_TEST_SUITE_P(Boxes, ThinnedByClassesBadCount,
                         ::testing::Values(BadCountCase{0, "x"}, BadCountCase{3, "-1"}, BadCountCase{12, "1,5"},
                                           BadCountCase{5, "32768"}, BadCountCase{7, "32767.5"},
                                           BadCountCase{2, " "}));

TEST(ThinnedByClasses, ASumBeyondTheSixteenBitRangeIsNotACountError)
{
    // Each count fits while their sum does not; so many trees lie beyond 45 m2/ha
    // even in the smallest classes, and the model ends the simulation.
    StandState s = standEntered(byHeight("16", "8"));
    ScreenEntries entries;
    EXPECT_THROW(
        confirmThinnedEntry(s, entries, classes({"20000", "13000", "", "", "", "", "", "", "", "", "", "", ""})),
        ModelLimitError);
}

TEST(ThinnedByClasses, BasalAreaAbove45EndsTheSimulation)
{
    StandState s = older();
    ScreenEntries entries;
    try {
        // 400 trees of 40 cm: 50.3 m2/ha.
        confirmThinnedEntry(s, entries, classes({"", "", "", "", "", "", "", "400", "", "", "", "", ""}));
        FAIL() << "a basal area above 45 must end the simulation";
    } catch (const ModelLimitError &e) {
        EXPECT_EQ(e.title(), "Resultados Inconsistentes");
        EXPECT_EQ(e.text(), "Simulação fora dos limites do modelo!A simulação vai terminar.");
    }
}

// --- Neither option -------------------------------------------------------------------------

TEST(ThinnedEntry, NeitherOptionAsksToLeave)
{
    StandState s = older();
    ScreenEntries entries;
    ThinnedEntryInput in;
    in.trees = "601"; // typed into a disabled frame: ignored
    const ThinnedEntryOutcome out = confirmThinnedEntry(s, entries, in);
    EXPECT_EQ(out.kind, DensityOutcome::Kind::AskToLeave);
    ASSERT_TRUE(out.leave.has_value());
    EXPECT_EQ(out.leave->question, Message::question("Insuficiência de Dados...",
                                                     "Como não introduziu dados,quer sair deste ecran?"));
    EXPECT_EQ(out.leave->reminder,
              (Message{Message::Icon::None, Message::Buttons::YesNo, "Insuficiência de Dados...",
                       "Para continuar necessita de preencher todos os requesitos."}));
    expectNoThinnedEntryStored(s);
}

} // namespace
} // namespace tavelo::test
