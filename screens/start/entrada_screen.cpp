#include "entrada_screen.h"

#include "screens/start/about_screen.h"

#include "session/entry/app_session.h"
#include "session/results/end_session.h"

#include <QAction>
#include <QCloseEvent>
#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

// The pictures live in the screens' static library; register them once.
static void registerTaveloPictures()
{
    Q_INIT_RESOURCE(tavelo);
}

namespace tavelo {

void initPictures()
{
    static const bool done = (registerTaveloPictures(), true);
    (void)done;
}

namespace {

QToolButton *pictureButton(QWidget *parent, const char *name, const QString &picture, const QString &tip, int index)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setIcon(QIcon(picture));
    b->setIconSize(QSize(48, 48));
    b->setToolTip(tip);
    b->setAccessibleName(tip);
    b->setAutoRaise(false);
    b->setFocusPolicy(Qt::StrongFocus);
    b->setGeometry(8 + index * 62, 8, 56, 56);
    return b;
}

QAction *menuItem(QMenuBar *bar, const char *name, const QString &caption)
{
    QAction *a = bar->addAction(caption);
    a->setObjectName(QLatin1String(name));
    return a;
}

} // namespace

QRect photoGeometry(const QSize &client)
{
    return {kPhotoLeft, kPhotoTop, std::max(0, client.width() - 2 * kPhotoLeft),
            std::max(0, client.height() - kPhotoTop - kPhotoBottomMargin)};
}

EntradaScreen::EntradaScreen(AppContext &ctx) : ctx_(ctx)
{
    initPictures();
    setObjectName(objectNameOf(WindowId::Entrada));
    setWindowTitle(QStringLiteral("%1 - vs %2").arg(QLatin1String(kProgramTitle), QLatin1String(kProgramVersionShort)));
    setWindowIcon(QIcon(QStringLiteral(":/tavelo/app_icon.png")));

    // Four items acting directly when clicked, no submenus.
    QMenuBar *bar = menuBar();
    bar->setNativeMenuBar(false);
    OModelo = menuItem(bar, "OModelo", QStringLiteral("Opções do Modelo"));
    Sim = menuItem(bar, "Sim", QStringLiteral("Simulação"));
    Ajuda = menuItem(bar, "Ajuda", QStringLiteral("Ajuda"));
    Sair = menuItem(bar, "Sair", QStringLiteral("Sair"));
    Inventario = menuItem(bar, "Inventario", QStringLiteral("Inventário"));

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("EntradaClient"));
    client->setAutoFillBackground(true);
    setCentralWidget(client);
    cmdParametros = pictureButton(client, "cmdParametros", QStringLiteral(":/tavelo/icon_options.png"),
                                  QStringLiteral("Opções do Modelo"), 0);
    cmdSimulacao = pictureButton(client, "cmdSimulacao", QStringLiteral(":/tavelo/icon_simulation.png"),
                                 QStringLiteral("Simulação"), 1);
    cmdAjuda = pictureButton(client, "cmdAjuda", QStringLiteral(":/tavelo/icon_help.png"), QStringLiteral("Ajuda"), 2);
    cmdsair = pictureButton(client, "cmdsair", QStringLiteral(":/tavelo/icon_exit.png"),
                            QStringLiteral("Sair da Aplicação"), 3);
    Image1 = new QLabel(client);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignCenter);
    client->installEventFilter(this);

    // "Simulação" waits for the model options.
    Sim->setEnabled(false);
    cmdSimulacao->setEnabled(false);

    connect(OModelo, &QAction::triggered, this, &EntradaScreen::openOptions);
    connect(cmdParametros, &QToolButton::clicked, this, &EntradaScreen::openOptions);
    connect(Sim, &QAction::triggered, this, &EntradaScreen::startSimulation);
    connect(cmdSimulacao, &QToolButton::clicked, this, &EntradaScreen::startSimulation);
    connect(Ajuda, &QAction::triggered, this, &EntradaScreen::openAbout);
    connect(cmdAjuda, &QToolButton::clicked, this, &EntradaScreen::openAbout);
    connect(Sair, &QAction::triggered, this, &EntradaScreen::leave);
    connect(cmdsair, &QToolButton::clicked, this, &EntradaScreen::leave);
    connect(Inventario, &QAction::triggered, this, &EntradaScreen::openInventory);

    resize(kEntradaOuterSize);
}

void EntradaScreen::openOptions()
{
    ctx_.windows.show(WindowId::Options);
}

void EntradaScreen::startSimulation()
{
    // The model options cannot change once a simulation has started.
    setOptionsEnabled(ctx_, false);
    ctx_.windows.show(WindowId::StandData);
}

void EntradaScreen::openAbout()
{
    ctx_.windows.show(WindowId::About);
}

void EntradaScreen::openInventory()
{
    ctx_.windows.show(WindowId::Inventory);
}

void EntradaScreen::leave()
{
    ctx_.guarded(this, [&] {
        // A log that cannot be deleted does not keep the program from ending.
        deleteTemporaryLogs(ctx_.logFolder);
        ctx_.endProgram(kExitNormal);
    });
}

void EntradaScreen::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    applyResizeRule();
}

void EntradaScreen::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    applyResizeRule();
}

void EntradaScreen::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Maximizing or minimizing is undone as soon as the change is through.
    if (event->type() == QEvent::WindowStateChange)
        QTimer::singleShot(0, this, &EntradaScreen::applyResizeRule);
}

void EntradaScreen::applyResizeRule()
{
    if (applyingRule_)
        return;
    applyingRule_ = true;
    const QScreen *s = screen();
    if (s && s->geometry().height() == kEntradaMaximizedScreenHeight) {
        if (windowState() != Qt::WindowMaximized)
            setWindowState(Qt::WindowMaximized);
    } else {
        if (windowState() != Qt::WindowNoState)
            setWindowState(Qt::WindowNoState);
        // The fixed size is the outer one, window frame included.
        const QSize frame = isVisible() ? frameGeometry().size() - geometry().size() : QSize(0, 0);
        const QSize target = kEntradaOuterSize - frame;
        if (size() != target)
            resize(target);
    }
    placePhoto();
    applyingRule_ = false;
}

void EntradaScreen::placePhoto()
{
    const QRect r = photoGeometry(centralWidget()->size());
    Image1->setGeometry(r);
    if (!r.isEmpty()) {
        // The photograph fills its place; what does not fit the proportions is cut evenly.
        const QPixmap photo(QStringLiteral(":/tavelo/entrada_photo.png"));
        const QPixmap scaled = photo.scaled(r.size(), Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        Image1->setPixmap(scaled.copy((scaled.width() - r.width()) / 2, (scaled.height() - r.height()) / 2,
                                      r.width(), r.height()));
    }
    Image1->setVisible(true);
}

bool EntradaScreen::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        placePhoto();
    return QMainWindow::eventFilter(watched, event);
}

void EntradaScreen::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (!ctx_.state.newSimulationStarted) {
        // The program ends here; the logs stay on disk until a "Sair".
        ctx_.guarded(this, [&] { ctx_.endProgram(kExitNormal); });
        return;
    }
    // After a new simulation: every other window goes with the start screen.
    ctx_.windows.unloadAllExcept(WindowId::Entrada);
}

QWidget *loadEntrada(AppContext &ctx)
{
    if (const std::optional<Message> refused = CheckDecimalSeparator(ctx.conventions)) {
        // Numbers would be misread: the program ends before any window is shown.
        ctx.guarded(nullptr, [&] {
            ctx.show(nullptr, *refused);
            ctx.endProgram(kExitRegionalSettings);
        });
        return nullptr;
    }
    ctx.flow.start(LogFile(ctx.logFolder / chooseLogName(ctx.logFolder)));
    return new EntradaScreen(ctx);
}

void EntradaScreen::enableSimulation(bool enabled)
{
    Sim->setEnabled(enabled);
    cmdSimulacao->setEnabled(enabled);
}

void EntradaScreen::enableOptions(bool enabled)
{
    OModelo->setEnabled(enabled);
    cmdParametros->setEnabled(enabled);
}

} // namespace tavelo
