#include "support/qtest_runner.h"

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace tavelo::testing {

namespace {

int refuse(const char *why, const char *what)
{
    std::fprintf(stderr, "qtest runner: %s%s\n", why, what);
    return 2;
}

} // namespace

int runQtTestClass(int argc, char **argv, std::initializer_list<QtTestClass> classes)
{
    if (argc < 2)
        return refuse("name the test class to run", "");
    const QtTestClass *chosen = nullptr;
    for (const QtTestClass &c : classes)
        if (std::strcmp(c.name, argv[1]) == 0)
            chosen = &c;
    if (!chosen)
        return refuse("no such test class here: ", argv[1]);

    // The desktop options come first; QtTest gets the program's name and the rest.
    std::vector<char *> rest{argv[0]};
    int width = 0, height = 0;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screen") == 0 && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0)
                return refuse("--screen wants WIDTHxHEIGHT, not ", argv[i]);
        } else if (std::strcmp(argv[i], "--locale") == 0 && i + 1 < argc) {
            // A desktop in that language, whatever the environment the test runs in.
            const std::string locale = argv[++i];
            qputenv("LC_ALL", QByteArray::fromStdString(locale + ".UTF-8"));
            qputenv("LANG", QByteArray::fromStdString(locale + ".UTF-8"));
            qputenv("LANGUAGE", QByteArray::fromStdString(locale));
        } else {
            rest.push_back(argv[i]);
        }
    }

    // The offscreen platform with one screen of that size.
    QTemporaryDir folder;
    if (width > 0) {
        const QString config = folder.filePath(QStringLiteral("screen.json"));
        QFile f(config);
        const QByteArray json = QStringLiteral(R"({"screens": [{"name": "test", "x": 0, "y": 0, "width": %1,
            "height": %2, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                                    .arg(width)
                                    .arg(height)
                                    .toUtf8();
        if (!f.open(QIODevice::WriteOnly) || f.write(json) != json.size() || !f.flush())
            return refuse("cannot write the screen's configuration in ", qPrintable(folder.path()));
        f.close();
        qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    }

    int qtArgc = static_cast<int>(rest.size());
    rest.push_back(nullptr); // argv[argc], as main's own
    QApplication app(qtArgc, rest.data());
    app.setAttribute(Qt::AA_Use96Dpi, true);
    if (width > 0 && QGuiApplication::primaryScreen()->geometry().size() != QSize(width, height))
        return refuse("the platform did not take the screen asked for: ", argv[1]);
    std::unique_ptr<QObject> test = chosen->make();
    return QTest::qExec(test.get(), qtArgc, rest.data());
}

} // namespace tavelo::testing
