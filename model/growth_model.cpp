#include "growth_model.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tavelo {

namespace {

void requireFinite(double v)
{
    // A result that is not a number means the stand is outside the domain of
    // the equations; the model has no answer for it.
    if (!std::isfinite(v))
        throw ModelLimitError::outside(true);
}

// A distribution whose scale is not positive describes no stand.
void requirePositiveScale(double b)
{
    if (!(b > 0.0))
        throw ModelLimitError::outside(true);
}

double siteExponent(double age)
{
    if (!(age > 0.0))
        throw ModelInputError("A idade do povoamento deve ser maior que zero.");
    return 2.694076 / std::sqrt(age) - 0.380999;
}

} // namespace

// --- Site quality ---------------------------------------------------------

double SiteIndexFromHeight(double age, double dominantHeight)
{
    return dominantHeight * std::pow(10.0, siteExponent(age));
}

double DominantHeightAtAge(double age, double siteIndex)
{
    return siteIndex * std::pow(10.0, -siteExponent(age));
}

// --- Weibull distribution -------------------------------------------------

double WeibullCdf(double a, double b, double c, double x)
{
    return 1.0 - std::exp(-std::pow((x - a) / b, c));
}

double WeibullPdf(double a, double b, double c, double x)
{
    return (c / b) * std::pow((x - a) / b, c - 1.0) * std::exp(-std::pow((x - a) / b, c));
}

double WeibullQuadMeanDiameter(double a, double b, double c)
{
    return std::sqrt(a * a + 2.0 * a * b * GammaFunction(1.0 + 1.0 / c) + b * b * GammaFunction(1.0 + 2.0 / c));
}

double GammaFunction(double x)
{
    if (!(x > 0.0) || !std::isfinite(x))
        throw ModelLimitError::outside(true);
    // Shift the argument up to 20, remembering the logarithms of the factors
    // removed, then use Stirling's series there.
    double s = 0.0;
    while (x < 20.0) {
        s += std::log(x);
        x += 1.0;
    }
    const double L = (x - 0.5) * std::log(x) - x + 0.918938533204673 + 1.0 / (12.0 * x) -
                     1.0 / (360.0 * std::pow(x, 3.0)) + 1.0 / (1260.0 * std::pow(x, 5.0)) -
                     1.0 / (1680.0 * std::pow(x, 7.0)) + 1.0 / (1188.0 * std::pow(x, 9.0)) -
                     691.0 / (360360.0 * std::pow(x, 11.0)) + 1.0 / (156.0 * std::pow(x, 13.0));
    return std::exp(L - s);
}

namespace {

// What the shape equation takes from the shape alone.
struct ShapeTerms {
    double gamma2 = 0.0, power2 = 0.0, gamma1 = 0.0, power1 = 0.0;
};

ShapeTerms shapeTerms(double c)
{
    return {GammaFunction(1.0 + 2.0 / c), std::pow(kMinusLn005, 2.0 / c), GammaFunction(1.0 + 1.0 / c),
            std::pow(kMinusLn005, 1.0 / c)};
}

double shapeEquation(double p, double q, double r, const ShapeTerms &t)
{
    return r + q * t.gamma2 / t.power2 + p * t.gamma1 / t.power1;
}

// The bisection below always tries the same shapes: the interval's lower
// end, then midpoints that depend only on which halves were kept. Their terms
// are worked out once per process, the very same numbers: index 0 holds the
// lower end, 1 the first midpoint, and 2k and 2k + 1 the midpoints of the
// lower and upper halves of the interval whose midpoint is k.
constexpr double kShapeLow = 0.75;
constexpr double kShapeHigh = 30.0;
constexpr int kTabulatedHalvings = 12; // 29.25 / 2^12 is below the 0.01 that stops the bisection

const std::vector<ShapeTerms> &bisectionShapeTerms()
{
    static const std::vector<ShapeTerms> terms = [] {
        std::vector<ShapeTerms> t(size_t{1} << kTabulatedHalvings);
        t[0] = shapeTerms(kShapeLow);
        auto fill = [&](auto &self, size_t k, double lo, double hi) -> void {
            if (k >= t.size())
                return;
            const double mid = (hi + lo) / 2.0;
            t[k] = shapeTerms(mid);
            self(self, 2 * k, lo, mid);
            self(self, 2 * k + 1, mid, hi);
        };
        fill(fill, 1, kShapeLow, kShapeHigh);
        return t;
    }();
    return terms;
}

} // namespace

double WeibullShapeEquation(double p, double q, double r, double c)
{
    return shapeEquation(p, q, r, shapeTerms(c));
}

double SolveWeibullShape(double basalArea, double trees, double location, double percentile95)
{
    const double G = basalArea, N = trees, a = location, P95 = percentile95;
    if (!(N > 0.0) || !std::isfinite(N) || !std::isfinite(G) || !std::isfinite(a) || !std::isfinite(P95))
        throw ModelInputError("O número de árvores deve ser maior que zero.");
    const double p = 2.0 * a * (P95 - a);
    const double q = std::pow(P95 - a, 2.0);
    const double dg2 = G / (N * 0.78539 / 10000.0);
    const double r = a * a - dg2;

    // Bisection with exact comparisons: the result is always the midpoint of an
    // interval of width 29.25 / 2^12, so every stand gets a shape on that grid.
    // m(lo) is carried from one iteration to the next rather than evaluated
    // anew: the equation is a pure function, so the values are the same.
    const std::vector<ShapeTerms> &tabulated = bisectionShapeTerms();
    double lo = kShapeLow;
    double hi = kShapeHigh;
    double mlo = shapeEquation(p, q, r, tabulated[0]);
    size_t node = 1; // the midpoint's index among the tabulated ones
    for (int i = 0; i < 50; ++i) {
        const double mid = (hi + lo) / 2.0;
        const double mmid = shapeEquation(p, q, r, node < tabulated.size() ? tabulated[node] : shapeTerms(mid));
        if (mmid * mlo > 0.0) {
            lo = mid;
            mlo = mmid;
            node = 2 * node + 1;
        } else {
            hi = mid;
            node = 2 * node;
        }
        if (std::fabs(hi - lo) < 0.01)
            break;
    }
    return (hi + lo) / 2.0;
}

WeibullShapeAndScale WeibullFromPercentile(double basalArea, double trees, double location, double percentile95)
{
    WeibullShapeAndScale w;
    w.shape = SolveWeibullShape(basalArea, trees, location, percentile95);
    w.scale = (percentile95 - location) / std::pow(kMinusLn005, 1.0 / w.shape);
    return w;
}

// --- A stand given by its trees per diameter class ---------------------------

ClassStatistics StatisticsOfClasses(const std::array<int, kDiameterClasses> &counts)
{
    ClassStatistics s;
    for (int v : counts)
        s.trees += v;
    if (!(s.trees > 0.0))
        throw ModelInputError("O número de árvores deve ser maior que zero.");
    // The 90 % point of the trees, interpolated inside its class.
    const double target = 0.9 * s.trees;
    double running = 0.0;
    for (size_t k = 0; k < counts.size(); ++k) {
        const double before = running;
        running += counts[k];
        if (running > target) {
            s.percentile = 5.0 * (static_cast<double>(k) + 0.5 + (target - before) / counts[k]);
            break;
        }
    }
    for (size_t k = 0; k < counts.size(); ++k) {
        const double d = 5.0 * static_cast<double>(k + 1);
        s.basalArea += d * d * kBasalAreaFactor * counts[k];
    }
    for (size_t k = 0; k < counts.size(); ++k)
        if (counts[k] != 0) {
            s.minDiameter = 5.0 * static_cast<double>(k + 1) - 2.5;
            break;
        }
    return s;
}

// --- Initial unthinned stand ----------------------------------------------

UnthinnedStand InitUnthinnedStand(const UnthinnedStandInput &input)
{
    const double t = input.age;
    const double hdom = input.dominantHeight;
    if (!(t > 0.0))
        throw ModelInputError("A idade do povoamento deve ser maior que zero.");
    const double mortality = 1.0 - 0.00400488 * t;
    if (!(mortality > 0.0))
        throw ModelInputError("A idade do povoamento está fora dos limites do modelo.");
    if (!(hdom > 0.0))
        throw ModelInputError("A altura dominante deve ser maior que zero.");

    auto basalArea = [&](double n) {
        return 0.0009837 * std::pow(hdom, 2.103402) * std::pow(n, 0.797707) * std::exp(-8.702327 / t);
    };

    double n = 0.0;
    double n0 = 0.0;
    if (input.treesAlive) {
        n = *input.treesAlive;
        if (!(n > 0.0))
            throw ModelInputError("O número de árvores deve ser maior que zero.");
        n0 = std::pow(n, 1.0 / mortality);
    } else if (input.treesPlanted) {
        n0 = *input.treesPlanted;
        if (!(n0 > 0.0))
            throw ModelInputError("O número de árvores deve ser maior que zero.");
        n = std::pow(n0, mortality);
    } else {
        throw ModelInputError("Falta o número de árvores do povoamento.");
    }
    const double g = basalArea(n);
    const double dm = 12.302998 * std::pow(hdom, 1.617991) * std::pow(n, -0.687786);
    const double p95 = 2.754927 * std::pow(hdom, 1.445365) * std::pow(n, -0.161445);
    const double wa = 0.5 * dm;
    const auto [wc, wb] = WeibullFromPercentile(g, n, wa, p95);
    if (g > kMaxBasalArea)
        throw ModelLimitError::outside(false);
    for (double v : {n, n0, g, dm, wa, wb, wc})
        requireFinite(v);
    requirePositiveScale(wb);

    return {{n, g, wa, wb, wc}, n0, dm};
}

// --- Projection -------------------------------------------------------------

StandProjection ProjectStand(double age, double siteIndex, const WeibullStand &current, double targetAge)
{
    const double t1 = age, t2 = targetAge, S = siteIndex;
    const double G1 = current.basalArea, N1 = current.trees, a1 = current.a;
    if (!(t1 > 0.0) || !(t2 > 0.0))
        throw ModelInputError("A idade do povoamento deve ser maior que zero.");
    if (!(N1 > 0.0) || !(G1 > 0.0))
        throw ModelInputError("O número de árvores e a área basal devem ser maiores que zero.");

    const double r = t1 / t2;
    const double hdom1 = DominantHeightAtAge(t1, S);
    const double g2 = std::pow(G1, r) * std::exp((4.178774 + 0.039053 * hdom1) * (1.0 - r));
    if (g2 > kMaxBasalArea)
        throw ModelLimitError::outside(false);
    const double n2 = N1;
    // The common factor uses the current basal area raised to r, not G2.
    const double w = std::pow(std::pow(G1, r) / N1, 0.5);
    const double p95 = 154.155144 * w * std::exp((2.919335 - 0.034485 * hdom1) * (1.0 - r) - 0.009172 * (t2 - t1));
    const double dm2 = 44.995291 * w * std::exp((0.039053 * hdom1 - 6.721703) * (1.0 - r) + 0.062039 * (t2 - t1));
    double loc = 0.9 * dm2;
    if (loc < a1)
        loc = a1; // the location never decreases
    const auto [shape, scale] = WeibullFromPercentile(g2, n2, loc, p95);
    for (double v : {g2, p95, dm2, loc, scale, shape})
        requireFinite(v);
    requirePositiveScale(scale);

    return {{n2, g2, loc, scale, shape}, dm2};
}

bool CheckProjectedDistribution(const WeibullStand &before, const WeibullStand &after)
{
    double x = after.a;
    for (int i = 0; i < 400; ++i) {
        x += 0.2;
        if (x > 80.0)
            return true;
        // The cumulative numbers are computed as the model does, but never compared.
        [[maybe_unused]] const double treesBefore = before.trees * WeibullCdf(before.a, before.b, before.c, x);
        [[maybe_unused]] const double treesAfter = after.trees * WeibullCdf(after.a, after.b, after.c, x);
    }
    return false;
}

// --- Basal area and height per diameter class ------------------------------

double BasalAreaDensity(double a, double b, double c, double trees, double diameter)
{
    const double N = trees, x = diameter;
    // The density is not finite at the location for shapes up to 1.
    if ((x - a) / b == 0.0 && c <= 1.0)
        throw ModelLimitError::outside(true);
    return N * WeibullPdf(a, b, c, x) * kBasalAreaFactor * x * x;
}

double ClassBasalArea(double lowerDiameter, double upperDiameter, const WeibullStand &stand)
{
    const double d1 = lowerDiameter, d2 = upperDiameter;
    const double N = stand.trees, a = stand.a, b = stand.b, c = stand.c;
    // Composite Simpson rule over 10 panels.
    const double h = (d2 - d1) / 10.0;
    double sMid = 0.0;
    for (int i = 0; i < 10; ++i)
        sMid += BasalAreaDensity(a, b, c, N, d1 + (i + 0.5) * h);
    double sIn = 0.0;
    for (int i = 1; i < 10; ++i)
        sIn += BasalAreaDensity(a, b, c, N, d1 + i * h);
    return (h / 6.0) * (BasalAreaDensity(a, b, c, N, d1) + 4.0 * sMid + 2.0 * sIn + BasalAreaDensity(a, b, c, N, d2));
}

double TreeHeight(double age, double dominantHeight, double basalArea, double trees, double diameter)
{
    return 1.891036 * std::pow(dominantHeight, 0.890695) * std::pow(basalArea, -0.146749) *
           std::pow(trees, 0.07548) * std::exp(2.000723 / age - 11.96184 / diameter);
}

// --- Stem profile and assortment volumes ------------------------------------

double TaperCoefficient(double d, double h, double withBark)
{
    if (withBark == 0.0)
        return 3.08022 * std::pow(h, -0.718) * std::pow(d, -0.194) * std::exp(0.00455 * d + 0.0573 * h);
    return 1.008 * std::exp(3.79 / d + 0.94 / h);
}

double HeightAtDiameter(double d, double h, double b1, double b2, double b3, double dx)
{
    if (dx == 0.0)
        return h;
    const double delta = std::pow(h * b2, 2.0) - 4.0 * b3 * (h * h * b1 - h * h * dx * dx / (d * d));
    // The discriminant is 4 k h^2 dx^2 / d^2, never negative; a diameter so small
    // that its square vanishes beside d^2 can leave it a rounding error below 0,
    // where the stem reaches that diameter only at the tip.
    return (-h * b2 - std::sqrt(std::max(delta, 0.0))) / (2.0 * b3);
}

namespace {

// Volume of the stem between two heights, for the profile (b1, b2, b3). A piece
// whose lower end lies at or above its upper end holds no wood: a top diameter
// at or above the sawlog diameter leaves no roundwood, and a tree not taller
// than the stump has no volume, instead of a negative one.
double stemVolume(double d, double h, double b1, double b2, double b3, double x0, double x1)
{
    if (!(x1 > x0))
        return 0.0;
    const double z0 = x0 / h;
    const double z1 = x1 / h;
    return 7.854e-05 * d * d * h *
           (b1 * (z1 - z0) + (b2 / 2.0) * (z1 * z1 - z0 * z0) + (b3 / 3.0) * (std::pow(z1, 3.0) - std::pow(z0, 3.0)));
}

} // namespace

double SawlogVolume(double d, double h, double withBark, const AssortmentDimensions &dims)
{
    const double k = TaperCoefficient(d, h, withBark);
    const double xs = HeightAtDiameter(d, h, k, -2.0 * k, k, dims.sawlogMinDiameter);
    if (xs < dims.stumpHeight)
        return 0.0;
    return stemVolume(d, h, k, -2.0 * k, k, dims.stumpHeight, xs);
}

double RoundwoodVolume(double d, double h, double vSaw, double withBark, const AssortmentDimensions &dims)
{
    const double k = TaperCoefficient(d, h, withBark);
    const double xt = HeightAtDiameter(d, h, k, -2.0 * k, k, dims.topDiameter);
    if (xt < dims.stumpHeight)
        return 0.0;
    const double lower =
        vSaw == 0.0 ? dims.stumpHeight : HeightAtDiameter(d, h, k, -2.0 * k, k, dims.sawlogMinDiameter);
    return stemVolume(d, h, k, -2.0 * k, k, lower, xt);
}

double TotalVolume(double d, double h, double withBark, const AssortmentDimensions &dims)
{
    const double k = TaperCoefficient(d, h, withBark);
    return stemVolume(d, h, k, -2.0 * k, k, dims.stumpHeight, HeightAtDiameter(d, h, k, -2.0 * k, k, 0.0));
}

double SawlogVolume(double d, double h, double withBark, const StandState &state)
{
    return SawlogVolume(d, h, withBark, AssortmentDimensions::from(state));
}

double RoundwoodVolume(double d, double h, double vSaw, double withBark, const StandState &state)
{
    return RoundwoodVolume(d, h, vSaw, withBark, AssortmentDimensions::from(state));
}

double TotalVolume(double d, double h, double withBark, const StandState &state)
{
    return TotalVolume(d, h, withBark, AssortmentDimensions::from(state));
}

// --- Thinnings ----------------------------------------------------------------

WeibullStand ThinMechanical(const WeibullStand &stand, double share)
{
    // The same share of trees leaves every diameter: the distribution keeps its shape.
    WeibullStand residual = stand;
    residual.basalArea = stand.basalArea * (1.0 - share);
    residual.trees = stand.trees * (1.0 - share);
    return residual;
}

ThinnedFromBelow ThinFromBelow(const FromBelowThinning &thinning)
{
    const double a = thinning.stand.a, b = thinning.stand.b, c = thinning.stand.c;
    const double N = thinning.stand.trees, G = thinning.stand.basalArea;
    const double dmin = thinning.minDiameter, u = thinning.enteredUnthinned, Gr = thinning.residualBasalArea;
    if (u != 0.0 && u != 1.0)
        throw ModelInputError("Tipo de povoamento desconhecido.");
    if (!(N > 0.0) || !(G > 0.0))
        throw ModelInputError("O número de árvores e a área basal devem ser maiores que zero.");
    const bool first = u == 1.0;
    const double p1 = first ? 1.00076 : 0.981559;
    const double p0 = first ? 0.121887 : 1.22143;
    const double m1 = first ? 1.04701 : 1.07904;
    const double m0 = first ? 0.438034 : 0.684456;
    const double e1 = first ? 0.896268 : 0.715054;
    const double e2 = first ? 0.8828568 : 0.820574;

    const double P = a + b * std::pow(kMinusLn007, 1.0 / c);
    double pr = p1 * P + p0;
    if (pr <= P)
        pr = P;
    double dr = m1 * dmin + m0;
    if (dr <= dmin)
        dr = dmin;
    const double nr = N * std::pow(1.0 - std::pow(1.0 - Gr / G, e1), e2);
    double loc = 0.9 * dr;
    if (loc < a)
        loc = a;
    const auto [shape, scale] = WeibullFromPercentile(Gr, nr, loc, pr);
    for (double v : {pr, nr, loc, scale, shape})
        requireFinite(v);
    requirePositiveScale(scale);

    return {{nr, Gr, loc, scale, shape}, 0.0};
}

bool CheckThinnedDistribution(const WeibullStand &before, const WeibullStand &residual)
{
    double x = residual.a;
    for (int i = 0; i < 400; ++i) {
        x += 0.2;
        if (x > 80.0)
            return true;
        const double treesBefore = before.trees * WeibullPdf(before.a, before.b, before.c, x);
        const double treesAfter = residual.trees * WeibullPdf(residual.a, residual.b, residual.c, x);
        if (treesAfter > treesBefore)
            return true;
    }
    return false;
}

} // namespace tavelo
