#pragma once

// The inventory map's colour classes and their legend, from the values of the
// column chosen: five classes of equal width from light to dark green, whole
// numbers for a column of whole numbers, and only the classes that hold a
// stand. Plain values, no widgets.

#include <QColor>
#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

namespace tavelo {

struct ColourClass {
    double low = 0.0;  // the class's limits as the legend shows them
    double high = 0.0;
    QString label;     // "45 a 48", "12.5 a 17.0", or one value
    QColor colour;
    size_t stands = 0;
};

struct ColourClasses {
    std::vector<ColourClass> classes; // lowest first, none empty
    std::vector<int> classOf;         // by stand: its class, or -1 without a value
};

inline constexpr int kMostColourClasses = 5;

// The classes of `values` (by stand; none, NaN or infinite: no value).
ColourClasses colourClasses(const std::vector<std::optional<double>> &values);

// The colour of a stand without a value, and of one not simulated yet.
QColor noValueColour();

struct LegendEntry {
    QColor colour;
    QString text;
};
// The legend's lines: the classes, then "sem valor" when a stand has none.
std::vector<LegendEntry> legendOf(const ColourClasses &classes);

} // namespace tavelo
