// The runs of a results database: what makes two runs the same, and a run
// started, found again and finished.

#include "inventory/results_db.h"

#include "base/version.h"
#include "inventory/results_tables.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <string_view>

namespace tavelo {

std::optional<ShardSpec> parseShard(const std::string &shard)
{
    const size_t slash = shard.find('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 >= shard.size())
        return std::nullopt;
    auto number = [](std::string_view s) -> std::optional<unsigned> {
        if (s.size() > 6 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        return static_cast<unsigned>(std::stoul(std::string(s)));
    };
    const auto k = number(std::string_view(shard).substr(0, slash));
    const auto n = number(std::string_view(shard).substr(slash + 1));
    if (!k || !n || *k < 1 || *k > *n)
        return std::nullopt;
    return ShardSpec{*k, *n};
}

std::string inventoryChange(const RunIdentity &was, const RunIdentity &now)
{
    if (!was.inventoryRows)
        return "it kept no fingerprint of its inventory (a run of an earlier version), so the stands cannot be "
               "checked to be the same";
    if (!now.inventoryRows)
        return "this inventory has no fingerprint";
    if (*was.inventoryRows != *now.inventoryRows)
        return "the inventory had " + std::to_string(*was.inventoryRows) + " rows, it now has " +
               std::to_string(*now.inventoryRows);
    if (was.inventoryHash != now.inventoryHash)
        return "the inventory's rows have changed (the same number of rows, another content)";
    return {};
}

std::string isoTimeNow()
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

int64_t ResultsDb::startRun(const RunIdentity &identity, int64_t stands)
{
    SqliteStatement insert =
        db_.prepare("INSERT INTO tavelo_runs (started, program_version, inventory, regime, stands, inventory_table, "
                    "shard, inventory_rows, inventory_hash) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    insert.bind(1, isoTimeNow()).bind(2, std::string(kProgramVersion)).bind(3, identity.inventory);
    insert.bind(4, identity.regime).bind(5, stands);
    if (identity.inventoryTable.empty())
        insert.bindNull(6);
    else
        insert.bind(6, identity.inventoryTable);
    if (identity.shard.empty())
        insert.bindNull(7);
    else
        insert.bind(7, identity.shard);
    if (identity.inventoryRows)
        insert.bind(8, *identity.inventoryRows).bind(9, identity.inventoryHash);
    else
        insert.bindNull(8).bindNull(9);
    insert.run();
    return db_.lastInsertId();
}

std::optional<RunInfo> readRun(SqliteDb &db, int64_t runId)
{
    SqliteStatement q = db.prepare("SELECT run_id, started, finished, inventory, regime, stands, inventory_table, "
                                   "shard, inventory_rows, inventory_hash FROM tavelo_runs WHERE run_id = ?1");
    q.bind(1, runId);
    if (!q.step())
        return std::nullopt;
    RunInfo r;
    r.id = q.integer(0);
    r.started = q.text(1);
    r.finished = q.text(2);
    r.identity.inventory = q.text(3);
    r.identity.regime = q.text(4);
    r.stands = q.integer(5);
    r.identity.inventoryTable = q.text(6);
    r.identity.shard = q.text(7);
    if (!q.isNull(8))
        r.identity.inventoryRows = q.integer(8);
    r.identity.inventoryHash = q.text(9);
    return r;
}

std::optional<RunInfo> ResultsDb::unfinishedRun(const RunIdentity &identity)
{
    SqliteStatement q = db_.prepare(
        "SELECT max(run_id) FROM tavelo_runs WHERE finished IS NULL AND inventory = ?1 AND regime = ?2 AND "
        "coalesce(inventory_table, '') = ?3 AND coalesce(shard, '') = ?4");
    q.bind(1, identity.inventory).bind(2, identity.regime).bind(3, identity.inventoryTable).bind(4, identity.shard);
    if (!q.step() || q.isNull(0))
        return std::nullopt;
    return readRun(db_, q.integer(0));
}

std::optional<RunInfo> ResultsDb::latestFinishedRun()
{
    SqliteStatement q = db_.prepare("SELECT max(run_id) FROM tavelo_runs WHERE finished IS NOT NULL");
    if (!q.step() || q.isNull(0))
        return std::nullopt;
    return readRun(db_, q.integer(0));
}

std::vector<size_t> ResultsDb::completedPositions(int64_t runId)
{
    SqliteStatement q = db_.prepare("SELECT position FROM tavelo_stands WHERE run_id = ?1 ORDER BY position");
    q.bind(1, runId);
    std::vector<size_t> positions;
    while (q.step())
        positions.push_back(static_cast<size_t>(q.integer(0)));
    return positions;
}

RunIdentity runIdentityOf(const std::filesystem::path &inventory, const std::string &layer,
                          const std::string &regime)
{
    std::error_code ec;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(inventory, ec);
    RunIdentity id;
    id.inventory = ec ? std::filesystem::absolute(inventory).string() : canonical.string();
    id.inventoryTable = layer;
    id.regime = regime;
    return id;
}

void ResultsDb::finishRun(int64_t runId)
{
    SqliteTransaction tx(db_);
    SqliteStatement update = db_.prepare("UPDATE tavelo_runs SET finished = ?1 WHERE run_id = ?2");
    update.bind(1, isoTimeNow()).bind(2, runId);
    update.run();
    if (geoPackage_)
        db_.exec("UPDATE gpkg_contents SET last_change = strftime('%Y-%m-%dT%H:%M:%fZ', 'now') "
                 "WHERE table_name LIKE 'tavelo\\_%' ESCAPE '\\'");
    tx.commit();
}

} // namespace tavelo
