// Batch runs over an inventory and the comparison of regimes, through the
// command-line runner's code and the executable.

#include "app/batch.h"
#include "app/cli_commands.h"
#include "app/scenario.h"
#include "cli_test_support.h"
#include "results/regime_comparison.h"
#include "structure/sim_record.h"

#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <sstream>

namespace tavelo::test {
namespace {

const char *kRegime = R"({
  "options": {"volumes": "com casca", "year": "2026"},
  "steps": ["project", {"thin": "mechanical", "percent": "25"}, "project", "project",
            {"thin": "below", "residualBasalArea": "20"}, "project", "project"]
})";

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
    return std::get<Regime>(parseRegime(kRegime, "2026"));
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
    writeBytes(dir / "regime.json", kRegime);
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
    writeBytes(dir / "regime.json", kRegime);
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
        s.SimRecord[i][0] = std::string("2026");
        s.SimRecord[i][1] = rows[i].first;
        s.SimRecord[i][6] = rows[i].second;
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
