#pragma once

#include "results/regime_comparison.h"

#include <QString>

#include <vector>

QT_BEGIN_NAMESPACE
class QChart;
QT_END_NAMESPACE

namespace tavelo {

// The comparison as a bar chart: ages as categories, for every regime its
// standing volume and its cumulative removed volume side by side.
QChart *makeComparisonChart(const std::vector<RegimeSeries> &regimes);

// Renders the chart without a display into a PNG or SVG file (by extension).
// False when the file cannot be written or the extension is neither.
bool renderComparisonChart(const std::vector<RegimeSeries> &regimes, const QString &path);

} // namespace tavelo
