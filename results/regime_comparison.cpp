#include "regime_comparison.h"

#include "base/numeric_text.h"
#include "results/economics.h"
#include "structure/sim_record.h"

namespace tavelo {

RegimeSeries regimeSeries(const std::string &name, const StandState &state)
{
    RegimeSeries s;
    s.name = name;
    double removed = 0.0;
    const int rows = recordRowCount(state);
    for (int r = 0; r < rows; ++r) {
        const double age = parseNumber(recordCellText(state.SimRecord[r][1])).value_or(0.0);
        const double volume = parseNumber(recordCellText(state.SimRecord[r][6])).value_or(0.0);
        if (!s.points.empty() && s.points.back().age == age) {
            // The stand left by a thinning at the same age.
            removed += s.points.back().standing - volume;
            s.points.back().standing = volume;
            s.points.back().removedCumulative = removed;
            continue;
        }
        s.points.push_back({age, volume, removed});
    }
    return s;
}

std::string comparisonCsv(const std::vector<RegimeSeries> &regimes)
{
    // The value column only when some regime was valued: plain volume
    // comparisons keep their four columns.
    bool valued = false;
    for (const RegimeSeries &r : regimes)
        valued = valued || r.npv.has_value();
    std::string out = valued ? "regime,age,standing,removedCumulative,npv\n" : "regime,age,standing,removedCumulative\n";
    for (const RegimeSeries &r : regimes) {
        const std::string npv = r.npv ? moneyText(*r.npv) : std::string();
        for (const RegimePoint &p : r.points) {
            out += r.name + "," + plainNumberText(p.age) + "," + formatFixed(p.standing, 2) + "," +
                   formatFixed(p.removedCumulative, 2);
            if (valued)
                out += "," + npv;
            out += "\n";
        }
    }
    return out;
}

std::string standingSetName(const std::string &regime)
{
    return regime + " – volume em pé";
}

std::string removedSetName(const std::string &regime)
{
    return regime + " – volume removido acumulado";
}

} // namespace tavelo

namespace tavelo {

std::string valuedRegimeName(const RegimeSeries &regime)
{
    if (!regime.npv)
        return regime.name;
    return regime.name + " (VAL " + moneyText(*regime.npv) + " €/ha)";
}

} // namespace tavelo
