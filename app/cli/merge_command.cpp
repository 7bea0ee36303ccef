// tavelo-cli merge: the shard runs of several results databases as one run.

#include "app/cli/cli_commands.h"
#include "base/shown_text.h"
#include "inventory/inventory_source.h"
#include "inventory/merge.h"
#include "inventory/sqlite_db.h"

#include <filesystem>
#include <ostream>

namespace tavelo {

int cliMerge(const std::vector<std::string> &args, std::ostream &err)
{
    std::vector<std::filesystem::path> files;
    for (const std::string &a : args) {
        if (a.empty() || a[0] == '-')
            return cliUsageError(err, "unexpected argument \"" + shownText(a) + "\"");
        files.emplace_back(a);
    }
    if (files.size() < 2)
        return cliUsageError(err, "merge needs a target database and at least one shard database");
    if (!isDatabaseFile(files.front()))
        return cliUsageError(err, "the merge target must be a .sqlite, .db or .gpkg file");
    try {
        const MergeSummary s = mergeShards(files.front(), {files.begin() + 1, files.end()});
        err << s.shards << " shards merged: run " << s.runId << " with " << s.stands << " stands\n";        if (s.mapLeftOut)
            err << "note: the shards' map layer is not copied between a GeoPackage and a plain SQLite database\n";
    } catch (...) {
        return reportFailure(err);
    }
    return kCliOk;
}

} // namespace tavelo
