// "Dados do Povoamento Desbastado" as a user fills it: both ways of entering
// the stand, the class table's percentile and basal area, the refusals and the
// 45 m2/ha limit that ends the program.

#include "support/entry_screen_test_support.h"
#include "support/widget_lookup.h"
#include "screens/entry/options_screen.h"
#include "screens/entry/stand_data_screen.h"
#include "screens/entry/thinned_screen.h"
#include "support/qtest_runner.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <cmath>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

struct OpenedThinned {
    StandDataScreen *form2 = nullptr;
    ThinnedScreen *form4 = nullptr;
};

// Options confirmed, a stand of 25 years in quality class "Média", then
// "Dados povoamento desbastado".
OpenedThinned openThinned(ScreenHarness &h)
{
    EntradaScreen *e = h.start();
    click(widget<QToolButton>(e, "cmdParametros"));
    click(widget<QPushButton>(h.window<OptionsScreen>("Form1"), "cmdOk"));
    click(widget<QToolButton>(e, "cmdSimulacao"));
    auto *form2 = h.window<StandDataScreen>("Form2");
    choose(widget<QRadioButton>(form2, "optCQualidade"));
    typeInto(widget<QLineEdit>(form2, "txtIdade"), QStringLiteral("25"));
    choose(widget<QRadioButton>(form2, "optMedia"));
    click(widget<QPushButton>(form2, "cmdDPdesb"));
    return {form2, h.window<ThinnedScreen>("Form4")};
}

// The class boxes as "k=n" pairs, e.g. "3=100;5=20".
void typeClasses(ThinnedScreen *f, const QString &classes)
{
    for (const QString &pair : classes.split(';', Qt::SkipEmptyParts)) {
        const QStringList kv = pair.split('=');
        typeInto(classBox(f, kv[0].toInt()), kv[1]);
    }
}

QStringList classTexts(const ThinnedScreen *f)
{
    QStringList out;
    for (int k = 0; k < ThinnedScreen::kClasses; ++k)
        out << classBox(f, k)->text();
    return out;
}

// The diameter at the 95 % point of the stored Weibull distribution: the
// percentile the screen derived, handed on through a, b and c.
double storedPercentile(const StandState &s)
{
    return s.weibullA.value() + s.weibullB.value() * std::pow(2.99573, 1.0 / s.weibullC.value());
}

bool nothingStored(const StandState &s)
{
    return s.enteredUnthinned.isEmpty() && s.treesAlive.isEmpty() && s.basalArea.isEmpty() && s.minDiameter.isEmpty() &&
           s.weibullA.isEmpty() && s.weibullB.isEmpty() && s.weibullC.isEmpty();
}

void checkStoredAndLocked(ScreenHarness &h, const OpenedThinned &o)
{
    QVERIFY2(h.fake.messages.shown.empty(), qPrintable(boxTexts(h.fake.messages).join('\n')));
    QCOMPARE(h.state.enteredUnthinned.value(), 0.0);
    QVERIFY(h.state.enteredUnthinned.isGiven());
    QVERIFY(!o.form4->isVisible());
    QCOMPARE(h.window<ThinnedScreen>("Form4"), o.form4);
    QVERIFY(!widget<QGroupBox>(o.form2, "Frame3")->isEnabled() && !widget<QGroupBox>(o.form2, "Frame4")->isEnabled());
    QVERIFY(!widget<QPushButton>(o.form2, "cmdDPndesb")->isEnabled());
    QVERIFY(widget<QPushButton>(o.form2, "cmdDPdesb")->isEnabled());
}

} // namespace

class ThinnedScreenTest : public QObject {
    Q_OBJECT
private slots:
    void designState();
    void choosingOneWayClearsTheOther();
    void classes_data();
    void classes();
    void classRefusals_data();
    void classRefusals();
    void noTreesInAnyClass_data();
    void noTreesInAnyClass();
    void classBasalAreaLimit_data();
    void classBasalAreaLimit();
    void parameters_data();
    void parameters();
    void parameterRefusals_data();
    void parameterRefusals();
    void parameterBasalAreaLimit_data();
    void parameterBasalAreaLimit();
    void nothingChosenAsksToLeave_data();
    void nothingChosenAsksToLeave();
};

void ThinnedScreenTest::designState()
{
    ScreenHarness h;
    auto [form2, f] = openThinned(h);
    QVERIFY(f && f->isVisible());
    QCOMPARE(f->windowTitle(), QStringLiteral("Dados do Povoamento Desbastado"));
    QCOMPARE(widget<QRadioButton>(f, "optPPovoamento")->text(), QStringLiteral("Parâmetros do povoamento"));
    QCOMPARE(widget<QRadioButton>(f, "optCDap")->text(), QStringLiteral("Árvores vivas por classe de DAP(nº/ha)"));
    QVERIFY(!widget<QRadioButton>(f, "optPPovoamento")->isChecked() && !widget<QRadioButton>(f, "optCDap")->isChecked());
    QVERIFY(widget<QRadioButton>(f, "optInvisivel")->isChecked());
    QVERIFY(!widget<QRadioButton>(f, "optInvisivel")->isVisible());
    QVERIFY(!widget<QGroupBox>(f, "frmPPovoamento")->isEnabled());
    QVERIFY(!widget<QGroupBox>(f, "frmCDap")->isEnabled());
    QCOMPARE(widget<QLabel>(f, "lblAvivas")->text(), QStringLiteral("Nº de árvores vivas (nº/ha)"));
    QCOMPARE(widget<QLabel>(f, "lblAbasal")->text(), QStringLiteral("Área basal (m2/ha)"));
    QCOMPARE(widget<QLabel>(f, "lblDmin")->text(), QStringLiteral("DAP mínimo (cm)"));
    QCOMPARE(widget<QLabel>(f, "lblDp93")->text(), QStringLiteral("95º percentil"));
    QCOMPARE(widget<QLabel>(f, "lblClasseDap")->text(), QStringLiteral("Classe DAP"));
    QCOMPARE(widget<QLabel>(f, "lblNArvores")->text(), QStringLiteral("Nº Árvores"));
    for (int k = 0; k < ThinnedScreen::kClasses; ++k) {
        // Found by its name "txt1_k", or the lookup stops the test.
        QLineEdit *box = classBox(f, k);
        QCOMPARE(classLabel(f, k)->text(), QString::number(5 * (k + 1)));
        QVERIFY(box->text().isEmpty());
        QCOMPARE(box->parentWidget(), static_cast<QWidget *>(widget<QGroupBox>(f, "frmCDap")));
    }
    for (QLineEdit *t : {widget<QLineEdit>(f, "txtAvivas"), widget<QLineEdit>(f, "txtAbasal"), widget<QLineEdit>(f, "txtDmin"), widget<QLineEdit>(f, "txtDp93")})
        QCOMPARE(t->parentWidget(), static_cast<QWidget *>(widget<QGroupBox>(f, "frmPPovoamento")));
    QCOMPARE(widget<QPushButton>(f, "cmdOk")->text(), QStringLiteral("&Ok"));
}

void ThinnedScreenTest::choosingOneWayClearsTheOther()
{
    ScreenHarness h;
    auto [form2, f] = openThinned(h);
    choose(widget<QRadioButton>(f, "optCDap"));
    QVERIFY(widget<QGroupBox>(f, "frmCDap")->isEnabled() && !widget<QGroupBox>(f, "frmPPovoamento")->isEnabled());
    typeClasses(f, QStringLiteral("3=100;5=20"));

    choose(widget<QRadioButton>(f, "optPPovoamento"));
    QVERIFY(widget<QGroupBox>(f, "frmPPovoamento")->isEnabled() && !widget<QGroupBox>(f, "frmCDap")->isEnabled());
    QCOMPARE(classTexts(f), QStringList(13, QString()));
    typeInto(widget<QLineEdit>(f, "txtAvivas"), QStringLiteral("600"));
    typeInto(widget<QLineEdit>(f, "txtDp93"), QStringLiteral("31"));

    choose(widget<QRadioButton>(f, "optCDap"));
    for (QLineEdit *t : {widget<QLineEdit>(f, "txtAvivas"), widget<QLineEdit>(f, "txtAbasal"), widget<QLineEdit>(f, "txtDmin"), widget<QLineEdit>(f, "txtDp93")})
        QVERIFY(t->text().isEmpty());
}

void ThinnedScreenTest::classes_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("trees");
    QTest::addColumn<double>("dmin");
    QTest::addColumn<double>("basalArea");
    QTest::addColumn<double>("percentile");
    // 100 trees at 20 cm: the 90th tree lies 0.9 into the class 17.5-22.5.
    QTest::newRow("100 at 20 cm") << "3=100" << 100.0 << 17.5 << 3.14156 << 22.0;
    // 50 at 10 cm and 50 at 20 cm: 40 of the 50 trees of the 20 cm class.
    QTest::newRow("50 at 10 cm, 50 at 20 cm") << "1=50;3=50" << 100.0 << 7.5 << 1.963475 << 21.5;
    // Counts rounded to whole trees, ties to even: 100.5 -> 100, 101.5 -> 102.
    QTest::newRow("halves to even") << "3=100.5;4=101.5" << 202.0 << 17.5 << (400 * 100 + 625 * 102) * 0.78539e-4
                                    << 5 * (4 + 0.5 + (0.9 * 202 - 100) / 102.0);
    // The first class with trees gives the smallest diameter, even a 5 cm one.
    QTest::newRow("spread from 5 cm")
        << "0=10;2=40;4=30;6=20" << 100.0 << 2.5 << (25 * 10 + 225 * 40 + 625 * 30 + 1225 * 20) * 0.78539e-4
        << 5 * (6 + 0.5 + (90.0 - 80.0) / 20.0);
}

void ThinnedScreenTest::classes()
{
    QFETCH(QString, typed);
    QFETCH(double, trees);
    QFETCH(double, dmin);
    QFETCH(double, basalArea);
    QFETCH(double, percentile);
    ScreenHarness h;
    OpenedThinned o = openThinned(h);
    choose(widget<QRadioButton>(o.form4, "optCDap"));
    typeClasses(o.form4, typed);
    click(widget<QPushButton>(o.form4, "cmdOk"));

    checkStoredAndLocked(h, o);
    QCOMPARE(h.state.treesAlive.value(), trees);
    QCOMPARE(h.state.minDiameter.value(), dmin);
    QVERIFY(std::abs(h.state.weibullA.value() - 0.9 * dmin) < 1e-12);
    QVERIFY(std::abs(h.state.basalArea.value() - basalArea) < 1e-9);
    QVERIFY2(std::abs(storedPercentile(h.state) - percentile) < 1e-6,
             qPrintable(QString::number(storedPercentile(h.state), 'g', 12)));
    QVERIFY(!h.ctx->entries.thinnedByParameters);
    // Every empty box now reads "0".
    for (const QString &t : classTexts(o.form4))
        QVERIFY(!t.isEmpty());
}

void ThinnedScreenTest::classRefusals_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("not a number") << "3=100;5=vinte";
    QTest::newRow("negative") << "3=100;5=-1";
    QTest::newRow("comma") << "3=100,5";
    QTest::newRow("beyond a 16-bit count") << "3=32768";
    QTest::newRow("far beyond") << "3=100;12=40000";
}

void ThinnedScreenTest::classRefusals()
{
    QFETCH(QString, typed);
    ScreenHarness h;
    auto [form2, f] = openThinned(h);
    choose(widget<QRadioButton>(f, "optCDap"));
    typeClasses(f, typed);
    const QStringList before = classTexts(f);
    click(widget<QPushButton>(f, "cmdOk"));

    QCOMPARE(boxTexts(h.fake.messages), QStringList{"Dados Inválidos | Nº de árvores inválido!"});
    QCOMPARE(h.fake.messages.last().icon, Message::Icon::Error);
    // The boxes stay as typed: empty ones are not filled with "0".
    QCOMPARE(classTexts(f), before);
    QVERIFY(nothingStored(h.state));
    QVERIFY(f->isVisible());
    QVERIFY(widget<QGroupBox>(form2, "Frame3")->isEnabled());
}

void ThinnedScreenTest::noTreesInAnyClass_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("all empty") << "";
    QTest::newRow("all zero") << "0=0;1=0;2=0;3=0;4=0;5=0;6=0;7=0;8=0;9=0;10=0;11=0;12=0";
    QTest::newRow("some zero, others empty") << "3=0;7=0";
    QTest::newRow("counts rounding to zero") << "3=0.5;4=0.2";
}

void ThinnedScreenTest::noTreesInAnyClass()
{
    QFETCH(QString, typed);
    ScreenHarness h;
    auto [form2, f] = openThinned(h);
    choose(widget<QRadioButton>(f, "optCDap"));
    typeClasses(f, typed);
    click(widget<QPushButton>(f, "cmdOk"));

    QCOMPARE(boxTexts(h.fake.messages),
             QStringList{"Dados Inválidos | Para continuar tem que introduzir nº de árvores em cada classe de dap"});
    QCOMPARE(h.fake.messages.last().icon, Message::Icon::Error);
    // Every box passed its check, so the empty ones now read "0".
    for (const QString &t : classTexts(f))
        QVERIFY(!t.isEmpty());
    QCOMPARE(classTexts(f).count(QStringLiteral("0")), 13 - int(typed.count(QLatin1Char('.'))));
    QVERIFY(nothingStored(h.state));
    QVERIFY(f->isVisible());
}

void ThinnedScreenTest::classBasalAreaLimit_data()
{
    // A tree of 30 cm has 0.0706851 m2: 636 of them 44.96 m2/ha, 637 of them 45.03.
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("ends");
    QTest::newRow("636 at 30 cm, just inside") << "5=636" << false;
    QTest::newRow("637 at 30 cm, just beyond") << "5=637" << true;
    QTest::newRow("beyond, spread over classes") << "5=300;7=300" << true;
}

void ThinnedScreenTest::classBasalAreaLimit()
{
    QFETCH(QString, typed);
    QFETCH(bool, ends);
    ScreenHarness h;
    OpenedThinned o = openThinned(h);
    choose(widget<QRadioButton>(o.form4, "optCDap"));
    typeClasses(o.form4, typed);
    click(widget<QPushButton>(o.form4, "cmdOk"));
    if (!ends) {
        checkStoredAndLocked(h, o);
        QVERIFY(h.state.basalArea.value() <= 45.0);
        QVERIFY(!h.fake.exit.exited());
        return;
    }
    QCOMPARE(boxTexts(h.fake.messages),
             QStringList{"Resultados Inconsistentes | Simulação fora dos limites do modelo!A simulação vai terminar."});
    QCOMPARE(h.fake.messages.last().icon, Message::Icon::Error);
    QCOMPARE(h.fake.exit.codes, std::vector<int>{kExitModelLimit});
    QVERIFY(nothingStored(h.state));
    QVERIFY(o.form4->isVisible());
    QVERIFY(widget<QGroupBox>(o.form2, "Frame3")->isEnabled());
}

void ThinnedScreenTest::parameters_data()
{
    QTest::addColumn<QString>("trees");
    QTest::addColumn<double>("stored");
    // A whole count stays as typed; a fraction goes up to the next whole tree.
    QTest::newRow("601 stays") << "601" << 601.0;
    QTest::newRow("600 stays") << "600" << 600.0;
    QTest::newRow("600.2 goes up") << "600.2" << 601.0;
    QTest::newRow("600.5 goes up") << "600.5" << 601.0;
}

void ThinnedScreenTest::parameters()
{
    QFETCH(QString, trees);
    QFETCH(double, stored);
    ScreenHarness h;
    OpenedThinned o = openThinned(h);
    choose(widget<QRadioButton>(o.form4, "optPPovoamento"));
    typeInto(widget<QLineEdit>(o.form4, "txtAvivas"), trees);
    typeInto(widget<QLineEdit>(o.form4, "txtAbasal"), QStringLiteral("22"));
    typeInto(widget<QLineEdit>(o.form4, "txtDmin"), QStringLiteral("9"));
    typeInto(widget<QLineEdit>(o.form4, "txtDp93"), QStringLiteral("31.0"));
    click(widget<QPushButton>(o.form4, "cmdOk"));

    checkStoredAndLocked(h, o);
    QCOMPARE(h.state.treesAlive.value(), stored);
    QCOMPARE(h.state.basalArea.value(), 22.0);
    QCOMPARE(h.state.minDiameter.value(), 9.0);
    QVERIFY(std::abs(h.state.weibullA.value() - 8.1) < 1e-12);
    QVERIFY(std::abs(storedPercentile(h.state) - 31.0) < 1e-6);
    // Later screens read the parameters as typed.
    QVERIFY(h.ctx->entries.thinnedByParameters);
    QCOMPARE(h.ctx->entries.typedBasalAreaText, std::string("22"));
    QCOMPARE(h.ctx->entries.typedP95Text, std::string("31.0"));
}

void ThinnedScreenTest::parameterRefusals_data()
{
    QTest::addColumn<QStringList>("typed"); // trees, basal area, smallest diameter, percentile
    QTest::newRow("trees empty") << QStringList{"", "22", "9", "31"};
    QTest::newRow("basal area not a number") << QStringList{"600", "vinte", "9", "31"};
    QTest::newRow("smallest diameter negative") << QStringList{"600", "22", "-9", "31"};
    QTest::newRow("percentile with a comma") << QStringList{"600", "22", "9", "31,5"};
    QTest::newRow("no trees") << QStringList{"0", "22", "9", "31"};
    QTest::newRow("no basal area") << QStringList{"600", "0", "9", "31"};
    QTest::newRow("percentile below the smallest diameter") << QStringList{"600", "22", "9", "8"};
}

void ThinnedScreenTest::parameterRefusals()
{
    QFETCH(QStringList, typed);
    ScreenHarness h;
    auto [form2, f] = openThinned(h);
    choose(widget<QRadioButton>(f, "optPPovoamento"));
    const std::array<QLineEdit *, 4> boxes = {widget<QLineEdit>(f, "txtAvivas"), widget<QLineEdit>(f, "txtAbasal"), widget<QLineEdit>(f, "txtDmin"), widget<QLineEdit>(f, "txtDp93")};
    for (size_t i = 0; i < boxes.size(); ++i)
        typeInto(boxes[i], typed[int(i)]);
    click(widget<QPushButton>(f, "cmdOk"));

    QCOMPARE(boxTexts(h.fake.messages), QStringList{"Dados Inválidos | Parâmetros do povoamento Inválidos"});
    QCOMPARE(h.fake.messages.last().icon, Message::Icon::Error);
    QVERIFY(nothingStored(h.state));
    QVERIFY(f->isVisible());
    for (size_t i = 0; i < boxes.size(); ++i)
        QCOMPARE(boxes[i]->text(), typed[int(i)]);
    QVERIFY(!h.fake.exit.exited());
}

void ThinnedScreenTest::parameterBasalAreaLimit_data()
{
    QTest::addColumn<QString>("basalArea");
    QTest::addColumn<bool>("ends");
    QTest::newRow("45 passes") << "45" << false;
    QTest::newRow("45.0 passes") << "45.0" << false;
    QTest::newRow("45.01 ends") << "45.01" << true;
    QTest::newRow("60 ends") << "60" << true;
}

void ThinnedScreenTest::parameterBasalAreaLimit()
{
    QFETCH(QString, basalArea);
    QFETCH(bool, ends);
    ScreenHarness h;
    OpenedThinned o = openThinned(h);
    choose(widget<QRadioButton>(o.form4, "optPPovoamento"));
    typeInto(widget<QLineEdit>(o.form4, "txtAvivas"), QStringLiteral("1200"));
    typeInto(widget<QLineEdit>(o.form4, "txtAbasal"), basalArea);
    typeInto(widget<QLineEdit>(o.form4, "txtDmin"), QStringLiteral("9"));
    typeInto(widget<QLineEdit>(o.form4, "txtDp93"), QStringLiteral("31"));
    click(widget<QPushButton>(o.form4, "cmdOk"));
    if (!ends) {
        checkStoredAndLocked(h, o);
        QCOMPARE(h.state.basalArea.value(), 45.0);
        QVERIFY(!h.fake.exit.exited());
        return;
    }
    QCOMPARE(boxTexts(h.fake.messages),
             QStringList{"Dados Inconsistentes | Os dados introduzidos não permitem a convergência do modelo!A "
                         "simulação vai terminar."});
    QCOMPARE(h.fake.messages.last().icon, Message::Icon::Error);
    QCOMPARE(h.fake.exit.codes, std::vector<int>{kExitModelLimit});
    // Nothing stored, the stand data not locked: the handler stopped at the end.
    QVERIFY(nothingStored(h.state));
    QVERIFY(o.form4->isVisible());
    QVERIFY(widget<QGroupBox>(o.form2, "Frame3")->isEnabled());
}

void ThinnedScreenTest::nothingChosenAsksToLeave_data()
{
    QTest::addColumn<bool>("leave");
    QTest::newRow("Yes leaves") << true;
    QTest::newRow("No stays") << false;
}

void ThinnedScreenTest::nothingChosenAsksToLeave()
{
    QFETCH(bool, leave);
    ScreenHarness h;
    auto [form2, f] = openThinned(h);
    using A = MessageService::Answer;
    h.fake.messages.answers = {leave ? A::Yes : A::No, A::No};
    click(widget<QPushButton>(f, "cmdOk"));

    const auto &shown = h.fake.messages.shown;
    QCOMPARE(shown.size(), size_t(leave ? 1 : 2));
    QCOMPARE(shown[0].message.icon, Message::Icon::Question);
    QCOMPARE(shown[0].message.buttons, Message::Buttons::YesNo);
    QCOMPARE(QString::fromStdString(shown[0].message.title), QStringLiteral("Insuficiência de Dados..."));
    QCOMPARE(QString::fromStdString(shown[0].message.text),
             QStringLiteral("Como não introduziu dados,quer sair deste ecran?"));
    QVERIFY(nothingStored(h.state));
    if (leave) {
        QVERIFY(!h.window<ThinnedScreen>("Form4"));
        QVERIFY(form2->isVisible());
        return;
    }
    QCOMPARE(shown[1].message.icon, Message::Icon::None);
    QCOMPARE(shown[1].message.buttons, Message::Buttons::YesNo);
    QCOMPARE(QString::fromStdString(shown[1].message.text),
             QStringLiteral("Para continuar necessita de preencher todos os requesitos."));
    QVERIFY(f->isVisible());
}

TAVELO_QTEST_CLASS(ThinnedScreenTest)
#include "thinned_screen_test.moc"
