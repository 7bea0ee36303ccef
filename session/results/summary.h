#pragma once

#include "session/entry/screen_entries.h"
#include "model/stand_state.h"
#include "session/structure/stand_table.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tavelo {

// Column widths (twips) of the summary table; the headers are the record's.
extern const std::array<int, kRecordColumns> kSummaryWidthsTwips;

using SummaryRow = std::array<std::string, kRecordColumns>;

// The summary window's title line and table: one row per recorded state, the
// record's texts repeated character for character.
struct SummaryTable {
    std::string lblV;
    std::vector<SummaryRow> rows; // data rows only
};
SummaryTable summaryTable(const StandState &state, const ScreenEntries &entries);

// One category of the volume chart over age.
struct VolumePoint {
    std::string category; // " 25"
    int before = 0;       // "Volume Principal"
    int after = 0;        // "Volume Principal após Desbaste"
    int removed = 0;      // "Volume Desbastado"
    bool operator==(const VolumePoint &) const = default;
};
inline constexpr std::array<const char *, 3> kVolumeSeriesNames = {
    "Volume Principal", "Volume Principal após Desbaste", "Volume Desbastado"};

// The chart data built from the summary table: an "AD" row and the "D" row of
// the same age make one category with the volume before, after and removed.
std::vector<VolumePoint> summaryVolumes(const SummaryTable &table);

// Bar chart data by diameter class: categories " 10", " 15", ... and one value
// per series and category; a missing value shows no bar.
struct ClassChart {
    std::vector<std::string> categories;
    std::vector<std::string> seriesNames;
    std::vector<std::vector<std::optional<double>>> values; // [series][category]
};
// The stand screen's charts: trees per class, and volume per class by assortment.
ClassChart treesChart(const StandTable &stand);
ClassChart volumeChart(const StandTable &stand);
// The after-thinning chart: trees per class before and after the thinning.
ClassChart thinningChart(const StandTable &before, const StandTable &after);

} // namespace tavelo
