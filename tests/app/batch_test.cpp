// Batch runs over an inventory and the comparison of regimes, through the
// command-line runner's code and the executable.

#include "inventory/batch.h"
#include "app/cli/cli_commands.h"
#include "regimes/scenario.h"
#include "support/cli_test_support.h"
#include "screens/charts/regime_chart.h"
#include "session/results/regime_comparison.h"
#include "session/structure/sim_record.h"
#include "support/small_disk.h"

#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <sstream>
#include <unistd.h>

namespace tavelo::test {
namespace {

// Stands of every route, a stand the model refuses, one it ends, and malformed rows.
const char *kInventory =
    "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95\n"
    "p1,12,9,,1500,,,,,\n"
    "a1,10,,Média,,1100.5,,,,\n"
    "t1,25,13,,,,601,22,9,31\n"
    "zero,12,9,,0,,,,,\n"
    "over,14,,Muito Elevada,2500,,,,,\n"
    "\"q,1\",14,,Elevada,1200,,,,,\n"
    "bad,12,9\n"
    "nodensity,12,9,,,,,,,\n"
    "p1,13,9,,1300,,,,,\n"
    "young,9,8,,1500,,,,,\n";

Regime regime()
{
    return std::get<Regime>(parseRegime(kTwoThinningsRegime, "2026"));
}

struct BatchOutput {
    std::string record;
    std::string errors;
    BatchSummary summary;
};

BatchOutput runInto(const TempFolder &dir, const std::string &out, unsigned jobs)
{
    writeBytes(dir / "stands.csv", kInventory);
    BatchOptions options;
    options.jobs = jobs;
    BatchOutput o;
    o.summary = runBatch(dir / "stands.csv", regime(), dir / out, options);
    o.record = readBytes(dir / out / "record.csv");
    o.errors = readBytes(dir / out / "errors.csv");
    return o;
}

TEST(Batch, EachStandsLogAndRecordAreThoseOfASingleRun)
{
    TempFolder dir;
    runInto(dir, "out", 2);
    const std::string record = readBytes(dir / "out" / "record.csv");

    // The same stands as single scenarios.
    struct Single {
        std::string id;
        std::string density;
        std::string stand;
    };
    const std::vector<Single> singles = {
        {"p1", R"({"planted": "1500"})", R"({"age": "12", "dominantHeight": "9"})"},
        {"a1", R"({"alive": "1100.5"})", R"({"age": "10", "qualityClass": "Média"})"},
        {"t1", R"({"trees": "601", "basalArea": "22", "minDiameter": "9", "p95": "31"})",
         R"({"age": "25", "dominantHeight": "13"})"},
        {"over", R"({"planted": "2500"})", R"({"age": "14", "qualityClass": "Muito Elevada"})"},
    };
    for (const Single &s : singles) {
        SCOPED_TRACE(s.id);
        const std::string json = std::string(R"({"options": {"volumes": "com casca", "year": "2026"}, "stand": )") +
                                 s.stand + R"(, "density": )" + s.density + R"(, "steps": ["project", )" +
                                 R"({"thin": "mechanical", "percent": "25"}, "project", "project", )" +
                                 R"({"thin": "below", "residualBasalArea": "20"}, "project", "project"]})";
        writeBytes(dir / (s.id + ".json"), json);
        const CliRun run = runCli({"run", (dir / (s.id + ".json")).string(), "--log",
                                   (dir / (s.id + ".single.txt")).string(), "--record",
                                   (dir / (s.id + ".single.csv")).string()},
                                  dir);
        ASSERT_GE(run.status, 0) << run.err;
        EXPECT_EQ(readBytes(dir / "out" / (s.id + ".txt")), readBytes(dir / (s.id + ".single.txt")));

        // The record rows of the stand, prefixed with its id.
        std::istringstream single(readBytes(dir / (s.id + ".single.csv")));
        std::string line;
        std::getline(single, line); // header
        int rows = 0;
        while (std::getline(single, line)) {
            EXPECT_NE(record.find("\n" + s.id + "," + line + "\n"), std::string::npos) << line;
            ++rows;
        }
        EXPECT_GT(rows, 0);
    }
}

TEST(Batch, OutputDoesNotDependOnTheNumberOfJobs)
{
    TempFolder dir;
    const BatchOutput one = runInto(dir, "one", 1);
    const BatchOutput two = runInto(dir, "two", 2);
    const BatchOutput four = runInto(dir, "four", 4);
    EXPECT_EQ(one.record, two.record);
    EXPECT_EQ(one.errors, two.errors);
    EXPECT_EQ(one.record, four.record);
    EXPECT_EQ(one.errors, four.errors);
    for (const char *id : {"p1", "a1", "t1", "q,1", "over"}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(readBytes(dir / "one" / (std::string(id) + ".txt")),
                  readBytes(dir / "two" / (std::string(id) + ".txt")));
    }
}

TEST(Batch, BadStandsLandInErrorsAndTheOthersComplete)
{
    TempFolder dir;
    const BatchOutput o = runInto(dir, "out", 2);
    EXPECT_EQ(o.errors,
              "id,status,title,text\n"
              "a1,refused,Dados inválidos - A AB residual deve ter valores entre 50 e 75 % da AB do povoamento,"
              "\"Neste caso, a área basal residual deve ter valores entre 9.89 e 14.83 m2/ha\"\n"
              "zero,refused,Dados Inválidos,Dados Inválidos\n"
              "over,ended,Resultados Inconsistentes,Simulação fora dos limites do modelo!A simulação vai terminar.\n"
              "bad,malformed,,\"line 8: expected 10 cells, found 3\"\n"
              "nodensity,malformed,,\"line 9: give one density: planted, alive, or trees, basalArea, minDiameter and "
              "p95\"\n"
              "p1,malformed,,\"line 10: the id \"\"p1\"\" was already used\"\n"
              "young,refused,Dados Inválidos,\"O botão \"\"Dados povoamento não desbastado\"\" não está disponível "
              "com a idade \"\"9\"\".\"\n");
    EXPECT_EQ(o.summary.stands, 10u);
    EXPECT_EQ(o.summary.done, 3u);
    EXPECT_EQ(o.summary.refused, 3u);
    EXPECT_EQ(o.summary.endedByModel, 1u);
    EXPECT_EQ(o.summary.malformed, 3u);
    // A stand that reached its stand table keeps its log up to where it
    // stopped; one refused before that has none.
    for (const char *id : {"p1", "a1", "t1", "q,1", "over"})
        EXPECT_TRUE(fs::exists(dir / "out" / (std::string(id) + ".txt"))) << id;
    EXPECT_FALSE(fs::exists(dir / "out" / "zero.txt"));
    // A cell with a comma is quoted in the record.
    EXPECT_NE(o.record.find("\n\"q,1\",2026,14,AD,"), std::string::npos);
}

TEST(Batch, InventoryWithoutTheColumnsIsRefusedWhole)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", "id,age,dominantHeight\np1,12,9\n");
    writeBytes(dir / "regime.json", kTwoThinningsRegime);
    const CliRun run = runCli({"batch", (dir / "stands.csv").string(), "--regime", (dir / "regime.json").string(),
                               "--out", (dir / "out").string()},
                              dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("column \"qualityClass\" missing"), std::string::npos) << run.err;
}

TEST(Batch, CommandLineReportsASummary)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kInventory);
    writeBytes(dir / "regime.json", kTwoThinningsRegime);
    const CliRun run = runCli({"batch", (dir / "stands.csv").string(), "--regime", (dir / "regime.json").string(),
                               "--out", (dir / "out").string(), "--jobs", "2"},
                              dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("10 stands: 3 done, 3 refused, 1 ended by the model, 3 malformed rows;"),
              std::string::npos)
        << run.err;
    const CliRun badJobs = runCli({"batch", (dir / "stands.csv").string(), "--regime",
                                   (dir / "regime.json").string(), "--out", (dir / "out").string(), "--jobs", "0"},
                                  dir);
    EXPECT_EQ(badJobs.status, 1);
}

TEST(CsvLine, QuotesAndCommas)
{
    const struct {
        std::string line;
        std::optional<std::vector<std::string>> cells;
    } cases[] = {
        {"a,b,,c", std::vector<std::string>{"a", "b", "", "c"}},
        {"\"a,b\",c", std::vector<std::string>{"a,b", "c"}},
        {"\"say \"\"hi\"\"\",x", std::vector<std::string>{"say \"hi\"", "x"}},
        {"", std::vector<std::string>{""}},
        {"\"open,x", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(splitCsvLine(c.line), c.cells);
    }
    EXPECT_EQ(csvCell("plain"), "plain");
    EXPECT_EQ(csvCell("a,b"), "\"a,b\"");
    EXPECT_EQ(csvCell("say \"hi\""), "\"say \"\"hi\"\"\"");
}

// --- Comparison of regimes -------------------------------------------------------

TEST(Compare, SeriesFollowTheRecord)
{
    // Record AD 20 (100.00), D 20 (70.00), AD 25 (90.49), D 25 (60.00), AD 30 (80.00).
    StandState s;
    const std::vector<std::pair<double, std::string>> rows = {
        {20, "100.00"}, {20, "70.00"}, {25, "90.49"}, {25, "60.00"}, {30, "80.00"}};
    for (size_t i = 0; i < rows.size(); ++i) {
        s.record[i][0] = std::string("2026");
        s.record[i][1] = rows[i].first;
        s.record[i][6] = rows[i].second;
    }
    const RegimeSeries r = regimeSeries("a.json", s);
    ASSERT_EQ(r.points.size(), 3u);
    EXPECT_EQ(r.points[0].age, 20);
    EXPECT_DOUBLE_EQ(r.points[0].standing, 70.0);
    EXPECT_DOUBLE_EQ(r.points[0].removedCumulative, 30.0);
    EXPECT_DOUBLE_EQ(r.points[1].standing, 60.0);
    EXPECT_NEAR(r.points[1].removedCumulative, 60.49, 1e-9);
    EXPECT_DOUBLE_EQ(r.points[2].standing, 80.0);
    EXPECT_NEAR(r.points[2].removedCumulative, 60.49, 1e-9);
    EXPECT_EQ(comparisonCsv({r}), "regime,age,standing,removedCumulative\n"
                                  "a.json,20,70.00,30.00\n"
                                  "a.json,25,60.00,60.49\n"
                                  "a.json,30,80.00,60.49\n");
}

TEST(Compare, WritesPngAndSvgWithTheRecordsSeries)
{
    const fs::path examples = TAVELO_EXAMPLES_DIR;
    const fs::path a = examples / "planted-two-thinnings.json";
    const fs::path b = examples / "thinned-by-parameters.json";
    ASSERT_TRUE(fs::exists(a)) << "the reference runs are needed: " << examples;
    TempFolder dir;
    for (const char *chart : {"chart.png", "chart.svg"}) {
        SCOPED_TRACE(chart);
        std::ostringstream err;
        const int status = cliCompare({a.string(), b.string(), "--chart", (dir / chart).string(), "--csv",
                                       (dir / "series.csv").string()},
                                      err);
        ASSERT_EQ(status, 0) << err.str();
        EXPECT_GT(fs::file_size(dir / chart), 1000u);
    }
    const QImage png(QString::fromStdString((dir / "chart.png").string()));
    EXPECT_FALSE(png.isNull());
    const std::string svg = readBytes(dir / "chart.svg");
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("Idade (anos)"), std::string::npos);

    // The series are the records' volumes: the reference record of the
    // planted stand has its thinnings at 22 (170.59 -> 122.37) and 32 (245.17 -> 132.93).
    const std::string csv = readBytes(dir / "series.csv");
    EXPECT_NE(csv.find("planted-two-thinnings.json,22,122.37,48.22\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("planted-two-thinnings.json,32,132.93,160.46\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("planted-two-thinnings.json,42,233.45,160.46\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("thinned-by-parameters.json,35,128.14,29.59\n"), std::string::npos) << csv;

    std::ostringstream err;
    EXPECT_EQ(cliCompare({a.string(), "--chart", (dir / "chart.gif").string()}, err), 1);
}

// --- Output files of a batch run ------------------------------------------------------

std::vector<std::string> batchArgs(const TempFolder &dir, const std::string &inventory, const std::string &out)
{
    return {"batch", inventory, "--regime", (dir / "regime.json").string(), "--out", (dir / out).string(),
            "--jobs", "2"};
}

TEST(BatchInput, AnInventoryReadFromAPipe)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kInventory);
    writeBytes(dir / "regime.json", kTwoThinningsRegime);
    const CliRun run = runCli(batchArgs(dir, "/dev/stdin", "out"), dir, {"", (dir / "stands.csv").string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("10 stands: 3 done, 3 refused, 1 ended by the model, 3 malformed rows;"),
              std::string::npos)
        << run.err;
    // The same results as from the file.
    const BatchOutput fromFile = runInto(dir, "file", 2);
    EXPECT_EQ(readBytes(dir / "out" / "record.csv"), fromFile.record);
    EXPECT_EQ(readBytes(dir / "out" / "errors.csv"), fromFile.errors);
}

TEST(BatchInput, AQuotedCellMayHoldALineEnd)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95\n"
                                   "p1,12,9,,1500,,,,,\n"
                                   "p2,14,,\"Mé\ndia\",1200,,,,,\n"
                                   "\"p\r\n3\",12,9,,1500,,,,,\n"
                                   "p4,12,9,,1500,,,,,\n");
    BatchOptions options;
    options.jobs = 2;
    const BatchSummary s = runBatch(dir / "stands.csv", regime(), dir / "out", options);
    // Four stands, not six: the second halves are not stands of their own.
    EXPECT_EQ(s.stands, 4u);
    EXPECT_EQ(s.done, 2u);
    EXPECT_EQ(s.malformed, 2u);
    EXPECT_EQ(readBytes(dir / "out" / "errors.csv"),
              "id,status,title,text\n"
              "p2,malformed,,\"line 3: unknown qualityClass \"\"Mé\ndia\"\"\"\n"
              "\"p\r\n3\",malformed,,\"line 5: the id must be a usable file name (no \"\"/\"\", \"\"\\\"\" or control "
              "characters)\"\n");
    EXPECT_TRUE(fs::exists(dir / "out" / "p4.txt"));
}

TEST(BatchOutputFolder, ARerunNeedsOverwriteAndThenStartsClean)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kInventory);
    writeBytes(dir / "regime.json", kTwoThinningsRegime);
    ASSERT_EQ(runCli(batchArgs(dir, "stands.csv", "out"), dir).status, 0);
    const std::string record = readBytes(dir / "out" / "record.csv");
    writeBytes(dir / "out" / "gone.txt", "a stand of an earlier inventory");
    writeBytes(dir / "out" / "notes.md", "the user's own file");

    const CliRun refused = runCli(batchArgs(dir, "stands.csv", "out"), dir);
    EXPECT_EQ(refused.status, 1) << refused.err;
    EXPECT_NE(refused.err.find("is not empty; give --overwrite"), std::string::npos) << refused.err;
    EXPECT_TRUE(fs::exists(dir / "out" / "gone.txt"));

    auto args = batchArgs(dir, "stands.csv", "out");
    args.push_back("--overwrite");
    const CliRun again = runCli(args, dir);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_FALSE(fs::exists(dir / "out" / "gone.txt"));
    EXPECT_EQ(readBytes(dir / "out" / "notes.md"), "the user's own file");
    EXPECT_EQ(readBytes(dir / "out" / "record.csv"), record);

    // An inventory among the outputs would be lost.
    writeBytes(dir / "out" / "stands.txt", kInventory);
    auto own = batchArgs(dir, (dir / "out" / "stands.txt").string(), "out");
    own.push_back("--overwrite");
    const CliRun ownInput = runCli(own, dir);
    EXPECT_EQ(ownInput.status, 1) << ownInput.err;
    EXPECT_NE(ownInput.err.find("it would be overwritten"), std::string::npos) << ownInput.err;
    EXPECT_EQ(readBytes(dir / "out" / "stands.txt"), kInventory);

    // An empty folder needs no --overwrite; a file is no folder.
    fs::create_directories(dir / "empty");
    EXPECT_EQ(runCli(batchArgs(dir, "stands.csv", "empty"), dir).status, 0);
    writeBytes(dir / "file", "x");
    EXPECT_EQ(runCli(batchArgs(dir, "stands.csv", "file"), dir).status, 1);
}

TEST(BatchOutputFolder, AStandWhoseLogFailedIsNotDone)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kInventory);
    writeBytes(dir / "regime.json", kTwoThinningsRegime);
    fs::create_directories(dir / "out" / "p1.txt"); // a folder where p1's log must go
    auto args = batchArgs(dir, "stands.csv", "out");
    args.push_back("--overwrite");
    const CliRun run = runCli(args, dir);
    EXPECT_EQ(run.status, 4) << run.err;
    EXPECT_NE(run.err.find("10 stands: 2 done, 3 refused, 1 ended by the model, 3 malformed rows, 1 logs not written"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("tavelo-cli: cannot write " + (dir / "out" / "p1.txt").string() + ": it is a folder\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(readBytes(dir / "out" / "errors.csv")
                  .find("p1,log-failed,Erro!,Erro de gravação do ficheiro... p1.txt: it is a folder\n"),
              std::string::npos);
}

TEST(BatchOutputFolder, AFullDiskExitsWithFourAndLeavesNoPartOfAFile)
{
    SmallDisk disk("16k");
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot();
    TempFolder dir;
    writeBytes(dir / "stands.csv", kInventory);
    writeBytes(dir / "regime.json", kTwoThinningsRegime);
    const BatchOutput full = runInto(dir, "full", 2);
    const CliRun run = runCli({"batch", "stands.csv", "--regime", "regime.json", "--out", (disk / "out").string()},
                              dir);
    EXPECT_EQ(run.status, 4) << run.err;
    EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
    // What is there is whole: logs equal to those of a run with room enough.
    for (const auto &e : fs::directory_iterator(disk / "out")) {
        const std::string name = e.path().filename().string();
        SCOPED_TRACE(name);
        EXPECT_EQ(name.find(".part-"), std::string::npos);
        if (e.path().extension() == ".txt") {
            EXPECT_EQ(readBytes(e.path()), readBytes(dir / "full" / name));
        }
    }
    // The record, when there was room for it, is whole too.
    if (fs::exists(disk / "out" / "record.csv")) {
        EXPECT_EQ(readBytes(disk / "out" / "record.csv"), full.record);
    }
}

TEST(BatchOutputFolder, AnInterruptedRunLeavesWholeLogsOnly)
{
    TempFolder dir;
    std::string inventory = "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95\n";
    for (int i = 0; i < 3000; ++i)
        inventory += "s" + std::to_string(i) + ",12,9,," + std::to_string(1000 + i % 900) + ",,,,,\n";
    writeBytes(dir / "stands.csv", inventory);
    writeBytes(dir / "regime.json", kTwoThinningsRegime);
    // Interrupted once some logs are written.
    const CliRun cut = interruptCli({"batch", "stands.csv", "--regime", "regime.json", "--out", "cut", "--jobs", "2"},
                                    dir, [&] { return fs::exists(dir / "cut" / "s40.txt"); });
    ASSERT_NE(cut.status, -1) << "ended by a signal instead of stopping";
    EXPECT_EQ(cut.status, 128 + SIGINT) << cut.err;
    EXPECT_NE(cut.err.find("interrupted: "), std::string::npos) << cut.err;

    // Every log there is the whole log of its stand.
    std::vector<std::string> written;
    for (const auto &e : fs::directory_iterator(dir / "cut")) {
        const std::string name = e.path().filename().string();
        EXPECT_EQ(name.find(".part-"), std::string::npos) << name;
        if (e.path().extension() == ".txt")
            written.push_back(e.path().stem().string());
    }
    ASSERT_FALSE(written.empty());
    const std::string record = readBytes(dir / "cut" / "record.csv");
    for (size_t i = 0; i < written.size(); i += 97) {
        SCOPED_TRACE(written[i]);
        const std::string log = readBytes(dir / "cut" / (written[i] + ".txt"));
        EXPECT_GT(log.size(), 1000u);
        EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
        EXPECT_NE(record.find("\n" + written[i] + ","), std::string::npos);
    }
}

// --- Comparison: outputs, outcomes and names -----------------------------------------------

const char *kProjectOnce = R"({"options": {"year": "2026"}, "stand": {"age": "12", "dominantHeight": "9"},
 "density": {"planted": "1500"}, "steps": ["project"]})";

struct CompareTmpCase {
    const char *name;
    const char *environment;
};

class CompareScratch : public ::testing::TestWithParam<CompareTmpCase> {};

TEST_P(CompareScratch, NeedsNoTemporaryFolder)
{
    TempFolder dir;
    writeBytes(dir / "a.json", kProjectOnce);
    writeBytes(dir / "file", "x");
    const CliRun run = runCli({"compare", "a.json", "--chart", "c.svg", "--csv", "c.csv"}, dir,
                              {GetParam().environment, ""});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(dir / "c.svg"));
    EXPECT_NE(readBytes(dir / "c.csv").find("a.json,17,"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Environments, CompareScratch,
                         ::testing::Values(CompareTmpCase{"Missing", "TMPDIR=/nonexistent/tavelo"},
                                           CompareTmpCase{"NotAFolder", "TMPDIR=file"},
                                           CompareTmpCase{"ReadOnlyFileSystem", "TMPDIR=/proc"}),
                         [](const ::testing::TestParamInfo<CompareTmpCase> &i) { return std::string(i.param.name); });

TEST(CompareOutcomes, ARefusedOrEndedRegimeIsNamedAndSetsTheStatus)
{
    TempFolder dir;
    writeBytes(dir / "good.json", kProjectOnce);
    writeBytes(dir / "zero.json", R"({"options": {"year": "2026"}, "stand": {"age": "12", "dominantHeight": "9"},
        "density": {"planted": "0"}})");
    writeBytes(dir / "over.json", R"({"options": {"year": "2026"}, "stand": {"age": "15", "dominantHeight": "10"},
        "density": {"planted": "2000"},
        "steps": ["project", "project", "project", "project", "project", "project"]})");

    const CliRun refused = runCli({"compare", "good.json", "zero.json", "--chart", "r.svg", "--csv", "r.csv"}, dir);
    EXPECT_EQ(refused.status, 2) << refused.err;
    EXPECT_NE(refused.err.find("zero.json: refused: Dados Inválidos: Dados Inválidos"), std::string::npos)
        << refused.err;
    EXPECT_TRUE(fs::exists(dir / "r.svg"));
    EXPECT_NE(readBytes(dir / "r.csv").find("good.json,17,"), std::string::npos);

    const CliRun ended =
        runCli({"compare", "over.json", "zero.json", "good.json", "--chart", "e.png", "--csv", "e.csv"}, dir);
    EXPECT_EQ(ended.status, 3) << ended.err;
    EXPECT_NE(ended.err.find("over.json: ended: Resultados Inconsistentes: "), std::string::npos) << ended.err;
    EXPECT_NE(ended.err.find("zero.json: refused: "), std::string::npos) << ended.err;
    // The others are drawn: the ended regime up to where it stopped, the good one whole.
    const std::string csv = readBytes(dir / "e.csv");
    EXPECT_NE(csv.find("over.json,15,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("good.json,17,"), std::string::npos) << csv;
    EXPECT_FALSE(QImage(QString::fromStdString((dir / "e.png").string())).isNull());
}

TEST(CompareNames, FilesOfTheSameNameAreToldApart)
{
    const struct {
        std::vector<std::string> paths;
        std::vector<std::string> labels;
    } cases[] = {
        {{"a.json", "b.json"}, {"a.json", "b.json"}},
        {{"x/s.json", "y/s.json", "t.json"}, {"x/s.json", "y/s.json", "t.json"}},
        {{"/r/x/s.json", "/r/y/x/s.json"}, {"r/x/s.json", "y/x/s.json"}},
        {{"s.json", "./s.json"}, {"s.json", "s.json (2)"}},
        {{"x/s.json", "s.json"}, {"x/s.json", "s.json"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.paths.front());
        EXPECT_EQ(regimeLabels(c.paths), c.labels);
    }

    TempFolder dir;
    fs::create_directories(dir / "x");
    fs::create_directories(dir / "y");
    writeBytes(dir / "x" / "s.json", kProjectOnce);
    writeBytes(dir / "y" / "s.json", R"({"options": {"year": "2026"}, "stand": {"age": "12", "dominantHeight": "9"},
        "density": {"planted": "1000"}, "steps": ["project"]})");
    const CliRun run = runCli({"compare", "x/s.json", "y/s.json", "--chart", "c.svg", "--csv", "c.csv"}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string csv = readBytes(dir / "c.csv");
    EXPECT_NE(csv.find("\nx/s.json,17,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\ny/s.json,17,"), std::string::npos) << csv;
}

TEST(CompareChart, TheLegendOfTwentyRegimesFits)
{
    std::vector<RegimeSeries> regimes;
    for (int i = 0; i < 20; ++i)
        regimes.push_back({"regime-" + std::to_string(i) + ".json", {{20, 100.0 + i, 0}, {25, 150.0 + i, 10}}, std::nullopt});
    const auto svg = renderComparisonChart(regimes, QStringLiteral("svg"));
    ASSERT_TRUE(svg.has_value());
    // A legend line that does not fit is not drawn at all: every one of the
    // forty (two per regime) must be in the picture.
    const std::string text = svg->toStdString();
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        const std::string name = "regime-" + std::to_string(i) + ".json";
        EXPECT_NE(text.find(standingSetName(name)), std::string::npos);
        EXPECT_NE(text.find(removedSetName(name)), std::string::npos);
    }
    EXPECT_EQ(comparisonChartSize(2), QSize(1400, 800));
    EXPECT_GT(comparisonChartSize(20).height(), 800);
}

class CompareFullDisk : public ::testing::TestWithParam<const char *> {};

TEST_P(CompareFullDisk, KeepsTheEarlierFileAndExitsWithFour)
{
    SmallDisk disk;
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot();
    TempFolder dir;
    writeBytes(dir / "a.json", kProjectOnce);
    const std::string output = (disk / GetParam()).string();
    writeBytes(output, "an earlier output");
    disk.fill();
    std::vector<std::string> args = {"compare", "a.json", "--chart", (dir / "c.svg").string()};
    if (std::string(GetParam()).ends_with(".csv"))
        args.insert(args.end(), {"--csv", output});
    else
        args[3] = output;
    const CliRun run = runCli(args, dir);
    EXPECT_EQ(run.status, 4) << run.err;
    EXPECT_NE(run.err.find("cannot write " + output + ": No space left on device"), std::string::npos) << run.err;
    EXPECT_EQ(readBytes(output), "an earlier output");
}

INSTANTIATE_TEST_SUITE_P(Outputs, CompareFullDisk, ::testing::Values("chart.svg", "chart.png", "series.csv"));

// The terminal's progress bar: redrawn only when the share done changes, and
// always at the end.
TEST(TerminalProgressBar, RedrawsOnlyWhenTheShareChanges)
{
    std::ostringstream counted, percent;
    auto byCount = terminalProgressBar(counted, ProgressText::Count);
    auto byPercent = terminalProgressBar(percent, ProgressText::Percent);
    for (size_t done : {size_t(0), size_t(1), size_t(150), size_t(151), size_t(200)}) {
        byCount(done, 200);
        byPercent(done, 200);
    }
    const std::string bar0 = "[" + std::string(40, '.') + "] ";
    const std::string bar30 = "[" + std::string(30, '#') + std::string(10, '.') + "] ";
    const std::string full = "[" + std::string(40, '#') + "] ";
    // 1 of 200 is still 0 %, and 151 still 75 %: neither is drawn.
    EXPECT_EQ(counted.str(), "\r" + bar0 + "0/200\r" + bar30 + "150/200\r" + full + "200/200");
    EXPECT_EQ(percent.str(), "\r" + bar0 + "0 %\r" + bar30 + "75 %\r" + full + "100 %");
}

} // namespace
} // namespace tavelo::test

int main(int argc, char **argv)
{
    // The comparison chart is drawn without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
