#pragma once

// Gathers the runs of the shards of one inventory (batch --shard K/N, often on
// different machines) into one run, as if a single machine had run it all.

#include "inventory/sqlite_db.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tavelo {

struct MergeSummary {
    int64_t runId = 0; // the new run in the target
    size_t shards = 0;
    int64_t stands = 0;
    // A shard's map not copied: a GeoPackage and a plain SQLite database.
    bool mapLeftOut = false;
};

// Takes from each database of `shards` its latest finished shard runs (of the
// work its latest shard run did) and writes them into `target` as one
// finished run, in one transaction. Every shard 1..N of the same inventory and
// regime must be there exactly once. Throws BatchOutputError when `target` cannot
// be written, std::runtime_error when the shards cannot be read or do not fit
// together.
MergeSummary mergeShards(const std::filesystem::path &target, const std::vector<std::filesystem::path> &shards,
                         int busyTimeoutMs = kBusyTimeoutMs);

} // namespace tavelo
