#include "stand_table.h"

#include "base/numeric_text.h"
#include "model/growth_model.h"

#include <cmath>

namespace tavelo {

const std::array<const char *, kStandTableColumns> kStandTableHeaders = {
    "ClasseDAP", "NArv/ha", "ABasal(m2/ha)", "Altura(m)",
    "V.Total(m3/ha)", "V.Rolaria(m3/ha)", "V.Madeira(m3/ha)", "V.Lenha(m3/ha)"};
const std::array<int, kStandTableColumns> kStandTableWidthsTwips = {880, 700, 1140, 710, 1150, 1285, 1360, 1250};

std::string yearText(const YearValue &year)
{
    if (year.isText())
        return year.text();
    if (year.isNumber())
        return plainNumberText(year.number());
    return {};
}

std::string barkText(double withBark)
{
    return withBark == 0.0 ? "sem casca" : "com casca";
}

std::string volumesTitle(double withBark, const std::string &stumpHeightText)
{
    return "Volumes " + barkText(withBark) + ", corte a " + stumpHeightText + " m:";
}

std::string thinningDescription(const ScreenEntries &entries, const std::string &previous)
{
    switch (entries.thinning) {
    case ScreenEntries::Thinning::Mechanical:
        return "Mecânico com " + entries.mechanicalPercentText + "% de árvores a retirar";
    case ScreenEntries::Thinning::FromBelow:
        return "Pelo baixo com " + entries.residualBasalAreaText + " m2 de área basal residual";
    case ScreenEntries::Thinning::None:
        break;
    }
    return previous;
}

namespace {

void fillHeader(StandTable &t, const StandState &state, const ScreenEntries &entries, const TableStand &s,
                TableDetail detail)
{
    t.stand = s;
    if (detail == TableDetail::Totals) {
        // Not shown, but a shape outside the gamma function's range ends the
        // run here on the screen, and so it does in a search.
        static_cast<void>(WeibullQuadMeanDiameter(s.a, s.b, s.c));
        return;
    }
    t.txtIdade = plainNumberText(roundHalfEven(s.age));
    t.txtADom = formatFixed(s.dominantHeight, 1);
    t.txtAno = yearText(state.currentYear);
    t.txtCQualidd = plainNumberText(roundHalfEven(state.siteIndex.value()));
    t.txtDmedio = formatFixed(WeibullQuadMeanDiameter(s.a, s.b, s.c), 1);
    t.txtA = formatFixed(s.a, 2);
    t.txtB = formatFixed(s.b, 2);
    t.txtC = formatFixed(s.c, 2);
    t.lblTGrelha = volumesTitle(s.withBark, entries.stumpHeightText);
}

struct Sums {
    double n = 0.0, g = 0.0, nh = 0.0, vs = 0.0, vr = 0.0, vt = 0.0;
};

void addClass(StandTable &t, Sums &sums, const TableStand &s, const AssortmentDimensions &dims, TableDetail detail,
              double d, double d1, double d2, double n)
{
    StandClass k;
    k.centre = d;
    k.trees = n;
    k.basalArea = ClassBasalArea(d1, d2, {s.trees, s.basalArea, s.a, s.b, s.c});
    k.height = TreeHeight(s.age, s.dominantHeight, s.basalArea, s.trees, d);
    const double vs = SawlogVolume(d, k.height, s.withBark, dims);
    k.sawlogVolume = n * vs;
    const double vr = RoundwoodVolume(d, k.height, vs, s.withBark, dims);
    k.roundwoodVolume = n * vr;
    const double vt = TotalVolume(d, k.height, s.withBark, dims);
    k.totalVolume = n * vt;

    if (detail == TableDetail::Whole) {
        t.rows.push_back({formatFixed(d, 0), formatFixed(n, 0), formatFixed(k.basalArea, 1), formatFixed(k.height, 1),
                          formatFixed(k.totalVolume, 2), formatFixed(k.roundwoodVolume, 2),
                          formatFixed(k.sawlogVolume, 2),
                          formatFixed(k.totalVolume - (k.roundwoodVolume + k.sawlogVolume), 2)});
        t.classes.push_back(k);
    }

    sums.n += n;
    sums.g += k.basalArea;
    sums.nh += n * k.height;
    sums.vs += k.sawlogVolume;
    sums.vr += k.roundwoodVolume;
    sums.vt += k.totalVolume;
}

// Builds the grid; `checks` runs between the class loop and the Total row.
template <typename Checks>
void fillGrid(StandTable &t, const StandState &state, const TableStand &s, TableDetail detail, Checks checks)
{
    const AssortmentDimensions dims = AssortmentDimensions::from(state);
    t.rows.clear();
    t.classes.clear();
    if (detail == TableDetail::Whole) {
        TableRow header;
        for (int i = 0; i < kStandTableColumns; ++i)
            header[i] = kStandTableHeaders[i];
        t.rows.push_back(header);
    }
    Sums sums;

    // The first class collects every tree from the distribution's lower end up
    // to its upper limit, which stops just short of the next class.
    const double k = std::floor(s.a / 5.0 + 1.0);
    const double d0 = 5.0 * k;
    const double firstUpper = d0 + 2.49999;
    const double nFirst = WeibullCdf(s.a, s.b, s.c, firstUpper) * s.trees;
    if (nFirst > 0.5)
        addClass(t, sums, s, dims, detail, d0, s.a, firstUpper, nFirst);
    // A class's upper limit is the next one's lower limit: each share below a
    // limit is computed once.
    double below = d0 + 5.0 <= 150.0 ? WeibullCdf(s.a, s.b, s.c, d0 + 2.5) : 0.0;
    for (double d = d0 + 5.0; d <= 150.0; d += 5.0) {
        const double upper = WeibullCdf(s.a, s.b, s.c, d + 2.5);
        const double n = (upper - below) * s.trees;
        below = upper;
        if (n > 0.5)
            addClass(t, sums, s, dims, detail, d, d - 2.5, d + 2.5, n);
    }

    checks(sums.g);

    // With no class shown there is no mean height: show 0.0.
    const double meanHeight = sums.n > 0.0 ? sums.nh / sums.n : 0.0;
    t.rows.push_back({"Total", formatFixed(sums.n, 0), formatFixed(sums.g, 1), formatFixed(meanHeight, 1),
                      formatFixed(sums.vt, 2), formatFixed(sums.vr, 2), formatFixed(sums.vs, 2),
                      formatFixed(sums.vt - (sums.vs + sums.vr), 2)});
}

} // namespace

TableRow overBarkTotals(const StandState &state, const TableStand &stand)
{
    TableStand withBark = stand;
    withBark.withBark = 1.0;
    StandTable t;
    fillGrid(t, state, withBark, TableDetail::Totals, [](double) {});
    return t.totalRow();
}

StandTable buildStandTable(const StandState &state, const ScreenEntries &entries, const TableStand &stand,
                           TableDetail detail)
{
    StandTable t;
    fillHeader(t, state, entries, stand, detail);
    if (detail == TableDetail::Whole)
        t.frameCaption = state.enteredUnthinned.value() == 1.0 && state.enteredUnthinned.isGiven()
                             ? "Características do povoamento sem desbaste prévio"
                             : "Características do povoamento com desbaste prévio";
    fillGrid(t, state, stand, detail, [&](double sumG) {
        if (sumG > kMaxBasalArea)
            throw ModelLimitError::outside(true);
        // Before the first projection, a stand entered by its parameters must
        // reproduce the typed basal area within one m2/ha.
        if (!state.projected && state.enteredUnthinned.isGiven() && state.enteredUnthinned.value() == 0.0 &&
            entries.thinnedByParameters) {
            const double typed = parseNumber(entries.typedBasalAreaText).value_or(0.0);
            if (sumG > typed + 1.0 || sumG < typed - 1.0)
                throw ModelLimitError(kTitleDadosInconsistentes, kTextNoConvergenceBlank);
        }
    });
    return t;
}

StandTable buildThinnedStandTable(const StandState &state, const ScreenEntries &entries, const TableStand &stand,
                   const std::string &previousDesbasteLabel, TableDetail detail)
{
    StandTable t;
    t.afterThinning = true;
    fillHeader(t, state, entries, stand, detail);
    if (detail == TableDetail::Whole) {
        t.lblDesbasteMS = thinningDescription(entries, previousDesbasteLabel);
        t.frameCaption = "Características do povoamento após desbaste";
    }
    fillGrid(t, state, stand, detail, [](double) {});
    return t;
}

} // namespace tavelo
