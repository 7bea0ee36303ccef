#include "colour_classes.h"

#include "base/numeric_text.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tavelo {

namespace {

// From light to dark green.
constexpr std::array<QRgb, kMostColourClasses> kGreens = {qRgb(237, 248, 233), qRgb(186, 228, 179),
                                                          qRgb(116, 196, 118), qRgb(49, 163, 84), qRgb(0, 109, 44)};

QString limitText(double v, int decimals)
{
    const std::string text = formatFixed(v, decimals);
    // "-0" and "-0.0" read as zero.
    return std::all_of(text.begin(), text.end(), [](char c) { return c == '-' || c == '0' || c == '.'; })
               ? QString::fromStdString(formatFixed(0.0, decimals))
               : QString::fromStdString(text);
}

// Enough decimals for limits `width` apart to read apart, at least one.
int decimalsFor(double width)
{
    return std::clamp(static_cast<int>(std::ceil(-std::log10(width))) + 1, 1, 6);
}

// Of `count` classes before the empty ones go, class k takes a green spread
// over the whole scale, so that the darkest always means the largest values.
QColor greenOf(int k, int count)
{
    const int last = kMostColourClasses - 1;
    return QColor(kGreens[count <= 1 ? last : static_cast<size_t>(std::lround(double(k) * last / (count - 1)))]);
}

} // namespace

QColor noValueColour() { return QColor(200, 200, 200); }

ColourClasses colourClasses(const std::vector<std::optional<double>> &values)
{
    ColourClasses out;
    out.classOf.assign(values.size(), -1);
    bool any = false;
    bool whole = true;
    double lo = 0.0, hi = 0.0;
    for (const auto &v : values) {
        if (!v || !std::isfinite(*v))
            continue;
        lo = any ? std::min(lo, *v) : *v;
        hi = any ? std::max(hi, *v) : *v;
        whole = whole && std::floor(*v) == *v && std::abs(*v) < 1e15;
        any = true;
    }
    if (!any)
        return out;

    // The classes before the empty ones go: [low, high] each.
    std::vector<ColourClass> all;
    double width = 0.0;
    if (lo == hi) {
        all.push_back({lo, hi, limitText(lo, whole ? 0 : decimalsFor(std::max(std::abs(lo), 1.0))), {}, 0});
    } else if (whole) {
        // Whole numbers: each class spans whole values, the last ends on the largest.
        const double span = hi - lo + 1;
        width = std::ceil(span / kMostColourClasses);
        const int count = static_cast<int>(std::ceil(span / width));
        for (int k = 0; k < count; ++k) {
            const double low = lo + k * width;
            const double high = std::min(low + width - 1, hi);
            all.push_back({low, high,
                           low == high ? limitText(low, 0) : limitText(low, 0) + QStringLiteral(" a ") + limitText(high, 0),
                           {}, 0});
        }
    } else {
        width = (hi - lo) / kMostColourClasses;
        const int decimals = decimalsFor(width);
        for (int k = 0; k < kMostColourClasses; ++k) {
            const double low = lo + k * width;
            const double high = k + 1 == kMostColourClasses ? hi : lo + (k + 1) * width;
            all.push_back({low, high, limitText(low, decimals) + QStringLiteral(" a ") + limitText(high, decimals), {}, 0});
        }
    }
    const int count = static_cast<int>(all.size());
    for (int k = 0; k < count; ++k)
        all[k].colour = greenOf(k, count);

    std::vector<int> classOfAll(values.size(), -1);
    for (size_t i = 0; i < values.size(); ++i) {
        if (!values[i] || !std::isfinite(*values[i]))
            continue;
        const int k = width > 0.0 ? std::clamp(static_cast<int>(std::floor((*values[i] - lo) / width)), 0, count - 1) : 0;
        classOfAll[i] = k;
        ++all[k].stands;
    }
    // Only the classes that hold a stand.
    std::vector<int> kept(all.size(), -1);
    for (int k = 0; k < count; ++k) {
        if (all[k].stands == 0)
            continue;
        kept[k] = static_cast<int>(out.classes.size());
        out.classes.push_back(all[k]);
    }
    for (size_t i = 0; i < values.size(); ++i)
        out.classOf[i] = classOfAll[i] < 0 ? -1 : kept[classOfAll[i]];
    return out;
}

std::vector<LegendEntry> legendOf(const ColourClasses &classes)
{
    std::vector<LegendEntry> entries;
    for (const ColourClass &c : classes.classes)
        entries.push_back({c.colour, c.label});
    if (std::find(classes.classOf.begin(), classes.classOf.end(), -1) != classes.classOf.end())
        entries.push_back({noValueColour(), QStringLiteral("sem valor")});
    return entries;
}

} // namespace tavelo
