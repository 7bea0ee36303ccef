// Qt's own texts in Portuguese whatever the desktop's language: loaded the way
// the program loads them, the question box's buttons read "Sim" and "Não",
// and the file and print dialogs speak Portuguese too. Each check first reads
// the English texts without the translation, so it can only pass because the
// translation is there. Every desktop language is played in a fresh process
// of its own, as the program would start under it.

#include "screens/shell/app_context.h"
#include "screens/start/qt_translations.h"
#include "screens/shell/services.h"
#include "support/qtest_runner.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

#include <functional>

using namespace tavelo;

namespace {

// Runs `inspect` on the modal dialog of type T once it is shown, then closes
// it with `close`. The dialog is run by the program's own service.
template <typename T>
void whenShown(const std::function<void(T *)> &inspect, const std::function<void(T *)> &close, bool &seen)
{
    seen = false;
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, inspect, close, &seen] {
        auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        seen = true;
        inspect(dialog);
        close(dialog);
    });
    timer->start();
}

// The buttons' texts without their shortcut marks, in the box's order.
QStringList buttonTexts(const QList<QAbstractButton *> &buttons)
{
    QStringList texts;
    for (QAbstractButton *b : buttons)
        if (b->isVisible())
            texts << b->text().remove(QLatin1Char('&'));
    texts.sort();
    return texts;
}

QStringList questionBoxButtons(MessageService::Answer expected)
{
    QStringList texts;
    bool seen = false;
    whenShown<QMessageBox>(
        [&](QMessageBox *box) { texts = buttonTexts(box->buttons()); },
        [](QMessageBox *box) { box->button(QMessageBox::No)->click(); }, seen);
    WidgetMessageService messages;
    const Message question = Message::question("Insuficiência de Dados...", "Deseja sair deste ecran?");
    const MessageService::Answer answer = messages.show(nullptr, question);
    if (!seen || answer != expected)
        return {QStringLiteral("(the box was not answered)")};
    return texts;
}

QStringList saveDialogButtons()
{
    QStringList texts;
    bool seen = false;
    whenShown<QFileDialog>(
        [&](QFileDialog *d) {
            if (!d->testOption(QFileDialog::DontUseNativeDialog))
                texts = QStringList{QStringLiteral("(the desktop's own dialog)")};
            else if (auto *box = d->findChild<QDialogButtonBox *>())
                texts = buttonTexts(box->buttons());
        },
        [](QFileDialog *d) { d->reject(); }, seen);
    WidgetFileDialogService files;
    const QString chosen = files.saveFileName(nullptr, QStringLiteral("Guardar a simulação"),
                                              QStringLiteral("Simulacao.txt"), QStringLiteral("text (*.txt)|*.txt"));
    if (!seen || !chosen.isEmpty())
        return {QStringLiteral("(the dialog was not cancelled)")};
    return texts;
}

// The open dialog's captions ("Look in:", "File name:", "Files of type:") and
// buttons, checking that it is Qt's own dialog, which the translation reaches.
QStringList openDialogTexts()
{
    QStringList texts;
    bool seen = false;
    bool qtsOwn = false;
    whenShown<QFileDialog>(
        [&](QFileDialog *d) {
            qtsOwn = d->testOption(QFileDialog::DontUseNativeDialog);
            for (const char *name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
                if (auto *label = d->findChild<QLabel *>(QLatin1String(name)))
                    texts << label->text().remove(QLatin1Char('&'));
            if (auto *box = d->findChild<QDialogButtonBox *>())
                texts << buttonTexts(box->buttons());
        },
        [](QFileDialog *d) { d->reject(); }, seen);
    WidgetFileDialogService files;
    const QString chosen =
        files.openFileName(nullptr, QStringLiteral("Abrir regime"), QStringLiteral("Regimes (*.json)"));
    if (!seen || !chosen.isEmpty())
        return {QStringLiteral("(the dialog was not cancelled)")};
    if (!qtsOwn)
        return {QStringLiteral("(the desktop's own dialog, which Qt's translation does not reach)")};
    return texts;
}

QStringList printDialogButtons()
{
    QStringList texts;
    bool seen = false;
    whenShown<QPrintDialog>(
        [&](QPrintDialog *d) {
            if (auto *box = d->findChild<QDialogButtonBox *>())
                texts = buttonTexts(box->buttons());
        },
        [](QPrintDialog *d) { d->reject(); }, seen);
    WidgetPrintService print;
    QPrinter printer;
    if (print.choosePrinter(nullptr, printer) || !seen)
        return {QStringLiteral("(the dialog was not cancelled)")};
    return texts;
}

} // namespace

class QtTranslationsScreenTest : public QObject {
    Q_OBJECT
private slots:
    void desktopLanguage();
    void questionBox();
    void saveDialog();
    void openDialog();
    void printDialog();
    void everyDesktopLanguage_data();
    void everyDesktopLanguage();
    void cleanup();

private:
    // Installs Qt's translation the way the program does at start.
    void installAsTheProgramDoes()
    {
        QVERIFY2(loadQtTranslations(translator_),
                 "no Qt translation for Portuguese: is qt6-translations-l10n installed?");
        QVERIFY(QCoreApplication::installTranslator(&translator_));
    }
    QTranslator translator_;
};

// The desktop language the process was started under: pt_PT as ctest starts
// it, or the one everyDesktopLanguage names.
constexpr const char *kDesktopVariable = "TAVELO_TEST_DESKTOP_LANGUAGE";

void QtTranslationsScreenTest::cleanup()
{
    QCoreApplication::removeTranslator(&translator_);
}

void QtTranslationsScreenTest::desktopLanguage()
{
    const QString expected = qEnvironmentVariableIsSet(kDesktopVariable) ? qEnvironmentVariable(kDesktopVariable)
                                                                          : QStringLiteral("pt_PT");
    QCOMPARE(QLocale::system().name(), expected);
}

void QtTranslationsScreenTest::questionBox()
{
    QCOMPARE(questionBoxButtons(MessageService::Answer::No), (QStringList{"No", "Yes"}));
    installAsTheProgramDoes();
    QCOMPARE(questionBoxButtons(MessageService::Answer::No), (QStringList{QStringLiteral("Não"), "Sim"}));
}

void QtTranslationsScreenTest::saveDialog()
{
    QCOMPARE(saveDialogButtons(), (QStringList{"Cancel", "Save"}));
    installAsTheProgramDoes();
    const QStringList texts = saveDialogButtons();
    QCOMPARE(texts.size(), 2);
    QVERIFY2(texts.contains(QStringLiteral("Cancelar")), qPrintable(texts.join(QLatin1Char('|'))));
    QVERIFY2(texts.contains(QStringLiteral("Salvar")) || texts.contains(QStringLiteral("Guardar")),
             qPrintable(texts.join(QLatin1Char('|'))));
}

void QtTranslationsScreenTest::openDialog()
{
    QCOMPARE(openDialogTexts(), (QStringList{"Look in:", "File name:", "Files of type:", "Cancel", "Open"}));
    installAsTheProgramDoes();
    const QStringList texts = openDialogTexts();
    const QString shown = texts.join(QLatin1Char('|'));
    QCOMPARE(texts.size(), 5);
    for (const char *english : {"Look in:", "File name:", "Files of type:", "Open"})
        QVERIFY2(!texts.contains(QLatin1String(english)), qPrintable(shown));
    QVERIFY2(texts.contains(QStringLiteral("Cancelar")) && texts.contains(QStringLiteral("Abrir")), qPrintable(shown));
}

void QtTranslationsScreenTest::printDialog()
{
    QCOMPARE(printDialogButtons(), (QStringList{"Cancel", "Options >>", "Print"}));
    installAsTheProgramDoes();
    QCOMPARE(printDialogButtons(), (QStringList{"Cancelar", "Imprimir", QStringLiteral("Opções >>")}));
}

// The checks above in a fresh process started under each desktop language,
// as the program would be.
void QtTranslationsScreenTest::everyDesktopLanguage_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("systemName");
    QTest::newRow("C") << "C" << "C";
    QTest::newRow("en_US") << "en_US" << "en_US";
    QTest::newRow("pt_PT") << "pt_PT" << "pt_PT";
    QTest::newRow("pt_BR") << "pt_BR" << "pt_BR";
}

void QtTranslationsScreenTest::everyDesktopLanguage()
{
    QFETCH(QString, locale);
    QFETCH(QString, systemName);
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(kDesktopVariable), systemName);
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("QtTranslationsScreenTest"), QStringLiteral("--locale"), locale,
               QStringLiteral("desktopLanguage"), QStringLiteral("questionBox"), QStringLiteral("saveDialog"),
               QStringLiteral("openDialog"), QStringLiteral("printDialog")});
    QVERIFY(run.waitForFinished(120000));
    const QByteArray output = run.readAll();
    QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, output.constData());
}

TAVELO_QTEST_CLASS(QtTranslationsScreenTest)

#include "qt_translations_screen_test.moc"
