// Inventories in GIS formats: a Shapefile, a GeoJSON and a GeoPackage made
// from one CSV with GDAL's own ogr2ogr give the same results as that CSV.

#include "inventory/inventory_source.h"
#include "inventory/sqlite_db.h"
#include "support/cli_test_support.h"
#include "support/gpkg_validator.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tavelo::test {
namespace {

const char *kThinOnceRegime = R"({
  "options": {"volumes": "com casca", "year": "2026"},
  "steps": ["project", {"thin": "mechanical", "percent": "25"}, "project", "project"]
})";

// Every route, a refused stand, one the model ends, a repeated id, an accent
// (for the Shapefile's encoding), each stand a square 100 m wide.
const char *kStands =
    "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95,wkt\n"
    "p1,12,9,,1500,,,,,,\"POLYGON ((0 0,100 0,100 100,0 100,0 0))\"\n"
    "a1,10,,Média,,1100.5,,,,,\"POLYGON ((100 0,200 0,200 100,100 100,100 0))\"\n"
    "t1,25,13,,,,601,22,9,31,\"POLYGON ((200 0,300 0,300 100,200 100,200 0))\"\n"
    "zero,12,9,,0,,,,,,\"POLYGON ((0 100,100 100,100 200,0 200,0 100))\"\n"
    "over,14,,Muito Elevada,2500,,,,,,\"POLYGON ((100 100,200 100,200 200,100 200,100 100))\"\n"
    "\"q,1\",14,,Elevada,1200,,,,,,\"POLYGON ((200 100,300 100,300 200,200 200,200 100))\"\n"
    "nodensity,12,9,,,,,,,,\"POLYGON ((0 200,100 200,100 300,0 300,0 200))\"\n"
    "p1,13,9,,1300,,,,,,\"POLYGON ((100 200,200 200,200 300,100 300,100 200))\"\n"
    "h,13,9.5,,1400,,,,,,\"POLYGON ((200 200,300 200,300 300,200 300,200 200))\"\n";

int shell(const std::string &command)
{
    return std::system((command + " >/dev/null 2>&1").c_str());
}

// The CSV as a GIS dataset: numbers typed, the "wkt" column as the geometry.
void ogr2ogr(const TempFolder &dir, const std::string &target, const std::string &options)
{
    const std::string cmd = "cd " + shellQuoted(dir.path().string()) + " && ogr2ogr " + options +
                            " -a_srs EPSG:3763 -oo AUTODETECT_TYPE=YES -oo GEOM_POSSIBLE_NAMES=wkt "
                            "-oo KEEP_GEOM_COLUMNS=NO " +
                            shellQuoted(target) + " stands.csv";
    ASSERT_EQ(shell(cmd), 0) << cmd;
}

std::string dump(const fs::path &file, const std::string &sql)
{
    SqliteDb db(file, SqliteDb::Mode::ReadOnly);
    SqliteStatement q = db.prepare(sql);
    std::string out;
    while (q.step()) {
        for (int c = 0; c < q.columns(); ++c)
            out += (c ? "|" : "") + q.typedText(c).value_or("<blob>");
        out += "\n";
    }
    return out;
}

// Everything a run keeps of its stands; `firstRow` is the line of the first
// stand (2 in a CSV, after its header; 1 in a layer).
std::string results(const fs::path &db, int firstRow)
{
    const std::string line = "line - " + std::to_string(firstRow);
    return dump(db, "SELECT stand_id, \"row\", year, age, code, trees, basal_area, height, v_total, v_roundwood, "
                    "v_sawlog, v_firewood FROM tavelo_record ORDER BY rowid") +
           dump(db, "SELECT stand_id, " + line + ", status, title, text FROM tavelo_errors ORDER BY rowid") +
           dump(db, "SELECT position, stand_id, " + line + ", status FROM tavelo_stands ORDER BY position");
}

TEST(GisInventory, EveryFormatGivesTheRowsOfTheCsv)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kStands);
    writeBytes(dir / "regime.json", kThinOnceRegime);
    ASSERT_EQ(runCli({"batch", "stands.csv", "--regime", "regime.json", "--db", "csv.sqlite"}, dir).status, 0);
    const std::string expected = results(dir / "csv.sqlite", 2);
    ASSERT_NE(expected.find("a1|1|"), std::string::npos) << expected;
    ASSERT_NE(expected.find("zero|"), std::string::npos) << expected;

    const struct {
        const char *file;
        const char *options;
    } formats[] = {
        // Column names cut to 10 characters, texts in Latin-1 named by the .cpg file.
        {"shp/stands.shp", "-f 'ESRI Shapefile' -lco ENCODING=ISO-8859-1"},
        {"stands.geojson", "-f GeoJSON"},
        {"stands.gpkg", "-f GPKG -nln stands"},
        // With a spatial index the features are stored in spatial order.
        {"stands.fgb", "-f FlatGeobuf -lco SPATIAL_INDEX=NO"},
    };
    fs::create_directories(dir / "shp");
    for (const auto &f : formats) {
        SCOPED_TRACE(f.file);
        ogr2ogr(dir, f.file, f.options);
        const CliRun run = runCli({"batch", f.file, "--regime", "regime.json", "--db", "gis.sqlite", "--jobs", "2"}, dir);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(results(dir / "gis.sqlite", 1), expected);
        fs::remove(dir / "gis.sqlite");
    }
    EXPECT_EQ(readBytes(dir / "shp" / "stands.cpg"), "ISO-8859-1");
    EXPECT_EQ(readBytes(dir / "shp" / "stands.dbf").find("Média"), std::string::npos) << "not stored in Latin-1";
}

TEST(GisInventory, LayerChosenByNameOrRefusedWithTheList)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kStands);
    writeBytes(dir / "regime.json", kThinOnceRegime);
    ogr2ogr(dir, "two.gpkg", "-f GPKG -nln norte");
    ogr2ogr(dir, "two.gpkg", "-f GPKG -update -nln sul -where \"id = 'h'\"");
    const CliRun several = runCli({"batch", "two.gpkg", "--regime", "regime.json", "--db", "r.sqlite"}, dir);
    EXPECT_EQ(several.status, 1);
    EXPECT_NE(several.err.find("none named \"stands\"; choose one with --layer (\"norte\", \"sul\")"), std::string::npos)
        << several.err;
    EXPECT_FALSE(fs::exists(dir / "r.sqlite"));
    for (const char *option : {"--layer", "--table"}) {
        SCOPED_TRACE(option);
        const CliRun one = runCli({"batch", "two.gpkg", option, "sul", "--regime", "regime.json", "--out", option}, dir);
        EXPECT_EQ(one.status, 0) << one.err;
        EXPECT_NE(one.err.find("1 stands: 1 done"), std::string::npos) << one.err;
    }
    const CliRun missing = runCli({"batch", "two.gpkg", "--layer", "este", "--regime", "regime.json", "--out", "o"}, dir);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("no layer \"este\" (its layers: \"norte\", \"sul\")"), std::string::npos) << missing.err;
}

TEST(GisInventory, AFeatureGdalCannotReadStopsTheRun)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kStands);
    writeBytes(dir / "regime.json", kThinOnceRegime);
    ogr2ogr(dir, "stands.shp", "-f 'ESRI Shapefile'");
    // The shapes of the later stands are cut off.
    fs::resize_file(dir / "stands.shp", fs::file_size(dir / "stands.shp") / 2);
    const CliRun run = runCli({"batch", "stands.shp", "--regime", "regime.json", "--db", "r.sqlite", "--jobs", "2"}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("stands.shp: layer \"stands\": feature "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("from .shp file"), std::string::npos) << run.err;
    // The inventory is read whole before anything is written: no results file is made.
    EXPECT_FALSE(fs::exists(dir / "r.sqlite"));
}

// A .prj GDAL cannot make sense of leaves the stands without a reference
// system: the library tells it as a warning naming the file, and batch says so.
TEST(GisInventory, AReferenceSystemGdalCannotReadIsTold)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kStands);
    writeBytes(dir / "regime.json", kThinOnceRegime);
    ogr2ogr(dir, "stands.shp", "-f 'ESRI Shapefile' -a_srs EPSG:3763");
    EXPECT_TRUE(openInventory(dir / "stands.shp", "")->warnings().empty());
    // GDAL says nothing of the first, and fails on the second.
    for (const char *prj : {"GARBAGE[nonsense", "PROJCS[\"no such system"}) {
        SCOPED_TRACE(prj);
        writeBytes(dir / "stands.prj", prj);
        const auto warnings = openInventory(dir / "stands.shp", "")->warnings();
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_EQ(warnings[0].kind, InventoryWarning::Kind::UnreadableReferenceSystem);
        EXPECT_EQ(warnings[0].file, dir / "stands.prj");
        const CliRun run = runCli({"batch", "stands.shp", "--regime", "regime.json", "--db", "r.sqlite"}, dir);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find("note: stands.prj: GDAL cannot read this reference system"), std::string::npos)
            << run.err;
    }
}

// --- The results as a map layer ----------------------------------------------

// The features' geometries as ogrinfo prints them, one a line, in order.
std::string geometries(const TempFolder &dir, const std::string &file, const std::string &layer)
{
    const std::string cmd = "cd " + shellQuoted(dir.path().string()) + " && ogrinfo -q -ro " + shellQuoted(file) +
                            " " + shellQuoted(layer) + " | grep -E '^  (MULTI)?POLYGON' > geometries.txt";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return readBytes(dir / "geometries.txt");
}

TEST(ResultsMap, HoldsTheInputsGeometriesWithTheValuesAtTheEnd)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kStands);
    writeBytes(dir / "regime.json", std::string(kThinOnceRegime).insert(1, R"("economics": {"prices": {"sawlog": "45",
        "roundwood": "30", "firewood": "8"}, "discountRate": "3"}, "carbon": {},)"));
    ogr2ogr(dir, "stands.gpkg", "-f GPKG -nlt POLYGON -nln stands");
    const std::string input = geometries(dir, "stands.gpkg", "stands");
    ASSERT_EQ(std::count(input.begin(), input.end(), '\n'), 9) << input;
    // A results GeoPackage, the inventory's own file, a plain SQLite database.
    for (const char *db : {"r.gpkg", "stands.gpkg", "r.sqlite"}) {
        SCOPED_TRACE(db);
        const CliRun run = runCli({"batch", "stands.gpkg", "--regime", "regime.json", "--db", db, "--jobs", "2"}, dir);
        ASSERT_EQ(run.status, 0) << run.err;
        // Each stand once, in inventory order, with the last record row, the value and the carbon of its run.
        EXPECT_EQ(dump(dir / db, "SELECT group_concat(stand_id || ':' || status, ' ') FROM tavelo_map"),
                  "p1:done a1:done t1:done zero:refused over:ended q,1:done nodensity:malformed p1:malformed h:done\n");
        EXPECT_EQ(dump(dir / db, "SELECT count(*) FROM tavelo_map m JOIN tavelo_final f ON f.stand_id = m.stand_id "
                                 "AND f.\"row\" = (SELECT max(\"row\") FROM tavelo_record r WHERE r.stand_id = "
                                 "m.stand_id) JOIN tavelo_economics e ON e.stand_id = m.stand_id WHERE m.status = "
                                 "'done' AND m.year IS f.year AND m.age IS f.age AND m.code IS f.code AND m.trees IS "
                                 "f.trees AND m.basal_area IS f.basal_area AND m.height IS f.height AND m.v_total IS "
                                 "f.v_total AND m.v_roundwood IS f.v_roundwood AND m.v_sawlog IS f.v_sawlog AND "
                                 "m.v_firewood IS f.v_firewood AND m.npv IS e.npv AND m.npv IS NOT NULL AND m.carbon_balance = "
                                 "(SELECT balance FROM tavelo_carbon c WHERE c.stand_id = m.stand_id)"),
                  "5\n");
        if (std::string(db) == "r.sqlite") {
            // Well-known binary, the same bytes as after the GeoPackage header (8 bytes and the envelope).
            EXPECT_EQ(dump(dir / db, "SELECT DISTINCT crs FROM tavelo_map"), "EPSG:3763\n");
            SqliteDb out(dir / db, SqliteDb::Mode::ReadWrite);
            out.exec("ATTACH " + std::string("'") + (dir / "r.gpkg").string() + "' AS g");
            SqliteStatement q = out.prepare("SELECT count(*) FROM tavelo_map s JOIN g.tavelo_map p ON p.position = "
                                            "s.position WHERE substr(p.geom, 41) = s.geom");
            ASSERT_TRUE(q.step());
            EXPECT_EQ(q.integer(0), 9);
            continue;
        }
        EXPECT_EQ(geometries(dir, db, "tavelo_map"), input);
        EXPECT_EQ(dump(dir / db, "SELECT geometry_type_name, srs_id, z, m FROM gpkg_geometry_columns WHERE "
                                 "table_name = 'tavelo_map'"),
                  "POLYGON|3763|0|0\n");
        EXPECT_EQ(dump(dir / db, "SELECT data_type, min_x, min_y, max_x, max_y FROM gpkg_contents WHERE table_name = "
                                 "'tavelo_map'"),
                  "features|0|0|300|300\n");
        std::string report;
        if (const auto valid = validateGpkg(dir / db, &report)) {
            EXPECT_EQ(*valid, 0) << report;
        }
    }
    // Results from a CSV have no map; the GeoPackage stays valid.
    ASSERT_EQ(runCli({"batch", "stands.csv", "--regime", "regime.json", "--db", "csv.gpkg"}, dir).status, 0);
    EXPECT_EQ(dump(dir / "csv.gpkg", "SELECT count(*) FROM sqlite_master WHERE name = 'tavelo_map'"), "0\n");
    const auto valid = validateGpkg(dir / "csv.gpkg");
    if (!valid)
        GTEST_SKIP() << "GDAL's validate_gpkg.py is not installed";
    EXPECT_EQ(*valid, 0);
}

// Shards merged keep the map: the same rows as the run of the whole inventory,
// in a GeoPackage that stays valid, and in a plain SQLite database.
TEST(ResultsMap, MergedShardsHoldTheMapOfTheWholeRun)
{
    TempFolder dir;
    writeBytes(dir / "stands.csv", kStands);
    writeBytes(dir / "regime.json", std::string(kThinOnceRegime).insert(1, R"("carbon": {},)"));
    ogr2ogr(dir, "stands.gpkg", "-f GPKG -nlt POLYGON -nln stands");
    const std::string columns = "SELECT position, stand_id, status, year, age, code, trees, basal_area, height, "
                                "v_total, v_sawlog, carbon_balance, hex(geom) FROM tavelo_map ORDER BY position";
    for (const char *kind : {"gpkg", "sqlite"}) {
        SCOPED_TRACE(kind);
        const std::string whole = std::string("whole.") + kind, merged = std::string("merged.") + kind;
        ASSERT_EQ(runCli({"batch", "stands.gpkg", "--regime", "regime.json", "--db", whole}, dir).status, 0);
        for (const char *k : {"1", "2"})
            ASSERT_EQ(runCli({"batch", "stands.gpkg", "--regime", "regime.json", "--db",
                              std::string("s") + k + "." + kind, "--shard", std::string(k) + "/2"},
                             dir)
                          .status,
                      0);
        const CliRun m = runCli({"merge", merged, std::string("s1.") + kind, std::string("s2.") + kind}, dir);
        ASSERT_EQ(m.status, 0) << m.err;
        EXPECT_EQ(dump(dir / merged, columns), dump(dir / whole, columns));
        EXPECT_EQ(dump(dir / merged, "SELECT count(*) FROM tavelo_map"), "9\n");
    }
    EXPECT_EQ(dump(dir / "merged.gpkg", "SELECT min_x, min_y, max_x, max_y FROM gpkg_contents WHERE table_name = "
                                        "'tavelo_map'"),
              dump(dir / "whole.gpkg", "SELECT min_x, min_y, max_x, max_y FROM gpkg_contents WHERE table_name = "
                                       "'tavelo_map'"));
    if (const auto valid = validateGpkg(dir / "merged.gpkg")) {
        EXPECT_EQ(*valid, 0);
    }
}

} // namespace
} // namespace tavelo::test
