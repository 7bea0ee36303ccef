// The summary window's table and chart over age, and the data of the
// diameter-class charts.

#include "session/results/end_session.h"
#include "session/results/summary.h"
#include "session/structure/sim_record.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tavelo {
namespace {

StandTable tableWithTotal(const TableRow &total)
{
    StandTable t;
    TableRow header;
    for (int i = 0; i < kStandTableColumns; ++i)
        header[i] = kStandTableHeaders[i];
    t.rows = {header, total};
    return t;
}

// A summary row with the given year, age, code and total volume.
SummaryRow row(const std::string &year, const std::string &age, const std::string &code, const std::string &volume)
{
    return {year, age, code, "500", "20.0", "12.0", volume, "10.00", "20.00", "1.00"};
}

SummaryTable summaryOf(std::vector<SummaryRow> rows)
{
    SummaryTable t;
    t.rows = std::move(rows);
    return t;
}

// --- Tabela --------------------------------------------------------------------------------

struct TitleCase {
    double withBark;
    const char *typed;
    const char *label;
};

class SummaryTitle : public ::testing::TestWithParam<TitleCase> {};

TEST_P(SummaryTitle, BarkAndCuttingHeightAsTyped)
{
    StandState s;
    s.withBark = GetParam().withBark;
    ScreenEntries entries;
    entries.stumpHeightText = GetParam().typed;
    EXPECT_EQ(summaryTable(s, entries).lblV, GetParam().label);
}

INSTANTIATE_TEST_SUITE_P(Labels, SummaryTitle,
                         ::testing::Values(TitleCase{0.0, "0.15", "Volumes sem casca, corte a 0.15 m:"},
                                           TitleCase{1.0, "0.20", "Volumes com casca, corte a 0.20 m:"},
                                           TitleCase{1.0, ".15", "Volumes com casca, corte a .15 m:"}));

TEST(SummaryTable, Widths)
{
    EXPECT_EQ(kSummaryWidthsTwips, (std::array<int, 10>{450, 510, 410, 700, 1140, 710, 1150, 1285, 1360, 1250}));
}

TEST(SummaryTable, RowsRepeatTheRecordTexts)
{
    StandState s;
    s.withBark = 1.0;
    s.currentYear.setText("2026");
    s.standAge = 12.0;
    recordStand(s, tableWithTotal({"Total", "1055", "12.5", "5.6", "48.05", "33.41", "11.29", "3.35"}),
               RecordSource::StandScreen);
    s.currentYear.setNumber(2031.0);
    s.standAge = 17.0;
    recordStand(s, tableWithTotal({"Total", "1055", "22.5", "9.3", "104.90", "70.77", "29.51", "4.62"}),
               RecordSource::StandScreen);
    recordStand(s, tableWithTotal({"Total", "739", "15.8", "9.6", "73.40", "50.00", "20.00", "3.40"}),
               RecordSource::ThinnedScreen);
    const SummaryTable t = summaryTable(s, ScreenEntries{});
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(t.rows[0], (SummaryRow{"2026", "12", "AD", "1055", "12.5", "5.6", "48.05", "33.41", "11.29", "3.35"}));
    EXPECT_EQ(t.rows[1], (SummaryRow{"2031", "17", "AD", "1055", "22.5", "9.3", "104.90", "70.77", "29.51", "4.62"}));
    EXPECT_EQ(t.rows[2], (SummaryRow{"2031", "17", "D", "739", "15.8", "9.6", "73.40", "50.00", "20.00", "3.40"}));
}

TEST(SummaryTable, FullRecordShows34RowsAndNewSimulationNone)
{
    StandState s;
    s.withBark = 1.0;
    s.currentYear.setText("2026");
    for (int i = 0; i < 40; ++i) {
        s.standAge = 10.0 + i;
        recordStand(s, tableWithTotal({"Total", "1", "0.1", "1.0", "0.10", "0.05", "0.00", "0.05"}),
                   RecordSource::StandScreen);
    }
    const SummaryTable full = summaryTable(s, ScreenEntries{});
    ASSERT_EQ(full.rows.size(), 34u);
    EXPECT_EQ(full.rows.back()[1], "43");
    newSimulation(s);
    EXPECT_TRUE(summaryTable(s, ScreenEntries{}).rows.empty());
}

// --- Grafico --------------------------------------------------------------------------------------

TEST(VolumeChart, OneRowGivesOneCategoryWithZeros)
{
    const auto points = summaryVolumes(summaryOf({row("2026", "20", "AD", "123.45")}));
    EXPECT_EQ(points, (std::vector<VolumePoint>{{" 20", 123, 0, 0}}));
}

TEST(VolumeChart, ThinningPairMakesOneCategory)
{
    const auto points = summaryVolumes(summaryOf({row("2026", "20", "AD", "150.00"), row("2026", "20", "D", "100.00"),
                                           row("2031", "25", "AD", "140.00"), row("2036", "30", "AD", "180.40")}));
    EXPECT_EQ(points, (std::vector<VolumePoint>{{" 20", 150, 100, 50}, {" 25", 140, 0, 0}, {" 30", 180, 0, 0}}));
}

TEST(VolumeChart, RemovedVolumeIsTheDifferenceOfTheRoundedValues)
{
    const auto points = summaryVolumes(summaryOf({row("2026", "20", "AD", "123.45"), row("2026", "20", "D", "98.50")}));
    EXPECT_EQ(points, (std::vector<VolumePoint>{{" 20", 123, 98, 25}}));
}

struct HalfCase {
    const char *text;
    int value;
};

class VolumeChartHalves : public ::testing::TestWithParam<HalfCase> {};

TEST_P(VolumeChartHalves, GoToTheEvenNeighbour)
{
    const auto points = summaryVolumes(summaryOf({row("2026", "20", "AD", GetParam().text)}));
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].before, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Texts, VolumeChartHalves,
                         ::testing::Values(HalfCase{"122.50", 122}, HalfCase{"123.50", 124}, HalfCase{"0.50", 0},
                                           HalfCase{"1.50", 2}, HalfCase{"122.51", 123}));

TEST(VolumeChart, TwoThinningsAndProjections)
{
    const auto points = summaryVolumes(summaryOf({row("2026", "20", "AD", "150.00"), row("2026", "20", "D", "100.00"),
                                           row("2031", "25", "AD", "140.00"), row("2031", "25", "D", "90.00"),
                                           row("2036", "30", "AD", "130.00")}));
    EXPECT_EQ(points, (std::vector<VolumePoint>{{" 20", 150, 100, 50}, {" 25", 140, 90, 50}, {" 30", 130, 0, 0}}));
}

TEST(VolumeChart, EndedOnAThinning)
{
    const auto points = summaryVolumes(summaryOf({row("2026", "20", "AD", "150.00"), row("2031", "25", "AD", "180.00"),
                                           row("2031", "25", "D", "120.00")}));
    EXPECT_EQ(points, (std::vector<VolumePoint>{{" 20", 150, 0, 0}, {" 25", 180, 120, 60}}));
}

TEST(VolumeChart, AStandYoungerThanHalfAYear)
{
    // The age 0.4 charts as 0, like the "no next row" marker: the last row
    // must still stand alone.
    EXPECT_EQ(summaryVolumes(summaryOf({row("2026", "0.4", "AD", "0.02")})), (std::vector<VolumePoint>{{" 0", 0, 0, 0}}));
    EXPECT_EQ(summaryVolumes(summaryOf({row("2026", "0.4", "AD", "0.02"), row("2031", "5.4", "AD", "3.00")})),
              (std::vector<VolumePoint>{{" 0", 0, 0, 0}, {" 5", 3, 0, 0}}));
}

TEST(VolumeChart, NoRowsNoCategories)
{
    EXPECT_TRUE(summaryVolumes(SummaryTable{}).empty());
}

TEST(VolumeChart, SeriesNames)
{
    EXPECT_STREQ(kVolumeSeriesNames[0], "Volume Principal");
    EXPECT_STREQ(kVolumeSeriesNames[1], "Volume Principal após Desbaste");
    EXPECT_STREQ(kVolumeSeriesNames[2], "Volume Desbastado");
}

// --- Diameter-class charts --------------------------------------------------------------------------

// A stand table with classes from `first` to `last` cm; trees and volumes are
// made from the class centre so that every cell is told apart.
StandTable classTable(int first, int last)
{
    std::vector<TableRow> rows;
    TableRow header;
    for (int i = 0; i < kStandTableColumns; ++i)
        header[i] = kStandTableHeaders[i];
    rows.push_back(header);
    for (int d = first; d <= last; d += 5) {
        const std::string c = std::to_string(d);
        rows.push_back({c, std::to_string(d * 2), "1.0", "9.0", c + ".40", c + ".10", c + ".20", c + ".05"});
    }
    rows.push_back({"Total", "0", "0.0", "0.0", "0.00", "0.00", "0.00", "0.00"});
    StandTable t;
    t.rows = rows;
    return t;
}

const std::vector<std::string> kTenToForty = {" 10", " 15", " 20", " 25", " 30", " 35", " 40"};

TEST(ClassCharts, TreesPerClass)
{
    const ClassChart c = treesChart(classTable(10, 40));
    EXPECT_EQ(c.categories, kTenToForty);
    ASSERT_EQ(c.values.size(), 1u);
    EXPECT_EQ(c.values[0], (std::vector<std::optional<double>>{20, 30, 40, 50, 60, 70, 80}));
}

TEST(ClassCharts, VolumePerClassByAssortment)
{
    const ClassChart c = volumeChart(classTable(10, 40));
    EXPECT_EQ(c.categories, kTenToForty);
    EXPECT_EQ(c.seriesNames, (std::vector<std::string>{"Lenha", "Rolaria", "Madeira"}));
    ASSERT_EQ(c.values.size(), 3u);
    EXPECT_EQ(c.values[0][0], 10.05); // V.Lenha
    EXPECT_EQ(c.values[1][0], 10.10); // V.Rolaria
    EXPECT_EQ(c.values[2][0], 10.20); // V.Madeira
    EXPECT_EQ(c.values[2][6], 40.20);
}

TEST(ClassCharts, NoClassesNoCategories)
{
    const ClassChart c = volumeChart(classTable(10, 5));
    EXPECT_TRUE(c.categories.empty());
    EXPECT_TRUE(c.values[0].empty());
}

TEST(ThinningChart, FromBelowEmptiesTheSmallClasses)
{
    const ClassChart c = thinningChart(classTable(10, 40), classTable(20, 40));
    EXPECT_EQ(c.categories, kTenToForty);
    EXPECT_EQ(c.seriesNames, (std::vector<std::string>{"Antes do desbaste", "Após o desbaste"}));
    ASSERT_EQ(c.values.size(), 2u);
    EXPECT_EQ(c.values[0], (std::vector<std::optional<double>>{20, 30, 40, 50, 60, 70, 80}));
    EXPECT_EQ(c.values[1],
              (std::vector<std::optional<double>>{std::nullopt, std::nullopt, 40, 50, 60, 70, 80}));
}

TEST(ThinningChart, MechanicalCoversTheSameClasses)
{
    const ClassChart c = thinningChart(classTable(10, 40), classTable(10, 40));
    EXPECT_EQ(c.categories, kTenToForty);
    for (const auto &series : c.values)
        for (const auto &v : series)
            EXPECT_TRUE(v.has_value());
}

TEST(ThinningChart, CategoriesStartAtTheSmallerFirstClass)
{
    // P = max(8, 7) - 2 = 6 categories from 10 cm; the class 40 of the first
    // table falls outside them and is left out.
    const ClassChart c = thinningChart(classTable(15, 40), classTable(10, 30));
    EXPECT_EQ(c.categories, (std::vector<std::string>{" 10", " 15", " 20", " 25", " 30", " 35"}));
    EXPECT_EQ(c.values[0], (std::vector<std::optional<double>>{std::nullopt, 30, 40, 50, 60, 70}));
    EXPECT_EQ(c.values[1], (std::vector<std::optional<double>>{20, 30, 40, 50, 60, std::nullopt}));
}

TEST(ThinningChart, EmptyAfterThinningTable)
{
    const ClassChart c = thinningChart(classTable(10, 40), classTable(10, 5));
    EXPECT_EQ(c.categories, kTenToForty);
    for (const auto &v : c.values[1])
        EXPECT_FALSE(v.has_value());
    EXPECT_TRUE(thinningChart(classTable(10, 5), classTable(10, 5)).categories.empty());
}

} // namespace
} // namespace tavelo
