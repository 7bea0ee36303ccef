// The valuation window driven as a user: from "Terminar Simulação" to
// "Avaliação económica", prices typed, the table and the values read, a bad
// value refused, the inputs remembered for the next opening, the exports.

#include "screens/results/economics_screen.h"
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

QList<QPointF> linePoints(QChartView *view)
{
    const auto series = view->chart()->series();
    auto *line = series.isEmpty() ? nullptr : qobject_cast<QLineSeries *>(series.first());
    return line ? line->points() : QList<QPointF>();
}

} // namespace

class EconomicsScreenTest : public QObject {
    Q_OBJECT

private slots:
    void buttonOnTheEndScreen();
    void valuesTheSimulation();
    void refusesABadValue();
    void remembersTheInputs();
    void exportsTableAndCharts();
};

void EconomicsScreenTest::buttonOnTheEndScreen()
{
    FlowHarness h;
    QVERIFY(finishedPlantedStand(h));
    auto *end = h.window<EndScreen>("Terminar");
    QCOMPARE(widget<QPushButton>(end, "cmdAvaliacaoEconomica")->text(), QStringLiteral("Avaliação económica"));
    // Last in the tab order and below every button that was there.
    QCOMPARE(widget<QPushButton>(end, "cmdsair")->nextInFocusChain(), widget<QPushButton>(end, "cmdAvaliacaoEconomica"));
    QVERIFY(widget<QPushButton>(end, "cmdAvaliacaoEconomica")->y() > widget<QPushButton>(end, "cmdsair")->y());

    auto *w = openValuation(h);
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->windowTitle(), QStringLiteral("Avaliação Económica"));
    QVERIFY(!h.shown("Terminar"));
    // Nothing typed yet: no table, no box.
    QCOMPARE(widget<QTableView>(w, "GrelhaFluxos")->model()->rowCount(), 0);
    QVERIFY(h.fake.messages.shown.empty());
    QVERIFY(press(widget<QPushButton>(w, "cmdVoltar")));
    QVERIFY(h.shown("Terminar"));
    QVERIFY(!h.window("frmEconomia"));
}

void EconomicsScreenTest::valuesTheSimulation()
{
    FlowHarness h;
    QVERIFY(finishedPlantedStand(h));
    const QByteArray log = h.logBytes();
    auto *w = openValuation(h);
    QVERIFY(w);
    typeValuationExample(w);
    QVERIFY(press(widget<QPushButton>(w, "cmdCalcular")));
    QVERIFY(h.fake.messages.shown.empty());

    QCOMPARE(gridRow(widget<QTableView>(w, "GrelhaFluxos"), -1),
             QStringList({"Ano", "Idade", "Operação", "Madeira", "Rolaria", "Lenha", "Total", "Receita", "Custos",
                          "Fluxo", "Fluxo actualizado"}));
    QCOMPARE(widget<QLabel>(w, "lblUnidades")->text(),
             QStringLiteral("Volumes retirados em m3/ha; receitas, custos e fluxos em €/ha"));
    QCOMPARE(widget<QTableView>(w, "GrelhaFluxos")->model()->rowCount(), 5);
    QCOMPARE(gridRow(widget<QTableView>(w, "GrelhaFluxos"), 0), QStringList({"2036", "22", "Desbaste", "20.18", "26.62", "1.43", "48.22",
                                                       "1718.14", "442.88", "1275.26", "948.91"}));
    QCOMPARE(gridRow(widget<QTableView>(w, "GrelhaFluxos"), 1), QStringList({"2046", "32", "Desbaste", "69.89", "40.44", "1.92", "112.24",
                                                       "4373.61", "698.96", "3674.65", "2034.56"}));
    QCOMPARE(gridRow(widget<QTableView>(w, "GrelhaFluxos"), 2), QStringList({"2056", "42", "Corte final", "193.57", "38.16", "1.72",
                                                       "233.45", "9869.21", "1333.80", "8535.41", "3516.48"}));
    QCOMPARE(gridRow(widget<QTableView>(w, "GrelhaFluxos"), 3), QStringList({"2027–2056", "13–42", "Custos anuais", "", "", "", "", "0.00",
                                                       "450.00", "-450.00", "-294.01"}));
    QCOMPARE(gridRow(widget<QTableView>(w, "GrelhaFluxos"), 4), QStringList({"", "", "Total", "283.64", "105.22", "5.07", "393.91",
                                                       "15960.96", "2925.64", "13035.32", "6205.95"}));
    // The total row is bold.
    const QModelIndex total = widget<QTableView>(w, "GrelhaFluxos")->model()->index(4, 2);
    QVERIFY(total.data(Qt::FontRole).value<QFont>().bold());

    QCOMPARE(widget<QLabel>(w, "lblVAL")->text(), QStringLiteral("Valor actual líquido (VAL): 6205.95 €/ha"));
    QCOMPARE(widget<QLabel>(w, "lblVAE")->text(), QStringLiteral("Valor anual equivalente (VAE): 316.62 €/ha/ano"));
    QCOMPARE(widget<QLabel>(w, "lblVES")->text(), QStringLiteral("Valor esperado do solo (VES): 4223.97 €/ha"));
    // With TAVELO_SCREENSHOT_DIR set, the window is also saved there as a PNG.
    if (qEnvironmentVariableIsSet("TAVELO_SCREENSHOT_DIR"))
        QVERIFY(w->grab().save(qEnvironmentVariable("TAVELO_SCREENSHOT_DIR") + QStringLiteral("/economia.png")));

    // The cumulative discounted flow ends at the value; the value against the
    // rate runs from 0 % to 10 % and passes through it at 3 %.
    const QList<QPointF> flow = linePoints(widget<QChartView>(w, "chtFluxoActualizado"));
    QCOMPARE(flow.size(), 34);
    QCOMPARE(flow.first(), QPointF(12.0, 0.0));
    QVERIFY(std::abs(flow.last().y() - 6205.95) < 0.01);
    const QList<QPointF> byRate = linePoints(widget<QChartView>(w, "chtVALTaxa"));
    QCOMPARE(byRate.first().x(), 0.0);
    QCOMPARE(byRate.last().x(), 10.0);
    QVERIFY(std::abs(byRate.first().y() - 13035.32) < 0.01);

    // Without discounting and without the annual cost: no LEV.
    typeInto(fieldBox(w, EconomicField::AnnualCost), QString());
    typeInto(fieldBox(w, EconomicField::DiscountRate), QStringLiteral("0"));
    QVERIFY(press(widget<QPushButton>(w, "cmdCalcular")));
    QCOMPARE(widget<QTableView>(w, "GrelhaFluxos")->model()->rowCount(), 4);
    QCOMPARE(widget<QLabel>(w, "lblVAL")->text(), QStringLiteral("Valor actual líquido (VAL): 13485.32 €/ha"));
    QCOMPARE(widget<QLabel>(w, "lblVAE")->text(), QStringLiteral("Valor anual equivalente (VAE): 449.51 €/ha/ano"));
    QCOMPARE(widget<QLabel>(w, "lblVES")->text(), QStringLiteral("Valor esperado do solo (VES): —"));

    // Valuing changes nothing of the simulation.
    QCOMPARE(h.logBytes(), log);
    QCOMPARE(h.recordRows(), 9);
}

void EconomicsScreenTest::refusesABadValue()
{
    FlowHarness h;
    QVERIFY(finishedPlantedStand(h));
    auto *w = valuedWindow(h);
    QVERIFY(w);
    typeInto(fieldBox(w, EconomicField::RoundwoodPrice), QStringLiteral("30,5"));
    QVERIFY(press(widget<QPushButton>(w, "cmdCalcular")));
    QCOMPARE(h.fake.messages.shown.size(), size_t(1));
    QCOMPARE(h.fake.messages.last().title, std::string("Dados Inválidos"));
    QCOMPARE(h.fake.messages.last().text,
             std::string("O campo \"Preço da rolaria (€/m3)\" deve ser um número entre 0 e 1000000."));
    QCOMPARE(h.fake.messages.shown.back().parentName, QStringLiteral("frmEconomia"));
    // The entry stays as typed, the last valuation stays on screen, the window stays open.
    QCOMPARE(fieldBox(w, EconomicField::RoundwoodPrice)->text(), QStringLiteral("30,5"));
    QCOMPARE(widget<QLabel>(w, "lblVAL")->text(), QStringLiteral("Valor actual líquido (VAL): 6205.95 €/ha"));
    QVERIFY(h.shown("frmEconomia"));
    // A refused value is not remembered.
    QCOMPARE(h.fake.settings.values[economicsSettingsKey(EconomicField::RoundwoodPrice)], QStringLiteral("30"));
}

void EconomicsScreenTest::remembersTheInputs()
{
    FlowHarness h;
    QVERIFY(finishedPlantedStand(h));
    auto *w = valuedWindow(h);
    QVERIFY(w);
    QCOMPARE(h.fake.settings.values[QStringLiteral("economia/prices.sawlog")], QStringLiteral("45"));
    QCOMPARE(h.fake.settings.values[QStringLiteral("economia/discountRate")], QStringLiteral("3"));
    QVERIFY(press(widget<QPushButton>(w, "cmdVoltar")));

    // Opened again (as in the next run of the program): the texts are back and valued at once.
    auto *again = openValuation(h);
    QVERIFY(again);
    QCOMPARE(fieldBox(again, EconomicField::CostPerCubicMetre)->text(), QStringLiteral("4"));
    QCOMPARE(widget<QLabel>(again, "lblVAL")->text(), QStringLiteral("Valor actual líquido (VAL): 6205.95 €/ha"));
    QCOMPARE(widget<QTableView>(again, "GrelhaFluxos")->model()->rowCount(), 5);

    // A store that fails says so and keeps the valuation.
    h.fake.settings.refuse = true;
    typeInto(fieldBox(again, EconomicField::DiscountRate), QStringLiteral("4"));
    QVERIFY(press(widget<QPushButton>(again, "cmdCalcular")));
    QCOMPARE(h.fake.messages.shown.size(), size_t(1));
    QCOMPARE(h.fake.messages.last().icon, Message::Icon::Warning);
    QVERIFY(widget<QLabel>(again, "lblVAL")->text() != QStringLiteral("Valor actual líquido (VAL): 6205.95 €/ha"));
}

void EconomicsScreenTest::exportsTableAndCharts()
{
    FlowHarness h;
    QVERIFY(finishedPlantedStand(h));
    auto *w = valuedWindow(h);
    QVERIFY(w);

    h.fake.files.answer = h.dir.filePath(QStringLiteral("economia"));
    QVERIFY(press(widget<QPushButton>(w, "cmdExportarTabela")));
    QCOMPARE(h.fake.files.asked.back().title, QStringLiteral("Exportar a tabela"));
    QCOMPARE(h.fake.files.asked.back().proposedName,
             QString::fromStdString(h.state.logName).chopped(5) + QStringLiteral("-economia"));
    const QStringList lines = QString::fromUtf8(readFile(h.dir.filePath(QStringLiteral("economia.csv"))))
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines[0], QStringLiteral("Ano,Idade,Operação,Madeira,Rolaria,Lenha,Total,Receita,Custos,Fluxo,"
                                      "Fluxo actualizado"));
    QCOMPARE(lines[1], QStringLiteral("2036,22,Desbaste,20.18,26.62,1.43,48.22,1718.14,442.88,1275.26,948.91"));
    QCOMPARE(lines[5], QStringLiteral(",,Total,283.64,105.22,5.07,393.91,15960.96,2925.64,13035.32,6205.95"));

    h.fake.files.answer = h.dir.filePath(QStringLiteral("economia.png"));
    QVERIFY(press(widget<QPushButton>(w, "cmdExportarGrafico")));
    QCOMPARE(h.fake.files.asked.back().title, QStringLiteral("Exportar o gráfico"));
    const QImage png(h.dir.filePath(QStringLiteral("economia.png")));
    QVERIFY(!png.isNull());
    // Both charts side by side in one picture.
    QVERIFY(png.width() >= widget<QChartView>(w, "chtFluxoActualizado")->width() + widget<QChartView>(w, "chtVALTaxa")->width());

    // Printed on one page; cancelled, nothing at all.
    h.fake.print.accept = true;
    h.fake.print.pdfPath = h.dir.filePath(QStringLiteral("economia.pdf"));
    QVERIFY(press(widget<QPushButton>(w, "cmdImprimir")));
    QCOMPARE(pdfPages(h.fake.print.pdfPath), 1);
    h.fake.print.accept = false;
    h.fake.print.pdfPath = h.dir.filePath(QStringLiteral("cancelado.pdf"));
    QVERIFY(press(widget<QPushButton>(w, "cmdImprimir")));
    QVERIFY(!QFile::exists(h.fake.print.pdfPath));
    QVERIFY(h.fake.messages.shown.empty());
    QVERIFY(h.shown("frmEconomia"));

    // A file that cannot be written gets the program's box and the window stays.
    h.fake.files.answer = h.dir.filePath(QStringLiteral("no-such-folder/economia.csv"));
    QVERIFY(press(widget<QPushButton>(w, "cmdExportarTabela")));
    QCOMPARE(h.fake.messages.last().title, std::string("Erro!"));
    QVERIFY(h.shown("frmEconomia"));
}

TAVELO_QTEST_CLASS(EconomicsScreenTest)
#include "economics_screen_test.moc"
