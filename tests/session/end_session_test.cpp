// The end of a simulation: the save dialog, the saved copy of the log, a new
// simulation and the deletion of the logs on leaving.

#include "session/results/end_session.h"
#include "session/structure/sim_record.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace tavelo {
namespace {

namespace fs = std::filesystem;


using test::readBytes;
using test::TempFolder;
using test::writeBytes;

const Message kWriteError = Message::error("Erro!", "Erro de gravação do ficheiro...");

// --- Save dialog -----------------------------------------------------------------------------------

TEST(SaveDialog, TitleFilterAndProposedName)
{
    EXPECT_EQ(saveDialogTitle("Simulacao12.temp"), "Guardar a simulação - ficheiro Simulacao12.temp");
    EXPECT_EQ(proposedSaveName("Simulacao12.temp"), "Simulacao12");
    EXPECT_EQ(proposedSaveName("Simulacao3.temp"), "Simulacao3");
    EXPECT_STREQ(kSaveFilter, "text (*.txt)|*.txt");
}

// --- Saved copy ------------------------------------------------------------------------------------

TEST(SaveLogCopy, SameLinesEachEndingInCarriageReturnLineFeed)
{
    TempFolder tmp;
    const LogFile log(tmp / "Simulacao1.temp");
    ASSERT_TRUE(log.append({"", std::string(160, '*'), "", "Características do povoamento sem desbaste prévio"}));
    ASSERT_TRUE(log.append({"", "Ano 2031", "Diâmetro médio(cm)= 21.6"}));
    EXPECT_EQ(saveLogCopy(log, tmp / "copia.txt"), std::nullopt);
    EXPECT_EQ(readBytes(tmp / "copia.txt"), readBytes(log.path()));
}

TEST(SaveLogCopy, LineEndsAreMadeUniform)
{
    TempFolder tmp;
    writeBytes(tmp / "Simulacao1.temp", "a\nb\r\n\r\nc\xE9");
    EXPECT_EQ(saveLogCopy(LogFile(tmp / "Simulacao1.temp"), tmp / "copia"), std::nullopt);
    // The last line gets its line end; the accented byte stays one byte.
    EXPECT_EQ(readBytes(tmp / "copia"), "a\r\nb\r\n\r\nc\xE9\r\n");
}

TEST(SaveLogCopy, ExactlyTheNameGivenReplacingAnyFile)
{
    TempFolder tmp;
    const LogFile log(tmp / "Simulacao1.temp");
    ASSERT_TRUE(log.append({"x"}));
    writeBytes(tmp / "Simulacao1", std::string(1000, 'o'));
    EXPECT_EQ(saveLogCopy(log, tmp / "Simulacao1"), std::nullopt);
    EXPECT_EQ(readBytes(tmp / "Simulacao1"), "x\r\n");
    EXPECT_FALSE(fs::exists(tmp / "Simulacao1.txt")); // no extension added
}

TEST(SaveLogCopy, EmptyLogGivesAnEmptyFile)
{
    TempFolder tmp;
    writeBytes(tmp / "Simulacao1.temp", "");
    EXPECT_EQ(saveLogCopy(LogFile(tmp / "Simulacao1.temp"), tmp / "vazio.txt"), std::nullopt);
    ASSERT_TRUE(fs::exists(tmp / "vazio.txt"));
    EXPECT_EQ(fs::file_size(tmp / "vazio.txt"), 0u);
}

TEST(SaveLogCopy, CancelledDialogWritesNothing)
{
    TempFolder tmp;
    const LogFile log(tmp / "Simulacao1.temp");
    ASSERT_TRUE(log.append({"x"}));
    EXPECT_EQ(saveLogCopy(log, fs::path()), std::nullopt);
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);
}

TEST(SaveLogCopy, UnwritableDestinationShowsTheErrorBox)
{
    TempFolder tmp;
    const LogFile log(tmp / "Simulacao1.temp");
    ASSERT_TRUE(log.append({"x"}));
    EXPECT_EQ(saveLogCopy(log, tmp / "missing" / "copia.txt"), kWriteError);
    fs::create_directories(tmp / "pasta");
    EXPECT_EQ(saveLogCopy(log, tmp / "pasta"), kWriteError);
    EXPECT_TRUE(fs::is_directory(tmp / "pasta"));
}

TEST(SaveLogCopy, MissingLogShowsTheErrorBoxAndKeepsTheFile)
{
    TempFolder tmp;
    writeBytes(tmp / "copia.txt", "anterior");
    EXPECT_EQ(saveLogCopy(LogFile(tmp / "Simulacao9.temp"), tmp / "copia.txt"), kWriteError);
    EXPECT_EQ(readBytes(tmp / "copia.txt"), "anterior");
    EXPECT_EQ(saveLogCopy(LogFile(tmp / "Simulacao9.temp"), tmp / "nova.txt"), kWriteError);
    EXPECT_FALSE(fs::exists(tmp / "nova.txt"));
}

// --- New simulation ----------------------------------------------------------------------------------

TEST(NewSimulation, EverythingNullAndTheRecordEmpty)
{
    StandState s;
    for (StateValue *v : {&s.enteredUnthinned, &s.withBark, &s.sawlogMinDiameter, &s.topDiameter,
                          &s.sawlogMinLength, &s.stumpHeight, &s.weibullA, &s.weibullB, &s.weibullC, &s.minDiameter,
                          &s.siteIndex, &s.standAge, &s.dominantHeight, &s.basalArea, &s.treesAlive,
                          &s.treesPlanted, &s.residualBasalArea, &s.residualWeibullA, &s.residualWeibullB,
                          &s.residualWeibullC, &s.residualTrees})
        *v = 1.0;
    s.currentYear.setNumber(2031.0);
    s.projected = true;
    StandTable t;
    t.rows = {TableRow{}, TableRow{"Total", "1", "0.1", "1.0", "0.10", "0.05", "0.00", "0.05"}};
    for (int i = 0; i < 35; ++i)
        recordStand(s, t, RecordSource::StandScreen);

    newSimulation(s);
    EXPECT_FALSE(s.projected);
    EXPECT_TRUE(s.newSimulationStarted);
    EXPECT_TRUE(s.currentYear.isEmptyOrNull());
    EXPECT_EQ(s.recordLast, -1);
    EXPECT_EQ(recordRowCount(s), 0);
    for (const auto &row : s.record)
        for (const RecordCell &cell : row)
            EXPECT_TRUE(std::holds_alternative<std::monostate>(cell));
    for (const StateValue *v : {&s.enteredUnthinned, &s.withBark, &s.sawlogMinDiameter, &s.topDiameter,
                                &s.sawlogMinLength, &s.stumpHeight, &s.weibullA, &s.weibullB, &s.weibullC, &s.minDiameter,
                                &s.siteIndex, &s.standAge, &s.dominantHeight, &s.basalArea, &s.treesAlive,
                                &s.treesPlanted, &s.residualBasalArea, &s.residualWeibullA, &s.residualWeibullB,
                                &s.residualWeibullC, &s.residualTrees})
        EXPECT_TRUE(v->isNull());
}

// --- Leaving -------------------------------------------------------------------------------------------

TEST(DeleteTemporaryLogs, OnlyTempFilesGo)
{
    TempFolder tmp;
    for (const char *name : {"Simulacao1.temp", "Simulacao7.temp", "outro.temp", "guardada.txt", "Simulacao1",
                             "a.temp.bak", "temp"})
        writeBytes(tmp / name, "x");
    fs::create_directories(tmp / "pasta.temp");
    deleteTemporaryLogs(tmp.path());
    std::vector<std::string> left;
    for (const auto &e : fs::directory_iterator(tmp.path()))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"Simulacao1", "a.temp.bak", "guardada.txt", "pasta.temp", "temp"}));
}

TEST(DeleteTemporaryLogs, NothingToDeleteIsNoError)
{
    TempFolder tmp;
    EXPECT_NO_THROW(deleteTemporaryLogs(tmp.path()));
    EXPECT_NO_THROW(deleteTemporaryLogs(tmp / "missing"));
}

} // namespace
} // namespace tavelo
