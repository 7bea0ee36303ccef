// "Dados do Povoamento" as a user fills it: the age rule on every change, the
// height and class routes, the storeStandData boxes, "&Ok" and "Cancelar".

#include "support/entry_screen_test_support.h"
#include "support/widget_lookup.h"
#include "screens/entry/options_screen.h"
#include "screens/entry/stand_data_screen.h"
#include "screens/entry/unthinned_screen.h"
#include "model/growth_model.h"
#include "model/model_error.h"
#include "support/qtest_runner.h"

#include <QGroupBox>
#include <QPushButton>
#include <QtTest>

#include <cmath>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

// Options confirmed with their defaults, then "Simulação".
StandDataScreen *openStandData(ScreenHarness &h)
{
    EntradaScreen *e = h.start();
    click(widget<QToolButton>(e, "cmdParametros"));
    click(widget<QPushButton>(h.window<OptionsScreen>("Form1"), "cmdOk"));
    click(widget<QToolButton>(e, "cmdSimulacao"));
    return h.window<StandDataScreen>("Form2");
}

QRadioButton *classOption(StandDataScreen *f, const QString &caption)
{
    for (QRadioButton *o : {widget<QRadioButton>(f, "optMBaixa"), widget<QRadioButton>(f, "optBaixa"), widget<QRadioButton>(f, "optMedia"), widget<QRadioButton>(f, "optElev"), widget<QRadioButton>(f, "optMElev")})
        if (o->text() == caption)
            return o;
    return nullptr;
}

// A stand-data window whose never-thinned stand was stored.
void storeUnthinnedStand(ScreenHarness &h, StandDataScreen *f)
{
    typeInto(widget<QLineEdit>(f, "txtIdade"), QStringLiteral("12"));
    typeInto(widget<QLineEdit>(f, "txtADominante"), QStringLiteral("9"));
    click(widget<QPushButton>(f, "cmdDPndesb"));
    auto *form3 = h.window<UnthinnedScreen>("Form3");
    QVERIFY(form3);
    choose(widget<QRadioButton>(form3, "optArvPlant"));
    typeInto(widget<QLineEdit>(form3, "txtNArvVP"), QStringLiteral("1500"));
    click(widget<QPushButton>(form3, "cmdOk"));
    QVERIFY(h.state.enteredUnthinned.isGiven());
}

} // namespace

class StandDataScreenTest : public QObject {
    Q_OBJECT
private slots:
    void designState();
    void openedBeforeTheOptions();
    void ageRule_data();
    void ageRule();
    void switchingRouteKeepsTheButtons();
    void classRouteClearsAndRestores();
    void qualityClassGivesHeight();
    void dominantHeightGivesSiteIndex();
    void missingEntries_data();
    void missingEntries();
    void entriesOutsideTheEquations_data();
    void entriesOutsideTheEquations();
    void okBeforeDensity();
    void okOpensTheStandScreen();
    void okEndsWhenTheStandIsOutsideTheModel();
    void cancelClearsTheStand();
};

void StandDataScreenTest::designState()
{
    ScreenHarness h;
    StandDataScreen *f = openStandData(h);
    QVERIFY(f && f->isVisible());
    QCOMPARE(f->windowTitle(), QStringLiteral("Dados do Povoamento"));
    QCOMPARE(widget<QLabel>(f, "Label3")->text(), QStringLiteral("Idade do Povoamento (anos)"));
    QCOMPARE(widget<QRadioButton>(f, "optADominante")->text(), QStringLiteral("Altura dominante (m)"));
    QCOMPARE(widget<QRadioButton>(f, "optCQualidade")->text(), QStringLiteral("Classe de Qualidade:"));
    QCOMPARE(widget<QGroupBox>(f, "FrmManual")->title(), QStringLiteral("Introdução manual dos dados:"));
    QCOMPARE(widget<QPushButton>(f, "cmdDPdesb")->text(), QStringLiteral("Dados povoamento desbastado"));
    QCOMPARE(widget<QPushButton>(f, "cmdDPndesb")->text(), QStringLiteral("Dados povoamento não desbastado"));
    QCOMPARE(widget<QPushButton>(f, "cmdOk")->text(), QStringLiteral("&Ok"));
    QCOMPARE(widget<QPushButton>(f, "cmdCancelar")->text(), QStringLiteral("Cancelar"));
    QStringList classes;
    for (QRadioButton *o : {widget<QRadioButton>(f, "optMBaixa"), widget<QRadioButton>(f, "optBaixa"), widget<QRadioButton>(f, "optMedia"), widget<QRadioButton>(f, "optElev"), widget<QRadioButton>(f, "optMElev")}) {
        classes << o->text();
        QVERIFY(!o->isChecked());
        QCOMPARE(o->parentWidget(), static_cast<QWidget *>(widget<QGroupBox>(f, "frmCQ")));
    }
    QCOMPARE(classes, (QStringList{"Muito Baixa", "Baixa", "Média", "Elevada", "Muito Elevada"}));
    QVERIFY(widget<QRadioButton>(f, "optADominante")->isChecked());
    QVERIFY(!widget<QRadioButton>(f, "optCQualidade")->isChecked());
    QVERIFY(!widget<QGroupBox>(f, "frmCQ")->isEnabled());
    QVERIFY(widget<QLineEdit>(f, "txtADominante")->isEnabled());
    QVERIFY(widget<QLineEdit>(f, "txtIdade")->text().isEmpty() && widget<QLineEdit>(f, "txtADominante")->text().isEmpty());
    QVERIFY(!widget<QPushButton>(f, "cmdDPdesb")->isEnabled());
    QVERIFY(!widget<QPushButton>(f, "cmdDPndesb")->isEnabled());
    QVERIFY(widget<QPushButton>(f, "cmdOk")->isEnabled() && widget<QPushButton>(f, "cmdCancelar")->isEnabled());
    QVERIFY(h.fake.messages.shown.empty());
}

void StandDataScreenTest::openedBeforeTheOptions()
{
    ScreenHarness h;
    h.start();
    auto *f = qobject_cast<StandDataScreen *>(h.ctx->windows.show(WindowId::StandData));
    QCOMPARE(boxTexts(h.fake.messages),
             QStringList{"Insuficiência de Dados | Para continuar tem que preencher correctamente os parâmetros do "
                         "povoamento"});
    QCOMPARE(h.fake.messages.last().icon, Message::Icon::Warning);
    auto *form1 = h.window<OptionsScreen>("Form1");
    QVERIFY(form1 && form1->isVisible());
    QVERIFY(f && f->isVisible());
}

void StandDataScreenTest::ageRule_data()
{
    QTest::addColumn<bool>("classRoute");
    QTest::addColumn<QString>("age");
    QTest::addColumn<bool>("thinned");
    QTest::addColumn<bool>("unthinned");
    QTest::newRow("height, 9") << false << "9" << false << false;
    QTest::newRow("height, 9.99") << false << "9.99" << false << false;
    QTest::newRow("height, 10") << false << "10" << true << true;
    QTest::newRow("height, 15") << false << "15" << true << true;
    QTest::newRow("height, 15.5") << false << "15.5" << true << false;
    QTest::newRow("height, 40") << false << "40" << true << false;
    QTest::newRow("height, not a number") << false << "doze" << false << false;
    QTest::newRow("height, comma") << false << "12,5" << false << false;
    QTest::newRow("height, empty") << false << "" << false << false;
    QTest::newRow("class, 3") << true << "3" << true << true;
    QTest::newRow("class, 15") << true << "15" << true << true;
    QTest::newRow("class, 16") << true << "16" << true << false;
    QTest::newRow("class, negative") << true << "-2" << true << true;
    QTest::newRow("class, not a number") << true << "doze" << false << false;
    QTest::newRow("class, empty") << true << "" << false << false;
}

void StandDataScreenTest::ageRule()
{
    QFETCH(bool, classRoute);
    QFETCH(QString, age);
    QFETCH(bool, thinned);
    QFETCH(bool, unthinned);
    ScreenHarness h;
    StandDataScreen *f = openStandData(h);
    if (classRoute)
        choose(widget<QRadioButton>(f, "optCQualidade"));
    // An age that opened both buttons first, so that the rule is seen to close them.
    typeInto(widget<QLineEdit>(f, "txtIdade"), QStringLiteral("12"));
    QVERIFY(widget<QPushButton>(f, "cmdDPdesb")->isEnabled() && widget<QPushButton>(f, "cmdDPndesb")->isEnabled());
    typeInto(widget<QLineEdit>(f, "txtIdade"), age);
    QCOMPARE(widget<QPushButton>(f, "cmdDPdesb")->isEnabled(), thinned);
    QCOMPARE(widget<QPushButton>(f, "cmdDPndesb")->isEnabled(), unthinned);
    QCOMPARE(widget<QGroupBox>(f, "frmCQ")->isEnabled(), classRoute);
}

void StandDataScreenTest::switchingRouteKeepsTheButtons()
{
    ScreenHarness h;
    StandDataScreen *f = openStandData(h);
    choose(widget<QRadioButton>(f, "optCQualidade"));
    typeInto(widget<QLineEdit>(f, "txtIdade"), QStringLiteral("3"));
    QVERIFY(widget<QPushButton>(f, "cmdDPdesb")->isEnabled() && widget<QPushButton>(f, "cmdDPndesb")->isEnabled());
    // Age 3 would close both on the height route, but the rule runs only on a change of age.
    choose(widget<QRadioButton>(f, "optADominante"));
    QVERIFY(widget<QPushButton>(f, "cmdDPdesb")->isEnabled() && widget<QPushButton>(f, "cmdDPndesb")->isEnabled());
    QTest::keyClick(widget<QLineEdit>(f, "txtIdade"), Qt::Key_End);
    QTest::keyClicks(widget<QLineEdit>(f, "txtIdade"), QStringLiteral(".5"));
    QVERIFY(!widget<QPushButton>(f, "cmdDPdesb")->isEnabled() && !widget<QPushButton>(f, "cmdDPndesb")->isEnabled());
}

void StandDataScreenTest::classRouteClearsAndRestores()
{
    ScreenHarness h;
    StandDataScreen *f = openStandData(h);
    typeInto(widget<QLineEdit>(f, "txtADominante"), QStringLiteral("9"));
    choose(widget<QRadioButton>(f, "optCQualidade"));
    QVERIFY(widget<QGroupBox>(f, "frmCQ")->isEnabled());
    QVERIFY(!widget<QLineEdit>(f, "txtADominante")->isEnabled());
    QVERIFY(widget<QLineEdit>(f, "txtADominante")->text().isEmpty());
    choose(widget<QRadioButton>(f, "optMedia"));
    QVERIFY(widget<QRadioButton>(f, "optMedia")->isChecked());

    choose(widget<QRadioButton>(f, "optADominante"));
    QVERIFY(!widget<QGroupBox>(f, "frmCQ")->isEnabled());
    QVERIFY(widget<QLineEdit>(f, "txtADominante")->isEnabled());
    for (QRadioButton *o : {widget<QRadioButton>(f, "optMBaixa"), widget<QRadioButton>(f, "optBaixa"), widget<QRadioButton>(f, "optMedia"), widget<QRadioButton>(f, "optElev"), widget<QRadioButton>(f, "optMElev")})
        QVERIFY2(!o->isChecked(), qPrintable(o->text()));
}

void StandDataScreenTest::qualityClassGivesHeight()
{
    ScreenHarness h;
    StandDataScreen *f = openStandData(h);
    choose(widget<QRadioButton>(f, "optCQualidade"));
    typeInto(widget<QLineEdit>(f, "txtIdade"), QStringLiteral("50"));
    choose(classOption(f, QStringLiteral("Média")));
    QVERIFY(!widget<QPushButton>(f, "cmdDPndesb")->isEnabled());
    click(widget<QPushButton>(f, "cmdDPdesb"));

    QVERIFY(h.fake.messages.shown.empty());
    QCOMPARE(h.state.standAge.value(), 50.0);
    QCOMPARE(h.state.siteIndex.value(), 15.0);
    // Site index is the dominant height at 50 years: 15 m, just under it by the model's rounding.
    const double expected = 15.0 * std::pow(10.0, 0.380999 - 2.694076 / std::sqrt(50.0));
    QVERIFY(std::abs(h.state.dominantHeight.value() - expected) < 1e-9);
    QVERIFY(h.state.dominantHeight.value() < 15.0 && h.state.dominantHeight.value() > 14.9);
    QWidget *form4 = h.window<QWidget>("Form4");
    QVERIFY(form4 && form4->isVisible());
    QCOMPARE(form4->parentWidget(), static_cast<QWidget *>(h.entrada()));
}

void StandDataScreenTest::dominantHeightGivesSiteIndex()
{
    ScreenHarness h;
    StandDataScreen *f = openStandData(h);
    typeInto(widget<QLineEdit>(f, "txtIdade"), QStringLiteral("12"));
    typeInto(widget<QLineEdit>(f, "txtADominante"), QStringLiteral("9"));
    click(widget<QPushButton>(f, "cmdDPndesb"));
    QVERIFY(h.fake.messages.shown.empty());
    QCOMPARE(h.state.standAge.value(), 12.0);
    QCOMPARE(h.state.dominantHeight.value(), 9.0);
    // Going back from the site index to age 12 gives the typed height.
    QVERIFY(h.state.siteIndex.isGiven());
    QVERIFY(std::abs(DominantHeightAtAge(12.0, h.state.siteIndex.value()) - 9.0) < 1e-6);
    QWidget *form3 = h.window<QWidget>("Form3");
    QVERIFY(form3 && form3->isVisible());
    QVERIFY(!h.window<QWidget>("Form4"));
}

void StandDataScreenTest::missingEntries_data()
{
    QTest::addColumn<bool>("classRoute");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("afterCancel");
    const QString heightMsg = "Para continuar necessita de preencher correctamente a altura dominante...";
    const QString classMsg = "Para continuar necessita de preencher correctamente a Classe de qualidade...";
    QTest::newRow("height empty") << false << "" << heightMsg << false;
    QTest::newRow("height zero") << false << "0" << heightMsg << false;
    QTest::newRow("height negative") << false << "-9" << heightMsg << false;
    QTest::newRow("height not a number") << false << "nove" << heightMsg << false;
    QTest::newRow("height with a comma, after Cancelar") << false << "9,5" << heightMsg << true;
    QTest::newRow("no class chosen") << true << "" << classMsg << false;
    QTest::newRow("no class chosen, after Cancelar") << true << "" << classMsg << true;
}

void StandDataScreenTest::missingEntries()
{
    QFETCH(bool, classRoute);
    QFETCH(QString, height);
    QFETCH(QString, message);
    QFETCH(bool, afterCancel);
    ScreenHarness h;
    StandDataScreen *f = openStandData(h);
    if (afterCancel) {
        // A stand entered and cancelled: the next entry starts from null values.
        storeUnthinnedStand(h, f);
        click(widget<QPushButton>(f, "cmdCancelar"));
        click(widget<QToolButton>(h.entrada(), "cmdSimulacao"));
        f = h.window<StandDataScreen>("Form2");
        QVERIFY(f);
        QVERIFY(h.state.dominantHeight.isNull() && h.state.siteIndex.isNull());
        h.fake.messages.clear();
    }
    if (classRoute)
        choose(widget<QRadioButton>(f, "optCQualidade"));
    typeInto(widget<QLineEdit>(f, "txtIdade"), QStringLiteral("12"));
    if (!classRoute)
        typeInto(widget<QLineEdit>(f, "txtADominante"), height);
    click(widget<QPushButton>(f, "cmdDPndesb"));

    QCOMPARE(boxTexts(h.fake.messages), QStringList{"Insuficiência de Dados | " + message});
    QCOMPARE(h.fake.messages.last().icon, Message::Icon::Error);
    QCOMPARE(h.state.standAge.value(), 12.0);
    QVERIFY(!h.state.dominantHeight.isGiven());
    QVERIFY(!h.state.siteIndex.isGiven());
    QCOMPARE(h.state.dominantHeight.isNull(), afterCancel);
    QVERIFY(!h.window<QWidget>("Form3"));
    QVERIFY(f->isVisible());
}

void StandDataScreenTest::entriesOutsideTheEquations_data()
{
    QTest::addColumn<bool>("classRoute");
    QTest::addColumn<QString>("age");
    QTest::addColumn<QString>("height");
    QTest::newRow("class route, age 0") << true << "0" << "";
    QTest::newRow("class route, negative age") << true << "-2" << "";
}

void StandDataScreenTest::entriesOutsideTheEquations()
{
    QFETCH(bool, classRoute);
    QFETCH(QString, age);
    QFETCH(QString, height);
    ScreenHarness h;
    StandDataScreen *f = openStandData(h);
    if (classRoute) {
        choose(widget<QRadioButton>(f, "optCQualidade"));
        choose(widget<QRadioButton>(f, "optBaixa"));
    } else {
        typeInto(widget<QLineEdit>(f, "txtADominante"), height);
    }
    typeInto(widget<QLineEdit>(f, "txtIdade"), age);
    QVERIFY(widget<QPushButton>(f, "cmdDPndesb")->isEnabled());
    click(widget<QPushButton>(f, "cmdDPndesb"));

    // Refused with a box; no density screen, no number that is not a number.
    QCOMPARE(h.fake.messages.shown.size(), size_t(1));
    QCOMPARE(QString::fromStdString(h.fake.messages.last().title), QStringLiteral("Dados Inválidos"));
    QCOMPARE(h.fake.messages.last().icon, Message::Icon::Error);
    QVERIFY(!h.window<QWidget>("Form3"));
    for (const StateValue *v : {&h.state.dominantHeight, &h.state.siteIndex})
        QVERIFY(!v->isGiven() || std::isfinite(v->value()));
    QVERIFY(!h.fake.exit.exited());
}

void StandDataScreenTest::okBeforeDensity()
{
    ScreenHarness h;
    StandDataScreen *f = openStandData(h);
    typeInto(widget<QLineEdit>(f, "txtIdade"), QStringLiteral("12"));
    typeInto(widget<QLineEdit>(f, "txtADominante"), QStringLiteral("9"));
    click(widget<QPushButton>(f, "cmdOk"));
    QCOMPARE(boxTexts(h.fake.messages),
             QStringList{"Insuficiência de Dados | Para continuar tem que preencher correctamente os dados do "
                         "povoamento (idade/Altura dominante ou Classe Qualidade/desbastado ou não desbastado)"});
    QCOMPARE(h.fake.messages.last().icon, Message::Icon::Warning);
    QVERIFY(f->isVisible());
    QVERIFY(widget<QAction>(h.entrada(), "Sim")->isEnabled());
}

void StandDataScreenTest::okOpensTheStandScreen()
{
    ScreenHarness h;
    int standScreensLoaded = 0;
    h.ctx->windows.registerFactory(WindowId::StandStructure, [&](AppContext &ctx) -> QWidget * {
        ++standScreensLoaded;
        auto *w = new QWidget;
        makeWindow(w, ctx.windows.entrada());
        return w;
    });
    StandDataScreen *f = openStandData(h);
    storeUnthinnedStand(h, f);
    // The stand data are locked; only the other route's button is out of reach.
    QVERIFY(!widget<QGroupBox>(f, "Frame3")->isEnabled());
    QVERIFY(!widget<QGroupBox>(f, "Frame4")->isEnabled());
    QVERIFY(!widget<QPushButton>(f, "cmdDPdesb")->isEnabled());
    QVERIFY(widget<QPushButton>(f, "cmdDPndesb")->isEnabled());

    click(widget<QPushButton>(f, "cmdOk"));
    QVERIFY(h.fake.messages.shown.empty());
    QCOMPARE(standScreensLoaded, 1);
    QVERIFY(h.window<QWidget>("Form5")->isVisible());
    EntradaScreen *e = h.entrada();
    QVERIFY(!widget<QAction>(e, "Sim")->isEnabled() && !widget<QToolButton>(e, "cmdSimulacao")->isEnabled());
    QVERIFY(!widget<QAction>(e, "OModelo")->isEnabled());
    QVERIFY(!f->isVisible());
    QCOMPARE(h.window<StandDataScreen>("Form2"), f);
}

void StandDataScreenTest::okEndsWhenTheStandIsOutsideTheModel()
{
    ScreenHarness h;
    h.ctx->windows.registerFactory(WindowId::StandStructure, [](AppContext &) -> QWidget * {
        throw ModelLimitError::outside(true);
    });
    StandDataScreen *f = openStandData(h);
    storeUnthinnedStand(h, f);
    click(widget<QPushButton>(f, "cmdOk"));
    QCOMPARE(boxTexts(h.fake.messages),
             QStringList{"Resultados Inconsistentes | Simulação fora dos limites do modelo! A simulação vai terminar."});
    QCOMPARE(h.fake.messages.last().icon, Message::Icon::Error);
    QCOMPARE(h.fake.exit.codes, std::vector<int>{kExitModelLimit});
    // Nothing after the end ran.
    QVERIFY(widget<QAction>(h.entrada(), "Sim")->isEnabled());
    QVERIFY(f->isVisible());
}

void StandDataScreenTest::cancelClearsTheStand()
{
    ScreenHarness h;
    StandDataScreen *f = openStandData(h);
    storeUnthinnedStand(h, f);
    QVERIFY(h.window<QWidget>("Form3"));
    click(widget<QPushButton>(f, "cmdCancelar"));

    for (const StateValue *v : {&h.state.standAge, &h.state.siteIndex, &h.state.dominantHeight,
                                &h.state.enteredUnthinned, &h.state.treesAlive, &h.state.treesPlanted,
                                &h.state.basalArea, &h.state.minDiameter, &h.state.weibullA, &h.state.weibullB,
                                &h.state.weibullC})
        QVERIFY(v->isNull());
    // The options stay.
    QCOMPARE(h.state.withBark.value(), 1.0);
    QCOMPARE(h.state.topDiameter.value(), 7.0);
    QVERIFY(h.state.currentYear.isText());
    QVERIFY(!h.window<QWidget>("Form2"));
    QVERIFY(!h.window<QWidget>("Form3"));
    QVERIFY(!f->isVisible());

    // A new entry starts from the design state.
    click(widget<QToolButton>(h.entrada(), "cmdSimulacao"));
    StandDataScreen *again = h.window<StandDataScreen>("Form2");
    QVERIFY(again && again->isVisible());
    QVERIFY(widget<QLineEdit>(again, "txtIdade")->text().isEmpty());
    QVERIFY(widget<QGroupBox>(again, "Frame3")->isEnabled() && widget<QGroupBox>(again, "Frame4")->isEnabled());
}

TAVELO_QTEST_CLASS(StandDataScreenTest)
#include "stand_data_screen_test.moc"
