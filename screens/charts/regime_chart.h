#pragma once

#include "inventory/plan_candidates.h"
#include "inventory/plan_job.h"
#include "session/results/regime_comparison.h"

#include <QByteArray>
#include <QSize>
#include <QString>

#include <optional>

#include <vector>

QT_BEGIN_NAMESPACE
class QChart;
QT_END_NAMESPACE

namespace tavelo {

// The comparison as a bar chart: ages as categories, for every regime its
// standing volume and its cumulative removed volume side by side.
QChart *makeComparisonChart(const std::vector<RegimeSeries> &regimes);

// The picture's size: taller with more regimes, so that the legend (one line
// per bar set) is never cut off.
QSize comparisonChartSize(size_t regimeCount);

// Renders the chart without a display as the bytes of a PNG or SVG file (the
// format "png" or "svg"); nothing for another format or when drawing fails.
// The caller writes the bytes, whole or not at all.
std::optional<QByteArray> renderComparisonChart(const std::vector<RegimeSeries> &regimes, const QString &format);

// Any chart rendered so, at `size`; takes the chart.
std::optional<QByteArray> renderChart(QChart *chart, QSize size, const QString &format);

// A forest plan's harvest per period as bars: sawlog, roundwood and fuelwood
// stacked by period, drawn the way the comparison is.
QChart *makeHarvestChart(const std::vector<PlanPeriod> &periods);
// The harvest chart rendered as renderChart does, at the plan's picture size.
std::optional<QByteArray> renderHarvestChart(const std::vector<PlanPeriod> &periods, const QString &format);

// The front between value and carbon: value (€) against the forest's mean
// carbon stock (t C/ha), its points joined, the anchors and the knee named.
QChart *makeFrontChart(const std::vector<FrontPoint> &front);
std::optional<QByteArray> renderFrontChart(const std::vector<FrontPoint> &front, const QString &format);

} // namespace tavelo
