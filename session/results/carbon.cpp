#include "carbon.h"

#include "base/numeric_text.h"
#include "session/structure/sim_record.h"

#include <cmath>

namespace tavelo {

namespace {

// Ages of a record are the first age plus whole years.
int yearsAfter(double age, double firstAge)
{
    return static_cast<int>(std::lround(age - firstAge));
}

// The stock each year of a pool fed by `inflow` (one entry per year from t0),
// with first-order decay: C(y+1) = e^-k C(y) + (1 - e^-k)/k inflow(y).
std::vector<double> decayingPool(const std::vector<double> &inflow, double halfLife)
{
    const double k = std::log(2.0) / halfLife;
    const double kept = std::exp(-k);
    const double entering = (1.0 - kept) / k;
    std::vector<double> stock(inflow.size(), 0.0);
    for (size_t y = 0; y + 1 < inflow.size(); ++y)
        stock[y + 1] = kept * stock[y] + entering * inflow[y];
    return stock;
}

std::string numberJson(double v)
{
    return carbonText(v);
}

} // namespace

// --- Factors --------------------------------------------------------------------------------

// Defaults for maritime pine (the sources are named in the guides).
const std::array<CarbonFieldInfo, kCarbonFieldCount> kCarbonFields = {{
    {CarbonField::BasicDensity, "basicDensity", "Densidade básica da madeira (t/m3)", "txtDensidade", 0.44, 0.1, 1.5},
    {CarbonField::ExpansionFactor, "expansionFactor", "Factor de expansão da biomassa", "txtFactorExpansao", 1.3, 1.0,
     10.0},
    {CarbonField::RootToShoot, "rootToShoot", "Razão raiz/parte aérea", "txtRaizParteAerea", 0.29, 0.0, 5.0},
    {CarbonField::CarbonFraction, "carbonFraction", "Fracção de carbono (t C/t)", "txtFraccaoCarbono", 0.51, 0.1, 1.0},
    {CarbonField::SawlogHalfLife, "halfLives.sawlog", "Meia-vida da madeira serrada (anos)", "txtMeiaVidaMadeira", 35.0,
     1.0, 1000.0},
    {CarbonField::RoundwoodHalfLife, "halfLives.roundwood", "Meia-vida da rolaria (anos)", "txtMeiaVidaRolaria", 25.0,
     1.0, 1000.0},
}};

const CarbonFieldInfo &carbonFieldInfo(CarbonField field)
{
    return kCarbonFields[static_cast<size_t>(field)];
}

CarbonFactors defaultCarbonFactors()
{
    return std::get<CarbonFactors>(readCarbonFactors(CarbonTexts{}));
}

std::variant<CarbonFactors, CarbonRefusal> readCarbonFactors(const CarbonTexts &texts)
{
    std::array<double, kCarbonFieldCount> v{};
    for (const CarbonFieldInfo &info : kCarbonFields) {
        const std::string &text = texts[info.field];
        auto number = readBoundedField(text, info.defaultValue, info.smallest, info.largest, info.label);
        if (auto *box = std::get_if<Message>(&number))
            return CarbonRefusal{info.field, std::string("carbon.") + info.keyPath, std::move(*box)};
        v[static_cast<size_t>(info.field)] = std::get<double>(number);
    }
    auto at = [&](CarbonField f) { return v[static_cast<size_t>(f)]; };
    CarbonFactors f;
    f.basicDensity = at(CarbonField::BasicDensity);
    f.expansionFactor = at(CarbonField::ExpansionFactor);
    f.rootToShoot = at(CarbonField::RootToShoot);
    f.carbonFraction = at(CarbonField::CarbonFraction);
    f.sawlogHalfLife = at(CarbonField::SawlogHalfLife);
    f.roundwoodHalfLife = at(CarbonField::RoundwoodHalfLife);
    return f;
}

// --- The account ------------------------------------------------------------------------------

bool takeVolumes(ValuationRow &row, const std::array<std::string, 4> &volumes)
{
    const auto total = parseNumber(volumes[0]);
    const auto roundwood = parseNumber(volumes[1]);
    const auto sawlog = parseNumber(volumes[2]);
    const auto firewood = parseNumber(volumes[3]);
    if (!total || !roundwood || !sawlog || !firewood)
        return false;
    row.total = *total;
    row.roundwood = *roundwood;
    row.sawlog = *sawlog;
    row.firewood = *firewood;
    return true;
}

std::optional<std::vector<ValuationRow>> carbonRows(const StandState &state)
{
    auto rows = valuationRows(state);
    if (!rows || state.withBark.value() != 0.0)
        return rows;
    for (size_t i = 0; i < rows->size(); ++i)
        if (!takeVolumes((*rows)[i], state.overBarkVolumes[i]))
            return std::nullopt;
    return rows;
}

CarbonAccount carbonAccount(const std::vector<ValuationRow> &rows, const CarbonFactors &f)
{
    CarbonAccount a;
    if (rows.empty())
        return a;
    a.firstAge = rows.front().age;
    a.lastAge = rows.back().age;
    const double wholeTree = f.basicDensity * f.expansionFactor * (1.0 + f.rootToShoot) * f.carbonFraction;
    const double stem = f.basicDensity * f.carbonFraction;
    const int years = yearsAfter(a.lastAge, a.firstAge);

    // What leaves the stand, by record row: a thinning at its "D" row, the
    // final felling at the last row.
    std::vector<std::vector<CarbonRemoval>> removedAt(rows.size());
    auto remove = [&](size_t at, double total, double sawlog, double roundwood, double firewood, bool finalFelling) {
        CarbonRemoval r;
        r.age = rows[at].age;
        r.finalFelling = finalFelling;
        r.sawlog = sawlog * stem;
        r.roundwood = roundwood * stem;
        r.emitted = firewood * stem + (total * wholeTree - total * f.basicDensity * f.carbonFraction);
        removedAt[at].push_back(r);
        a.removals.push_back(r);
    };
    for (size_t i = 0; i < rows.size(); ++i)
        if (closesThinning(rows, i))
            remove(i, rows[i - 1].total - rows[i].total, rows[i - 1].sawlog - rows[i].sawlog,
                   rows[i - 1].roundwood - rows[i].roundwood, rows[i - 1].firewood - rows[i].firewood, false);
    const ValuationRow &last = rows.back();
    remove(rows.size() - 1, last.total, last.sawlog, last.roundwood, last.firewood, true);

    std::vector<double> sawlogIn(static_cast<size_t>(years) + 1, 0.0);
    std::vector<double> roundwoodIn(sawlogIn.size(), 0.0);
    for (const CarbonRemoval &r : a.removals) {
        const auto y = static_cast<size_t>(yearsAfter(r.age, a.firstAge));
        sawlogIn[y] += r.sawlog;
        roundwoodIn[y] += r.roundwood;
    }
    a.sawlogPool = decayingPool(sawlogIn, f.sawlogHalfLife);
    a.roundwoodPool = decayingPool(roundwoodIn, f.roundwoodHalfLife);

    double emitted = 0.0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const ValuationRow &row = rows[i];
        for (const CarbonRemoval &r : removedAt[i])
            emitted += r.emitted;
        CarbonRow c;
        c.year = row.year;
        c.ageText = row.ageText;
        c.yearNumber = parseNumber(row.year);
        c.age = row.age;
        c.afterThinning = row.afterThinning;
        c.stand = row.total * wholeTree;
        const auto y = static_cast<size_t>(yearsAfter(row.age, a.firstAge));
        c.products = a.sawlogPool[y] + a.roundwoodPool[y];
        c.emitted = emitted;
        c.total = c.stand + c.products;
        a.rows.push_back(c);
    }
    a.start = a.rows.front().total;
    a.end = a.rows.back().total;
    a.balance = a.end - a.start;

    if (years > 0) {
        // The stand is linear from a row to the next row of a later age.
        double area = 0.0;
        for (size_t i = 0; i + 1 < a.rows.size(); ++i)
            if (a.rows[i + 1].age > a.rows[i].age)
                area += (a.rows[i].stand + a.rows[i + 1].stand) / 2.0 * (a.rows[i + 1].age - a.rows[i].age);
        a.meanStand = area / (a.lastAge - a.firstAge);
        double pools = 0.0;
        for (size_t y = 1; y <= static_cast<size_t>(years); ++y)
            pools += a.sawlogPool[y] + a.roundwoodPool[y];
        a.meanProducts = pools / years;
    } else {
        a.meanStand = a.rows.back().stand;
    }
    a.meanStock = a.meanStand + a.meanProducts;
    return a;
}

HorizonCarbon horizonCarbon(const CarbonAccount &a, const CarbonFactors &f, int years, int periodYears)
{
    HorizonCarbon h;
    if (a.rows.empty() || years <= 0 || periodYears <= 0)
        return h;
    const double end = a.firstAge + years;
    // The stand: the first row at an age, so before a thinning of that year.
    const auto standAt = [&a](double age) {
        if (age > a.lastAge + 1e-9)
            return 0.0; // felled
        for (size_t i = 0; i + 1 < a.rows.size(); ++i) {
            const CarbonRow &r = a.rows[i], &next = a.rows[i + 1];
            if (age <= r.age + 1e-9)
                return r.stand;
            if (next.age > r.age && age < next.age)
                return r.stand + (next.stand - r.stand) * (age - r.age) / (next.age - r.age);
        }
        return a.rows.back().stand;
    };
    double area = 0.0;
    for (size_t i = 0; i + 1 < a.rows.size(); ++i) {
        const CarbonRow &r = a.rows[i], &next = a.rows[i + 1];
        if (!(next.age > r.age) || r.age >= end)
            continue;
        const double to = std::min(next.age, end);
        area += (r.stand + standAt(to)) / 2.0 * (to - r.age);
    }
    // The pools, fed by every removal, on to the horizon's end.
    const auto span = static_cast<size_t>(std::max(years, yearsAfter(a.lastAge, a.firstAge))) + 1;
    std::vector<double> sawlogIn(span, 0.0), roundwoodIn(span, 0.0);
    for (const CarbonRemoval &r : a.removals) {
        const auto y = static_cast<size_t>(yearsAfter(r.age, a.firstAge));
        sawlogIn[y] += r.sawlog;
        roundwoodIn[y] += r.roundwood;
    }
    const std::vector<double> sawlog = decayingPool(sawlogIn, f.sawlogHalfLife);
    const std::vector<double> roundwood = decayingPool(roundwoodIn, f.roundwoodHalfLife);
    double pools = 0.0;
    for (size_t y = 1; y <= static_cast<size_t>(years); ++y)
        pools += sawlog[y] + roundwood[y];
    h.mean = area / years + pools / years;
    for (int y = periodYears; y <= years; y += periodYears)
        h.atPeriodEnds.push_back(standAt(a.firstAge + y) + sawlog[static_cast<size_t>(y)] +
                                 roundwood[static_cast<size_t>(y)]);
    return h;
}

std::optional<CarbonAccount> carbonOfSimulation(const StandState &state, const CarbonFactors &factors)
{
    const auto rows = carbonRows(state);
    if (!rows)
        return std::nullopt;
    return carbonAccount(*rows, factors);
}

CarbonChart carbonChart(const CarbonAccount &a)
{
    CarbonChart chart;
    for (const CarbonRow &r : a.rows)
        chart.stand.push_back({r.age, r.stand});
    for (size_t y = 0; y < a.sawlogPool.size(); ++y) {
        const double age = a.firstAge + static_cast<double>(y);
        const double products = a.sawlogPool[y] + a.roundwoodPool[y];
        chart.products.push_back({age, products});
        // The stand that year: every row of that age (a thinning is a drop),
        // or the line between the rows around it.
        bool onRow = false;
        for (const CarbonRow &r : a.rows)
            if (yearsAfter(r.age, a.firstAge) == static_cast<int>(y)) {
                chart.total.push_back({age, r.stand + products});
                onRow = true;
            }
        if (onRow)
            continue;
        for (size_t i = 0; i + 1 < a.rows.size(); ++i) {
            const CarbonRow &from = a.rows[i];
            const CarbonRow &to = a.rows[i + 1];
            if (from.age < age && age < to.age) {
                const double stand = from.stand + (to.stand - from.stand) * (age - from.age) / (to.age - from.age);
                chart.total.push_back({age, stand + products});
                break;
            }
        }
    }
    return chart;
}

// --- Texts ------------------------------------------------------------------------------------

std::string carbonText(double tonnes)
{
    return moneyText(tonnes);
}

const std::array<const char *, 7> kCarbonHeaders = {"Ano",     "Idade",   "Cod",  "Povoamento",
                                                   "Produtos", "Emitido", "Total"};

std::vector<std::array<std::string, 7>> carbonTable(const CarbonAccount &a)
{
    std::vector<std::array<std::string, 7>> rows;
    for (const CarbonRow &r : a.rows)
        rows.push_back({r.year, r.ageText, r.afterThinning ? "D" : "AD", carbonText(r.stand), carbonText(r.products),
                        carbonText(r.emitted), carbonText(r.total)});
    return rows;
}

std::vector<std::string> carbonTotalsLines(const CarbonAccount &a)
{
    auto both = [](double c) {
        return carbonText(c) + " t C/ha (" + carbonText(c * kCo2PerCarbon) + " t CO2e/ha)";
    };
    return {"Stock no início (" + plainNumberText(a.firstAge) + " anos): " + both(a.start),
            "Stock no fim (" + plainNumberText(a.lastAge) + " anos): " + both(a.end),
            "Balanço líquido: " + both(a.balance),
            "Stock médio total: " + both(a.meanStock),
            "Média do povoamento " + carbonText(a.meanStand) + " e dos produtos " + carbonText(a.meanProducts) +
                " t C/ha",
            "Emitido acumulado: " + both(a.rows.empty() ? 0.0 : a.rows.back().emitted)};
}

std::string carbonJson(const CarbonAccount &a)
{
    std::string out = "{\n  \"rows\": [";
    for (size_t i = 0; i < a.rows.size(); ++i) {
        const CarbonRow &r = a.rows[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"year\": " + (r.yearNumber ? plainNumberText(*r.yearNumber) : std::string("null"));
        out += ", \"age\": " + plainNumberText(r.age);
        out += std::string(", \"code\": \"") + (r.afterThinning ? "D" : "AD") + "\"";
        out += ", \"stand\": " + numberJson(r.stand);
        out += ", \"products\": " + numberJson(r.products);
        out += ", \"emitted\": " + numberJson(r.emitted);
        out += ", \"total\": " + numberJson(r.total) + "}";
    }
    out += a.rows.empty() ? "]" : "\n  ]";
    out += ",\n  \"start\": " + numberJson(a.start);
    out += ",\n  \"end\": " + numberJson(a.end);
    out += ",\n  \"balance\": " + numberJson(a.balance);
    out += ",\n  \"meanStock\": " + numberJson(a.meanStock) + "\n}\n";
    return out;
}

} // namespace tavelo
