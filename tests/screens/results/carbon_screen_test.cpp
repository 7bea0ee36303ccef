// The carbon window driven as a user: from "Terminar Simulação" to "Balanço
// de carbono", factors typed, the table, totals and chart read (the worked
// example of the guides, with and without bark), a bad factor refused, the
// factors remembered for the next opening, the exports and the printout.

#include "screens/results/carbon_screen.h"
#include "support/field_boxes.h"
#include "support/widget_lookup.h"
#include "screens/results/end_screen.h"
#include "support/flow_test_support.h"
#include "support/qtest_runner.h"

#include <QChart>
#include <QChartView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QtTest>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

CarbonScreen *openCarbon(FlowHarness &h)
{
    if (!press(widget<QPushButton>(h.window<EndScreen>("Terminar"), "cmdBalancoCarbono")))
        return nullptr;
    return h.window<CarbonScreen>("frmCarbono");
}

void typeExample(CarbonScreen *w)
{
    typeInto(fieldBox(w, CarbonField::BasicDensity), QStringLiteral("0.44"));
    typeInto(fieldBox(w, CarbonField::ExpansionFactor), QStringLiteral("1.3"));
    typeInto(fieldBox(w, CarbonField::RootToShoot), QStringLiteral("0.29"));
    typeInto(fieldBox(w, CarbonField::CarbonFraction), QStringLiteral("0.5"));
    typeInto(fieldBox(w, CarbonField::SawlogHalfLife), QStringLiteral("35"));
    typeInto(fieldBox(w, CarbonField::RoundwoodHalfLife), QStringLiteral("25"));
}

// The planted stand ended, its carbon window opened and the example counted.
CarbonScreen *countedExample(FlowHarness &h)
{
    CarbonScreen *w = finishedPlantedStand(h) ? openCarbon(h) : nullptr;
    if (!w)
        return nullptr;
    typeExample(w);
    return press(widget<QPushButton>(w, "cmdCalcular")) ? w : nullptr;
}

QList<QPointF> linePoints(QChartView *view, const QString &name)
{
    for (QAbstractSeries *s : view->chart()->series())
        if (s->name() == name)
            if (auto *line = qobject_cast<QLineSeries *>(s))
                return line->points();
    return {};
}

} // namespace

class CarbonScreenTest : public QObject {
    Q_OBJECT

private slots:
    void buttonOnTheEndScreen();
    void accountOfTheSimulation_data();
    void accountOfTheSimulation();
    void refusesABadFactor();
    void remembersTheFactors();
    void exportsAndPrints();
};

void CarbonScreenTest::buttonOnTheEndScreen()
{
    FlowHarness h;
    QVERIFY(finishedPlantedStand(h));
    auto *end = h.window<EndScreen>("Terminar");
    QCOMPARE(widget<QPushButton>(end, "cmdBalancoCarbono")->text(), QStringLiteral("Balanço de carbono"));
    // Last in the tab order and below every button that was there.
    QCOMPARE(widget<QPushButton>(end, "cmdAvaliacaoEconomica")->nextInFocusChain(), widget<QPushButton>(end, "cmdBalancoCarbono"));
    QVERIFY(widget<QPushButton>(end, "cmdBalancoCarbono")->y() > widget<QPushButton>(end, "cmdAvaliacaoEconomica")->y());

    auto *w = openCarbon(h);
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->windowTitle(), QStringLiteral("Balanço de Carbono"));
    QVERIFY(!h.shown("Terminar"));
    // Nothing typed: the defaults, shown in grey, give the account at once.
    QCOMPARE(fieldBox(w, CarbonField::CarbonFraction)->placeholderText(), QStringLiteral("0.51"));
    QCOMPARE(widget<QTableView>(w, "GrelhaCarbono")->model()->rowCount(), 9);
    // 48.05 x 0.44 x 1.3 x 1.29 x 0.51 = 18.08
    QCOMPARE(gridRow(widget<QTableView>(w, "GrelhaCarbono"), 0), QStringList({"2026", "12", "AD", "18.08", "0.00", "0.00", "18.08"}));
    QVERIFY(h.fake.messages.shown.empty());
    QVERIFY(press(widget<QPushButton>(w, "cmdVoltar")));
    QVERIFY(h.shown("Terminar"));
    QVERIFY(!h.window("frmCarbono"));
}

void CarbonScreenTest::accountOfTheSimulation_data()
{
    QTest::addColumn<bool>("withBark");
    QTest::newRow("com casca") << true;
    QTest::newRow("sem casca") << false;
}

void CarbonScreenTest::accountOfTheSimulation()
{
    QFETCH(bool, withBark);
    FlowHarness h;
    QVERIFY(finishedPlantedStand(h, withBark));
    const QByteArray log = h.logBytes();
    auto *w = openCarbon(h);
    QVERIFY(w);
    typeExample(w);
    QVERIFY(press(widget<QPushButton>(w, "cmdCalcular")));
    QVERIFY(h.fake.messages.shown.empty());

    QCOMPARE(gridRow(widget<QTableView>(w, "GrelhaCarbono"), -1),
             QStringList({"Ano", "Idade", "Cod", "Povoamento", "Produtos", "Emitido", "Total"}));
    // Whole tree 0.36894 t C per m3 over bark; the thinning of 22 sends
    // 20.18 and 26.62 m3 x 0.22 to the pools, seen from the next year on.
    QCOMPARE(widget<QTableView>(w, "GrelhaCarbono")->model()->rowCount(), 9);
    QCOMPARE(gridRow(widget<QTableView>(w, "GrelhaCarbono"), 3), QStringList({"2036", "22", "D", "45.15", "0.00", "7.50", "45.15"}));
    QCOMPARE(gridRow(widget<QTableView>(w, "GrelhaCarbono"), 4), QStringList({"2041", "27", "AD", "67.45", "9.23", "7.50", "76.68"}));
    QCOMPARE(gridRow(widget<QTableView>(w, "GrelhaCarbono"), 8), QStringList({"2056", "42", "AD", "86.13", "26.00", "59.78", "112.13"}));
    QCOMPARE(widget<QLabel>(w, "lblInicio")->text(), QStringLiteral("Stock no início (12 anos): 17.73 t C/ha (65.00 t CO2e/ha)"));
    QCOMPARE(widget<QLabel>(w, "lblFim")->text(), QStringLiteral("Stock no fim (42 anos): 112.13 t C/ha (411.15 t CO2e/ha)"));
    QCOMPARE(widget<QLabel>(w, "lblBalanco")->text(), QStringLiteral("Balanço líquido: 94.41 t C/ha (346.15 t CO2e/ha)"));
    QCOMPARE(widget<QLabel>(w, "lblStockMedio")->text(), QStringLiteral("Stock médio total: 70.88 t C/ha (259.89 t CO2e/ha)"));
    QCOMPARE(widget<QLabel>(w, "lblMedias")->text(), QStringLiteral("Média do povoamento 58.20 e dos produtos 12.68 t C/ha"));
    QCOMPARE(widget<QLabel>(w, "lblEmitido")->text(), QStringLiteral("Emitido acumulado: 59.78 t C/ha (219.21 t CO2e/ha)"));

    // The chart: the stand by record row, the products and the total year by year.
    const QList<QPointF> stand = linePoints(widget<QChartView>(w, "chtCarbono"), QStringLiteral("Povoamento"));
    QCOMPARE(stand.size(), 9);
    QVERIFY(std::abs(stand[3].y() - 122.37 * 0.36894) < 1e-9);
    const QList<QPointF> products = linePoints(widget<QChartView>(w, "chtCarbono"), QStringLiteral("Produtos"));
    QCOMPARE(products.size(), 31);
    const QList<QPointF> total = linePoints(widget<QChartView>(w, "chtCarbono"), QStringLiteral("Total"));
    // One point a year, two at each thinning's age.
    QCOMPARE(total.size(), 33);
    QCOMPARE(total.last().x(), 42.0);
    QVERIFY(std::abs(total.last().y() - (stand.last().y() + products.last().y())) < 1e-9);
    // Everything fits a 1024 x 768 screen.
    QVERIFY(w->sizeHint().width() <= 1024);
    QVERIFY(w->sizeHint().height() <= 740);
    if (withBark && qEnvironmentVariableIsSet("TAVELO_SCREENSHOT_DIR"))
        QVERIFY(w->grab().save(qEnvironmentVariable("TAVELO_SCREENSHOT_DIR") + QStringLiteral("/carbono.png")));

    // The account changes nothing of the simulation.
    QCOMPARE(h.logBytes(), log);
    QCOMPARE(h.recordRows(), 9);
}

void CarbonScreenTest::refusesABadFactor()
{
    FlowHarness h;
    auto *w = countedExample(h);
    QVERIFY(w);
    typeInto(fieldBox(w, CarbonField::ExpansionFactor), QStringLiteral("1,3"));
    QVERIFY(press(widget<QPushButton>(w, "cmdCalcular")));
    QCOMPARE(h.fake.messages.shown.size(), size_t(1));
    QCOMPARE(h.fake.messages.last().title, std::string("Dados Inválidos"));
    QCOMPARE(h.fake.messages.last().text,
             std::string("O campo \"Factor de expansão da biomassa\" deve ser um número entre 1 e 10."));
    QCOMPARE(h.fake.messages.shown.back().parentName, QStringLiteral("frmCarbono"));
    // The entry stays as typed, the last account stays, the factor is not remembered.
    QCOMPARE(fieldBox(w, CarbonField::ExpansionFactor)->text(), QStringLiteral("1,3"));
    QVERIFY(widget<QLabel>(w, "lblStockMedio")->text().startsWith(QStringLiteral("Stock médio total: 70.88 t C/ha")));
    QCOMPARE(h.fake.settings.values[carbonSettingsKey(CarbonField::ExpansionFactor)], QStringLiteral("1.3"));
    QVERIFY(h.shown("frmCarbono"));
}

void CarbonScreenTest::remembersTheFactors()
{
    FlowHarness h;
    auto *w = countedExample(h);
    QVERIFY(w);
    QCOMPARE(h.fake.settings.values[QStringLiteral("carbono/halfLives.sawlog")], QStringLiteral("35"));
    QVERIFY(press(widget<QPushButton>(w, "cmdVoltar")));

    // Opened again (as in the next run of the program): the texts are back and counted at once.
    auto *again = openCarbon(h);
    QVERIFY(again);
    QCOMPARE(fieldBox(again, CarbonField::CarbonFraction)->text(), QStringLiteral("0.5"));
    QVERIFY(widget<QLabel>(again, "lblStockMedio")->text().startsWith(QStringLiteral("Stock médio total: 70.88 t C/ha")));
}

void CarbonScreenTest::exportsAndPrints()
{
    FlowHarness h;
    auto *w = countedExample(h);
    QVERIFY(w);

    h.fake.files.answer = h.dir.filePath(QStringLiteral("carbono"));
    QVERIFY(press(widget<QPushButton>(w, "cmdExportarTabela")));
    QCOMPARE(h.fake.files.asked.back().proposedName,
             QString::fromStdString(h.state.logName).chopped(5) + QStringLiteral("-carbono"));
    const QStringList lines = QString::fromUtf8(readFile(h.dir.filePath(QStringLiteral("carbono.csv"))))
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 10);
    QCOMPARE(lines[0], QStringLiteral("Ano,Idade,Cod,Povoamento,Produtos,Emitido,Total"));
    QCOMPARE(lines[7], QStringLiteral("2046,32,D,49.04,8.18,24.64,57.22"));

    h.fake.files.answer = h.dir.filePath(QStringLiteral("carbono.png"));
    QVERIFY(press(widget<QPushButton>(w, "cmdExportarGrafico")));
    const QImage png(h.dir.filePath(QStringLiteral("carbono.png")));
    QVERIFY(!png.isNull());
    QVERIFY(png.width() >= widget<QChartView>(w, "chtCarbono")->width());

    h.fake.print.accept = true;
    h.fake.print.pdfPath = h.dir.filePath(QStringLiteral("carbono.pdf"));
    QVERIFY(press(widget<QPushButton>(w, "cmdImprimir")));
    QCOMPARE(pdfPages(h.fake.print.pdfPath), 1);
    QVERIFY(h.fake.messages.shown.empty());
    QVERIFY(h.shown("frmCarbono"));
}

TAVELO_QTEST_CLASS(CarbonScreenTest)
#include "carbon_screen_test.moc"
