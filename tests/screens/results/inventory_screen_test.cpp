// "Simulação de Inventário" driven as a user: from the start screen's menu,
// a polygon GeoPackage made with ogr2ogr and a regime opened, simulated,
// coloured by a column, a stand clicked on the map and in the table, its log
// shown (the same text tavelo-cli writes for it), the results saved.

#include "screens/start/entrada_screen.h"
#include "support/widget_lookup.h"
#include "screens/results/inventory_screen.h"
#include "inventory/sqlite_db.h"
#include "base/numeric_text.h"
#include "support/flow_test_support.h"
#include "support/gpkg_validator.h"
#include "support/qtest_runner.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGraphicsPathItem>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <cstdlib>
#include <fstream>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

const char *kStands =
    "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95,wkt\n"
    "p1,12,9,,1500,,,,,,\"POLYGON ((0 0,100 0,100 100,0 100,0 0))\"\n"
    "a1,10,,Média,,1100.5,,,,,\"POLYGON ((100 0,200 0,200 100,100 100,100 0))\"\n"
    "t1,25,13,,,,601,22,9,31,\"POLYGON ((200 0,300 0,300 100,200 100,200 0))\"\n"
    "zero,12,9,,0,,,,,,\"POLYGON ((0 100,100 100,100 200,0 200,0 100))\"\n"
    "h,13,9.5,,1400,,,,,,\"POLYGON ((100 100,200 100,200 200,100 200,100 100))\"\n";

const char *kRegime = R"({"options": {"volumes": "com casca", "year": "2026"},
  "steps": ["project", {"thin": "mechanical", "percent": "25"}, "project", "project"],
  "economics": {"prices": {"sawlog": "45", "roundwood": "30", "firewood": "8"}, "discountRate": "3"}})";

void write(const QString &path, const char *text)
{
    std::ofstream(path.toStdString(), std::ios::binary) << text;
}

QString read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

int shell(const QString &command)
{
    return std::system((command + QStringLiteral(" >/dev/null 2>&1")).toLocal8Bit().constData());
}

int tableRowOf(QTableWidget *t, const QString &id)
{
    for (int r = 0; r < t->rowCount(); ++r)
        if (t->item(r, 0)->text() == id)
            return r;
    return -1;
}

QString selectedId(QTableWidget *t)
{
    const auto rows = t->selectionModel()->selectedRows();
    return rows.isEmpty() ? QString() : t->item(rows.first().row(), 0)->text();
}

} // namespace

class InventoryScreenTest : public QObject {
    Q_OBJECT
private slots:
    void simulatesAGeoPackageAsAUserWould();
    void typesARulesRegimeAndReusesARecentFile();
};

void InventoryScreenTest::simulatesAGeoPackageAsAUserWould()
{
    FlowHarness h;
    const QString dir = h.dir.path();
    write(dir + "/stands.csv", kStands);
    write(dir + "/regime.json", kRegime);
    QCOMPARE(shell("cd '" + dir +
                   "' && ogr2ogr -f GPKG -nlt POLYGON -nln stands -a_srs EPSG:3763 -oo AUTODETECT_TYPE=YES "
                   "-oo GEOM_POSSIBLE_NAMES=wkt -oo KEEP_GEOM_COLUMNS=NO stands.gpkg stands.csv"),
             0);
    // The oracle: the logs tavelo-cli writes for the same stands.
    QCOMPARE(shell("cd '" + dir + "' && '" TAVELO_CLI_PATH "' batch stands.gpkg --regime regime.json --out cli"), 0);

    // The start screen's menu: the new item comes after the others.
    auto *entrada = h.window<EntradaScreen>("Entrada");
    QCOMPARE(widget<QAction>(entrada, "Inventario")->text(), QStringLiteral("Inventário"));
    QCOMPARE(entrada->menuBar()->actions().last(), widget<QAction>(entrada, "Inventario"));
    widget<QAction>(entrada, "Inventario")->trigger();
    settle();
    auto *w = h.window<InventoryScreen>("frmInventario");
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->windowTitle(), QStringLiteral("Simulação de Inventário"));
    QVERIFY(w->frameGeometry().width() <= 1024 && w->frameGeometry().height() <= 768);

    h.fake.files.openAnswers = {dir + "/stands.gpkg", dir + "/regime.json"};
    QVERIFY(press(widget<QPushButton>(w, "cmdAbrirInventario")));
    QVERIFY(press(widget<QPushButton>(w, "cmdAbrirRegime")));
    QCOMPARE(widget<QLineEdit>(w, "txtInventario")->text(), dir + "/stands.gpkg");
    QCOMPARE(widget<QComboBox>(w, "cboCamada")->currentText(), QStringLiteral("stands"));
    QVERIFY(!widget<QComboBox>(w, "cboCamada")->isEnabled()); // one layer: nothing to choose
    QCOMPARE(widget<QLabel>(w, "lblRegime")->text(), QStringLiteral("4 passos, com avaliação económica"));

    QVERIFY(press(widget<QPushButton>(w, "cmdSimular")));
    QTRY_VERIFY_WITH_TIMEOUT(!w->running(), 30000);
    QVERIFY(h.fake.messages.shown.empty());
    QCOMPARE(widget<QLabel>(w, "lblResumo")->text(),
             QStringLiteral("5 povoamentos: 4 simulados, 1 recusados, 0 terminados pelo modelo, 0 linhas inválidas"));
    QCOMPARE(widget<QListWidget>(w, "lstProblemas")->count(), 1);
    QVERIFY(widget<QListWidget>(w, "lstProblemas")->item(0)->text().startsWith(QStringLiteral("zero (recusado): ")));
    QCOMPARE(widget<QProgressBar>(w, "pbProgresso")->value(), widget<QProgressBar>(w, "pbProgresso")->maximum());
    QCOMPARE(widget<QTableWidget>(w, "tblResultados")->rowCount(), 4);
    QCOMPARE(widget<QTableWidget>(w, "tblResultados")->horizontalHeaderItem(8)->text(), QStringLiteral("VAL (€/ha)"));

    // Sorted by total volume, largest first, as a click on the header does.
    widget<QTableWidget>(w, "tblResultados")->sortItems(4, Qt::DescendingOrder);
    const QString largest = widget<QTableWidget>(w, "tblResultados")->item(0, 0)->text();
    const QString smallest = widget<QTableWidget>(w, "tblResultados")->item(3, 0)->text();
    QVERIFY(widget<QTableWidget>(w, "tblResultados")->item(0, 4)->data(Qt::DisplayRole).toDouble() >
            widget<QTableWidget>(w, "tblResultados")->item(3, 4)->data(Qt::DisplayRole).toDouble());

    // Coloured by total volume: the largest and the smallest fall in the end classes.
    widget<QComboBox>(w, "cboCor")->setCurrentIndex(widget<QComboBox>(w, "cboCor")->findText(QStringLiteral("Volume total (m3/ha)")));
    settle();
    // The title, the classes that hold a stand (four stands: at most four), "sem valor".
    const auto legendLines = widget<QWidget>(w, "legenda")->findChildren<QLabel *>().size();
    QVERIFY(legendLines >= 1 + 2 + 1 && legendLines <= 1 + 4 + 1);
    QGraphicsPathItem *big = w->standShape(largest);
    QGraphicsPathItem *small = w->standShape(smallest);
    QVERIFY(big && small);
    QVERIFY(big->brush().color() != small->brush().color());
    QCOMPARE(w->standShape(QStringLiteral("zero"))->brush().color(), QColor(200, 200, 200));

    // A click on a stand selects its row; a row selects its stand.
    const QPoint at = widget<StandMapView>(w, "mapa")->mapFromScene(w->standShape(QStringLiteral("h"))->boundingRect().center());
    QTest::mouseClick(widget<StandMapView>(w, "mapa")->viewport(), Qt::LeftButton, {}, at);
    settle();
    QCOMPARE(selectedId(widget<QTableWidget>(w, "tblResultados")), QStringLiteral("h"));
    widget<QTableWidget>(w, "tblResultados")->selectRow(tableRowOf(widget<QTableWidget>(w, "tblResultados"), QStringLiteral("t1")));
    settle();
    QVERIFY(w->standShape(QStringLiteral("t1"))->isSelected());
    QVERIFY(!w->standShape(QStringLiteral("h"))->isSelected());

    // "Ver simulação": the log tavelo-cli writes for the stand.
    QString shownLog;
    QTimer::singleShot(0, [&] {
        if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            shownLog = d->findChild<QPlainTextEdit *>(QStringLiteral("txtSimulacao"))->toPlainText();
            d->accept();
        }
    });
    QVERIFY(press(widget<QPushButton>(w, "cmdVerSimulacao")));
    QVERIFY(!shownLog.isEmpty());
    QFile cliLog(dir + "/cli/t1.txt");
    QVERIFY(cliLog.open(QIODevice::ReadOnly));
    QCOMPARE(shownLog, qs(cp1252ToUtf8(cliLog.readAll().toStdString())).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    // Saved as a GeoPackage with the map layer, and as CSV files.
    h.fake.files.answer = dir + "/resultados.gpkg";
    QVERIFY(press(widget<QPushButton>(w, "cmdGuardar")));
    QCOMPARE(h.fake.messages.last().title, std::string("Guardar resultados"));
    {
        SqliteDb db((dir + "/resultados.gpkg").toStdString(), SqliteDb::Mode::ReadOnly);
        SqliteStatement q = db.prepare("SELECT count(*), count(geom), count(npv) FROM tavelo_map");
        QVERIFY(q.step());
        QCOMPARE(q.integer(0), 5);
        QCOMPARE(q.integer(1), 5);
        QCOMPARE(q.integer(2), 4);
    }
    if (const auto valid = tavelo::test::validateGpkg((dir + "/resultados.gpkg").toStdString()))
        QCOMPARE(*valid, 0);
    h.fake.files.answer = dir + "/resultados.csv";
    QVERIFY(press(widget<QPushButton>(w, "cmdGuardar")));
    QCOMPARE(read(dir + "/resultados.csv"), read(dir + "/cli/record.csv"));
    QCOMPARE(read(dir + "/resultados_erros.csv"), read(dir + "/cli/errors.csv"));
    QVERIFY(read(dir + "/resultados_economia.csv").startsWith(QStringLiteral("id,npv,eaa,lev\n")));

    // The next opening offers the same files.
    QCOMPARE(h.fake.settings.values[QStringLiteral("inventario/ficheiro")], dir + "/stands.gpkg");
}

// Rules typed in the window give the events tavelo-cli writes; a regime file
// used once is offered again among the recent ones.
void InventoryScreenTest::typesARulesRegimeAndReusesARecentFile()
{
    FlowHarness h;
    const QString dir = h.dir.path();
    write(dir + "/stands.csv", "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95\n"
                               "p1,10,8,,2000,,,,,\n"
                               "a1,14,,Elevada,,1200,,,,\n");
    const char *rules = R"({"options": {"year": "2026"}, "carbon": {}, "rules": {"maxAge": "30",
      "thinnings": {"firstAge": "14", "when": [
        {"if": {"age": {"atMost": "14"}}, "thin": "mechanical", "percent": "55"},
        {"if": {"trees": {"above": "1100"}}, "thin": "mechanical", "percent": "30"}]}}})";
    write(dir + "/rules.json", rules);
    write(dir + "/regime.json", kRegime);
    QCOMPARE(shell("cd '" + dir + "' && '" TAVELO_CLI_PATH "' batch stands.csv --regime rules.json --out cli"), 0);

    auto *w = new InventoryScreen(*h.ctx);
    w->show();
    settle();
    h.fake.files.openAnswers = {dir + "/stands.csv"};
    QVERIFY(press(widget<QPushButton>(w, "cmdAbrirInventario")));

    QVERIFY(press(widget<QPushButton>(w, "cmdEscreverRegime")));
    auto *dialog = w->findChild<QDialog *>(QStringLiteral("frmRegimeEscrito"));
    QVERIFY(dialog && dialog->isVisible());
    auto *editor = dialog->findChild<QPlainTextEdit *>(QStringLiteral("txtRegimeEscrito"));
    QVERIFY(editor->toPlainText().contains(QStringLiteral("\"steps\""))); // a template to start from
    editor->setPlainText(QString::fromUtf8(rules).replace(QStringLiteral("\"above\""), QStringLiteral("\"over\"")));
    QVERIFY(press(dialog->findChild<QPushButton *>(QStringLiteral("cmdOkRegime"))));
    QVERIFY(dialog->isVisible()); // the text stays to be mended
    QVERIFY(h.fake.messages.last().text.find("rules.thinnings.when[1].if.trees.over") != std::string::npos);
    editor->setPlainText(QString::fromUtf8(rules));
    QVERIFY(press(dialog->findChild<QPushButton *>(QStringLiteral("cmdOkRegime"))));
    QTRY_VERIFY(!w->findChild<QDialog *>(QStringLiteral("frmRegimeEscrito")));
    QCOMPARE(widget<QLabel>(w, "lblRegime")->text(), QStringLiteral("Regime escrito: Regras de gestão (idade máxima 30)"));

    QVERIFY(press(widget<QPushButton>(w, "cmdSimular")));
    QTRY_VERIFY_WITH_TIMEOUT(!w->running(), 30000);
    h.fake.files.answer = dir + "/resultados.csv";
    QVERIFY(press(widget<QPushButton>(w, "cmdGuardar")));
    const QString events = read(dir + "/cli/events.csv");
    QVERIFY(events.contains(QStringLiteral("refused-thinning")) && events.contains(QStringLiteral(",thinning,")));
    QCOMPARE(read(dir + "/resultados_eventos.csv"), events);
    // The carbon account as a column, beside the table's volumes, and saved as the command line's.
    QCOMPARE(widget<QTableWidget>(w, "tblResultados")->horizontalHeaderItem(widget<QTableWidget>(w, "tblResultados")->columnCount() - 1)->text(),
             QStringLiteral("Balanço de carbono (t C/ha)"));
    QCOMPARE(read(dir + "/resultados_carbono.csv"), read(dir + "/cli/carbon.csv"));

    // A file opened and simulated comes back in the recent list.
    h.fake.files.openAnswers = {dir + "/regime.json"};
    QVERIFY(press(widget<QPushButton>(w, "cmdAbrirRegime")));
    QVERIFY(press(widget<QPushButton>(w, "cmdSimular")));
    QTRY_VERIFY_WITH_TIMEOUT(!w->running(), 30000);
    QCOMPARE(widget<QComboBox>(w, "cboRegimesRecentes")->count(), 2);
    widget<QLineEdit>(w, "txtRegime")->clear();
    widget<QComboBox>(w, "cboRegimesRecentes")->setFocus();
    QTest::keyClick(widget<QComboBox>(w, "cboRegimesRecentes"), Qt::Key_Down);
    QCOMPARE(widget<QLineEdit>(w, "txtRegime")->text(), dir + "/regime.json");
    QCOMPARE(widget<QLabel>(w, "lblRegime")->text(), QStringLiteral("4 passos, com avaliação económica"));
    QCOMPARE(h.fake.settings.values[QStringLiteral("inventario/regimesRecentes")], dir + "/regime.json");
    delete w;
}

TAVELO_QTEST_CLASS(InventoryScreenTest)
#include "inventory_screen_test.moc"
