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

QString WidgetFileDialogService::openFileName(QWidget *parent, const QString &title, const QString &filter)
{
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Qt's own dialog speaks the program's Portuguese; a desktop's would speak its own language.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString WidgetFileDialogService::saveFileName(QWidget *parent, const QString &title, const QString &proposedName,
                                              const QString &filter)
{
    // "text (*.txt)|*.txt": the description part already names its pattern.
    const QString qtFilter = filter.section(QLatin1Char('|'), 0, 0);
    QFileDialog dialog(parent, title, QString(), qtFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
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

namespace {

StartScreenControls *startScreen(AppContext &ctx)
{
    return dynamic_cast<StartScreenControls *>(ctx.windows.get(WindowId::Entrada));
}

} // namespace

void setSimulationEnabled(AppContext &ctx, bool enabled)
{
    if (StartScreenControls *s = startScreen(ctx))
        s->enableSimulation(enabled);
}

void setOptionsEnabled(AppContext &ctx, bool enabled)
{
    if (StartScreenControls *s = startScreen(ctx))
        s->enableOptions(enabled);
}

void restartEntrada(AppContext &ctx)
{
    ctx.windows.unloadAllExcept(WindowId::Entrada);
    ctx.windows.unload(WindowId::Entrada);
    // The entries of the closed windows are back to their defaults.
    ctx.entries = ScreenEntries{};
    ctx.windows.show(WindowId::Entrada);
}

bool askToLeave(AppContext &ctx, QWidget *screen, const LeaveQuestion &leave)
{
    if (ctx.show(screen, leave.question) == MessageService::Answer::Yes) {
        ctx.windows.unload(screen);
        return true;
    }
    ctx.show(screen, leave.reminder);
    return false;
}

WindowId windowOf(SimulationFlow::Screen screen)
{
    using S = SimulationFlow::Screen;
    switch (screen) {
    case S::Options:
        return WindowId::Options;
    case S::StandData:
        return WindowId::StandData;
    case S::UnthinnedDensity:
        return WindowId::UnthinnedDensity;
    case S::ThinnedDensity:
        return WindowId::ThinnedDensity;
    case S::StandTable:
        return WindowId::StandStructure;
    case S::Thinning:
        return WindowId::Thinning;
    case S::AfterThinning:
        return WindowId::AfterThinning;
    case S::End:
        break;
    }
    return WindowId::End;
}

} // namespace tavelo
