#pragma once

// Management regimes compared by the volume they grow: at every age the volume
// standing and the volume removed by thinnings so far.

#include "model/stand_state.h"

#include <optional>
#include <string>
#include <vector>

namespace tavelo {

struct RegimePoint {
    double age = 0.0;
    double standing = 0.0;         // total volume of the stand left at that age, m3/ha
    double removedCumulative = 0.0; // volume removed by the thinnings up to that age, m3/ha
};

struct RegimeSeries {
    std::string name; // the scenario file's name
    std::vector<RegimePoint> points;
    std::optional<double> npv; // €/ha, when the scenario was valued
    std::optional<double> meanCarbonStock = std::nullopt; // t C/ha, when the scenario has a carbon section
};

// From a simulation's record: at an age with a thinning the stand left is the
// "D" row, and the removal is the "AD" row's volume minus the "D" row's.
RegimeSeries regimeSeries(const std::string &name, const StandState &state);

// The regimes' names as the chart and the CSV show them: the scenario files'
// names, with as many of their folders in front as it takes to tell two files
// of the same name apart, and a number after a file given twice.
std::vector<std::string> regimeLabels(const std::vector<std::string> &scenarioPaths);

// "regime,age,standing,removedCumulative" with one line per regime and age;
// when a regime was valued, a fifth column "npv" holds each regime's net
// present value on each of its lines (empty for a regime not valued); when a
// regime has a carbon section, a last column "meanCarbonStock" its mean total
// carbon stock the same way.
std::string comparisonCsv(const std::vector<RegimeSeries> &regimes);

// Chart texts.
inline constexpr const char *kComparisonAgeAxis = "Idade (anos)";
inline constexpr const char *kComparisonVolumeAxis = "Volume (m3/ha)";
std::string standingSetName(const std::string &regime);
std::string removedSetName(const std::string &regime);
// "A.json (VAL 1234.56 €/ha)": the regime's name with its value, for the legend.
std::string valuedRegimeName(const RegimeSeries &regime);

} // namespace tavelo
