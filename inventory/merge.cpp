#include "merge.h"

#include "inventory/results_db.h"
#include "inventory/sqlite_db.h"

#include <algorithm>
#include <map>
#include <optional>
#include <stdexcept>

namespace tavelo {

namespace {

struct ShardRun {
    std::filesystem::path file;
    RunInfo run;
    ShardSpec shard;
};

bool sameWork(const RunIdentity &a, const RunIdentity &b)
{
    return a.inventory == b.inventory && a.inventoryTable == b.inventoryTable && a.regime == b.regime;
}

// The finished shard runs of one database, for the work of its latest one;
// the latest run of each shard when a shard was run more than once.
std::vector<ShardRun> finishedShardRuns(const std::filesystem::path &file)
{
    if (!std::filesystem::is_regular_file(file))
        throw std::runtime_error("cannot read " + file.string());
    SqliteDb db(file, SqliteDb::Mode::ReadOnly);
    if (!db.tableExists("tavelo_runs"))
        throw std::runtime_error(file.string() + ": no batch results in this file");
    SqliteStatement ids = db.prepare(
        "SELECT run_id FROM tavelo_runs WHERE finished IS NOT NULL AND shard IS NOT NULL ORDER BY run_id DESC");
    std::vector<ShardRun> runs;
    std::map<unsigned, bool> taken;
    while (ids.step()) {
        const auto run = readRun(db, ids.integer(0));
        const auto shard = parseShard(run->identity.shard);
        if (!shard)
            continue;
        if (!runs.empty() && (!sameWork(run->identity, runs.front().run.identity) ||
                              shard->count != runs.front().shard.count))
            continue;
        if (taken[shard->index])
            continue;
        taken[shard->index] = true;
        runs.push_back({file, *run, *shard});
    }
    if (runs.empty())
        throw std::runtime_error(file.string() + ": no finished shard run (batch --shard K/N --db FILE)");
    return runs;
}

} // namespace

MergeSummary mergeShards(const std::filesystem::path &target, const std::vector<std::filesystem::path> &shards,
                         int busyTimeoutMs)
{
    if (shards.empty())
        throw std::runtime_error("merge needs at least one shard database");
    std::vector<ShardRun> runs;
    try {
        for (const auto &file : shards) {
            auto found = finishedShardRuns(file);
            runs.insert(runs.end(), found.begin(), found.end());
        }
    } catch (const DatabaseError &e) {
        throw std::runtime_error(e.what());
    }

    const ShardRun &first = runs.front();
    const unsigned count = first.shard.count;
    std::vector<const ShardRun *> byIndex(count + 1, nullptr);
    for (const ShardRun &r : runs) {
        if (!sameWork(r.run.identity, first.run.identity))
            throw std::runtime_error(r.file.string() + ": shard " + r.run.identity.shard +
                                     " ran another inventory or regime than " + first.file.string());
        // Each shard read the whole inventory: their fingerprints agree unless
        // the file changed between them.
        if (r.run.identity.inventoryRows || first.run.identity.inventoryRows) {
            if (const std::string why = inventoryChange(first.run.identity, r.run.identity); !why.empty())
                throw std::runtime_error(r.file.string() + ": shard " + r.run.identity.shard +
                                         " read another inventory than shard " + first.run.identity.shard + " of " +
                                         first.file.string() + ": " + why);
        }
        if (r.shard.count != count)
            throw std::runtime_error(r.file.string() + ": shard " + r.run.identity.shard + " does not fit with " +
                                     first.run.identity.shard + " of " + first.file.string());
        if (byIndex[r.shard.index])
            throw std::runtime_error("shard " + r.run.identity.shard + " is in both " +
                                     byIndex[r.shard.index]->file.string() + " and " + r.file.string());
        byIndex[r.shard.index] = &r;
    }
    for (unsigned k = 1; k <= count; ++k)
        if (!byIndex[k])
            throw std::runtime_error("shard " + std::to_string(k) + "/" + std::to_string(count) +
                                     " is missing or not finished (run it again with --resume)");

    MergeSummary summary;
    summary.shards = count;
    std::string started = byIndex[1]->run.started;
    std::string finished = byIndex[1]->run.finished;
    for (unsigned k = 1; k <= count; ++k) {
        summary.stands += byIndex[k]->run.stands;
        started = std::min(started, byIndex[k]->run.started);
        finished = std::max(finished, byIndex[k]->run.finished);
    }

    ResultsDb out(target, busyTimeoutMs);
    try {
        SqliteTransaction tx(out.db());
        RunIdentity whole = first.run.identity;
        whole.shard.clear();
        summary.runId = out.startRun(whole, summary.stands);
        for (unsigned k = 1; k <= count; ++k) {
            SqliteDb from(byIndex[k]->file, SqliteDb::Mode::ReadOnly, busyTimeoutMs);
            if (!out.copyRun(from, byIndex[k]->run.id, summary.runId, k == 1))
                summary.mapLeftOut = true;
        }
        SqliteStatement times =
            out.db().prepare("UPDATE tavelo_runs SET started = ?1, finished = ?2 WHERE run_id = ?3");
        times.bind(1, started).bind(2, finished).bind(3, summary.runId);
        times.run();
        tx.commit();
    } catch (const DatabaseError &e) {
        throw BatchOutputError(std::string("cannot write the results: ") + e.what());
    }
    return summary;
}

} // namespace tavelo
