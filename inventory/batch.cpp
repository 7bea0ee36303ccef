#include "batch.h"

#include "regimes/economics_run.h"
#include "inventory/results_tables.h"
#include "inventory/results_db.h"
#include "inventory/results_map.h"
#include "regimes/carbon_run.h"
#include "base/output_folder.h"
#include "base/whole_file.h"
#include "base/worker_pool.h"
#include "session/structure/sim_record.h"

#include <chrono>
#include <cstdio>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unordered_set>
#include <utility>

namespace tavelo {

namespace {

bool safeFileName(const std::string &id)
{
    if (id.empty() || id == "." || id == ".." || id.size() > 200)
        return false;
    for (char c : id)
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20)
            return false;
    return true;
}

} // namespace

std::string errorsCsvLine(const std::string &id, const std::string &status, const std::string &title,
                          const std::string &text)
{
    return csvCell(id) + "," + status + "," + csvCell(title) + "," + csvCell(text) + "\n";
}

std::variant<InventoryStand, ReadProblem> parseInventoryRow(const std::vector<std::string> &c)
{
    if (c.size() != std::size(kInventoryColumns))
    {
        ReadProblem p = rowProblem(ReadProblem::Kind::CellCount, std::to_string(std::size(kInventoryColumns)));
        p.found = static_cast<long long>(c.size());
        return p;
    }
    InventoryStand s;
    s.id = c[0];
    if (!safeFileName(s.id))
        return rowProblem(ReadProblem::Kind::IdNotFileName);
    if (c[1].empty())
        return rowProblem(ReadProblem::Kind::AgeEmpty);
    s.stand.age = c[1];
    const bool height = !c[2].empty();
    const bool quality = !c[3].empty();
    if (height == quality)
        return rowProblem(ReadProblem::Kind::SiteNotOne);
    if (height) {
        s.stand.mode = SiteInput::DominantHeight;
        s.stand.dominantHeight = c[2];
    } else {
        s.stand.mode = SiteInput::QualityClass;
        s.stand.qualityClass = qualityClassFromCaption(c[3]);
        if (!s.stand.qualityClass)
            return rowProblem(ReadProblem::Kind::UnknownQualityClassCell, c[3]);
    }
    const bool planted = !c[4].empty();
    const bool alive = !c[5].empty();
    const int parameters = int(!c[6].empty()) + int(!c[7].empty()) + int(!c[8].empty()) + int(!c[9].empty());
    if (int(planted) + int(alive) + int(parameters > 0) != 1)
        return rowProblem(ReadProblem::Kind::DensityNotOne);
    if (planted || alive) {
        s.density = UnthinnedDensity{planted ? DensityChoice::Planted : DensityChoice::Alive, planted ? c[4] : c[5]};
    } else {
        if (parameters != 4)
            return rowProblem(ReadProblem::Kind::ThinnedNeedsAll);
        ThinnedEntryInput in;
        in.choice = ThinnedEntryChoice::Parameters;
        in.trees = c[6];
        in.basalArea = c[7];
        in.minDiameter = c[8];
        in.p95 = c[9];
        s.density = in;
    }
    return s;
}

const char *standStatusName(StandOutcome::Kind kind)
{
    switch (kind) {
    case StandOutcome::Kind::Done: return "done";
    case StandOutcome::Kind::Refused: return "refused";
    case StandOutcome::Kind::Ended: return "ended";
    case StandOutcome::Kind::Malformed: return "malformed";
    }
    return "";
}

namespace {

struct Job {
    size_t position = 0;
    size_t line = 0;
    std::string rawId; // the id cell as read, for the error row of a malformed line
    std::variant<InventoryStand, ReadProblem> row;
    StandGeometry geometry;
};


// Plays one stand; its log goes to `logDir` unless that is empty, and it is
// valued when `economics` is given.
StandOutcome runOne(const Job &job, const Regime &regime, const std::optional<EconomicInputs> &economics,
                   const std::optional<CarbonFactors> &carbon, const std::filesystem::path &logDir, bool keepLog)
{
    StandOutcome r;
    r.position = job.position;
    r.line = job.line;
    r.id = job.rawId;
    r.geometry = job.geometry;
    if (const auto *why = std::get_if<ReadProblem>(&job.row)) {
        r.kind = StandOutcome::Kind::Malformed;
        r.errors.push_back({"malformed", "", englishText(*why), *why});
        return r;
    }
    const auto &stand = std::get<InventoryStand>(job.row);
    r.id = stand.id;
    const Scenario scenario = scenarioOf(regime, stand.stand, stand.density);
    StandState state;
    std::string logBytes;
    const std::filesystem::path logPath = logDir.empty() ? std::filesystem::path() : logDir / (stand.id + ".txt");
    LogFile log(logPath);
    if (logDir.empty() && !keepLog)
        log.discard();
    else
        log.collectInto(&logBytes);
    const RunResult run = runScenario(scenario, state, log);
    r.events = run.events;

    // A stand refused before its first table leaves no log. The log appears
    // whole under its name or not at all (also when the run is interrupted);
    // not synced one by one: that would cost more than simulating the stands.
    if (!logDir.empty() && !logBytes.empty()) {
        if (auto why = writeWholeFile(logPath, logBytes, Durability::Unsynced)) {
            r.logFailed = true;
            r.logFailure = logPath.string() + ": " + *why;
            r.errors.push_back({"log-failed", fileWriteError().title,
                                fileWriteError().text + " " + logPath.filename().string() + ": " + *why});
        }
    }
    if (keepLog)
        r.log = std::move(logBytes);

    const int rows = recordRowCount(state);
    r.record.resize(static_cast<size_t>(rows));
    for (int i = 0; i < rows; ++i)
        for (int c = 0; c < kRecordColumns; ++c)
            r.record[i][c] = recordCellText(state.record[i][c]);
    if (economics && run.status == RunResult::Status::Completed) {
        if (const auto valuation = valueSimulation(state, *economics)) {
            r.economics = StandOutcome::Economics{moneyText(valuation->npv),
                                                 valuation->eaa ? moneyText(*valuation->eaa) : std::string(),
                                                 valuation->lev ? moneyText(*valuation->lev) : std::string(),
                                                 economicsCsvLine(stand.id, *valuation)};
        }
    }
    if (carbon && run.status == RunResult::Status::Completed) {
        if (const auto account = carbonOfSimulation(state, *carbon))
            r.carbon = StandOutcome::Carbon{carbonText(account->start), carbonText(account->end),
                                           carbonText(account->balance), carbonText(account->meanStock),
                                           carbonCsvLine(stand.id, *account)};
    }
    if (run.status == RunResult::Status::Refused) {
        r.kind = StandOutcome::Kind::Refused;
        r.errors.push_back({"refused", run.message->title, run.message->text});
    } else if (run.status == RunResult::Status::EndedByModel) {
        r.kind = StandOutcome::Kind::Ended;
        r.errors.push_back({"ended", run.message->title, run.message->text});
    }
    return r;
}

// Appends in order to a file that replaces the old one only once it is whole.
class OrderedCsv {
public:
    OrderedCsv(const std::filesystem::path &path, const std::string &header) : path_(path), file_(path)
    {
        if (!file_.open())
            throw BatchOutputError("cannot write " + path.string() + ": " + file_.error());
        file_.write(header);
    }
    void write(const std::string &s) { file_.write(s); }
    void commit()
    {
        if (!file_.commit())
            throw BatchOutputError("cannot write " + path_.string() + ": " + file_.error());
    }

private:
    std::filesystem::path path_;
    WholeFileWriter file_;
};

// What an earlier run left in the output folder: its record, its errors, its
// valuation, its events and its stand logs.
bool isBatchOutput(const std::string &name)
{
    return name == "record.csv" || name == "errors.csv" || name == "economics.csv" || name == "carbon.csv" ||
           name == "events.csv" || std::filesystem::path(name).extension() == ".txt";
}

} // namespace

namespace {

// record.csv and errors.csv in an output folder (the logs are written by the workers).
class FileSink : public ResultSink {
public:
    FileSink(const std::filesystem::path &record, const std::filesystem::path &errors,
             const std::filesystem::path *economics, const std::filesystem::path *carbon = nullptr,
             const std::filesystem::path *events = nullptr)
        : record_(record, csvHeader(kRecordTable)), errors_(errors, csvHeader(kErrorsTable))
    {
        if (events)
            events_.emplace(*events, csvHeader(kEventsTable));
        if (economics)
            economics_.emplace(*economics, csvHeader(kEconomicsTable));
        if (carbon)
            carbon_.emplace(*carbon, csvHeader(kCarbonTable));
    }
    void add(const std::vector<StandOutcome> &stands) override
    {
        for (const StandOutcome &r : stands)
            add(r);
    }
    void add(const StandOutcome &r)
    {
        std::string rows;
        for (const auto &row : r.record) {
            rows += csvCell(r.id);
            for (const std::string &cell : row) {
                rows += ','; // appended apart: GCC 12 warns falsely about "," + text when optimising
                rows += csvCell(cell);
            }
            rows += "\n";
        }
        record_.write(rows);
        for (const StandOutcome::Error &e : r.errors)
            errors_.write(errorsCsvLine(r.id, e.status, e.title,
                                   e.status == "malformed" ? "line " + std::to_string(r.line) + ": " + e.text
                                                           : e.text));
        if (economics_ && r.economics)
            economics_->write(r.economics->csvLine);
        if (carbon_ && r.carbon)
            carbon_->write(r.carbon->csvLine);
        if (events_) {
            std::string lines;
            for (const ManagementEvent &e : r.events)
                lines += eventsCsvLine(r.id, e);
            events_->write(lines);
        }
    }
    // An interrupted run keeps the stands done.
    void finish(bool) override
    {
        record_.commit();
        errors_.commit();
        if (economics_)
            economics_->commit();
        if (carbon_)
            carbon_->commit();
        if (events_)
            events_->commit();
    }

private:
    OrderedCsv record_;
    OrderedCsv errors_;
    std::optional<OrderedCsv> economics_;
    std::optional<OrderedCsv> carbon_;
    std::optional<OrderedCsv> events_;
};

RunIdentity runIdentity(const std::filesystem::path &inventory, const InventorySource &source,
                        const BatchOptions &options, const InventoryFingerprint &fingerprint)
{
    RunIdentity id = runIdentityOf(inventory, source.layer(), options.regimeJson);
    if (options.shardCount > 1)
        id.shard = std::to_string(options.shardIndex) + "/" + std::to_string(options.shardCount);
    id.inventoryRows = static_cast<int64_t>(fingerprint.rows);
    id.inventoryHash = fingerprint.hash;
    return id;
}

} // namespace

std::variant<InventoryStand, ReadProblem> standOfRow(const InventoryRow &row, std::unordered_set<std::string> &seen)
{
    if (const auto *why = std::get_if<ReadProblem>(&row.cells))
        return *why;
    auto parsed = parseInventoryRow(std::get<std::vector<std::string>>(row.cells));
    if (auto *stand = std::get_if<InventoryStand>(&parsed); stand && !seen.insert(stand->id).second)
        return rowProblem(ReadProblem::Kind::IdUsedTwice, stand->id);
    return parsed;
}

bool InventoryStands::next(StandRow &stand)
{
    if (!source_.next(row_))
        return false;
    stand.position = position_++;
    stand.line = row_.line;
    stand.rawId = row_.rawId;
    stand.area = row_.area;
    stand.geometry = std::move(row_.geometry);
    stand.stand = standOfRow(row_, seen_);
    return true;
}

BatchSummary runBatch(const std::filesystem::path &inventory, const Regime &regime,
                      const std::filesystem::path &outDir, const BatchOptions &options)
{
    const auto start = std::chrono::steady_clock::now();
    if (outDir.empty() && options.database.empty() && !options.extraSink)
        throw std::runtime_error("no output: give an output folder or a results database");
    if (options.shardCount == 0 || options.shardIndex < 1 || options.shardIndex > options.shardCount)
        throw std::runtime_error("the shard must be K/N with K from 1 to N");
    // A pipe cannot be told to hold the same stands as the run interrupted.
    if (options.resume && !std::filesystem::is_regular_file(inventory))
        throw std::runtime_error("--resume needs the inventory as a file: " + inventory.string() +
                                 " cannot be checked against the interrupted run");

    // The regime's valuation, stand by stand, when it has prices and costs;
    // a bad value refuses the run before any output is touched.
    std::optional<EconomicInputs> economics;
    if (regime.economics) {
        auto read = readEconomicInputs(*regime.economics);
        if (const auto *refusal = std::get_if<EconomicRefusal>(&read))
            throw std::runtime_error(refusal->keyPath + ": " + refusal->message.text);
        economics = std::get<EconomicInputs>(read);
    }
    std::optional<CarbonFactors> carbon;
    if (regime.carbon) {
        auto read = readCarbonFactors(*regime.carbon);
        if (const auto *refusal = std::get_if<CarbonRefusal>(&read))
            throw std::runtime_error(refusal->keyPath + ": " + refusal->message.text);
        carbon = std::get<CarbonFactors>(read);
    }
    // Declared first so that the inventory is closed before the outputs: a
    // GeoPackage can then leave write-ahead logging when it is both.
    std::vector<std::unique_ptr<ResultSink>> sinks;
    // The inventory is checked before any output is touched; it holds no lock
    // until its first row is read, so it may be the results database itself.
    const std::unique_ptr<InventorySource> source = openInventory(inventory, options.table);
    // Read whole once before anything is touched: a row that cannot be read
    // stops the run here, and a resumed run is checked to have the same stands.
    const InventoryFingerprint fingerprint = source->fingerprint();
    const size_t rows = source->count();
    const size_t inShard = rows / options.shardCount + (options.shardIndex - 1 < rows % options.shardCount ? 1 : 0);

    // An output folder that cannot be used stops the run before a database
    // records a run that never happened, and a results file that is not ours
    // before the folder's earlier outputs go.
    if (!options.database.empty() && !outDir.empty())
        ResultsDb::checkExisting(options.database);
    if (!outDir.empty())
        if (const auto problem = prepareOutputFolder(outDir, options.overwrite, isBatchOutput,
                                                     {{"the inventory", inventory}}))
            throw std::runtime_error(problem->why);
    std::vector<bool> alreadyDone;
    BatchSummary summary;
    summary.warnings = source->warnings();
    if (!options.database.empty()) {
        std::optional<MapLayer> map;
        if (!source->geometryType().empty())
            map = MapLayer{source->geometryType(), source->crs()};
        auto db = std::make_unique<DatabaseSink>(options.database, runIdentity(inventory, *source, options, fingerprint),
                                                 static_cast<int64_t>(inShard), options.resume,
                                                 options.busyTimeoutMs, map ? &*map : nullptr);
        summary.resumed = db->resumed();
        for (size_t p : db->alreadyDone()) {
            if (p >= alreadyDone.size())
                alreadyDone.resize(p + 1, false);
            alreadyDone[p] = true;
            ++summary.alreadyDone;
        }
        sinks.push_back(std::move(db));
    }
    if (!outDir.empty())
    {
        const std::filesystem::path economicsCsv = outDir / "economics.csv";
        const std::filesystem::path carbonCsv = outDir / "carbon.csv";
        const std::filesystem::path eventsCsv = outDir / "events.csv";
        sinks.push_back(std::make_unique<FileSink>(outDir / "record.csv", outDir / "errors.csv",
                                                   economics ? &economicsCsv : nullptr,
                                                   carbon ? &carbonCsv : nullptr,
                                                   regime.rules ? &eventsCsv : nullptr));
    }
    const size_t total = inShard - std::min(inShard, summary.alreadyDone);

    // Stands go to the workers in chunks of 32, so that handing work over
    // costs little; the pool keeps a bounded number in flight, so memory stays
    // flat. The stands a worker finished together are committed together.
    constexpr size_t kChunk = 32;
    size_t processed = 0;
    auto consume = [&](std::vector<StandOutcome> &&results) {
        for (const auto &sink : sinks)
            sink->add(results);
        if (options.extraSink)
            options.extraSink->add(results);
        for (const StandOutcome &r : results) {
            if (r.logFailed && summary.logFailed++ == 0)
                summary.firstLogFailure = r.logFailure;
            ++processed;
            switch (r.kind) {
            case StandOutcome::Kind::Done:
                if (!r.logFailed)
                    ++summary.done;
                break;
            case StandOutcome::Kind::Refused: ++summary.refused; break;
            case StandOutcome::Kind::Ended: ++summary.endedByModel; break;
            case StandOutcome::Kind::Malformed: ++summary.malformed; break;
            }
        }
        if (options.progress)
            options.progress(processed, total);
    };
    auto work = [&](std::vector<Job> &chunk) {
        std::vector<StandOutcome> results;
        results.reserve(chunk.size());
        for (const Job &job : chunk)
            results.push_back(runOne(job, regime, economics, carbon, outDir, options.keepLogs));
        return results;
    };

    // Every row is read, also those of other shards and those already done,
    // so that a repeated id is found wherever its first use is.
    // (A second stand with the same id would overwrite its log.)
    InventoryStands reader(*source);
    StandRow row;
    // A row that cannot be read (the file changed under the run) stops the
    // reading; the stands handed out are finished and kept, then it is said.
    std::exception_ptr unreadable;
    auto nextRow = [&] {
        try {
            return reader.next(row);
        } catch (...) {
            unreadable = std::current_exception();
            return false;
        }
    };
    bool reading = true;
    auto produce = [&](std::vector<Job> &chunk) {
        while (reading && chunk.size() < kChunk) {
            if (!nextRow()) {
                reading = false;
                break;
            }
            if (options.stop && options.stop->load()) {
                summary.interrupted = true;
                reading = false;
                break;
            }
            Job job;
            job.position = row.position;
            job.line = row.line;
            job.rawId = row.rawId;
            job.geometry = std::move(row.geometry);
            job.row = std::move(row.stand);
            const size_t p = row.position;
            if (p % options.shardCount != options.shardIndex - 1 || (p < alreadyDone.size() && alreadyDone[p]))
                continue;
            chunk.push_back(std::move(job));
        }
        return !chunk.empty();
    };
    runOrdered<std::vector<Job>, std::vector<StandOutcome>>({options.jobs, 1, 0}, produce, work, consume);

    for (const auto &sink : sinks)
        sink->finish(!summary.interrupted && !unreadable);
    if (options.extraSink)
        options.extraSink->finish(!summary.interrupted && !unreadable);
    if (unreadable)
        std::rethrow_exception(unreadable);
    summary.stands = processed;
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return summary;
}

void saveBatchCsv(const std::vector<StandOutcome> &stands, const std::filesystem::path &record,
                  const std::filesystem::path &errors, const std::filesystem::path *economics,
                  const std::filesystem::path *events, const std::filesystem::path *carbon)
{
    FileSink files(record, errors, economics, carbon, events);
    files.add(stands);
    files.finish(true);
}

} // namespace tavelo
