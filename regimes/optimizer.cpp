#include "optimizer.h"

#include "base/csv.h"
#include "base/numeric_text.h"
#include "base/worker_pool.h"
#include "model/growth_model.h"
#include "model/model_error.h"
#include "session/structure/sim_log.h"
#include "session/structure/sim_record.h"
#include "session/structure/simulation.h"
#include "session/structure/stand_table.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdint>
#include <deque>
#include <exception>
#include <map>
#include <tuple>
#include <memory>
#include <mutex>
#include <thread>

namespace tavelo {

std::optional<Objective> objectiveFromName(const std::string &name)
{
    if (name == "npv")
        return Objective::Npv;
    if (name == "lev")
        return Objective::Lev;
    if (name == "volume")
        return Objective::Volume;
    if (name == "sawlog")
        return Objective::Sawlog;
    if (name == "carbon")
        return Objective::Carbon;
    return std::nullopt;
}

const char *objectiveName(Objective o)
{
    switch (o) {
    case Objective::Npv: return "npv";
    case Objective::Lev: return "lev";
    case Objective::Volume: return "volume";
    case Objective::Sawlog: return "sawlog";
    case Objective::Carbon: return "carbon";
    }
    return "";
}

namespace {

double cellNumber(const std::string &text)
{
    return parseNumber(text).value_or(0.0);
}

// A stand table's Total row as the record keeps it and the valuation reads it
// (the age as its recorded text reads; year and texts are not needed).
ValuationRow rowOf(const StandTable &table, double age, bool thinned)
{
    const TableRow &total = table.totalRow();
    ValuationRow r;
    r.age = cellNumber(plainNumberText(age));
    r.afterThinning = thinned;
    r.total = cellNumber(tableCell(total, TableColumn::TotalVolume));
    r.roundwood = cellNumber(tableCell(total, TableColumn::RoundwoodVolume));
    r.sawlog = cellNumber(tableCell(total, TableColumn::SawlogVolume));
    r.firewood = cellNumber(tableCell(total, TableColumn::FirewoodVolume));
    return r;
}

} // namespace

HarvestVolumes harvestVolumes(const std::vector<ValuationRow> &rows)
{
    HarvestVolumes v;
    for (size_t i = 1; i < rows.size(); ++i) {
        if (closesThinning(rows, i)) {
            v.total += rows[i - 1].total - rows[i].total;
            v.sawlog += rows[i - 1].sawlog - rows[i].sawlog;
        }
    }
    if (!rows.empty()) {
        v.total += rows.back().total;
        v.sawlog += rows.back().sawlog;
    }
    return v;
}

std::string scheduleText(const std::vector<ScheduledThinning> &thinnings)
{
    if (thinnings.empty())
        return "sem desbastes";
    std::string s;
    for (const ScheduledThinning &t : thinnings) {
        if (!s.empty())
            s += "; ";
        s += plainNumberText(t.age) + ": ";
        if (t.thinning.choice == ScreenEntries::Thinning::Mechanical)
            s += "mecânico " + t.thinning.mechanicalPercent + " %";
        else
            s += "pelo baixo " + t.thinning.residualBasalArea + " m2/ha";
    }
    return s;
}

namespace {

// Ages on the 5-year grid are sums of fives; the tolerance absorbs the last bit.
constexpr double kAgeTolerance = 1e-6;
// The tree is cut at its first levels into at least this many subtrees, the
// same whatever the number of jobs.
constexpr size_t kMinSubtrees = 64;
// ...but a level is not laid out once it would hold more stand states than
// this: with many intensities one level alone could fill the memory.
constexpr size_t kMaxFrontier = 1024;

// The choices at a stand screen, in the order of the walk: end the rotation
// here, project, or thin with one of the intensities and then project. Wide
// enough for any list of intensities a space file can hold.
using Choice = uint32_t;
constexpr Choice kEnd = 0;
constexpr Choice kProject = 1;
constexpr Choice kFirstThinning = 2;

// A stand screen reached by a schedule: the stand as the session holds it, the
// record's rows so far, and the choices that led here.
struct Node {
    StandState state;
    ScreenEntries entries;
    std::vector<ValuationRow> rows;
    // The same rows with their volumes over bark, for the carbon of a record
    // shown without bark (empty otherwise).
    std::vector<ValuationRow> overBarkRows;
    std::vector<Choice> path;
    int thinnings = 0;
    std::optional<double> lastThinningAge;
};

struct Candidate {
    double objective = 0.0;
    std::vector<Choice> path;
    HarvestVolumes volumes;
    std::optional<double> npv, eaa, lev;
};

// Best first; equal values keep the order of the walk.
bool better(double value, const std::vector<Choice> &path, const Candidate &than)
{
    if (value != than.objective)
        return value > than.objective;
    return path < than.path;
}

class TopList {
public:
    explicit TopList(size_t capacity) : capacity_(capacity) {}

    bool wants(double value, const std::vector<Choice> &path) const
    {
        return capacity_ > 0 && (items_.size() < capacity_ || better(value, path, items_.back()));
    }
    void add(Candidate c)
    {
        const auto at = std::find_if(items_.begin(), items_.end(),
                                      [&](const Candidate &o) { return better(c.objective, c.path, o); });
        items_.insert(at, std::move(c));
        if (items_.size() > capacity_)
            items_.pop_back();
    }
    void merge(TopList &&other)
    {
        for (Candidate &c : other.items_)
            if (wants(c.objective, c.path))
                add(std::move(c));
    }
    std::vector<Candidate> &items() { return items_; }

private:
    size_t capacity_;
    std::vector<Candidate> items_;
};

// The scenario steps and the schedule that a path of choices stands for.
RankedRegime regimeOf(const Candidate &c, double initialAge, const std::vector<ThinningInput> &thinnings)
{
    RankedRegime r;
    r.objective = c.objective;
    r.volumes = c.volumes;
    r.npv = c.npv;
    r.eaa = c.eaa;
    r.lev = c.lev;
    double age = initialAge;
    for (Choice choice : c.path) {
        if (choice == kEnd) {
            r.rotationAge = age;
            r.steps.push_back({ScenarioStep::Kind::End, {}});
            break;
        }
        if (choice >= kFirstThinning) {
            const ThinningInput &in = thinnings[choice - kFirstThinning];
            r.thinnings.push_back({age, in});
            r.steps.push_back({ScenarioStep::Kind::Thin, in});
        }
        r.steps.push_back({ScenarioStep::Kind::Project, {}});
        age += Simulation::kStepYears;
    }
    return r;
}

// What one walker has seen.
struct Tally {
    size_t states = 0;
    size_t feasible = 0;
    size_t endedByModel = 0;
    size_t refused = 0;
    // The model's message of the earliest branch it ended, in the order of the walk.
    std::optional<std::vector<Choice>> modelMessagePath;
    std::optional<Message> modelMessage;

    void modelEnded(const std::vector<Choice> &path, const ModelError &e)
    {
        ++endedByModel;
        if (!modelMessagePath || path < *modelMessagePath) {
            modelMessagePath = path;
            modelMessage = Message::error(e.title(), e.text());
        }
    }
    void merge(const Tally &o)
    {
        states += o.states;
        feasible += o.feasible;
        endedByModel += o.endedByModel;
        refused += o.refused;
        if (o.modelMessagePath && (!modelMessagePath || *o.modelMessagePath < *modelMessagePath)) {
            modelMessagePath = o.modelMessagePath;
            modelMessage = o.modelMessage;
        }
    }
};

// The tree of choices and how to step through it; shared read-only by the walkers.
class RegimeTree {
public:
    RegimeTree(const SearchSpace &space, const RotationAges &rotation, const OptimizeOptions &options, bool planted,
               bool overBark, double initialAge)
        : space_(space), rotation_(rotation), options_(options), planted_(planted), overBark_(overBark),
          initialAge_(initialAge)
    {
        for (const std::string &p : space.mechanical)
            thinnings_.push_back(ThinningInput::mechanical(p));
        for (const std::string &g : space.below)
            thinnings_.push_back(ThinningInput::fromBelow(g));
    }

    const std::vector<ThinningInput> &thinnings() const { return thinnings_; }

    bool canEnd(const Node &n) const
    {
        const double t = n.state.standAge.value();
        return t >= rotation_.first - kAgeTolerance && t <= rotation_.last + kAgeTolerance;
    }

    // The choices that lead on from `n`, in the order of the walk.
    void childChoices(const Node &n, std::vector<Choice> &out) const
    {
        out.clear();
        const double t = n.state.standAge.value();
        // A projection must leave a rotation age ahead; so must a thinning,
        // which is never made at the rotation age itself.
        if (t + Simulation::kStepYears > rotation_.last + kAgeTolerance)
            return;
        out.push_back(kProject);
        if (n.thinnings >= space_.maxThinnings)
            return;
        if (space_.firstAge && t < *space_.firstAge - kAgeTolerance)
            return;
        if (n.lastThinningAge && t - *n.lastThinningAge < space_.minInterval - kAgeTolerance)
            return;
        for (size_t k = 0; k < thinnings_.size(); ++k)
            out.push_back(static_cast<Choice>(kFirstThinning + k));
    }

    // How many regimes the walk from `root` can meet: the same choices as
    // childChoices and the same record limit as play, every thinning
    // taken as accepted. Counted over (age, thinnings, last thinning) states,
    // so it costs nothing next to the walk; a double holds any count exactly
    // enough to compare with a limit.
    double countRegimes(const Node &root) const
    {
        std::map<std::tuple<int, int, int>, double> memo;
        const double t0 = root.state.standAge.value();
        const size_t rows0 = root.rows.size();
        const double lastAge0 = root.lastThinningAge.value_or(0.0);
        const bool thinnedBefore = root.lastThinningAge.has_value();
        // k: screens after the root; n: thinnings made; last: screen of the
        // last thinning made in the walk, -1 for none.
        auto count = [&](auto &self, int k, int n, int last) -> double {
            const auto key = std::make_tuple(k, n, last);
            if (const auto it = memo.find(key); it != memo.end())
                return it->second;
            const double t = t0 + Simulation::kStepYears * k;
            const size_t rows = rows0 + static_cast<size_t>(k + n);
            double total = 0.0;
            if (t >= rotation_.first - kAgeTolerance && t <= rotation_.last + kAgeTolerance)
                total += 1.0;
            if (t + Simulation::kStepYears <= rotation_.last + kAgeTolerance) {
                if (rows + 1 <= static_cast<size_t>(kRecordMaxWritten))
                    total += self(self, k + 1, n, last);
                const bool hadThinning = last >= 0 || thinnedBefore;
                const double lastAge = last >= 0 ? t0 + Simulation::kStepYears * last : lastAge0;
                const bool mayThin = root.thinnings + n < space_.maxThinnings &&
                                     (!space_.firstAge || t >= *space_.firstAge - kAgeTolerance) &&
                                     (!hadThinning || t - lastAge >= space_.minInterval - kAgeTolerance);
                if (mayThin && !thinnings_.empty() && rows + 2 <= static_cast<size_t>(kRecordMaxWritten))
                    total += static_cast<double>(thinnings_.size()) * self(self, k + 1, n + 1, k);
            }
            memo.emplace(key, total);
            return total;
        };
        return count(count, 0, 0, -1);
    }

    // Plays one choice on `child`, a copy of its parent, exactly as the stand
    // screens would; false when it leads to no regime (counted in `tally`).
    bool play(Node &child, Choice choice, Tally &tally) const
    {
        ++tally.states;
        child.path.push_back(choice);
        try {
            if (choice == kProject) {
                projectWithoutThinning(child);
            } else {
                const ThinningInput &in = thinnings_[choice - kFirstThinning];
                if (!thinAndProject(child, in)) {
                    ++tally.refused;
                    return false;
                }
            }
        } catch (const ModelLimitError &e) {
            tally.modelEnded(child.path, e);
            return false;
        } catch (const ModelInputError &) {
            ++tally.refused; // the run would stop with the entry refused
            return false;
        }
        // The record keeps 34 rows: a longer regime could not be shown or valued.
        if (child.rows.size() > static_cast<size_t>(kRecordMaxWritten)) {
            ++tally.refused;
            return false;
        }
        return true;
    }

    // The regime that ends at `n`, offered to the ranking.
    void settle(const Node &n, Tally &tally, TopList &top, std::vector<Choice> &scratchPath) const
    {
        ++tally.feasible;
        if (options_.visit) {
            options_.visit(n.rows, overBark_ ? n.overBarkRows : n.rows, [&] {
                Candidate c;
                c.path = n.path;
                c.path.push_back(kEnd);
                return regimeOf(c, initialAge_, thinnings_);
            });
        }
        if (options_.top == 0)
            return;
        const HarvestVolumes volumes = harvestVolumes(n.rows);
        std::optional<Valuation> valuation;
        auto value = [&]() -> std::optional<double> {
            switch (options_.objective) {
            case Objective::Volume: return volumes.total;
            case Objective::Sawlog: return volumes.sawlog;
            case Objective::Carbon:
                if (!options_.carbon)
                    return std::nullopt;
                return carbonAccount(overBark_ ? n.overBarkRows : n.rows, *options_.carbon).meanStock;
            case Objective::Npv:
            case Objective::Lev:
                if (!options_.economics)
                    return std::nullopt;
                valuation = valueRecord(n.rows, *options_.economics, planted_);
                return options_.objective == Objective::Npv ? std::optional<double>(valuation->npv) : valuation->lev;
            }
            return std::nullopt;
        }();
        if (!value || !std::isfinite(*value))
            return;
        scratchPath = n.path;
        scratchPath.push_back(kEnd);
        if (!top.wants(*value, scratchPath))
            return;
        Candidate c;
        c.objective = *value;
        c.path = scratchPath;
        c.volumes = volumes;
        if (options_.economics) {
            if (!valuation)
                valuation = valueRecord(n.rows, *options_.economics, planted_);
            c.npv = valuation->npv;
            c.eaa = valuation->eaa;
            c.lev = valuation->lev;
        }
        top.add(std::move(c));
    }

private:
    // The row of `table` over bark, beside the row just recorded, when the carbon needs it.
    void recordOverBark(Node &n, const StandTable &table) const
    {
        if (!overBark_)
            return;
        ValuationRow r = n.rows.back();
        const TableRow total = overBarkTotals(n.state, table.stand);
        takeVolumes(r, {tableCell(total, TableColumn::TotalVolume), tableCell(total, TableColumn::RoundwoodVolume),
                        tableCell(total, TableColumn::SawlogVolume), tableCell(total, TableColumn::FirewoodVolume)});
        n.overBarkRows.push_back(r);
    }

    // "Projectar sem desbaste".
    void projectWithoutThinning(Node &n) const
    {
        const StandTable table = projectStandStep(n.state, n.entries, TableDetail::Totals);
        n.rows.push_back(rowOf(table, n.state.standAge.value(), false));
        recordOverBark(n, table);
    }

    // The thinning dialogue's "&Ok", then "Projectar" on the after-thinning screen.
    bool thinAndProject(Node &n, const ThinningInput &in) const
    {
        StandState &s = n.state;
        const double age = s.standAge.value();
        const ThinningStep step = thinStandStep(s, n.entries, in, TableDetail::Totals);
        if (!step.thinnedTable)
            return false;
        n.rows.push_back(rowOf(*step.thinnedTable, age, true));
        recordOverBark(n, *step.thinnedTable);
        const StandTable table = carryThinnedStandForward(s, n.entries, TableDetail::Totals);
        n.rows.push_back(rowOf(table, s.standAge.value(), false));
        recordOverBark(n, table);
        forgetResidualStand(s);
        ++n.thinnings;
        n.lastThinningAge = age;
        return true;
    }

    const SearchSpace &space_;
    RotationAges rotation_;
    const OptimizeOptions &options_;
    bool planted_; // a land expectation value needs a regime from planting
    bool overBark_; // the carbon objective on a record shown without bark
    double initialAge_;
    std::vector<ThinningInput> thinnings_;
};

// Walks subtrees depth first, one stand state per level, reused from one
// subtree to the next: a stand state is large, and a search walks thousands.
class Walker {
public:
    Walker(const RegimeTree &tree, const std::atomic<bool> *cancel) : tree_(tree), cancel_(cancel) {}

    // Settles every regime of the subtree under `root` into `tally` and `top`.
    void walk(const Node &root, Tally &tally, TopList &top)
    {
        tally_ = &tally;
        top_ = &top;
        visit(root, 0);
    }

private:
    // The children of the node `depth` levels below the subtree's root go to level `depth`.
    void visit(const Node &n, size_t depth)
    {
        if (cancel_ && cancel_->load(std::memory_order_relaxed))
            return;
        if (tree_.canEnd(n))
            tree_.settle(n, *tally_, *top_, scratchPath_);
        if (depth + 1 >= kLevels)
            return;
        std::vector<Choice> choices;
        tree_.childChoices(n, choices);
        if (choices.empty())
            return;
        if (levels_.size() <= depth)
            levels_.resize(depth + 1); // a deque: the levels above stay where they are
        for (Choice c : choices) {
            levels_[depth] = n;
            if (tree_.play(levels_[depth], c, *tally_))
                visit(levels_[depth], depth + 1);
        }
    }

    // The subtree's root and the levels below it: as deep as a record goes.
    static constexpr size_t kLevels = kRecordMaxWritten + 2;

    const RegimeTree &tree_;
    const std::atomic<bool> *cancel_;
    Tally *tally_ = nullptr;
    TopList *top_ = nullptr;
    std::deque<Node> levels_;
    std::vector<Choice> scratchPath_;
};


// A count for a message: whole below a trillion, else in scientific form.
std::string countText(double n)
{
    char text[40];
    if (n < 1e12)
        std::snprintf(text, sizeof text, "%.0f", n);
    else
        std::snprintf(text, sizeof text, "%.3g", n);
    return text;
}

// The stand as entered, shown on its first stand screen: the run stops there.
struct Start {
    RunResult run;
    Node root;
};

Start enterStand(const Scenario &stand)
{
    Scenario entry = stand;
    entry.steps.clear();
    entry.rules.reset(); // the search plays its own steps
    Start s;
    std::string logBytes; // the search writes no log
    LogFile log;
    log.collectInto(&logBytes);
    s.run = runScenario(entry, s.root.state, log);
    if (s.run.status != RunResult::Status::Completed)
        return s;
    s.root.rows = valuationRows(s.root.state).value_or(std::vector<ValuationRow>{});
    if (s.root.state.withBark.value() == 0.0)
        s.root.overBarkRows = carbonRows(s.root.state).value_or(std::vector<ValuationRow>{});
    clearRecord(s.root.state); // rows are carried by the walk; copies stay small
    // What later screens read from the entry screens, as a user would have typed it.
    ScreenEntries &e = s.root.entries;
    e.stumpHeightText = stand.options.stumpHeight;
    e.yearText = stand.options.year;
    if (const auto *thinned = std::get_if<ThinnedEntryInput>(&stand.density);
        thinned && thinned->choice == ThinnedEntryChoice::Parameters) {
        e.thinnedByParameters = true;
        e.typedBasalAreaText = thinned->basalArea;
        e.typedP95Text = thinned->p95;
    }
    return s;
}

} // namespace

OptimizeResult optimizeRegime(const Scenario &stand, const SearchSpace &space, const OptimizeOptions &options)
{
    const auto started = std::chrono::steady_clock::now();
    OptimizeResult result;
    result.objective = options.objective;
    auto finish = [&] {
        result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        return result;
    };

    Start start = enterStand(stand);
    if (start.run.status == RunResult::Status::Refused) {
        result.status = OptimizeResult::Status::Refused;
        result.message = start.run.message;
        return finish();
    }
    if (start.run.status == RunResult::Status::EndedByModel) {
        result.status = OptimizeResult::Status::Infeasible;
        result.message = start.run.message;
        result.evaluated = result.endedByModel = 1;
        return finish();
    }
    const double initialAge = start.root.state.standAge.value();
    const RotationAges rotation = rotationAges(space, initialAge);
    if (rotation.empty()) {
        result.status = OptimizeResult::Status::Refused;
        result.refusal = OptimizeResult::Refusal::NoRotationAge;
        return finish();
    }
    // The land expectation value belongs to a regime from planting.
    const bool planted = enteredAsPlanted(start.root.state);
    if (options.objective == Objective::Npv || options.objective == Objective::Lev) {
        if (!options.economics) {
            result.status = OptimizeResult::Status::Refused;
            result.refusal = OptimizeResult::Refusal::NeedsEconomics;
            return finish();
        }
        if (options.objective == Objective::Lev && (!planted || options.economics->discountRatePercent == 0.0)) {
            result.status = OptimizeResult::Status::Refused;
            result.refusal = OptimizeResult::Refusal::LevNeedsPlanting;
            return finish();
        }
    }
    if (options.objective == Objective::Carbon && !options.carbon) {
        result.status = OptimizeResult::Status::Refused;
        result.refusal = OptimizeResult::Refusal::NeedsCarbonFactors;
        return finish();
    }
    const bool overBark = options.carbon && start.root.state.withBark.value() == 0.0;
    const RegimeTree tree(space, rotation, options, planted, overBark, initialAge);
    result.regimesInSpace = tree.countRegimes(start.root);
    if (result.regimesInSpace > options.maxRegimes) {
        result.status = OptimizeResult::Status::Refused;
        result.refusal = OptimizeResult::Refusal::BeyondLimit;
        result.regimeLimit = options.maxRegimes;
        return finish();
    }

    // The first levels, breadth first, until there are subtrees enough to
    // share out; regimes that end on these levels are settled here.
    Tally tally;
    TopList top(options.top);
    std::vector<Choice> scratch;
    // Nodes one by one, not in one block: a stand state is about 19 kB, and
    // blocks of them, each used once, cost more to fault in than to fill.
    std::deque<Node> frontier;
    frontier.push_back(std::move(start.root));
    std::vector<Choice> choices;
    while (frontier.size() < kMinSubtrees) {
        size_t children = 0;
        for (const Node &n : frontier) {
            tree.childChoices(n, choices);
            children += choices.size();
        }
        if (children > kMaxFrontier)
            break; // the walkers take these nodes whole, settling them too
        std::deque<Node> next;
        bool grew = false;
        for (const Node &n : frontier) {
            if (tree.canEnd(n))
                tree.settle(n, tally, top, scratch);
            tree.childChoices(n, choices);
            for (Choice c : choices) {
                next.push_back(n);
                if (tree.play(next.back(), c, tally))
                    grew = true;
                else
                    next.pop_back();
            }
        }
        frontier = std::move(next);
        if (!grew)
            break;
    }

    // The subtrees on all jobs, each walked by a walker of its own (on one
    // job, by one walker in turn); their tallies and rankings are merged in
    // the subtrees' order, so the result does not depend on the number of jobs.
    struct Walked {
        Tally tally;
        TopList top;
    };
    const size_t total = frontier.size();
    size_t produced = 0;
    size_t done = 0;
    if (options.progress)
        options.progress(0, total);
    auto take = [&](Walked &&w) {
        tally.merge(w.tally);
        top.merge(std::move(w.top));
        if (options.progress)
            options.progress(++done, total);
    };
    if (poolJobs(options.jobs) == 1) {
        // On this thread, as a plan searches each of its stands.
        Walker w(tree, options.cancel);
        for (const Node &root : frontier) {
            Walked walked{{}, TopList(options.top)};
            w.walk(root, walked.tally, walked.top);
            take(std::move(walked));
        }
    } else {
        runOrdered<size_t, Walked>(
            {options.jobs, 1, 0}, [&](size_t &i) { return produced < total ? (i = produced++, true) : false; },
            [&](size_t &i) {
                Walked walked{{}, TopList(options.top)};
                Walker(tree, options.cancel).walk(frontier[i], walked.tally, walked.top);
                return walked;
            },
            take);
    }
    result.feasible = tally.feasible;
    result.endedByModel = tally.endedByModel;
    result.refusedThinnings = tally.refused;
    result.statesComputed = tally.states;
    result.evaluated = tally.feasible + tally.endedByModel;
    for (const Candidate &c : top.items())
        result.best.push_back(regimeOf(c, initialAge, tree.thinnings()));

    if (options.cancel && options.cancel->load()) {
        result.status = OptimizeResult::Status::Cancelled;
    } else if (result.feasible == 0) {
        result.status = OptimizeResult::Status::Infeasible;
        result.message = tally.modelMessage;
    } else if (result.best.empty() && options.top > 0) {
        // Feasible regimes, but none with a value to rank (a land expectation
        // value beyond what a number holds at a vanishing rate).
        result.status = OptimizeResult::Status::Refused;
        result.refusal = OptimizeResult::Refusal::NoFiniteValue;
    }
    return finish();
}

std::string refusalText(const OptimizeResult &r)
{
    using Refusal = OptimizeResult::Refusal;
    switch (r.refusal) {
    case Refusal::None: break;
    case Refusal::NoRotationAge:
        return "rotation: no stand screen of this stand (every 5 years from its age) lies in the range";
    case Refusal::BeyondLimit:
        return "the space holds " + countText(r.regimesInSpace) + " regimes for this stand, more than the limit of " +
               countText(r.regimeLimit);
    case Refusal::NeedsEconomics:
        return std::string("the ") + objectiveName(r.objective) + " objective needs an \"economics\" section";
    case Refusal::LevNeedsPlanting:
        return "the lev objective needs a stand entered by its trees planted and a discount rate above 0 (there is "
               "no land expectation value otherwise)";
    case Refusal::NeedsCarbonFactors: return "the carbon objective needs the carbon factors";
    case Refusal::NoFiniteValue:
        return std::string("no feasible regime has a finite ") + objectiveName(r.objective) + " at this discount rate";
    }
    return {};
}

std::string rankingCsv(const std::vector<RankedRegime> &best)
{
    auto money = [](const std::optional<double> &v) { return v ? formatFixed(*v, 2) : std::string(); };
    std::string out = "rank,objective,npv,eaa,lev,volume,sawlog,rotationAge,schedule\n";
    for (size_t i = 0; i < best.size(); ++i) {
        const RankedRegime &r = best[i];
        out += std::to_string(i + 1);
        for (const std::string &cell :
             {formatFixed(r.objective, 2), money(r.npv), money(r.eaa), money(r.lev), formatFixed(r.volumes.total, 2),
              formatFixed(r.volumes.sawlog, 2), plainNumberText(r.rotationAge), csvCell(scheduleText(r.thinnings))}) {
            out += ',';
            out += cell;
        }
        out += '\n';
    }
    return out;
}

} // namespace tavelo
