#include "stand_screen.h"

#include "shell/app_context.h"
#include "results/export.h"
#include "structure/log_printer.h"
#include "structure/stand_table_model.h"

#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace tavelo {

namespace ui {

namespace {

constexpr int kIconSize = 32;

// The artwork's picture when it is there, otherwise the drawn one.
QIcon artworkOr(const QString &resource, QPixmap (*draw)())
{
    if (QFile::exists(resource))
        return QIcon(resource);
    return QIcon(draw());
}

QPixmap drawPrinter()
{
    QPixmap pm(kIconSize, kIconSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    // Paper going in, the printer's body, the printed sheet coming out.
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 3, 14, 10));
    p.setBrush(QColor(120, 130, 140));
    p.drawRoundedRect(QRectF(3, 12, 26, 11), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 19, 16, 10));
    p.setPen(QPen(QColor(60, 60, 60), 1));
    for (int y : {22, 25})
        p.drawLine(QPointF(11, y), QPointF(21, y));
    p.setBrush(QColor(90, 200, 90));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(24, 15, 3, 3));
    return pm;
}

QPixmap drawChart()
{
    QPixmap pm(kIconSize, kIconSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colours[] = {QColor(0, 114, 178), QColor(0, 158, 115), QColor(213, 94, 0)};
    const int heights[] = {14, 22, 9};
    p.setPen(QPen(QColor(40, 40, 40), 1));
    for (int i = 0; i < 3; ++i) {
        p.setBrush(colours[i]);
        p.drawRect(QRectF(7 + i * 7.5, 28 - heights[i], 6, heights[i]));
    }
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.drawLine(QPointF(4, 3), QPointF(4, 28));
    p.drawLine(QPointF(4, 28), QPointF(30, 28));
    return pm;
}

} // namespace

QIcon printIcon()
{
    return artworkOr(QStringLiteral(":/tavelo/icon_print.png"), &drawPrinter);
}

QIcon chartIcon()
{
    return artworkOr(QStringLiteral(":/tavelo/icon_chart.png"), &drawChart);
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QPushButton *pictureButton(QWidget *parent, const char *name, const QIcon &icon, const QString &tip)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setIcon(icon);
    b->setIconSize(QSize(kIconSize, kIconSize));
    b->setToolTip(tip);
    b->setAccessibleName(tip);
    b->setAutoDefault(false);
    return b;
}

QLabel *field(QWidget *parent, const char *name, int minimumChars)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAlignment(Qt::AlignCenter);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    l->setAutoFillBackground(true);
    QPalette pal = l->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    l->setPalette(pal);
    l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QString(minimumChars, QLatin1Char('0'))) + 12);
    return l;
}

QTableView *grid(QWidget *parent, const char *name)
{
    auto *v = new QTableView(parent);
    v->setObjectName(QLatin1String(name));
    v->verticalHeader()->hide();
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setSelectionMode(QAbstractItemView::NoSelection);
    v->setFocusPolicy(Qt::NoFocus);
    v->setWordWrap(false);
    v->horizontalHeader()->setHighlightSections(false);
    v->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    v->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    v->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Rows as tall as their text needs, so that a long table still fits the screen.
    const int rowHeight = v->fontMetrics().height() + 8;
    v->verticalHeader()->setMinimumSectionSize(rowHeight);
    v->verticalHeader()->setDefaultSectionSize(rowHeight);
    return v;
}

void fitGridHeight(QTableView &view, int rows)
{
    const int rowHeight = view.verticalHeader()->defaultSectionSize();
    const int h = view.horizontalHeader()->sizeHint().height() + std::max(rows, 1) * rowHeight + 2 * view.frameWidth();
    view.setMinimumHeight(h);
    view.setMaximumHeight(h);
}

void placeCentred(QWidget *window, const QWidget *over)
{
    window->adjustSize();
    const QScreen *screen = over ? over->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    QRect r(QPoint(0, 0), window->frameGeometry().size());
    r.moveCenter(over && over->isVisible() ? over->frameGeometry().center() : area.center());
    r.moveLeft(std::max(area.left(), std::min(r.left(), area.right() + 1 - r.width())));
    r.moveTop(std::max(area.top(), std::min(r.top(), area.bottom() + 1 - r.height())));
    window->move(r.topLeft());
}

QWidget *showIfLoaded(AppContext &ctx, WindowId id, bool activate)
{
    QWidget *w = ctx.windows.get(id);
    if (!w)
        return nullptr;
    w->show();
    w->raise();
    if (activate)
        w->activateWindow();
    return w;
}

} // namespace ui

namespace {

// Rows a stand screen shows without scrolling; a taller table scrolls, so the
// window still fits a 1024x768 screen.
constexpr int kVisibleTableRows = 17;

QLabel *caption(QWidget *parent, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

} // namespace

// --- Both stand screens ---------------------------------------------------------------

StandTableScreen::StandTableScreen(AppContext &ctx, bool afterThinning) : ctx_(ctx)
{
    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *fields = new QGridLayout(Frame1);
    fields->setHorizontalSpacing(8);

    txtIdade = ui::field(Frame1, "txtIdade", 4);
    txtADom = ui::field(Frame1, "txtADom");
    txtAno = ui::field(Frame1, "txtAno");
    txtCQualidd = ui::field(Frame1, "txtCQualidd", 4);
    txtDmedio = ui::field(Frame1, "txtDmedio");
    txtA = ui::field(Frame1, "txtA");
    txtB = ui::field(Frame1, "txtB");
    txtC = ui::field(Frame1, "txtC");

    fields->addWidget(caption(Frame1, QStringLiteral("Idade")), 0, 0);
    fields->addWidget(txtIdade, 0, 1);
    fields->addWidget(caption(Frame1, QStringLiteral("Alt. Dominante (m)")), 0, 2);
    fields->addWidget(txtADom, 0, 3);
    fields->addWidget(caption(Frame1, QStringLiteral("Ano:")), 0, 4);
    fields->addWidget(txtAno, 0, 5);
    fields->addWidget(caption(Frame1, QStringLiteral("Classe de qualidade")), 1, 0);
    fields->addWidget(txtCQualidd, 1, 1);
    fields->addWidget(caption(Frame1, QStringLiteral("Diâmetro médio (cm)")), 1, 2);
    fields->addWidget(txtDmedio, 1, 3);

    auto *weibull = new QHBoxLayout;
    weibull->addWidget(new QLabel(QStringLiteral("Parâmetros de Weibull:"), Frame1));
    weibull->addSpacing(8);
    weibull->addWidget(caption(Frame1, QStringLiteral("A =")));
    weibull->addWidget(txtA);
    weibull->addSpacing(12);
    weibull->addWidget(caption(Frame1, QStringLiteral("B = ")));
    weibull->addWidget(txtB);
    weibull->addSpacing(12);
    weibull->addWidget(caption(Frame1, QStringLiteral("C = ")));
    weibull->addWidget(txtC);
    weibull->addStretch(1);
    fields->addLayout(weibull, 2, 0, 1, 6);

    if (afterThinning) {
        auto *thinning = new QHBoxLayout;
        thinning->addWidget(new QLabel(QStringLiteral("Tipo e intensidade do desbaste:"), Frame1));
        thinning->addSpacing(6);
        lblDesbasteMS = new QLabel(Frame1);
        lblDesbasteMS->setObjectName(QStringLiteral("lblDesbasteMS"));
        QFont bold = lblDesbasteMS->font();
        bold.setBold(true);
        lblDesbasteMS->setFont(bold);
        thinning->addWidget(lblDesbasteMS, 1);
        fields->addLayout(thinning, 3, 0, 1, 6);
    }
    fields->setColumnStretch(6, 1);

    lblTGrelha = new QLabel(this);
    lblTGrelha->setObjectName(QStringLiteral("lblTGrelha"));
    QFont titleFont = lblTGrelha->font();
    titleFont.setBold(true);
    lblTGrelha->setFont(titleFont);

    model_ = new StandTableModel(this);
    Grelha = ui::grid(this, "Grelha");
    Grelha->setModel(model_);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addSpacing(4);
    layout->addWidget(lblTGrelha);
    layout->addWidget(Grelha);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QPushButton *StandTableScreen::exportButton()
{
    QPushButton *b = ui::button(this, "cmdExportar", QStringLiteral("Exportar tabela (CSV)"));
    connect(b, &QPushButton::clicked, this, [this] {
        const bool after = objectName() == objectNameOf(WindowId::AfterThinning);
        exportTableCsv(ctx_, this, *model_,
                       exportBaseName(ctx_) + QStringLiteral("-idade-") + txtIdade->text() +
                           (after ? QStringLiteral("-desbaste") : QString()));
    });
    return b;
}

void StandTableScreen::addButtons(const QList<QPushButton *> &buttons)
{
    auto *row = new QHBoxLayout;
    for (QPushButton *b : buttons)
        row->addWidget(b);
    row->addStretch(1);
    static_cast<QVBoxLayout *>(layout())->addLayout(row);
}

void StandTableScreen::showTable(const std::optional<StandTable> &table)
{
    const StandTable empty;
    const StandTable &t = table ? *table : empty;
    txtIdade->setText(qs(t.txtIdade));
    txtADom->setText(qs(t.txtADom));
    txtAno->setText(qs(t.txtAno));
    txtCQualidd->setText(qs(t.txtCQualidd));
    txtDmedio->setText(qs(t.txtDmedio));
    txtA->setText(qs(t.txtA));
    txtB->setText(qs(t.txtB));
    txtC->setText(qs(t.txtC));
    if (table)
        Frame1->setTitle(qs(t.frameCaption));
    if (lblDesbasteMS)
        lblDesbasteMS->setText(qs(t.lblDesbasteMS));
    lblTGrelha->setText(qs(t.lblTGrelha));

    model_->setStandTable(table);
    sizeColumns(*Grelha, std::vector<int>(kStandTableWidthsTwips.begin(), kStandTableWidthsTwips.end()));
    Grelha->setFixedWidth(fullTableWidth(*Grelha, model_->rowCount() > kVisibleTableRows));
    ui::fitGridHeight(*Grelha, std::min(model_->rowCount(), kVisibleTableRows));
}

// --- Form5 ------------------------------------------------------------------------------

StandStructureScreen::StandStructureScreen(AppContext &ctx) : StandTableScreen(ctx, false)
{
    setObjectName(objectNameOf(WindowId::StandStructure));
    setWindowTitle(QStringLiteral("Estrutura do Povoamento"));
    Frame1->setTitle(QStringLiteral("Características do povoamento sem desbaste prévio"));

    cmdProjectar = ui::button(this, "cmdProjectar", QStringLiteral("Projectar sem desbaste"));
    cmdDesbastar = ui::button(this, "cmdDesbastar", QStringLiteral("Realizar desbaste"));
    cmdImprimir = ui::pictureButton(this, "cmdImprimir", ui::printIcon(), QStringLiteral("Imprimir a simulação"));
    cmdVGraficos = ui::pictureButton(this, "cmdVGraficos", ui::chartIcon(), QStringLiteral("Gráficos por classe de diâmetro"));
    cmdTerminar = ui::button(this, "cmdTerminar", QStringLiteral("Terminar Simulação"));
    cmdExportar = exportButton();
    addButtons({cmdProjectar, cmdDesbastar, cmdImprimir, cmdVGraficos, cmdTerminar, cmdExportar});

    connect(cmdProjectar, &QPushButton::clicked, this, &StandStructureScreen::project);
    connect(cmdDesbastar, &QPushButton::clicked, this, [this] {
        ctx_.flow.openThinning();
        ctx_.windows.show(WindowId::Thinning);
    });
    connect(cmdImprimir, &QPushButton::clicked, this, [this] { printLog(ctx_, this); });
    connect(cmdVGraficos, &QPushButton::clicked, this, [this] { ctx_.windows.show(WindowId::StandCharts); });
    connect(cmdTerminar, &QPushButton::clicked, this, &StandStructureScreen::finish);

    // Load: the stand is shown, logged and recorded (unless the projection
    // that opened this screen already did).
    ctx_.guarded(this, [&] {
        const Simulation::Notices notices = ctx_.flow.loadStandScreen();
        showTable(ctx_.simulation.standTable());
        ctx_.showAll(this, notices);
    });
}

void StandStructureScreen::project()
{
    ctx_.guarded(this, [&] {
        const Simulation::Notices notices = ctx_.flow.project();
        showTable(ctx_.simulation.standTable());
        ctx_.showAll(this, notices);
    });
}

void StandStructureScreen::finish()
{
    ctx_.guarded(this, [&] {
        ctx_.flow.end();
        ctx_.windows.unload(WindowId::StandStructure);
        ctx_.windows.show(WindowId::End);
    });
}

void StandStructureScreen::closeEvent(QCloseEvent *event)
{
    // The close box discards the screen: nothing is logged, nothing else opens.
    ctx_.flow.closeStandScreen();
    QWidget::closeEvent(event);
}

// --- form7 ------------------------------------------------------------------------------

AfterThinningScreen::AfterThinningScreen(AppContext &ctx) : StandTableScreen(ctx, true)
{
    setObjectName(objectNameOf(WindowId::AfterThinning));
    setWindowTitle(QStringLiteral("Estrutura do Povoamento após Desbaste"));

    cmdProjectar = ui::button(this, "cmdProjectar", QStringLiteral("Projectar"));
    cmdReDesbastar = ui::button(this, "cmdReDesbastar", QStringLiteral("Voltar a definir desbaste"));
    cmdImprimir = ui::pictureButton(this, "cmdImprimir", ui::printIcon(), QStringLiteral("Imprimir a simulação"));
    cmdVGrafico = ui::pictureButton(this, "cmdVGrafico", ui::chartIcon(), QStringLiteral("Gráfico antes e após o desbaste"));
    cmdTerminar = ui::button(this, "cmdTerminar", QStringLiteral("Terminar Simulação"));
    cmdExportar = exportButton();
    addButtons({cmdProjectar, cmdReDesbastar, cmdImprimir, cmdVGrafico, cmdTerminar, cmdExportar});

    connect(cmdProjectar, &QPushButton::clicked, this, &AfterThinningScreen::project);
    connect(cmdReDesbastar, &QPushButton::clicked, this, &AfterThinningScreen::defineAgain);
    connect(cmdImprimir, &QPushButton::clicked, this, [this] { printLog(ctx_, this); });
    connect(cmdVGrafico, &QPushButton::clicked, this, [this] { ctx_.windows.show(WindowId::ThinningChart); });
    connect(cmdTerminar, &QPushButton::clicked, this, &AfterThinningScreen::finish);

    // The frame keeps its design caption: the table shows the stand after the thinning.
    Frame1->setTitle(QStringLiteral("Características do povoamento após desbaste"));
    showTable(ctx_.simulation.thinnedTable());
}

void AfterThinningScreen::project()
{
    ctx_.guarded(this, [&] {
        const Simulation::Notices notices = ctx_.flow.project();
        // The hidden stand screen goes; a new one shows the projected stand.
        ctx_.windows.unload(WindowId::StandStructure);
        QWidget *form5 = ctx_.windows.show(WindowId::StandStructure);
        ctx_.showAll(form5 ? form5 : this, notices);
        ctx_.windows.unload(WindowId::AfterThinning);
    });
}

void AfterThinningScreen::defineAgain()
{
    ctx_.flow.discardThinning();
    ui::showIfLoaded(ctx_, WindowId::StandStructure);
    ctx_.windows.unload(WindowId::Thinning);
    ctx_.windows.unload(WindowId::AfterThinning);
}

void AfterThinningScreen::finish()
{
    ctx_.guarded(this, [&] {
        ctx_.showAll(this, ctx_.flow.end());
        hide();
        ctx_.windows.show(WindowId::End);
    });
}

void AfterThinningScreen::closeEvent(QCloseEvent *event)
{
    // Discarded silently; the stand screen and the thinning screen stay hidden.
    ctx_.flow.closeThinnedScreen();
    QWidget::closeEvent(event);
}

// --- Factories ------------------------------------------------------------------------------

QWidget *createStandScreen(AppContext &ctx)
{
    auto *w = new StandStructureScreen(ctx);
    makeWindow(w, ctx.windows.entrada());
    ui::placeCentred(w, ctx.windows.entrada());
    return w;
}

QWidget *createAfterThinningScreen(AppContext &ctx)
{
    auto *w = new AfterThinningScreen(ctx);
    makeWindow(w, nullptr);
    // In the place of the stand screen it stands for.
    ui::placeCentred(w, ctx.windows.get(WindowId::StandStructure));
    return w;
}

} // namespace tavelo
