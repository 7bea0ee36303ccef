// The start screen's resize rule on two screens: on one exactly 600 pixels
// high it is maximized and stays so; on any other (here 1024 x 768) it is
// 12000 x 9000 twips (800 x 600 pixels, window frame included). Either way it
// snaps back after any attempt to resize, maximize, minimize or restore it.
// Built twice, once per screen height (TAVELO_TEST_SCREEN_HEIGHT).

#include "support/entry_screen_test_support.h"
#include "support/widget_lookup.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

constexpr int kScreenHeight = TAVELO_TEST_SCREEN_HEIGHT;
constexpr int kScreenWidth = kScreenHeight == 600 ? 800 : 1024;
constexpr bool kMaximized = kScreenHeight == 600;

void checkRuleHolds(EntradaScreen *e)
{
    if (kMaximized) {
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
    QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), QSize(kScreenWidth, kScreenHeight));
    ScreenHarness h;
    EntradaScreen *e = h.start();
    QVERIFY(QTest::qWaitForWindowExposed(e));
    checkRuleHolds(e);
    if (kMaximized)
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

// The offscreen platform with the screen of this build.
int main(int argc, char **argv)
{
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly))
        return 1;
    f.write(QStringLiteral(R"({"screens": [{"name": "test", "x": 0, "y": 0, "width": %1, "height": %2,
                              "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                .arg(kScreenWidth)
                .arg(kScreenHeight)
                .toUtf8());
    f.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    QApplication app(argc, argv);
    EntradaResizeScreenTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "entrada_resize_screen_test.moc"
