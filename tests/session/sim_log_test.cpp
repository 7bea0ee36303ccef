// The simulation log: print zones, table lines, the two kinds of block, and
// the file (Windows-1252, CR LF, appended block by block).

#include "base/numeric_text.h"
#include "session/structure/sim_log.h"
#include "structure_test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace tavelo::test {
namespace {

const std::string kStars(160, '*');
const std::string kDashRule(160, '-');
const std::string kBlanks11(11, ' ');

// --- Print zones -------------------------------------------------------------------------------

struct ZoneCase {
    const char *name;
    std::vector<std::string> items;
    std::string line;
};

class ZoneLine : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(ZoneLine, ItemsStartAtTheNextZone)
{
    EXPECT_EQ(zoneLine(GetParam().items), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Items, ZoneLine,
    ::testing::Values(
        ZoneCase{"One", {"abc"}, "abc"},
        ZoneCase{"Short", {"abc", "d"}, "abc" + std::string(11, ' ') + "d"},
        ZoneCase{"Thirteen", {"1234567890123", "x"}, "1234567890123 x"},
        // Ending exactly on a zone boundary: the next item starts one zone further.
        ZoneCase{"Fourteen", {"12345678901234", "x"}, "12345678901234" + std::string(14, ' ') + "x"},
        ZoneCase{"Fifteen", {"123456789012345", "x"}, "123456789012345" + std::string(13, ' ') + "x"},
        ZoneCase{"TwentyEight", {std::string(28, 'a'), "x"}, std::string(28, 'a') + std::string(14, ' ') + "x"},
        ZoneCase{"EmptyFirst", {"", "x"}, std::string(14, ' ') + "x"},
        ZoneCase{"Three", {"A", "B", "C"}, "A" + std::string(13, ' ') + "B" + std::string(13, ' ') + "C"},
        // An accented letter is one column.
        ZoneCase{"Accented", {"Parâmetros", "x"}, "Parâmetros    x"},
        ZoneCase{"Weibull",
                 {"Parâmetros de Weibul: A = 8.10", "B = 14.35", "C = 2.35"},
                 "Parâmetros de Weibul: A = 8.10            B = 14.35     C = 2.35"},
        ZoneCase{"InitialParameters",
                 {"Parâmetros iniciais do povoamento: Ts(nº/ha) = 601", "ABasal(m2/ha) = 22.0", "DapMin(cm)= 9.0",
                  "P95 = 31.0"},
                 "Parâmetros iniciais do povoamento: Ts(nº/ha) = 601      ABasal(m2/ha) = 22.0        "
                 "DapMin(cm)= 9.0             P95 = 31.0"}),
    [](const ::testing::TestParamInfo<ZoneCase> &i) { return std::string(i.param.name); });

// --- Table lines ----------------------------------------------------------------------------------

const std::string kHeaderLine = "ClasseDAP        NArv/ha          ABasal(m2/ha)    Altura(m)        "
                                "V.Total(m3/ha)   V.Rolaria(m3/ha) V.Madeira(m3/ha) V.Lenha(m3/ha)   ";

TableRow headerRow()
{
    TableRow h;
    for (int i = 0; i < kStandTableColumns; ++i)
        h[i] = kStandTableHeaders[i];
    return h;
}

TEST(TableLine, HeaderCellsLeftAlignedInSeventeen)
{
    EXPECT_EQ(tableLine(headerRow(), true), kHeaderLine);
    EXPECT_EQ(kHeaderLine.size(), 136u);
}

TEST(TableLine, ValuesRightAlignedInSixThenElevenBlanks)
{
    const std::string line = tableLine({"10", "36", "0.4", "6.6", "1.00", "0.83", "0.00", "0.17"}, false);
    EXPECT_EQ(line, "    10" + kBlanks11 + "    36" + kBlanks11 + "   0.4" + kBlanks11 + "   6.6" + kBlanks11 +
                        "  1.00" + kBlanks11 + "  0.83" + kBlanks11 + "  0.00" + kBlanks11 + "  0.17" + kBlanks11);
    EXPECT_EQ(line.size(), 136u);
}

TEST(TableLine, TotalRow)
{
    const std::string line = tableLine({"Total", "601", "22.0", "11.9", "117.53", "52.85", "61.94", "2.74"}, false);
    EXPECT_EQ(line.substr(0, 17), " Total" + kBlanks11);
    EXPECT_EQ(line, " Total" + kBlanks11 + "   601" + kBlanks11 + "  22.0" + kBlanks11 + "  11.9" + kBlanks11 +
                        "117.53" + kBlanks11 + " 52.85" + kBlanks11 + " 61.94" + kBlanks11 + "  2.74" + kBlanks11);
}

TEST(TableLine, LongCellsPushTheLineRight)
{
    const std::string line =
        tableLine({"Total", "300", "30.1", "20.5", "1234.56", "100.00", "1100.00", "34.56"}, false);
    EXPECT_EQ(line, " Total" + kBlanks11 + "   300" + kBlanks11 + "  30.1" + kBlanks11 + "  20.5" + kBlanks11 +
                        "1234.56" + kBlanks11 + "100.00" + kBlanks11 + "1100.00" + kBlanks11 + " 34.56" + kBlanks11);
    EXPECT_EQ(line.size(), 138u);
    EXPECT_EQ(line.find("100.00"), 17u * 5 + 1); // the sixth cell starts one column late
}

// --- Blocks --------------------------------------------------------------------------------------

StandTable shownTable()
{
    StandTable t = handTable({{"10", "36", "0.4", "6.6", "1.00", "0.83", "0.00", "0.17"},
                              {"15", "150", "2.8", "9.8", "11.84", "11.10", "0.00", "0.74"}},
                             {"Total", "186", "3.2", "9.2", "12.84", "11.93", "0.00", "0.91"});
    t.frameCaption = "Características do povoamento sem desbaste prévio";
    t.txtAno = "2026";
    t.txtIdade = "30";
    t.txtADom = "14.0";
    t.txtCQualidd = "18";
    t.txtDmedio = "21.6";
    t.txtA = "8.10";
    t.txtB = "14.35";
    t.txtC = "2.35";
    t.lblTGrelha = "Volumes com casca, corte a 0.15 m:";
    return t;
}

const std::vector<std::string> kTableLines = {
    kHeaderLine,
    "    10" + kBlanks11 + "    36" + kBlanks11 + "   0.4" + kBlanks11 + "   6.6" + kBlanks11 + "  1.00" + kBlanks11 +
        "  0.83" + kBlanks11 + "  0.00" + kBlanks11 + "  0.17" + kBlanks11,
    "    15" + kBlanks11 + "   150" + kBlanks11 + "   2.8" + kBlanks11 + "   9.8" + kBlanks11 + " 11.84" + kBlanks11 +
        " 11.10" + kBlanks11 + "  0.00" + kBlanks11 + "  0.74" + kBlanks11,
    kDashRule,
    " Total" + kBlanks11 + "   186" + kBlanks11 + "   3.2" + kBlanks11 + "   9.2" + kBlanks11 + " 12.84" + kBlanks11 +
        " 11.93" + kBlanks11 + "  0.00" + kBlanks11 + "  0.91" + kBlanks11};

std::vector<std::string> withTable(std::vector<std::string> head)
{
    head.insert(head.end(), kTableLines.begin(), kTableLines.end());
    return head;
}

TEST(standLogBlock, StandScreenBlock)
{
    StandState s;
    s.enteredUnthinned = 1.0;
    const auto lines = standLogBlock(shownTable(), s, ScreenEntries{});
    EXPECT_EQ(lines, withTable({"", kStars, "", "Características do povoamento sem desbaste prévio", "", "Ano 2026",
                                "Idade = 30", "Altura Dominante(m)= 14.0", "Classe de Qualidade = 18",
                                "Diâmetro médio(cm)= 21.6",
                                "Parâmetros de Weibul: A = 8.10            B = 14.35     C = 2.35", "",
                                "Volumes com casca, corte a 0.15 m:", kDashRule}));
}

TEST(standLogBlock, InitialParametersLineForAStandEnteredByItsParameters)
{
    StandState s;
    s.enteredUnthinned = 0.0;
    s.treesAlive = 601.0;
    s.basalArea = 27.84;
    s.minDiameter = 3.94;
    ScreenEntries entries;
    entries.thinnedByParameters = true;
    entries.typedP95Text = "31";
    StandTable t = shownTable();
    t.frameCaption = "Características do povoamento com desbaste prévio";
    const auto lines = standLogBlock(t, s, entries);
    ASSERT_GT(lines.size(), 12u);
    EXPECT_EQ(lines[10], "Parâmetros iniciais do povoamento: Ts(nº/ha) = 601      ABasal(m2/ha) = 27.8        "
                         "DapMin(cm)= 3.9             P95 = 31.0");
    EXPECT_EQ(lines[11], "Parâmetros de Weibul: A = 8.10            B = 14.35     C = 2.35");
    EXPECT_EQ(lines[12], "");
    EXPECT_EQ(lines.size(), 15u + kTableLines.size());
}

struct NoLine11Case {
    const char *name;
    double enteredUnthinned;
    bool byParameters;
};

class StandLogBlockNoLine11 : public ::testing::TestWithParam<NoLine11Case> {};

TEST_P(StandLogBlockNoLine11, OnlyStandsEnteredByParametersHaveIt)
{
    StandState s;
    s.enteredUnthinned = GetParam().enteredUnthinned;
    ScreenEntries entries;
    entries.thinnedByParameters = GetParam().byParameters;
    entries.typedP95Text = "31";
    const auto lines = standLogBlock(shownTable(), s, entries);
    EXPECT_EQ(lines.size(), 14u + kTableLines.size());
    for (const std::string &l : lines)
        EXPECT_EQ(l.find("Parâmetros iniciais"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Entries, StandLogBlockNoLine11,
                         ::testing::Values(NoLine11Case{"ByClasses", 0.0, false},
                                           NoLine11Case{"NeverThinned", 1.0, false},
                                           NoLine11Case{"NeverThinnedStaleFlag", 1.0, true}),
                         [](const ::testing::TestParamInfo<NoLine11Case> &i) { return std::string(i.param.name); });

TEST(thinnedStandLogBlock, AfterThinningBlock)
{
    StandTable t = shownTable();
    t.lblDesbasteMS = "Mecânico com 20% de árvores a retirar";
    t.frameCaption = "Características do povoamento após desbaste";
    EXPECT_EQ(thinnedStandLogBlock(t),
              withTable({"", kStars, "",
                         "Caracteristicas do povoamento - Desbaste Mecânico com 20% de árvores a retirar", "",
                         "Ano 2026", "Idade = 30", "Altura Dominante(m) = 14.0", "Classe de Qualidade = 18",
                         "Diâmetro médio(cm)= 21.6", "",
                         "Parâmetros de Weibul: A = 8.10            B = 14.35     C = 2.35",
                         "Volumes com casca, corte a 0.15 m:", kDashRule}));
}

TEST(standLogBlock, TableWithoutClassRows)
{
    StandTable t = shownTable();
    t.rows = {headerRow(), {"Total", "0", "0.0", "0.0", "0.00", "0.00", "0.00", "0.00"}};
    StandState s;
    s.enteredUnthinned = 1.0;
    const auto lines = standLogBlock(t, s, ScreenEntries{});
    ASSERT_GE(lines.size(), 3u);
    const std::vector<std::string> tail(lines.end() - 4, lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{kDashRule, kHeaderLine, kDashRule,
                                              " Total" + kBlanks11 + "     0" + kBlanks11 + "   0.0" + kBlanks11 +
                                                  "   0.0" + kBlanks11 + "  0.00" + kBlanks11 + "  0.00" +
                                                  kBlanks11 + "  0.00" + kBlanks11 + "  0.00" + kBlanks11}));
}

// --- The file ------------------------------------------------------------------------------------------

TEST(LogFile, WindowsBytesWithCarriageReturnLineFeed)
{
    TempFolder tmp;
    const LogFile log(tmp / "Simulacao1.temp");
    StandState s;
    s.enteredUnthinned = 1.0;
    const auto block = standLogBlock(shownTable(), s, ScreenEntries{});
    ASSERT_TRUE(log.append(block)); // creates the file
    const std::string first = readBytes(log.path());
    EXPECT_EQ(first.substr(0, 2 + 160 + 2 + 2), "\r\n" + kStars + "\r\n\r\n");
    EXPECT_EQ(first.substr(166, 51), std::string("Caracter\xEDsticas do povoamento sem desbaste pr\xE9vio\r\n"));
    EXPECT_NE(first.find("Di\xE2metro m\xE9" "dio(cm)= 21.6\r\n"), std::string::npos);
    size_t crlf = 0;
    for (size_t i = 0; i < first.size(); ++i) {
        if (first[i] == '\n') {
            ASSERT_GT(i, 0u);
            EXPECT_EQ(first[i - 1], '\r') << "at byte " << i;
            ++crlf;
        }
    }
    EXPECT_EQ(crlf, block.size());
    EXPECT_EQ(first.substr(first.size() - 13), kBlanks11 + "\r\n");

    // A second block is appended after the first, which stays as it was.
    StandTable t = shownTable();
    t.lblDesbasteMS = "Pelo baixo com 14 m2 de área basal residual";
    ASSERT_TRUE(log.append(thinnedStandLogBlock(t)));
    const std::string both = readBytes(log.path());
    EXPECT_EQ(both.substr(0, first.size()), first);
    EXPECT_EQ(both.substr(first.size(), 166), "\r\n" + kStars + "\r\n\r\n");
    EXPECT_NE(both.find(utf8ToCp1252("Caracteristicas do povoamento - Desbaste Pelo baixo com 14 m2 de área basal "
                                     "residual\r\n")),
              std::string::npos);

    // Read back as the lines written.
    auto expected = block;
    const auto second = thinnedStandLogBlock(t);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(log.readLines(), expected);
}

TEST(LogFile, UnwritablePlacesReturnFalse)
{
    TempFolder tmp;
    EXPECT_FALSE(LogFile(tmp / "missing" / "Simulacao1.temp").append({"x"}));
    EXPECT_FALSE(LogFile().append({"x"}));
    EXPECT_FALSE(LogFile(tmp.path()).append({"x"})); // a folder, not a file
    EXPECT_EQ(LogFile(tmp / "missing.temp").readLines(), std::nullopt);
}

TEST(LogFile, DiscardedLogWritesNothingAndCountsAsWritten)
{
    TempFolder tmp;
    std::string memory;
    LogFile log(tmp / "Simulacao1.temp");
    log.collectInto(&memory);
    log.discard();
    EXPECT_TRUE(log.discards());
    EXPECT_TRUE(log.append({"x"}));
    EXPECT_EQ(memory, "");
    EXPECT_FALSE(fs::exists(tmp / "Simulacao1.temp"));
    EXPECT_FALSE(LogFile().discards());
}

TEST(LogFile, ReadOnlyFolder)
{
    TempFolder tmp;
    fs::permissions(tmp.path(), fs::perms::owner_read | fs::perms::owner_exec);
    if (::access(tmp.path().c_str(), W_OK) == 0)
        GTEST_SKIP() << "running with privileges that write into read-only folders (root); "
                        "the missing-folder case covers an unwritable log";
    EXPECT_FALSE(LogFile(tmp / "Simulacao1.temp").append({"x"}));
}

struct SplitCase {
    const char *name;
    std::string bytes;
    std::vector<std::string> lines;
};

class SplitLines : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitLines, AsALineReaderReadsThem)
{
    EXPECT_EQ(splitLines(GetParam().bytes), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, SplitLines,
    ::testing::Values(SplitCase{"Empty", "", {}}, SplitCase{"NoEnd", "x", {"x"}},
                      SplitCase{"CrLf", "a\r\nb\r\n", {"a", "b"}}, SplitCase{"EmptyLines", "\r\n\r\n", {"", ""}},
                      SplitCase{"Mixed", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
                      SplitCase{"LastWithoutEnd", "a\r\nb", {"a", "b"}}),
    [](const ::testing::TestParamInfo<SplitCase> &i) { return std::string(i.param.name); });

} // namespace
} // namespace tavelo::test
