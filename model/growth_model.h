#pragma once

// The regional growth-and-yield model for even-aged pine stands: site index,
// initial stand, Weibull diameter distribution, projection, per-class basal
// area and height, stem profile and assortment volumes, thinnings.
// Pure computations; limits are reported by throwing ModelLimitError (the
// simulation must end) or ModelInputError (the entry is refused).

#include "model_error.h"
#include "stand_state.h"

#include <array>
#include <optional>

namespace tavelo {

// Constants shared across the model, with exactly these digits.
inline constexpr double kMinusLn005 = 2.99573;         // -ln 0.05, the 95 % point
inline constexpr double kMinusLn007 = 2.65926;         // -ln 0.07, the 93 % point
inline constexpr double kBasalAreaFactor = 0.78539 / 10000.0; // m2 of a tree of 1 cm
inline constexpr double kMaxBasalArea = 45.0;          // m2/ha inside the model

// --- Site quality ---------------------------------------------------------
double SiteIndexFromHeight(double age, double dominantHeight);
double DominantHeightAtAge(double age, double siteIndex);

// --- Weibull distribution -------------------------------------------------
double WeibullCdf(double a, double b, double c, double x);
double WeibullPdf(double a, double b, double c, double x);
double WeibullQuadMeanDiameter(double a, double b, double c);
double GammaFunction(double x);
double WeibullShapeEquation(double p, double q, double r, double c);
// The shape c of the distribution with location a whose 95th percentile is
// percentile95 and whose trees have the stand's quadratic mean diameter.
double SolveWeibullShape(double basalArea, double trees, double location, double percentile95);
// The same distribution: the shape solved for, then the scale that puts the
// percentile there.
struct WeibullShapeAndScale {
    double shape = 0.0;
    double scale = 0.0;
};
WeibullShapeAndScale WeibullFromPercentile(double basalArea, double trees, double location, double percentile95);

// --- A stand given by its trees per 5 cm diameter class --------------------
// Class k (0 ... 12) is centred on 5 (k + 1) cm and spans 5k + 2.5 to 5k + 7.5 cm.
inline constexpr int kDiameterClasses = 13;
struct ClassStatistics {
    double trees = 0.0;       // the sum of the class counts
    double basalArea = 0.0;   // m2/ha, every tree counted at its class centre
    double minDiameter = 0.0; // the lower bound of the smallest class with trees
    // The diameter below which 90 % of the trees lie, interpolated inside its
    // class; it stands where the stand-parameter route has its 95th percentile.
    double percentile = 0.0;
};
// Needs at least one tree.
ClassStatistics StatisticsOfClasses(const std::array<int, kDiameterClasses> &counts);

// --- A stand as the model carries it ----------------------------------------
// Trees per hectare, basal area (m2/ha) and the Weibull diameter distribution:
// location a, scale b, shape c (cm).
struct WeibullStand {
    double trees = 0.0;
    double basalArea = 0.0;
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
};

// --- Initial unthinned stand ----------------------------------------------
// One of the two counts is given (neither is refused); the trees alive are
// used when both are. The site index does not enter.
struct UnthinnedStandInput {
    double age = 0.0;
    double siteIndex = 0.0;
    double dominantHeight = 0.0;
    std::optional<double> treesAlive;
    std::optional<double> treesPlanted;
};
struct UnthinnedStand {
    WeibullStand stand; // its trees are the trees alive
    double treesPlanted = 0.0;
    double minDiameter = 0.0;
};
UnthinnedStand InitUnthinnedStand(const UnthinnedStandInput &input);

// --- Projection -------------------------------------------------------------
// The current stand's scale and shape do not enter.
struct StandProjection {
    WeibullStand stand;
    double minDiameter = 0.0;
};
StandProjection ProjectStand(double age, double siteIndex, const WeibullStand &current, double targetAge);
// The model's test of the projected distribution; as the model stands it never
// rejects a solution with a location above 0 (true when the scan passes 80 cm).
bool CheckProjectedDistribution(const WeibullStand &before, const WeibullStand &after);

// --- Basal area and height per diameter class ------------------------------
double BasalAreaDensity(double a, double b, double c, double trees, double diameter);
// The basal area of the trees between two diameters; the stand's own basal
// area does not enter.
double ClassBasalArea(double lowerDiameter, double upperDiameter, const WeibullStand &stand);
double TreeHeight(double age, double dominantHeight, double basalArea, double trees, double diameter);

// --- Stem profile and assortment volumes ------------------------------------
double TaperCoefficient(double d, double h, double withBark);
double HeightAtDiameter(double d, double h, double b1, double b2, double b3, double dx);
// These read the assortment dimensions: from the stand state of the
// simulation, or from the dimensions given.
double SawlogVolume(double d, double h, double withBark, const StandState &state);
double RoundwoodVolume(double d, double h, double vSaw, double withBark, const StandState &state);
double TotalVolume(double d, double h, double withBark, const StandState &state);
double SawlogVolume(double d, double h, double withBark, const AssortmentDimensions &dims);
double RoundwoodVolume(double d, double h, double vSaw, double withBark, const AssortmentDimensions &dims);
double TotalVolume(double d, double h, double withBark, const AssortmentDimensions &dims);

// --- Thinnings ----------------------------------------------------------------
// The residual stand after removing the share (0 to 1) of the trees.
WeibullStand ThinMechanical(const WeibullStand &stand, double share);

// The residual stand keeps exactly the residual basal area asked for. The
// age and the site index do not enter.
struct FromBelowThinning {
    double age = 0.0;
    double siteIndex = 0.0;
    WeibullStand stand;
    double minDiameter = 0.0;
    double enteredUnthinned = 0.0; // the stand's flag, 0 or 1
    double residualBasalArea = 0.0;
};
struct ThinnedFromBelow {
    WeibullStand residual;
    double enteredUnthinned = 0.0; // 0: the stand now counts as thinned before
};
ThinnedFromBelow ThinFromBelow(const FromBelowThinning &thinning);
bool CheckThinnedDistribution(const WeibullStand &before, const WeibullStand &residual);

} // namespace tavelo
