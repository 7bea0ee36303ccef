// The simulation record: one row per state shown, 34 rows at most, and the
// limit message once.

#include "session/structure/sim_record.h"
#include "structure_test_support.h"

#include <gtest/gtest.h>

namespace tavelo::test {
namespace {

const char *kLimitTitle = "Limite máximo de simulações atingido";
const char *kLimitStandScreen =
    "Esta será a última simulação registada, pois foi atingido o limite de simulações registáveis...";
const char *kLimitThinnedScreen = "Esta será a última simulação permitida, pois foi atingido o limite de simulações...";

const TableRow kTotal = {"Total", "1055", "12.5", "5.6", "48.05", "33.41", "11.29", "3.35"};

StandTable table() { return handTable({{"10", "1055", "12.5", "5.6", "48.05", "33.41", "11.29", "3.35"}}, kTotal); }

StandState recordState()
{
    StandState s;
    s.currentYear.setText("2026");
    s.standAge = 12.0;
    return s;
}

std::string text(const StandState &s, int row, int col) { return recordCellText(s.record[row][col]); }

TEST(SimRecord, Headers)
{
    std::vector<std::string> headers(kRecordHeaders.begin(), kRecordHeaders.end());
    EXPECT_EQ(headers, (std::vector<std::string>{"Ano", "Idade", "Cod", "NArv/ha", "ABasal(m2/ha)",
                                                             "Altura(m)", "V.Total(m3/ha)", "V.Rolaria(m3/ha)",
                                                             "V.Madeira(m3/ha)", "V.Lenha(m3/ha)"}));
}

TEST(SimRecord, FirstRequestWritesRowZero)
{
    StandState s = recordState();
    EXPECT_EQ(s.recordLast, -1);
    EXPECT_EQ(recordStand(s, table(), RecordSource::StandScreen), std::nullopt);
    EXPECT_EQ(s.recordLast, 0);
    // The year as typed stays text; the age is the number held.
    ASSERT_TRUE(std::holds_alternative<std::string>(s.record[0][0]));
    EXPECT_EQ(std::get<std::string>(s.record[0][0]), "2026");
    ASSERT_TRUE(std::holds_alternative<double>(s.record[0][1]));
    EXPECT_EQ(std::get<double>(s.record[0][1]), 12.0);
    const std::vector<std::string> expected = {"2026", "12", "AD", "1055", "12.5", "5.6", "48.05", "33.41", "11.29",
                                               "3.35"};
    for (int c = 0; c < kRecordColumns; ++c)
        EXPECT_EQ(text(s, 0, c), expected[c]) << "column " << c;
    EXPECT_EQ(recordRowCount(s), 1);
}

TEST(SimRecord, ProjectedYearIsANumber)
{
    StandState s = recordState();
    recordStand(s, table(), RecordSource::StandScreen);
    s.currentYear.setNumber(2031.0);
    s.standAge = 17.5;
    recordStand(s, table(), RecordSource::StandScreen);
    ASSERT_TRUE(std::holds_alternative<double>(s.record[1][0]));
    EXPECT_EQ(text(s, 1, 0), "2031");
    EXPECT_EQ(text(s, 1, 1), "17.5");
}

TEST(SimRecord, CodesOfTheTwoScreens)
{
    StandState s = recordState();
    recordStand(s, table(), RecordSource::StandScreen);
    recordStand(s, table(), RecordSource::ThinnedScreen);
    EXPECT_EQ(text(s, 0, 2), "AD");
    EXPECT_EQ(text(s, 1, 2), "D");
}

TEST(SimRecord, CopiesTheTotalRowTextsNotTheClasses)
{
    StandState s = recordState();
    const StandTable t = handTable({{"10", "5", "0.1", "3.0", "0.10", "0.05", "0.00", "0.05"},
                                    {"15", "7", "0.2", "4.0", "0.30", "0.25", "0.00", "0.05"}},
                                   {"Total", "12", "0.3", "3.6", "0.40", "0.30", "0.00", "0.10"});
    recordStand(s, t, RecordSource::StandScreen);
    for (int c = 1; c < 8; ++c)
        EXPECT_EQ(text(s, 0, c + 2), t.totalRow()[c]);
}

struct LimitCase {
    RecordSource source35;
    const char *text;
};

class SimRecordLimit : public ::testing::TestWithParam<LimitCase> {};

TEST_P(SimRecordLimit, ThirtyFifthRequestShowsTheMessageOnce)
{
    StandState s = recordState();
    for (int i = 0; i < 34; ++i) {
        s.standAge = 10.0 + i;
        // Requests alternate between the screens; only the 35th decides the text.
        const auto m = recordStand(s, table(), i % 2 ? RecordSource::ThinnedScreen : RecordSource::StandScreen);
        EXPECT_EQ(m, std::nullopt) << "request " << i + 1;
    }
    EXPECT_EQ(s.recordLast, 33);
    EXPECT_EQ(text(s, 33, 1), "43"); // the 34th request wrote row 33

    s.standAge = 99.0;
    EXPECT_EQ(recordStand(s, table(), GetParam().source35), Message::information(kLimitTitle, GetParam().text));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(s.record[34][0]));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(recordStand(s, table(), RecordSource::StandScreen), std::nullopt);
        EXPECT_EQ(recordStand(s, table(), RecordSource::ThinnedScreen), std::nullopt);
    }
    for (int r : {34, 35})
        for (int c = 0; c < kRecordColumns; ++c)
            EXPECT_TRUE(std::holds_alternative<std::monostate>(s.record[r][c]));
    EXPECT_EQ(recordRowCount(s), 34);
    EXPECT_EQ(text(s, 33, 1), "43");
}

INSTANTIATE_TEST_SUITE_P(Screens, SimRecordLimit,
                         ::testing::Values(LimitCase{RecordSource::StandScreen, kLimitStandScreen},
                                           LimitCase{RecordSource::ThinnedScreen, kLimitThinnedScreen}));

TEST(SimRecord, ReaderStopsAtTheFirstEmptyYear)
{
    StandState s = recordState();
    recordStand(s, table(), RecordSource::StandScreen);
    recordStand(s, table(), RecordSource::StandScreen);
    s.record[3][0] = std::string("2040"); // beyond a gap: never read
    EXPECT_EQ(recordRowCount(s), 2);
}

TEST(SimRecord, ClearEmptiesEveryCell)
{
    StandState s = recordState();
    for (int i = 0; i < 40; ++i)
        recordStand(s, table(), RecordSource::StandScreen);
    clearRecord(s);
    EXPECT_EQ(s.recordLast, -1);
    EXPECT_EQ(recordRowCount(s), 0);
    for (const auto &row : s.record)
        for (const RecordCell &cell : row)
            EXPECT_TRUE(std::holds_alternative<std::monostate>(cell));
    // The next request writes row 0 again, and the limit counts afresh.
    EXPECT_EQ(recordStand(s, table(), RecordSource::StandScreen), std::nullopt);
    EXPECT_EQ(s.recordLast, 0);
}

} // namespace
} // namespace tavelo::test
