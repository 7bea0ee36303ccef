// "Plano Florestal" driven as a user: opened from the inventory window on a
// polygon GeoPackage, the options typed, the plan made and checked against
// the files tavelo-cli writes for the same options, a stand picked on the
// map and in the table, a long plan cancelled, the plan saved to a folder (the
// same files) and into a GeoPackage; bad values refused by a box naming the
// field, as tavelo-cli refuses them. With carbon: a floor and the carbon
// objective saved as tavelo-cli writes them, the front's table against
// front.csv and a point clicked on its chart showing that point's plan, an
// impossible floor's box with the most carbon tavelo-cli finds.

#include "screens/results/inventory_screen.h"
#include "screens/results/plan_screen.h"
#include "screens/start/entrada_screen.h"
#include "inventory/sqlite_db.h"
#include "support/flow_test_support.h"
#include "support/qtest_runner.h"
#include "support/widget_lookup.h"

#include <QAction>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QGraphicsPathItem>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <cstdlib>
#include <fstream>

#include <sys/wait.h>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

const char *kStands =
    "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95,area,wkt\n"
    "n1,12,9,,1500,,,,,,2.5,\"POLYGON ((0 0,100 0,100 100,0 100,0 0))\"\n"
    "n3,25,13,,,,601,22,9,31,1.5,\"POLYGON ((100 0,200 0,200 100,100 100,100 0))\"\n"
    "zero,12,9,,0,,,,,,2,\"POLYGON ((200 0,300 0,300 100,200 100,200 0))\"\n"
    "n5,28,15,,,,550,24,10,33,2,\"POLYGON ((0 100,100 100,100 200,0 200,0 100))\"\n"
    "n6,20,13,,,,900,21,8,28,3.5,\"POLYGON ((100 100,200 100,200 200,100 200,100 100))\"\n"
    "n7,33,17,,,,500,28,12,36,2,\"POLYGON ((200 100,300 100,300 200,200 200,200 100))\"\n";

// Thousands of regimes a stand: long enough to be cancelled while it gathers.
const char *kBigSpace = R"({"rotation": {"from": "25", "to": "80"},
 "thinnings": {"max": "3", "minInterval": "5", "firstAge": "10",
               "mechanical": ["15", "25", "35", "45"], "below": ["12", "14", "16"]}})";

const QString kExamples = QStringLiteral(TAVELO_EXAMPLES_DIR "/..");

void write(const QString &path, const char *text) { std::ofstream(path.toStdString(), std::ios::binary) << text; }

QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

int shell(const QString &command)
{
    const int status = std::system((command + QStringLiteral(" >/dev/null 2>&1")).toLocal8Bit().constData());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

QString cli(const QString &dir, const QString &args)
{
    return "cd '" + dir + "' && '" TAVELO_CLI_PATH "' plan " + args;
}

// The options a forester types for the small forest, and the same as tavelo-cli's.
void typeOptions(QWidget *w, const QString &space)
{
    widget<QComboBox>(w, "cboCandidatos")->setCurrentIndex(0);
    widget<QLineEdit>(w, "txtCandidatos")->setText(space);
    widget<QComboBox>(w, "cboEconomia")->setCurrentIndex(0);
    widget<QLineEdit>(w, "txtEconomia")->setText(kExamples + "/plan-economics.json");
    widget<QLineEdit>(w, "txtHorizonte")->setText(QStringLiteral("30"));
    widget<QComboBox>(w, "cboFluxo")->setCurrentIndex(2); // não decrescente
    widget<QComboBox>(w, "cboBaseFluxo")->setCurrentIndex(0);
    widget<QLineEdit>(w, "txtStockFinal")->clear();
    widget<QLineEdit>(w, "txtGap")->setText(QStringLiteral("0.5"));
    widget<QLineEdit>(w, "txtTempoMaximo")->clear();
    widget<QLineEdit>(w, "txtCarbonoMinimo")->clear();
    widget<QComboBox>(w, "cboObjectivo")->setCurrentIndex(0);
    widget<QCheckBox>(w, "chkFrente")->setChecked(false);
}
const QString kCliOptions = QStringLiteral("--economics '%1/plan-economics.json' --horizon 30 --flow nondecreasing "
                                           "--gap 0.5");

// The plan of the small forest, as a GeoPackage in the EPSG:3763 metres.
bool makeForest(const QString &dir)
{
    write(dir + "/stands.csv", kStands);
    return shell("cd '" + dir +
                 "' && ogr2ogr -f GPKG -nlt POLYGON -nln stands -a_srs EPSG:3763 -oo AUTODETECT_TYPE=YES "
                 "-oo GEOM_POSSIBLE_NAMES=wkt -oo KEEP_GEOM_COLUMNS=NO stands.gpkg stands.csv") == 0;
}

QList<QByteArray> csvLines(const QString &path) { return read(path).trimmed().split('\n'); }

// The table's rows are the file's, cell for cell, from the file's column `skip` (`columns` of them, or all).
void compareTable(QTableWidget *table, const QString &file, int skip, int columns = -1)
{
    const QList<QByteArray> lines = csvLines(file);
    QCOMPARE(table->rowCount(), lines.size() - 1);
    for (int r = 0; r < table->rowCount(); ++r) {
        const QList<QByteArray> cells = lines[r + 1].split(',');
        for (int c = 0; c + skip < cells.size() && c != columns; ++c) {
            // A column the window leaves out is one the file leaves empty.
            if (c >= table->columnCount())
                QCOMPARE(cells[c + skip], QByteArray());
            else
                QCOMPARE(table->item(r, c)->text(), QString::fromUtf8(cells[c + skip]));
        }
    }
}

QString selectedId(QTableView *t)
{
    const auto rows = t->selectionModel()->selectedRows();
    return rows.isEmpty() ? QString() : t->model()->index(rows.first().row(), 0).data().toString();
}

} // namespace

class PlanScreenTest : public QObject {
    Q_OBJECT
private slots:
    void plansAForestAsAUserWould();
    void refusesABadValueNamingItsField_data();
    void refusesABadValueNamingItsField();
    void plansForCarbonAsTheCommandLine();
    void replaysARegimeUnderRules();
    void plansWithNeighboursAsTheCommandLine();
};

void PlanScreenTest::plansAForestAsAUserWould()
{
    FlowHarness h;
    const QString dir = h.dir.path();
    write(dir + "/stands.csv", kStands);
    write(dir + "/big.json", kBigSpace);
    QCOMPARE(shell("cd '" + dir +
                   "' && ogr2ogr -f GPKG -nlt POLYGON -nln stands -a_srs EPSG:3763 -oo AUTODETECT_TYPE=YES "
                   "-oo GEOM_POSSIBLE_NAMES=wkt -oo KEEP_GEOM_COLUMNS=NO stands.gpkg stands.csv"),
             0);
    // The oracle: tavelo-cli's files for the same inventory and options.
    const QString space = kExamples + "/plan-space.json";
    QCOMPARE(shell(cli(dir, "stands.gpkg --space '" + space + "' " + kCliOptions.arg(kExamples) + " --out cli")), 0);

    // From the inventory window, on the inventory chosen there.
    widget<QAction>(h.window<EntradaScreen>("Entrada"), "Inventario")->trigger();
    settle();
    auto *inventory = h.window<InventoryScreen>("frmInventario");
    h.fake.files.openAnswers = {dir + "/stands.gpkg"};
    QVERIFY(press(widget<QPushButton>(inventory, "cmdAbrirInventario")));
    QVERIFY(press(widget<QPushButton>(inventory, "cmdPlano")));
    PlanScreen *w = inventory->plan();
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->objectName(), QStringLiteral("frmPlano"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Plano Florestal"));
    QVERIFY(w->frameGeometry().width() <= 1024 && w->frameGeometry().height() <= 768);
    QVERIFY(widget<QLabel>(w, "lblInventario")->text().contains(QStringLiteral("stands.gpkg (camada stands)")));

    typeOptions(w, space);
    QVERIFY(press(widget<QPushButton>(w, "cmdPlanear")));
    QTRY_VERIFY_WITH_TIMEOUT(!w->running(), 60000);
    QVERIFY2(h.fake.messages.shown.empty(), h.fake.messages.shown.empty() ? "" : h.fake.messages.last().text.c_str());
    QVERIFY(w->shown());
    QVERIFY(widget<QPushButton>(w, "cmdGuardar")->isEnabled());
    QVERIFY(widget<QPushButton>(w, "cmdVerSimulacao")->isEnabled());

    // The harvest by period: periods.csv's rows, cell for cell.
    const QList<QByteArray> periods = read(dir + "/cli/periods.csv").trimmed().split('\n');
    auto *table = widget<QTableWidget>(w, "tblPeriodos");
    QCOMPARE(table->rowCount(), periods.size() - 1);
    for (int r = 0; r < table->rowCount(); ++r) {
        const QList<QByteArray> cells = periods[r + 1].split(',');
        for (int c = 0; c < table->columnCount(); ++c)
            QCOMPARE(table->item(r, c)->text(), QString::fromUtf8(cells[c + 1]));
    }
    // The totals: the plan's value is plan.csv's values summed; one stand without a candidate.
    double value = 0.0;
    const QList<QByteArray> plan = read(dir + "/cli/plan.csv").trimmed().split('\n');
    for (int r = 1; r < plan.size(); ++r)
        value += plan[r].split(',')[4].toDouble();
    const QString summary = widget<QLabel>(w, "lblResumo")->text();
    // (each value rounded to the cent in the file)
    const QRegularExpressionMatch shownValue =
        QRegularExpression(QStringLiteral("^Valor do plano: ([0-9.]+) €")).match(summary);
    QVERIFY2(shownValue.hasMatch(), qPrintable(summary));
    QVERIFY(std::abs(shownValue.captured(1).toDouble() - value) <= 0.005 * (plan.size() - 1));
    QVERIFY2(summary.contains(QStringLiteral("11.50 ha em 5 povoamentos; 1 povoamentos sem candidatos")),
             qPrintable(summary));
    QCOMPARE(widget<QListWidget>(w, "lstSemCandidatos")->count(), 1);

    // The stands' table holds plan.csv's stands; sorted by value, largest first.
    auto *stands = widget<QTableView>(w, "tblPovoamentos");
    QCOMPARE(stands->model()->rowCount(), plan.size() - 1);
    stands->sortByColumn(5, Qt::DescendingOrder);
    QVERIFY(stands->model()->index(0, 5).data().toDouble() >= stands->model()->index(4, 5).data().toDouble());

    // A stand clicked on the map is the table's row; a row picked is the map's stand.
    auto *map = widget<StandMapView>(w, "mapa");
    auto shapeOf = [&](const QString &id) -> QGraphicsPathItem * {
        for (size_t i = 0; i < map->standCount(); ++i)
            if (map->shape(static_cast<int>(i)) && map->shape(static_cast<int>(i))->toolTip() == id)
                return map->shape(static_cast<int>(i));
        return nullptr;
    };
    QVERIFY(shapeOf(QStringLiteral("n6")) && shapeOf(QStringLiteral("n7")));
    // Coloured by felling period: n6 (2046) and n7 (2041) differ.
    QVERIFY(shapeOf(QStringLiteral("n6"))->brush().color() != shapeOf(QStringLiteral("n7"))->brush().color());
    const QPoint at = map->mapFromScene(shapeOf(QStringLiteral("n6"))->boundingRect().center());
    QTest::mouseClick(map->viewport(), Qt::LeftButton, {}, at);
    settle();
    QCOMPARE(selectedId(stands), QStringLiteral("n6"));
    for (int r = 0; r < stands->model()->rowCount(); ++r)
        if (stands->model()->index(r, 0).data().toString() == QStringLiteral("n7"))
            stands->selectRow(r);
    settle();
    QVERIFY(shapeOf(QStringLiteral("n7"))->isSelected());
    QVERIFY(!shapeOf(QStringLiteral("n6"))->isSelected());

    // "Ver simulação": the chosen regime of the stand picked played in the stand
    // windows to its end; the record's thinnings and final felling are plan.csv's schedule.
    QStringList n7;
    for (int r = 1; r < plan.size(); ++r)
        if (plan[r].startsWith("n7,"))
            n7 = QString::fromUtf8(plan[r]).split(QLatin1Char(','));
    QCOMPARE(n7.size(), 7);
    QVERIFY(press(widget<QPushButton>(w, "cmdVerSimulacao")));
    QVERIFY2(h.fake.messages.shown.empty(), h.fake.messages.shown.empty() ? "" : h.fake.messages.last().text.c_str());
    QVERIFY(h.shown("Terminar"));
    QCOMPARE(h.ctx->flow.stage(), SimulationFlow::Stage::Ended);
    QStringList thinnedAt; // "27: mecânico 25 %; 37: corte final": the ages before each ":"
    for (const QString &part : n7[3].split(QStringLiteral("; ")))
        thinnedAt << part.section(QLatin1Char(':'), 0, 0);
    const QString finalAge = thinnedAt.takeLast();
    QStringList recordThinnedAt;
    for (int r = 0; r < h.recordRows(); ++r)
        if (h.recordCell(r, 2) == QStringLiteral("D"))
            recordThinnedAt << h.recordCell(r, 1);
    QCOMPARE(recordThinnedAt, thinnedAt);
    QCOMPARE(h.recordCell(h.recordRows() - 1, 1), finalAge);
    QCOMPARE(h.recordCell(h.recordRows() - 1, 0), n7[5]);
    // Again over the simulation now shown: asked first; "No" keeps it.
    const int rows = h.recordRows();
    h.fake.messages.answers = {MessageService::Answer::No};
    QVERIFY(press(widget<QPushButton>(w, "cmdVerSimulacao")));
    QCOMPARE(h.fake.messages.shown.size(), size_t{1});
    QCOMPARE(h.fake.messages.last().buttons, Message::Buttons::YesNo);
    QCOMPARE(h.recordRows(), rows);
    QVERIFY(h.shown("Terminar"));
    // "Yes": the stand windows start afresh and play the regime again, the same record.
    const QStringList lastRow = {h.recordCell(rows - 1, 0), h.recordCell(rows - 1, 1), h.recordCell(rows - 1, 3)};
    h.fake.messages.answers = {MessageService::Answer::Yes};
    QVERIFY(press(widget<QPushButton>(w, "cmdVerSimulacao")));
    QCOMPARE(h.fake.messages.shown.size(), size_t{2});
    QVERIFY(h.shown("Terminar"));
    QCOMPARE(h.recordRows(), rows);
    QCOMPARE(QStringList({h.recordCell(rows - 1, 0), h.recordCell(rows - 1, 1), h.recordCell(rows - 1, 3)}), lastRow);
    QVERIFY(w->isVisible());
    h.fake.messages.clear();

    // A long plan cancelled: the plan shown before stays, whole.
    const PlanScreen::Shown *before = w->shown();
    const QString summaryBefore = widget<QLabel>(w, "lblResumo")->text();
    widget<QLineEdit>(w, "txtCandidatos")->setText(dir + "/big.json");
    QVERIFY(press(widget<QPushButton>(w, "cmdPlanear")));
    QVERIFY(w->running());
    QVERIFY(press(widget<QPushButton>(w, "cmdCancelar")));
    QTRY_VERIFY_WITH_TIMEOUT(!w->running(), 60000);
    QCOMPARE(widget<QLabel>(w, "lblEstado")->text(), QStringLiteral("Plano cancelado."));
    QCOMPARE(w->shown(), before);
    QCOMPARE(widget<QLabel>(w, "lblResumo")->text(), summaryBefore);
    QCOMPARE(table->rowCount(), periods.size() - 1);
    QVERIFY(h.fake.messages.shown.empty());
    // The inputs typed come back at the next opening.
    QCOMPARE(h.fake.settings.values[QStringLiteral("plano/txtCandidatos")], dir + "/big.json");

    // Saved to a folder: tavelo-cli's files, read back byte for byte.
    h.fake.files.answer = dir + "/saved";
    QVERIFY(press(widget<QPushButton>(w, "cmdGuardar")));
    QCOMPARE(h.fake.messages.last().title, std::string("Guardar plano"));
    for (const char *file : {"errors.csv", "candidates.csv", "plan.csv", "periods.csv"})
        QCOMPARE(read(dir + "/saved/" + file), read(dir + "/cli/" + file));
    QVERIFY(read(dir + "/saved/harvest.png").startsWith("\x89PNG"));
    // Again into the same folder: asked first; "No" leaves it as it is.
    write(dir + "/saved/plan.csv", "kept");
    h.fake.messages.clear();
    h.fake.messages.answers = {MessageService::Answer::No};
    QVERIFY(press(widget<QPushButton>(w, "cmdGuardar")));
    QCOMPARE(h.fake.messages.shown.size(), size_t{1});
    QCOMPARE(h.fake.messages.last().buttons, Message::Buttons::YesNo);
    QCOMPARE(read(dir + "/saved/plan.csv"), QByteArray("kept"));
    h.fake.messages.answers = {MessageService::Answer::Yes};
    QVERIFY(press(widget<QPushButton>(w, "cmdGuardar")));
    QCOMPARE(read(dir + "/saved/plan.csv"), read(dir + "/cli/plan.csv"));

    // Into a GeoPackage: the plan's tables and its map layer.
    h.fake.files.answer = dir + "/plano.gpkg";
    h.fake.messages.clear();
    QVERIFY(press(widget<QPushButton>(w, "cmdGuardar")));
    QCOMPARE(h.fake.messages.last().icon, Message::Icon::Information);
    {
        SqliteDb db((dir + "/plano.gpkg").toStdString(), SqliteDb::Mode::ReadOnly);
        SqliteStatement q = db.prepare("SELECT count(*), count(geom) FROM tavelo_map");
        QVERIFY(q.step());
        QCOMPARE(q.integer(0), plan.size() - 1);
        QCOMPARE(q.integer(1), plan.size() - 1);
    }
    // Into the same file again: asked first; "No" writes nothing.
    const QByteArray gpkg = read(dir + "/plano.gpkg");
    h.fake.messages.clear();
    h.fake.messages.answers = {MessageService::Answer::No};
    QVERIFY(press(widget<QPushButton>(w, "cmdGuardar")));
    QCOMPARE(h.fake.messages.shown.size(), size_t{1});
    QCOMPARE(h.fake.messages.last().buttons, Message::Buttons::YesNo);
    QCOMPARE(read(dir + "/plano.gpkg"), gpkg);
}

void PlanScreenTest::refusesABadValueNamingItsField_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field"); // the box's name in the message
    QTest::addColumn<QString>("cliOption"); // tavelo-cli's option with the same value; empty: none
    QTest::addColumn<bool>("front");        // the front asked for too (5 plans)
    QTest::newRow("horizon not a multiple of 5") << "txtHorizonte" << "33" << "Horizonte (anos)" << "--horizon 33" << false;
    QTest::newRow("horizon a word") << "txtHorizonte" << "trinta" << "Horizonte (anos)" << "--horizon trinta" << false;
    QTest::newRow("horizon too long") << "txtHorizonte" << "205" << "Horizonte (anos)" << "--horizon 205" << false;
    QTest::newRow("even flow above 100 %") << "txtFluxoPercentagem" << "150"
                                           << "Tolerância do fluxo uniforme (%)" << "--flow even:150" << false;
    QTest::newRow("ending stock negative") << "txtStockFinal" << "-1" << "Stock final (% do inicial)"
                                           << "--ending-stock -1" << false;
    QTest::newRow("gap above 100 %") << "txtGap" << "101" << "Gap (%)" << "--gap 101" << false;
    QTest::newRow("no time") << "txtTempoMaximo" << "0" << "Tempo máximo (s)" << "--time-limit 0" << false;
    QTest::newRow("no candidates") << "txtCandidatos" << "" << "Ficheiros dos candidatos" << "" << false;
    QTest::newRow("candidates missing") << "txtCandidatos" << "/nowhere/space.json" << "Ficheiros dos candidatos"
                                        << "--space /nowhere/space.json" << false;
    QTest::newRow("carbon floor negative") << "txtCarbonoMinimo" << "-1" << "Carbono mínimo (t C/ha)"
                                           << "--min-carbon -1" << false;
    QTest::newRow("carbon floor a word") << "txtCarbonoMinimo" << "muito" << "Carbono mínimo (t C/ha)"
                                         << "--min-carbon muito" << false;
    QTest::newRow("carbon floor too high") << "txtCarbonoMinimo" << "10001" << "Carbono mínimo (t C/ha)"
                                           << "--min-carbon 10001" << false;
    QTest::newRow("front with a carbon floor") << "txtCarbonoMinimo" << "50" << "Planos da frente entre as âncoras"
                                               << "--min-carbon 50 --front carbon:5" << true;
    // (the neighbours' rows on examples/forest.gpkg, a map in metres)
    QTest::newRow("green-up not a multiple of 5") << "txtIntervaloVizinhos" << "7"
                                                  << "Intervalo entre cortes vizinhos (anos)" << "--green-up 7" << false;
    QTest::newRow("opening without a green-up") << "txtAberturaMaxima" << "20" << "Abertura máxima (ha)"
                                                << "--max-opening 20" << false;
    QTest::newRow("economics not json") << "txtEconomia" << (kExamples + "/forest.csv") << "Ficheiro de economia"
                                        << ("--economics " + kExamples + "/forest.csv") << false;
}

void PlanScreenTest::refusesABadValueNamingItsField()
{
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, field);
    QFETCH(QString, cliOption);
    QFETCH(bool, front);
    FlowHarness h;
    const bool spatial = box == QStringLiteral("txtIntervaloVizinhos") || box == QStringLiteral("txtAberturaMaxima");
    const QString inventory = kExamples + (spatial ? "/forest.gpkg" : "/forest.csv");
    PlanScreen w(*h.ctx, nullptr);
    w.setInventory(inventory, QString());
    w.show();
    typeOptions(&w, kExamples + "/plan-space.json");
    // The flow box takes a value only for an even flow.
    if (box == QStringLiteral("txtFluxoPercentagem"))
        widget<QComboBox>(&w, "cboFluxo")->setCurrentIndex(1);
    widget<QLineEdit>(&w, box.toLatin1().constData())->setText(text);
    widget<QCheckBox>(&w, "chkFrente")->setChecked(front);
    widget<QSpinBox>(&w, "spnPontosFrente")->setValue(5);
    QVERIFY(press(widget<QPushButton>(&w, "cmdPlanear")));
    QVERIFY(!w.running());
    QVERIFY(!w.shown());
    QCOMPARE(h.fake.messages.shown.size(), size_t{1});
    const Message &m = h.fake.messages.last();
    QCOMPARE(m.title, std::string("Plano Florestal"));
    QVERIFY2(QString::fromStdString(m.text).startsWith("\"" + field + "\": "), m.text.c_str());
    // The box refused is selected for typing over.
    if (!text.isEmpty() && !front)
        QCOMPARE(widget<QLineEdit>(&w, box.toLatin1().constData())->selectedText(), text);
    // The command line refuses the same value as bad input.
    if (!cliOption.isEmpty()) {
        QString args = "'" + inventory + "' --space '" + kExamples + "/plan-space.json' " +
                       kCliOptions.arg(kExamples) + " --out '" + h.dir.path() + "/out' " + cliOption;
        QCOMPARE(shell(cli(h.dir.path(), args)), 1);
    }
}

void PlanScreenTest::plansForCarbonAsTheCommandLine()
{
    FlowHarness h;
    const QString dir = h.dir.path();
    QVERIFY(makeForest(dir));
    const QString space = kExamples + "/plan-space.json";
    // Money dearer (8 %) and no flow: felling early pays, keeping the stands stores carbon, so the front spreads.
    QFile::remove(dir + "/economics.json");
    QVERIFY(QFile::copy(kExamples + "/plan-economics.json", dir + "/economics.json"));
    QByteArray economics = read(dir + "/economics.json");
    QVERIFY(economics.contains("\"discountRate\": \"3\""));
    write(dir + "/economics.json", economics.replace("\"discountRate\": \"3\"", "\"discountRate\": \"8\"").constData());
    const QString options = "stands.gpkg --space '" + space + "' --economics economics.json --horizon 30 --gap 0.5";
    // The oracle's front: its anchors' carbon bound the floors tried below.
    QCOMPARE(shell(cli(dir, options + " --front carbon:3 --out front")), 0);
    const QList<QByteArray> front = csvLines(dir + "/front/front.csv");
    QVERIFY(front.size() >= 3);
    const double low = front[1].split(',')[1].toDouble(), high = front.last().split(',')[1].toDouble();
    QVERIFY(high > low);

    PlanScreen w(*h.ctx, nullptr);
    w.setInventory(dir + "/stands.gpkg", QStringLiteral("stands"));
    w.resize(1000, 700);
    w.show();
    typeOptions(&w, space);
    widget<QLineEdit>(&w, "txtEconomia")->setText(dir + "/economics.json");
    widget<QComboBox>(&w, "cboFluxo")->setCurrentIndex(0);
    auto planAndSave = [&](const QString &folder) {
        h.fake.messages.clear();
        QVERIFY(press(widget<QPushButton>(&w, "cmdPlanear")));
        QTRY_VERIFY_WITH_TIMEOUT(!w.running(), 60000);
        QVERIFY2(h.fake.messages.shown.empty(), h.fake.messages.shown.empty() ? "" : h.fake.messages.last().text.c_str());
        h.fake.files.answer = dir + "/" + folder;
        QVERIFY(press(widget<QPushButton>(&w, "cmdGuardar")));
        QCOMPARE(h.fake.messages.last().icon, Message::Icon::Information);
    };

    // A floor halfway between the anchors, then the carbon objective: tavelo-cli's files byte for byte.
    const QString floor = QString::number((low + high) / 2.0, 'f', 3);
    widget<QLineEdit>(&w, "txtCarbonoMinimo")->setText(floor);
    planAndSave("floor");
    QCOMPARE(shell(cli(dir, options + " --min-carbon " + floor + " --out cli-floor")), 0);
    widget<QLineEdit>(&w, "txtCarbonoMinimo")->clear();
    widget<QComboBox>(&w, "cboObjectivo")->setCurrentIndex(1);
    planAndSave("carbon");
    QCOMPARE(shell(cli(dir, options + " --objective carbon --out cli-carbon")), 0);
    for (const char *file : {"plan.csv", "periods.csv"}) {
        QCOMPARE(read(dir + "/floor/" + file), read(dir + "/cli-floor/" + file));
        QCOMPARE(read(dir + "/carbon/" + file), read(dir + "/cli-carbon/" + file));
    }
    // The totals: the plan's carbon per hectare and in all, as tavelo-cli's summary tells it.
    const QString summary = widget<QLabel>(&w, "lblResumo")->text();
    QVERIFY2(summary.contains(QRegularExpression(QStringLiteral("Carbono: [0-9.]+ t C/ha \\([0-9.]+ t C\\)"))),
             qPrintable(summary));
    // The periods' table ends with the carbon stock at each period's end, as periods.csv.
    compareTable(widget<QTableWidget>(&w, "tblPeriodos"), dir + "/cli-carbon/periods.csv", 1);

    // The front: its table is front.csv's; a point clicked on the chart shows its plan.
    widget<QComboBox>(&w, "cboObjectivo")->setCurrentIndex(0);
    widget<QCheckBox>(&w, "chkFrente")->setChecked(true);
    widget<QSpinBox>(&w, "spnPontosFrente")->setValue(3);
    planAndSave("saved");
    auto *table = widget<QTableWidget>(&w, "tblFrente");
    QVERIFY(table->isVisible());
    compareTable(table, dir + "/front/front.csv", 0, 5);
    QCOMPARE(table->item(0, 5)->text(), QStringLiteral("âncora valor"));
    QCOMPARE(table->item(table->rowCount() - 1, 5)->text(), QStringLiteral("âncora carbono"));
    QCOMPARE(w.frontPointShown(), std::optional<size_t>(0));
    auto *chart = widget<QChartView>(&w, "chtFrente");
    const size_t k = static_cast<size_t>(front.size()) - 2; // the carbon anchor
    const QList<QByteArray> point = front[static_cast<int>(k) + 1].split(',');
    const QPointF at = chart->chart()->mapToPosition(QPointF(point[1].toDouble(), point[2].toDouble()));
    QTest::mouseClick(chart->viewport(), Qt::LeftButton, {}, chart->mapFromScene(chart->chart()->mapToScene(at)));
    settle();
    QCOMPARE(w.frontPointShown(), std::optional<size_t>(k));
    const QString kDir = dir + "/front/front/" + QString::number(k);
    compareTable(widget<QTableWidget>(&w, "tblPeriodos"), kDir + "/periods.csv", 1);
    auto *stands = widget<QTableView>(&w, "tblPovoamentos");
    const QList<QByteArray> plan = csvLines(kDir + "/plan.csv");
    QCOMPARE(stands->model()->rowCount(), plan.size() - 1);
    for (int r = 1; r < plan.size(); ++r)
        for (int row = 0; row < stands->model()->rowCount(); ++row)
            if (stands->model()->index(row, 0).data().toString() == QString::fromUtf8(plan[r].split(',')[0]))
                QCOMPARE(stands->model()->index(row, 2).data().toString(), QString::fromUtf8(plan[r].split(',')[3]));
    QVERIFY(widget<QLabel>(&w, "lblResumo")->text().contains(QStringLiteral("Plano %1 da frente").arg(k)));
    // Saved: tavelo-cli's front files, byte for byte, and the front's chart.
    QStringList frontFiles = {QStringLiteral("front.csv")};
    for (size_t p = 0; p + 1 < static_cast<size_t>(front.size()); ++p)
        frontFiles << QStringLiteral("front/%1/plan.csv").arg(p) << QStringLiteral("front/%1/periods.csv").arg(p);
    for (const QString &file : frontFiles)
        QCOMPARE(read(dir + "/saved/" + file), read(dir + "/front/" + file));
    QVERIFY(read(dir + "/saved/front.png").startsWith("\x89PNG"));

    // A floor no plan reaches: the box tells the most carbon a plan reaches, as tavelo-cli finds it.
    QCOMPARE(shell(cli(dir, options + " --min-carbon 9999 --out cli-none 2>none.txt; exit $?")), 3);
    const QRegularExpressionMatch reach =
        QRegularExpression(QStringLiteral("([0-9]+\\.[0-9]{3}) t C/ha$")).match(QString::fromUtf8(read(dir + "/none.txt").trimmed()));
    QVERIFY2(reach.hasMatch(), read(dir + "/none.txt").constData());
    const PlanScreen::Shown *before = w.shown();
    widget<QCheckBox>(&w, "chkFrente")->setChecked(false);
    widget<QLineEdit>(&w, "txtCarbonoMinimo")->setText(QStringLiteral("9999"));
    h.fake.messages.clear();
    QVERIFY(press(widget<QPushButton>(&w, "cmdPlanear")));
    QTRY_VERIFY_WITH_TIMEOUT(!w.running(), 60000);
    QCOMPARE(h.fake.messages.shown.size(), size_t{1});
    const QString text = QString::fromStdString(h.fake.messages.last().text);
    QVERIFY2(text.startsWith(QStringLiteral("Nenhum plano cumpre o carbono mínimo de 9999.000 t C/ha.")), qPrintable(text));
    QVERIFY2(text.endsWith(reach.captured(1) + QStringLiteral(" t C/ha.")), qPrintable(text));
    QCOMPARE(w.shown(), before);
}

// A regime file under management rules: "Ver simulação" presses the steps its
// rules took, and the stand windows end at the felling year plan.csv gives.
void PlanScreenTest::replaysARegimeUnderRules()
{
    FlowHarness h;
    const QString dir = h.dir.path();
    QVERIFY(makeForest(dir));
    const QString rules = kExamples + "/rules-regime.json";
    QCOMPARE(shell(cli(dir, "stands.gpkg --regimes '" + rules + "' --economics '" + kExamples +
                                "/plan-economics.json' --horizon 30 --out cli")),
             0);
    PlanScreen w(*h.ctx, nullptr);
    w.setInventory(dir + "/stands.gpkg", QStringLiteral("stands"));
    w.show();
    typeOptions(&w, rules);
    widget<QComboBox>(&w, "cboCandidatos")->setCurrentIndex(1);
    widget<QComboBox>(&w, "cboFluxo")->setCurrentIndex(0);
    QVERIFY(press(widget<QPushButton>(&w, "cmdPlanear")));
    QTRY_VERIFY_WITH_TIMEOUT(!w.running(), 60000);
    QVERIFY2(h.fake.messages.shown.empty(), h.fake.messages.shown.empty() ? "" : h.fake.messages.last().text.c_str());
    const QList<QByteArray> plan = csvLines(dir + "/cli/plan.csv");
    auto *stands = widget<QTableView>(&w, "tblPovoamentos");
    int played = 0;
    for (int r = 1; r < plan.size(); ++r) {
        const QList<QByteArray> cells = plan[r].split(',');
        if (cells[5].isEmpty())
            continue; // not felled within the horizon: no year to compare
        for (int row = 0; row < stands->model()->rowCount(); ++row)
            if (stands->model()->index(row, 0).data().toString() == QString::fromUtf8(cells[0]))
                stands->selectRow(row);
        settle();
        h.fake.messages.answers = {MessageService::Answer::Yes};
        QVERIFY(press(widget<QPushButton>(&w, "cmdVerSimulacao")));
        QVERIFY(h.shown("Terminar"));
        QCOMPARE(h.recordCell(h.recordRows() - 1, 0), QString::fromUtf8(cells[5]));
        ++played;
    }
    QVERIFY(played >= 2);
}

// Neighbours kept apart (a green-up of 10 years, openings of at most 4 ha):
// the plan and its adjacency and openings saved as tavelo-cli writes them, the
// totals counting them; a map in degrees or without outlines takes no rule.
void PlanScreenTest::plansWithNeighboursAsTheCommandLine()
{
    FlowHarness h;
    const QString dir = h.dir.path();
    QVERIFY(makeForest(dir));
    const QString space = kExamples + "/plan-space.json";
    QCOMPARE(shell(cli(dir, "stands.gpkg --space '" + space + "' --economics '" + kExamples +
                                "/plan-economics.json' --horizon 30 --gap 0.5 --green-up 10 --max-opening 4 --out cli")),
             0);
    PlanScreen w(*h.ctx, nullptr);
    w.setInventory(dir + "/stands.gpkg", QStringLiteral("stands"));
    w.show();
    typeOptions(&w, space);
    widget<QComboBox>(&w, "cboFluxo")->setCurrentIndex(0);
    QVERIFY(widget<QLineEdit>(&w, "txtIntervaloVizinhos")->isEnabled());
    widget<QLineEdit>(&w, "txtIntervaloVizinhos")->setText(QStringLiteral("10"));
    widget<QLineEdit>(&w, "txtAberturaMaxima")->setText(QStringLiteral("4"));
    widget<QComboBox>(&w, "cboAdjacencia")->setCurrentIndex(0);
    QVERIFY(press(widget<QPushButton>(&w, "cmdPlanear")));
    QTRY_VERIFY_WITH_TIMEOUT(!w.running(), 60000);
    QVERIFY2(h.fake.messages.shown.empty(), h.fake.messages.shown.empty() ? "" : h.fake.messages.last().text.c_str());
    h.fake.files.answer = dir + "/saved";
    QVERIFY(press(widget<QPushButton>(&w, "cmdGuardar")));
    for (const char *file : {"plan.csv", "periods.csv", "adjacency.csv", "openings.csv"})
        QCOMPARE(read(dir + "/saved/" + file), read(dir + "/cli/" + file));
    const QString summary = widget<QLabel>(&w, "lblResumo")->text();
    const QString counted = QStringLiteral("Vizinhos: %1 pares; %2 aberturas; 0 conflitos")
                                .arg(csvLines(dir + "/cli/adjacency.csv").size() - 1)
                                .arg(csvLines(dir + "/cli/openings.csv").size() - 1);
    QVERIFY2(summary.contains(counted), qPrintable(summary + " / " + counted));

    // The same stands in degrees, and a CSV inventory without outlines: the rule's boxes are off.
    QCOMPARE(shell("cd '" + dir + "' && ogr2ogr -f GPKG -t_srs EPSG:4326 -nln stands degrees.gpkg stands.gpkg"), 0);
    w.setInventory(dir + "/degrees.gpkg", QStringLiteral("stands"));
    QVERIFY(!widget<QLineEdit>(&w, "txtIntervaloVizinhos")->isEnabled());
    QVERIFY(!widget<QLineEdit>(&w, "txtAberturaMaxima")->isEnabled());
    QVERIFY(widget<QLabel>(&w, "lblVizinhos")->text().contains(QStringLiteral("graus")));
    w.setInventory(kExamples + "/forest.csv", QString());
    QVERIFY(!widget<QLineEdit>(&w, "txtIntervaloVizinhos")->isEnabled());
    QVERIFY(widget<QLabel>(&w, "lblVizinhos")->text().contains(QStringLiteral("contornos")));
    w.setInventory(dir + "/stands.gpkg", QStringLiteral("stands"));
    QVERIFY(widget<QLineEdit>(&w, "txtIntervaloVizinhos")->isEnabled());
}

TAVELO_QTEST_CLASS(PlanScreenTest)
#include "plan_screen_test.moc"
