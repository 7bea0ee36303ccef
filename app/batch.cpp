#include "batch.h"

#include "app/economics_run.h"
#include "base/whole_file.h"
#include "structure/sim_record.h"

#include <chrono>
#include <cstdio>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <iterator>
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

std::variant<InventoryStand, std::string> parseInventoryRow(const std::vector<std::string> &c)
{
    if (c.size() != std::size(kInventoryColumns))
        return "expected " + std::to_string(std::size(kInventoryColumns)) + " cells, found " +
               std::to_string(c.size());
    InventoryStand s;
    s.id = c[0];
    if (!safeFileName(s.id))
        return std::string("the id must be a usable file name (no \"/\", \"\\\" or control characters)");
    if (c[1].empty())
        return std::string("age is empty");
    s.stand.age = c[1];
    const bool height = !c[2].empty();
    const bool quality = !c[3].empty();
    if (height == quality)
        return std::string("give either dominantHeight or qualityClass");
    if (height) {
        s.stand.mode = SiteInput::DominantHeight;
        s.stand.dominantHeight = c[2];
    } else {
        s.stand.mode = SiteInput::QualityClass;
        s.stand.qualityClass = qualityClassFromCaption(c[3]);
        if (!s.stand.qualityClass)
            return "unknown qualityClass \"" + c[3] + "\"";
    }
    const bool planted = !c[4].empty();
    const bool alive = !c[5].empty();
    const int parameters = int(!c[6].empty()) + int(!c[7].empty()) + int(!c[8].empty()) + int(!c[9].empty());
    if (int(planted) + int(alive) + int(parameters > 0) != 1)
        return std::string("give one density: planted, alive, or trees, basalArea, minDiameter and p95");
    if (planted || alive) {
        s.density = UnthinnedDensity{planted ? DensityChoice::Planted : DensityChoice::Alive, planted ? c[4] : c[5]};
    } else {
        if (parameters != 4)
            return std::string("a thinned stand needs all of trees, basalArea, minDiameter and p95");
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

namespace {

struct Job {
    size_t index = 0;
    size_t line = 0;
    std::string rawId; // the id cell as read, for the error row of a malformed line
    std::variant<InventoryStand, std::string> row;
};

struct Result {
    std::string recordRows;
    std::string errorRow;
    std::string economicsRow;
    enum class Kind { Done, Refused, Ended, Malformed } kind = Kind::Done;
    bool logFailed = false;
    std::string logFailure; // the log's path and why
};

std::string errorRow(const std::string &id, const char *status, const std::string &title, const std::string &text)
{
    return csvCell(id) + "," + status + "," + csvCell(title) + "," + csvCell(text) + "\n";
}

Result runOne(const Job &job, const Regime &regime, const std::optional<EconomicInputs> &economics,
              const std::filesystem::path &outDir)
{
    Result r;
    if (const auto *why = std::get_if<std::string>(&job.row)) {
        r.kind = Result::Kind::Malformed;
        r.errorRow = errorRow(job.rawId, "malformed", "", "line " + std::to_string(job.line) + ": " + *why);
        return r;
    }
    const auto &stand = std::get<InventoryStand>(job.row);
    const Scenario scenario{regime.options, stand.stand, stand.density, regime.steps, regime.economics};
    StandState state;
    std::string logBytes;
    const std::filesystem::path logPath = outDir / (stand.id + ".txt");
    LogFile log(logPath);
    log.collectInto(&logBytes);
    const RunResult run = runScenario(scenario, state, log);

    // A stand refused before its first table leaves no log. The log appears
    // whole under its name or not at all (also when the run is interrupted);
    // not synced one by one: that would cost more than simulating the stands.
    if (!logBytes.empty()) {
        if (auto why = writeWholeFile(logPath, logBytes, Durability::Unsynced)) {
            r.logFailed = true;
            r.logFailure = logPath.string() + ": " + *why;
            r.errorRow += errorRow(stand.id, "log-failed", fileWriteError().title,
                                   fileWriteError().text + " " + logPath.filename().string() + ": " + *why);
        }
    }

    const int rows = recordRowCount(state);
    for (int i = 0; i < rows; ++i) {
        r.recordRows += csvCell(stand.id);
        for (int c = 0; c < kRecordColumns; ++c) {
            r.recordRows += ','; // appended apart: GCC 12 warns falsely about "," + text when optimising
            r.recordRows += csvCell(recordCellText(state.SimRecord[i][c]));
        }
        r.recordRows += "\n";
    }
    if (economics && run.status == RunResult::Status::Completed)
        if (const auto valuation = valueSimulation(state, *economics))
            r.economicsRow = economicsCsvLine(stand.id, *valuation);
    if (run.status == RunResult::Status::Refused) {
        r.kind = Result::Kind::Refused;
        r.errorRow += errorRow(stand.id, "refused", run.message->title, run.message->text);
    } else if (run.status == RunResult::Status::EndedByModel) {
        r.kind = Result::Kind::Ended;
        r.errorRow += errorRow(stand.id, "ended", run.message->title, run.message->text);
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
// valuation and its stand logs.
bool isBatchOutput(const std::filesystem::directory_entry &e)
{
    const std::string name = e.path().filename().string();
    std::error_code ec;
    return e.is_regular_file(ec) && (name == "record.csv" || name == "errors.csv" || name == "economics.csv" ||
                                     e.path().extension() == ".txt");
}

void prepareOutputFolder(const std::filesystem::path &outDir, bool overwrite, const std::filesystem::path &inventory)
{
    std::error_code ec;
    if (std::filesystem::exists(outDir, ec) && !std::filesystem::is_directory(outDir, ec))
        throw std::runtime_error("the output folder " + outDir.string() + " is not a folder");
    std::filesystem::create_directories(outDir, ec);
    if (!std::filesystem::is_directory(outDir, ec))
        throw std::runtime_error("cannot create the output folder " + outDir.string());
    std::vector<std::filesystem::path> earlier;
    bool empty = true;
    for (const auto &e : std::filesystem::directory_iterator(outDir, ec)) {
        empty = false;
        if (isBatchOutput(e))
            earlier.push_back(e.path());
    }
    if (ec)
        throw std::runtime_error("cannot read the output folder " + outDir.string() + ": " + ec.message());
    if (empty)
        return;
    if (!overwrite)
        throw std::runtime_error("the output folder " + outDir.string() +
                                 " is not empty; give --overwrite to replace the results of an earlier run");
    for (const auto &p : earlier)
        if (sameFile(p, inventory))
            throw std::runtime_error("the inventory " + inventory.string() +
                                     " is among the outputs in the output folder; it would be overwritten");
    for (const auto &p : earlier)
        if (!std::filesystem::remove(p, ec) && ec)
            throw std::runtime_error("cannot remove " + p.string() + ": " + ec.message());
}

std::string readWhole(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::string bytes;
    try {
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::ios_base::failure &) {
        throw std::runtime_error("cannot read " + path.string());
    }
    if (in.bad())
        throw std::runtime_error("cannot read " + path.string());
    return bytes;
}

std::string recordHeader()
{
    std::string h = "id";
    for (const char *c : kRecordHeaders)
        h += std::string(",") + c;
    return h + "\n";
}

} // namespace

BatchSummary runBatch(const std::filesystem::path &inventory, const Regime &regime,
                      const std::filesystem::path &outDir, const BatchOptions &options)
{
    const auto start = std::chrono::steady_clock::now();
    // Read once, whole: the inventory may be a pipe that cannot be read twice.
    std::string text = readWhole(inventory);
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    std::vector<CsvRecord> records = splitCsvRecords(text);
    text.clear();
    if (records.empty())
        throw std::runtime_error(inventory.string() + ": the header line is missing");
    const auto header = splitCsvLine(records.front().text);
    std::vector<int> columnOf(std::size(kInventoryColumns), -1);
    if (header) {
        for (size_t h = 0; h < header->size(); ++h)
            for (size_t k = 0; k < std::size(kInventoryColumns); ++k)
                if ((*header)[h] == kInventoryColumns[k])
                    columnOf[k] = static_cast<int>(h);
    }
    for (size_t k = 0; k < columnOf.size(); ++k)
        if (columnOf[k] < 0)
            throw std::runtime_error(inventory.string() + ": line 1: column \"" + kInventoryColumns[k] +
                                     "\" missing from the header");
    const size_t headerCells = header->size();
    size_t total = 0;
    for (size_t i = 1; i < records.size(); ++i)
        if (!records[i].text.empty())
            ++total;

    // The regime's valuation, stand by stand, when it has prices and costs;
    // a bad value refuses the run before the output folder is touched.
    std::optional<EconomicInputs> economics;
    if (regime.economics) {
        auto read = readEconomicInputs(*regime.economics);
        if (const auto *refusal = std::get_if<EconomicRefusal>(&read))
            throw std::runtime_error(refusal->keyPath + ": " + refusal->message.text);
        economics = std::get<EconomicInputs>(read);
    }
    prepareOutputFolder(outDir, options.overwrite, inventory);
    OrderedCsv record(outDir / "record.csv", recordHeader());
    OrderedCsv errors(outDir / "errors.csv", "id,status,title,text\n");
    std::optional<OrderedCsv> economicsCsv;
    if (economics)
        economicsCsv.emplace(outDir / "economics.csv", kEconomicsCsvHeader);

    const unsigned jobs = options.jobs ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    // Stands go to the workers in chunks, so that handing work over costs
    // little; a bounded number of chunks is in flight, so memory stays flat.
    constexpr size_t kChunk = 32;
    const size_t window = static_cast<size_t>(jobs) * 4;

    struct Chunk {
        size_t index = 0;
        std::vector<Job> rows;
    };
    std::mutex m;
    std::condition_variable workAvailable;
    std::condition_variable resultReady;
    std::deque<Chunk> queue;
    std::map<size_t, std::vector<Result>> ready;
    bool eof = false;
    size_t nextIndex = 0;
    size_t nextWrite = 0;
    BatchSummary summary;
    summary.stands = total;
    size_t processed = 0;

    std::vector<std::thread> workers;
    for (unsigned w = 0; w < jobs; ++w) {
        workers.emplace_back([&] {
            for (;;) {
                Chunk chunk;
                {
                    std::unique_lock lk(m);
                    workAvailable.wait(lk, [&] { return !queue.empty() || eof; });
                    if (queue.empty())
                        return;
                    chunk = std::move(queue.front());
                    queue.pop_front();
                }
                std::vector<Result> results;
                results.reserve(chunk.rows.size());
                for (const Job &job : chunk.rows)
                    results.push_back(runOne(job, regime, economics, outDir));
                {
                    std::lock_guard lk(m);
                    ready.emplace(chunk.index, std::move(results));
                }
                resultReady.notify_one();
            }
        });
    }

    // Writes every finished chunk that is next in line, outside the lock.
    auto drain = [&](std::unique_lock<std::mutex> &lk) {
        for (auto it = ready.find(nextWrite); it != ready.end(); it = ready.find(nextWrite)) {
            std::vector<Result> results = std::move(it->second);
            ready.erase(it);
            ++nextWrite;
            lk.unlock();
            for (const Result &r : results) {
                record.write(r.recordRows);
                errors.write(r.errorRow);
                if (economicsCsv)
                    economicsCsv->write(r.economicsRow);
                if (r.logFailed && summary.logFailed++ == 0)
                    summary.firstLogFailure = r.logFailure;
                ++processed;
                switch (r.kind) {
                case Result::Kind::Done:
                    if (!r.logFailed)
                        ++summary.done;
                    break;
                case Result::Kind::Refused: ++summary.refused; break;
                case Result::Kind::Ended: ++summary.endedByModel; break;
                case Result::Kind::Malformed: ++summary.malformed; break;
                }
            }
            if (options.progress)
                options.progress(processed, total);
            lk.lock();
        }
    };
    auto submit = [&](Chunk chunk) {
        std::unique_lock lk(m);
        for (;;) {
            drain(lk);
            if (nextIndex - nextWrite < window)
                break;
            resultReady.wait(lk);
        }
        chunk.index = nextIndex++;
        queue.push_back(std::move(chunk));
        lk.unlock();
        workAvailable.notify_one();
    };

    std::unordered_set<std::string> seen; // a second stand with the same id would overwrite its log
    Chunk pending;
    for (size_t i = 1; i < records.size(); ++i) {
        if (options.stop && options.stop->load()) {
            summary.interrupted = true;
            break;
        }
        if (records[i].text.empty())
            continue;
        Job job;
        job.line = records[i].line;
        const auto cells = splitCsvLine(records[i].text);
        if (cells && columnOf[0] < static_cast<int>(cells->size()))
            job.rawId = (*cells)[columnOf[0]];
        if (!cells) {
            job.row = std::string("a quoted cell does not close");
        } else if (cells->size() != headerCells) {
            job.row = "expected " + std::to_string(headerCells) + " cells, found " + std::to_string(cells->size());
        } else {
            std::vector<std::string> ordered;
            for (int col : columnOf)
                ordered.push_back((*cells)[col]);
            job.row = parseInventoryRow(ordered);
            if (auto *s = std::get_if<InventoryStand>(&job.row); s && !seen.insert(s->id).second)
                job.row = "the id \"" + s->id + "\" was already used";
        }
        pending.rows.push_back(std::move(job));
        if (pending.rows.size() == kChunk)
            submit(std::exchange(pending, Chunk{}));
    }
    if (!pending.rows.empty())
        submit(std::move(pending));
    {
        std::unique_lock lk(m);
        eof = true;
        workAvailable.notify_all();
        for (;;) {
            drain(lk);
            if (nextWrite >= nextIndex)
                break;
            resultReady.wait(lk);
        }
    }
    for (std::thread &t : workers)
        t.join();

    record.commit();
    errors.commit();
    if (economicsCsv)
        economicsCsv->commit();
    summary.stands = processed;
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return summary;
}

} // namespace tavelo
