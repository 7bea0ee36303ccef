#pragma once

// A headless program for the window tests: its own stand state, fake services,
// a temporary log folder, the start screen and the entry windows registered,
// and the few gestures a user makes (type, click, choose an option).

#include "screens/shell/app_context.h"
#include "screens/start/entrada_screen.h"
#include "screens/start/screens.h"
#include "support/fake_services.h"
#include "support/gestures.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <memory>

namespace tavelo::testing {

class ScreenHarness {
public:
    explicit ScreenHarness(NumberConventions conventions = {".", ","})
    {
        ctx = std::make_unique<AppContext>(fake.services(), std::filesystem::path(dir.path().toStdString()),
                                           std::move(conventions), state);
        registerAppScreens(ctx->windows);
        registerEntryScreens(ctx->windows);
    }
    ~ScreenHarness() { closeAll(); }
    ScreenHarness(const ScreenHarness &) = delete;
    ScreenHarness &operator=(const ScreenHarness &) = delete;

    // The windows go before the context they refer to.
    void closeAll()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QList<QPointer<QWidget>> windows;
        for (const QString &name : ctx->windows.loadedNames())
            windows << ctx->windows.named(name);
        for (const QPointer<QWidget> &w : windows)
            if (w && !w->parentWidget())
                delete w.data();
        for (const QPointer<QWidget> &w : windows)
            if (w)
                delete w.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    EntradaScreen *start() { return qobject_cast<EntradaScreen *>(ctx->windows.show(WindowId::Entrada)); }
    EntradaScreen *entrada() const { return ctx->windows.named<EntradaScreen>(QStringLiteral("Entrada")); }
    template <typename T> T *window(const char *name) const { return ctx->windows.named<T>(QLatin1String(name)); }

    QString folderFile(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    StandState state;
    FakeServices fake;
    std::unique_ptr<AppContext> ctx;
};

inline void click(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

inline void clickMenuItem(QMenuBar *bar, QAction *item)
{
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(item).center());
}

// The messages shown as (title, text) pairs, for readable comparisons.
inline QStringList boxTexts(const FakeMessageService &messages)
{
    QStringList out;
    for (const auto &s : messages.shown)
        out << QString::fromStdString(s.message.title) + QStringLiteral(" | ") +
                   QString::fromStdString(s.message.text);
    return out;
}

} // namespace tavelo::testing
