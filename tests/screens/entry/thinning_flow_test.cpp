// The thinning dialogue "Desbaste" as the user meets it from the stand screen:
// both kinds of thinning, their limits and messages, the question when no kind
// was chosen, the hand-over to the after-thinning screen and the model's limit.

#include "support/flow_test_support.h"
#include "support/widget_lookup.h"
#include "support/qtest_runner.h"

#include <QGroupBox>
#include <QLabel>
#include <QtTest>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

const char *const kInvalid = "Dados inválidos";
const char *const kPercentText = "A % de árv. a retirar deve ter valores entre 15 e 50 %";

// A stand at 22 years on its stand screen, and the thinning screen opened.
bool openThinning(FlowHarness &h)
{
    if (!h.enterStand(exampleScenario(QStringLiteral("planted-two-thinnings"))))
        return false;
    return press(widget<QPushButton>(h.form5(), "cmdProjectar")) && press(widget<QPushButton>(h.form5(), "cmdProjectar")) && press(widget<QPushButton>(h.form5(), "cmdDesbastar")) &&
           h.form6() && h.form6()->isVisible();
}

} // namespace

class ThinningFlowTest : public QObject {
    Q_OBJECT

private slots:
    void opensEmpty();
    void eachOptionOpensItsBox();
    void mechanicalLimits_data();
    void mechanicalLimits();
    void fromBelowLimits_data();
    void fromBelowLimits();
    void noOptionAsksToLeave_data();
    void noOptionAsksToLeave();
    void residualOutsideTheModelEndsTheProgram();
};

void ThinningFlowTest::opensEmpty()
{
    FlowHarness h;
    QVERIFY(openThinning(h));
    ThinningScreen *f6 = h.form6();
    QCOMPARE(f6->windowTitle(), QStringLiteral("Desbaste"));
    QCOMPARE(widget<QRadioButton>(f6, "optDmecanico")->text(), QStringLiteral("Desbaste mecânico"));
    QCOMPARE(widget<QRadioButton>(f6, "optDselectivo")->text(), QStringLiteral("Desbaste  pelo baixo"));
    QCOMPARE(widget<QPushButton>(f6, "cmdOk")->text(), QStringLiteral("&Ok"));
    QVERIFY(!widget<QRadioButton>(f6, "optDmecanico")->isChecked() && !widget<QRadioButton>(f6, "optDselectivo")->isChecked());
    QVERIFY(widget<QRadioButton>(f6, "optInvisivel")->isChecked() && !widget<QRadioButton>(f6, "optInvisivel")->isVisible());
    QVERIFY(!widget<QLineEdit>(f6, "txtDmecanico")->isEnabled() && !widget<QLineEdit>(f6, "txtDselectivo")->isEnabled());
    QVERIFY(widget<QLineEdit>(f6, "txtDmecanico")->text().isEmpty() && widget<QLineEdit>(f6, "txtDselectivo")->text().isEmpty());
    QStringList labels;
    for (QLabel *l : f6->findChildren<QLabel *>())
        labels << l->text();
    QVERIFY(labels.contains(QStringLiteral("% de árvores a retirar")));
    QVERIFY(labels.contains(QStringLiteral("Área basal residual (m2/ha)")));
    QVERIFY(widget<QGroupBox>(f6, "Frame1")->isAncestorOf(widget<QRadioButton>(f6, "optDmecanico")) && widget<QGroupBox>(f6, "Frame1")->isAncestorOf(widget<QLineEdit>(f6, "txtDselectivo")));
    // The stand screen stays as it was underneath.
    QVERIFY(h.form5()->isVisible());
    QCOMPARE(h.logBlocks(), 3);
}

void ThinningFlowTest::eachOptionOpensItsBox()
{
    FlowHarness h;
    QVERIFY(openThinning(h));
    ThinningScreen *f6 = h.form6();
    choose(widget<QRadioButton>(f6, "optDmecanico"));
    QVERIFY(widget<QRadioButton>(f6, "optDmecanico")->isChecked());
    QVERIFY(widget<QLineEdit>(f6, "txtDmecanico")->isEnabled() && !widget<QLineEdit>(f6, "txtDselectivo")->isEnabled());
    typeInto(widget<QLineEdit>(f6, "txtDmecanico"), QStringLiteral("25"));

    choose(widget<QRadioButton>(f6, "optDselectivo"));
    QVERIFY(widget<QLineEdit>(f6, "txtDmecanico")->text().isEmpty() && !widget<QLineEdit>(f6, "txtDmecanico")->isEnabled());
    QVERIFY(widget<QLineEdit>(f6, "txtDselectivo")->isEnabled());
    typeInto(widget<QLineEdit>(f6, "txtDselectivo"), QStringLiteral("18"));

    choose(widget<QRadioButton>(f6, "optDmecanico"));
    QVERIFY(widget<QLineEdit>(f6, "txtDselectivo")->text().isEmpty() && !widget<QLineEdit>(f6, "txtDselectivo")->isEnabled());
    QVERIFY(widget<QLineEdit>(f6, "txtDmecanico")->isEnabled());
    QVERIFY(h.fake.messages.shown.empty());
}

void ThinningFlowTest::mechanicalLimits_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("15, the lower end") << QStringLiteral("15") << true;
    QTest::newRow("50, the upper end") << QStringLiteral("50") << true;
    QTest::newRow("30") << QStringLiteral("30") << true;
    QTest::newRow("14.9") << QStringLiteral("14.9") << false;
    QTest::newRow("50.1") << QStringLiteral("50.1") << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("not a number") << QStringLiteral("trinta") << false;
    QTest::newRow("a comma") << QStringLiteral("20,5") << false;
}

void ThinningFlowTest::mechanicalLimits()
{
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    FlowHarness h;
    QVERIFY(openThinning(h));
    ThinningScreen *f6 = h.form6();
    choose(widget<QRadioButton>(f6, "optDmecanico"));
    typeInto(widget<QLineEdit>(f6, "txtDmecanico"), typed);
    QVERIFY(press(widget<QPushButton>(f6, "cmdOk")));

    if (accepted) {
        QVERIFY(h.fake.messages.shown.empty());
        QVERIFY(!h.form5()->isVisible());
        QVERIFY(h.form6() && !h.form6()->isVisible()); // hidden with its entries
        QCOMPARE(widget<QLineEdit>(h.form6(), "txtDmecanico")->text(), typed);
        QVERIFY(h.form7() && h.form7()->isVisible());
        QCOMPARE(widget<QLabel>(h.form7(), "lblDesbasteMS")->text(), QStringLiteral("Mecânico com %1% de árvores a retirar").arg(typed));
        // The residual stand keeps the Weibull shape and loses that share of the trees.
        QCOMPARE(h.state.residualWeibullC.value(), h.state.weibullC.value());
        QVERIFY(qAbs(h.state.residualTrees.value() - h.state.treesAlive.value() * (1.0 - typed.toDouble() / 100.0)) < 1e-6);
        QCOMPARE(h.logBlocks(), 3); // not logged until carried forward
    } else {
        QCOMPARE(h.fake.messages.shown.size(), size_t(1));
        const Message &m = h.fake.messages.last();
        QCOMPARE(m.icon, Message::Icon::Warning);
        QCOMPARE(m.title, std::string(kInvalid));
        QCOMPARE(m.text, std::string(kPercentText));
        QCOMPARE(h.fake.messages.shown.front().parentName, QStringLiteral("Form6"));
        // The user stays with the entry as typed.
        QVERIFY(f6->isVisible());
        QCOMPARE(widget<QLineEdit>(f6, "txtDmecanico")->text(), typed);
        QVERIFY(!h.form7());
        QVERIFY(h.state.residualTrees.isEmptyOrNull());
    }
}

void ThinningFlowTest::fromBelowLimits_data()
{
    // Typed as a fraction of the stand's basal area G; "text" rows type it as it stands.
    QTest::addColumn<double>("fractionOfG");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("refusal"); // empty when accepted
    QTest::newRow("half of G") << 0.5 << QString() << QString();
    QTest::newRow("three quarters of G") << 0.75 << QString() << QString();
    QTest::newRow("just below half") << 0.4999 << QString() << QStringLiteral("range");
    QTest::newRow("just above three quarters") << 0.7501 << QString() << QStringLiteral("range");
    QTest::newRow("not a number") << 0.0 << QStringLiteral("vinte") << QStringLiteral("A área basal residual tem dados inválidos");
    QTest::newRow("empty") << 0.0 << QStringLiteral("") << QStringLiteral("A área basal residual tem dados inválidos");
}

void ThinningFlowTest::fromBelowLimits()
{
    QFETCH(double, fractionOfG);
    QFETCH(QString, text);
    QFETCH(QString, refusal);
    FlowHarness h;
    QVERIFY(openThinning(h));
    const double g = h.state.basalArea.value();
    const QString typed = fractionOfG > 0.0 ? QString::number(fractionOfG * g, 'g', 17) : text;
    ThinningScreen *f6 = h.form6();
    choose(widget<QRadioButton>(f6, "optDselectivo"));
    typeInto(widget<QLineEdit>(f6, "txtDselectivo"), typed);
    QVERIFY(press(widget<QPushButton>(f6, "cmdOk")));

    if (refusal.isEmpty()) {
        QVERIFY(h.fake.messages.shown.empty());
        QVERIFY(h.form7() && h.form7()->isVisible());
        QCOMPARE(widget<QLabel>(h.form7(), "lblDesbasteMS")->text(), QStringLiteral("Pelo baixo com %1 m2 de área basal residual").arg(typed));
        QCOMPARE(h.state.residualBasalArea.value(), fractionOfG * g);
        // From now on the stand counts as one thinned before.
        QCOMPARE(h.state.enteredUnthinned.value(), 0.0);
        return;
    }
    QCOMPARE(h.fake.messages.shown.size(), size_t(1));
    const Message &m = h.fake.messages.last();
    QCOMPARE(m.icon, Message::Icon::Warning);
    if (refusal == QLatin1String("range")) {
        QCOMPARE(QString::fromStdString(m.title),
                 QStringLiteral("Dados inválidos - A AB residual deve ter valores entre 50 e 75 % da AB do povoamento"));
        QCOMPARE(QString::fromStdString(m.text), QStringLiteral("Neste caso, a área basal residual deve ter valores entre %1 e %2 m2/ha")
                                                     .arg(0.5 * g, 0, 'f', 2)
                                                     .arg(0.75 * g, 0, 'f', 2));
    } else {
        QCOMPARE(m.title, std::string(kInvalid));
        QCOMPARE(QString::fromStdString(m.text), refusal);
    }
    QVERIFY(f6->isVisible());
    QCOMPARE(widget<QLineEdit>(f6, "txtDselectivo")->text(), typed);
    QVERIFY(!h.form7());
}

void ThinningFlowTest::noOptionAsksToLeave_data()
{
    QTest::addColumn<bool>("leave");
    QTest::newRow("Yes: the screen closes") << true;
    QTest::newRow("No: a reminder, the screen stays") << false;
}

void ThinningFlowTest::noOptionAsksToLeave()
{
    QFETCH(bool, leave);
    FlowHarness h;
    QVERIFY(openThinning(h));
    h.fake.messages.answers = {leave ? MessageService::Answer::Yes : MessageService::Answer::No,
                               MessageService::Answer::Yes};
    QVERIFY(press(widget<QPushButton>(h.form6(), "cmdOk")));

    const Message question{Message::Icon::Question, Message::Buttons::YesNo, "Insuficiência de Dados...",
                           "Não fez a opção de desbaste. Deseja sair deste ecran?"};
    const Message reminder{Message::Icon::None, Message::Buttons::YesNo, "Insuficiência de Dados...",
                           "Para continuar necessita de escolher um tipo e intensidade de desbaste."};
    QCOMPARE(h.fake.messages.shown.front().message, question);
    if (leave) {
        QCOMPARE(h.fake.messages.shown.size(), size_t(1));
        QVERIFY(!h.form6());
    } else {
        // The reminder's answer (Yes here) changes nothing.
        QCOMPARE(h.fake.messages.shown.size(), size_t(2));
        QCOMPARE(h.fake.messages.last(), reminder);
        QVERIFY(h.form6() && h.form6()->isVisible());
    }
    QVERIFY(h.form5()->isVisible());
    QVERIFY(!h.form7());
    QCOMPARE(h.logBlocks(), 3);
}

void ThinningFlowTest::residualOutsideTheModelEndsTheProgram()
{
    FlowHarness h;
    QVERIFY(openThinning(h));
    // A residual basal area above 45 m2/ha needs a stand above 60, which no
    // table on screen holds; the stand state is set so here.
    h.state.basalArea = 70.0;
    choose(widget<QRadioButton>(h.form6(), "optDmecanico"));
    typeInto(widget<QLineEdit>(h.form6(), "txtDmecanico"), QStringLiteral("15"));
    QVERIFY(press(widget<QPushButton>(h.form6(), "cmdOk")));
    QCOMPARE(h.fake.exit.codes, std::vector<int>{kExitModelLimit});
    QCOMPARE(h.fake.messages.shown.size(), size_t(1));
    QCOMPARE(h.fake.messages.last(), Message::error("Resultados Inconsistentes",
                                                    "Simulação fora dos limites do modelo!A simulação vai terminar."));
    QVERIFY(!h.form7());
}

TAVELO_QTEST_CLASS(ThinningFlowTest)
#include "thinning_flow_test.moc"
