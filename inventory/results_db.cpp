// The stands of a run written into the results database as they come, each
// whole with its completion, and the sink that does it for a batch.

#include "inventory/results_db.h"

#include "inventory/results_map.h"
#include "inventory/results_tables.h"

#include <stdexcept>

namespace tavelo {

namespace {

// run_id, stand_id, row and the record, in one row of a stand's INSERT.
constexpr int kRecordInsertColumns = 3 + kRecordColumns;

} // namespace

void ResultsDb::enableMap(const MapLayer &layer)
{
    SqliteTransaction tx(db_);
    map_ = std::make_unique<ResultsMap>(db_, geoPackage_, layer);
    tx.commit();
}

SqliteStatement &ResultsDb::recordInsert(size_t rows)
{
    if (insertRecordRows_.size() < rows)
        insertRecordRows_.resize(rows);
    std::optional<SqliteStatement> &insert = insertRecordRows_[rows - 1];
    if (!insert) {
        std::string sql = "INSERT INTO " + std::string(kRecordTable.name) + " (run_id, " + columnList(kRecordTable) +
                          ") VALUES ";
        std::string one = "(?";
        for (int c = 1; c < kRecordInsertColumns; ++c)
            one += ", ?";
        one += ")";
        for (size_t row = 0; row < rows; ++row)
            sql += (row ? ", " : "") + one;
        insert.emplace(db_, sql);
    }
    return *insert;
}

void ResultsDb::addStands(int64_t runId, const std::vector<StandOutcome> &stands)
{
    SqliteTransaction tx(db_);
    for (const StandOutcome &stand : stands) {
        insertStand_->bind(1, runId).bind(2, static_cast<int64_t>(stand.position)).bind(3, stand.id);
        insertStand_->bind(4, static_cast<int64_t>(stand.line)).bind(5, std::string(standStatusName(stand.kind)));
        insertStand_->run();
        if (!stand.record.empty()) {
            SqliteStatement &insert = recordInsert(stand.record.size());
            for (size_t row = 0; row < stand.record.size(); ++row) {
                const int first = static_cast<int>(row) * kRecordInsertColumns;
                insert.bind(first + 1, runId).bind(first + 2, stand.id).bind(first + 3, static_cast<int64_t>(row + 1));
                for (int c = 0; c < kRecordColumns; ++c)
                    insert.bindShown(first + 4 + c, stand.record[row][c]);
            }
            insert.run();
        }
        for (const StandOutcome::Error &e : stand.errors) {
            insertError_->bind(1, runId).bind(2, stand.id).bind(3, static_cast<int64_t>(stand.line));
            insertError_->bind(4, e.status).bind(5, e.title).bind(6, e.text);
            insertError_->run();
        }
        if (stand.economics) {
            insertEconomics_->bind(1, runId).bind(2, stand.id).bindShown(3, stand.economics->npv);
            insertEconomics_->bindShown(4, stand.economics->eaa).bindShown(5, stand.economics->lev);
            insertEconomics_->run();
        }
        if (map_)
            map_->add(runId, stand);
        if (stand.carbon) {
            insertCarbon_->bind(1, runId).bind(2, stand.id).bindShown(3, stand.carbon->start);
            insertCarbon_->bindShown(4, stand.carbon->end).bindShown(5, stand.carbon->balance);
            insertCarbon_->bindShown(6, stand.carbon->meanStock);
            insertCarbon_->run();
        }
        for (const ManagementEvent &e : stand.events) {
            insertEvent_->bind(1, runId).bind(2, stand.id).bindShown(3, e.year).bindShown(4, e.age);
            insertEvent_->bind(5, std::string(eventKindName(e.kind))).bind(6, e.cause).bind(7, e.text);
            insertEvent_->run();
        }
    }
    if (map_)
        map_->updateExtent();
    tx.commit();
}

DatabaseSink::DatabaseSink(const std::filesystem::path &path, const RunIdentity &identity, int64_t stands,
                           bool resume, int busyTimeoutMs, const MapLayer *map)
    : path_(path)
{
    db_.emplace(path, busyTimeoutMs);
    try {
        if (map)
            db_->enableMap(*map);
        if (resume) {
            if (const auto run = db_->unfinishedRun(identity)) {
                if (const std::string why = inventoryChange(run->identity, identity); !why.empty())
                    throw std::runtime_error("cannot resume run " + std::to_string(run->id) + " of " +
                                             path.string() + ": " + why +
                                             "; run without --resume to start a new run");
                runId_ = run->id;
                resumed_ = true;
                done_ = db_->completedPositions(runId_);
            }
        }
        if (!resumed_)
            runId_ = db_->startRun(identity, stands);
    } catch (const DatabaseError &e) {
        throw BatchOutputError(std::string("cannot write the results: ") + e.what());
    }
}

void DatabaseSink::add(const std::vector<StandOutcome> &stands)
{
    try {
        db_->addStands(runId_, stands);
    } catch (const DatabaseError &e) {
        throw BatchOutputError(std::string("cannot write the results: ") + e.what());
    }
}

void DatabaseSink::finish(bool complete)
{
    if (!complete)
        return; // left unfinished, for --resume
    try {
        db_->finishRun(runId_);
    } catch (const DatabaseError &e) {
        throw BatchOutputError(std::string("cannot write the results: ") + e.what());
    }
}

} // namespace tavelo
