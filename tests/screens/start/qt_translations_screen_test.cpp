// Qt's own texts under a Portuguese desktop (pt_PT.UTF-8): loaded the way the
// program loads them, the question box's buttons read "Sim" and "Não", and
// the save and print dialogs' buttons are Portuguese too. Each check first
// reads the English texts without the translation, so it can only pass
// because the translation is there.

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
#include <QPrinter>
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
            if (auto *box = d->findChild<QDialogButtonBox *>())
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
    void portugueseDesktop();
    void questionBox();
    void saveDialog();
    void printDialog();
    void cleanup();

private:
    // Installs Qt's translation the way the program does at start.
    void installAsTheProgramDoes()
    {
        QVERIFY2(loadQtTranslations(translator_, QLocale::system()),
                 "no Qt translation for Portuguese: is qt6-translations-l10n installed?");
        QVERIFY(QCoreApplication::installTranslator(&translator_));
    }
    QTranslator translator_;
};

void QtTranslationsScreenTest::cleanup()
{
    QCoreApplication::removeTranslator(&translator_);
}

void QtTranslationsScreenTest::portugueseDesktop()
{
    QCOMPARE(QLocale::system().name(), QStringLiteral("pt_PT"));
    QCOMPARE(QLocale::system().language(), QLocale::Portuguese);
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

void QtTranslationsScreenTest::printDialog()
{
    QCOMPARE(printDialogButtons(), (QStringList{"Cancel", "Options >>", "Print"}));
    installAsTheProgramDoes();
    QCOMPARE(printDialogButtons(), (QStringList{"Cancelar", "Imprimir", QStringLiteral("Opções >>")}));
}

TAVELO_QTEST_CLASS(QtTranslationsScreenTest)

#include "qt_translations_screen_test.moc"
