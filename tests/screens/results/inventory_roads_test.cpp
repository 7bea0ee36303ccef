// "Simulação de Inventário" on the roads users took to a fault: a second run
// whose results hold nothing the first one's choices pointed at, a bad
// inventory chosen over good results, another inventory chosen, a regime with
// a value no stand can take, and the map (outlines before a run, classes that
// fit the column, a cancelled run's bar, a refused stand shown, thousands of
// small stands).

#include "screens/results/inventory_screen.h"
#include "support/flow_test_support.h"
#include "support/qtest_runner.h"

#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QGraphicsPathItem>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <cstdlib>
#include <fstream>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

const char *kRoadStands =
    "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95,wkt\n"
    "p1,12,9,,1500,,,,,,\"POLYGON ((0 0,100 0,100 100,0 100,0 0))\"\n"
    "a1,10,,Média,,1100.5,,,,,\"POLYGON ((100 0,200 0,200 100,100 100,100 0))\"\n"
    "t1,25,13,,,,601,22,9,31,\"POLYGON ((200 0,300 0,300 100,200 100,200 0))\"\n"
    "zero,12,9,,0,,,,,,\"POLYGON ((0 100,100 100,100 200,0 200,0 100))\"\n"
    "h,13,9.5,,1400,,,,,,\"POLYGON ((100 100,200 100,200 200,100 200,100 100))\"\n";

const char *kValuedRegime = R"({"options": {"volumes": "com casca", "year": "2026"},
  "steps": ["project", {"thin": "mechanical", "percent": "25"}, "project", "project"],
  "economics": {"prices": {"sawlog": "45", "roundwood": "30", "firewood": "8"}, "discountRate": "3"}})";

// A residual basal area no stand can keep: every stand is refused at its thinning.
const char *kRefusingRegime = R"({"options": {"year": "2026"},
  "steps": ["project", {"thin": "below", "residualBasalArea": "999"}, "project", "end"]})";

// A file of examples/ as shipped (the tests' example folder holds the reference runs).
QString shippedExample(const QString &name)
{
    return QFileInfo(examplePath(QStringLiteral("../") + name)).canonicalFilePath();
}

void writeText(const QString &path, const QByteArray &text)
{
    std::ofstream(path.toStdString(), std::ios::binary) << text.toStdString();
}

bool runQuietly(const QString &command)
{
    return std::system((command + QStringLiteral(" >/dev/null 2>&1")).toLocal8Bit().constData()) == 0;
}

// A GeoPackage of `csv`'s stands (with a wkt column), as a GIS user has them.
bool makeGeoPackage(const QString &dir, const QString &name, const QByteArray &csv)
{
    writeText(dir + "/" + name + ".csv", csv);
    return runQuietly("cd '" + dir + "' && ogr2ogr -f GPKG -nlt POLYGON -nln stands -oo AUTODETECT_TYPE=YES "
                      "-oo GEOM_POSSIBLE_NAMES=wkt -oo KEEP_GEOM_COLUMNS=NO " + name + ".gpkg " + name + ".csv");
}

// `count` stands all alike, as squares of `side` metres in rows of `perRow`
// (none without a side).
QByteArray gridStands(int count, int perRow, int side)
{
    QByteArray csv = "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95";
    csv += side > 0 ? ",wkt\n" : "\n";
    for (int i = 0; i < count; ++i) {
        const int x = (i % perRow) * side, y = (i / perRow) * side;
        csv += QStringLiteral("g%1,12,9,,1500,,,,,").arg(i).toUtf8();
        csv += side > 0 ? QStringLiteral(",\"POLYGON ((%1 %2,%3 %2,%3 %4,%1 %4,%1 %2))\"\n")
                              .arg(x).arg(y).arg(x + side).arg(y + side).toUtf8()
                        : QByteArray("\n");
    }
    return csv;
}

QStringList legendTexts(QWidget *w)
{
    QStringList texts;
    for (const QLabel *label : widget<QWidget>(w, "legenda")->findChildren<QLabel *>())
        if (!label->accessibleName().isEmpty())
            texts << label->accessibleName();
    return texts;
}

void clickStand(InventoryScreen *w, const QString &id)
{
    auto *map = widget<StandMapView>(w, "mapa");
    const QPoint at = map->mapFromScene(w->standShape(id)->boundingRect().center());
    QTest::mouseClick(map->viewport(), Qt::LeftButton, {}, at);
    settle();
}

bool simulateAndWait(InventoryScreen *w)
{
    if (!press(widget<QPushButton>(w, "cmdSimular")))
        return false;
    const bool done = QTest::qWaitFor([w] { return !w->running(); }, 60000);
    settle();
    return done;
}

} // namespace

class InventoryRoadsTest : public QObject {
    Q_OBJECT
private slots:
    void aRunWithNothingOfTheLastOneKeepsWorking_data();
    void aRunWithNothingOfTheLastOneKeepsWorking();
    void aBadInventoryLosesNothing();
    void anotherInventoryTakesItsOwnMap();
    void aRegimeValueNoStandTakesIsRefused_data();
    void aRegimeValueNoStandTakesIsRefused();
    void theMapShowsWhatItKnows();
    void aCancelledRunTellsTheTruth();
    void smallStandsKeepTheirColours();
};

// Coloured by the value, a stand picked, then a regime whose run has no value
// column and (with the regime of our own) no stand simulated: the window goes on.
void InventoryRoadsTest::aRunWithNothingOfTheLastOneKeepsWorking_data()
{
    QTest::addColumn<bool>("shippedRegime");
    QTest::newRow("the shipped regime.json") << true;
    QTest::newRow("a regime refusing every stand") << false;
}

void InventoryRoadsTest::aRunWithNothingOfTheLastOneKeepsWorking()
{
    QFETCH(bool, shippedRegime);
    FlowHarness h;
    writeText(h.dir.path() + "/refusing.json", kRefusingRegime);
    const QString second = shippedRegime ? shippedExample("regime.json") : h.dir.path() + "/refusing.json";
    auto *w = new InventoryScreen(*h.ctx);
    w->show();
    settle();
    typeInto(widget<QLineEdit>(w, "txtInventario"), shippedExample("inventory.gpkg"));
    typeInto(widget<QLineEdit>(w, "txtRegime"), shippedExample("rules-regime.json"));
    QVERIFY(simulateAndWait(w));
    const int firstRows = widget<QTableWidget>(w, "tblResultados")->rowCount();
    QVERIFY(firstRows > 0);
    const QString firstSummary = widget<QLabel>(w, "lblResumo")->text();

    auto *colourBy = widget<QComboBox>(w, "cboCor");
    colourBy->setCurrentIndex(colourBy->findText(QStringLiteral("VAL (€/ha)")));
    settle();
    const QString picked = widget<QTableWidget>(w, "tblResultados")->item(0, 0)->text();
    clickStand(w, picked);
    QVERIFY(w->standShape(picked)->isSelected());

    typeInto(widget<QLineEdit>(w, "txtRegime"), second);
    QVERIFY(simulateAndWait(w));
    QVERIFY(h.fake.messages.shown.empty());
    QVERIFY(widget<QLabel>(w, "lblResumo")->text().startsWith(QStringLiteral("6 povoamentos: ")));
    if (!shippedRegime) {
        QCOMPARE(widget<QTableWidget>(w, "tblResultados")->rowCount(), 0);
        QCOMPARE(widget<QListWidget>(w, "lstProblemas")->count(), 6);
        QCOMPARE(legendTexts(w), QStringList{QStringLiteral("sem valor")});
        QCOMPARE(w->standShape(picked)->brush().color(), QColor(200, 200, 200));
        // No value column now: the colours come from the first column again.
        QCOMPARE(colourBy->currentIndex(), 0);
    }
    // The stand picked is still the one shown.
    QVERIFY(w->standShape(picked)->isSelected());

    // And again with the first regime: its results as the first time.
    typeInto(widget<QLineEdit>(w, "txtRegime"), shippedExample("rules-regime.json"));
    QVERIFY(simulateAndWait(w));
    QCOMPARE(widget<QTableWidget>(w, "tblResultados")->rowCount(), firstRows);
    QCOMPARE(widget<QLabel>(w, "lblResumo")->text(), firstSummary);
    colourBy->setCurrentIndex(colourBy->findText(QStringLiteral("VAL (€/ha)")));
    settle();
    QVERIFY(w->standShape(picked)->brush().color() != QColor(200, 200, 200));
    delete w;
}

// A text file named .gpkg, typed or picked, is refused at once, naming the
// file; the results on screen stay with their own file. A run that fails keeps them too.
void InventoryRoadsTest::aBadInventoryLosesNothing()
{
    FlowHarness h;
    const QString dir = h.dir.path();
    QVERIFY(makeGeoPackage(dir, "stands", kRoadStands));
    writeText(dir + "/regime.json", kValuedRegime);
    writeText(dir + "/notes.gpkg", "Inventário de 2025: ver a folha de cálculo.\n");
    auto *w = new InventoryScreen(*h.ctx);
    w->show();
    settle();
    typeInto(widget<QLineEdit>(w, "txtInventario"), dir + "/stands.gpkg");
    typeInto(widget<QLineEdit>(w, "txtRegime"), dir + "/regime.json");
    QVERIFY(simulateAndWait(w));
    const QString summary = widget<QLabel>(w, "lblResumo")->text();
    QCOMPARE(widget<QTableWidget>(w, "tblResultados")->rowCount(), 4);

    auto resultsStayed = [&] {
        QCOMPARE(widget<QLineEdit>(w, "txtInventario")->text(), dir + "/stands.gpkg");
        QCOMPARE(widget<QTableWidget>(w, "tblResultados")->rowCount(), 4);
        QCOMPARE(widget<QListWidget>(w, "lstProblemas")->count(), 1);
        QCOMPARE(widget<QLabel>(w, "lblResumo")->text(), summary);
        QVERIFY(widget<QPushButton>(w, "cmdGuardar")->isEnabled());
        QVERIFY(w->standShape(QStringLiteral("h")));
    };
    // Typed: the box when the box is left.
    typeInto(widget<QLineEdit>(w, "txtInventario"), dir + "/notes.gpkg");
    QTest::keyClick(widget<QLineEdit>(w, "txtInventario"), Qt::Key_Return);
    settle();
    QCOMPARE(h.fake.messages.shown.size(), size_t(1));
    QCOMPARE(h.fake.messages.last().title, std::string("Inventário"));
    QVERIFY(qs(h.fake.messages.last().text).startsWith("Não é possível usar o inventário " + dir + "/notes.gpkg."));
    resultsStayed();
    // Picked.
    h.fake.files.openAnswers = {dir + "/notes.gpkg"};
    QVERIFY(press(widget<QPushButton>(w, "cmdAbrirInventario")));
    QCOMPARE(h.fake.messages.shown.size(), size_t(2));
    resultsStayed();

    // The inventory spoilt after it was chosen: the run fails, the results stay.
    QVERIFY(QFile::remove(dir + "/stands.gpkg"));
    writeText(dir + "/stands.gpkg", "estragado\n");
    QVERIFY(press(widget<QPushButton>(w, "cmdSimular")));
    QTRY_VERIFY_WITH_TIMEOUT(!w->running(), 30000);
    QCOMPARE(h.fake.messages.shown.size(), size_t(3));
    QVERIFY(qs(h.fake.messages.last().text).startsWith("Não é possível usar o inventário " + dir + "/stands.gpkg."));
    resultsStayed();
    delete w;
}

// Another inventory chosen: the results of the first one go with it, and the
// map draws the new stands before any run.
void InventoryRoadsTest::anotherInventoryTakesItsOwnMap()
{
    FlowHarness h;
    const QString dir = h.dir.path();
    QVERIFY(makeGeoPackage(dir, "stands", kRoadStands));
    writeText(dir + "/regime.json", kValuedRegime);
    auto *w = new InventoryScreen(*h.ctx);
    w->show();
    settle();
    h.fake.files.openAnswers = {dir + "/stands.gpkg", dir + "/regime.json"};
    QVERIFY(press(widget<QPushButton>(w, "cmdAbrirInventario")));
    QVERIFY(press(widget<QPushButton>(w, "cmdAbrirRegime")));
    QVERIFY(simulateAndWait(w));
    QCOMPARE(widget<QTableWidget>(w, "tblResultados")->rowCount(), 4);

    typeInto(widget<QLineEdit>(w, "txtInventario"), shippedExample("inventory.gpkg"));
    QTest::keyClick(widget<QLineEdit>(w, "txtInventario"), Qt::Key_Return);
    QTRY_VERIFY(!w->readingOutlines());
    QVERIFY(h.fake.messages.shown.empty());
    QCOMPARE(widget<QTableWidget>(w, "tblResultados")->rowCount(), 0);
    QCOMPARE(widget<QListWidget>(w, "lstProblemas")->count(), 0);
    QCOMPARE(widget<QLabel>(w, "lblResumo")->text(), QStringLiteral("Inventário com 6 povoamentos, por simular."));
    QVERIFY(!widget<QPushButton>(w, "cmdGuardar")->isEnabled());
    QVERIFY(!w->standShape(QStringLiteral("h")));
    QVERIFY(w->standShape(QStringLiteral("T01")));
    QCOMPARE(legendTexts(w), QStringList{QStringLiteral("por simular")});

    QVERIFY(simulateAndWait(w));
    QVERIFY(widget<QLabel>(w, "lblResumo")->text().startsWith(QStringLiteral("6 povoamentos: ")));
    delete w;
}

// "Escrever regime..." and a regime file: a value the command line refuses
// is refused here, naming its key, before any stand is played.
void InventoryRoadsTest::aRegimeValueNoStandTakesIsRefused_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("key");
    QTest::newRow("percent in words") << R"("percent": "25")" << R"("percent": "trinta")" << "steps[1].percent";
    QTest::newRow("percent too high") << R"("percent": "25")" << R"("percent": "70")" << "steps[1].percent";
    QTest::newRow("residual in words") << R"({"thin": "mechanical", "percent": "25"})"
                                       << R"({"thin": "below", "residualBasalArea": "catorze"})"
                                       << "steps[1].residualBasalArea";
    QTest::newRow("discount rate") << R"("discountRate": "3")" << R"("discountRate": "três")"
                                   << "economics.discountRate";
    QTest::newRow("a sawlog price") << R"("sawlog": "45")" << R"("sawlog": "-45")" << "economics.prices.sawlog";
}

void InventoryRoadsTest::aRegimeValueNoStandTakesIsRefused()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, key);
    const QString bad = QString::fromUtf8(kValuedRegime).replace(from, to);
    QVERIFY(bad != QString::fromUtf8(kValuedRegime));
    FlowHarness h;
    const QString dir = h.dir.path();
    QVERIFY(makeGeoPackage(dir, "stands", kRoadStands));
    auto *w = new InventoryScreen(*h.ctx);
    w->show();
    settle();
    typeInto(widget<QLineEdit>(w, "txtInventario"), dir + "/stands.gpkg");

    QVERIFY(press(widget<QPushButton>(w, "cmdEscreverRegime")));
    auto *dialog = w->findChild<QDialog *>(QStringLiteral("frmRegimeEscrito"));
    QVERIFY(dialog && dialog->isVisible());
    dialog->findChild<QPlainTextEdit *>(QStringLiteral("txtRegimeEscrito"))->setPlainText(bad);
    QVERIFY(press(dialog->findChild<QPushButton *>(QStringLiteral("cmdOkRegime"))));
    QVERIFY(dialog->isVisible()); // the text stays to be mended
    QCOMPARE(h.fake.messages.shown.size(), size_t(1));
    QVERIFY2(qs(h.fake.messages.last().text).contains("\"" + key + "\""), h.fake.messages.last().text.c_str());
    QVERIFY(press(dialog->findChild<QPushButton *>(QStringLiteral("cmdCancelarRegime"))));

    // The same text as a file: said beside the regime, refused at "Simular".
    writeText(dir + "/bad.json", bad.toUtf8());
    typeInto(widget<QLineEdit>(w, "txtRegime"), dir + "/bad.json");
    QTest::keyClick(widget<QLineEdit>(w, "txtRegime"), Qt::Key_Return);
    settle();
    QVERIFY(widget<QLabel>(w, "lblRegime")->text().startsWith(QStringLiteral("Regime inválido: ")));
    QVERIFY(widget<QLabel>(w, "lblRegime")->text().contains("\"" + key + "\""));
    QVERIFY(press(widget<QPushButton>(w, "cmdSimular")));
    QVERIFY(!w->running());
    QCOMPARE(h.fake.messages.shown.size(), size_t(2));
    QVERIFY(qs(h.fake.messages.last().text).contains("\"" + key + "\""));
    QCOMPARE(widget<QTableWidget>(w, "tblResultados")->rowCount(), 0);
    delete w;
}

// The outlines as soon as the inventory is chosen; whole-number classes for
// ages with no empty one; a refused stand picked in its list is shown on the
// map, and picked on the map is found in its list.
void InventoryRoadsTest::theMapShowsWhatItKnows()
{
    FlowHarness h;
    const QString dir = h.dir.path();
    QVERIFY(makeGeoPackage(dir, "stands", kRoadStands));
    writeText(dir + "/regime.json", kValuedRegime);
    auto *w = new InventoryScreen(*h.ctx);
    w->show();
    settle();
    h.fake.files.openAnswers = {dir + "/stands.gpkg"};
    QVERIFY(press(widget<QPushButton>(w, "cmdAbrirInventario")));
    QTRY_VERIFY(!w->readingOutlines());
    for (const char *id : {"p1", "a1", "t1", "zero", "h"})
        QVERIFY(w->standShape(QString::fromLatin1(id)));
    QCOMPARE(widget<QLabel>(w, "lblResumo")->text(), QStringLiteral("Inventário com 5 povoamentos, por simular."));

    typeInto(widget<QLineEdit>(w, "txtRegime"), dir + "/regime.json");
    QVERIFY(simulateAndWait(w));
    auto *colourBy = widget<QComboBox>(w, "cboCor");
    colourBy->setCurrentIndex(colourBy->findText(QStringLiteral("Idade final")));
    settle();
    const QStringList legend = legendTexts(w);
    QVERIFY(legend.size() >= 2 && legend.last() == QStringLiteral("sem valor"));
    for (const QString &entry : legend.mid(0, legend.size() - 1))
        QVERIFY2(!entry.contains(u'.'), qPrintable(entry)); // ages: whole numbers
    // Every class in the legend colours a stand.
    const auto labels = widget<QWidget>(w, "legenda")->findChildren<QLabel *>();
    for (const QLabel *label : labels) {
        if (label->accessibleName().isEmpty())
            continue;
        bool used = false;
        for (const char *id : {"p1", "a1", "t1", "zero", "h"})
            used = used || label->text().contains(w->standShape(QString::fromLatin1(id))->brush().color().name());
        QVERIFY2(used, qPrintable(label->accessibleName()));
    }

    auto *problems = widget<QListWidget>(w, "lstProblemas");
    QCOMPARE(problems->count(), 1);
    QVERIFY(problems->item(0)->text().startsWith(QStringLiteral("zero (recusado): ")));
    QTest::mouseClick(problems->viewport(), Qt::LeftButton, {}, problems->visualItemRect(problems->item(0)).center());
    settle();
    QVERIFY(w->standShape(QStringLiteral("zero"))->isSelected());
    QVERIFY(widget<QTableWidget>(w, "tblResultados")->selectionModel()->selectedRows().isEmpty());
    clickStand(w, QStringLiteral("h"));
    QVERIFY(problems->selectedItems().isEmpty());
    clickStand(w, QStringLiteral("zero"));
    QCOMPARE(problems->selectedItems().size(), 1);
    delete w;
}

// "Cancelar": the bar shows the share of the stands done, not a full bar.
void InventoryRoadsTest::aCancelledRunTellsTheTruth()
{
    FlowHarness h;
    const QString dir = h.dir.path();
    writeText(dir + "/many.csv", gridStands(20000, 200, 0));
    writeText(dir + "/regime.json", kValuedRegime);
    auto *w = new InventoryScreen(*h.ctx);
    w->show();
    settle();
    typeInto(widget<QLineEdit>(w, "txtInventario"), dir + "/many.csv");
    typeInto(widget<QLineEdit>(w, "txtRegime"), dir + "/regime.json");
    auto *bar = widget<QProgressBar>(w, "pbProgresso");
    QVERIFY(press(widget<QPushButton>(w, "cmdSimular")));
    QTRY_VERIFY_WITH_TIMEOUT(bar->value() > 0, 60000);
    QVERIFY(press(widget<QPushButton>(w, "cmdCancelar")));
    QTRY_VERIFY_WITH_TIMEOUT(!w->running(), 60000);
    settle();
    QVERIFY(widget<QLabel>(w, "lblResumo")->text().endsWith(QStringLiteral(" (cancelado)")));
    QCOMPARE(bar->maximum(), 20000);
    QVERIFY(bar->value() > 0 && bar->value() < 20000);
    QVERIFY(bar->text() != QStringLiteral("100%"));
    delete w;
}

// Thousands of stands a few pixels wide: the map shows their colour, not a
// block of outlines.
void InventoryRoadsTest::smallStandsKeepTheirColours()
{
    FlowHarness h;
    const QString dir = h.dir.path();
    QVERIFY(makeGeoPackage(dir, "grid", gridStands(30000, 200, 10)));
    auto *w = new InventoryScreen(*h.ctx);
    w->show();
    settle();
    typeInto(widget<QLineEdit>(w, "txtInventario"), dir + "/grid.gpkg");
    QTest::keyClick(widget<QLineEdit>(w, "txtInventario"), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(!w->readingOutlines(), 60000);
    QVERIFY(h.fake.messages.shown.empty());
    QVERIFY(w->standShape(QStringLiteral("g29999")));
    auto *map = widget<StandMapView>(w, "mapa");
    const QImage image = map->viewport()->grab().toImage();
    // The stands' part of the map, away from its edges: the grey of stands not simulated.
    const QRect stands = map->mapFromScene(map->sceneRect()).boundingRect().intersected(image.rect()).adjusted(4, 4, -4, -4);
    QVERIFY(stands.width() > 20 && stands.height() > 20);
    double lightness = 0;
    int pixels = 0;
    for (int y = stands.top(); y <= stands.bottom(); y += 2)
        for (int x = stands.left(); x <= stands.right(); x += 2, ++pixels)
            lightness += QColor(image.pixel(x, y)).lightness();
    QVERIFY2(lightness / pixels > 180, qPrintable(QString::number(lightness / pixels)));
    delete w;
}

TAVELO_QTEST_CLASS(InventoryRoadsTest)
#include "inventory_roads_test.moc"
