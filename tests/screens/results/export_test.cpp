// Exports from the windows: the stand tables and the summary as CSV, the
// charts as PNG, through the save dialog, without changing anything else.

#include "support/flow_test_support.h"
#include "support/widget_lookup.h"
#include "base/csv.h"
#include "screens/results/class_charts_screen.h"
#include "screens/results/end_screen.h"
#include "screens/shell/export.h"
#include "screens/results/summary_screen.h"
#include "support/qtest_runner.h"

#include <QChartView>
#include <QImage>

namespace tavelo::testing {
namespace {

Scenario planted(const QString &steps)
{
    Scenario s = exampleScenario(QStringLiteral("planted-two-thinnings"));
    s.steps = stepsFrom(steps);
    return s;
}

// The grid as CSV lines: the header row, then every row as shown.
QStringList gridAsCsv(const QTableView *view)
{
    QStringList lines;
    const QAbstractItemModel *m = view->model();
    std::vector<std::string> header;
    for (int c = 0; c < m->columnCount(); ++c)
        header.push_back(m->headerData(c, Qt::Horizontal).toString().toStdString());
    std::vector<std::vector<std::string>> rows{header};
    for (int r = 0; r < m->rowCount(); ++r) {
        std::vector<std::string> row;
        for (const QString &cell : gridRow(view, r))
            row.push_back(cell.toStdString());
        rows.push_back(row);
    }
    return QString::fromStdString(csvTable(rows)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList csvLines(const QString &path)
{
    return QString::fromUtf8(readFile(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class ExportTest : public QObject {
    Q_OBJECT

private slots:
    void standTables();
    void summaryTableAndChart();
    void classCharts();
    void cancelAndFailure();
};

void ExportTest::standTables()
{
    FlowHarness h;
    const Scenario s = planted(QStringLiteral("p m30"));
    QVERIFY(h.enterStand(s));
    QVERIFY(h.play(s.steps[0]));
    const QByteArray logBefore = h.logBytes();
    const int rowsBefore = h.recordRows();

    // Form5's grid, under a name typed without an extension.
    h.fake.files.answer = h.dir.filePath(QStringLiteral("estrutura"));
    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdExportar")));
    QCOMPARE(h.fake.files.asked.size(), size_t(1));
    QCOMPARE(h.fake.files.asked.back().title, QStringLiteral("Exportar a tabela"));
    QCOMPARE(h.fake.files.asked.back().filter, QStringLiteral("CSV (*.csv)|*.csv"));
    QCOMPARE(h.fake.files.asked.back().proposedName,
             QString::fromStdString(h.state.logName).chopped(5) + QStringLiteral("-idade-17"));
    const QStringList form5Lines = csvLines(h.dir.filePath(QStringLiteral("estrutura.csv")));
    QCOMPARE(form5Lines, gridAsCsv(widget<QTableView>(h.form5(), "Grelha")));
    QCOMPARE(form5Lines.first(), QStringLiteral("ClasseDAP,NArv/ha,ABasal(m2/ha),Altura(m),V.Total(m3/ha),"
                                                "V.Rolaria(m3/ha),V.Madeira(m3/ha),V.Lenha(m3/ha)"));
    QVERIFY(form5Lines.last().startsWith(QStringLiteral("Total,")));

    // form7's grid.
    QVERIFY(h.play(s.steps[1]));
    QVERIFY(h.thinnedInFront());
    h.fake.files.answer = h.dir.filePath(QStringLiteral("desbaste.csv"));
    QVERIFY(press(widget<QPushButton>(h.form7(), "cmdExportar")));
    QCOMPARE(h.fake.files.asked.back().proposedName,
             QString::fromStdString(h.state.logName).chopped(5) + QStringLiteral("-idade-17-desbaste"));
    QCOMPARE(csvLines(h.dir.filePath(QStringLiteral("desbaste.csv"))), gridAsCsv(widget<QTableView>(h.form7(), "Grelha")));

    // Nothing else happened: no box, no log block, no record row, same screens.
    QVERIFY(h.fake.messages.shown.empty());
    QCOMPARE(h.logBytes(), logBefore);
    QCOMPARE(h.recordRows(), rowsBefore);
    QVERIFY(h.thinnedInFront());
}

void ExportTest::summaryTableAndChart()
{
    FlowHarness h;
    const Scenario s = planted(QStringLiteral("p p m30 p e"));
    QVERIFY(h.enterStand(s));
    QVERIFY(h.playAll(s));
    QVERIFY(press(widget<QPushButton>(h.window<EndScreen>("Terminar"), "cmdGrafSim")));
    auto *summary = h.window<SummaryScreen>("Form10");
    QVERIFY(summary && summary->isVisible());

    h.fake.files.answer = h.dir.filePath(QStringLiteral("resumo.csv"));
    QVERIFY(press(widget<QPushButton>(summary, "cmdExportarTabela")));
    const QStringList lines = csvLines(h.dir.filePath(QStringLiteral("resumo.csv")));
    QCOMPARE(lines, gridAsCsv(widget<QTableView>(summary, "GrelhaTotal")));
    // The summary repeats the record, so its export is the record as CSV.
    QCOMPARE(lines, QString::fromStdString(recordCsv(h.state)).split(QLatin1Char('\n'), Qt::SkipEmptyParts));

    h.fake.files.answer = h.dir.filePath(QStringLiteral("resumo"));
    QVERIFY(press(widget<QPushButton>(summary, "cmdExportarGrafico")));
    QCOMPARE(h.fake.files.asked.back().title, QStringLiteral("Exportar o gráfico"));
    QCOMPARE(h.fake.files.asked.back().filter, QStringLiteral("PNG (*.png)|*.png"));
    const QImage png(h.dir.filePath(QStringLiteral("resumo.png")));
    QVERIFY(!png.isNull());
    QCOMPARE(png.size(), widget<QChartView>(summary, "MSChart1")->grab().size());
    // The window stays open: the save dialog is not a way out of it.
    QVERIFY(h.window<SummaryScreen>("Form10") && summary->isVisible());
    QVERIFY(h.fake.messages.shown.empty());
}

void ExportTest::classCharts()
{
    FlowHarness h;
    const Scenario s = planted(QStringLiteral("p m30"));
    QVERIFY(h.enterStand(s));
    QVERIFY(h.play(s.steps[0]));

    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdVGraficos")));
    auto *form8 = h.window<StandChartsScreen>("Form8");
    QVERIFY(form8 && form8->isVisible());
    h.fake.files.answer = h.dir.filePath(QStringLiteral("graficos.png"));
    QVERIFY(press(widget<QPushButton>(form8, "cmdExportarGrafico")));
    const QImage both(h.dir.filePath(QStringLiteral("graficos.png")));
    QVERIFY(!both.isNull());
    // Both charts side by side in one picture.
    QVERIFY(both.width() >= widget<QChartView>(form8, "MSChart1")->width() + widget<QChartView>(form8, "MSChart2")->width());
    QVERIFY(h.window("Form8"));
    press(widget<QPushButton>(form8, "cmdVoltar"));

    QVERIFY(h.play(s.steps[1]));
    QVERIFY(press(widget<QPushButton>(h.form7(), "cmdVGrafico")));
    auto *form9 = h.window<ThinningChartScreen>("Form9");
    QVERIFY(form9 && form9->isVisible());
    h.fake.files.answer = h.dir.filePath(QStringLiteral("desbaste.png"));
    QVERIFY(press(widget<QPushButton>(form9, "cmdExportarGrafico")));
    QCOMPARE(h.fake.files.asked.back().proposedName,
             QString::fromStdString(h.state.logName).chopped(5) + QStringLiteral("-graficos-idade-17-desbaste"));
    QVERIFY(!QImage(h.dir.filePath(QStringLiteral("desbaste.png"))).isNull());
    QVERIFY(h.fake.messages.shown.empty());
}

void ExportTest::cancelAndFailure()
{
    FlowHarness h;
    const Scenario s = planted(QStringLiteral("p"));
    QVERIFY(h.enterStand(s));

    // Cancelled: nothing written, nothing shown.
    h.fake.files.answer.clear();
    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdExportar")));
    QCOMPARE(h.fake.files.asked.size(), size_t(1));
    QVERIFY(h.fake.messages.shown.empty());

    // A folder that does not exist: the program's file error box, and the screen stays.
    h.fake.files.answer = h.dir.filePath(QStringLiteral("no/such/folder/tabela.csv"));
    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdExportar")));
    QCOMPARE(h.fake.messages.shown.size(), size_t(1));
    QCOMPARE(h.fake.messages.last(), fileWriteError());
    QVERIFY(h.form5()->isVisible());
}

} // namespace tavelo::testing

using tavelo::testing::ExportTest;
TAVELO_QTEST_CLASS(ExportTest)
#include "export_test.moc"
