// tavelo: the desktop program.
#include "base/version.h"
#include "screens/shell/app_context.h"
#include "session/entry/app_session.h"
#include "screens/start/entrada_screen.h"
#include "screens/start/qt_translations.h"
#include "screens/start/screens.h"
#include "screens/shell/services.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QPointer>
#include <QStandardPaths>
#include <QTranslator>

#include <cstdio>
#include <filesystem>

namespace {

std::filesystem::path toPath(const QString &s)
{
    return std::filesystem::path(s.toStdU16String());
}

// The user's numeric conventions, as the system locale gives them.
tavelo::NumberConventions systemConventions()
{
    const QLocale locale = QLocale::system();
    return {locale.decimalPoint().toStdString(), locale.groupSeparator().toStdString()};
}

} // namespace

int main(int argc, char **argv)
{
    // Without a display there is nothing to show: say so instead of aborting.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "tavelo: no display found (DISPLAY is not set); the program needs a desktop.\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavelo"));
    QApplication::setApplicationVersion(QString::fromLatin1(tavelo::kProgramVersionShort));
    // The message boxes' and dialogs' own texts in Portuguese, as the rest of
    // the program, whatever the desktop's language.
    QTranslator qtTexts;
    if (tavelo::loadQtTranslations(qtTexts))
        QApplication::installTranslator(&qtTexts);
    tavelo::initPictures();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tavelo/app_icon.png")));

    tavelo::WidgetMessageService messages;
    tavelo::ProcessExitService exitService;
    tavelo::WidgetFileDialogService files;
    tavelo::WidgetPrintService print;
    tavelo::UserSettingsService settings;
    const std::filesystem::path logFolder =
        tavelo::chooseLogFolder(toPath(QCoreApplication::applicationDirPath()),
                                toPath(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));

    int rc = 0;
    {
        tavelo::AppContext ctx({&messages, &exitService, &files, &print, &settings}, logFolder, systemConventions());
        tavelo::registerAllScreens(ctx.windows);
        // The start-up check may refuse the user's settings; the program has ended then.
        if (!ctx.windows.show(tavelo::WindowId::Entrada))
            return tavelo::kExitRegionalSettings;
        rc = QApplication::exec();

        // The windows go before the context they refer to.
        QList<QPointer<QWidget>> windows;
        for (QWidget *w : QApplication::topLevelWidgets())
            windows << w;
        for (const QPointer<QWidget> &w : windows)
            if (w && !w->parentWidget())
                delete w.data();
    }
    return rc;
}
