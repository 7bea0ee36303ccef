#pragma once

// A forest plan's candidates kept in a results database, so that they can be
// gathered on many machines (each a shard of the inventory, resumable, then
// merged) and the plan solved later without simulating again. A gathering is
// a run of tavelo_runs whose "regime" is the work it did (see
// candidateWorkText); its stands go to tavelo_stands and tavelo_errors as a
// batch's do, its planned stands to tavelo_plan_stands, their candidates to
// tavelo_plan_candidates, and the layer's geometry type and reference system
// to tavelo_plan_layer. A candidate's per-period figures are packed as
// little-endian doubles, period by period: total, sawlog, roundwood,
// firewood, revenue, standing volume and carbon at the period's end.

#include "inventory/plan_candidates.h"
#include "inventory/results_db.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tavelo {

// What a gathering did: what makes two shards parts of one gathering, and
// what the plan solved from it needs.
struct CandidateWork {
    int horizonYears = 0;
    std::string economicsJson; // the economics file as read
    std::string sourceJson;    // see candidateSourceJson
    double maxRegimes = 0.0;
};
// The source as kept: the search space file as read, or the regime files as
// read with their labels.
std::string candidateSourceJson(const std::string &spaceJson);
std::string candidateSourceJson(const std::vector<std::pair<std::string, std::string>> &labelledRegimeJson);
// One JSON object; the work read back from it, nothing when `text` is not one.
std::string candidateWorkText(const CandidateWork &work);
std::optional<CandidateWork> candidateWorkOf(const std::string &text);

// Writes a gathering stand by stand, a few stands a transaction: an
// interruption keeps every stand committed, whole, for --resume.
class CandidateStoreWriter {
public:
    // Starts a run of `identity` for `stands` stands, or with `resume`
    // continues the latest unfinished one. Throws BatchOutputError when the
    // file cannot be written, std::runtime_error when it is not ours or the
    // inventory changed since the run to resume.
    CandidateStoreWriter(const std::filesystem::path &path, const RunIdentity &identity, int64_t stands, bool resume,
                         int busyTimeoutMs);
    ~CandidateStoreWriter();
    CandidateStoreWriter(const CandidateStoreWriter &) = delete;
    CandidateStoreWriter &operator=(const CandidateStoreWriter &) = delete;

    bool resumed() const { return resumed_; }
    const std::vector<size_t> &alreadyDone() const { return done_; }
    void setLayer(const MapLayer &layer); // once, for an inventory with geometries
    void add(GatheredStand &&stand);
    // Commits what is pending; with `complete` the run is finished.
    void finish(bool complete);

private:
    void flush();
    std::optional<ResultsDb> db_;
    int64_t runId_ = 0;
    bool resumed_ = false;
    std::vector<size_t> done_;
    std::vector<GatheredStand> pending_;
};

// A finished, whole gathering found in a results database.
struct StoredGathering {
    RunInfo run;
    CandidateWork work;
    size_t stands = 0;     // planned stands
    size_t candidates = 0;
};

// Why a file holds no gathering to plan from.
struct CandidateStoreProblem {
    enum class Kind {
        Unreadable,   // detail: SQLite's words
        NoGathering,  // no finished gathering of candidates
        OnlyShards,   // detail: the shards found ("1/4, 3/4"); merge them first
    };
    Kind kind = Kind::NoGathering;
    std::string detail;
};

// The latest finished gathering of the whole inventory in `path` (one run
// without shards, or shards merged), counted but not read.
std::variant<StoredGathering, CandidateStoreProblem> findGathering(const std::filesystem::path &path);
// Its stands, candidates, errors and layer, exactly as they were gathered:
// what gatherCandidates would have returned for the whole inventory. Throws
// std::runtime_error when the file cannot be read.
PlanInventory readGathering(const std::filesystem::path &path, const StoredGathering &gathering);

} // namespace tavelo
