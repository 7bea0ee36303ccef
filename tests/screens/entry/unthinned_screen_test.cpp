// "Dados do Povoamento não Desbastado" as a user fills it: the count rounded
// to a whole tree (ties to even), refusals, the two question boxes and the
// basal-area limit that ends the program.

#include "support/entry_screen_test_support.h"
#include "support/widget_lookup.h"
#include "screens/entry/options_screen.h"
#include "screens/entry/stand_data_screen.h"
#include "screens/entry/unthinned_screen.h"
#include "support/qtest_runner.h"

#include <QGroupBox>
#include <QPushButton>
#include <QtTest>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

struct OpenedUnthinned {
    StandDataScreen *form2 = nullptr;
    UnthinnedScreen *form3 = nullptr;
};

// Options confirmed, a stand of `age` years and dominant height `height`, then
// "Dados povoamento não desbastado".
OpenedUnthinned openUnthinned(ScreenHarness &h, const QString &age = QStringLiteral("12"),
                     const QString &height = QStringLiteral("9"))
{
    EntradaScreen *e = h.start();
    click(widget<QToolButton>(e, "cmdParametros"));
    click(widget<QPushButton>(h.window<OptionsScreen>("Form1"), "cmdOk"));
    click(widget<QToolButton>(e, "cmdSimulacao"));
    auto *form2 = h.window<StandDataScreen>("Form2");
    typeInto(widget<QLineEdit>(form2, "txtIdade"), age);
    typeInto(widget<QLineEdit>(form2, "txtADominante"), height);
    click(widget<QPushButton>(form2, "cmdDPndesb"));
    return {form2, h.window<UnthinnedScreen>("Form3")};
}

bool standDataLocked(const StandDataScreen *f)
{
    return !widget<QGroupBox>(f, "Frame3")->isEnabled() && !widget<QGroupBox>(f, "Frame4")->isEnabled() && !widget<QPushButton>(f, "cmdDPdesb")->isEnabled();
}

} // namespace

class UnthinnedScreenTest : public QObject {
    Q_OBJECT
private slots:
    void designState();
    void countIsRounded_data();
    void countIsRounded();
    void refused_data();
    void refused();
    void emptyEntryAsksToLeave_data();
    void emptyEntryAsksToLeave();
    void basalAreaBeyondTheModelEnds();
    void cancelOnStandDataUnloadsIt();
};

void UnthinnedScreenTest::designState()
{
    ScreenHarness h;
    auto [form2, f] = openUnthinned(h);
    QVERIFY(f && f->isVisible());
    QCOMPARE(f->windowTitle(), QStringLiteral("Dados do Povoamento não Desbastado"));
    QCOMPARE(widget<QRadioButton>(f, "optArvPlant")->text(), QStringLiteral("Nº de árvores plantadas (nº/ha)"));
    QCOMPARE(widget<QRadioButton>(f, "optArvVivas")->text(), QStringLiteral("Nº de árvores vivas (nº/ha)"));
    QVERIFY(!widget<QRadioButton>(f, "optArvPlant")->isChecked() && !widget<QRadioButton>(f, "optArvVivas")->isChecked());
    QVERIFY(widget<QLineEdit>(f, "txtNArvVP")->text().isEmpty());
    QCOMPARE(widget<QPushButton>(f, "cmdOk")->text(), QStringLiteral("&Ok"));
    for (QWidget *w : std::initializer_list<QWidget *>{widget<QLineEdit>(f, "txtNArvVP"), widget<QRadioButton>(f, "optArvPlant"), widget<QRadioButton>(f, "optArvVivas")})
        QCOMPARE(w->parentWidget(), static_cast<QWidget *>(widget<QGroupBox>(f, "Frame1")));
    QCOMPARE(f->parentWidget(), static_cast<QWidget *>(h.entrada()));
}

void UnthinnedScreenTest::countIsRounded_data()
{
    QTest::addColumn<bool>("alive");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("stored");
    QTest::newRow("planted 1200.5") << false << "1200.5" << 1200.0;
    QTest::newRow("planted 1201.5") << false << "1201.5" << 1202.0;
    QTest::newRow("planted 1500") << false << "1500" << 1500.0;
    QTest::newRow("planted 1500.4") << false << "1500.4" << 1500.0;
    QTest::newRow("planted with blanks") << false << " 1500 " << 1500.0;
    QTest::newRow("planted, exponent") << false << "1.5e3" << 1500.0;
    QTest::newRow("alive 1100.5") << true << "1100.5" << 1100.0;
    QTest::newRow("alive 1101.5") << true << "1101.5" << 1102.0;
    QTest::newRow("alive, exponent") << true << "9e2" << 900.0;
}

void UnthinnedScreenTest::countIsRounded()
{
    QFETCH(bool, alive);
    QFETCH(QString, typed);
    QFETCH(double, stored);
    ScreenHarness h;
    auto [form2, f] = openUnthinned(h);
    choose(alive ? widget<QRadioButton>(f, "optArvVivas") : widget<QRadioButton>(f, "optArvPlant"));
    typeInto(widget<QLineEdit>(f, "txtNArvVP"), typed);
    click(widget<QPushButton>(f, "cmdOk"));

    QVERIFY2(h.fake.messages.shown.empty(), qPrintable(boxTexts(h.fake.messages).join('\n')));
    QCOMPARE(h.state.enteredUnthinned.value(), 1.0);
    if (alive) {
        QCOMPARE(h.state.treesAlive.value(), stored);
        // The model derives the trees planted from those alive.
        QVERIFY(h.state.treesPlanted.isGiven());
        QVERIFY(h.state.treesPlanted.value() >= stored);
    } else {
        QCOMPARE(h.state.treesPlanted.value(), stored);
        // The model derives the trees alive from those planted.
        QVERIFY(h.state.treesAlive.isGiven());
        QVERIFY(h.state.treesAlive.value() <= stored);
    }
    for (const StateValue *v : {&h.state.basalArea, &h.state.minDiameter, &h.state.weibullA, &h.state.weibullB,
                                &h.state.weibullC})
        QVERIFY(v->isGiven());
    // Hidden and kept; the stand data are locked, the way on is "&Ok".
    QVERIFY(!f->isVisible());
    QCOMPARE(h.window<UnthinnedScreen>("Form3"), f);
    QVERIFY(standDataLocked(form2));
    QVERIFY(widget<QPushButton>(form2, "cmdDPndesb")->isEnabled());
    QVERIFY(widget<QPushButton>(form2, "cmdOk")->isEnabled());
}

void UnthinnedScreenTest::refused_data()
{
    QTest::addColumn<int>("option"); // 0 none, 1 planted, 2 alive
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    const QString invalid = "Dados Inválidos";
    QTest::newRow("not a number") << 1 << "mil" << invalid;
    QTest::newRow("comma") << 1 << "1500,5" << invalid;
    QTest::newRow("not a number, no option") << 0 << "mil" << invalid;
    QTest::newRow("negative") << 2 << "-5" << invalid;
    QTest::newRow("zero") << 1 << "0" << invalid;
    QTest::newRow("rounds to zero") << 2 << "0.4" << invalid;
    QTest::newRow("beyond a 16-bit count") << 1 << "32768" << invalid;
    QTest::newRow("far beyond") << 2 << "40000" << invalid;
    QTest::newRow("no option chosen") << 0 << "1500" << "Escolha o nº de árvores plantadas ou o nº de árvores vivas";
}

void UnthinnedScreenTest::refused()
{
    QFETCH(int, option);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    ScreenHarness h;
    auto [form2, f] = openUnthinned(h);
    if (option == 1)
        choose(widget<QRadioButton>(f, "optArvPlant"));
    else if (option == 2)
        choose(widget<QRadioButton>(f, "optArvVivas"));
    typeInto(widget<QLineEdit>(f, "txtNArvVP"), typed);
    click(widget<QPushButton>(f, "cmdOk"));

    QCOMPARE(boxTexts(h.fake.messages), QStringList{"Dados Inválidos | " + message});
    QCOMPARE(h.fake.messages.last().icon, Message::Icon::Error);
    QCOMPARE(h.fake.messages.last().buttons, Message::Buttons::Ok);
    // Nothing stored; the entry stays as typed.
    QVERIFY(h.state.enteredUnthinned.isEmpty());
    QVERIFY(h.state.treesPlanted.isEmpty() && h.state.treesAlive.isEmpty() && h.state.basalArea.isEmpty());
    QVERIFY(f->isVisible());
    QCOMPARE(widget<QLineEdit>(f, "txtNArvVP")->text(), typed);
    QVERIFY(widget<QGroupBox>(form2, "Frame3")->isEnabled() && widget<QGroupBox>(form2, "Frame4")->isEnabled());
    QVERIFY(!h.fake.exit.exited());
}

void UnthinnedScreenTest::emptyEntryAsksToLeave_data()
{
    QTest::addColumn<bool>("leave");
    QTest::addColumn<bool>("reminderAnswer");
    QTest::newRow("Yes leaves") << true << false;
    QTest::newRow("No stays, reminder answered No") << false << false;
    QTest::newRow("No stays, reminder answered Yes") << false << true;
}

void UnthinnedScreenTest::emptyEntryAsksToLeave()
{
    QFETCH(bool, leave);
    QFETCH(bool, reminderAnswer);
    ScreenHarness h;
    auto [form2, f] = openUnthinned(h);
    choose(widget<QRadioButton>(f, "optArvPlant"));
    using A = MessageService::Answer;
    h.fake.messages.answers = {leave ? A::Yes : A::No, reminderAnswer ? A::Yes : A::No};
    click(widget<QPushButton>(f, "cmdOk"));

    const auto &shown = h.fake.messages.shown;
    QCOMPARE(shown.size(), size_t(leave ? 1 : 2));
    const Message &question = shown[0].message;
    QCOMPARE(question.icon, Message::Icon::Question);
    QCOMPARE(question.buttons, Message::Buttons::YesNo);
    QCOMPARE(QString::fromStdString(question.title), QStringLiteral("Insuficiência de Dados..."));
    QCOMPARE(QString::fromStdString(question.text),
             QStringLiteral("Não preencheu todos os requesitos. Deseja sair deste ecran?"));
    QVERIFY(h.state.enteredUnthinned.isEmpty());
    QVERIFY(widget<QGroupBox>(form2, "Frame3")->isEnabled());
    if (leave) {
        QVERIFY(!h.window<UnthinnedScreen>("Form3"));
        QVERIFY(!f->isVisible());
        QVERIFY(form2->isVisible());
        return;
    }
    const Message &reminder = shown[1].message;
    QCOMPARE(reminder.icon, Message::Icon::None);
    QCOMPARE(reminder.buttons, Message::Buttons::YesNo);
    QCOMPARE(QString::fromStdString(reminder.title), QStringLiteral("Insuficiência de Dados..."));
    QCOMPARE(QString::fromStdString(reminder.text),
             QStringLiteral("Para continuar necessita de preencher todos os requesitos."));
    QCOMPARE(h.window<UnthinnedScreen>("Form3"), f);
    QVERIFY(f->isVisible());
}

void UnthinnedScreenTest::basalAreaBeyondTheModelEnds()
{
    ScreenHarness h;
    auto [form2, f] = openUnthinned(h, QStringLiteral("15"), QStringLiteral("10"));
    choose(widget<QRadioButton>(f, "optArvPlant"));
    typeInto(widget<QLineEdit>(f, "txtNArvVP"), QStringLiteral("10000"));
    click(widget<QPushButton>(f, "cmdOk"));

    QCOMPARE(boxTexts(h.fake.messages),
             QStringList{"Resultados Inconsistentes | Simulação fora dos limites do modelo!A simulação vai terminar."});
    QCOMPARE(h.fake.messages.last().icon, Message::Icon::Error);
    QCOMPARE(h.fake.exit.codes, std::vector<int>{kExitModelLimit});
    // The handler stopped at the end: the stand data were not locked, the window not hidden.
    QVERIFY(widget<QGroupBox>(form2, "Frame3")->isEnabled());
    QVERIFY(f->isVisible());
}

void UnthinnedScreenTest::cancelOnStandDataUnloadsIt()
{
    ScreenHarness h;
    auto [form2, f] = openUnthinned(h);
    choose(widget<QRadioButton>(f, "optArvVivas"));
    typeInto(widget<QLineEdit>(f, "txtNArvVP"), QStringLiteral("900"));
    click(widget<QPushButton>(f, "cmdOk"));
    QVERIFY(h.window<UnthinnedScreen>("Form3"));
    click(widget<QPushButton>(form2, "cmdCancelar"));
    QVERIFY(!h.window<UnthinnedScreen>("Form3"));
    QVERIFY(h.state.treesAlive.isNull());
}

TAVELO_QTEST_CLASS(UnthinnedScreenTest)
#include "unthinned_screen_test.moc"
