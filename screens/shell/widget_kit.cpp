#include "widget_kit.h"

#include "screens/shell/app_context.h"

#include <QFile>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTableView>

#include <algorithm>

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

QPushButton *captionedButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(caption);
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

QLabel *caption(QWidget *parent, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

StandHeader standHeader(QWidget *panel, QGridLayout *grid,
                        std::initializer_list<std::initializer_list<StandHeader::Item>> rows)
{
    using Item = StandHeader::Item;
    StandHeader h;
    h.txtIdade = field(panel, "txtIdade", 4);
    h.txtADom = field(panel, "txtADom");
    h.txtCQualidd = field(panel, "txtCQualidd", 4);
    h.txtDmedio = field(panel, "txtDmedio");
    h.txtAno = field(panel, "txtAno");
    int row = 0;
    for (const auto &items : rows) {
        int column = 0;
        for (Item item : items) {
            QLabel *f = nullptr;
            QString text;
            switch (item) {
            case Item::Age: f = h.txtIdade; text = QStringLiteral("Idade"); break;
            case Item::DominantHeight: f = h.txtADom; text = QStringLiteral("Alt. Dominante (m)"); break;
            case Item::QualityClass: f = h.txtCQualidd; text = QStringLiteral("Classe de qualidade"); break;
            case Item::MeanDiameter: f = h.txtDmedio; text = QStringLiteral("Diâmetro médio (cm)"); break;
            case Item::Year: f = h.txtAno; text = QStringLiteral("Ano:"); break;
            }
            grid->addWidget(caption(panel, text), row, column);
            grid->addWidget(f, row, column + 1);
            column += 2;
        }
        ++row;
    }
    return h;
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

} // namespace tavelo
