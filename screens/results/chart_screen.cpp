#include "chart_screen.h"

#include "screens/shell/app_context.h"
#include "screens/shell/export.h"
#include "screens/shell/stand_table_model.h"
#include "screens/shell/widget_kit.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QLegend>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace tavelo {

// --- Handing back to the opener -------------------------------------------------------------

ReturningWindow::ReturningWindow(AppContext &ctx, WindowId id, WindowId opener)
    : ctx_(ctx), id_(id), opener_(opener)
{
    setObjectName(objectNameOf(id));
}

void ReturningWindow::goBack(bool activateOpener)
{
    if (leaving_)
        return;
    leaving_ = true;
    if (QWidget *w = ctx_.windows.get(opener_)) {
        w->show();
        w->raise();
        if (activateOpener)
            w->activateWindow();
    }
    // A window of the same name opened since is not this one's to unload.
    if (ctx_.windows.get(id_) == this)
        ctx_.windows.unload(id_);
    else
        deleteLater();
}

void ReturningWindow::closeEvent(QCloseEvent *event)
{
    goBack();
    QWidget::closeEvent(event);
}

QHBoxLayout *ReturningWindow::resultButtons(const ResultButtons &texts, const TextTableModel &table, QWidget *picture,
                                            std::function<void()> print)
{
    auto *back = ui::button(this, "cmdVoltar", QStringLiteral("Voltar ao ecran anterior"));
    auto *printButton = ui::pictureButton(this, "cmdImprimir", ui::printIcon(), texts.printTip);
    auto *exportTable = ui::button(this, "cmdExportarTabela", QStringLiteral("Exportar tabela (CSV)"));
    auto *exportPicture = ui::button(this, "cmdExportarGrafico", texts.exportCaption);
    connect(back, &QPushButton::clicked, this, [this] { goBack(); });
    connect(printButton, &QPushButton::clicked, this, std::move(print));
    // The save dialog must not close the window.
    const QString suffix = texts.nameSuffix;
    connect(exportTable, &QPushButton::clicked, this, [this, &table, suffix] {
        whileBusy([&] { exportTableCsv(ctx_, this, table, exportBaseName(ctx_) + suffix); });
    });
    connect(exportPicture, &QPushButton::clicked, this, [this, picture, suffix] {
        whileBusy([&] { exportPicturePng(ctx_, this, picture, exportBaseName(ctx_) + suffix); });
    });
    auto *row = new QHBoxLayout;
    row->addWidget(back);
    row->addWidget(printButton);
    row->addWidget(exportTable);
    row->addWidget(exportPicture);
    row->addStretch(1);
    return row;
}

bool ReturningWindow::event(QEvent *event)
{
    if (event->type() == QEvent::WindowDeactivate)
        deactivated();
    return QWidget::event(event);
}

void ReturningWindow::deactivated()
{
    if (busy_ > 0 || leaving_ || !isVisible())
        return;
    // Only another window of the program takes the place of this one: a dialog
    // of its own, or a switch to another application, does not.
    QWidget *now = QApplication::activeWindow();
    if (!now || QApplication::activeModalWidget())
        return;
    // Its own windows (the search opened from the valuation) are children of it.
    for (const QWidget *w = now; w; w = w->parentWidget())
        if (w == this)
            return;
    goBack(false);
}

// --- Line charts ------------------------------------------------------------------------------

QChartView *resultChartView(QWidget *parent, const char *name, const QSize &minimum)
{
    auto *view = new QChartView(parent);
    view->setObjectName(QLatin1String(name));
    view->setRenderHint(QPainter::Antialiasing);
    view->setFrameShape(QFrame::NoFrame);
    view->setBackgroundBrush(Qt::white);
    view->setMinimumSize(minimum);
    return view;
}

void drawLines(QChartView *view, const std::vector<ChartLine> &lines, const LineChartLook &look)
{
    auto *chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto *x = new QValueAxis;
    x->setTitleText(look.xTitle);
    x->setLabelFormat(QStringLiteral("%.0f"));
    auto *y = new QValueAxis;
    y->setTitleText(look.yTitle);
    y->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    double low = 0.0, high = look.yAtLeast, left = 0.0, right = 1.0;
    bool first = true;
    for (const ChartLine &l : lines) {
        auto *series = new QLineSeries;
        series->setName(l.name);
        series->setColor(l.colour);
        for (const ChartPoint &p : *l.points) {
            series->append(p.x, p.y);
            low = std::min(low, p.y);
            high = std::max(high, p.y);
            left = first ? p.x : std::min(left, p.x);
            right = first ? p.x : std::max(right, p.x);
            first = false;
        }
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
    }
    if (right <= left)
        right = left + 1.0;
    if (high <= low)
        high = low + 1.0;
    x->setRange(left, right);
    x->setTickCount(std::clamp(static_cast<int>(std::lround((right - left) / look.xStep)) + 1, 2, 13));
    y->setRange(low, high);
    y->applyNiceNumbers();
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignTop);
    QChart *old = view->chart();
    view->setChart(chart);
    delete old;
}

// --- Bar charts -------------------------------------------------------------------------------

QChartView *barChart(QWidget *parent, const char *name, const ClassChart &data, const BarChartLook &look)
{
    auto *chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));

    auto *series = new QBarSeries;
    double largest = 0.0;
    for (size_t s = 0; s < data.seriesNames.size(); ++s) {
        auto *set = new QBarSet(QString::fromStdString(data.seriesNames[s]));
        if (s < static_cast<size_t>(look.colours.size())) {
            set->setColor(look.colours[static_cast<qsizetype>(s)]);
            set->setBorderColor(look.colours[static_cast<qsizetype>(s)].darker(140));
        }
        const auto &values = s < data.values.size() ? data.values[s] : std::vector<std::optional<double>>{};
        for (size_t c = 0; c < data.categories.size(); ++c) {
            // An empty cell keeps its category and draws no bar.
            const double v = c < values.size() && values[c] ? *values[c] : 0.0;
            *set << v;
            largest = std::max(largest, v);
        }
        series->append(set);
    }
    chart->addSeries(series);

    QStringList categories;
    for (const std::string &c : data.categories)
        categories << QString::fromStdString(c);
    auto *x = new QBarCategoryAxis;
    x->append(categories);
    x->setTitleText(look.categoryTitle);
    auto *y = new QValueAxis;
    y->setTitleText(look.valueTitle);
    y->setRange(0.0, largest > 0.0 ? largest : 1.0);
    y->applyNiceNumbers();
    y->setMin(0.0);
    y->setLabelFormat(y->max() >= 10.0 ? QStringLiteral("%.0f") : QStringLiteral("%.1f"));
    for (QAbstractAxis *axis : {static_cast<QAbstractAxis *>(x), static_cast<QAbstractAxis *>(y)}) {
        QFont title = axis->titleFont();
        title.setPointSizeF(9.0);
        title.setBold(true);
        axis->setTitleFont(title);
        QFont labels = axis->labelsFont();
        labels.setPointSizeF(9.0);
        axis->setLabelsFont(labels);
    }
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);

    if (look.legendPoints) {
        chart->legend()->setVisible(true);
        chart->legend()->setAlignment(Qt::AlignTop);
        QFont f = chart->legend()->font();
        f.setPointSizeF(*look.legendPoints);
        chart->legend()->setFont(f);
    } else {
        chart->legend()->setVisible(false);
    }

    auto *view = new QChartView(chart, parent);
    view->setObjectName(QLatin1String(name));
    view->setRenderHint(QPainter::Antialiasing);
    // The chart on white from edge to edge, on screen and on paper.
    view->setFrameShape(QFrame::NoFrame);
    view->setBackgroundBrush(Qt::white);
    return view;
}

ClassChart volumeOverAge(const std::vector<VolumePoint> &points)
{
    ClassChart c;
    for (const char *n : kVolumeSeriesNames)
        c.seriesNames.emplace_back(n);
    c.values.resize(3);
    for (const VolumePoint &p : points) {
        c.categories.push_back(p.category);
        c.values[0].emplace_back(p.before);
        c.values[1].emplace_back(p.after);
        c.values[2].emplace_back(p.removed);
    }
    return c;
}

} // namespace tavelo
