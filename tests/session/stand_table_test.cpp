// The stand table: which classes are shown, their cells, the header fields,
// the title, the Total row and the two consistency checks.

#include "structure_test_support.h"

#include "base/numeric_text.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tavelo::test {
namespace {

const TableRow kHeaders = {"ClasseDAP", "NArv/ha", "ABasal(m2/ha)", "Altura(m)",
                           "V.Total(m3/ha)", "V.Rolaria(m3/ha)", "V.Madeira(m3/ha)", "V.Lenha(m3/ha)"};

std::vector<std::string> classCentres(const StandTable &t)
{
    std::vector<std::string> c;
    for (int r = 1; r <= t.classRowCount(); ++r)
        c.push_back(t.rows[r][0]);
    return c;
}

double sumOfClassBasalAreas(const StandTable &t)
{
    double g = 0.0;
    for (const StandClass &k : t.classes)
        g += k.basalArea;
    return g;
}

TEST(StandTable, HeadersAndWidths)
{
    StandState s = tableState();
    const StandTable t = buildStandTable(s, ScreenEntries{}, weibullStand(0.0, 10.0, 2.0, 1000.0));
    EXPECT_EQ(t.rows.front(), kHeaders);
    EXPECT_EQ(kStandTableWidthsTwips, (std::array<int, 8>{880, 700, 1140, 710, 1150, 1285, 1360, 1250}));
    EXPECT_EQ(t.totalRow()[0], "Total");
    EXPECT_EQ(static_cast<int>(t.classes.size()), t.classRowCount());
}

// --- First class ----------------------------------------------------------------------------

struct FirstClassCase {
    double a;
    const char *firstClass;
    double upper; // upper limit of the first class
};

class FirstClass : public ::testing::TestWithParam<FirstClassCase> {};

TEST_P(FirstClass, FollowsTheWeibullLocation)
{
    const FirstClassCase &c = GetParam();
    StandState s = tableState();
    const StandTable t = buildThinnedStandTable(s, ScreenEntries{}, weibullStand(c.a, 10.0, 2.0, 1000.0));
    ASSERT_GE(t.classRowCount(), 2);
    EXPECT_EQ(t.rows[1][0], c.firstClass);
    // It collects every tree from the location up to its upper limit.
    EXPECT_EQ(t.rows[1][1], whole(cdf(c.a, 10.0, 2.0, c.upper) * 1000.0));
    EXPECT_NEAR(t.classes[0].trees, cdf(c.a, 10.0, 2.0, c.upper) * 1000.0, 1e-9);
    // The next class is a whole 5 cm class.
    const double d = std::stod(c.firstClass) + 5.0;
    EXPECT_EQ(t.rows[2][0], whole(d));
    EXPECT_NEAR(t.classes[1].trees, (cdf(c.a, 10.0, 2.0, d + 2.5) - cdf(c.a, 10.0, 2.0, d - 2.5)) * 1000.0, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Locations, FirstClass,
                         ::testing::Values(FirstClassCase{0.0, "5", 7.49999}, FirstClassCase{5.0, "10", 12.49999},
                                           FirstClassCase{4.99, "5", 7.49999}, FirstClassCase{3.2, "5", 7.49999},
                                           FirstClassCase{7.0, "10", 12.49999},
                                           FirstClassCase{12.5, "15", 17.49999}));

// --- The 0.5-tree threshold -------------------------------------------------------------------

// The number of trees (per ha) that puts exactly `n` trees into the first class.
double treesGiving(double n, double a, double b, double c, double upper)
{
    const double f = WeibullCdf(a, b, c, upper);
    double ts = n / f;
    for (int i = 0; i < 64 && f * ts != n; ++i)
        ts = std::nextafter(ts, f * ts < n ? std::numeric_limits<double>::infinity() : 0.0);
    return ts;
}

TEST(ClassThreshold, ExactlyHalfATreeIsNotShown)
{
    StandState s = tableState();
    const double ts = treesGiving(0.5, 0.0, 10.0, 2.0, 7.49999);
    ASSERT_EQ(WeibullCdf(0.0, 10.0, 2.0, 7.49999) * ts, 0.5);
    StandTable t = buildThinnedStandTable(s, ScreenEntries{}, weibullStand(0.0, 10.0, 2.0, ts));
    EXPECT_TRUE(t.classRowCount() == 0 || t.rows[1][0] != "5");

    const double more = std::nextafter(ts, std::numeric_limits<double>::infinity());
    ASSERT_GT(WeibullCdf(0.0, 10.0, 2.0, 7.49999) * more, 0.5);
    t = buildThinnedStandTable(s, ScreenEntries{}, weibullStand(0.0, 10.0, 2.0, more));
    ASSERT_GE(t.classRowCount(), 1);
    EXPECT_EQ(t.rows[1][0], "5");
    EXPECT_EQ(t.rows[1][1], "1"); // just over half a tree shows as 1
}

TEST(ClassThreshold, ASkippedFirstClassDoesNotEndTheTable)
{
    // The first class 10 only spans 9.99 to 12.49999 and holds a third of a tree.
    StandState s = tableState();
    const double firstTrees = cdf(9.99, 10.0, 3.6, 12.49999) * 50.0;
    ASSERT_LT(firstTrees, 0.5);
    const StandTable t = buildThinnedStandTable(s, ScreenEntries{}, weibullStand(9.99, 10.0, 3.6, 50.0));
    ASSERT_GE(t.classRowCount(), 2);
    EXPECT_EQ(t.rows[1][0], "15");
    EXPECT_EQ(t.rows[2][0], "20");
}

TEST(ClassThreshold, TheLastClassesFadeOutAtHalfATree)
{
    StandState s = tableState();
    const StandTable t = buildThinnedStandTable(s, ScreenEntries{}, weibullStand(5.0, 15.0, 2.5, 800.0));
    // Every shown class holds more than half a tree; the first class not shown
    // above the last one holds half a tree or less.
    for (const StandClass &k : t.classes)
        EXPECT_GT(k.trees, 0.5);
    const double next = t.classes.back().centre + 5.0;
    EXPECT_LE((cdf(5.0, 15.0, 2.5, next + 2.5) - cdf(5.0, 15.0, 2.5, next - 2.5)) * 800.0, 0.5);
    // Classes are 5 cm apart, in ascending order.
    for (size_t i = 1; i < t.classes.size(); ++i)
        EXPECT_EQ(t.classes[i].centre, t.classes[i - 1].centre + 5.0);
}

TEST(ClassLimit, NoClassAbove150)
{
    StandState s = tableState();
    const double a = 140.0, b = 20.0, c = 3.6, ts = 200.0;
    const StandTable t = buildThinnedStandTable(s, ScreenEntries{}, weibullStand(a, b, c, ts, 80.0, 30.0, 40.0));
    EXPECT_EQ(classCentres(t), (std::vector<std::string>{"145", "150"}));
    // Trees above 152.5 cm are in no row and in no total.
    const double shown = cdf(a, b, c, 147.49999) * ts + (cdf(a, b, c, 152.5) - cdf(a, b, c, 147.5)) * ts;
    ASSERT_LT(shown, ts - 10.0);
    EXPECT_EQ(t.totalRow()[1], whole(shown));
}

// --- Header fields and title ----------------------------------------------------------------

TEST(StandTableHeader, FieldsAndPatterns)
{
    StandState s = tableState();
    s.siteIndex = 14.5;
    const StandTable t = buildStandTable(s, ScreenEntries{}, {12.5, 9.25, 1000.0, 20.0, 0.0, 10.0, 2.0, 1.0});
    EXPECT_EQ(t.txtIdade, "12");     // halves to even
    EXPECT_EQ(t.txtCQualidd, "14");  // halves to even
    EXPECT_EQ(t.txtADom, "9.3");     // halves away from zero
    EXPECT_EQ(t.txtAno, "2026");
    EXPECT_EQ(t.txtDmedio, "10.0");  // sqrt(b^2 * Gamma(2)) for a = 0, c = 2
    EXPECT_EQ(t.txtA, "0.00");
    EXPECT_EQ(t.txtB, "10.00");
    EXPECT_EQ(t.txtC, "2.00");
}

TEST(StandTableHeader, MoreRoundings)
{
    StandState s = tableState();
    s.siteIndex = 15.5;
    s.currentYear.setNumber(2031.0);
    const StandTable t = buildStandTable(s, ScreenEntries{}, {13.5, 14.0, 800.0, 20.0, 3.125, 15.0, 2.5, 1.0});
    EXPECT_EQ(t.txtIdade, "14");
    EXPECT_EQ(t.txtCQualidd, "16");
    EXPECT_EQ(t.txtADom, "14.0");
    EXPECT_EQ(t.txtAno, "2031");
    EXPECT_EQ(t.txtA, "3.13");
    EXPECT_EQ(t.txtB, "15.00");
    EXPECT_EQ(t.txtC, "2.50");
}

TEST(StandTableHeader, YearShownAsTyped)
{
    StandState s = tableState();
    s.currentYear.setText(" 2026.0");
    EXPECT_EQ(buildStandTable(s, ScreenEntries{}, weibullStand(0.0, 10.0, 2.0, 1000.0)).txtAno, " 2026.0");
}

struct TitleCase {
    double withBark;
    const char *typed;
    const char *title;
};

class StandTableTitle : public ::testing::TestWithParam<TitleCase> {};

TEST_P(StandTableTitle, RepeatsTheCuttingHeightAsTyped)
{
    StandState s = tableState();
    ScreenEntries entries;
    entries.stumpHeightText = GetParam().typed;
    TableStand stand = weibullStand(0.0, 10.0, 2.0, 1000.0);
    stand.withBark = GetParam().withBark;
    EXPECT_EQ(buildStandTable(s, entries, stand).lblTGrelha, GetParam().title);
    EXPECT_EQ(buildThinnedStandTable(s, entries, stand).lblTGrelha, GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(Typed, StandTableTitle,
                         ::testing::Values(TitleCase{0.0, "0.15", "Volumes sem casca, corte a 0.15 m:"},
                                           TitleCase{0.0, "0.150", "Volumes sem casca, corte a 0.150 m:"},
                                           TitleCase{0.0, ".15", "Volumes sem casca, corte a .15 m:"},
                                           TitleCase{1.0, "0.15", "Volumes com casca, corte a 0.15 m:"},
                                           TitleCase{1.0, "0.20", "Volumes com casca, corte a 0.20 m:"}));

TEST(StandTableCaption, FollowsHowTheStandWasEntered)
{
    StandState s = tableState();
    const TableStand stand = weibullStand(0.0, 10.0, 2.0, 1000.0);
    s.enteredUnthinned = 1.0;
    EXPECT_EQ(buildStandTable(s, ScreenEntries{}, stand).frameCaption, "Características do povoamento sem desbaste prévio");
    s.enteredUnthinned = 0.0;
    EXPECT_EQ(buildStandTable(s, ScreenEntries{}, stand).frameCaption, "Características do povoamento com desbaste prévio");
    EXPECT_EQ(buildThinnedStandTable(s, ScreenEntries{}, stand).frameCaption, "Características do povoamento após desbaste");
}

struct ThinningLabelCase {
    ScreenEntries::Thinning kind;
    const char *percent;
    const char *residual;
    const char *label;
};

class AfterThinningLabel : public ::testing::TestWithParam<ThinningLabelCase> {};

TEST_P(AfterThinningLabel, DescribesTheThinningAsTyped)
{
    StandState s = tableState();
    ScreenEntries entries;
    entries.thinning = GetParam().kind;
    entries.mechanicalPercentText = GetParam().percent;
    entries.residualBasalAreaText = GetParam().residual;
    const StandTable t = buildThinnedStandTable(s, entries, weibullStand(0.0, 10.0, 2.0, 1000.0), "anterior");
    EXPECT_EQ(t.lblDesbasteMS, GetParam().label);
    EXPECT_TRUE(t.afterThinning);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, AfterThinningLabel,
    ::testing::Values(
        ThinningLabelCase{ScreenEntries::Thinning::Mechanical, "30", "", "Mecânico com 30% de árvores a retirar"},
        ThinningLabelCase{ScreenEntries::Thinning::Mechanical, "20.5", "", "Mecânico com 20.5% de árvores a retirar"},
        ThinningLabelCase{ScreenEntries::Thinning::FromBelow, "", "14",
                          "Pelo baixo com 14 m2 de área basal residual"},
        ThinningLabelCase{ScreenEntries::Thinning::FromBelow, "", "19.50",
                          "Pelo baixo com 19.50 m2 de área basal residual"},
        // Neither option: the label keeps what it showed.
        ThinningLabelCase{ScreenEntries::Thinning::None, "", "", "anterior"}));

// --- Cells and the Total row --------------------------------------------------------------------

TEST(StandTableCells, FuelwoodIsTotalLessRoundwoodAndSawlog)
{
    StandState s = tableState();
    const StandTable t = buildStandTable(s, ScreenEntries{}, weibullStand(5.0, 20.0, 3.0, 700.0));
    ASSERT_GE(t.classRowCount(), 5);
    double n = 0, g = 0, nh = 0, vt = 0, vr = 0, vs = 0;
    for (int r = 1; r <= t.classRowCount(); ++r) {
        const StandClass &k = t.classes[r - 1];
        const TableRow &row = t.rows[r];
        EXPECT_EQ(row[0], whole(k.centre));
        EXPECT_EQ(row[1], whole(k.trees));
        EXPECT_EQ(row[2], fixed(k.basalArea, 1));
        EXPECT_EQ(row[3], fixed(k.height, 1));
        EXPECT_EQ(row[4], fixed(k.totalVolume, 2));
        EXPECT_EQ(row[5], fixed(k.roundwoodVolume, 2));
        EXPECT_EQ(row[6], fixed(k.sawlogVolume, 2));
        EXPECT_EQ(row[7], fixed(k.totalVolume - (k.roundwoodVolume + k.sawlogVolume), 2));
        n += k.trees;
        g += k.basalArea;
        nh += k.trees * k.height;
        vt += k.totalVolume;
        vr += k.roundwoodVolume;
        vs += k.sawlogVolume;
    }
    // Totals over the unrounded values; the height is the mean weighted by trees.
    const TableRow &total = t.totalRow();
    EXPECT_EQ(total[1], whole(n));
    EXPECT_EQ(total[2], fixed(g, 1));
    EXPECT_EQ(total[3], fixed(nh / n, 1));
    EXPECT_EQ(total[4], fixed(vt, 2));
    EXPECT_EQ(total[5], fixed(vr, 2));
    EXPECT_EQ(total[6], fixed(vs, 2));
    EXPECT_EQ(total[7], fixed(vt - (vs + vr), 2));
    // The mean height lies among the class heights; it is no sum.
    EXPECT_LE(std::stod(total[3]), t.classes.back().height);
    EXPECT_GE(std::stod(total[3]), t.classes.front().height);
}

TEST(StandTableCells, HeightsGrowWithTheClass)
{
    StandState s = tableState();
    const StandTable t = buildStandTable(s, ScreenEntries{}, weibullStand(5.0, 20.0, 3.0, 700.0));
    for (size_t i = 1; i < t.classes.size(); ++i)
        EXPECT_GT(t.classes[i].height, t.classes[i - 1].height);
}

TEST(StandTableTotal, NoClassShownGivesZeroMeanHeight)
{
    StandState s = tableState();
    // Three trees spread thinly over many classes: no class reaches half a tree.
    const StandTable t = buildStandTable(s, ScreenEntries{}, weibullStand(0.0, 100.0, 1.0, 3.0));
    EXPECT_EQ(t.classRowCount(), 0);
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.rows[0], kHeaders);
    EXPECT_EQ(t.totalRow(), (TableRow{"Total", "0", "0.0", "0.0", "0.00", "0.00", "0.00", "0.00"}));
}

// --- Consistency checks ----------------------------------------------------------------------

// The largest number of trees whose table stays within `limit` m2/ha, and the next one.
std::pair<double, double> treesAroundBasalArea(const StandState &s, const TableStand &base, double limit)
{
    double lo = 100.0, hi = 20000.0;
    auto sumAt = [&](double ts) {
        TableStand st = base;
        st.trees = ts;
        return sumOfClassBasalAreas(buildThinnedStandTable(s, ScreenEntries{}, st));
    };
    EXPECT_LE(sumAt(lo), limit);
    EXPECT_GT(sumAt(hi), limit);
    for (int i = 0; i < 200; ++i) {
        const double mid = lo + (hi - lo) / 2.0;
        if (mid <= lo || mid >= hi)
            break;
        (sumAt(mid) > limit ? hi : lo) = mid;
    }
    return {lo, hi};
}

TEST(StandTableChecks, BasalAreaAbove45EndsTheSimulation)
{
    StandState s = tableState();
    const TableStand base = weibullStand(5.0, 20.0, 3.0, 0.0, 30.0, 15.0, 45.0);
    const auto [inside, outside] = treesAroundBasalArea(s, base, 45.0);
    ASSERT_EQ(std::nextafter(inside, outside), outside);

    TableStand st = base;
    st.trees = inside;
    const StandTable ok = buildStandTable(s, ScreenEntries{}, st);
    EXPECT_LE(sumOfClassBasalAreas(ok), 45.0);
    EXPECT_EQ(ok.totalRow()[2], "45.0");

    st.trees = outside;
    try {
        buildStandTable(s, ScreenEntries{}, st);
        FAIL() << "a table above 45 m2/ha must end the simulation";
    } catch (const ModelLimitError &e) {
        EXPECT_EQ(e.title(), "Resultados Inconsistentes");
        EXPECT_EQ(e.text(), "Simulação fora dos limites do modelo! A simulação vai terminar.");
    }
    // The after-thinning table makes no check.
    EXPECT_NO_THROW(buildThinnedStandTable(s, ScreenEntries{}, st));
}

class TypedBasalAreaCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        state = tableState();
        state.enteredUnthinned = 0.0;
        state.projected = false;
        entries.thinnedByParameters = true;
        stand = weibullStand(8.0, 15.0, 2.5, 700.0);
        sum = sumOfClassBasalAreas(buildThinnedStandTable(state, entries, stand));
        ASSERT_GE(sum, 17.0); // so that sum - 1 and sum + 1 are exact
        ASSERT_LT(sum, 31.0);
    }
    bool passes(double typed)
    {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.17g", typed);
        entries.typedBasalAreaText = buf;
        EXPECT_EQ(std::stod(buf), typed);
        try {
            buildStandTable(state, entries, stand);
            return true;
        } catch (const ModelLimitError &e) {
            EXPECT_EQ(e.title(), "Dados Inconsistentes");
            EXPECT_EQ(e.text(), "Os dados introduzidos não permitem a convergência do modelo! A simulação vai terminar.");
            return false;
        }
    }
    StandState state;
    ScreenEntries entries;
    TableStand stand;
    double sum = 0.0;
};

TEST_F(TypedBasalAreaCheck, WithinOneSquareMetreInclusive)
{
    ASSERT_EQ((sum - 1.0) + 1.0, sum);
    EXPECT_TRUE(passes(sum));
    EXPECT_TRUE(passes(sum - 1.0)); // the table is exactly 1 above
    EXPECT_TRUE(passes(sum + 1.0)); // exactly 1 below
    EXPECT_TRUE(passes(sum - 0.999));
    EXPECT_FALSE(passes(sum - 1.001));
    EXPECT_FALSE(passes(sum + 1.001));
    EXPECT_FALSE(passes(sum + 10.0));
}

TEST_F(TypedBasalAreaCheck, OnlyBeforeTheFirstProjection)
{
    state.projected = true;
    EXPECT_TRUE(passes(sum + 5.0));
}

TEST_F(TypedBasalAreaCheck, OnlyForAStandEnteredAsThinned)
{
    state.enteredUnthinned = 1.0;
    EXPECT_TRUE(passes(sum + 5.0));
}

TEST_F(TypedBasalAreaCheck, OnlyForAStandEnteredByItsParameters)
{
    entries.thinnedByParameters = false; // entered by trees per class
    EXPECT_TRUE(passes(sum + 5.0));
}

TEST_F(TypedBasalAreaCheck, NeverOnTheAfterThinningTable)
{
    entries.typedBasalAreaText = "100";
    EXPECT_NO_THROW(buildThinnedStandTable(state, entries, stand));
}

TEST_F(TypedBasalAreaCheck, TheLimitOf45ComesFirst)
{
    stand.trees = 2000.0;
    ASSERT_GT(sumOfClassBasalAreas(buildThinnedStandTable(state, entries, stand)), 45.0);
    entries.typedBasalAreaText = "20";
    try {
        buildStandTable(state, entries, stand);
        FAIL();
    } catch (const ModelLimitError &e) {
        EXPECT_EQ(e.title(), "Resultados Inconsistentes");
    }
}


// --- The Total row alone ---------------------------------------------------------------------

// What a table build ends in: its Total row, or the message that ends the run.
using TableOutcome = std::variant<TableRow, std::pair<std::string, std::string>>;

template <typename Build>
TableOutcome outcomeOf(Build build)
{
    try {
        const StandTable t = build();
        return t.totalRow();
    } catch (const ModelLimitError &e) {
        return std::make_pair(e.title(), e.text());
    }
}

TEST(StandTableTotals, TheWholeTablesTotalRowAndChecks)
{
    StandState s = tableState();
    ScreenEntries typed;
    typed.thinnedByParameters = true;
    typed.typedBasalAreaText = "5";
    StandState entered = s; // before the first projection, entered by its parameters
    entered.enteredUnthinned = 0.0;
    entered.projected = false;
    const struct {
        const char *name;
        StandState *state;
        ScreenEntries entries;
        TableStand stand;
    } cases[] = {
        {"young", &s, {}, weibullStand(0.0, 10.0, 2.0, 1000.0, 20.0, 12.0, 20.0)},
        {"old", &s, {}, weibullStand(12.0, 25.0, 3.0, 400.0, 60.0, 24.0, 35.0)},
        {"no class shown", &s, {}, weibullStand(0.0, 10.0, 2.0, 0.4)},
        {"above 45 m2/ha", &s, {}, weibullStand(5.0, 20.0, 3.0, 2000.0)},
        {"typed basal area missed", &entered, typed, weibullStand(8.0, 15.0, 2.5, 700.0)},
        {"shape not a number", &s, {}, weibullStand(5.0, 20.0, std::nan(""), 700.0)},
    };
    for (const auto &c : cases) {
        for (const double bark : {1.0, 0.0}) {
            SCOPED_TRACE(std::string(c.name) + (bark == 0.0 ? ", without bark" : ", with bark"));
            TableStand st = c.stand;
            st.withBark = bark;
            const StandState &state = *c.state;
            const TableOutcome whole = outcomeOf([&] { return buildStandTable(state, c.entries, st); });
            EXPECT_EQ(outcomeOf([&] { return buildStandTable(state, c.entries, st, TableDetail::Totals); }), whole);
            EXPECT_EQ(outcomeOf([&] { return buildThinnedStandTable(state, c.entries, st, {}, TableDetail::Totals); }),
                      outcomeOf([&] { return buildThinnedStandTable(state, c.entries, st); }));
            if (std::holds_alternative<TableRow>(whole)) {
                const StandTable t = buildStandTable(state, c.entries, st, TableDetail::Totals);
                EXPECT_EQ(t.rows.size(), 1u);
                EXPECT_EQ(t.stand.trees, st.trees);
            }
        }
    }
}

// --- Extreme but accepted options ------------------------------------------------------------

struct ExtremeOptionsCase {
    const char *name;
    const char *sawlogMinDiameter, *stumpHeight, *topDiameter;
    bool withBark;
    // The Total row's cells that the case fixes; nullptr where it fixes none.
    const char *total, *roundwood, *sawlog;
};

void PrintTo(const ExtremeOptionsCase &c, std::ostream *os) { *os << c.name; }

class ExtremeOptionsTable : public ::testing::TestWithParam<ExtremeOptionsCase> {};

TEST_P(ExtremeOptionsTable, NoNegativeVolumeOnScreen)
{
    const ExtremeOptionsCase &c = GetParam();
    StandState s;
    OptionsInput in;
    in.year = "2026";
    in.withBark = c.withBark;
    in.sawlogMinDiameter = c.sawlogMinDiameter;
    in.stumpHeight = c.stumpHeight;
    in.topDiameter = c.topDiameter;
    ASSERT_TRUE(confirmOptions(s, in).accepted);
    s.siteIndex = 15.0;
    s.enteredUnthinned = 1.0;
    ScreenEntries entries;
    entries.stumpHeightText = c.stumpHeight;

    // A young dense stand and an old one with thick trees, on both stand screens.
    const TableStand stands[] = {weibullStand(0.0, 10.0, 2.0, 1000.0, 20.0, 12.0, 20.0),
                                 weibullStand(12.0, 25.0, 3.0, 400.0, 60.0, 24.0, 35.0)};
    for (const TableStand &stand : stands) {
        TableStand st = stand;
        st.withBark = c.withBark ? 1.0 : 0.0;
        for (const StandTable &t : {buildStandTable(s, entries, st), buildThinnedStandTable(s, entries, st)}) {
            ASSERT_GE(t.classRowCount(), 1);
            for (size_t r = 1; r < t.rows.size(); ++r) {
                for (int col = 4; col < kStandTableColumns; ++col) {
                    const std::string &cell = t.rows[r][col];
                    SCOPED_TRACE(t.rows[r][0] + " / " + kStandTableHeaders[col] + ": " + cell);
                    EXPECT_NE(cell.front(), '-');
                    const std::optional<double> v = parseNumber(cell);
                    ASSERT_TRUE(v.has_value());
                    EXPECT_TRUE(std::isfinite(*v));
                    EXPECT_EQ(cell.find('.'), cell.size() - 3) << "two decimals";
                }
            }
            if (stand.age != 20.0)
                continue;
            // The young stand's Total row, where the case fixes it.
            const TableRow &total = t.totalRow();
            const std::pair<int, const char *> fixedCells[] = {{4, c.total}, {5, c.roundwood}, {6, c.sawlog}};
            for (const auto &[col, text] : fixedCells) {
                if (text != nullptr) {
                    EXPECT_EQ(total[col], text) << kStandTableHeaders[col];
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, ExtremeOptionsTable,
    ::testing::Values(
        // A stump above every tree: no volume at all.
        ExtremeOptionsCase{"stump_35_39_with_bark", "20.0", "35.39", "7", true, "0.00", "0.00", "0.00"},
        ExtremeOptionsCase{"stump_35_39_without_bark", "20.0", "35.39", "7", false, "0.00", "0.00", "0.00"},
        // The sawlog takes the whole stem above the stump: no roundwood.
        ExtremeOptionsCase{"sawlog_diameter_1e-301_with_bark", "1e-301", "0.15", "7", true, nullptr, "0.00", nullptr},
        ExtremeOptionsCase{"sawlog_diameter_1e-301_without_bark", "1e-301", "0.15", "7", false, nullptr, "0.00",
                           nullptr},
        // A top diameter at or above the sawlog diameter.
        ExtremeOptionsCase{"top_equals_sawlog_diameter", "20.0", "0.15", "20", true, nullptr, nullptr, nullptr},
        ExtremeOptionsCase{"top_above_sawlog_diameter", "20.0", "0.15", "25", true, nullptr, nullptr, nullptr},
        ExtremeOptionsCase{"top_far_above_sawlog_diameter", "10", "0.15", "40", false, nullptr, "0.00", nullptr}),
    [](const ::testing::TestParamInfo<ExtremeOptionsCase> &info) {
        std::string name = info.param.name;
        for (char &ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

} // namespace
} // namespace tavelo::test
