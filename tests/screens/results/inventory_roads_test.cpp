// "Simulação de Inventário" on the roads where it failed users: a run with none
// of the last one's values or stands, a bad inventory or another one chosen
// over results, a regime value no stand takes, and the map.

#include "screens/results/inventory_screen.h"
#include "support/flow_test_support.h"
#include "support/qtest_runner.h"

#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QGraphicsPathItem>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTableWidget>
#include <QtTest>

#include <cstdlib>
#include <fstream>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

const char *kHeader = "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95";
const char *kValuedRegime = R"({"options": {"year": "2026"},
  "steps": ["project", {"thin": "mechanical", "percent": "25"}, "project"],
  "economics": {"prices": {"sawlog": "45", "roundwood": "30", "firewood": "8"}, "discountRate": "3"}})";
// A residual basal area no stand can keep: every stand is refused.
const char *kRefusingRegime = R"({"options": {"year": "2026"},
  "steps": ["project", {"thin": "below", "residualBasalArea": "999"}, "end"]})";

// A file of examples/ as shipped (the tests' example folder holds the reference runs).
QString shipped(const QString &name)
{
    return QFileInfo(examplePath(QStringLiteral("../") + name)).canonicalFilePath();
}

QString writeText(const QString &path, const QByteArray &text)
{
    std::ofstream(path.toStdString(), std::ios::binary) << text.toStdString();
    return path;
}

// `count` square stands of `side` metres, 200 a row, the first one refused
// (no trees); a GeoPackage made with ogr2ogr, or without `side` a CSV file.
QString gridInventory(const QString &dir, int count, int side)
{
    QByteArray csv = QByteArray(kHeader) + (side ? ",wkt\n" : "\n");
    for (int i = 0; i < count; ++i) {
        const int x = (i % 200) * side, y = (i / 200) * side;
        csv += QStringLiteral("g%1,%2,9,,%3,,,,,").arg(i).arg(10 + i % 5).arg(i ? 1500 : 0).toUtf8();
        csv += side ? QStringLiteral(",\"POLYGON ((%1 %2,%3 %2,%3 %4,%1 %4,%1 %2))\"\n")
                          .arg(x).arg(y).arg(x + side).arg(y + side).toUtf8()
                    : QByteArray("\n");
    }
    const QString name = dir + QStringLiteral("/grid%1").arg(count);
    writeText(name + ".csv", csv);
    if (!side)
        return name + ".csv";
    std::system(qPrintable("ogr2ogr -f GPKG -nlt POLYGON -nln stands -oo AUTODETECT_TYPE=YES -oo GEOM_POSSIBLE_NAMES=wkt "
                           "-oo KEEP_GEOM_COLUMNS=NO '" + name + ".gpkg' '" + name + ".csv' >/dev/null 2>&1"));
    return name + ".gpkg";
}

QStringList legendOf(QWidget *w)
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
    QTest::mouseClick(map->viewport(), Qt::LeftButton, {}, map->mapFromScene(w->standShape(id)->boundingRect().center()));
    settle();
}

bool simulated(InventoryScreen *w)
{
    const bool pressed = press(widget<QPushButton>(w, "cmdSimular"));
    const bool done = QTest::qWaitFor([w] { return !w->running(); }, 60000);
    settle();
    return pressed && done;
}

void colourBy(InventoryScreen *w, const QString &column)
{
    widget<QComboBox>(w, "cboCor")->setCurrentIndex(widget<QComboBox>(w, "cboCor")->findText(column));
    settle();
}

int rows(InventoryScreen *w) { return widget<QTableWidget>(w, "tblResultados")->rowCount(); }

} // namespace

class InventoryRoadsTest : public QObject {
    Q_OBJECT
private slots:
    void aRunWithNothingOfTheLastOneKeepsWorking_data();
    void aRunWithNothingOfTheLastOneKeepsWorking();
    void resultsStayWithTheirOwnInventory();
    void aRegimeValueNoStandTakesIsRefused_data();
    void aRegimeValueNoStandTakesIsRefused();
    void theMapShowsWhatItKnows();
    void aMalformedRowIsToldInPortuguese();
};

void InventoryRoadsTest::aRunWithNothingOfTheLastOneKeepsWorking_data()
{
    QTest::addColumn<bool>("shippedRegime");
    QTest::newRow("the shipped regime.json") << true;
    QTest::newRow("a regime refusing every stand") << false;
}

// Coloured by VAL, a stand clicked, then a regime without values (or without a stand simulated).
void InventoryRoadsTest::aRunWithNothingOfTheLastOneKeepsWorking()
{
    QFETCH(bool, shippedRegime);
    FlowHarness h;
    auto *w = new InventoryScreen(*h.ctx);
    w->show();
    typeInto(widget<QLineEdit>(w, "txtInventario"), shipped("inventory.gpkg"));
    typeInto(widget<QLineEdit>(w, "txtRegime"), shipped("rules-regime.json"));
    QVERIFY(simulated(w) && rows(w) == 6);
    const QString summary = widget<QLabel>(w, "lblResumo")->text();
    colourBy(w, QStringLiteral("VAL (€/ha)"));
    clickStand(w, QStringLiteral("T03"));

    typeInto(widget<QLineEdit>(w, "txtRegime"), shippedRegime ? shipped("regime.json")
                                                              : writeText(h.dir.path() + "/no.json", kRefusingRegime));
    QVERIFY(simulated(w));
    QVERIFY(h.fake.messages.shown.empty());
    QVERIFY(w->standShape(QStringLiteral("T03"))->isSelected()); // the stand picked, still shown
    if (!shippedRegime) {
        QCOMPARE(rows(w), 0);
        QCOMPARE(widget<QListWidget>(w, "lstProblemas")->count(), 6);
        QCOMPARE(widget<QComboBox>(w, "cboCor")->currentIndex(), 0); // no value column now
        QCOMPARE(legendOf(w), QStringList{QStringLiteral("sem valor")});
    }
    // And again: the first run's results.
    typeInto(widget<QLineEdit>(w, "txtRegime"), shipped("rules-regime.json"));
    QVERIFY(simulated(w) && rows(w) == 6);
    QCOMPARE(widget<QLabel>(w, "lblResumo")->text(), summary);
    delete w;
}

// A text file named .gpkg, typed or picked, is refused at once naming it, and
// a run that fails loses nothing: the results stay with their file. Another
// inventory takes its own map at once, without the old results.
void InventoryRoadsTest::resultsStayWithTheirOwnInventory()
{
    FlowHarness h;
    const QString dir = h.dir.path();
    const QString stands = gridInventory(dir, 5, 100);
    const QString notes = writeText(dir + "/notes.gpkg", "Inventário de 2025: ver a folha de cálculo.\n");
    auto *w = new InventoryScreen(*h.ctx);
    w->show();
    typeInto(widget<QLineEdit>(w, "txtInventario"), stands);
    typeInto(widget<QLineEdit>(w, "txtRegime"), writeText(dir + "/regime.json", kValuedRegime));
    QVERIFY(simulated(w) && rows(w) == 4);
    const QString summary = widget<QLabel>(w, "lblResumo")->text();
    auto refusedAndKept = [&](size_t boxes, const QString &file) {
        QCOMPARE(h.fake.messages.shown.size(), boxes);
        QVERIFY(qs(h.fake.messages.last().text).startsWith("Não é possível usar o inventário " + file + "."));
        QCOMPARE(widget<QLineEdit>(w, "txtInventario")->text(), stands);
        QCOMPARE(rows(w), 4);
        QCOMPARE(widget<QLabel>(w, "lblResumo")->text(), summary);
        QVERIFY(widget<QPushButton>(w, "cmdGuardar")->isEnabled());
    };
    typeInto(widget<QLineEdit>(w, "txtInventario"), notes);
    QTest::keyClick(widget<QLineEdit>(w, "txtInventario"), Qt::Key_Return);
    refusedAndKept(1, notes);
    h.fake.files.openAnswers = {notes};
    QVERIFY(press(widget<QPushButton>(w, "cmdAbrirInventario")));
    refusedAndKept(2, notes);
    QVERIFY(QFile::remove(stands) && QFile::copy(notes, stands)); // spoilt after it was chosen
    QVERIFY(simulated(w));
    refusedAndKept(3, stands);

    typeInto(widget<QLineEdit>(w, "txtInventario"), shipped("inventory.gpkg"));
    QTest::keyClick(widget<QLineEdit>(w, "txtInventario"), Qt::Key_Return);
    QTRY_VERIFY(!w->readingOutlines());
    QCOMPARE(h.fake.messages.shown.size(), size_t(3));
    QCOMPARE(rows(w), 0);
    QCOMPARE(widget<QListWidget>(w, "lstProblemas")->count(), 0);
    QCOMPARE(widget<QLabel>(w, "lblResumo")->text(), QStringLiteral("Inventário com 6 povoamentos, por simular."));
    QVERIFY(!widget<QPushButton>(w, "cmdGuardar")->isEnabled());
    QVERIFY(!w->standShape(QStringLiteral("g1")) && w->standShape(QStringLiteral("T06")));
    QCOMPARE(legendOf(w), QStringList{QStringLiteral("por simular")});
    delete w;
}

void InventoryRoadsTest::aRegimeValueNoStandTakesIsRefused_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("key");
    QTest::newRow("percent in words") << R"("25")" << R"("trinta")" << "steps[1].percent";
    QTest::newRow("percent too high") << R"("25")" << R"("70")" << "steps[1].percent";
    QTest::newRow("residual in words") << R"("mechanical", "percent": "25")"
                                       << R"("below", "residualBasalArea": "catorze")" << "steps[1].residualBasalArea";
    QTest::newRow("discount rate") << R"("3")" << R"("três")" << "economics.discountRate";
    QTest::newRow("sawlog price") << R"("45")" << R"("-45")" << "economics.prices.sawlog";
}

// Typed in "Escrever regime..." or named as a file, a value the command line
// refuses is refused naming its key, before any stand is played.
void InventoryRoadsTest::aRegimeValueNoStandTakesIsRefused()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, key);
    const QString bad = QString::fromUtf8(kValuedRegime).replace(from, to);
    QVERIFY(bad != QString::fromUtf8(kValuedRegime));
    FlowHarness h;
    auto *w = new InventoryScreen(*h.ctx);
    w->show();
    typeInto(widget<QLineEdit>(w, "txtInventario"), shipped("inventory.gpkg"));
    QVERIFY(press(widget<QPushButton>(w, "cmdEscreverRegime")));
    auto *dialog = w->findChild<QDialog *>(QStringLiteral("frmRegimeEscrito"));
    dialog->findChild<QPlainTextEdit *>(QStringLiteral("txtRegimeEscrito"))->setPlainText(bad);
    QVERIFY(press(dialog->findChild<QPushButton *>(QStringLiteral("cmdOkRegime"))));
    QVERIFY(dialog->isVisible()); // the text stays to be mended
    QVERIFY2(qs(h.fake.messages.last().text).contains("\"" + key + "\""), h.fake.messages.last().text.c_str());
    QVERIFY(press(dialog->findChild<QPushButton *>(QStringLiteral("cmdCancelarRegime"))));

    typeInto(widget<QLineEdit>(w, "txtRegime"), writeText(h.dir.path() + "/bad.json", bad.toUtf8()));
    QTest::keyClick(widget<QLineEdit>(w, "txtRegime"), Qt::Key_Return);
    QVERIFY(widget<QLabel>(w, "lblRegime")->text().startsWith(QStringLiteral("Regime inválido: ")));
    QVERIFY(press(widget<QPushButton>(w, "cmdSimular")));
    QVERIFY(!w->running());
    QCOMPARE(h.fake.messages.shown.size(), size_t(2));
    QVERIFY(qs(h.fake.messages.last().text).contains("\"" + key + "\""));
    delete w;
}

// Whole-number classes for ages, none empty; a refused stand picked in its
// list shown on the map and found from it; a cancelled run's true share;
// thousands of small stands in their colour, not a block of outlines.
void InventoryRoadsTest::theMapShowsWhatItKnows()
{
    FlowHarness h;
    const QString dir = h.dir.path();
    auto *w = new InventoryScreen(*h.ctx);
    w->show();
    typeInto(widget<QLineEdit>(w, "txtInventario"), gridInventory(dir, 40, 100));
    typeInto(widget<QLineEdit>(w, "txtRegime"), writeText(dir + "/regime.json", kValuedRegime));
    QVERIFY(simulated(w));
    colourBy(w, QStringLiteral("Idade final"));
    const QStringList legend = legendOf(w);
    QCOMPARE(legend.size(), 5 + 1); // five ages, "sem valor"
    QVERIFY(!legend.join(u' ').contains(u'.'));

    auto *problems = widget<QListWidget>(w, "lstProblemas");
    QVERIFY(problems->item(0)->text().startsWith(QStringLiteral("g0 (recusado): ")));
    QTest::mouseClick(problems->viewport(), Qt::LeftButton, {}, problems->visualItemRect(problems->item(0)).center());
    QVERIFY(w->standShape(QStringLiteral("g0"))->isSelected());
    clickStand(w, QStringLiteral("g1"));
    QVERIFY(problems->selectedItems().isEmpty());
    clickStand(w, QStringLiteral("g0"));
    QCOMPARE(problems->selectedItems().size(), 1);

    typeInto(widget<QLineEdit>(w, "txtInventario"), gridInventory(dir, 20000, 0));
    auto *bar = widget<QProgressBar>(w, "pbProgresso");
    QVERIFY(press(widget<QPushButton>(w, "cmdSimular")));
    QTRY_VERIFY_WITH_TIMEOUT(bar->value() > 0, 60000);
    QVERIFY(press(widget<QPushButton>(w, "cmdCancelar")));
    QTRY_VERIFY_WITH_TIMEOUT(!w->running(), 60000);
    QVERIFY(widget<QLabel>(w, "lblResumo")->text().endsWith(QStringLiteral(" (cancelado)")));
    QVERIFY(bar->maximum() == 20000 && bar->value() > 0 && bar->value() < 20000);

    typeInto(widget<QLineEdit>(w, "txtInventario"), gridInventory(dir, 30000, 10));
    QTest::keyClick(widget<QLineEdit>(w, "txtInventario"), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(!w->readingOutlines(), 60000);
    auto *map = widget<StandMapView>(w, "mapa");
    const QImage image = map->viewport()->grab().toImage();
    const QRect stands = map->mapFromScene(map->sceneRect()).boundingRect().adjusted(4, 4, -4, -4) & image.rect();
    double lightness = 0;
    for (int y = stands.top(); y <= stands.bottom(); ++y)
        for (int x = stands.left(); x <= stands.right(); ++x)
            lightness += QColor(image.pixel(x, y)).lightness();
    QVERIFY(stands.width() > 20 && lightness / (stands.width() * stands.height()) > 180); // the grey of no value
    delete w;
}

TAVELO_QTEST_CLASS(InventoryRoadsTest)
// A row the reader cannot use is listed with the reader's reason, in Portuguese.
void InventoryRoadsTest::aMalformedRowIsToldInPortuguese()
{
    FlowHarness h;
    auto *w = new InventoryScreen(*h.ctx);
    w->show();
    typeInto(widget<QLineEdit>(w, "txtInventario"),
             writeText(h.dir.path() + "/stands.csv",
                       "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95\n"
                       "a,12,9,,1500,,,,,\n"
                       "b,14,,Altíssima,,1200,,,,\n"));
    typeInto(widget<QLineEdit>(w, "txtRegime"), writeText(h.dir.path() + "/regime.json", kValuedRegime));
    QVERIFY(simulated(w));
    auto *problems = widget<QListWidget>(w, "lstProblemas");
    QCOMPARE(problems->count(), 1);
    QCOMPARE(problems->item(0)->text(),
             QStringLiteral("b (linha inválida): Classe de qualidade desconhecida: \"Altíssima\"."));
    delete w;
}

#include "inventory_roads_test.moc"
