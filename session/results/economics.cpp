#include "economics.h"

#include "base/numeric_text.h"
#include "session/structure/sim_record.h"

#include <cmath>

namespace tavelo {

namespace {

constexpr double kLargestMoney = 1000000.0;

// The factor that brings a euro `years` later back to today. Through log1p,
// so that a rate too small to change 1 + r still counts.
double discountFactor(double rate, double years)
{
    return std::exp(-years * std::log1p(rate));
}

// 1 − (1+r)^-n without the cancellation of two nearly equal numbers.
double discountedShare(double rate, double years)
{
    return -std::expm1(-years * std::log1p(rate));
}

// Σ_{k=1..n} (1+r)^-k: the present value of one euro at the end of each of n years.
double annuityFactor(double rate, double years)
{
    // Near the smallest doubles the share loses its digits; the factor is
    // then n to the last bit anyway (it differs from n by about n²r/2).
    if (rate < 1e-300)
        return years;
    return discountedShare(rate, years) / rate;
}

// A value that no number can hold is no value.
std::optional<double> finite(double v)
{
    return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

std::string numberJson(std::optional<double> v)
{
    return v ? moneyText(*v) : std::string("null");
}

std::string quoted(const std::string &s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string span(const std::string &first, const std::string &last)
{
    return first == last ? first : first + "–" + last;
}

} // namespace

// --- Inputs ---------------------------------------------------------------------------------

const std::array<EconomicFieldInfo, kEconomicFieldCount> kEconomicFields = {{
    {EconomicField::SawlogPrice, "prices.sawlog", "Preço da madeira (€/m3)", "txtPrecoMadeira", true, kLargestMoney},
    {EconomicField::RoundwoodPrice, "prices.roundwood", "Preço da rolaria (€/m3)", "txtPrecoRolaria", true,
     kLargestMoney},
    {EconomicField::FirewoodPrice, "prices.firewood", "Preço da lenha (€/m3)", "txtPrecoLenha", true, kLargestMoney},
    {EconomicField::ThinningCost, "costs.thinning", "Custo de cada desbaste (€/ha)", "txtCustoDesbaste", false,
     kLargestMoney},
    {EconomicField::FinalFellingCost, "costs.finalFelling", "Custo do corte final (€/ha)", "txtCustoCorteFinal", false,
     kLargestMoney},
    {EconomicField::CostPerCubicMetre, "costs.perCubicMetre", "Custo de exploração (€/m3)", "txtCustoM3", false,
     kLargestMoney},
    {EconomicField::AnnualCost, "costs.annual", "Custo anual (€/ha/ano)", "txtCustoAnual", false, kLargestMoney},
    {EconomicField::EstablishmentCost, "costs.establishment", "Custo de instalação (€/ha)", "txtCustoInstalacao",
     false, kLargestMoney},
    {EconomicField::DiscountRate, "discountRate", "Taxa de actualização (%/ano)", "txtTaxa", true, 100.0},
}};

const EconomicFieldInfo &economicFieldInfo(EconomicField field)
{
    return kEconomicFields[static_cast<size_t>(field)];
}

std::variant<double, Message> readBoundedField(const std::string &text, std::optional<double> blankValue,
                                               double smallest, double largest, const char *label)
{
    const bool blank = text.find_first_not_of(" \t") == std::string::npos;
    const std::optional<double> number = blank && blankValue ? blankValue : parseNumber(text);
    if (!number || *number < smallest || *number > largest)
        return Message::warning("Dados Inválidos", std::string("O campo \"") + label + "\" deve ser um número entre " +
                                                       plainNumberText(smallest) + " e " + plainNumberText(largest) +
                                                       ".");
    return *number;
}

std::variant<EconomicInputs, EconomicRefusal> readEconomicInputs(const EconomicTexts &texts)
{
    std::array<double, kEconomicFieldCount> v{};
    for (const EconomicFieldInfo &info : kEconomicFields) {
        const std::string &text = texts[info.field];
        auto number = readBoundedField(text, info.required ? std::nullopt : std::optional<double>(0.0), 0.0,
                                       info.largest, info.label);
        if (auto *box = std::get_if<Message>(&number))
            return EconomicRefusal{info.field, std::string("economics.") + info.keyPath, std::move(*box)};
        v[static_cast<size_t>(info.field)] = std::get<double>(number);
    }
    auto at = [&](EconomicField f) { return v[static_cast<size_t>(f)]; };
    EconomicInputs in;
    in.sawlogPrice = at(EconomicField::SawlogPrice);
    in.roundwoodPrice = at(EconomicField::RoundwoodPrice);
    in.firewoodPrice = at(EconomicField::FirewoodPrice);
    in.thinningCost = at(EconomicField::ThinningCost);
    in.finalFellingCost = at(EconomicField::FinalFellingCost);
    in.costPerCubicMetre = at(EconomicField::CostPerCubicMetre);
    in.annualCost = at(EconomicField::AnnualCost);
    in.establishmentCost = at(EconomicField::EstablishmentCost);
    in.discountRatePercent = at(EconomicField::DiscountRate);
    return in;
}

std::variant<double, Message> readLandValue(const EconomicTexts &texts)
{
    const std::string &text = texts.landValue;
    if (text.find_first_not_of(" \t") == std::string::npos)
        return 0.0;
    const std::optional<double> number = parseNumber(text);
    if (!number || *number < 0.0 || *number > kLargestMoney)
        return Message::warning("Dados Inválidos", "O valor do solo (€/ha) deve ser um número entre 0 e " +
                                                       plainNumberText(kLargestMoney) + ".");
    return *number;
}

// --- The record as valued ---------------------------------------------------------------------

bool closesThinning(const std::vector<ValuationRow> &rows, size_t i)
{
    return i > 0 && i < rows.size() && rows[i].afterThinning && !rows[i - 1].afterThinning &&
           rows[i - 1].age == rows[i].age;
}

std::optional<std::vector<ValuationRow>> valuationRows(const StandState &state)
{
    const int n = recordRowCount(state);
    if (n == 0)
        return std::nullopt;
    std::vector<ValuationRow> rows;
    rows.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const auto &cells = state.record[i];
        ValuationRow r;
        r.year = recordText(cells, RecordColumn::Year);
        r.ageText = recordText(cells, RecordColumn::Age);
        r.afterThinning = recordText(cells, RecordColumn::Code) == "D";
        const auto age = parseNumber(r.ageText);
        const auto total = parseNumber(recordText(cells, RecordColumn::TotalVolume));
        const auto roundwood = parseNumber(recordText(cells, RecordColumn::RoundwoodVolume));
        const auto sawlog = parseNumber(recordText(cells, RecordColumn::SawlogVolume));
        const auto firewood = parseNumber(recordText(cells, RecordColumn::FirewoodVolume));
        if (!age || !total || !roundwood || !sawlog || !firewood)
            return std::nullopt;
        r.age = *age;
        r.total = *total;
        r.roundwood = *roundwood;
        r.sawlog = *sawlog;
        r.firewood = *firewood;
        rows.push_back(r);
    }
    return rows;
}

bool enteredAsPlanted(const StandState &state)
{
    // Not the unthinned flag, which the first thinning from below sets to 0,
    // nor the trees planted, which the model also works out from the trees alive.
    return state.enteredPlanted;
}

// --- The valuation ----------------------------------------------------------------------------

Valuation valueRecord(const std::vector<ValuationRow> &rows, const EconomicInputs &in, bool planted)
{
    Valuation v;
    v.ratePercent = in.discountRatePercent;
    v.annualCost = in.annualCost;
    if (rows.empty())
        return v;
    const double r = in.discountRatePercent / 100.0;
    v.firstAge = rows.front().age;
    v.lastAge = rows.back().age;

    auto harvest = [&](CashFlowKind kind, const ValuationRow &at, double sawlog, double roundwood, double firewood,
                       double total, double fixedCost) {
        CashFlow f;
        f.kind = kind;
        f.year = at.year;
        f.ageText = at.ageText;
        f.yearNumber = parseNumber(at.year);
        f.age = at.age;
        f.sawlog = sawlog;
        f.roundwood = roundwood;
        f.firewood = firewood;
        f.total = total;
        f.revenue = in.sawlogPrice * sawlog + in.roundwoodPrice * roundwood + in.firewoodPrice * firewood;
        f.cost = in.costPerCubicMetre * total + fixedCost;
        f.net = f.revenue - f.cost;
        f.discounted = f.net * discountFactor(r, at.age - v.firstAge);
        v.flows.push_back(f);
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        const ValuationRow &row = rows[i];
        // A thinning: the stand it left, paired with the stand before it.
        if (closesThinning(rows, i)) {
            const ValuationRow &before = rows[i - 1];
            harvest(CashFlowKind::Thinning, row, before.sawlog - row.sawlog, before.roundwood - row.roundwood,
                    before.firewood - row.firewood, before.total - row.total, in.thinningCost);
        }
    }
    const ValuationRow &last = rows.back();
    harvest(CashFlowKind::FinalFelling, last, last.sawlog, last.roundwood, last.firewood, last.total,
            in.finalFellingCost);

    const double years = v.lastAge - v.firstAge;
    if (in.annualCost != 0.0 && years > 0.0) {
        CashFlow a;
        a.kind = CashFlowKind::AnnualCosts;
        const auto firstYear = parseNumber(rows.front().year);
        const auto lastYear = parseNumber(last.year);
        if (firstYear && lastYear)
            a.year = span(plainNumberText(*firstYear + 1.0), plainNumberText(*lastYear));
        a.ageText = span(plainNumberText(v.firstAge + 1.0), plainNumberText(v.lastAge));
        a.cost = in.annualCost * years;
        a.net = -a.cost;
        a.discounted = -in.annualCost * annuityFactor(r, years);
        v.flows.push_back(a);
    }

    for (const CashFlow &f : v.flows) {
        v.totals.sawlog += f.sawlog;
        v.totals.roundwood += f.roundwood;
        v.totals.firewood += f.firewood;
        v.totals.total += f.total;
        v.totals.revenue += f.revenue;
        v.totals.cost += f.cost;
        v.totals.net += f.net;
        v.totals.discounted += f.discounted;
    }
    v.npv = npvAtRate(v, in.discountRatePercent);

    if (years > 0.0)
        v.eaa = finite(v.npv / annuityFactor(r, years));

    // The regime from planting, repeated for ever on the same land.
    if (planted && r > 0.0 && v.lastAge > 0.0) {
        double npv0 = -in.establishmentCost - in.annualCost * annuityFactor(r, v.lastAge);
        for (const CashFlow &f : v.flows)
            if (f.age)
                npv0 += f.net * discountFactor(r, *f.age);
        // (1+r)^T / ((1+r)^T − 1) = 1 / (1 − (1+r)^-T)
        v.lev = finite(npv0 / discountedShare(r, v.lastAge));
    }
    return v;
}

std::optional<Valuation> valueSimulation(const StandState &state, const EconomicInputs &inputs)
{
    const auto rows = valuationRows(state);
    if (!rows)
        return std::nullopt;
    return valueRecord(*rows, inputs, enteredAsPlanted(state));
}

double npvAtRate(const Valuation &valuation, double ratePercent)
{
    const double r = ratePercent / 100.0;
    double npv = 0.0;
    for (const CashFlow &f : valuation.flows)
        if (f.age)
            npv += f.net * discountFactor(r, *f.age - valuation.firstAge);
    const double years = valuation.lastAge - valuation.firstAge;
    if (years > 0.0)
        npv -= valuation.annualCost * annuityFactor(r, years);
    return npv;
}

std::vector<ChartPoint> cumulativeDiscountedFlow(const Valuation &valuation)
{
    std::vector<ChartPoint> points;
    if (valuation.flows.empty())
        return points;
    const double r = valuation.ratePercent / 100.0;
    double sum = 0.0;
    auto harvestsAt = [&](double age) {
        bool any = false;
        for (const CashFlow &f : valuation.flows)
            if (f.age && *f.age == age) {
                sum += f.discounted;
                any = true;
            }
        // A harvest is a step: the value just before it, then just after.
        if (any)
            points.push_back({age, sum});
    };
    points.push_back({valuation.firstAge, 0.0});
    harvestsAt(valuation.firstAge);
    const int years = static_cast<int>(std::lround(valuation.lastAge - valuation.firstAge));
    for (int k = 1; k <= years; ++k) {
        const double age = valuation.firstAge + k;
        sum -= valuation.annualCost * discountFactor(r, k);
        points.push_back({age, sum});
        harvestsAt(age);
    }
    return points;
}

std::vector<ChartPoint> npvByRate(const Valuation &valuation, double largestPercent,
                                  double stepPercent)
{
    std::vector<ChartPoint> points;
    const int steps = static_cast<int>(std::lround(largestPercent / stepPercent));
    for (int i = 0; i <= steps; ++i) {
        const double rate = i * stepPercent;
        points.push_back({rate, npvAtRate(valuation, rate)});
    }
    return points;
}

// --- Texts ------------------------------------------------------------------------------------

std::string moneyText(double euros)
{
    std::string s = formatFixed(euros, 2);
    if (s == "-0.00")
        s = "0.00";
    return s;
}

std::string operationText(CashFlowKind kind)
{
    switch (kind) {
    case CashFlowKind::Thinning: return "Desbaste";
    case CashFlowKind::FinalFelling: return "Corte final";
    case CashFlowKind::AnnualCosts: return "Custos anuais";
    }
    return {};
}

const char *operationKey(CashFlowKind kind)
{
    switch (kind) {
    case CashFlowKind::Thinning: return "thinning";
    case CashFlowKind::FinalFelling: return "finalFelling";
    case CashFlowKind::AnnualCosts: return "annual";
    }
    return "";
}

const std::array<const char *, 11> kCashFlowHeaders = {"Ano",   "Idade",   "Operação", "Madeira", "Rolaria", "Lenha",
                                                      "Total", "Receita", "Custos",   "Fluxo",   "Fluxo actualizado"};

std::vector<std::array<std::string, 11>> cashFlowTable(const Valuation &valuation)
{
    std::vector<std::array<std::string, 11>> rows;
    auto money = [](const CashFlow &f, std::array<std::string, 11> &row) {
        row[7] = moneyText(f.revenue);
        row[8] = moneyText(f.cost);
        row[9] = moneyText(f.net);
        row[10] = moneyText(f.discounted);
    };
    for (const CashFlow &f : valuation.flows) {
        std::array<std::string, 11> row;
        row[0] = f.year;
        row[1] = f.ageText;
        row[2] = operationText(f.kind);
        if (f.kind != CashFlowKind::AnnualCosts) {
            row[3] = formatFixed(f.sawlog, 2);
            row[4] = formatFixed(f.roundwood, 2);
            row[5] = formatFixed(f.firewood, 2);
            row[6] = formatFixed(f.total, 2);
        }
        money(f, row);
        rows.push_back(row);
    }
    std::array<std::string, 11> total;
    total[2] = "Total";
    total[3] = formatFixed(valuation.totals.sawlog, 2);
    total[4] = formatFixed(valuation.totals.roundwood, 2);
    total[5] = formatFixed(valuation.totals.firewood, 2);
    total[6] = formatFixed(valuation.totals.total, 2);
    money(valuation.totals, total);
    rows.push_back(total);
    return rows;
}

std::string valuationJson(const Valuation &v)
{
    std::string out = "{\n  \"npv\": " + moneyText(v.npv) + ",\n  \"eaa\": " + numberJson(v.eaa) +
                      ",\n  \"lev\": " + numberJson(v.lev) + ",\n  \"cashFlows\": [";
    for (size_t i = 0; i < v.flows.size(); ++i) {
        const CashFlow &f = v.flows[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"year\": " + (f.yearNumber ? plainNumberText(*f.yearNumber) : std::string("null"));
        out += ", \"age\": " + (f.age ? plainNumberText(*f.age) : std::string("null"));
        out += ", \"operation\": " + quoted(operationKey(f.kind));
        out += ", \"sawlog\": " + formatFixed(f.sawlog, 2);
        out += ", \"roundwood\": " + formatFixed(f.roundwood, 2);
        out += ", \"firewood\": " + formatFixed(f.firewood, 2);
        out += ", \"total\": " + formatFixed(f.total, 2);
        out += ", \"revenue\": " + moneyText(f.revenue);
        out += ", \"cost\": " + moneyText(f.cost);
        out += ", \"net\": " + moneyText(f.net);
        out += ", \"discounted\": " + moneyText(f.discounted) + "}";
    }
    out += v.flows.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

std::string npvLine(const Valuation &v)
{
    return "Valor actual líquido (VAL): " + moneyText(v.npv) + " €/ha";
}

std::string eaaLine(const Valuation &v)
{
    return "Valor anual equivalente (VAE): " + (v.eaa ? moneyText(*v.eaa) + " €/ha/ano" : std::string("—"));
}

std::string levLine(const Valuation &v)
{
    return "Valor esperado do solo (VES): " + (v.lev ? moneyText(*v.lev) + " €/ha" : std::string("—"));
}

} // namespace tavelo
