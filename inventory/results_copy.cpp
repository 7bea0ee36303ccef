// A run of one results database copied into another, for merge.

#include "inventory/results_db.h"

#include "inventory/results_map.h"
#include "inventory/results_tables.h"

namespace tavelo {

bool ResultsDb::copyRun(SqliteDb &from, int64_t fromRun, int64_t toRun, bool firstShard)
{
    for (const ResultsTable *t : kResultsTables) {
        // A shard written before the table existed has none.
        if (!(t->perStand || (t->onceARun && firstShard)) || !from.tableExists(t->name))
            continue;
        const std::string columns = columnList(*t);
        SqliteStatement read = from.prepare("SELECT " + columns + " FROM " + t->name +
                                            " WHERE run_id = ?1 ORDER BY rowid");
        read.bind(1, fromRun);
        SqliteStatement write = db_.prepare(insertSql(*t));
        const int count = static_cast<int>(t->columns.size());
        while (read.step()) {
            write.bind(1, toRun);
            for (int c = 0; c < count; ++c)
                write.bindColumn(c + 2, read, c);
            write.run();
        }
    }
    // The map goes with the stands, between databases of one kind.
    const auto layer = ResultsMap::layerOf(from, geoPackage_);
    if (!layer)
        return !from.tableExists("tavelo_map");
    if (!map_)
        map_ = std::make_unique<ResultsMap>(db_, geoPackage_, *layer);
    map_->copyRun(from, fromRun, toRun);
    return true;
}

} // namespace tavelo
