// The end of a simulation and its results, driven through the windows: the
// whole road from the stand screen to "Nova simulação", the summary table and
// chart against the record, the diameter-class charts against the stand
// tables on screen, the windows that hand back to their opener, printing,
// saving and leaving.

#include "screens/start/entrada_screen.h"
#include "support/widget_lookup.h"
#include "screens/entry/options_screen.h"
#include "screens/entry/stand_data_screen.h"
#include "screens/entry/unthinned_screen.h"
#include "screens/results/class_charts_screen.h"
#include "screens/results/end_screen.h"
#include "screens/results/summary_screen.h"
#include "support/flow_test_support.h"
#include "support/qtest_runner.h"

#include <QAction>
#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QLabel>
#include <QLegend>
#include <QScrollBar>
#include <QToolButton>
#include <QValueAxis>
#include <QtTest>

#include <cmath>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

// --- Reading a chart as the user sees it -------------------------------------------------

QStringList categories(QChartView *view)
{
    const auto axes = view->chart()->axes(Qt::Horizontal);
    auto *axis = axes.isEmpty() ? nullptr : qobject_cast<QBarCategoryAxis *>(axes.first());
    return axis ? axis->categories() : QStringList();
}

QString axisTitle(QChartView *view, Qt::Orientation o)
{
    const auto axes = view->chart()->axes(o);
    return axes.isEmpty() ? QString() : axes.first()->titleText();
}

QList<QBarSet *> barSets(QChartView *view)
{
    const auto series = view->chart()->series();
    auto *bars = series.isEmpty() ? nullptr : qobject_cast<QBarSeries *>(series.first());
    return bars ? bars->barSets() : QList<QBarSet *>();
}

QStringList seriesNames(QChartView *view)
{
    QStringList out;
    for (QBarSet *s : barSets(view))
        out << s->label();
    return out;
}

QList<double> values(QBarSet *set)
{
    QList<double> out;
    for (int i = 0; i < set->count(); ++i)
        out << set->at(i);
    return out;
}

// A grid's class rows (every row but the Total row), column by column.
QList<QStringList> classRows(const QTableView *grid)
{
    QList<QStringList> rows;
    for (int r = 0; r + 1 < grid->model()->rowCount(); ++r)
        rows << gridRow(grid, r);
    return rows;
}

// The record as the reference runs keep it: the data lines of a record CSV.
QList<QStringList> csvRows(const QByteArray &csv)
{
    QList<QStringList> rows;
    const QList<QByteArray> lines = csv.split('\n');
    for (int i = 1; i < lines.size(); ++i)
        if (!lines[i].isEmpty())
            rows << QString::fromUtf8(lines[i]).split(QLatin1Char(','));
    return rows;
}

// The volume chart as the record says it should be: one category per age; at
// an age with a thinning the volume before, after and taken; the whole numbers
// rounded with halves to even (the default rounding of the floating point unit).
struct VolumeChart {
    QStringList categories;
    QList<double> before, after, removed;
};
VolumeChart volumeChartOf(const QList<QStringList> &record)
{
    VolumeChart c;
    for (int r = 0; r < record.size(); ++r) {
        const double volume = std::nearbyint(record[r][6].toDouble());
        if (r + 1 < record.size() && record[r + 1][1] == record[r][1]) {
            const double left = std::nearbyint(record[r + 1][6].toDouble());
            c.categories << QLatin1Char(' ') + record[r][1];
            c.before << volume;
            c.after << left;
            c.removed << volume - left;
            ++r;
        } else {
            c.categories << QLatin1Char(' ') + record[r][1];
            c.before << volume;
            c.after << 0.0;
            c.removed << 0.0;
        }
    }
    return c;
}

Scenario plantedWith(const QString &steps)
{
    Scenario s = exampleScenario(QStringLiteral("planted-two-thinnings"));
    s.steps = stepsFrom(steps);
    return s;
}

// Makes another window of the program the active one, as a click on it does.
void activate(QWidget *w)
{
    w->activateWindow();
    settle();
}

bool fitsTheScreen(QWidget *w, QString *size)
{
    const QRect frame = w->frameGeometry();
    *size = QStringLiteral("%1 %2x%3").arg(w->objectName()).arg(frame.width()).arg(frame.height());
    // Room for a title bar and a task bar on a 1024 x 768 screen.
    return frame.width() <= 1024 && frame.height() <= 768 - 40;
}

} // namespace

class ResultsFlowTest : public QObject {
    Q_OBJECT

private slots:
    void wholeSimulation();
    void summaryShowsTheRecord_data();
    void summaryShowsTheRecord();
    void standCharts();
    void thinningChart();
    void chartsShowTheStandsYear_data();
    void chartsShowTheStandsYear();
    void windowsHandBack_data();
    void windowsHandBack();
    void prints_data();
    void prints();
    void cancelledPrintDoesNothing_data();
    void cancelledPrintDoesNothing();
    void saveFailsOrIsCancelled();
    void leaving();
    void endScreenCloseBox();
    void throughTheEntryWindows();
    void windowsFitTheScreen();
};

void ResultsFlowTest::wholeSimulation()
{
    FlowHarness h;
    // Projections, a mechanical thinning carried forward, a thinning from below
    // defined again and ended on.
    const Scenario s = plantedWith(QStringLiteral("p p m30 p p b20 d b19.5 e"));
    const ReferenceRun reference = runReference(s, h.dir.path());
    EntradaScreen *entrada = h.window<EntradaScreen>("Entrada");
    QVERIFY(entrada);
    const std::string firstLog = h.state.logName;
    QVERIFY(h.enterStand(s));
    QVERIFY(h.playAll(s));

    QCOMPARE(h.logBytes(), reference.log);
    QCOMPARE(recordCsv(h.state), reference.record);
    QVERIFY(h.fake.messages.shown.empty());
    // Ended on form7: its stand is the last row, a "D".
    QCOMPARE(h.recordRows(), 7);
    QCOMPARE(h.recordCell(6, 2), QStringLiteral("D"));

    auto *end = h.window<EndScreen>("Terminar");
    QVERIFY(end && end->isVisible());
    QCOMPARE(end->windowTitle(), QStringLiteral("Terminar Simulação"));
    QCOMPARE(widget<QPushButton>(end, "cmdGrafSim")->text(), QStringLiteral("Gráfico e tabela de simulação"));
    QCOMPARE(widget<QPushButton>(end, "cmdImprimirSim")->text(), QStringLiteral("Imprimir simulação"));
    QCOMPARE(widget<QPushButton>(end, "cmdSalvarSim")->text(), QStringLiteral("Guardar a simulação"));
    QCOMPARE(widget<QPushButton>(end, "cmdNovaSimulacao")->text(), QStringLiteral("Nova simulação"));
    QCOMPARE(widget<QPushButton>(end, "cmdsair")->text(), QStringLiteral("Sair"));
    // No way back into the finished simulation from the start screen.
    QVERIFY(!widget<QAction>(entrada, "Sim")->isEnabled() && !widget<QToolButton>(entrada, "cmdSimulacao")->isEnabled());

    // The summary: the same states as the planted reference run up to here.
    QVERIFY(press(widget<QPushButton>(end, "cmdGrafSim")));
    auto *summary = h.window<SummaryScreen>("Form10");
    QVERIFY(summary && summary->isVisible());
    QVERIFY(!end->isVisible());
    QCOMPARE(summary->windowTitle(), QStringLiteral("Características Simuladas do Povoamento"));
    QCOMPARE(widget<QLabel>(summary, "lblV")->text(), QStringLiteral("Volumes com casca, corte a 0.15 m:"));
    const QList<QStringList> record = csvRows(QByteArray::fromStdString(reference.record));
    const QList<QStringList> planted = csvRows(readFile(examplePath(QStringLiteral("planted-two-thinnings.record.csv"))));
    QCOMPARE(record, planted.mid(0, 7));
    QCOMPARE(widget<QTableView>(summary, "GrelhaTotal")->model()->rowCount(), 7);
    for (int r = 0; r < 7; ++r)
        QCOMPARE(gridRow(widget<QTableView>(summary, "GrelhaTotal"), r), record[r]);
    const VolumeChart expected = volumeChartOf(record);
    QCOMPARE(categories(widget<QChartView>(summary, "MSChart1")), (QStringList{" 12", " 17", " 22", " 27", " 32"}));
    QCOMPARE(categories(widget<QChartView>(summary, "MSChart1")), expected.categories);
    const QList<QBarSet *> sets = barSets(widget<QChartView>(summary, "MSChart1"));
    QCOMPARE(sets.size(), 3);
    QCOMPARE(values(sets[0]), expected.before);
    QCOMPARE(values(sets[1]), expected.after);
    QCOMPARE(values(sets[2]), expected.removed);
    // 22 years: 170.59 before, 122.37 after the mechanical thinning.
    QCOMPARE(values(sets[2])[2], 171.0 - 122.0);
    QVERIFY(press(widget<QPushButton>(summary, "cmdVoltar")));
    QVERIFY(!h.window("Form10"));
    QVERIFY(end->isVisible());

    // Saved as typed, without an extension, over an older file of that name.
    const QString saved = h.dir.filePath(QStringLiteral("pinhal-norte"));
    {
        QFile old(saved);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(20000, 'x'));
    }
    h.fake.files.answer = saved;
    QVERIFY(press(widget<QPushButton>(end, "cmdSalvarSim")));
    QCOMPARE(h.fake.files.asked.size(), size_t(1));
    const auto &asked = h.fake.files.asked.front();
    QCOMPARE(asked.title, QStringLiteral("Guardar a simulação - ficheiro ") + QString::fromStdString(firstLog));
    QVERIFY(firstLog.size() > 5 && QString::fromStdString(firstLog).endsWith(QStringLiteral(".temp")));
    QCOMPARE(asked.proposedName, QString::fromStdString(firstLog).chopped(5));
    QCOMPARE(asked.filter, QStringLiteral("text (*.txt)|*.txt"));
    const QByteArray copy = readFile(saved);
    QCOMPARE(copy, h.logBytes());
    QVERIFY(!QFile::exists(saved + QStringLiteral(".txt")));
    QCOMPARE(copy.count("\r\n"), copy.count('\n')); // every line ends in CR LF
    QVERIFY(h.fake.messages.shown.empty());

    // "Nova simulação": only the start screen, an empty record, a new log.
    const QString oldLog = QString::fromStdString(h.ctx->logPath().string());
    QVERIFY(press(widget<QPushButton>(end, "cmdNovaSimulacao")));
    QCOMPARE(h.ctx->windows.loadedNames(), QStringList{"Entrada"});
    QCOMPARE(h.visibleWindows(), QStringList{"Entrada"});
    QCOMPARE(h.recordRows(), 0);
    QCOMPARE(h.state.recordLast, -1);
    QVERIFY(h.state.standAge.isNull() && h.state.withBark.isNull() && h.state.currentYear.isEmptyOrNull());
    QVERIFY(h.state.logName != firstLog);
    QVERIFY(QFile::exists(oldLog)); // kept until "Sair"
    QVERIFY(!QFile::exists(QString::fromStdString(h.ctx->logPath().string())));
    QCOMPARE(QString::fromStdString(h.ctx->simulation.log().path().string()),
             QString::fromStdString(h.ctx->logPath().string()));
    QVERIFY(!h.ctx->simulation.standTable() && !h.ctx->simulation.thinnedTable());
    EntradaScreen *fresh = h.window<EntradaScreen>("Entrada");
    QVERIFY(fresh && fresh->isVisible());
    QVERIFY(!widget<QAction>(fresh, "Sim")->isEnabled()); // until the model options are confirmed again

    // The next simulation's summary shows only its own states.
    const Scenario next = exampleScenario(QStringLiteral("thinned-by-parameters"));
    QVERIFY(h.enterStand(next));
    QVERIFY(h.playAll(next));
    QVERIFY(h.finish());
    QVERIFY(press(widget<QPushButton>(h.window<EndScreen>("Terminar"), "cmdGrafSim")));
    const QList<QStringList> nextRecord = csvRows(readFile(examplePath(QStringLiteral("thinned-by-parameters.record.csv"))));
    QCOMPARE(widget<QTableView>(h.window<SummaryScreen>("Form10"), "GrelhaTotal")->model()->rowCount(), nextRecord.size());
    QCOMPARE(gridRow(widget<QTableView>(h.window<SummaryScreen>("Form10"), "GrelhaTotal"), 0), nextRecord.first());
    // Its log is new, and holds only this simulation.
    QCOMPARE(h.logBytes(), readFile(examplePath(QStringLiteral("thinned-by-parameters.log"))));
}

void ResultsFlowTest::summaryShowsTheRecord_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::newRow("planted-two-thinnings") << QStringLiteral("planted-two-thinnings")
                                           << QStringLiteral("Volumes com casca, corte a 0.15 m:");
    QTest::newRow("alive-quality-class-without-bark") << QStringLiteral("alive-quality-class-without-bark")
                                                      << QStringLiteral("Volumes sem casca, corte a .15 m:");
    QTest::newRow("thinned-by-parameters") << QStringLiteral("thinned-by-parameters")
                                           << QStringLiteral("Volumes com casca, corte a 0.15 m:");
    QTest::newRow("thinned-by-classes") << QStringLiteral("thinned-by-classes")
                                        << QStringLiteral("Volumes com casca, corte a 0.15 m:");
}

void ResultsFlowTest::summaryShowsTheRecord()
{
    QFETCH(QString, name);
    QFETCH(QString, title);
    FlowHarness h;
    const Scenario s = exampleScenario(name);
    QVERIFY(h.enterStand(s));
    QVERIFY(h.playAll(s));
    if (!h.shown("Terminar"))
        QVERIFY(h.finish());
    QVERIFY(press(widget<QPushButton>(h.window<EndScreen>("Terminar"), "cmdGrafSim")));
    auto *summary = h.window<SummaryScreen>("Form10");
    QVERIFY(summary);

    QCOMPARE(widget<QLabel>(summary, "lblV")->text(), title);
    QTableView *grid = widget<QTableView>(summary, "GrelhaTotal");
    QCOMPARE(gridRow(grid, -1), (QStringList{"Ano", "Idade", "Cod", "NArv/ha", "ABasal(m2/ha)", "Altura(m)",
                                             "V.Total(m3/ha)", "V.Rolaria(m3/ha)", "V.Madeira(m3/ha)", "V.Lenha(m3/ha)"}));
    const QList<QStringList> record = csvRows(readFile(examplePath(name + QStringLiteral(".record.csv"))));
    QCOMPARE(grid->model()->rowCount(), record.size());
    for (int r = 0; r < record.size(); ++r) {
        QCOMPARE(gridRow(grid, r), record[r]);
        for (int c = 0; c < 10; ++c)
            QCOMPARE(grid->model()->index(r, c).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
                     Qt::Alignment(Qt::AlignCenter));
    }
    for (int c = 0; c < 10; ++c)
        QCOMPARE(grid->model()->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(),
                 Qt::Alignment(Qt::AlignCenter));
    QCOMPARE(grid->horizontalScrollBar()->maximum(), 0);

    const VolumeChart expected = volumeChartOf(record);
    QChartView *chart = widget<QChartView>(summary, "MSChart1");
    QCOMPARE(categories(chart), expected.categories);
    QCOMPARE(seriesNames(chart), (QStringList{"Volume Principal", "Volume Principal após Desbaste", "Volume Desbastado"}));
    const QList<QBarSet *> sets = barSets(chart);
    QCOMPARE(values(sets[0]), expected.before);
    QCOMPARE(values(sets[1]), expected.after);
    QCOMPARE(values(sets[2]), expected.removed);
    // Three series a reader tells apart.
    QVERIFY(sets[0]->color() != sets[1]->color() && sets[1]->color() != sets[2]->color() &&
            sets[0]->color() != sets[2]->color());
    QCOMPARE(axisTitle(chart, Qt::Horizontal), QStringLiteral("Idade (anos)"));
    QCOMPARE(axisTitle(chart, Qt::Vertical), QStringLiteral("Volume (m3/ha)"));
    QVERIFY(chart->chart()->legend()->isVisible());
    QCOMPARE(chart->chart()->legend()->alignment(), Qt::Alignment(Qt::AlignTop));
    // The tallest bar stays inside the value axis.
    auto *y = qobject_cast<QValueAxis *>(chart->chart()->axes(Qt::Vertical).first());
    QVERIFY(y && y->min() == 0.0 && y->max() >= *std::max_element(expected.before.begin(), expected.before.end()));
}

void ResultsFlowTest::standCharts()
{
    FlowHarness h;
    QVERIFY(h.enterStand(plantedWith(QString())));
    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdProjectar")));
    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdProjectar")));
    StandStructureScreen *f5 = h.form5();
    QVERIFY(press(widget<QPushButton>(f5, "cmdVGraficos")));
    auto *charts = h.window<StandChartsScreen>("Form8");
    QVERIFY(charts && charts->isVisible());
    QVERIFY(f5->isVisible()); // the stand screen stays as it was
    QCOMPARE(charts->windowTitle(), QStringLiteral("Características do povoamento"));
    QCOMPARE(widget<QLabel>(charts, "txtIdade")->text(), widget<QLabel>(f5, "txtIdade")->text());
    QCOMPARE(widget<QLabel>(charts, "txtADom")->text(), widget<QLabel>(f5, "txtADom")->text());
    QCOMPARE(widget<QLabel>(charts, "txtCQualidd")->text(), widget<QLabel>(f5, "txtCQualidd")->text());
    QCOMPARE(widget<QLabel>(charts, "txtDmedio")->text(), widget<QLabel>(f5, "txtDmedio")->text());
    // The stand's own year, 10 years on from the year typed on the options screen.
    QCOMPARE(widget<QLabel>(charts, "txtAno")->text(), QStringLiteral("2036"));
    QCOMPARE(widget<QLabel>(f5, "txtAno")->text(), QStringLiteral("2036"));
    QCOMPARE(widget<QPushButton>(charts, "cmdVoltar")->text(), QStringLiteral("Voltar à simulação"));
    QVERIFY(widget<QPushButton>(charts, "cmdImprimir")->text().isEmpty() && !widget<QPushButton>(charts, "cmdImprimir")->icon().isNull());

    const QList<QStringList> rows = classRows(widget<QTableView>(f5, "Grelha"));
    QVERIFY(rows.size() >= 3);
    QStringList labels;
    QList<double> trees, fuel, round, saw;
    for (const QStringList &r : rows) {
        labels << QLatin1Char(' ') + r[0];
        trees << r[1].toDouble();
        fuel << r[7].toDouble();
        round << r[5].toDouble();
        saw << r[6].toDouble();
    }
    QCOMPARE(categories(widget<QChartView>(charts, "MSChart1")), labels);
    QCOMPARE(categories(widget<QChartView>(charts, "MSChart2")), labels);
    QCOMPARE(barSets(widget<QChartView>(charts, "MSChart1")).size(), 1);
    QCOMPARE(values(barSets(widget<QChartView>(charts, "MSChart1"))[0]), trees);
    QCOMPARE(seriesNames(widget<QChartView>(charts, "MSChart2")), (QStringList{"Lenha", "Rolaria", "Madeira"}));
    QCOMPARE(values(barSets(widget<QChartView>(charts, "MSChart2"))[0]), fuel);
    QCOMPARE(values(barSets(widget<QChartView>(charts, "MSChart2"))[1]), round);
    QCOMPARE(values(barSets(widget<QChartView>(charts, "MSChart2"))[2]), saw);
    QCOMPARE(axisTitle(widget<QChartView>(charts, "MSChart1"), Qt::Horizontal), QStringLiteral("Classe Dap (cm)"));
    QCOMPARE(axisTitle(widget<QChartView>(charts, "MSChart1"), Qt::Vertical), QStringLiteral("nº de Árvores (nº/ha)"));
    QCOMPARE(axisTitle(widget<QChartView>(charts, "MSChart2"), Qt::Horizontal), QStringLiteral("Classe Dap (cm)"));
    QCOMPARE(axisTitle(widget<QChartView>(charts, "MSChart2"), Qt::Vertical), QStringLiteral("Volume (m3/ha)"));
    QVERIFY(widget<QChartView>(charts, "MSChart2")->chart()->legend()->isVisible());
    QCOMPARE(widget<QChartView>(charts, "MSChart2")->chart()->legend()->alignment(), Qt::Alignment(Qt::AlignTop));
    QCOMPARE(widget<QChartView>(charts, "MSChart2")->chart()->legend()->font().pointSizeF(), 8.0);
    // Nothing was logged or recorded by looking.
    QCOMPARE(h.logBlocks(), 3);
}

void ResultsFlowTest::thinningChart()
{
    FlowHarness h;
    QVERIFY(h.enterStand(plantedWith(QString())));
    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdProjectar")));
    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdProjectar")));
    // From below, to little more than half the basal area.
    QVERIFY(h.thin(ScreenEntries::Thinning::FromBelow, "17"));
    AfterThinningScreen *f7 = h.form7();
    QVERIFY(f7);
    QVERIFY(press(widget<QPushButton>(f7, "cmdVGrafico")));
    auto *charts = h.window<ThinningChartScreen>("Form9");
    QVERIFY(charts && charts->isVisible());
    QCOMPARE(charts->windowTitle(), QStringLiteral("Características do povoamento"));
    QCOMPARE(widget<QLabel>(charts, "lblCDesbaste")->text(), QStringLiteral("Pelo baixo com 17 m2 de área basal residual"));
    QCOMPARE(widget<QLabel>(charts, "txtIdade")->text(), widget<QLabel>(f7, "txtIdade")->text());
    QCOMPARE(widget<QLabel>(charts, "txtDmedio")->text(), widget<QLabel>(f7, "txtDmedio")->text());
    QCOMPARE(widget<QLabel>(charts, "txtAno")->text(), QStringLiteral("2036"));
    QVERIFY(!charts->findChild<QChartView *>(QStringLiteral("MSChart2")));

    // The classes before the thinning, with the trees left where a class remains.
    const QList<QStringList> before = classRows(widget<QTableView>(h.form5(), "Grelha"));
    const QList<QStringList> after = classRows(widget<QTableView>(f7, "Grelha"));
    QVERIFY(after.size() < before.size());
    QStringList labels;
    QList<double> treesBefore, treesAfter;
    for (const QStringList &r : before) {
        labels << QLatin1Char(' ') + r[0];
        treesBefore << r[1].toDouble();
        double left = 0.0;
        for (const QStringList &a : after)
            if (a[0] == r[0])
                left = a[1].toDouble();
        treesAfter << left;
    }
    QCOMPARE(categories(widget<QChartView>(charts, "MSChart1")), labels);
    QCOMPARE(seriesNames(widget<QChartView>(charts, "MSChart1")), (QStringList{"Antes do desbaste", "Após o desbaste"}));
    QCOMPARE(values(barSets(widget<QChartView>(charts, "MSChart1"))[0]), treesBefore);
    QCOMPARE(values(barSets(widget<QChartView>(charts, "MSChart1"))[1]), treesAfter);
    // A class the thinning emptied keeps its category, with no bar after.
    QVERIFY(treesAfter.contains(0.0));
    QCOMPARE(axisTitle(widget<QChartView>(charts, "MSChart1"), Qt::Horizontal), QStringLiteral("Classe Dap (cm)"));
    QCOMPARE(axisTitle(widget<QChartView>(charts, "MSChart1"), Qt::Vertical), QStringLiteral("Nº de Árvores (nº/ha)"));
    QCOMPARE(widget<QChartView>(charts, "MSChart1")->chart()->legend()->alignment(), Qt::Alignment(Qt::AlignTop));
}

// A stand planted at 12 years in 2026: each chart window shows the year of the
// stand it draws, the year its stand screen and the record's row give it.
void ResultsFlowTest::chartsShowTheStandsYear_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("afterThinning");
    QTest::addColumn<QString>("age");
    QTest::addColumn<QString>("year");
    QTest::newRow("stand at 22") << "p p" << false << "22" << "2036";
    QTest::newRow("thinned at 22") << "p p b17" << true << "22" << "2036";
    QTest::newRow("stand at 27, thinned at 22") << "p p b17 p" << false << "27" << "2041";
    QTest::newRow("thinned at 27") << "p p b17 p m30" << true << "27" << "2041";
}

void ResultsFlowTest::chartsShowTheStandsYear()
{
    QFETCH(QString, steps);
    QFETCH(bool, afterThinning);
    QFETCH(QString, age);
    QFETCH(QString, year);
    FlowHarness h;
    const Scenario s = plantedWith(steps);
    QVERIFY(h.enterStand(s));
    QVERIFY(h.playAll(s));
    QWidget *charts = nullptr;
    if (afterThinning) {
        QVERIFY(press(widget<QPushButton>(h.form7(), "cmdVGrafico")));
        charts = h.window<ThinningChartScreen>("Form9");
    } else {
        QVERIFY(press(widget<QPushButton>(h.form5(), "cmdVGraficos")));
        charts = h.window<StandChartsScreen>("Form8");
    }
    QVERIFY(charts && charts->isVisible());
    QCOMPARE(widget<QLabel>(charts, "txtIdade")->text(), age);
    QCOMPARE(widget<QLabel>(charts, "txtAno")->text(), year);
    // The record's last row is the stand drawn, with the same year.
    QCOMPARE(h.recordCell(h.recordRows() - 1, 0), year);
}

void ResultsFlowTest::windowsHandBack_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("how");
    for (const char *w : {"Form8", "Form9", "Form10"})
        for (const char *how : {"button", "close box", "another window"})
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(QLatin1String(w), QLatin1String(how))))
                << QString::fromLatin1(w) << QString::fromLatin1(how);
}

void ResultsFlowTest::windowsHandBack()
{
    QFETCH(QString, window);
    QFETCH(QString, how);
    FlowHarness h;
    QVERIFY(h.enterStand(plantedWith(QString())));
    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdProjectar")));
    QString opener;
    QWidget *other = nullptr; // the window the user clicks on
    if (window == QLatin1String("Form8")) {
        QVERIFY(press(widget<QPushButton>(h.form5(), "cmdVGraficos")));
        opener = QStringLiteral("Form5");
        other = h.form5();
    } else if (window == QLatin1String("Form9")) {
        QVERIFY(h.thin(ScreenEntries::Thinning::Mechanical, "30"));
        QVERIFY(press(widget<QPushButton>(h.form7(), "cmdVGrafico")));
        opener = QStringLiteral("form7");
        other = h.form7();
    } else {
        QVERIFY(h.finish());
        QVERIFY(press(widget<QPushButton>(h.window<EndScreen>("Terminar"), "cmdGrafSim")));
        opener = QStringLiteral("Terminar");
        other = h.window("Entrada");
    }
    QPointer<QWidget> shown = h.ctx->windows.named(window);
    QVERIFY(shown && shown->isVisible());
    QCOMPARE(QApplication::activeWindow(), shown.data());
    const QByteArray log = h.logBytes();

    if (how == QLatin1String("button"))
        QVERIFY(press(shown->findChild<QAbstractButton *>(QStringLiteral("cmdVoltar"))));
    else if (how == QLatin1String("close box"))
        QVERIFY(shown->close());
    else
        activate(other);
    settle();
    QVERIFY(!shown);

    QVERIFY2(!h.ctx->windows.named(window), "the window is unloaded");
    QVERIFY(h.shown(qPrintable(opener)));
    QCOMPARE(h.logBytes(), log);
    // A new opening builds the window afresh.
    if (window == QLatin1String("Form10")) {
        QVERIFY(press(widget<QPushButton>(h.window<EndScreen>("Terminar"), "cmdGrafSim")));
        QVERIFY(h.shown("Form10"));
    }
}

void ResultsFlowTest::prints_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("Terminar: Imprimir simulação") << QStringLiteral("cmdImprimirSim");
    QTest::newRow("Form8: the window") << QStringLiteral("Form8");
    QTest::newRow("Form9: the window") << QStringLiteral("Form9");
    QTest::newRow("Form10: the chart") << QStringLiteral("Form10");
}

void ResultsFlowTest::prints()
{
    QFETCH(QString, button);
    FlowHarness h;
    QVERIFY(h.enterStand(plantedWith(QStringLiteral("p p m30"))));
    QVERIFY(h.playAll(plantedWith(QStringLiteral("p p m30"))));
    QAbstractButton *print = nullptr;
    if (button == QLatin1String("Form9")) {
        QVERIFY(press(widget<QPushButton>(h.form7(), "cmdVGrafico")));
        print = widget<QPushButton>(h.window<ThinningChartScreen>("Form9"), "cmdImprimir");
    } else if (button == QLatin1String("Form8")) {
        QVERIFY(press(widget<QPushButton>(h.form7(), "cmdProjectar")));
        QVERIFY(press(widget<QPushButton>(h.form5(), "cmdVGraficos")));
        print = widget<QPushButton>(h.window<StandChartsScreen>("Form8"), "cmdImprimir");
    } else {
        QVERIFY(h.finish());
        auto *end = h.window<EndScreen>("Terminar");
        print = widget<QPushButton>(end, "cmdImprimirSim");
        if (button == QLatin1String("Form10")) {
            QVERIFY(press(widget<QPushButton>(end, "cmdGrafSim")));
            print = widget<QPushButton>(h.window<SummaryScreen>("Form10"), "cmdImprimir");
        }
    }
    QWidget *window = print->window();
    QCOMPARE(QApplication::activeWindow(), window);
    const QString pdf = h.dir.filePath(QStringLiteral("printed.pdf"));
    h.fake.print.accept = true;
    h.fake.print.pdfPath = pdf;
    QVERIFY(press(print));

    QCOMPARE(h.fake.print.asked, 1);
    QVERIFY(h.fake.messages.shown.empty());
    QVERIFY(QFile::exists(pdf));
    if (button == QLatin1String("cmdImprimirSim")) {
        // The whole log, the thinned stand ended on included.
        QString why;
        QVERIFY2(printedAsLog(pdf, logLinesOf(h.logBytes()), &why), qPrintable(why));
        QCOMPARE(h.logBlocks(), 4);
        return;
    }
    // A picture on one page; the summary puts its caption and title above it.
    QCOMPARE(pdfPages(pdf), 1);
    QVERIFY(QFileInfo(pdf).size() > 10000);
    const QList<QStringList> text = pdfPageLines(pdf);
    if (button == QLatin1String("Form10")) {
        QVERIFY(text.size() == 1 && text[0].size() >= 2);
        QCOMPARE(text[0][0].trimmed(), QStringLiteral("Características Simuladas do Povoamento"));
        QCOMPARE(text[0][1].trimmed(), QStringLiteral("Volumes com casca, corte a 0.15 m:"));
    } else {
        QVERIFY(text.isEmpty() || text[0].join(QString()).trimmed().isEmpty()); // a picture, no text
    }
    // Printing does not take the window away.
    QVERIFY(h.ctx->windows.named(window->objectName()) == window && window->isVisible());
}

void ResultsFlowTest::cancelledPrintDoesNothing_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("Terminar") << QStringLiteral("Terminar");
    QTest::newRow("Form8") << QStringLiteral("Form8");
    QTest::newRow("Form10") << QStringLiteral("Form10");
}

void ResultsFlowTest::cancelledPrintDoesNothing()
{
    QFETCH(QString, window);
    FlowHarness h;
    QVERIFY(h.enterStand(plantedWith(QString())));
    QAbstractButton *print = nullptr;
    if (window == QLatin1String("Form8")) {
        QVERIFY(press(widget<QPushButton>(h.form5(), "cmdVGraficos")));
        print = widget<QPushButton>(h.window<StandChartsScreen>("Form8"), "cmdImprimir");
    } else {
        QVERIFY(h.finish());
        print = widget<QPushButton>(h.window<EndScreen>("Terminar"), "cmdImprimirSim");
        if (window == QLatin1String("Form10")) {
            QVERIFY(press(widget<QPushButton>(h.window<EndScreen>("Terminar"), "cmdGrafSim")));
            print = widget<QPushButton>(h.window<SummaryScreen>("Form10"), "cmdImprimir");
        }
    }
    const QString pdf = h.dir.filePath(QStringLiteral("cancelled.pdf"));
    h.fake.print.accept = false;
    h.fake.print.pdfPath = pdf;
    QVERIFY(press(print));
    QCOMPARE(h.fake.print.asked, 1);
    QVERIFY(!QFile::exists(pdf));
    QVERIFY(h.fake.messages.shown.empty());
    QVERIFY(h.shown(qPrintable(window)));
}

void ResultsFlowTest::saveFailsOrIsCancelled()
{
    FlowHarness h;
    QVERIFY(h.enterStand(plantedWith(QString())));
    QVERIFY(h.finish());
    auto *end = h.window<EndScreen>("Terminar");
    const QStringList before = QDir(h.dir.path()).entryList(QDir::Files);

    // Cancelled: nothing written, nothing shown.
    h.fake.files.answer.clear();
    QVERIFY(press(widget<QPushButton>(end, "cmdSalvarSim")));
    QCOMPARE(QDir(h.dir.path()).entryList(QDir::Files), before);
    QVERIFY(h.fake.messages.shown.empty());

    // A folder that does not exist: the error box, and the user stays.
    h.fake.files.answer = h.dir.filePath(QStringLiteral("no-such-folder/simulacao"));
    QVERIFY(press(widget<QPushButton>(end, "cmdSalvarSim")));
    QCOMPARE(h.fake.messages.shown.size(), size_t(1));
    QCOMPARE(h.fake.messages.last(), Message::error("Erro!", "Erro de gravação do ficheiro..."));
    QCOMPARE(h.fake.messages.shown.front().parentName, QStringLiteral("Terminar"));
    QVERIFY(end->isVisible());

    // And may try again.
    h.fake.files.answer = h.dir.filePath(QStringLiteral("simulacao.txt"));
    QVERIFY(press(widget<QPushButton>(end, "cmdSalvarSim")));
    QCOMPARE(readFile(h.fake.files.answer), h.logBytes());
    QCOMPARE(h.fake.messages.shown.size(), size_t(1));
}

void ResultsFlowTest::leaving()
{
    FlowHarness h;
    // A log left by an earlier run that ended otherwise, and a file that is not a log.
    for (const char *name : {"Simulacao7.temp", "notas.txt"}) {
        QFile f(h.dir.filePath(QLatin1String(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QVERIFY(h.enterStand(plantedWith(QString())));
    QVERIFY(h.finish());
    QVERIFY(QFile::exists(QString::fromStdString(h.ctx->logPath().string())));
    QVERIFY(press(widget<QPushButton>(h.window<EndScreen>("Terminar"), "cmdsair")));
    QCOMPARE(h.fake.exit.codes, std::vector<int>{kExitNormal});
    QCOMPARE(QDir(h.dir.path()).entryList({QStringLiteral("*.temp")}, QDir::Files), QStringList());
    QVERIFY(QFile::exists(h.dir.filePath(QStringLiteral("notas.txt"))));
    QVERIFY(h.fake.messages.shown.empty());
}

void ResultsFlowTest::endScreenCloseBox()
{
    FlowHarness h;
    QVERIFY(h.enterStand(plantedWith(QString())));
    QVERIFY(h.finish());
    const std::string record = recordCsv(h.state);
    QVERIFY(h.window("Terminar")->close());
    settle();
    QVERIFY(!h.window("Terminar"));
    QCOMPARE(h.visibleWindows(), QStringList{"Entrada"});
    auto *entrada = h.window<EntradaScreen>("Entrada");
    QVERIFY(!widget<QAction>(entrada, "Sim")->isEnabled() && !widget<QToolButton>(entrada, "cmdSimulacao")->isEnabled());
    QVERIFY(widget<QAction>(entrada, "Ajuda")->isEnabled() && widget<QAction>(entrada, "Sair")->isEnabled());
    QCOMPARE(recordCsv(h.state), record);
    QVERIFY(h.fake.exit.codes.empty());
}

void ResultsFlowTest::throughTheEntryWindows()
{
    FlowHarness h;
    auto *entrada = h.window<EntradaScreen>("Entrada");
    QVERIFY(press(widget<QToolButton>(entrada, "cmdParametros")));
    auto *options = h.window<OptionsScreen>("Form1");
    QVERIFY(options && options->isVisible());
    choose(widget<QRadioButton>(options, "optVsc"));
    typeInto(widget<QLineEdit>(options, "txtAno"), QStringLiteral("2030"));
    typeInto(widget<QLineEdit>(options, "txtAltcorte"), QStringLiteral(".15"));
    typeInto(widget<QLineEdit>(options, "txtDdesp"), QStringLiteral("8"));
    QVERIFY(press(widget<QPushButton>(options, "cmdOk")));
    QVERIFY(press(widget<QToolButton>(entrada, "cmdSimulacao")));
    auto *stand = h.window<StandDataScreen>("Form2");
    QVERIFY(stand && stand->isVisible());
    choose(widget<QRadioButton>(stand, "optCQualidade"));
    typeInto(widget<QLineEdit>(stand, "txtIdade"), QStringLiteral("8"));
    choose(widget<QRadioButton>(stand, "optElev"));
    QVERIFY(press(widget<QPushButton>(stand, "cmdDPndesb")));
    auto *density = h.window<UnthinnedScreen>("Form3");
    QVERIFY(density && density->isVisible());
    typeInto(widget<QLineEdit>(density, "txtNArvVP"), QStringLiteral("1100.5"));
    choose(widget<QRadioButton>(density, "optArvVivas"));
    QVERIFY(press(widget<QPushButton>(density, "cmdOk")));
    QVERIFY(press(widget<QPushButton>(stand, "cmdOk")));
    QVERIFY2(h.fake.messages.shown.empty(), h.fake.messages.shown.empty() ? "" : h.fake.messages.last().text.c_str());

    // From here on the reference run's steps.
    QVERIFY(h.form5() && h.form5()->isVisible());
    const Scenario s = exampleScenario(QStringLiteral("alive-quality-class-without-bark"));
    QVERIFY(h.playAll(s));
    QVERIFY(h.shown("Terminar"));
    QCOMPARE(h.logBytes(), readFile(examplePath(QStringLiteral("alive-quality-class-without-bark.log"))));
    QCOMPARE(QByteArray::fromStdString(recordCsv(h.state)),
             readFile(examplePath(QStringLiteral("alive-quality-class-without-bark.record.csv"))));
    QVERIFY(press(widget<QPushButton>(h.window<EndScreen>("Terminar"), "cmdGrafSim")));
    QCOMPARE(widget<QLabel>(h.window<SummaryScreen>("Form10"), "lblV")->text(), QStringLiteral("Volumes sem casca, corte a .15 m:"));
}

void ResultsFlowTest::windowsFitTheScreen()
{
    // A stand at 12 years, several projections, both thinnings, the charts and
    // the summary; every window must fit a 1024 x 768 screen whole. With
    // TAVELO_SCREENSHOT_DIR set, each window's picture is kept there.
    const QString shots = qEnvironmentVariable("TAVELO_SCREENSHOT_DIR");
    FlowHarness h;
    QStringList checked;
    auto look = [&](QWidget *w, const QString &file) {
        QVERIFY(w && w->isVisible());
        QString size;
        QVERIFY2(fitsTheScreen(w, &size), qPrintable(size));
        for (QTableView *grid : w->findChildren<QTableView *>())
            QCOMPARE(grid->horizontalScrollBar()->maximum(), 0);
        if (!shots.isEmpty())
            QVERIFY(w->grab().save(QDir(shots).filePath(file)));
        checked << w->objectName();
    };
    QVERIFY(h.enterStand(plantedWith(QString())));
    QVERIFY(h.playAll(plantedWith(QStringLiteral("p p m30 p p"))));
    look(h.form5(), QStringLiteral("Form5.png"));
    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdVGraficos")));
    look(h.window("Form8"), QStringLiteral("Form8.png"));
    QVERIFY(press(widget<QPushButton>(h.window<StandChartsScreen>("Form8"), "cmdVoltar")));
    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdDesbastar")));
    choose(widget<QRadioButton>(h.form6(), "optDselectivo"));
    typeInto(widget<QLineEdit>(h.form6(), "txtDselectivo"), QStringLiteral("19.5"));
    look(h.form6(), QStringLiteral("Form6.png"));
    QVERIFY(press(widget<QPushButton>(h.form6(), "cmdOk")));
    look(h.form7(), QStringLiteral("form7.png"));
    QVERIFY(press(widget<QPushButton>(h.form7(), "cmdVGrafico")));
    look(h.window("Form9"), QStringLiteral("Form9.png"));
    QVERIFY(press(widget<QPushButton>(h.window<ThinningChartScreen>("Form9"), "cmdVoltar")));
    QVERIFY(press(widget<QPushButton>(h.form7(), "cmdProjectar")));
    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdProjectar")));
    QVERIFY(h.finish());
    look(h.window("Terminar"), QStringLiteral("Terminar.png"));
    QVERIFY(press(widget<QPushButton>(h.window<EndScreen>("Terminar"), "cmdGrafSim")));
    look(h.window("Form10"), QStringLiteral("Form10.png"));
    QCOMPARE(checked.size(), 7);
    if (!shots.isEmpty()) {
        // The printed summary too, for a look at the paper.
        h.fake.print.accept = true;
        h.fake.print.pdfPath = QDir(shots).filePath(QStringLiteral("Form10-print.pdf"));
        QVERIFY(press(widget<QPushButton>(h.window<SummaryScreen>("Form10"), "cmdImprimir")));
        QVERIFY(press(widget<QPushButton>(h.window<SummaryScreen>("Form10"), "cmdVoltar")));
        h.fake.print.pdfPath = QDir(shots).filePath(QStringLiteral("log-print.pdf"));
        QVERIFY(press(widget<QPushButton>(h.window<EndScreen>("Terminar"), "cmdImprimirSim")));
    }
}

TAVELO_QTEST_CLASS(ResultsFlowTest)
#include "results_flow_test.moc"
