#include "summary.h"

#include "base/numeric_text.h"
#include "session/structure/sim_record.h"

#include <algorithm>
#include <cmath>

namespace tavelo {

const std::array<int, kRecordColumns> kSummaryWidthsTwips = {450, 510, 410, 700, 1140, 710, 1150, 1285, 1360, 1250};

namespace {

// A cell text as a whole number, halves to the even neighbour.
int wholeNumber(const std::string &text)
{
    const auto v = parseNumber(text);
    if (!v)
        return 0;
    return toInt16HalfEven(*v).value_or(0);
}

// " 25": the leading blank makes a chart take the column as labels. Appended
// rather than `" " + text`, which GCC 12 warns falsely about when optimising.
std::string blankThen(const std::string &text)
{
    std::string label(1, ' ');
    label += text;
    return label;
}

std::string categoryLabel(double centre)
{
    return blankThen(plainNumberText(roundHalfEven(centre)));
}

std::optional<double> cellNumber(const std::string &text)
{
    return parseNumber(text);
}

} // namespace

SummaryTable summaryTable(const StandState &state, const ScreenEntries &entries)
{
    SummaryTable t;
    t.lblV = volumesTitle(state.withBark.value(), entries.stumpHeightText);
    if (state.withBark.isEmptyOrNull())
        t.lblV = volumesTitle(1.0, entries.stumpHeightText);
    const int n = recordRowCount(state);
    for (int i = 0; i < n; ++i) {
        SummaryRow row;
        for (int c = 0; c < kRecordColumns; ++c)
            row[c] = recordCellText(state.record[i][c]);
        t.rows.push_back(row);
    }
    return t;
}

std::vector<VolumePoint> summaryVolumes(const SummaryTable &table)
{
    std::vector<VolumePoint> points;
    const size_t rows = table.rows.size();
    size_t r = 0;
    while (r < rows) {
        const int thisAge = wholeNumber(table.rows[r][1]);
        const int nextAge = r + 1 < rows ? wholeNumber(table.rows[r + 1][1]) : 0;
        VolumePoint p;
        p.category = blankThen(std::to_string(thisAge));
        p.before = wholeNumber(table.rows[r][6]);
        // Only an existing next row can pair: a last row aged under half a year
        // reads as 0, like the missing next row.
        if (r + 1 < rows && nextAge == thisAge) {
            // The stand before a thinning and the stand it left share the age.
            p.after = wholeNumber(table.rows[r + 1][6]);
            p.removed = p.before - p.after;
            ++r;
        }
        points.push_back(p);
        ++r;
    }
    return points;
}

ClassChart treesChart(const StandTable &stand)
{
    ClassChart c;
    c.seriesNames = {"NArv/ha"};
    c.values.resize(1);
    for (int r = 1; r <= stand.classRowCount(); ++r) {
        c.categories.push_back(categoryLabel(parseNumber(stand.rows[r][0]).value_or(0.0)));
        c.values[0].push_back(cellNumber(stand.rows[r][1]));
    }
    return c;
}

ClassChart volumeChart(const StandTable &stand)
{
    ClassChart c;
    c.seriesNames = {"Lenha", "Rolaria", "Madeira"};
    c.values.resize(3);
    for (int r = 1; r <= stand.classRowCount(); ++r) {
        c.categories.push_back(categoryLabel(parseNumber(stand.rows[r][0]).value_or(0.0)));
        c.values[0].push_back(cellNumber(stand.rows[r][7]));
        c.values[1].push_back(cellNumber(stand.rows[r][5]));
        c.values[2].push_back(cellNumber(stand.rows[r][6]));
    }
    return c;
}

ClassChart thinningChart(const StandTable &before, const StandTable &after)
{
    ClassChart c;
    c.seriesNames = {"Antes do desbaste", "Após o desbaste"};
    c.values.resize(2);
    const int rowsBefore = static_cast<int>(before.rows.size());
    const int rowsAfter = static_cast<int>(after.rows.size());
    const int p = std::max(rowsBefore, rowsAfter) - 2;
    if (p <= 0)
        return c;
    auto firstCentre = [](const StandTable &t) -> std::optional<double> {
        if (t.classRowCount() < 1)
            return std::nullopt;
        return parseNumber(t.rows[1][0]);
    };
    const auto f5 = firstCentre(before);
    const auto f7 = firstCentre(after);
    const double c0 = std::min(f5.value_or(f7.value_or(0.0)), f7.value_or(f5.value_or(0.0)));
    for (int k = 1; k <= p; ++k)
        c.categories.push_back(categoryLabel(c0 + 5.0 * (k - 1)));
    c.values[0].assign(p, std::nullopt);
    c.values[1].assign(p, std::nullopt);
    auto place = [&](const StandTable &t, int series) {
        for (int i = 1; i <= t.classRowCount(); ++i) {
            const double centre = parseNumber(t.rows[i][0]).value_or(0.0);
            const long idx = std::lround((centre - c0) / 5.0);
            // A class outside the categories is left out of the chart.
            if (idx >= 0 && idx < p)
                c.values[series][idx] = cellNumber(t.rows[i][1]);
        }
    };
    place(before, 0);
    place(after, 1);
    return c;
}

} // namespace tavelo
