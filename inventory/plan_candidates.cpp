#include "plan_candidates.h"

#include "inventory/results_tables.h"
#include "inventory/batch.h"
#include "inventory/inventory_source.h"
#include "regimes/optimizer.h"
#include "base/csv.h"
#include "base/worker_pool.h"
#include "base/numeric_text.h"
#include "session/structure/sim_log.h"

#include <atomic>
#include <cmath>
#include <exception>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unordered_set>

namespace tavelo {

namespace {

constexpr double kYearTolerance = 1e-6;
// Larger than any stand: an area beyond it is a typing slip (square metres, a missing point).
constexpr double kLargestStandArea = 1e6;

// The period a harvest `years` after the plan's first year falls in; -1 outside.
int periodOf(double years, size_t periods)
{
    const int p = static_cast<int>(std::floor(years / kPlanPeriodYears + kYearTolerance));
    return p >= 0 && p < static_cast<int>(periods) ? p : -1;
}

std::string volumeText(double v)
{
    return formatFixed(v, 2);
}

} // namespace

std::optional<KeptCandidate> summariseRegime(const std::vector<ValuationRow> &rows, bool planted, double area,
                                             const PlanSettings &settings)
{
    if (rows.empty())
        return std::nullopt;
    const Valuation v = valueRecord(rows, settings.economics, planted);
    const size_t P = settings.periods();
    const double age0 = rows.front().age;
    KeptCandidate k;
    PlanCandidate &c = k.plan;
    CandidateDetail &d = k.detail;
    c.harvestTotal.assign(P, 0.0);
    c.harvestSawlog.assign(P, 0.0);
    d.roundwood.assign(P, 0.0);
    d.firewood.assign(P, 0.0);
    d.revenue.assign(P, 0.0);
    d.standingEnd.assign(P, 0.0);
    double fellingAfter = rows.back().age - age0; // years from the plan's first year
    for (const CashFlow &f : v.flows) {
        if (!f.age)
            continue; // the annual costs
        const int p = periodOf(*f.age - age0, P);
        if (f.kind == CashFlowKind::FinalFelling)
            fellingAfter = *f.age - age0;
        if (p < 0)
            continue;
        c.harvestTotal[p] += f.total * area;
        c.harvestSawlog[p] += f.sawlog * area;
        d.roundwood[p] += f.roundwood * area;
        d.firewood[p] += f.firewood * area;
        d.revenue[p] += f.revenue * area;
    }
    const int fellingYear = settings.startYear + static_cast<int>(std::lround(fellingAfter));
    if (fellingAfter < settings.horizonYears - kYearTolerance)
        c.fellingYear = fellingYear;
    // The stand as it stands at each period's end, before anything cut that year.
    for (size_t p = 0; p < P; ++p) {
        const double end = static_cast<double>(kPlanPeriodYears * (p + 1));
        if (fellingAfter < end - kYearTolerance)
            continue; // bare land
        for (const ValuationRow &r : rows)
            if (!r.afterThinning && std::abs(r.age - age0 - end) < kYearTolerance) {
                d.standingEnd[p] = r.total * area;
                break;
            }
    }
    c.standingAtHorizon = P ? d.standingEnd[P - 1] : 0.0;
    const double rate = settings.economics.discountRatePercent / 100.0;
    c.value = area * (v.npv + settings.landValue * std::pow(1.0 + rate, -fellingAfter));
    if (!std::isfinite(c.value))
        return std::nullopt;
    return k;
}

void addHorizonCarbon(KeptCandidate &k, const std::vector<ValuationRow> &overBarkRows, double area,
                      const PlanSettings &settings, const CarbonFactors &factors)
{
    const HorizonCarbon held = horizonCarbon(carbonAccount(overBarkRows, factors), factors, settings.horizonYears,
                                             kPlanPeriodYears);
    k.plan.carbon = held.mean * area;
    k.detail.carbonEnd.assign(settings.periods(), 0.0);
    for (size_t p = 0; p < settings.periods() && p < held.atPeriodEnds.size(); ++p)
        k.detail.carbonEnd[p] = held.atPeriodEnds[p] * area;
}

namespace {

// The best regime of each felling year within the horizon, and the best one
// felled later: all that is kept of a search, whatever its size.
class BestByFellingYear {
public:
    void offer(KeptCandidate c, const std::function<std::string()> &schedule)
    {
        std::optional<KeptCandidate> &slot = c.plan.fellingYear ? byYear_[*c.plan.fellingYear] : later_;
        if (slot && !(c.plan.value > slot->plan.value))
            return;
        c.detail.schedule = schedule();
        slot = std::move(c);
    }
    // Wants a regime of this year and value?
    bool wants(const std::optional<int> &year, double value) const
    {
        const std::optional<KeptCandidate> *slot = &later_;
        if (year) {
            const auto it = byYear_.find(*year);
            if (it == byYear_.end())
                return true;
            slot = &it->second;
        }
        return !*slot || value > (*slot)->plan.value;
    }
    std::vector<KeptCandidate> take()
    {
        std::vector<KeptCandidate> out;
        for (auto &[year, c] : byYear_)
            out.push_back(std::move(*c));
        if (later_)
            out.push_back(std::move(*later_));
        return out;
    }

private:
    std::map<int, std::optional<KeptCandidate>> byYear_;
    std::optional<KeptCandidate> later_;
};

CarbonFactors factorsOr(const CarbonTexts &texts, const CarbonFactors &otherwise)
{
    const auto read = readCarbonFactors(texts);
    return std::holds_alternative<CarbonFactors>(read) ? std::get<CarbonFactors>(read) : otherwise;
}

} // namespace

std::string spaceSchedule(const RankedRegime &r)
{
    std::string s = r.thinnings.empty() ? std::string() : scheduleText(r.thinnings) + "; ";
    return s + plainNumberText(r.rotationAge) + ": corte final";
}

namespace {

struct StandInput {
    size_t line = 0;
    std::string rawId;
    std::variant<InventoryStand, std::string> row;
    double area = 0.0;
    StandGeometry geometry;
};

GatheredStand standCandidates(const StandInput &in, const CandidateSource &source, const PlanSettings &settings)
{
    GatheredStand out;
    out.line = in.line;
    if (const auto *why = std::get_if<std::string>(&in.row)) {
        out.errorLine = errorsCsvLine(in.rawId, "malformed", "", "line " + std::to_string(in.line) + ": " + *why);
        return out;
    }
    const auto &stand = std::get<InventoryStand>(in.row);
    std::vector<KeptCandidate> kept;
    std::optional<Message> message;
    std::string problem;
    bool refused = false;
    double initial = 0.0;
    if (source.space) {
        const Scenario scenario{settings.options, stand.stand, stand.density, {}, std::nullopt, std::nullopt, std::nullopt};
        BestByFellingYear best;
        OptimizeOptions o;
        o.top = 0;
        o.jobs = 1; // the stands are shared out, not each stand's tree
        o.maxRegimes = source.maxRegimes;
        o.carbon = settings.carbon; // the walk then keeps the rows over bark
        o.visit = [&](const std::vector<ValuationRow> &rows, const std::vector<ValuationRow> &overBark,
                      const std::function<RankedRegime()> &describe) {
            auto c = summariseRegime(rows, false, in.area, settings);
            if (!c || !best.wants(c->plan.fellingYear, c->plan.value))
                return;
            addHorizonCarbon(*c, overBark, in.area, settings, settings.carbon);
            initial = rows.front().total * in.area;
            best.offer(std::move(*c), [&] { return spaceSchedule(describe()); });
        };
        const OptimizeResult found = optimizeRegime(scenario, *source.space, o);
        kept = best.take();
        message = found.message;
        problem = refusalText(found);
        if (found.refusal == OptimizeResult::Refusal::BeyondLimit)
            problem += " (give --max-regimes N to search more)"; // tavelo-cli plan's option
        refused = found.status == OptimizeResult::Status::Refused;
    } else {
        for (const auto &[label, regime] : source.regimes) {
            Scenario scenario = scenarioOf(regime, stand.stand, stand.density);
            scenario.economics.reset(); // the plan values its candidates itself
            StandState state;
            std::string logBytes; // the plan writes no logs
            LogFile log;
            log.collectInto(&logBytes);
            const RunResult run = runScenario(scenario, state, log);
            if (run.status != RunResult::Status::Completed) {
                if (!message) {
                    message = run.message;
                    refused = run.status == RunResult::Status::Refused;
                }
                continue;
            }
            const auto rows = valuationRows(state);
            const auto overBark = carbonRows(state);
            if (!rows || !overBark)
                continue;
            // A regime file's own carbon section, else the plan's factors.
            const CarbonFactors factors = regime.carbon ? factorsOr(*regime.carbon, settings.carbon) : settings.carbon;
            if (auto c = summariseRegime(*rows, enteredAsPlanted(state), in.area, settings)) {
                addHorizonCarbon(*c, *overBark, in.area, settings, factors);
                initial = rows->front().total * in.area;
                c->detail.schedule = label;
                kept.push_back(std::move(*c));
            }
        }
    }
    if (kept.empty()) {
        const std::string text = !problem.empty() ? problem : message ? message->text : "no regime is feasible";
        out.errorLine = errorsCsvLine(stand.id, refused ? "refused" : "infeasible", message ? message->title : "", text);
        return out;
    }
    PlanStand s;
    s.id = stand.id;
    s.area = in.area;
    s.standingInitial = initial;
    for (KeptCandidate &k : kept) {
        s.candidates.push_back(std::move(k.plan));
        out.details.push_back(std::move(k.detail));
    }
    out.stand = std::move(s);
    return out;
}

std::vector<StandInput> readStands(const std::filesystem::path &inventory, const std::string &table,
                                   GatheringRead &read)
{
    const std::unique_ptr<InventorySource> source = openInventory(inventory, table);
    std::optional<MapLayer> &map = read.map;
    read.warnings = source->warnings();
    read.fingerprint = source->fingerprint();
    if (!source->geometryType().empty())
        map = MapLayer{source->geometryType(), source->crs()};
    if (!source->hasArea())
        throw std::runtime_error(inventory.string() + ": column \"area\" missing; a plan needs each stand's area");
    std::vector<StandInput> stands;
    stands.reserve(source->count());
    InventoryStands reader(*source);
    StandRow row;
    while (reader.next(row)) {
        StandInput s;
        s.line = row.line;
        s.rawId = row.rawId;
        // Read by tavelo-cli, which says a row's problem in English.
        if (const auto *why = std::get_if<ReadProblem>(&row.stand))
            s.row = englishText(*why);
        else
            s.row = std::get<InventoryStand>(std::move(row.stand));
        s.geometry = std::move(row.geometry);
        if (std::holds_alternative<InventoryStand>(s.row)) {
            const std::optional<double> area = parseNumber(row.area);
            if (row.area.find_first_not_of(" \t") == std::string::npos)
                s.row = std::string("area is empty; a plan needs each stand's area");
            else if (!area || !std::isfinite(*area) || *area <= 0.0 || *area > kLargestStandArea)
                s.row = "area \"" + row.area + "\" must be a number of hectares above 0 and at most " +
                        plainNumberText(kLargestStandArea);
            else
                s.area = *area;
        }
        stands.push_back(std::move(s));
    }
    return stands;
}

} // namespace

GatheringRead gatherStandByStand(const std::filesystem::path &inventory, const std::string &table,
                                 const CandidateSource &source, const PlanSettings &settings, unsigned jobs,
                                 const GatheringHooks &hooks, const std::atomic<bool> *stop)
{
    GatheringRead read;
    std::vector<StandInput> stands = readStands(inventory, table, read);
    read.rows = stands.size();
    if (hooks.ready)
        hooks.ready(read);
    std::vector<size_t> positions;
    for (size_t p = 0; p < stands.size(); ++p)
        if (!hooks.wanted || hooks.wanted(p))
            positions.push_back(p);
    size_t produced = 0, done = 0;
    // A stop hands out no more stands; those under way finish.
    auto next = [&](size_t &i) {
        if (stop && stop->load())
            read.interrupted = produced < positions.size();
        if (read.interrupted || produced == positions.size())
            return false;
        i = positions[produced++];
        return true;
    };
    runOrdered<size_t, GatheredStand>(
        {jobs, 1, 0}, next,
        [&](size_t &i) {
            GatheredStand g = standCandidates(stands[i], source, settings);
            g.position = i;
            g.geometry = std::move(stands[i].geometry); // handed on, not kept twice
            return g;
        },
        [&](GatheredStand &&g) {
            hooks.take(std::move(g));
            if (hooks.progress)
                hooks.progress(++done, positions.size());
        });
    return read;
}

void addGathered(PlanInventory &inv, GatheredStand &&g)
{
    if (g.stand) {
        inv.stands.push_back(std::move(*g.stand));
        inv.details.push_back(std::move(g.details));
        inv.geometries.push_back(std::move(g.geometry));
        inv.positions.push_back(g.position);
    } else {
        inv.errorsCsv += g.errorLine;
        if (auto cells = splitCsvLine(g.errorLine.substr(0, g.errorLine.size() - 1)))
            inv.errorRows.push_back(std::move(*cells));
    }
}

size_t mostCandidatesAStand(const CandidateSource &source, const PlanSettings &settings)
{
    if (!source.space)
        return source.regimes.size();
    // Regimes end at the stand's 5-year screens: one felling a period, or later.
    return settings.periods() + 1;
}

PlanInventory gatherCandidates(const std::filesystem::path &inventory, const std::string &table,
                               const CandidateSource &source, const PlanSettings &settings, unsigned jobs,
                               const std::function<void(size_t done, size_t total)> &progress,
                               const std::atomic<bool> *stop, const std::function<void(const GatheringRead &)> &ready)
{
    PlanInventory inv;
    GatheringHooks hooks;
    hooks.ready = ready;
    hooks.take = [&inv](GatheredStand &&g) { addGathered(inv, std::move(g)); };
    hooks.progress = progress;
    GatheringRead read = gatherStandByStand(inventory, table, source, settings, jobs, hooks, stop);
    inv.rows = read.rows;
    inv.interrupted = read.interrupted;
    inv.map = std::move(read.map);
    inv.warnings = std::move(read.warnings);
    return inv;
}

std::string candidatesCsv(const PlanInventory &inv, const PlanSettings &settings, FlowBasis basis)
{
    std::string out = "stand,candidate,schedule,value,fellingYear,standingAtHorizon,carbon";
    for (size_t p = 0; p < settings.periods(); ++p) {
        out += ",p";
        out += std::to_string(p);
    }
    out += '\n';
    for (size_t s = 0; s < inv.stands.size(); ++s) {
        const PlanStand &st = inv.stands[s];
        for (size_t k = 0; k < st.candidates.size(); ++k) {
            const PlanCandidate &c = st.candidates[k];
            out += csvCell(st.id) + "," + std::to_string(k + 1) + "," + csvCell(inv.details[s][k].schedule) + "," +
                   formatFixed(c.value, 2) + "," + (c.fellingYear ? std::to_string(*c.fellingYear) : std::string()) +
                   "," + volumeText(c.standingAtHorizon) + "," + formatFixed(c.carbon, 2);
            for (size_t p = 0; p < settings.periods(); ++p) {
                out += ',';
                out += volumeText(planHarvest(c, basis, p));
            }
            out += '\n';
        }
    }
    return out;
}

std::vector<std::vector<std::string>> planRows(const PlanInventory &inv, const PlanSolution &solution)
{
    std::vector<std::vector<std::string>> rows;
    for (size_t s = 0; s < inv.stands.size() && s < solution.chosen.size(); ++s) {
        const PlanStand &st = inv.stands[s];
        const size_t k = solution.chosen[s];
        const PlanCandidate &c = st.candidates[k];
        rows.push_back({st.id, plainNumberText(st.area), std::to_string(k + 1), inv.details[s][k].schedule,
                        formatFixed(c.value, 2), c.fellingYear ? std::to_string(*c.fellingYear) : std::string(),
                        formatFixed(c.carbon, 2)});
    }
    return rows;
}

std::string planCsv(const PlanInventory &inv, const PlanSolution &solution)
{
    return csvHeader(kPlanTable) + csvTable(planRows(inv, solution));
}

std::vector<PlannedStand> plannedStands(const PlanInventory &inv, const PlanSolution &solution,
                                        const PlanSettings &settings)
{
    std::vector<PlannedStand> out;
    for (size_t s = 0; s < inv.stands.size() && s < solution.chosen.size(); ++s) {
        const size_t k = solution.chosen[s];
        const PlanCandidate &c = inv.stands[s].candidates[k];
        PlannedStand p;
        p.position = inv.positions[s];
        p.id = inv.stands[s].id;
        p.geometry = inv.geometries[s];
        p.schedule = inv.details[s][k].schedule;
        p.value = c.value;
        p.fellingYear = c.fellingYear;
        if (c.fellingYear)
            p.fellingPeriod = (*c.fellingYear - settings.startYear) / kPlanPeriodYears;
        out.push_back(std::move(p));
    }
    return out;
}

std::vector<PlanPeriod> planPeriods(const PlanInventory &inv, const PlanSolution &solution,
                                    const PlanSettings &settings)
{
    std::vector<PlanPeriod> periods(settings.periods());
    for (size_t p = 0; p < periods.size(); ++p) {
        periods[p].firstYear = settings.startYear + static_cast<int>(kPlanPeriodYears * p);
        periods[p].lastYear = periods[p].firstYear + kPlanPeriodYears - 1;
    }
    for (size_t s = 0; s < inv.stands.size() && s < solution.chosen.size(); ++s) {
        const size_t k = solution.chosen[s];
        const PlanCandidate &c = inv.stands[s].candidates[k];
        const CandidateDetail &d = inv.details[s][k];
        for (size_t p = 0; p < periods.size(); ++p) {
            periods[p].total += c.harvestTotal[p];
            periods[p].sawlog += c.harvestSawlog[p];
            periods[p].roundwood += d.roundwood[p];
            periods[p].firewood += d.firewood[p];
            periods[p].revenue += d.revenue[p];
            periods[p].standingAtEnd += d.standingEnd[p];
            if (p < d.carbonEnd.size())
                periods[p].carbonAtEnd += d.carbonEnd[p];
        }
    }
    if (solution.spatial && solution.spatial->aspatialChosen.size() == inv.stands.size())
        for (size_t p = 0; p < periods.size(); ++p) {
            double revenue = 0.0;
            for (size_t s = 0; s < inv.stands.size(); ++s)
                revenue += inv.details[s][solution.spatial->aspatialChosen[s]].revenue[p];
            periods[p].revenueWithoutRule = revenue;
        }
    return periods;
}

std::vector<std::vector<std::string>> periodRows(const std::vector<PlanPeriod> &periods)
{
    std::vector<std::vector<std::string>> rows;
    for (size_t p = 0; p < periods.size(); ++p) {
        const PlanPeriod &x = periods[p];
        rows.push_back({std::to_string(p), std::to_string(x.firstYear) + "-" + std::to_string(x.lastYear),
                        volumeText(x.total), volumeText(x.sawlog), volumeText(x.roundwood), volumeText(x.firewood),
                        formatFixed(x.revenue, 2), volumeText(x.standingAtEnd), formatFixed(x.carbonAtEnd, 2),
                        x.revenueWithoutRule ? formatFixed(*x.revenueWithoutRule, 2) : std::string()});
    }
    return rows;
}

std::string periodsCsv(const std::vector<PlanPeriod> &periods)
{
    return csvHeader(kPlanPeriodsTable) + csvTable(periodRows(periods));
}

} // namespace tavelo
