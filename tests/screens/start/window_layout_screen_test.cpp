// The windows of the start and entry screens on a 1024 x 768 screen: each fits
// it, no caption is cut (every label, button, option and frame gets at least
// the room its text needs) and the tab order follows the reading order.
// With TAVELO_SCREENSHOT_DIR set, each window is also saved there as a PNG.

#include "screens/start/about_screen.h"
#include "support/widget_lookup.h"
#include "support/entry_screen_test_support.h"
#include "screens/entry/options_screen.h"
#include "screens/entry/stand_data_screen.h"
#include "screens/entry/thinned_screen.h"
#include "screens/entry/unthinned_screen.h"
#include "support/qtest_runner.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QtTest>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

// Widgets of `window` that take the focus with Tab, in focus-chain order. A
// group of options is one Tab stop (the arrows move inside it), so its options
// count whichever of them holds the stop now.
QString tabOrder(QWidget *window)
{
    QStringList names;
    QWidget *w = window->nextInFocusChain();
    while (w && w != window) {
        const bool tabStop = (w->focusPolicy() & Qt::TabFocus) ||
                             (qobject_cast<QRadioButton *>(w) && w->focusPolicy() != Qt::NoFocus);
        if (tabStop && w->isVisibleTo(window) && w->window() == window)
            names << w->objectName();
        w = w->nextInFocusChain();
    }
    return names.join(QLatin1Char(' '));
}

// Every control with a caption has at least the room its caption needs.
void checkNothingCut(QWidget *window)
{
    QList<QWidget *> captioned;
    for (QLabel *l : window->findChildren<QLabel *>())
        if (!l->text().isEmpty())
            captioned << l;
    for (QAbstractButton *b : window->findChildren<QAbstractButton *>())
        captioned << b;
    for (QGroupBox *g : window->findChildren<QGroupBox *>())
        if (!g->title().isEmpty())
            captioned << g;
    for (QWidget *w : captioned) {
        if (!w->isVisibleTo(window) || w->window() != window)
            continue;
        const QSize need = w->minimumSizeHint().expandedTo(w->minimumSize());
        QVERIFY2(w->width() >= need.width() && w->height() >= need.height(),
                 qPrintable(QStringLiteral("%1 in %2: %3x%4, needs %5x%6")
                                .arg(w->objectName(), window->objectName())
                                .arg(w->width())
                                .arg(w->height())
                                .arg(need.width())
                                .arg(need.height())));
    }
}

void checkFitsTheScreen(QWidget *window)
{
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QRect frame = window->frameGeometry();
    QVERIFY2(frame.width() <= 1024 && frame.height() <= 768,
             qPrintable(QStringLiteral("%1 is %2x%3").arg(window->objectName()).arg(frame.width()).arg(frame.height())));
    // It opens on the screen, not partly outside it.
    QVERIFY2(window->screen()->availableGeometry().contains(frame), qPrintable(window->objectName()));
}

void saveShot(QWidget *window, const QString &name)
{
    const QString dir = qEnvironmentVariable("TAVELO_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    QVERIFY(window->grab().save(QDir(dir).filePath(QStringLiteral("shot-%1.png").arg(name))));
}

void checkWindow(QWidget *window, const QString &shot)
{
    checkFitsTheScreen(window);
    checkNothingCut(window);
    saveShot(window, shot);
}

EntradaScreen *readyToSimulate(ScreenHarness &h)
{
    EntradaScreen *e = h.start();
    click(widget<QToolButton>(e, "cmdParametros"));
    click(widget<QPushButton>(h.window<OptionsScreen>("Form1"), "cmdOk"));
    click(widget<QToolButton>(e, "cmdSimulacao"));
    return e;
}

} // namespace

class WindowLayoutScreenTest : public QObject {
    Q_OBJECT
private slots:
    void startScreen();
    void aboutBox();
    void options();
    void standData_data();
    void standData();
    void unthinned();
    void thinned_data();
    void thinned();
};

void WindowLayoutScreenTest::startScreen()
{
    ScreenHarness h;
    EntradaScreen *e = h.start();
    checkWindow(e, QStringLiteral("Entrada"));
    QCOMPARE(tabOrder(e), QStringLiteral("cmdParametros cmdSimulacao cmdAjuda cmdsair"));
}

void WindowLayoutScreenTest::aboutBox()
{
    ScreenHarness h;
    click(widget<QToolButton>(h.start(), "cmdAjuda"));
    auto *about = h.window<AboutScreen>("frmAbout");
    checkWindow(about, QStringLiteral("frmAbout"));
    QCOMPARE(tabOrder(about), QStringLiteral("cmdOK"));
}

void WindowLayoutScreenTest::options()
{
    ScreenHarness h;
    click(widget<QToolButton>(h.start(), "cmdParametros"));
    auto *f = h.window<OptionsScreen>("Form1");
    checkWindow(f, QStringLiteral("Form1"));
    QCOMPARE(tabOrder(f), QStringLiteral("optVcc optVsc txtAno txtDmin txtCmin txtAltcorte txtDdesp cmdOk"));
}

void WindowLayoutScreenTest::standData_data()
{
    QTest::addColumn<bool>("classRoute");
    QTest::newRow("height route") << false;
    QTest::newRow("class route") << true;
}

void WindowLayoutScreenTest::standData()
{
    QFETCH(bool, classRoute);
    ScreenHarness h;
    readyToSimulate(h);
    auto *f = h.window<StandDataScreen>("Form2");
    if (classRoute) {
        choose(widget<QRadioButton>(f, "optCQualidade"));
        typeInto(widget<QLineEdit>(f, "txtIdade"), QStringLiteral("25"));
        choose(widget<QRadioButton>(f, "optMedia"));
    } else {
        typeInto(widget<QLineEdit>(f, "txtIdade"), QStringLiteral("12"));
        typeInto(widget<QLineEdit>(f, "txtADominante"), QStringLiteral("9"));
    }
    checkWindow(f, classRoute ? QStringLiteral("Form2-class") : QStringLiteral("Form2-height"));
    QCOMPARE(tabOrder(f), QStringLiteral("txtIdade optADominante txtADominante optCQualidade optMBaixa optBaixa optMedia optElev optMElev cmdDPdesb cmdDPndesb cmdOk cmdCancelar"));
}

void WindowLayoutScreenTest::unthinned()
{
    ScreenHarness h;
    readyToSimulate(h);
    auto *form2 = h.window<StandDataScreen>("Form2");
    typeInto(widget<QLineEdit>(form2, "txtIdade"), QStringLiteral("12"));
    typeInto(widget<QLineEdit>(form2, "txtADominante"), QStringLiteral("9"));
    click(widget<QPushButton>(form2, "cmdDPndesb"));
    auto *f = h.window<UnthinnedScreen>("Form3");
    choose(widget<QRadioButton>(f, "optArvPlant"));
    typeInto(widget<QLineEdit>(f, "txtNArvVP"), QStringLiteral("1500"));
    checkWindow(f, QStringLiteral("Form3"));
    QCOMPARE(tabOrder(f), QStringLiteral("optArvPlant optArvVivas txtNArvVP cmdOk"));
}

void WindowLayoutScreenTest::thinned_data()
{
    QTest::addColumn<bool>("classes");
    QTest::newRow("stand parameters") << false;
    QTest::newRow("trees per class") << true;
}

void WindowLayoutScreenTest::thinned()
{
    QFETCH(bool, classes);
    ScreenHarness h;
    readyToSimulate(h);
    auto *form2 = h.window<StandDataScreen>("Form2");
    typeInto(widget<QLineEdit>(form2, "txtIdade"), QStringLiteral("30"));
    typeInto(widget<QLineEdit>(form2, "txtADominante"), QStringLiteral("14"));
    click(widget<QPushButton>(form2, "cmdDPdesb"));
    auto *f = h.window<ThinnedScreen>("Form4");
    if (classes) {
        choose(widget<QRadioButton>(f, "optCDap"));
        typeInto(classBox(f, 1), QStringLiteral("50"));
        typeInto(classBox(f, 3), QStringLiteral("50"));
        typeInto(classBox(f, 12), QStringLiteral("32767"));
    } else {
        choose(widget<QRadioButton>(f, "optPPovoamento"));
        typeInto(widget<QLineEdit>(f, "txtAvivas"), QStringLiteral("601"));
        typeInto(widget<QLineEdit>(f, "txtAbasal"), QStringLiteral("22"));
        typeInto(widget<QLineEdit>(f, "txtDmin"), QStringLiteral("9"));
        typeInto(widget<QLineEdit>(f, "txtDp93"), QStringLiteral("31"));
    }
    checkWindow(f, classes ? QStringLiteral("Form4-classes") : QStringLiteral("Form4-parameters"));
    QStringList order{"optPPovoamento", "txtAvivas", "txtAbasal", "txtDmin", "txtDp93", "optCDap"};
    for (int k = 0; k < ThinnedScreen::kClasses; ++k)
        order << QStringLiteral("txt1_%1").arg(k);
    order << "cmdOk";
    QCOMPARE(tabOrder(f), order.join(QLatin1Char(' ')));
    // A five-digit count fits its box.
    QLineEdit *box = classBox(f, 12);
    QVERIFY(box->width() >= box->fontMetrics().horizontalAdvance(QStringLiteral("32767")) + 8);
}

TAVELO_QTEST_CLASS(WindowLayoutScreenTest)

#include "window_layout_screen_test.moc"
