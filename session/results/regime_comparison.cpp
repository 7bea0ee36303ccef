#include "regime_comparison.h"

#include "base/csv.h"
#include "base/numeric_text.h"
#include "session/results/economics.h"
#include "session/structure/sim_record.h"

#include <algorithm>
#include <filesystem>
#include <map>

namespace tavelo {

RegimeSeries regimeSeries(const std::string &name, const StandState &state)
{
    RegimeSeries s;
    s.name = name;
    double removed = 0.0;
    const int rows = recordRowCount(state);
    for (int r = 0; r < rows; ++r) {
        const double age = parseNumber(recordText(state.record[r], RecordColumn::Age)).value_or(0.0);
        const double volume = parseNumber(recordText(state.record[r], RecordColumn::TotalVolume)).value_or(0.0);
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

std::vector<std::string> regimeLabels(const std::vector<std::string> &scenarioPaths)
{
    // Each path's components from the file name backwards.
    std::vector<std::vector<std::string>> parts;
    for (const std::string &p : scenarioPaths) {
        std::vector<std::string> components;
        for (const auto &c : std::filesystem::path(p).lexically_normal())
            if (!c.empty() && c != "/")
                components.insert(components.begin(), c.string());
        if (components.empty())
            components.push_back(p);
        parts.push_back(std::move(components));
    }
    auto label = [&](size_t i, size_t depth) {
        const auto &c = parts[i];
        std::string l;
        for (size_t k = std::min(depth, c.size()); k-- > 0;)
            l += (l.empty() ? "" : "/") + c[k];
        return l;
    };
    std::vector<size_t> depth(scenarioPaths.size(), 1);
    std::vector<std::string> labels(scenarioPaths.size());
    for (bool changed = true; changed;) {
        changed = false;
        for (size_t i = 0; i < labels.size(); ++i)
            labels[i] = label(i, depth[i]);
        for (size_t i = 0; i < labels.size(); ++i)
            for (size_t j = 0; j < labels.size(); ++j)
                if (i != j && labels[i] == labels[j] && depth[i] < parts[i].size()) {
                    ++depth[i];
                    changed = true;
                    break;
                }
    }
    // The same file named twice (or paths that differ only in spelling).
    std::map<std::string, int> seen;
    for (std::string &l : labels)
        if (const int n = ++seen[l]; n > 1)
            l += " (" + std::to_string(n) + ")";
    return labels;
}

std::string comparisonCsv(const std::vector<RegimeSeries> &regimes)
{
    // The value column only when some regime was valued: plain volume
    // comparisons keep their four columns.
    bool valued = false;
    for (const RegimeSeries &r : regimes)
        valued = valued || r.npv.has_value();
    bool carbon = false;
    for (const RegimeSeries &r : regimes)
        carbon = carbon || r.meanCarbonStock.has_value();
    std::string out = valued ? "regime,age,standing,removedCumulative,npv" : "regime,age,standing,removedCumulative";
    out += carbon ? ",meanCarbonStock\n" : "\n";
    for (const RegimeSeries &r : regimes) {
        const std::string npv = r.npv ? moneyText(*r.npv) : std::string();
        const std::string stock = r.meanCarbonStock ? moneyText(*r.meanCarbonStock) : std::string();
        for (const RegimePoint &p : r.points) {
            out += csvCell(r.name) + "," + plainNumberText(p.age) + "," + formatFixed(p.standing, 2) + "," +
                   formatFixed(p.removedCumulative, 2);
            if (valued)
                out += "," + npv;
            if (carbon)
                out += "," + stock;
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

std::string valuedRegimeName(const RegimeSeries &regime)
{
    if (!regime.npv)
        return regime.name;
    return regime.name + " (VAL " + moneyText(*regime.npv) + " €/ha)";
}

} // namespace tavelo
