// The start screen as a user meets it: start-up (regional check, log name,
// empty record), its four entry points in each state, "Sair", the close box,
// a new simulation and the photograph's place.

#include "screens/start/about_screen.h"
#include "support/widget_lookup.h"
#include "support/entry_screen_test_support.h"
#include "screens/entry/options_screen.h"
#include "session/results/end_session.h"
#include "support/qtest_runner.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

void touch(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}

// The state of the four entry points; the menu item and its button must agree.
struct EntryPoints {
    bool options, simulation, help, leave;
    bool operator==(const EntryPoints &) const = default;
};

EntryPoints entryPoints(const EntradaScreen *e)
{
    [&] {
        QCOMPARE(widget<QAction>(e, "OModelo")->isEnabled(), widget<QToolButton>(e, "cmdParametros")->isEnabled());
        QCOMPARE(widget<QAction>(e, "Sim")->isEnabled(), widget<QToolButton>(e, "cmdSimulacao")->isEnabled());
        QCOMPARE(widget<QAction>(e, "Ajuda")->isEnabled(), widget<QToolButton>(e, "cmdAjuda")->isEnabled());
        QCOMPARE(widget<QAction>(e, "Sair")->isEnabled(), widget<QToolButton>(e, "cmdsair")->isEnabled());
    }();
    return {widget<QAction>(e, "OModelo")->isEnabled(), widget<QAction>(e, "Sim")->isEnabled(), widget<QAction>(e, "Ajuda")->isEnabled(), widget<QAction>(e, "Sair")->isEnabled()};
}

constexpr EntryPoints kFresh{true, false, true, true};
constexpr EntryPoints kReady{true, true, true, true};
constexpr EntryPoints kSimulating{false, true, true, true};

const char *const kRegionalText = "O símbolo separador decimal deve ser o ponto!\r\n"
                                  "Com a configuração actual o programa não corre correctamente. \r\n"
                                  "Utilize as Definições Regionais do Painel de Controlo para alterar estas definições.";

} // namespace

class EntradaScreenTest : public QObject {
    Q_OBJECT
private slots:
    void captionMenuAndButtons();
    void logNameAtStartUp_data();
    void logNameAtStartUp();
    void entryPointsFollowTheSimulation_data();
    void entryPointsFollowTheSimulation();
    void ownedWindowsStayInFront();
    void aboutBox();
    void leaveDeletesOnlyTemporaryLogs_data();
    void leaveDeletesOnlyTemporaryLogs();
    void regionalCheck_data();
    void regionalCheck();
    void closeBoxEndsAndKeepsTheLog();
    void closeBoxAfterNewSimulationUnloadsTheOthers();
    void newSimulationStartsAfresh();
    void newSimulationRunsTheRegionalCheckAgain();
    void photographFillsTheClientArea();
};

void EntradaScreenTest::captionMenuAndButtons()
{
    ScreenHarness h;
    EntradaScreen *e = h.start();
    QVERIFY(e);
    QCOMPARE(e->objectName(), QStringLiteral("Entrada"));
    QCOMPARE(e->windowTitle(), QStringLiteral("Tavelo - vs 2.0"));

    // Four menu-bar items acting on click: no submenus.
    const QList<QAction *> items = e->menuBar()->actions();
    QStringList captions, names;
    for (QAction *a : items) {
        captions << a->text();
        names << a->objectName();
        QVERIFY(!a->menu());
    }
    QCOMPARE(captions, (QStringList{"Opções do Modelo", "Simulação", "Ajuda", "Sair", "Inventário"}));
    QCOMPARE(names, (QStringList{"OModelo", "Sim", "Ajuda", "Sair", "Inventario"}));

    const QList<std::pair<QToolButton *, QString>> buttons = {{widget<QToolButton>(e, "cmdParametros"), "Opções do Modelo"},
                                                              {widget<QToolButton>(e, "cmdSimulacao"), "Simulação"},
                                                              {widget<QToolButton>(e, "cmdAjuda"), "Ajuda"},
                                                              {widget<QToolButton>(e, "cmdsair"), "Sair da Aplicação"}};
    for (const auto &[b, tip] : buttons) {
        QCOMPARE(b->toolTip(), tip);
        QVERIFY(!b->icon().isNull());
        QCOMPARE(e->findChild<QToolButton *>(b->objectName()), b);
    }
    QVERIFY(widget<QLabel>(e, "Image1")->isVisible());
    QVERIFY(!widget<QLabel>(e, "Image1")->pixmap().isNull());
    QVERIFY(h.fake.messages.shown.empty());
}

void EntradaScreenTest::logNameAtStartUp_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty folder") << QStringList{} << "Simulacao1.temp";
    QTest::newRow("1 and 2 present") << QStringList{"Simulacao1.temp", "Simulacao2.temp"} << "Simulacao3.temp";
    QTest::newRow("only 2 present") << QStringList{"Simulacao2.temp"} << "Simulacao1.temp";
    QTest::newRow("names that only look alike")
        << QStringList{"Simulacao01.temp", "Simulacao1.temp.txt", "Simulacao1.txt"} << "Simulacao1.temp";
}

void EntradaScreenTest::logNameAtStartUp()
{
    QFETCH(QStringList, present);
    QFETCH(QString, expected);
    ScreenHarness h;
    for (const QString &name : present)
        touch(h.folderFile(name));
    h.state.recordLast = 7;

    QVERIFY(h.start());
    QCOMPARE(QString::fromStdString(h.state.logName), expected);
    QCOMPARE(QString::fromStdString(h.ctx->simulation.log().path().string()), h.folderFile(expected));
    QCOMPARE(h.state.recordLast, -1);
    // The name is only chosen: the stand screen creates the file.
    QVERIFY(!QFile::exists(h.folderFile(expected)));
}

void EntradaScreenTest::entryPointsFollowTheSimulation_data()
{
    QTest::addColumn<bool>("byMenu");
    QTest::newRow("menu items") << true;
    QTest::newRow("picture buttons") << false;
}

void EntradaScreenTest::entryPointsFollowTheSimulation()
{
    QFETCH(bool, byMenu);
    ScreenHarness h;
    EntradaScreen *e = h.start();
    QCOMPARE(entryPoints(e), kFresh);

    // A disabled "Simulação" does nothing.
    byMenu ? clickMenuItem(e->menuBar(), widget<QAction>(e, "Sim")) : click(widget<QToolButton>(e, "cmdSimulacao"));
    QVERIFY(!h.window<QWidget>("Form2"));

    byMenu ? clickMenuItem(e->menuBar(), widget<QAction>(e, "OModelo")) : click(widget<QToolButton>(e, "cmdParametros"));
    auto *form1 = h.window<OptionsScreen>("Form1");
    QVERIFY(form1 && form1->isVisible());
    QCOMPARE(entryPoints(e), kFresh);
    click(widget<QPushButton>(form1, "cmdOk"));
    QVERIFY(!form1->isVisible());
    QCOMPARE(entryPoints(e), kReady);

    byMenu ? clickMenuItem(e->menuBar(), widget<QAction>(e, "Sim")) : click(widget<QToolButton>(e, "cmdSimulacao"));
    QWidget *form2 = h.window<QWidget>("Form2");
    QVERIFY(form2 && form2->isVisible());
    QCOMPARE(entryPoints(e), kSimulating);

    // While simulating "Simulação" shows the same stand data window again.
    form2->hide();
    byMenu ? clickMenuItem(e->menuBar(), widget<QAction>(e, "Sim")) : click(widget<QToolButton>(e, "cmdSimulacao"));
    QCOMPARE(h.window<QWidget>("Form2"), form2);
    QVERIFY(form2->isVisible());
    // "Opções do Modelo" is out of reach.
    form1->hide();
    byMenu ? clickMenuItem(e->menuBar(), widget<QAction>(e, "OModelo")) : click(widget<QToolButton>(e, "cmdParametros"));
    QVERIFY(!form1->isVisible());
    QVERIFY(h.fake.messages.shown.empty());
    QVERIFY(!h.fake.exit.exited());
}

void EntradaScreenTest::ownedWindowsStayInFront()
{
    ScreenHarness h;
    EntradaScreen *e = h.start();
    click(widget<QToolButton>(e, "cmdParametros"));
    click(widget<QPushButton>(h.window<OptionsScreen>("Form1"), "cmdOk"));
    click(widget<QToolButton>(e, "cmdSimulacao"));
    click(widget<QToolButton>(e, "cmdAjuda"));
    for (const char *name : {"Form1", "Form2", "frmAbout"}) {
        QWidget *w = h.window<QWidget>(name);
        QVERIFY2(w, name);
        QVERIFY2(w->isWindow(), name);
        QCOMPARE(w->parentWidget(), static_cast<QWidget *>(e));
        QCOMPARE(w->windowModality(), Qt::NonModal);
    }
}

void EntradaScreenTest::aboutBox()
{
    ScreenHarness h;
    EntradaScreen *e = h.start();
    clickMenuItem(e->menuBar(), widget<QAction>(e, "Ajuda"));
    auto *about = h.window<AboutScreen>("frmAbout");
    QVERIFY(about && about->isVisible());
    QCOMPARE(about->windowTitle(), QStringLiteral("Tavelo vs 2.0"));
    QCOMPARE(widget<QLabel>(about, "lblTitle")->text(), QStringLiteral("Tavelo vs 2.0"));
    QCOMPARE(widget<QLabel>(about, "lblTitle2")->text(), widget<QLabel>(about, "lblTitle")->text());
    QCOMPARE(widget<QLabel>(about, "lblAno")->text(), QStringLiteral("2001"));
    QVERIFY(!widget<QLabel>(about, "lblDescricao")->text().isEmpty());
    QVERIFY(!widget<QLabel>(about, "lblFabricante")->text().isEmpty());
    QCOMPARE(widget<QLabel>(about, "lblEdicao")->text(), QStringLiteral("Edição:"));
    QCOMPARE(widget<QLabel>(about, "lblProducao")->text(), QStringLiteral("Produção:"));
    QCOMPARE(widget<QLabel>(about, "lblModelo")->text(), QStringLiteral("Modelo:"));
    for (QLabel *credit : {widget<QLabel>(about, "lblEdicaoTexto"), widget<QLabel>(about, "lblProducaoTexto"), widget<QLabel>(about, "lblModeloTexto")})
        QVERIFY(!credit->text().isEmpty());
    for (QLabel *logo : {widget<QLabel>(about, "picEdicao"), widget<QLabel>(about, "picProducao"), widget<QLabel>(about, "picModelo")})
        QVERIFY(!logo->pixmap().isNull());
    // A fixed dialog.
    QCOMPARE(about->minimumSize(), about->maximumSize());
    QCOMPARE(widget<QPushButton>(about, "cmdOK")->text(), QStringLiteral("OK"));

    click(widget<QPushButton>(about, "cmdOK"));
    QVERIFY(!h.window<AboutScreen>("frmAbout"));
    QVERIFY(!about->isVisible());
    click(widget<QToolButton>(e, "cmdAjuda"));
    QVERIFY(h.window<AboutScreen>("frmAbout"));
}

void EntradaScreenTest::leaveDeletesOnlyTemporaryLogs_data()
{
    QTest::addColumn<bool>("byMenu");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("kept");
    const QStringList others{"notas.txt", "Simulacao1.temp.txt", "Simulacao1.txt"};
    QTest::newRow("menu, logs of this and earlier runs")
        << true << (QStringList{"Simulacao1.temp", "Simulacao2.temp", "outro.temp"} + others) << others;
    QTest::newRow("button, logs of this and earlier runs")
        << false << (QStringList{"Simulacao1.temp", "Simulacao2.temp", "outro.temp"} + others) << others;
    QTest::newRow("button, no log at all") << false << others << others;
    QTest::newRow("menu, empty folder") << true << QStringList{} << QStringList{};
}

void EntradaScreenTest::leaveDeletesOnlyTemporaryLogs()
{
    QFETCH(bool, byMenu);
    QFETCH(QStringList, present);
    QFETCH(QStringList, kept);
    ScreenHarness h;
    for (const QString &name : present)
        touch(h.folderFile(name));
    EntradaScreen *e = h.start();
    byMenu ? clickMenuItem(e->menuBar(), widget<QAction>(e, "Sair")) : click(widget<QToolButton>(e, "cmdsair"));

    QCOMPARE(h.fake.exit.codes, std::vector<int>{kExitNormal});
    QVERIFY(h.fake.messages.shown.empty());
    QStringList left = QDir(h.dir.path()).entryList(QDir::Files, QDir::Name);
    kept.sort();
    QCOMPARE(left, kept);
}

void EntradaScreenTest::regionalCheck_data()
{
    QTest::addColumn<QString>("decimal");
    QTest::addColumn<QString>("grouping");
    QTest::addColumn<bool>("refused");
    QTest::newRow("point, comma grouping") << "." << "," << false;
    QTest::newRow("point, blank grouping") << "." << " " << false;
    QTest::newRow("point, apostrophe grouping") << "." << "'" << false;
    QTest::newRow("comma, point grouping") << "," << "." << true;
    QTest::newRow("comma, blank grouping") << "," << " " << false;
    QTest::newRow("comma, no-break blank grouping") << "," << QString(QChar(0x00a0)) << false;
}

void EntradaScreenTest::regionalCheck()
{
    QFETCH(QString, decimal);
    QFETCH(QString, grouping);
    QFETCH(bool, refused);
    ScreenHarness h({decimal.toStdString(), grouping.toStdString()});
    touch(h.folderFile("Simulacao1.temp"));

    EntradaScreen *e = h.start();
    if (!refused) {
        QVERIFY(e && e->isVisible());
        QVERIFY(h.fake.messages.shown.empty());
        QVERIFY(!h.fake.exit.exited());
        QCOMPARE(h.state.logName, std::string("Simulacao2.temp"));
        return;
    }
    QVERIFY(!e);
    QCOMPARE(h.fake.messages.shown.size(), size_t(1));
    const Message &m = h.fake.messages.last();
    QCOMPARE(m.icon, Message::Icon::Warning);
    QCOMPARE(m.buttons, Message::Buttons::Ok);
    QCOMPARE(QString::fromStdString(m.title), QStringLiteral("Erro"));
    QCOMPARE(QString::fromStdString(m.text), QString::fromUtf8(kRegionalText));
    QCOMPARE(h.fake.exit.codes, std::vector<int>{kExitRegionalSettings});
    // Nothing was shown and no log name was chosen; nothing was deleted.
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    QVERIFY(h.state.logName.empty());
    QVERIFY(QFile::exists(h.folderFile("Simulacao1.temp")));
}

void EntradaScreenTest::closeBoxEndsAndKeepsTheLog()
{
    ScreenHarness h;
    EntradaScreen *e = h.start();
    click(widget<QToolButton>(e, "cmdParametros"));
    touch(QString::fromStdString(h.ctx->logPath().string())); // the stand screen has logged a state
    QVERIFY(e->close());
    QCOMPARE(h.fake.exit.codes, std::vector<int>{kExitNormal});
    QVERIFY(QFile::exists(h.folderFile("Simulacao1.temp")));
    QVERIFY(h.fake.messages.shown.empty());
}

void EntradaScreenTest::closeBoxAfterNewSimulationUnloadsTheOthers()
{
    ScreenHarness h;
    EntradaScreen *e = h.start();
    click(widget<QToolButton>(e, "cmdParametros"));
    click(widget<QToolButton>(e, "cmdAjuda"));
    QVERIFY(h.window<QWidget>("Form1") && h.window<QWidget>("frmAbout"));
    h.state.newSimulationStarted = true;
    touch(QString::fromStdString(h.ctx->logPath().string()));

    QVERIFY(e->close());
    QVERIFY(!h.fake.exit.exited());
    QVERIFY(!h.window<QWidget>("Form1"));
    QVERIFY(!h.window<QWidget>("frmAbout"));
    QVERIFY(QFile::exists(h.folderFile("Simulacao1.temp")));
}

void EntradaScreenTest::newSimulationStartsAfresh()
{
    ScreenHarness h;
    EntradaScreen *first = h.start();
    click(widget<QToolButton>(first, "cmdParametros"));
    auto *form1 = h.window<OptionsScreen>("Form1");
    typeInto(widget<QLineEdit>(form1, "txtAltcorte"), QStringLiteral(".15"));
    click(widget<QPushButton>(form1, "cmdOk"));
    click(widget<QToolButton>(first, "cmdSimulacao"));
    QCOMPARE(entryPoints(first), kSimulating);
    touch(QString::fromStdString(h.ctx->logPath().string()));
    h.state.recordLast = 3;

    // The end screen's "Nova simulação".
    newSimulation(h.state);
    restartEntrada(*h.ctx);

    EntradaScreen *fresh = h.entrada();
    QVERIFY(fresh && fresh != first);
    QVERIFY(fresh->isVisible());
    QVERIFY(!first->isVisible());
    QCOMPARE(entryPoints(fresh), kFresh);
    QVERIFY(!h.window<QWidget>("Form1"));
    QVERIFY(!h.window<QWidget>("Form2"));
    QCOMPARE(h.state.logName, std::string("Simulacao2.temp"));
    QCOMPARE(QString::fromStdString(h.ctx->simulation.log().path().string()), h.folderFile("Simulacao2.temp"));
    QCOMPARE(h.state.recordLast, -1);
    QVERIFY(h.fake.messages.shown.empty());

    // The options window starts from its design defaults again.
    QCOMPARE(h.ctx->entries.stumpHeightText, std::string("0.15"));
    click(widget<QToolButton>(fresh, "cmdParametros"));
    QCOMPARE(widget<QLineEdit>(h.window<OptionsScreen>("Form1"), "txtAltcorte")->text(), QStringLiteral("0.15"));
}

void EntradaScreenTest::newSimulationRunsTheRegionalCheckAgain()
{
    ScreenHarness h;
    QVERIFY(h.start());
    newSimulation(h.state);
    h.ctx->conventions = {",", "."}; // the user changed the settings meanwhile
    restartEntrada(*h.ctx);
    QVERIFY(!h.entrada());
    QCOMPARE(h.fake.exit.codes, std::vector<int>{kExitRegionalSettings});
    QCOMPARE(QString::fromStdString(h.fake.messages.last().title), QStringLiteral("Erro"));
}

void EntradaScreenTest::photographFillsTheClientArea()
{
    ScreenHarness h;
    EntradaScreen *e = h.start();
    QVERIFY(QTest::qWaitForWindowExposed(e));
    QWidget *client = e->centralWidget();
    const QRect photo = widget<QLabel>(e, "Image1")->geometry();
    // Equal margins left and right, 100 twips (7 pixels) at the bottom, below the buttons.
    QCOMPARE(photo.left(), client->width() - 1 - photo.right());
    QCOMPARE(client->height() - 1 - photo.bottom(), 7);
    for (QToolButton *b : {widget<QToolButton>(e, "cmdParametros"), widget<QToolButton>(e, "cmdSimulacao"), widget<QToolButton>(e, "cmdAjuda"), widget<QToolButton>(e, "cmdsair")})
        QVERIFY(b->geometry().bottom() < photo.top());
    QCOMPARE(widget<QLabel>(e, "Image1")->pixmap().size(), photo.size());

}

TAVELO_QTEST_CLASS(EntradaScreenTest)
#include "entrada_screen_test.moc"
