// The start screen's resize rule on two screens: on one exactly 600 pixels
// high it is maximized and stays so; on any other (here 1024 x 768) it is
// 12000 x 9000 twips (800 x 600 pixels, window frame included). Either way it
// snaps back after any attempt to resize, maximize, minimize or restore it.
// Run twice, once per screen (the runner's --screen).

#include "support/entry_screen_test_support.h"
#include "support/widget_lookup.h"
#include "support/qtest_runner.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QtTest>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

// The rule keys on a screen exactly 600 pixels high.
bool screenIs600High() { return QGuiApplication::primaryScreen()->geometry().height() == 600; }

void checkRuleHolds(EntradaScreen *e)
{
    if (screenIs600High()) {
        QTRY_COMPARE(e->windowState(), Qt::WindowMaximized);
    } else {
        QTRY_COMPARE(e->windowState(), Qt::WindowNoState);
        QTRY_COMPARE(e->frameGeometry().size(), QSize(800, 600));
    }
    // The photograph follows the client area.
    QWidget *client = e->centralWidget();
    const QRect photo = widget<QLabel>(e, "Image1")->geometry();
    QCOMPARE(photo.left(), client->width() - 1 - photo.right());
    QCOMPARE(client->height() - 1 - photo.bottom(), 7);
}

} // namespace

class EntradaResizeScreenTest : public QObject {
    Q_OBJECT
private slots:
    void sizeWhenShown();
    void snapsBack_data();
    void snapsBack();
};

void EntradaResizeScreenTest::sizeWhenShown()
{
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    QVERIFY2(screen == QSize(800, 600) || screen == QSize(1024, 768), "run on one of the two screens");
    ScreenHarness h;
    EntradaScreen *e = h.start();
    QVERIFY(QTest::qWaitForWindowExposed(e));
    checkRuleHolds(e);
    if (screenIs600High())
        QTRY_COMPARE(e->frameGeometry().size(), QGuiApplication::primaryScreen()->availableGeometry().size());
}

void EntradaResizeScreenTest::snapsBack_data()
{
    QTest::addColumn<QString>("attempt");
    QTest::newRow("resize") << "resize";
    QTest::newRow("maximize") << "maximize";
    QTest::newRow("minimize") << "minimize";
    QTest::newRow("restore") << "restore";
}

void EntradaResizeScreenTest::snapsBack()
{
    QFETCH(QString, attempt);
    ScreenHarness h;
    EntradaScreen *e = h.start();
    QVERIFY(QTest::qWaitForWindowExposed(e));
    checkRuleHolds(e);
    if (attempt == "resize")
        e->resize(700, 500);
    else if (attempt == "maximize")
        e->showMaximized();
    else if (attempt == "minimize")
        e->showMinimized();
    else
        e->showNormal();
    checkRuleHolds(e);
}

TAVELO_QTEST_CLASS(EntradaResizeScreenTest)

#include "entrada_resize_screen_test.moc"
