// tavelo-cli plan with neighbours: a 3 x 3 map of 100 m squares, its plans
// read back from plan.csv and checked against the grid by a count of their
// own; layers in degrees or without outlines refused; the results file's map
// opening in a GIS with its style.

#include "inventory/sqlite_db.h"
#include "base/csv.h"
#include "support/cli_test_support.h"
#include "support/gpkg_validator.h"
#include "support/inventory_rows.h"

#include <cmath>
#include <map>
#include <numeric>
#include <set>
#include <sstream>
#include <cstdio>

namespace tavelo::test {
namespace {

// The shipped plan example's nine stands, row by row on the grid; the centre
// has no area, so it is not planned. Its economics and search space too.
const fs::path kPlanExamples = kExamples.parent_path();

class PlanSpatialCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeBytes(dir / "econ.json", readBytes(kPlanExamples / "plan-economics.json"));
        writeBytes(dir / "space.json", readBytes(kPlanExamples / "plan-space.json"));
        writeBytes(dir / "stands.csv", readBytes(kPlanExamples / "forest.csv"));
    }
    // The inventory as a GeoPackage layer, cell i a square of `side` units at (i % 3, i / 3).
    // With `crossed`, that cell's outline crosses itself (a bow tie).
    void writeGrid(const std::string &file, const char *srs, double side, int crossed = -1) const
    {
        std::string csv;
        std::istringstream lines(readBytes(kPlanExamples / "forest.csv"));
        int row = -1;
        for (std::string line; std::getline(lines, line); ++row) {
            if (row < 0) {
                csv += line + ",wkt\n";
                continue;
            }
            const double x = -50000.0 * (side > 1 ? 1 : 0) + side * (row % 3), y = side * (row / 3);
            const auto at = [](double a, double b) { return std::to_string(a) + " " + std::to_string(b); };
            const bool bow = row == crossed;
            csv += line + ",\"POLYGON ((" + at(x, y) + "," + at(x + side, bow ? y + side : y) + "," +
                   at(x + side, bow ? y : y + side) + "," + at(x, y + side) + "," + at(x, y) + "))\"\n";
        }
        writeBytes(dir / "grid.csv", csv);
        ASSERT_EQ(std::system(("cd " + shellQuoted(dir.path().string()) + " && ogr2ogr -f GPKG -nln stands -nlt "
                               "POLYGON -a_srs " + srs + " -oo AUTODETECT_TYPE=YES -oo GEOM_POSSIBLE_NAMES=wkt -oo "
                               "KEEP_GEOM_COLUMNS=NO " + file + " grid.csv >/dev/null 2>&1").c_str()),
                  0);
    }
    CliRun plan(const std::string &inventory, std::vector<std::string> extra) const
    {
        std::vector<std::string> args{"plan", inventory, "--economics", "econ.json", "--horizon", "30",
                                      "--space", "space.json"};
        args.insert(args.end(), extra.begin(), extra.end());
        return runCli(args, dir);
    }
    TempFolder dir;
};

// The grid's cells of the planned stands, by id.
const std::map<std::string, int> kCell = {{"n1", 0}, {"n2", 1}, {"n3", 2}, {"n4", 3}, {"n5", 5},
                                          {"n6", 6}, {"n7", 7}, {"n8", 8}};

struct Felled {
    int period;
    double area;
    int cell;
};

std::vector<Felled> felledFrom(const std::string &planCsv)
{
    std::vector<Felled> out;
    const auto rows = csvTable(planCsv);
    for (size_t i = 1; i < rows.size(); ++i)
        if (!rows[i][5].empty())
            out.push_back({(std::stoi(rows[i][5]) - 2026) / 5, std::stod(rows[i][1]), kCell.at(rows[i][0])});
    return out;
}

bool side(int a, int b)
{
    return std::abs(a / 3 - b / 3) + std::abs(a % 3 - b % 3) == 1;
}

size_t pairsWithin(const std::vector<Felled> &f, int w)
{
    size_t n = 0;
    for (size_t i = 0; i < f.size(); ++i)
        for (size_t j = i + 1; j < f.size(); ++j)
            if (side(f[i].cell, f[j].cell) && std::abs(f[i].period - f[j].period) < w)
                ++n;
    return n;
}

double largestOpening(const std::vector<Felled> &f, int w)
{
    double largest = 0.0;
    for (int t = 0; t + w <= 6; ++t) {
        std::vector<size_t> root(f.size());
        std::iota(root.begin(), root.end(), size_t{0});
        const auto find = [&](size_t x) {
            while (root[x] != x)
                x = root[x];
            return x;
        };
        const auto in = [&](size_t i) { return f[i].period >= t && f[i].period < t + w; };
        for (size_t i = 0; i < f.size(); ++i)
            for (size_t j = 0; j < f.size(); ++j)
                if (in(i) && in(j) && side(f[i].cell, f[j].cell))
                    root[find(i)] = find(j);
        std::vector<double> area(f.size(), 0.0);
        for (size_t i = 0; i < f.size(); ++i)
            if (in(i))
                largest = std::max(largest, area[find(i)] += f[i].area);
    }
    return largest;
}

TEST_F(PlanSpatialCli, PlansKeepTheRuleAsTheGridCountsIt)
{
    writeGrid("grid.gpkg", "EPSG:3763", 100.0);
    const CliRun free = plan("grid.gpkg", {"--out", "free"});
    ASSERT_EQ(free.status, 0) << free.err;
    const std::vector<Felled> aspatial = felledFrom(readBytes(dir / "free/plan.csv"));
    ASSERT_GT(pairsWithin(aspatial, 2), 0u) << "the rule would bind nothing";

    const CliRun hard = plan("grid.gpkg", {"--out", "hard", "--green-up", "5"});
    ASSERT_EQ(hard.status, 0) << hard.err;
    EXPECT_EQ(pairsWithin(felledFrom(readBytes(dir / "hard/plan.csv")), 1), 0u);
    // Where the rule costs: each period's revenue without it is the free plan's.
    const auto freePeriods = csvTable(readBytes(dir / "free/periods.csv"));
    const auto hardPeriods = csvTable(readBytes(dir / "hard/periods.csv"));
    ASSERT_EQ(freePeriods.size(), hardPeriods.size());
    ASSERT_EQ(hardPeriods[0].back(), "revenueWithoutRule");
    ASSERT_EQ(hardPeriods[0][6], "revenue");
    for (size_t i = 1; i < hardPeriods.size(); ++i) {
        EXPECT_EQ(hardPeriods[i].back(), freePeriods[i][6]) << i;
        EXPECT_EQ(freePeriods[i].back(), "") << i;
    }
    EXPECT_NE(hard.err.find("neighbours: 8 pairs; 0 pairs felled within the green-up"), std::string::npos) << hard.err;
    // The centre has no area: the eight sides around it are the pairs.
    const auto adjacency = csvTable(readBytes(dir / "hard/adjacency.csv"));
    ASSERT_EQ(adjacency.size(), 9u);
    EXPECT_EQ(adjacency[0], (std::vector<std::string>{"stand_a", "stand_b", "shared_boundary_m"}));
    for (size_t i = 1; i < adjacency.size(); ++i) {
        EXPECT_TRUE(side(kCell.at(adjacency[i][0]), kCell.at(adjacency[i][1])));
        EXPECT_EQ(adjacency[i][2], "100.00");
    }

    const CliRun soft = plan("grid.gpkg", {"--out", "soft", "--green-up", "10", "--adjacency", "soft:300"});
    ASSERT_EQ(soft.status, 0) << soft.err;
    const size_t conflicts = pairsWithin(felledFrom(readBytes(dir / "soft/plan.csv")), 2);
    EXPECT_NE(soft.err.find("; " + std::to_string(conflicts) + " pairs felled within the green-up; charged " +
                            std::to_string(300 * conflicts) + ".00 €"),
              std::string::npos)
        << soft.err;

    const CliRun open = plan("grid.gpkg", {"--out", "open", "--green-up", "10", "--max-opening", "7", "--db",
                                           "plan.gpkg"});
    ASSERT_EQ(open.status, 0) << open.err;
    const std::vector<Felled> felled = felledFrom(readBytes(dir / "open/plan.csv"));
    EXPECT_LE(largestOpening(felled, 2), 7.0 + 1e-9);
    EXPECT_GT(largestOpening(aspatial, 2), 7.0) << "the limit would bind nothing";
    EXPECT_NE(open.err.find("0 openings over 7 ha"), std::string::npos) << open.err;
    // openings.csv: every felled stand in an opening, none over the limit.
    const auto openings = csvTable(readBytes(dir / "open/openings.csv"));
    ASSERT_GT(openings.size(), 1u);
    std::set<std::string> listed;
    for (size_t i = 1; i < openings.size(); ++i) {
        EXPECT_LE(std::stod(openings[i][3]), 7.0);
        std::istringstream ids(openings[i][2]);
        for (std::string id; ids >> id;)
            listed.insert(id);
    }
    EXPECT_EQ(listed.size(), felled.size());

    // The map opens in a GIS with its style, and the file stays a valid GeoPackage.
    SqliteDb db(dir / "plan.gpkg", SqliteDb::Mode::ReadOnly);
    SqliteStatement q = db.prepare("SELECT count(*) FROM tavelo_map WHERE (felling_year IS NULL) = (opening_id IS NULL)");
    ASSERT_TRUE(q.step());
    EXPECT_EQ(q.integer(0), 8);
    SqliteStatement n = db.prepare("SELECT (SELECT count(*) FROM tavelo_plan_adjacency), (SELECT count(*) FROM "
                                   "tavelo_plan_openings), (SELECT count(*) FROM layer_styles WHERE useAsDefault AND "
                                   "f_table_name = 'tavelo_map' AND styleQML LIKE '%categorizedSymbol%')");
    ASSERT_TRUE(n.step());
    EXPECT_EQ(n.integer(0), 8);
    EXPECT_EQ(n.integer(1), static_cast<int64_t>(openings.size() - 1));
    EXPECT_EQ(n.integer(2), 1);
    FILE *pipe = popen(("cd " + shellQuoted(dir.path().string()) + " && ogrinfo -ro -q plan.gpkg 2>&1").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string layers;
    for (char buf[256]; fgets(buf, sizeof buf, pipe);)
        layers += buf;
    pclose(pipe);
    EXPECT_NE(layers.find("layer_styles"), std::string::npos) << layers;
    if (const auto valid = validateGpkg(dir / "plan.gpkg")) {
        EXPECT_EQ(*valid, 0);
    }
}

TEST_F(PlanSpatialCli, AnInvalidOutlineIsToldByStandAndPlannedWithoutNeighbours)
{
    writeGrid("crossed.gpkg", "EPSG:3763", 100.0, 1); // n2
    const CliRun r = plan("crossed.gpkg", {"--out", "o", "--green-up", "5"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("8 planned, 1 without candidates (see errors.csv); 29 candidates; 1 planned without "
                         "neighbours, their outlines invalid"),
              std::string::npos)
        << r.err;
    EXPECT_NE(readBytes(dir / "o/errors.csv").find("\nn2,invalid outline,"), std::string::npos);
    EXPECT_EQ(readBytes(dir / "o/adjacency.csv").find("n2"), std::string::npos);
    EXPECT_NE(readBytes(dir / "o/plan.csv").find("\nn2,"), std::string::npos);
}

struct RefusalCase {
    const char *name;
    std::vector<std::string> args;
    const char *inventory; // "grid.csv" or a GeoPackage made as named below
    const char *says;
};

class PlanSpatialRefusal : public PlanSpatialCli, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(PlanSpatialRefusal, ExitsOneSayingWhy)
{
    const RefusalCase &c = GetParam();
    writeGrid("degrees.gpkg", "EPSG:4326", 0.001);
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--out", "o"});
    const CliRun r = plan(c.inventory, args);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "o/plan.csv"));
}

INSTANTIATE_TEST_SUITE_P(
    Spatial, PlanSpatialRefusal,
    ::testing::Values(
        RefusalCase{"LayerInDegrees", {"--green-up", "10"}, "degrees.gpkg",
                    "the layer's reference system EPSG:4326 is in degrees"},
        RefusalCase{"NoOutlines", {"--green-up", "10"}, "stands.csv", "the stands have no outlines"},
        RefusalCase{"OpeningWithoutGreenUp", {"--max-opening", "20"}, "stands.csv", "need --green-up"},
        RefusalCase{"GreenUpNotOfFive", {"--green-up", "7"}, "stands.csv", "--green-up must be a number of years"},
        RefusalCase{"OpeningOfNothing", {"--green-up", "5", "--max-opening", "0"}, "stands.csv",
                    "--max-opening must be a number of hectares above 0"},
        RefusalCase{"NegativeBoundary", {"--green-up", "5", "--min-shared-boundary", "-1"}, "stands.csv",
                    "--min-shared-boundary must be"},
        RefusalCase{"UnknownAdjacency", {"--green-up", "5", "--adjacency", "strict"}, "stands.csv",
                    "--adjacency must be hard or soft:EUR"},
        RefusalCase{"NegativePrice", {"--green-up", "5", "--adjacency", "soft:-3"}, "stands.csv",
                    "--adjacency soft:EUR needs"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace tavelo::test
