#include "app_context.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

#include <cstdlib>

namespace tavelo {

QString qs(const std::string &utf8)
{
    return QString::fromStdString(utf8);
}

// --- Desktop services ---------------------------------------------------------

MessageService::Answer WidgetMessageService::show(QWidget *parent, const Message &message)
{
    QMessageBox box(parent);
    box.setWindowTitle(qs(message.title));
    box.setText(qs(message.text));
    switch (message.icon) {
    case Message::Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Message::Icon::Error: box.setIcon(QMessageBox::Critical); break;
    case Message::Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Message::Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Message::Icon::Question: box.setIcon(QMessageBox::Question); break;
    }
    if (message.buttons == Message::Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int r = box.exec();
    if (r == QMessageBox::Yes)
        return Answer::Yes;
    if (r == QMessageBox::No)
        return Answer::No;
    return Answer::Ok;
}

void ProcessExitService::exit(int code)
{
    // The program ends at once, without going back to any screen.
    std::exit(code);
}

QString WidgetFileDialogService::saveFileName(QWidget *parent, const QString &title, const QString &proposedName,
                                              const QString &filter)
{
    // "text (*.txt)|*.txt": the description part already names its pattern.
    const QString qtFilter = filter.section(QLatin1Char('|'), 0, 0);
    QFileDialog dialog(parent, title, QString(), qtFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

bool WidgetPrintService::choosePrinter(QWidget *parent, QPrinter &printer)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

// --- Windows ---------------------------------------------------------------------

void Windows::registerFactory(const QString &name, Factory factory)
{
    factories_.insert(name, std::move(factory));
}

QWidget *Windows::get(const QString &name) const
{
    const auto it = loaded_.constFind(name);
    return it == loaded_.constEnd() ? nullptr : it->data();
}

QWidget *Windows::load(const QString &name)
{
    if (QWidget *w = get(name))
        return w;
    const auto f = factories_.constFind(name);
    if (f == factories_.constEnd())
        return nullptr;
    QWidget *w = (*f)(ctx_);
    if (!w)
        return nullptr;
    w->setObjectName(name);
    w->setAttribute(Qt::WA_DeleteOnClose, true);
    loaded_.insert(name, w);
    return w;
}

QWidget *Windows::show(const QString &name)
{
    QWidget *w = load(name);
    if (!w)
        return nullptr;
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

void Windows::hide(const QString &name)
{
    if (QWidget *w = get(name))
        w->hide();
}

void Windows::unload(const QString &name)
{
    QPointer<QWidget> w = loaded_.take(name);
    if (w) {
        w->hide();
        w->deleteLater();
    }
}

void Windows::unloadAllExcept(const QString &name)
{
    for (const QString &n : loadedNames())
        if (n != name)
            unload(n);
}

QStringList Windows::loadedNames() const
{
    QStringList names;
    for (auto it = loaded_.constBegin(); it != loaded_.constEnd(); ++it)
        if (it.value())
            names << it.key();
    return names;
}

// --- Context ------------------------------------------------------------------------

AppContext::AppContext(Services s, std::filesystem::path folder, NumberConventions conv)
    : AppContext(s, std::move(folder), std::move(conv), std::make_unique<StandState>(), nullptr)
{
}

AppContext::AppContext(Services s, std::filesystem::path folder, NumberConventions conv, StandState &st)
    : AppContext(s, std::move(folder), std::move(conv), nullptr, &st)
{
}

AppContext::AppContext(Services s, std::filesystem::path folder, NumberConventions conv,
                       std::unique_ptr<StandState> own, StandState *kept)
    : ownState_(std::move(own)), state(kept ? *kept : *ownState_), flow(state), entries(flow.entries()),
      simulation(flow.simulation()), services(s), logFolder(std::move(folder)), conventions(std::move(conv)),
      windows(*this)
{
}

void AppContext::endByModel(QWidget *parent, const ModelError &e)
{
    show(parent, Message::error(e.title(), e.text()));
    services.exit->exit(kExitModelLimit);
}

void makeWindow(QWidget *w, QWidget *owner)
{
    if (owner) {
        // A transient child: stays in front of its owner, not inside it.
        w->setParent(owner, Qt::Window);
    }
    w->setAttribute(Qt::WA_QuitOnClose, false);
}

} // namespace tavelo
