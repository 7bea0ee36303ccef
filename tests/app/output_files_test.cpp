// tavelo-cli's outputs are never lost and never reported as written when they
// were not: a full disk, a missing folder, an output naming an input or a
// device, the log of a refused run; exit status 4; the usage on request.

#include "support/cli_test_support.h"
#include "session/results/end_session.h"
#include "session/structure/sim_log.h"
#include "support/small_disk.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace tavelo::test {
namespace {

const char *kTwoProjections = R"({"options": {"year": "2026"},
 "stand": {"age": "12", "dominantHeight": "9"},
 "density": {"planted": "1500"},
 "steps": ["project", "project"]})";

const char *kRefused = R"({"options": {"year": "2026"},
 "stand": {"age": "12", "dominantHeight": "9"},
 "density": {"planted": "0"}})";

const std::string kBlockStart = "\r\n" + std::string(160, '*') + "\r\n";

bool isCharacterDevice(const char *path)
{
    struct stat s {};
    return ::stat(path, &s) == 0 && S_ISCHR(s.st_mode);
}

size_t leftovers(const fs::path &folder)
{
    size_t n = 0;
    for (const auto &e : fs::directory_iterator(folder))
        if (e.path().filename().string().find(".part-") != std::string::npos)
            ++n;
    return n;
}

// --- The usage on request ---------------------------------------------------------------

class CliHelp : public ::testing::TestWithParam<const char *> {};

TEST_P(CliHelp, PrintsTheUsageOnStandardOutput)
{
    TempFolder tmp;
    const CliRun r = runCli({GetParam()}, tmp);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("usage: tavelo-cli run", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("tavelo-cli run SCENARIO.json --log LOG.txt"), std::string::npos);
    EXPECT_NE(r.out.find("4 an output could not be written"), std::string::npos);
    EXPECT_EQ(r.err, "");
}

INSTANTIATE_TEST_SUITE_P(Words, CliHelp, ::testing::Values("--help", "help", "-h"));

// --- Outputs that would destroy something are refused before anything is touched -----------

struct ClobberCase {
    const char *name;
    std::vector<std::string> args;
    const char *says;
};

class CliClobbering : public ::testing::TestWithParam<ClobberCase> {};

TEST_P(CliClobbering, ExitsWithOneAndTouchesNothing)
{
    TempFolder tmp;
    writeBytes(tmp / "s.json", kTwoProjections);
    writeBytes(tmp / "same.txt", "an earlier file");
    writeBytes(tmp / "l.log", "an earlier log");
    fs::create_directories(tmp / "folder");
    const CliRun r = runCli(GetParam().args, tmp);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(GetParam().says), std::string::npos) << r.err;
    EXPECT_EQ(readBytes(tmp / "s.json"), kTwoProjections);
    EXPECT_EQ(readBytes(tmp / "same.txt"), "an earlier file");
    EXPECT_EQ(readBytes(tmp / "l.log"), "an earlier log");
    EXPECT_TRUE(fs::is_directory(tmp / "folder"));
    EXPECT_FALSE(fs::exists(tmp / "r.csv"));
    EXPECT_TRUE(isCharacterDevice("/dev/null"));
    EXPECT_EQ(leftovers(tmp.path()), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CliClobbering,
    ::testing::Values(
        ClobberCase{"LogAndRecordTheSame", {"run", "s.json", "--log", "same.txt", "--record", "same.txt"},
                    "--log and --record name the same file same.txt"},
        ClobberCase{"LogAndRecordTheSameSpeltApart",
                    {"run", "s.json", "--log", "same.txt", "--record", "folder/../same.txt"},
                    "--log and --record name the same file"},
        ClobberCase{"LogIsTheScenario", {"run", "s.json", "--log", "s.json"},
                    "--log s.json is the scenario file s.json; it would be overwritten"},
        ClobberCase{"RecordIsTheScenario", {"run", "s.json", "--log", "l.log", "--record", "./s.json"},
                    "--record ./s.json is the scenario file s.json"},
        ClobberCase{"LogIsADevice", {"run", "s.json", "--log", "/dev/null"},
                    "--log /dev/null: it is not a regular file"},
        ClobberCase{"RecordIsADevice", {"run", "s.json", "--log", "l.log", "--record", "/dev/null"},
                    "--record /dev/null: it is not a regular file"},
        ClobberCase{"LogIsAFolder", {"run", "s.json", "--log", "folder"}, "--log folder: it is a folder"},
        ClobberCase{"CompareCsvIsAScenario", {"compare", "s.json", "--chart", "c.svg", "--csv", "s.json"},
                    "--csv s.json is the scenario file s.json"},
        ClobberCase{"CompareChartAndCsvTheSame", {"compare", "s.json", "--chart", "c.svg", "--csv", "c.svg"},
                    "--chart and --csv name the same file c.svg"}),
    [](const ::testing::TestParamInfo<ClobberCase> &i) { return std::string(i.param.name); });

// --- The log is replaced only once the run writes it ------------------------------------------

TEST(CliLog, ARefusedRunKeepsAnEarlierLog)
{
    TempFolder tmp;
    writeBytes(tmp / "s.json", kRefused);
    writeBytes(tmp / "l.log", "an earlier log");
    const CliRun r = runCli({"run", "s.json", "--log", "l.log"}, tmp);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(readBytes(tmp / "l.log"), "an earlier log");
}

TEST(CliLog, ARunReplacesAnEarlierLogWhole)
{
    TempFolder tmp;
    writeBytes(tmp / "s.json", kTwoProjections);
    writeBytes(tmp / "l.log", std::string(500000, 'o'));
    const CliRun r = runCli({"run", "s.json", "--log", "l.log"}, tmp);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string log = readBytes(tmp / "l.log");
    EXPECT_EQ(log.rfind(kBlockStart, 0), 0u);
    EXPECT_EQ(log.find("oooo"), std::string::npos); // nothing of the old bytes
    EXPECT_LT(log.size(), 500000u);
}

TEST(CliLog, AFolderThatIsMissingExitsWithFour)
{
    TempFolder tmp;
    writeBytes(tmp / "s.json", kTwoProjections);
    const CliRun r = runCli({"run", "s.json", "--log", "missing/l.log", "--record", "r.csv"}, tmp);
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_NE(r.err.find("tavelo-cli: cannot write missing/l.log: No such file or directory"), std::string::npos)
        << r.err;
    // The other output is still written.
    EXPECT_TRUE(fs::exists(tmp / "r.csv"));
}

TEST(CliLog, AReadOnlyFolderExitsWithFour)
{
    // Permissions do not stop root; a read-only file system stops everyone.
    SmallDisk disk("64k", SmallDisk::Access::ReadOnly);
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot();
    TempFolder tmp;
    writeBytes(tmp / "s.json", kTwoProjections);
    const CliRun r = runCli({"run", "s.json", "--log", (disk / "l.log").string()}, tmp);
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_NE(r.err.find("cannot write " + (disk / "l.log").string() + ": Read-only file system"), std::string::npos)
        << r.err;
    // The box the windows show once is a note here.
    EXPECT_NE(r.err.find("note: Erro!: Erro de gravação do ficheiro..."), std::string::npos) << r.err;
}

TEST(CliLog, AFullDiskKeepsTheEarlierLogAndExitsWithFour)
{
    SmallDisk disk;
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot();
    TempFolder tmp;
    writeBytes(tmp / "s.json", kTwoProjections);
    writeBytes(disk / "l.log", "an earlier log");
    disk.fill();
    const CliRun r = runCli({"run", "s.json", "--log", (disk / "l.log").string()}, tmp);
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_NE(r.err.find("cannot write " + (disk / "l.log").string() + ": No space left on device"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(readBytes(disk / "l.log"), "an earlier log");
    EXPECT_EQ(leftovers(disk.path()), 0u);
}

TEST(CliLog, ADiskThatFillsUpMidwayLeavesWholeBlocksOnly)
{
    // One page: two blocks of about 2 kB fit, the third does not.
    SmallDisk disk("4k");
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot();
    TempFolder tmp;
    writeBytes(tmp / "s.json", kTwoProjections);
    const CliRun r = runCli({"run", "s.json", "--log", (disk / "l.log").string()}, tmp);
    EXPECT_EQ(r.status, 4) << r.err;
    const std::string log = readBytes(disk / "l.log");
    ASSERT_FALSE(log.empty());
    // Ends with the end of a block: the Total line and its line end.
    const size_t lastLine = log.rfind("\r\n", log.size() - 3);
    EXPECT_EQ(log.compare(lastLine + 2, 6, " Total"), 0) << log.substr(lastLine);
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
    EXPECT_EQ(log.rfind(kBlockStart), log.find(kBlockStart, 1)); // two blocks
}

// --- The record ---------------------------------------------------------------------------

TEST(CliRecord, AFullDiskKeepsTheEarlierRecordAndExitsWithFour)
{
    SmallDisk disk;
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot();
    TempFolder tmp;
    writeBytes(tmp / "s.json", kTwoProjections);
    writeBytes(disk / "r.csv", "an earlier record\n");
    disk.fill();
    const CliRun r = runCli({"run", "s.json", "--log", "l.log", "--record", (disk / "r.csv").string()}, tmp);
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_NE(r.err.find("cannot write " + (disk / "r.csv").string() + ": No space left on device"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(readBytes(disk / "r.csv"), "an earlier record\n");
    EXPECT_EQ(leftovers(disk.path()), 0u);
}

TEST(CliRecord, AMissingFolderExitsWithFourAfterTheRun)
{
    TempFolder tmp;
    writeBytes(tmp / "s.json", kTwoProjections);
    const CliRun r = runCli({"run", "s.json", "--log", "l.log", "--record", "missing/r.csv"}, tmp);
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_NE(r.err.find("cannot write missing/r.csv: No such file or directory"), std::string::npos) << r.err;
    EXPECT_NE(readBytes(tmp / "l.log").find(kBlockStart), std::string::npos);
}

// --- The log file itself --------------------------------------------------------------------

TEST(LogFileBlocks, TheFirstBlockReplacesAndTheOthersAppend)
{
    TempFolder tmp;
    writeBytes(tmp / "l.log", "earlier");
    LogFile log(tmp / "l.log");
    log.replaceOnFirstBlock();
    EXPECT_EQ(readBytes(tmp / "l.log"), "earlier");
    ASSERT_TRUE(log.append({"one"}));
    EXPECT_EQ(readBytes(tmp / "l.log"), "one\r\n");
    ASSERT_TRUE(log.append({"two", "três"}));
    EXPECT_EQ(readBytes(tmp / "l.log"), "one\r\ntwo\r\ntr\xEAs\r\n");
}

TEST(LogFileBlocks, WithoutReplacingTheFileGrows)
{
    TempFolder tmp;
    writeBytes(tmp / "l.log", "earlier\r\n");
    LogFile log(tmp / "l.log");
    ASSERT_TRUE(log.append({"one"}));
    EXPECT_EQ(readBytes(tmp / "l.log"), "earlier\r\none\r\n");
}

TEST(LogFileBlocks, ABlockThatDoesNotFitIsNotWrittenAtAll)
{
    SmallDisk disk;
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot();
    LogFile log(disk / "l.log");
    std::string why;
    log.reportFailureTo(&why);
    ASSERT_TRUE(log.append({"first block"}));
    disk.fill();
    const std::vector<std::string> big(200, std::string(100, 'b'));
    EXPECT_FALSE(log.append(big));
    EXPECT_EQ(why, "No space left on device");
    EXPECT_EQ(readBytes(disk / "l.log"), "first block\r\n");
    // Without stopAfterFailure a later block that fits is still written.
    EXPECT_TRUE(log.append({"x"}));
    EXPECT_EQ(readBytes(disk / "l.log"), "first block\r\nx\r\n");
}

TEST(LogFileBlocks, AfterAFailureNothingMoreIsWrittenWhenAsked)
{
    TempFolder tmp;
    LogFile log(tmp / "missing" / "l.log");
    log.stopAfterFailure();
    std::string why;
    log.reportFailureTo(&why);
    EXPECT_FALSE(log.append({"one"}));
    EXPECT_EQ(why, "No such file or directory");
    fs::create_directories(tmp / "missing");
    EXPECT_FALSE(log.append({"two"}));
    EXPECT_FALSE(fs::exists(tmp / "missing" / "l.log"));
}

TEST(LogFileBlocks, AFailedFirstBlockLeavesNoEmptyFile)
{
    SmallDisk disk;
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot();
    disk.fill();
    LogFile log(disk / "l.log");
    EXPECT_FALSE(log.append(std::vector<std::string>(100, std::string(100, 'b'))));
    EXPECT_FALSE(fs::exists(disk / "l.log"));
}

// --- "Guardar a simulação" shares the writing ------------------------------------------------

TEST(SavedSimulation, AFullDiskKeepsTheEarlierCopyAndShowsTheBox)
{
    SmallDisk disk;
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot();
    TempFolder tmp;
    LogFile log(tmp / "Simulacao1.temp");
    ASSERT_TRUE(log.append(std::vector<std::string>(100, std::string(120, 'x'))));
    writeBytes(disk / "copia.txt", "an earlier copy");
    disk.fill();
    EXPECT_EQ(saveLogCopy(log, disk / "copia.txt"), fileWriteError());
    EXPECT_EQ(readBytes(disk / "copia.txt"), "an earlier copy");
    EXPECT_EQ(leftovers(disk.path()), 0u);
}

TEST(SavedSimulation, ADeviceIsNotReplaced)
{
    TempFolder tmp;
    LogFile log(tmp / "Simulacao1.temp");
    ASSERT_TRUE(log.append({"one"}));
    EXPECT_EQ(saveLogCopy(log, "/dev/null"), fileWriteError());
    EXPECT_TRUE(isCharacterDevice("/dev/null"));
}

} // namespace
} // namespace tavelo::test
