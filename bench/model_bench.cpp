// Timings of the model's hot paths: the shape bisection, one projection step
// and the per-class work of a full stand table.

#include "model/growth_model.h"

#include <benchmark/benchmark.h>

namespace {

// The worked stand: 30 years, 12 m, 1500 trees planted.
constexpr double kT = 30.0;
constexpr double kHdom = 12.0;
constexpr double kN = 623.0104;
constexpr double kG = 23.22865;
constexpr double kA = 4.102719;
constexpr double kB = 18.05184;
constexpr double kC = 1.996124267578125;
constexpr double kP95 = 35.38047;

// Inputs are read through a volatile so that the compiler cannot fold the
// computation away. DoNotOptimize is used on const values only: with GCC the
// read-write form ("+m,r") of this benchmark release can hand back a garbled
// double.
double fresh(double v)
{
    volatile double x = v;
    return x;
}

void BM_SolveWeibullShape(benchmark::State &state)
{
    for (auto _ : state) {
        const double c = tavelo::SolveWeibullShape(fresh(kG), fresh(kN), fresh(kA), fresh(kP95));
        benchmark::DoNotOptimize(static_cast<const double &>(c));
    }
}
BENCHMARK(BM_SolveWeibullShape);

void BM_ProjectStand(benchmark::State &state)
{
    const double S = tavelo::SiteIndexFromHeight(kT, kHdom);
    for (auto _ : state) {
        const double t1 = fresh(kT);
        const tavelo::StandProjection p =
            tavelo::ProjectStand(t1, S, {fresh(kN), fresh(kG), fresh(kA), kB, kC}, t1 + 5.0);
        const double sum = p.stand.basalArea + p.stand.trees + p.minDiameter + p.stand.a + p.stand.b + p.stand.c;
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_ProjectStand);

// Totals of one stand table, as the table screens accumulate them.
struct TableTotals {
    double n = 0.0, g = 0.0, nh = 0.0, vs = 0.0, vr = 0.0, vt = 0.0;
    int rows = 0;
};

TableTotals standTable(double t, double hdom, double N, double G, double a, double b, double c, double withBark,
                       const tavelo::AssortmentDimensions &dims)
{
    TableTotals tot;
    auto addClass = [&](double d, double d1, double d2, double n) {
        const double g = tavelo::ClassBasalArea(d1, d2, {N, G, a, b, c});
        const double h = tavelo::TreeHeight(t, hdom, G, N, d);
        const double vs = tavelo::SawlogVolume(d, h, withBark, dims);
        const double vr = tavelo::RoundwoodVolume(d, h, vs, withBark, dims);
        const double vt = tavelo::TotalVolume(d, h, withBark, dims);
        tot.n += n;
        tot.g += g;
        tot.nh += n * h;
        tot.vs += n * vs;
        tot.vr += n * vr;
        tot.vt += n * vt;
        ++tot.rows;
    };
    // The first class runs from the location to just below the next class.
    const int k = static_cast<int>(a / 5.0 + 1.0);
    const double d0 = 5.0 * k;
    const double n0 = tavelo::WeibullCdf(a, b, c, d0 + 2.49999) * N;
    if (n0 > 0.5)
        addClass(d0, a, d0 + 2.49999, n0);
    for (double d = d0 + 5.0; d <= 150.0; d += 5.0) {
        const double n = (tavelo::WeibullCdf(a, b, c, d + 2.5) - tavelo::WeibullCdf(a, b, c, d - 2.5)) * N;
        if (n > 0.5)
            addClass(d, d - 2.5, d + 2.5, n);
    }
    return tot;
}

void BM_StandTable(benchmark::State &state)
{
    const tavelo::AssortmentDimensions dims{20.0, 0.15, 7.0};
    TableTotals last;
    for (auto _ : state) {
        last = standTable(kT, kHdom, kN, kG, fresh(kA), kB, kC, 1.0, dims);
        const double sum = last.n + last.g + last.nh + last.vs + last.vr + last.vt;
        benchmark::DoNotOptimize(sum);
    }
    // Reported so that a run shows it computed the real table (10 classes).
    state.counters["classes"] = last.rows;
    state.counters["G_total"] = last.g;
    state.counters["V_total"] = last.vt;
}
BENCHMARK(BM_StandTable);

} // namespace
