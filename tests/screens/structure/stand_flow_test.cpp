// A simulation on the stand screens, clicked and typed as a user would: every
// reference run played through the windows writes the same log and record as
// the session alone; each step shows, logs and records what it should; the
// close box discards; the grid shows the table whole; the log prints.

#include "support/flow_test_support.h"
#include "support/widget_lookup.h"
#include "support/qtest_runner.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QtTest>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

// The table lines of the last block of the log, split into their cells.
QList<QStringList> lastLoggedTable(const QByteArray &log)
{
    const QList<QByteArray> lines = log.split('\n');
    int start = -1;
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].startsWith("ClasseDAP"))
            start = i;
    QList<QStringList> rows;
    if (start < 0)
        return rows;
    for (int i = start + 1; i < lines.size(); ++i) {
        const QString line = QString::fromLatin1(lines[i]).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('-')))
            continue;
        if (line.startsWith(QLatin1Char('*')))
            break;
        rows << line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (rows.last().constFirst() == QLatin1String("Total"))
            break;
    }
    return rows;
}

QStringList recordRow(const FlowHarness &h, int row)
{
    QStringList out;
    for (int c = 0; c < kRecordColumns; ++c)
        out << h.recordCell(row, c);
    return out;
}

} // namespace

class StandFlowTest : public QObject {
    Q_OBJECT

private slots:
    void referenceRuns_data();
    void referenceRuns();
    void stepByStep();
    void closeBoxDiscards_data();
    void closeBoxDiscards();
    void screensShowTheirTexts();
    void gridShowsTheWholeTable();
    void printsTheLog_data();
    void printsTheLog();
    void cancelledPrintDoesNothing();
    void projectionOutsideTheModelEndsTheProgram();
    void recordLimit_data();
    void recordLimit();
};

void StandFlowTest::referenceRuns_data()
{
    QTest::addColumn<QString>("name");
    for (const char *n : {"planted-two-thinnings", "alive-quality-class-without-bark", "thinned-by-parameters",
                          "thinned-by-classes", "ends-outside-the-model"})
        QTest::newRow(n) << QString::fromLatin1(n);
}

void StandFlowTest::referenceRuns()
{
    QFETCH(QString, name);
    FlowHarness h;
    const Scenario scenario = exampleScenario(name);
    const ReferenceRun reference = runReference(scenario, h.dir.path());

    QVERIFY(h.enterStand(scenario));
    QVERIFY(h.playAll(scenario));
    // "Terminar Simulação" on the screen in front when the steps stop short of it.
    if (!h.fake.exit.exited() && !h.shown("Terminar"))
        QVERIFY(h.finish());

    // Byte for byte what the session alone writes, and what the reference run holds.
    QCOMPARE(h.logBytes(), reference.log);
    QCOMPARE(h.logBytes(), readFile(examplePath(name + QStringLiteral(".log"))));
    QCOMPARE(recordCsv(h.state), reference.record);
    QCOMPARE(QByteArray::fromStdString(recordCsv(h.state)), readFile(examplePath(name + QStringLiteral(".record.csv"))));

    if (reference.result.status == RunResult::Status::EndedByModel) {
        QCOMPARE(h.fake.exit.codes, std::vector<int>{kExitModelLimit});
        QVERIFY(!h.fake.messages.shown.empty());
        QCOMPARE(h.fake.messages.last(), *reference.result.message);
        QVERIFY(!h.shown("Terminar"));
    } else {
        QVERIFY(h.fake.exit.codes.empty());
        QVERIFY(h.shown("Terminar"));
        QVERIFY(!h.shown("Form5") && !h.shown("form7"));
        // No box on the way: the record never fills in these runs.
        QVERIFY(h.fake.messages.shown.empty());
    }
}

void StandFlowTest::stepByStep()
{
    FlowHarness h;
    const Scenario s = exampleScenario(QStringLiteral("planted-two-thinnings"));
    QVERIFY(h.enterStand(s));

    StandStructureScreen *f5 = h.form5();
    QVERIFY(f5 && f5->isVisible());
    QCOMPARE(widget<QLabel>(f5, "txtIdade")->text(), QStringLiteral("12"));
    QCOMPARE(widget<QLabel>(f5, "txtAno")->text(), QStringLiteral("2026"));
    QCOMPARE(widget<QGroupBox>(f5, "Frame1")->title(), QStringLiteral("Características do povoamento sem desbaste prévio"));
    QCOMPARE(widget<QLabel>(f5, "lblTGrelha")->text(), QStringLiteral("Volumes com casca, corte a 0.15 m:"));
    QCOMPARE(h.logBlocks(), 1);
    QCOMPARE(h.recordRows(), 1);
    // The record row repeats the grid's Total row.
    const QStringList total = gridRow(widget<QTableView>(f5, "Grelha"), widget<QTableView>(f5, "Grelha")->model()->rowCount() - 1);
    QCOMPARE(total.constFirst(), QStringLiteral("Total"));
    QCOMPARE(recordRow(h, 0).mid(3), total.mid(1));
    QCOMPARE(recordRow(h, 0).mid(0, 3), (QStringList{"2026", "12", "AD"}));

    // Two projections: age and year 5 on each time, one block and one row each.
    for (int i = 1; i <= 2; ++i) {
        QVERIFY(press(widget<QPushButton>(f5, "cmdProjectar")));
        QCOMPARE(widget<QLabel>(f5, "txtIdade")->text(), QString::number(12 + 5 * i));
        QCOMPARE(widget<QLabel>(f5, "txtAno")->text(), QString::number(2026 + 5 * i));
        QCOMPARE(h.logBlocks(), 1 + i);
        QCOMPARE(h.recordRows(), 1 + i);
        QCOMPARE(recordRow(h, i).mid(0, 3), (QStringList{QString::number(2026 + 5 * i), QString::number(12 + 5 * i), "AD"}));
    }
    QCOMPARE(h.form5(), f5); // projected in place

    // A mechanical thinning: the residual stand on form7, nothing logged yet.
    QVERIFY(h.thin(ScreenEntries::Thinning::Mechanical, "30"));
    QVERIFY(!f5->isVisible());
    QVERIFY(!h.form6()->isVisible());
    AfterThinningScreen *f7 = h.form7();
    QVERIFY(f7 && f7->isVisible());
    QCOMPARE(widget<QLabel>(f7, "lblDesbasteMS")->text(), QStringLiteral("Mecânico com 30% de árvores a retirar"));
    QCOMPARE(widget<QGroupBox>(f7, "Frame1")->title(), QStringLiteral("Características do povoamento após desbaste"));
    QCOMPARE(widget<QLabel>(f7, "txtIdade")->text(), QStringLiteral("22"));
    QCOMPARE(widget<QLabel>(f7, "txtAno")->text(), QStringLiteral("2036"));
    QCOMPARE(h.logBlocks(), 3);
    QCOMPARE(h.recordRows(), 3);

    // "Projectar": the thinned stand is logged and recorded "D", then a new
    // stand screen shows the stand 5 years on.
    QVERIFY(press(widget<QPushButton>(f7, "cmdProjectar")));
    QVERIFY(!h.form7());
    QVERIFY(h.form5() && h.form5()->isVisible());
    QVERIFY(h.form6() && !h.form6()->isVisible()); // kept, hidden, with its entries
    f5 = h.form5();
    QCOMPARE(h.logBlocks(), 5);
    QCOMPARE(recordRow(h, 3).mid(0, 3), (QStringList{"2036", "22", "D"}));
    QCOMPARE(recordRow(h, 4).mid(0, 3), (QStringList{"2041", "27", "AD"}));
    QCOMPARE(widget<QLabel>(f5, "txtIdade")->text(), QStringLiteral("27"));
    // A mechanical thinning keeps the stand "never thinned before".
    QCOMPARE(widget<QGroupBox>(f5, "Frame1")->title(), QStringLiteral("Características do povoamento sem desbaste prévio"));
    QVERIFY(h.state.residualTrees.isNull() && h.state.residualBasalArea.isNull());

    QVERIFY(press(widget<QPushButton>(f5, "cmdProjectar")));
    QCOMPARE(h.recordRows(), 6);

    // The thinning screen comes back with its entries from the last thinning.
    QVERIFY(press(widget<QPushButton>(f5, "cmdDesbastar")));
    QVERIFY(h.form6()->isVisible());
    QVERIFY(widget<QRadioButton>(h.form6(), "optDmecanico")->isChecked());
    QCOMPARE(widget<QLineEdit>(h.form6(), "txtDmecanico")->text(), QStringLiteral("30"));

    // From below to 20, then "Voltar a definir desbaste": no trace.
    const QByteArray logBefore = h.logBytes();
    choose(widget<QRadioButton>(h.form6(), "optDselectivo"));
    QVERIFY(widget<QLineEdit>(h.form6(), "txtDmecanico")->text().isEmpty());
    QVERIFY(!widget<QLineEdit>(h.form6(), "txtDmecanico")->isEnabled());
    typeInto(widget<QLineEdit>(h.form6(), "txtDselectivo"), QStringLiteral("20"));
    QVERIFY(press(widget<QPushButton>(h.form6(), "cmdOk")));
    QCOMPARE(widget<QLabel>(h.form7(), "lblDesbasteMS")->text(), QStringLiteral("Pelo baixo com 20 m2 de área basal residual"));
    QVERIFY(press(widget<QPushButton>(h.form7(), "cmdReDesbastar")));
    QVERIFY(!h.form7());
    QVERIFY(!h.form6());
    QCOMPARE(h.form5(), f5);
    QVERIFY(f5->isVisible());
    QCOMPARE(widget<QLabel>(f5, "txtIdade")->text(), QStringLiteral("32"));
    QCOMPARE(h.logBytes(), logBefore);
    QCOMPARE(h.recordRows(), 6);
    QVERIFY(h.state.residualTrees.isNull());

    // The thinning screen starts empty again.
    QVERIFY(press(widget<QPushButton>(f5, "cmdDesbastar")));
    QVERIFY(!widget<QRadioButton>(h.form6(), "optDmecanico")->isChecked() && !widget<QRadioButton>(h.form6(), "optDselectivo")->isChecked());
    QVERIFY(widget<QLineEdit>(h.form6(), "txtDselectivo")->text().isEmpty() && !widget<QLineEdit>(h.form6(), "txtDselectivo")->isEnabled());
    choose(widget<QRadioButton>(h.form6(), "optDselectivo"));
    typeInto(widget<QLineEdit>(h.form6(), "txtDselectivo"), QStringLiteral("19.5"));
    QVERIFY(press(widget<QPushButton>(h.form6(), "cmdOk")));
    QVERIFY(press(widget<QPushButton>(h.form7(), "cmdProjectar")));
    QCOMPARE(recordRow(h, 6).mid(0, 3), (QStringList{"2046", "32", "D"}));
    QCOMPARE(recordRow(h, 7).mid(0, 3), (QStringList{"2051", "37", "AD"}));
    // A thinning from below makes the stand one thinned before.
    QCOMPARE(widget<QGroupBox>(h.form5(), "Frame1")->title(), QStringLiteral("Características do povoamento com desbaste prévio"));

    // "Terminar Simulação" on the stand screen adds nothing.
    const QByteArray logAtEnd = h.logBytes();
    QVERIFY(h.finish());
    QVERIFY(!h.form5());
    QVERIFY(h.shown("Terminar"));
    QCOMPARE(h.logBytes(), logAtEnd);
    QCOMPARE(h.recordRows(), 8);
    QVERIFY(h.fake.messages.shown.empty());
}

void StandFlowTest::closeBoxDiscards_data()
{
    QTest::addColumn<QString>("screen");
    QTest::newRow("Form5") << QStringLiteral("Form5");
    QTest::newRow("form7") << QStringLiteral("form7");
}

void StandFlowTest::closeBoxDiscards()
{
    QFETCH(QString, screen);
    FlowHarness h;
    QVERIFY(h.enterStand(exampleScenario(QStringLiteral("planted-two-thinnings"))));
    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdProjectar")));
    if (screen == QLatin1String("form7"))
        QVERIFY(h.thin(ScreenEntries::Thinning::Mechanical, "25"));
    const QByteArray log = h.logBytes();
    const std::string record = recordCsv(h.state);

    QVERIFY(h.ctx->windows.named(screen)->close());
    settle();

    QVERIFY(!h.ctx->windows.named(screen));
    QCOMPARE(h.logBytes(), log);
    QCOMPARE(recordCsv(h.state), record);
    QVERIFY(h.fake.messages.shown.empty());
    // Nothing else opens; after form7 the stand and thinning screens stay hidden.
    QCOMPARE(h.visibleWindows(), QStringList{"Entrada"});
    if (screen == QLatin1String("form7")) {
        QVERIFY(h.form5() && !h.form5()->isVisible());
        QVERIFY(h.form6() && !h.form6()->isVisible());
        QVERIFY(!h.ctx->simulation.thinnedTable());
    } else {
        QVERIFY(!h.ctx->simulation.standTable());
    }
}

void StandFlowTest::screensShowTheirTexts()
{
    FlowHarness h;
    QVERIFY(h.enterStand(exampleScenario(QStringLiteral("planted-two-thinnings"))));
    StandStructureScreen *f5 = h.form5();
    QCOMPARE(f5->windowTitle(), QStringLiteral("Estrutura do Povoamento"));
    QCOMPARE(widget<QPushButton>(f5, "cmdProjectar")->text(), QStringLiteral("Projectar sem desbaste"));
    QCOMPARE(widget<QPushButton>(f5, "cmdDesbastar")->text(), QStringLiteral("Realizar desbaste"));
    QCOMPARE(widget<QPushButton>(f5, "cmdTerminar")->text(), QStringLiteral("Terminar Simulação"));
    for (QAbstractButton *picture : {static_cast<QAbstractButton *>(widget<QPushButton>(f5, "cmdImprimir")), static_cast<QAbstractButton *>(widget<QPushButton>(f5, "cmdVGraficos"))}) {
        QVERIFY(picture->text().isEmpty());
        QVERIFY(!picture->icon().isNull());
        QVERIFY(!picture->toolTip().isEmpty());
    }
    QStringList captions;
    for (QLabel *l : f5->findChildren<QLabel *>())
        captions << l->text();
    for (const char *c : {"Idade", "Alt. Dominante (m)", "Ano:", "Classe de qualidade", "Diâmetro médio (cm)",
                          "Parâmetros de Weibull:", "A =", "B = ", "C = "})
        QVERIFY2(captions.contains(QString::fromUtf8(c)), c);
    for (const char *field : {"txtIdade", "txtADom", "txtAno", "txtCQualidd", "txtDmedio", "txtA", "txtB", "txtC"})
        QVERIFY2(!f5->findChild<QLabel *>(QLatin1String(field))->text().isEmpty(), field);
    // Weibull parameters in "0.00", dominant height and mean diameter in "0.0".
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d\\d$")).match(widget<QLabel>(f5, "txtB")->text()).hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d$")).match(widget<QLabel>(f5, "txtADom")->text()).hasMatch());

    QVERIFY(h.thin(ScreenEntries::Thinning::Mechanical, "20"));
    AfterThinningScreen *f7 = h.form7();
    QCOMPARE(f7->windowTitle(), QStringLiteral("Estrutura do Povoamento após Desbaste"));
    QCOMPARE(widget<QPushButton>(f7, "cmdProjectar")->text(), QStringLiteral("Projectar"));
    QCOMPARE(widget<QPushButton>(f7, "cmdReDesbastar")->text(), QStringLiteral("Voltar a definir desbaste"));
    QCOMPARE(widget<QPushButton>(f7, "cmdTerminar")->text(), QStringLiteral("Terminar Simulação"));
    QVERIFY(widget<QPushButton>(f7, "cmdImprimir")->text().isEmpty() && !widget<QPushButton>(f7, "cmdImprimir")->icon().isNull());
    QVERIFY(widget<QPushButton>(f7, "cmdVGrafico")->text().isEmpty() && !widget<QPushButton>(f7, "cmdVGrafico")->icon().isNull());
    captions.clear();
    for (QLabel *l : f7->findChildren<QLabel *>())
        captions << l->text();
    QVERIFY(captions.contains(QStringLiteral("Tipo e intensidade do desbaste:")));
}

void StandFlowTest::gridShowsTheWholeTable()
{
    FlowHarness h;
    QVERIFY(h.enterStand(exampleScenario(QStringLiteral("planted-two-thinnings"))));
    for (int i = 0; i < 3; ++i)
        QVERIFY(press(widget<QPushButton>(h.form5(), "cmdProjectar")));
    QVERIFY(h.thin(ScreenEntries::Thinning::FromBelow, "22"));
    QVERIFY2(h.form7(), h.fake.messages.shown.empty() ? "" : h.fake.messages.last().text.c_str());

    for (StandTableScreen *screen : {static_cast<StandTableScreen *>(h.form5()), static_cast<StandTableScreen *>(h.form7())}) {
        QTableView *grid = widget<QTableView>(screen, "Grelha");
        const QAbstractItemModel *m = grid->model();
        QCOMPARE(m->columnCount(), 8);
        QCOMPARE(gridRow(grid, -1), (QStringList{"ClasseDAP", "NArv/ha", "ABasal(m2/ha)", "Altura(m)", "V.Total(m3/ha)",
                                                 "V.Rolaria(m3/ha)", "V.Madeira(m3/ha)", "V.Lenha(m3/ha)"}));
        const int last = m->rowCount() - 1;
        QVERIFY(last >= 1);
        QCOMPARE(m->index(last, 0).data().toString(), QStringLiteral("Total"));
        for (int r = 0; r <= last; ++r) {
            for (int c = 0; c < 8; ++c) {
                const QModelIndex i = m->index(r, c);
                QCOMPARE(i.data(Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::Alignment(Qt::AlignCenter));
                QCOMPARE(i.data(Qt::FontRole).value<QFont>().bold(), r == last);
                // No column hides part of its text.
                QFont f = grid->font();
                f.setBold(r == last);
                QVERIFY2(QFontMetrics(f).horizontalAdvance(i.data().toString()) < grid->columnWidth(c),
                         qPrintable(i.data().toString()));
            }
        }
        // Columns at least as wide as the table's design, headers whole.
        const int twips[] = {880, 700, 1140, 710, 1150, 1285, 1360, 1250};
        for (int c = 0; c < 8; ++c) {
            QVERIFY(grid->columnWidth(c) >= twips[c] / 15);
            QVERIFY(QFontMetrics(grid->horizontalHeader()->font()).horizontalAdvance(m->headerData(c, Qt::Horizontal).toString()) <
                    grid->columnWidth(c));
        }
        QVERIFY(grid->horizontalScrollBar()->maximum() == 0);
        // The window fits a 1024 x 768 screen.
        QVERIFY2(screen->frameGeometry().width() <= 1024 && screen->frameGeometry().height() <= 740,
                 qPrintable(QStringLiteral("%1x%2").arg(screen->frameGeometry().width()).arg(screen->frameGeometry().height())));
    }

    // The stand screen shows what its last log block holds, cell for cell.
    QVERIFY(press(widget<QPushButton>(h.form7(), "cmdReDesbastar")));
    const QList<QStringList> logged = lastLoggedTable(h.logBytes());
    QTableView *grid = widget<QTableView>(h.form5(), "Grelha");
    QCOMPARE(logged.size(), grid->model()->rowCount());
    for (int r = 0; r < logged.size(); ++r)
        QCOMPARE(logged[r], gridRow(grid, r));
}

void StandFlowTest::printsTheLog_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("fewestPages");
    QTest::addColumn<int>("mostPages");
    // The print button of the screen in front after the steps. One state's
    // block fits a page; eight states' blocks take several.
    QTest::newRow("Form5, first state") << QString() << 1 << 1;
    QTest::newRow("Form5, eight states") << QStringLiteral("p p m40 p p m40 p p") << 3 << 8;
    QTest::newRow("form7") << QStringLiteral("p p m30") << 1 << 3;
}

void StandFlowTest::printsTheLog()
{
    QFETCH(QString, steps);
    QFETCH(int, fewestPages);
    QFETCH(int, mostPages);
    FlowHarness h;
    QVERIFY(h.enterStand(exampleScenario(QStringLiteral("planted-two-thinnings"))));
    for (const ScenarioStep &step : stepsFrom(steps))
        QVERIFY(h.play(step));
    QVERIFY(h.fake.messages.shown.empty());
    QAbstractButton *print = h.thinnedInFront() ? widget<QPushButton>(h.form7(), "cmdImprimir") : widget<QPushButton>(h.form5(), "cmdImprimir");
    const QString pdf = h.dir.filePath(QStringLiteral("log.pdf"));
    h.fake.print.accept = true;
    h.fake.print.pdfPath = pdf;
    const QByteArray log = h.logBytes();
    QVERIFY(press(print));

    QCOMPARE(h.fake.print.asked, 1);
    QVERIFY(h.fake.messages.shown.empty());
    QVERIFY(QFile::exists(pdf));
    QString why;
    QVERIFY2(printedAsLog(pdf, logLinesOf(log), &why), qPrintable(why));
    QVERIFY(pdfPages(pdf) >= fewestPages && pdfPages(pdf) <= mostPages);
    const QSizeF page = pdfPageSize(pdf);
    QVERIFY2(page.width() > page.height(), "the log prints on landscape pages");
    // From form7 the log prints as it stands: the thinned stand is not in it yet.
    QCOMPARE(h.logBytes(), log);
}

void StandFlowTest::cancelledPrintDoesNothing()
{
    FlowHarness h;
    QVERIFY(h.enterStand(exampleScenario(QStringLiteral("planted-two-thinnings"))));
    const QString pdf = h.dir.filePath(QStringLiteral("cancelled.pdf"));
    h.fake.print.accept = false;
    h.fake.print.pdfPath = pdf;
    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdImprimir")));
    QCOMPARE(h.fake.print.asked, 1);
    QVERIFY(!QFile::exists(pdf));
    QVERIFY(h.fake.messages.shown.empty());
    QVERIFY(h.form5()->isVisible());
}

void StandFlowTest::projectionOutsideTheModelEndsTheProgram()
{
    FlowHarness h;
    QVERIFY(h.enterStand(exampleScenario(QStringLiteral("ends-outside-the-model"))));
    int presses = 0;
    while (!h.fake.exit.exited() && presses < 10) {
        QVERIFY(press(widget<QPushButton>(h.form5(), "cmdProjectar")));
        ++presses;
    }
    QCOMPARE(h.fake.exit.codes, std::vector<int>{kExitModelLimit});
    QCOMPARE(h.fake.messages.shown.size(), size_t(1));
    const auto &box = h.fake.messages.shown.front();
    QCOMPARE(box.message.icon, Message::Icon::Error);
    QCOMPARE(box.message.title, std::string("Resultados Inconsistentes"));
    QVERIFY(QString::fromStdString(box.message.text).startsWith(QStringLiteral("Simulação fora dos limites do modelo!")));
    QCOMPARE(box.parentName, QStringLiteral("Form5"));
    // The failing step wrote nothing: three states were logged and recorded.
    QCOMPARE(h.logBlocks(), 3);
    QCOMPARE(h.recordRows(), 3);
}

void StandFlowTest::recordLimit_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("text");
    // Each thinning carried forward adds two rows; the 35th state is refused
    // with the words of the screen that brings it.
    const QString cycles = QStringLiteral("m30 p ").repeated(16);
    QTest::newRow("Form5") << cycles + QStringLiteral("m30 p p")
                           << QStringLiteral("Form5")
                           << QStringLiteral("Esta será a última simulação registada, pois foi atingido o limite de "
                                             "simulações registáveis...");
    // "Terminar Simulação" on form7 brings the thinned stand as the 35th state.
    QTest::newRow("form7") << cycles + QStringLiteral("p m30 e")
                           << QStringLiteral("form7")
                           << QStringLiteral("Esta será a última simulação permitida, pois foi atingido o limite de "
                                             "simulações...");
}

void StandFlowTest::recordLimit()
{
    QFETCH(QString, steps);
    QFETCH(QString, screen);
    QFETCH(QString, text);
    FlowHarness h;
    QVERIFY(h.enterStand(exampleScenario(QStringLiteral("planted-two-thinnings"))));
    for (const ScenarioStep &step : stepsFrom(steps)) {
        QVERIFY(h.play(step));
        if (!h.fake.messages.shown.empty())
            break;
    }
    QCOMPARE(h.fake.messages.shown.size(), size_t(1));
    const auto &box = h.fake.messages.shown.front();
    QCOMPARE(box.message, Message::information("Limite máximo de simulações atingido", text.toStdString()));
    QCOMPARE(box.parentName, screen);
    QCOMPARE(h.recordRows(), 34);
    QCOMPARE(h.logBlocks(), 35); // the log takes every state
    if (screen == QLatin1String("Form5")) {
        // Later states: logged, not recorded, nothing said.
        QVERIFY(press(widget<QPushButton>(h.form5(), "cmdProjectar")));
        QCOMPARE(h.fake.messages.shown.size(), size_t(1));
        QCOMPARE(h.recordRows(), 34);
        QCOMPARE(h.logBlocks(), 36);
    }
}

TAVELO_QTEST_CLASS(StandFlowTest)
#include "stand_flow_test.moc"
