#pragma once

// The regional growth-and-yield model for even-aged pine stands: site index,
// initial stand, Weibull diameter distribution, projection, per-class basal
// area and height, stem profile and assortment volumes, thinnings.
// Pure computations; limits are reported by throwing ModelLimitError (the
// simulation must end) or ModelInputError (the entry is refused).

#include "model_error.h"
#include "stand_state.h"

#include <array>

namespace tavelo {

// Constants shared across the model, with exactly these digits.
inline constexpr double kMinusLn005 = 2.99573;         // -ln 0.05, the 95 % point
inline constexpr double kMinusLn007 = 2.65926;         // -ln 0.07, the 93 % point
inline constexpr double kBasalAreaFactor = 0.78539 / 10000.0; // m2 of a tree of 1 cm
inline constexpr double kMaxBasalArea = 45.0;          // m2/ha inside the model

// --- Site quality ---------------------------------------------------------
double SiteIndexFromHeight(double t, double hdom);
double DominantHeightAtAge(double t, double S);

// --- Weibull distribution -------------------------------------------------
double WeibullCdf(double a, double b, double c, double x);
double WeibullPdf(double a, double b, double c, double x);
double WeibullQuadMeanDiameter(double a, double b, double c);
double GammaFunction(double x);
double WeibullShapeEquation(double p, double q, double r, double c);
void SolveWeibullShape(double G, double N, double a, double P95, double &c);
// The distribution of a stand with basal area G, N trees and location a whose
// 95th percentile is P95: the shape solved for, then the scale that puts the
// percentile there.
struct WeibullShapeAndScale {
    double shape = 0.0;
    double scale = 0.0;
};
WeibullShapeAndScale WeibullFromPercentile(double G, double N, double a, double P95);

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

// --- Initial unthinned stand ----------------------------------------------
// Exactly one of N and N0 is given; the other, G, dmin and the Weibull
// parameters are derived and written back.
void InitUnthinnedStand(double t, double S, double hdom, StateValue &N, StateValue &N0, StateValue &G,
                        StateValue &dmin, StateValue &a, StateValue &b, StateValue &c);

// --- Projection -------------------------------------------------------------
void ProjectStand(double t1, double G1, double N1, double S, double a1, double b1, double c1, double t2,
                  double &G2, double &N2, double &dmin2, double &a2, double &b2, double &c2);
// The model's test of the projected distribution; as the model stands it never
// rejects a solution with a2 > 0 (ok = 1 when the scan passes 80 cm).
void CheckProjectedDistribution(double a1, double b1, double c1, double N1, double a2, double b2,
                                double c2, double N2, int &ok);

// --- Basal area and height per diameter class ------------------------------
double BasalAreaDensity(double a, double b, double c, double N, double x);
void ClassBasalArea(double d1, double d2, double N, double a, double b, double c, double &Gc);
double TreeHeight(double t, double hdom, double G, double N, double d);

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
void ThinMechanical(double a, double b, double c, double N, double G, double f, double &Gr, double &ar,
                    double &br, double &cr, double &Nr);
// Gr is the target residual basal area on entry and stays exactly that; u is
// the "entered unthinned" flag (0 or 1) and is 0 afterwards.
void ThinFromBelow(double t, double S, double a, double b, double c, double N, double G, double dmin,
                   double &u, double Gr, double &ar, double &br, double &cr, double &Nr);
void CheckThinnedDistribution(double a, double b, double c, double N, double ar, double br, double cr,
                              double Nr, int &ok);

} // namespace tavelo
