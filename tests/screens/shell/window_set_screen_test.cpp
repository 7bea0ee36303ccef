// The window set by typed identifier, and how a handler stops where the
// program ends: nothing after the ending runs, up to the outermost handler.

#include "model/model_error.h"
#include "screens/shell/app_context.h"
#include "support/fake_services.h"
#include "support/qtest_runner.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace tavelo;
using namespace tavelo::testing;

class WindowSetTest : public QObject {
    Q_OBJECT
private slots:
    void everyWindowKeepsItsObjectName();
    void aWindowWithoutFactoryIsAnError();
    void windowsLoadOnceAndUnloadForGood();
    void theEndStopsEveryEnclosingHandler();
    void aModelLimitEndsTheProgramOnce();

private:
    struct Program {
        QTemporaryDir dir;
        StandState state;
        FakeServices fake;
        AppContext ctx{fake.services(), std::filesystem::path(dir.path().toStdString()), NumberConventions{}, state};
    };
};

void WindowSetTest::everyWindowKeepsItsObjectName()
{
    const QStringList names{"Entrada", "frmAbout", "Form1", "Form2", "Form3", "Form4", "Form5",
                            "Form6",   "form7",    "Form8", "Form9", "Form10", "Terminar", "frmEconomia"};
    QSet<QString> seen;
    for (const QString &name : names) {
        const std::optional<WindowId> id = windowNamed(name);
        QVERIFY2(id.has_value(), qPrintable(name));
        QCOMPARE(objectNameOf(*id), name);
        seen.insert(objectNameOf(*id));
    }
    QCOMPARE(seen.size(), names.size());
    QVERIFY(!windowNamed(QStringLiteral("Form11")));
    QVERIFY(!windowNamed(QStringLiteral("form5")));
}

void WindowSetTest::aWindowWithoutFactoryIsAnError()
{
    Program p;
    QVERIFY_THROWS_EXCEPTION(MissingWindowError, p.ctx.windows.load(WindowId::Options));
    QVERIFY(!p.ctx.windows.get(WindowId::Options));
    QVERIFY(p.ctx.windows.loadedNames().isEmpty());
}

void WindowSetTest::windowsLoadOnceAndUnloadForGood()
{
    Program p;
    int loads = 0;
    p.ctx.windows.registerFactory(WindowId::Options, [&](AppContext &) -> QWidget * {
        ++loads;
        return new QWidget;
    });
    QWidget *first = p.ctx.windows.show(WindowId::Options);
    QVERIFY(first && first->isVisible());
    QCOMPARE(first->objectName(), QStringLiteral("Form1"));
    QCOMPARE(p.ctx.windows.load(WindowId::Options), first);
    QCOMPARE(p.ctx.windows.named(QStringLiteral("Form1")), first);
    QCOMPARE(loads, 1);

    p.ctx.windows.hide(first);
    QVERIFY(!first->isVisible());
    QCOMPARE(p.ctx.windows.get(WindowId::Options), first);
    QPointer<QWidget> gone = first;
    p.ctx.windows.unload(first);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!gone);
    QVERIFY(!p.ctx.windows.get(WindowId::Options));
    QWidget *second = p.ctx.windows.load(WindowId::Options);
    QCOMPARE(loads, 2);
    delete second;
}

void WindowSetTest::theEndStopsEveryEnclosingHandler()
{
    Program p;
    QStringList ran;
    p.ctx.guarded(nullptr, [&] {
        ran << QStringLiteral("outer");
        p.ctx.guarded(nullptr, [&] {
            ran << QStringLiteral("inner");
            p.ctx.endProgram(kExitNormal);
            ran << QStringLiteral("after the end, inner");
        });
        ran << QStringLiteral("after the end, outer");
    });
    QCOMPARE(ran, (QStringList{"outer", "inner"}));
    QCOMPARE(p.fake.exit.codes, std::vector<int>{kExitNormal});

    // The next handler runs as usual.
    p.ctx.guarded(nullptr, [&] { ran << QStringLiteral("next"); });
    QCOMPARE(ran.last(), QStringLiteral("next"));
}

void WindowSetTest::aModelLimitEndsTheProgramOnce()
{
    Program p;
    bool after = false;
    p.ctx.guarded(nullptr, [&] {
        p.ctx.guarded(nullptr, [&] { throw ModelLimitError::outside(true); });
        after = true;
    });
    QVERIFY(!after);
    QCOMPARE(p.fake.exit.codes, std::vector<int>{kExitModelLimit});
    QCOMPARE(p.fake.messages.shown.size(), size_t(1));
    QCOMPARE(p.fake.messages.last().title, std::string("Resultados Inconsistentes"));
}

TAVELO_QTEST_CLASS(WindowSetTest)
#include "window_set_screen_test.moc"
