#include "regime_chart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QStackedBarSeries>
#include <QBuffer>
#include <QLineSeries>
#include <QScatterSeries>
#include <QChart>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QValueAxis>

#include <algorithm>
#include <map>
#include <set>

namespace tavelo {

namespace {

// Bars over categories, the value axis from 0 to a little above `top`, the
// legend at the right (one line a set: the names are long).
QChart *barChartOver(QAbstractBarSeries *series, const QStringList &categories, const QString &categoryTitle,
                     const QString &valueTitle, double top)
{
    auto *chart = new QChart;
    chart->addSeries(series);
    auto *x = new QBarCategoryAxis;
    x->append(categories);
    x->setTitleText(categoryTitle);
    auto *y = new QValueAxis;
    y->setRange(0.0, top > 0.0 ? top * 1.1 : 1.0);
    y->setTitleText(valueTitle);
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->applyNiceNumbers();
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->setAnimationOptions(QChart::NoAnimation);
    return chart;
}

} // namespace

QChart *makeComparisonChart(const std::vector<RegimeSeries> &regimes)
{
    std::set<double> ages;
    for (const RegimeSeries &r : regimes)
        for (const RegimePoint &p : r.points)
            ages.insert(p.age);
    QStringList categories;
    for (double a : ages)
        categories << QStringLiteral(" %1").arg(a);

    auto *series = new QBarSeries;
    series->setBarWidth(0.9);
    double top = 0.0;
    for (const RegimeSeries &r : regimes) {
        auto *standing = new QBarSet(QString::fromStdString(standingSetName(valuedRegimeName(r))));
        auto *removed = new QBarSet(QString::fromStdString(removedSetName(r.name)));
        std::map<double, const RegimePoint *> byAge;
        for (const RegimePoint &p : r.points)
            byAge[p.age] = &p;
        for (double a : ages) {
            const auto it = byAge.find(a);
            *standing << (it == byAge.end() ? 0.0 : it->second->standing);
            *removed << (it == byAge.end() ? 0.0 : it->second->removedCumulative);
            if (it != byAge.end())
                top = std::max({top, it->second->standing, it->second->removedCumulative});
        }
        series->append(standing);
        series->append(removed);
    }

    return barChartOver(series, categories, QString::fromUtf8(kComparisonAgeAxis),
                        QString::fromUtf8(kComparisonVolumeAxis), top);
}

QSize comparisonChartSize(size_t regimeCount)
{
    // Two legend lines per regime, about 24 pixels each, plus the chart's margins.
    const int legendHeight = static_cast<int>(regimeCount) * 2 * 24 + 160;
    return {1400, std::max(800, legendHeight)};
}

std::optional<QByteArray> renderComparisonChart(const std::vector<RegimeSeries> &regimes, const QString &format)
{
    return renderChart(makeComparisonChart(regimes), comparisonChartSize(regimes.size()), format);
}

std::optional<QByteArray> renderChart(QChart *chart, QSize size, const QString &format)
{
    // The chart laid out in a scene of its own, so that no window is needed.
    QGraphicsScene scene;
    scene.addItem(chart);
    chart->setGeometry(QRectF(QPointF(0, 0), size));
    scene.setSceneRect(QRectF(QPointF(0, 0), size));
    auto draw = [&](QPainter &p) {
        p.setRenderHint(QPainter::Antialiasing);
        scene.render(&p, QRectF(QPointF(0, 0), size), scene.sceneRect());
    };

    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return std::nullopt;
    if (format.compare(QLatin1String("png"), Qt::CaseInsensitive) == 0) {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        draw(p);
        p.end();
        if (!image.save(&buffer, "PNG"))
            return std::nullopt;
        return bytes;
    }
    if (format.compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(QStringLiteral("Volume (m3/ha)"));
        QPainter p;
        if (!p.begin(&svg))
            return std::nullopt;
        draw(p);
        if (!p.end() || bytes.isEmpty())
            return std::nullopt;
        return bytes;
    }
    return std::nullopt;
}

QChart *makeHarvestChart(const std::vector<PlanPeriod> &periods)
{
    QStringList categories;
    auto *sawlog = new QBarSet(QStringLiteral("Madeira"));
    auto *roundwood = new QBarSet(QStringLiteral("Rolaria"));
    auto *firewood = new QBarSet(QStringLiteral("Lenha"));
    double top = 0.0;
    for (const PlanPeriod &p : periods) {
        categories << QStringLiteral("%1-%2").arg(p.firstYear).arg(p.lastYear);
        *sawlog << p.sawlog;
        *roundwood << p.roundwood;
        *firewood << p.firewood;
        top = std::max(top, p.sawlog + p.roundwood + p.firewood);
    }
    auto *series = new QStackedBarSeries;
    series->setBarWidth(0.8);
    series->append(sawlog);
    series->append(roundwood);
    series->append(firewood);
    QChart *chart = barChartOver(series, categories, QStringLiteral("Período"), QStringLiteral("Volume (m3)"), top);
    chart->setTitle(QStringLiteral("Volume cortado por período (m3)"));
    return chart;
}

std::optional<QByteArray> renderHarvestChart(const std::vector<PlanPeriod> &periods, const QString &format)
{
    return renderChart(makeHarvestChart(periods), QSize(1200, 800), format);
}

QChart *makeFrontChart(const std::vector<FrontPoint> &front)
{
    auto *chart = new QChart;
    auto *line = new QLineSeries;
    line->setName(QStringLiteral("Planos da frente"));
    const auto marked = [](const QString &name, const QColor &colour) {
        auto *s = new QScatterSeries;
        s->setName(name);
        s->setMarkerSize(14.0);
        s->setColor(colour);
        return s;
    };
    QScatterSeries *valueAnchor = marked(QStringLiteral("Âncora: mais valor"), QColor(0x1f, 0x77, 0xb4));
    QScatterSeries *carbonAnchor = marked(QStringLiteral("Âncora: mais carbono"), QColor(0x2c, 0xa0, 0x2c));
    QScatterSeries *knee = marked(QStringLiteral("Joelho"), QColor(0xd6, 0x27, 0x28));
    double xLow = 0.0, xHigh = 0.0, yLow = 0.0, yHigh = 0.0;
    for (size_t i = 0; i < front.size(); ++i) {
        const FrontPoint &p = front[i];
        const QPointF at(p.carbonPerHa, p.value);
        line->append(at);
        if (p.kind == FrontPoint::Kind::ValueAnchor)
            valueAnchor->append(at);
        if (p.kind == FrontPoint::Kind::CarbonAnchor)
            carbonAnchor->append(at);
        if (p.knee)
            knee->append(at);
        xLow = i ? std::min(xLow, at.x()) : at.x();
        xHigh = i ? std::max(xHigh, at.x()) : at.x();
        yLow = i ? std::min(yLow, at.y()) : at.y();
        yHigh = i ? std::max(yHigh, at.y()) : at.y();
    }
    for (QAbstractSeries *s : std::initializer_list<QAbstractSeries *>{line, valueAnchor, carbonAnchor, knee})
        chart->addSeries(s);
    auto *x = new QValueAxis;
    x->setTitleText(QStringLiteral("Stock médio de carbono no horizonte (t C/ha)"));
    auto *y = new QValueAxis;
    y->setTitleText(QStringLiteral("Valor do plano (€)"));
    y->setLabelFormat(QStringLiteral("%.0f"));
    // A margin around the points, so that the markers are not cut by the frame.
    const double dx = std::max(1e-6, (xHigh - xLow) * 0.08), dy = std::max(1.0, (yHigh - yLow) * 0.08);
    x->setRange(xLow - dx, xHigh + dx);
    y->setRange(yLow - dy, yHigh + dy);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries *s : chart->series()) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
    chart->setTitle(QStringLiteral("Valor e carbono: a frente dos planos"));
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

std::optional<QByteArray> renderFrontChart(const std::vector<FrontPoint> &front, const QString &format)
{
    return renderChart(makeFrontChart(front), QSize(1200, 800), format);
}

} // namespace tavelo
