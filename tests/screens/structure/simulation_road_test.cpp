// Roads through the windows where what one window leaves behind must not
// reach the next: a cancelled stand, a stand-data window closed with its close
// box, an options window closed after it was confirmed, the log's failure box
// and the printer settings chosen in the print dialog.

#include "screens/entry/options_screen.h"
#include "support/widget_lookup.h"
#include "screens/entry/stand_data_screen.h"
#include "screens/entry/thinned_screen.h"
#include "screens/entry/unthinned_screen.h"
#include "screens/results/class_charts_screen.h"
#include "screens/results/end_screen.h"
#include "support/flow_test_support.h"
#include "support/stand_inputs.h"
#include "support/qtest_runner.h"

#include <QDate>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QToolButton>
#include <QtTest>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

EntradaScreen *entrada(FlowHarness &h)
{
    return h.window<EntradaScreen>("Entrada");
}

// "Opções do Modelo", "&Ok" with the design entries, then "Simulação".
StandDataScreen *openStandData(FlowHarness &h)
{
    press(widget<QToolButton>(entrada(h), "cmdParametros"));
    press(widget<QPushButton>(h.window<OptionsScreen>("Form1"), "cmdOk"));
    press(widget<QToolButton>(entrada(h), "cmdSimulacao"));
    return h.window<StandDataScreen>("Form2");
}

// Age 12 and dominant height 9: both density routes are open.
void typeStandData(StandDataScreen *f)
{
    typeInto(widget<QLineEdit>(f, "txtIdade"), QStringLiteral("12"));
    typeInto(widget<QLineEdit>(f, "txtADominante"), QStringLiteral("9"));
}

void storePlanted(FlowHarness &h, const QString &trees)
{
    auto *form3 = h.window<UnthinnedScreen>("Form3");
    QVERIFY(form3 && form3->isVisible());
    choose(widget<QRadioButton>(form3, "optArvPlant"));
    typeInto(widget<QLineEdit>(form3, "txtNArvVP"), trees);
    press(widget<QPushButton>(form3, "cmdOk"));
}

void storeByParameters(FlowHarness &h)
{
    auto *form4 = h.window<ThinnedScreen>("Form4");
    QVERIFY(form4 && form4->isVisible());
    const ThinnedEntryInput typed = thinnedByParameters();
    choose(widget<QRadioButton>(form4, "optPPovoamento"));
    typeInto(widget<QLineEdit>(form4, "txtAvivas"), QString::fromStdString(typed.trees));
    typeInto(widget<QLineEdit>(form4, "txtAbasal"), QString::fromStdString(typed.basalArea));
    typeInto(widget<QLineEdit>(form4, "txtDmin"), QString::fromStdString(typed.minDiameter));
    typeInto(widget<QLineEdit>(form4, "txtDp93"), QString::fromStdString(typed.p95));
    press(widget<QPushButton>(form4, "cmdOk"));
}

// A thinning from below to 60 % of the current basal area, typed on the thinning screen.
bool thinFromBelow(FlowHarness &h)
{
    const QString residual = QString::number(0.6 * h.state.basalArea.value(), 'f', 2);
    return h.thin(ScreenEntries::Thinning::FromBelow, residual.toStdString());
}

// The log's lines written for stands entered by their parameters (Windows-1252 bytes).
int parameterLines(const QByteArray &log)
{
    return static_cast<int>(log.count(QByteArray("Par\xe2metros iniciais do povoamento")));
}

// The boxes shown as "title | text".
QStringList boxTexts(const FakeMessageService &messages)
{
    QStringList out;
    for (const auto &shown : messages.shown)
        out << QString::fromStdString(shown.message.title + " | " + shown.message.text);
    return out;
}

} // namespace

class SimulationRoadTest : public QObject {
    Q_OBJECT
private slots:
    void cancelledStandLeavesNothingInTheLog();
    void leftThinnedScreenLeavesNothingInTheLog();
    void standStaysLockedAfterItsWindowWasClosed_data();
    void standStaysLockedAfterItsWindowWasClosed();
    void chartYearAfterTheOptionsWereClosed();
    void logFailureIsToldOncePerSimulation();
    void printKeepsTheOrientationChosen();
};

void SimulationRoadTest::cancelledStandLeavesNothingInTheLog()
{
    FlowHarness h;
    StandDataScreen *f = openStandData(h);
    typeStandData(f);
    QVERIFY(press(widget<QPushButton>(f, "cmdDPdesb")));
    storeByParameters(h);
    QVERIFY(h.state.enteredUnthinned.isGiven());
    QVERIFY(press(widget<QPushButton>(f, "cmdCancelar")));
    QVERIFY(!h.window<QWidget>("Form4"));

    // A never-thinned stand, thinned from below (which marks it as thinned) and projected.
    f = h.window<StandDataScreen>("Form2");
    QVERIFY(!f);
    QVERIFY(press(widget<QToolButton>(entrada(h), "cmdSimulacao")));
    f = h.window<StandDataScreen>("Form2");
    typeStandData(f);
    QVERIFY(press(widget<QPushButton>(f, "cmdDPndesb")));
    storePlanted(h, QStringLiteral("1500"));
    QVERIFY(press(widget<QPushButton>(f, "cmdOk")));
    QVERIFY(h.form5());
    QVERIFY(thinFromBelow(h));
    QVERIFY(press(widget<QPushButton>(h.form7(), "cmdProjectar")));
    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdProjectar")));
    QCOMPARE(h.logBlocks(), 4);
    QCOMPARE(parameterLines(h.logBytes()), 0);
    QVERIFY(h.fake.messages.shown.empty());
}

void SimulationRoadTest::leftThinnedScreenLeavesNothingInTheLog()
{
    // The thinned-stand screen stored by its parameters, then the stand data
    // cancelled and entered again by trees per class: the parameters are gone.
    FlowHarness h;
    StandDataScreen *f = openStandData(h);
    typeStandData(f);
    QVERIFY(press(widget<QPushButton>(f, "cmdDPdesb")));
    storeByParameters(h);
    QVERIFY(press(widget<QPushButton>(f, "cmdCancelar")));
    QVERIFY(press(widget<QToolButton>(entrada(h), "cmdSimulacao")));
    f = h.window<StandDataScreen>("Form2");
    typeStandData(f);
    QVERIFY(press(widget<QPushButton>(f, "cmdDPdesb")));
    auto *form4 = h.window<ThinnedScreen>("Form4");
    QVERIFY(form4 && form4->isVisible());
    QVERIFY(!widget<QRadioButton>(form4, "optPPovoamento")->isChecked());
    choose(widget<QRadioButton>(form4, "optCDap"));
    typeInto(classBox(form4, 2), QStringLiteral("400"));
    typeInto(classBox(form4, 3), QStringLiteral("300"));
    QVERIFY(press(widget<QPushButton>(form4, "cmdOk")));
    QVERIFY(press(widget<QPushButton>(f, "cmdOk")));
    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdProjectar")));
    QCOMPARE(h.logBlocks(), 2);
    QCOMPARE(parameterLines(h.logBytes()), 0);

    // The same stand by its parameters does write them, in every block.
    FlowHarness byParameters;
    f = openStandData(byParameters);
    typeStandData(f);
    QVERIFY(press(widget<QPushButton>(f, "cmdDPdesb")));
    storeByParameters(byParameters);
    QVERIFY(press(widget<QPushButton>(f, "cmdOk")));
    QVERIFY(press(widget<QPushButton>(byParameters.form5(), "cmdProjectar")));
    QCOMPARE(parameterLines(byParameters.logBytes()), 2);
}

void SimulationRoadTest::standStaysLockedAfterItsWindowWasClosed_data()
{
    QTest::addColumn<bool>("thinnedRoute");
    QTest::newRow("never thinned") << false;
    QTest::newRow("thinned") << true;
}

void SimulationRoadTest::standStaysLockedAfterItsWindowWasClosed()
{
    QFETCH(bool, thinnedRoute);
    FlowHarness h;
    StandDataScreen *f = openStandData(h);
    typeStandData(f);
    QVERIFY(press(thinnedRoute ? widget<QPushButton>(f, "cmdDPdesb") : widget<QPushButton>(f, "cmdDPndesb")));
    // The stand data window goes with its close box while the density window is open.
    QVERIFY(f->close());
    settle();
    QVERIFY(!h.window<QWidget>("Form2"));
    if (thinnedRoute)
        storeByParameters(h);
    else
        storePlanted(h, QStringLiteral("1500"));
    QVERIFY(h.state.enteredUnthinned.isGiven());

    // "Simulação" shows the stand data locked: age, height and the other route are out of reach.
    QVERIFY(press(widget<QToolButton>(entrada(h), "cmdSimulacao")));
    f = h.window<StandDataScreen>("Form2");
    QVERIFY(f && f->isVisible());
    QVERIFY(!widget<QGroupBox>(f, "Frame3")->isEnabled());
    QVERIFY(!widget<QGroupBox>(f, "Frame4")->isEnabled());
    QCOMPARE(widget<QPushButton>(f, "cmdDPdesb")->isEnabled(), false);
    QCOMPARE(widget<QPushButton>(f, "cmdDPndesb")->isEnabled(), false);

    // "&Ok" shows the stand that was stored.
    QVERIFY(press(widget<QPushButton>(f, "cmdOk")));
    QVERIFY(h.form5() && h.form5()->isVisible());
    QCOMPARE(widget<QLabel>(h.form5(), "txtIdade")->text(), QStringLiteral("12"));
    QCOMPARE(h.state.standAge.value(), 12.0);
    QCOMPARE(h.state.dominantHeight.value(), 9.0);

    // "Cancelar" lifts the lock with the stand.
    FlowHarness other;
    f = openStandData(other);
    typeStandData(f);
    QVERIFY(press(widget<QPushButton>(f, "cmdDPndesb")));
    QVERIFY(f->close());
    settle();
    storePlanted(other, QStringLiteral("1500"));
    QVERIFY(press(widget<QToolButton>(entrada(other), "cmdSimulacao")));
    f = other.window<StandDataScreen>("Form2");
    QVERIFY(press(widget<QPushButton>(f, "cmdCancelar")));
    QVERIFY(press(widget<QToolButton>(entrada(other), "cmdSimulacao")));
    f = other.window<StandDataScreen>("Form2");
    QVERIFY(widget<QGroupBox>(f, "Frame3")->isEnabled() && widget<QGroupBox>(f, "Frame4")->isEnabled());
}

void SimulationRoadTest::chartYearAfterTheOptionsWereClosed()
{
    FlowHarness h;
    press(widget<QToolButton>(entrada(h), "cmdParametros"));
    auto *form1 = h.window<OptionsScreen>("Form1");
    typeInto(widget<QLineEdit>(form1, "txtAno"), QStringLiteral("2030"));
    QVERIFY(press(widget<QPushButton>(form1, "cmdOk")));
    // Opened again and closed with its close box: a fresh options window would show this year.
    QVERIFY(press(widget<QToolButton>(entrada(h), "cmdParametros")));
    form1 = h.window<OptionsScreen>("Form1");
    QCOMPARE(widget<QLineEdit>(form1, "txtAno")->text(), QStringLiteral("2030"));
    QVERIFY(form1->close());
    settle();
    QVERIFY(!h.window<QWidget>("Form1"));

    QVERIFY(press(widget<QToolButton>(entrada(h), "cmdSimulacao")));
    StandDataScreen *f = h.window<StandDataScreen>("Form2");
    typeStandData(f);
    QVERIFY(press(widget<QPushButton>(f, "cmdDPndesb")));
    storePlanted(h, QStringLiteral("1500"));
    QVERIFY(press(widget<QPushButton>(f, "cmdOk")));
    // The charts show the year of the stand they draw, the one its record
    // keeps (2030, confirmed), not what a fresh options window would show.
    const QString standYear = QStringLiteral("2030");

    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdVGraficos")));
    auto *form8 = h.window<DiameterChartsWindow>("Form8");
    QVERIFY(form8 && form8->isVisible());
    QCOMPARE(widget<QLabel>(form8, "txtAno")->text(), standYear);
    QVERIFY(press(widget<QPushButton>(form8, "cmdVoltar")));

    QVERIFY(thinFromBelow(h));
    QVERIFY(press(widget<QPushButton>(h.form7(), "cmdVGrafico")));
    auto *form9 = h.window<DiameterChartsWindow>("Form9");
    QVERIFY(form9 && form9->isVisible());
    QCOMPARE(widget<QLabel>(form9, "txtAno")->text(), standYear);
}

void SimulationRoadTest::logFailureIsToldOncePerSimulation()
{
    FlowHarness h;
    const Scenario planted = exampleScenario(QStringLiteral("planted-two-thinnings"));
    // A folder where the log should be: no block can be written.
    QVERIFY(QDir().mkpath(QString::fromStdString(h.ctx->logPath().string())));
    QVERIFY(h.enterStand(planted));
    QVERIFY(h.play(simpleStep(ScenarioStep::Kind::Project)));
    QCOMPARE(boxTexts(h.fake.messages), QStringList{"Erro! | Erro de gravação do ficheiro..."});

    QVERIFY(h.finish());
    QVERIFY(press(widget<QPushButton>(h.window<EndScreen>("Terminar"), "cmdNovaSimulacao")));
    QCOMPARE(h.ctx->state.logName, std::string("Simulacao2.temp"));
    QVERIFY(QDir().mkpath(QString::fromStdString(h.ctx->logPath().string())));
    h.fake.messages.clear();

    // The next simulation tells it again, once.
    QVERIFY(h.enterStand(planted));
    QVERIFY(h.play(simpleStep(ScenarioStep::Kind::Project)));
    QCOMPARE(boxTexts(h.fake.messages), QStringList{"Erro! | Erro de gravação do ficheiro..."});
}

void SimulationRoadTest::printKeepsTheOrientationChosen()
{
    FlowHarness h;
    QVERIFY(h.enterStand(exampleScenario(QStringLiteral("planted-two-thinnings"))));
    const QString pdf = h.dir.filePath(QStringLiteral("portrait.pdf"));
    h.fake.print.accept = true;
    h.fake.print.pdfPath = pdf;
    h.fake.print.chosenOrientation = QPageLayout::Portrait;
    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdImprimir")));
    // Landscape was proposed; the user's portrait holds.
    QCOMPARE(h.fake.print.proposedOrientation, QPageLayout::Landscape);
    const QSizeF page = pdfPageSize(pdf);
    QVERIFY2(page.width() < page.height(), "printed on the portrait pages chosen");
    QString why;
    QVERIFY2(printedAsLog(pdf, logLinesOf(h.logBytes()), &why), qPrintable(why));
}

TAVELO_QTEST_CLASS(SimulationRoadTest)
#include "simulation_road_test.moc"
