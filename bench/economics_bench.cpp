// The valuation of a record, as a search over regimes calls it many times:
// a record of 34 states (a thinning every other state) valued, and its net
// present value at the 41 rates of the chart.

#include "session/results/economics.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

std::vector<tavelo::ValuationRow> fullRecord()
{
    std::vector<tavelo::ValuationRow> rows;
    double age = 10.0;
    for (int i = 0; i < 34; ++i) {
        tavelo::ValuationRow r;
        r.year = std::to_string(2026 + static_cast<int>(age) - 10);
        r.ageText = std::to_string(static_cast<int>(age));
        r.age = age;
        r.afterThinning = i % 2 == 1;
        const double scale = r.afterThinning ? 0.7 : 1.0;
        r.total = (50.0 + 5.0 * i) * scale;
        r.sawlog = 0.5 * r.total;
        r.roundwood = 0.45 * r.total;
        r.firewood = 0.05 * r.total;
        rows.push_back(r);
        if (r.afterThinning)
            age += 5.0;
    }
    return rows;
}

tavelo::EconomicInputs inputs()
{
    tavelo::EconomicInputs in;
    in.sawlogPrice = 45.0;
    in.roundwoodPrice = 30.0;
    in.firewoodPrice = 8.0;
    in.thinningCost = 250.0;
    in.finalFellingCost = 400.0;
    in.costPerCubicMetre = 4.0;
    in.annualCost = 15.0;
    in.establishmentCost = 1200.0;
    in.discountRatePercent = 3.0;
    return in;
}

void BM_ValueRecord(benchmark::State &state)
{
    const auto rows = fullRecord();
    const auto in = inputs();
    for (auto _ : state)
        benchmark::DoNotOptimize(tavelo::valueRecord(rows, in, true).npv);
}
BENCHMARK(BM_ValueRecord)->Unit(benchmark::kMicrosecond);

void BM_NpvByRate(benchmark::State &state)
{
    const auto v = tavelo::valueRecord(fullRecord(), inputs(), true);
    for (auto _ : state)
        benchmark::DoNotOptimize(tavelo::npvByRate(v).back().y);
}
BENCHMARK(BM_NpvByRate)->Unit(benchmark::kMicrosecond);

} // namespace
