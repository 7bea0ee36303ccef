#include "inventory/plan_candidate_store.h"

#include "inventory/batch.h"
#include "inventory/results_tables.h"
#include "base/csv.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <bit>
#include <cstring>
#include <stdexcept>

namespace tavelo {

namespace {

// Commits are grouped: one a stand spent more time in SQLite's journal than in the inserts.
constexpr size_t kStandsACommit = 256;
constexpr size_t kFiguresAPeriod = 7;
constexpr const char *kWorkKey = "planCandidates";

QJsonValue jsonOf(const std::string &text)
{
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text));
    if (doc.isObject())
        return doc.object();
    if (doc.isArray())
        return doc.array();
    return QString::fromStdString(text); // kept as it was read
}

std::string textOf(const QJsonValue &value)
{
    if (value.isObject())
        return QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact).toStdString();
    if (value.isArray())
        return QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact).toStdString();
    return value.toString().toStdString();
}

void appendDouble(std::string &bytes, double v)
{
    static_assert(std::endian::native == std::endian::little, "the packed figures are little-endian");
    char raw[sizeof v];
    std::memcpy(raw, &v, sizeof v);
    bytes.append(raw, sizeof v);
}

double doubleAt(const std::string &bytes, size_t i)
{
    double v = 0.0;
    std::memcpy(&v, bytes.data() + i * sizeof v, sizeof v);
    return v;
}

std::string packedPeriods(const PlanCandidate &c, const CandidateDetail &d)
{
    std::string bytes;
    bytes.reserve(c.harvestTotal.size() * kFiguresAPeriod * sizeof(double));
    for (size_t p = 0; p < c.harvestTotal.size(); ++p)
        for (double v : {c.harvestTotal[p], c.harvestSawlog[p], d.roundwood[p], d.firewood[p], d.revenue[p],
                         d.standingEnd[p], p < d.carbonEnd.size() ? d.carbonEnd[p] : 0.0})
            appendDouble(bytes, v);
    return bytes;
}

void unpackPeriods(const std::string &bytes, PlanCandidate &c, CandidateDetail &d)
{
    const size_t periods = bytes.size() / (kFiguresAPeriod * sizeof(double));
    for (auto *v : {&c.harvestTotal, &c.harvestSawlog, &d.roundwood, &d.firewood, &d.revenue, &d.standingEnd,
                    &d.carbonEnd})
        v->resize(periods);
    for (size_t p = 0; p < periods; ++p) {
        const size_t at = p * kFiguresAPeriod;
        c.harvestTotal[p] = doubleAt(bytes, at);
        c.harvestSawlog[p] = doubleAt(bytes, at + 1);
        d.roundwood[p] = doubleAt(bytes, at + 2);
        d.firewood[p] = doubleAt(bytes, at + 3);
        d.revenue[p] = doubleAt(bytes, at + 4);
        d.standingEnd[p] = doubleAt(bytes, at + 5);
        d.carbonEnd[p] = doubleAt(bytes, at + 6);
    }
}

template <typename F>
auto writing(F &&f)
{
    try {
        return f();
    } catch (const DatabaseError &e) {
        throw BatchOutputError(std::string("cannot write the results: ") + e.what());
    }
}

} // namespace

std::string candidateSourceJson(const std::string &spaceJson)
{
    QJsonObject o;
    o["space"] = jsonOf(spaceJson);
    return textOf(o);
}

std::string candidateSourceJson(const std::vector<std::pair<std::string, std::string>> &labelledRegimeJson)
{
    QJsonArray regimes;
    for (const auto &[label, json] : labelledRegimeJson)
        regimes.append(QJsonObject{{"label", QString::fromStdString(label)}, {"regime", jsonOf(json)}});
    QJsonObject o;
    o["regimes"] = regimes;
    return textOf(o);
}

std::string candidateWorkText(const CandidateWork &work)
{
    QJsonObject o;
    o["horizon"] = work.horizonYears;
    o["maxRegimes"] = work.maxRegimes;
    o["economics"] = jsonOf(work.economicsJson);
    o["source"] = jsonOf(work.sourceJson);
    return textOf(QJsonObject{{kWorkKey, o}});
}

std::optional<CandidateWork> candidateWorkOf(const std::string &text)
{
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text));
    if (!doc.isObject() || !doc.object().value(kWorkKey).isObject())
        return std::nullopt;
    const QJsonObject o = doc.object().value(kWorkKey).toObject();
    if (!o.value("horizon").isDouble() || !o.value("economics").isObject())
        return std::nullopt;
    CandidateWork work;
    work.horizonYears = o.value("horizon").toInt();
    work.maxRegimes = o.value("maxRegimes").toDouble();
    work.economicsJson = textOf(o.value("economics"));
    work.sourceJson = textOf(o.value("source"));
    return work;
}

CandidateStoreWriter::CandidateStoreWriter(const std::filesystem::path &path, const RunIdentity &identity,
                                           int64_t stands, bool resume, int busyTimeoutMs)
{
    db_.emplace(path, busyTimeoutMs);
    writing([&] {
        if (resume) {
            if (const auto run = db_->unfinishedRun(identity)) {
                if (const std::string why = inventoryChange(run->identity, identity); !why.empty())
                    throw std::runtime_error("cannot resume run " + std::to_string(run->id) + " of " +
                                             path.string() + ": " + why + "; run without --resume to start a new run");
                runId_ = run->id;
                resumed_ = true;
                done_ = db_->completedPositions(runId_);
            }
        }
        if (!resumed_)
            runId_ = db_->startRun(identity, stands);
        return 0;
    });
}

CandidateStoreWriter::~CandidateStoreWriter() = default;

void CandidateStoreWriter::setLayer(const MapLayer &layer)
{
    writing([&] {
        SqliteStatement q = db_->db().prepare("INSERT OR REPLACE INTO " + std::string(kPlanLayerTable.name) +
                                              " (run_id, " + columnList(kPlanLayerTable) + ") VALUES (?1, ?2, ?3, ?4, ?5)");
        q.bind(1, runId_).bind(2, layer.geometryType);
        if (layer.crs)
            q.bind(3, layer.crs->organization).bind(4, layer.crs->code).bind(5, layer.crs->wkt);
        else
            q.bindNull(3).bindNull(4).bindNull(5);
        q.run();
        return 0;
    });
}

void CandidateStoreWriter::add(GatheredStand &&stand)
{
    pending_.push_back(std::move(stand));
    if (pending_.size() >= kStandsACommit)
        flush();
}

void CandidateStoreWriter::flush()
{
    if (pending_.empty())
        return;
    writing([&] {
        SqliteDb &db = db_->db();
        SqliteTransaction tx(db);
        SqliteStatement standRow = db.prepare("INSERT INTO " + std::string(kStandsTable.name) +
                                              " (run_id, position, stand_id, line, status) VALUES (?1, ?2, ?3, ?4, ?5)");
        SqliteStatement planned = db.prepare(insertSql(kPlanStandsTable));
        SqliteStatement candidate = db.prepare(insertSql(kPlanCandidatesTable));
        SqliteStatement error = db.prepare("INSERT INTO " + std::string(kErrorsTable.name) +
                                           " (run_id, stand_id, line, status, title, text) VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
        for (const GatheredStand &g : pending_) {
            const auto position = static_cast<int64_t>(g.position);
            const auto line = static_cast<int64_t>(g.line);
            std::vector<std::string> cells;
            if (!g.stand) {
                cells = splitCsvLine(g.errorLine.substr(0, g.errorLine.size() - 1)).value_or(std::vector<std::string>{});
                cells.resize(4);
                error.bind(1, runId_).bind(2, cells[0]).bind(3, line).bind(4, cells[1]).bind(5, cells[2]);
                error.bind(6, cells[3]);
                error.run();
            }
            standRow.bind(1, runId_).bind(2, position).bind(3, g.stand ? g.stand->id : cells[0]).bind(4, line);
            standRow.bind(5, g.stand ? std::string("planned") : cells[1]);
            standRow.run();
            if (!g.stand)
                continue;
            const PlanStand &s = *g.stand;
            planned.bind(1, runId_).bind(2, position).bind(3, s.id).bind(4, s.area).bind(5, s.standingInitial);
            if (g.geometry.wkb.empty())
                planned.bindNull(6);
            else
                planned.bindBlob(6, g.geometry.wkb);
            planned.bind(7, g.geometry.minX).bind(8, g.geometry.minY).bind(9, g.geometry.maxX);
            planned.bind(10, g.geometry.maxY);
            planned.run();
            for (size_t k = 0; k < s.candidates.size(); ++k) {
                const PlanCandidate &c = s.candidates[k];
                candidate.bind(1, runId_).bind(2, position).bind(3, static_cast<int64_t>(k + 1));
                candidate.bind(4, g.details[k].schedule).bind(5, c.value);
                if (c.fellingYear)
                    candidate.bind(6, static_cast<int64_t>(*c.fellingYear));
                else
                    candidate.bindNull(6);
                candidate.bind(7, c.standingAtHorizon).bind(8, c.carbon).bindBlob(9, packedPeriods(c, g.details[k]));
                candidate.run();
            }
        }
        tx.commit();
        return 0;
    });
    pending_.clear();
}

void CandidateStoreWriter::finish(bool complete)
{
    flush();
    if (complete)
        writing([&] {
            db_->finishRun(runId_);
            return 0;
        });
}

std::variant<StoredGathering, CandidateStoreProblem> findGathering(const std::filesystem::path &path)
{
    using Kind = CandidateStoreProblem::Kind;
    try {
        if (!std::filesystem::is_regular_file(path))
            return CandidateStoreProblem{Kind::Unreadable, "no such file"};
        SqliteDb db(path, SqliteDb::Mode::ReadOnly);
        if (!db.tableExists(kRunsTable.name) || !db.tableExists(kPlanCandidatesTable.name))
            return CandidateStoreProblem{Kind::NoGathering, {}};
        SqliteStatement runs = db.prepare("SELECT run_id FROM " + std::string(kRunsTable.name) +
                                          " WHERE finished IS NOT NULL ORDER BY run_id DESC");
        std::string shards;
        while (runs.step()) {
            const auto run = readRun(db, runs.integer(0));
            const auto work = run ? candidateWorkOf(run->identity.regime) : std::nullopt;
            if (!work)
                continue;
            if (!run->identity.shard.empty()) {
                shards += (shards.empty() ? "" : ", ") + run->identity.shard;
                continue;
            }
            StoredGathering g{*run, *work};
            SqliteStatement count = db.prepare("SELECT (SELECT count(*) FROM " + std::string(kPlanStandsTable.name) +
                                               " WHERE run_id = ?1), (SELECT count(*) FROM " +
                                               kPlanCandidatesTable.name + " WHERE run_id = ?1)");
            count.bind(1, run->id);
            count.step();
            g.stands = static_cast<size_t>(count.integer(0));
            g.candidates = static_cast<size_t>(count.integer(1));
            return g;
        }
        if (!shards.empty())
            return CandidateStoreProblem{Kind::OnlyShards, shards};
        return CandidateStoreProblem{Kind::NoGathering, {}};
    } catch (const DatabaseError &e) {
        return CandidateStoreProblem{Kind::Unreadable, e.what()};
    }
}

PlanInventory readGathering(const std::filesystem::path &path, const StoredGathering &gathering)
{
    try {
        SqliteDb db(path, SqliteDb::Mode::ReadOnly);
        const int64_t run = gathering.run.id;
        PlanInventory inv;
        inv.rows = static_cast<size_t>(gathering.run.stands);
        inv.stands.reserve(gathering.stands);
        inv.details.reserve(gathering.stands);
        SqliteStatement stands = db.prepare("SELECT position, stand_id, area, standing_initial, outline, min_x, "
                                            "min_y, max_x, max_y FROM " +
                                            std::string(kPlanStandsTable.name) + " WHERE run_id = ?1 ORDER BY position");
        stands.bind(1, run);
        while (stands.step()) {
            PlanStand s;
            s.id = stands.text(1);
            s.area = stands.real(2);
            s.standingInitial = stands.real(3);
            inv.positions.push_back(static_cast<size_t>(stands.integer(0)));
            inv.stands.push_back(std::move(s));
            inv.details.emplace_back();
            StandGeometry geometry;
            geometry.wkb = stands.blob(4);
            geometry.minX = stands.real(5);
            geometry.minY = stands.real(6);
            geometry.maxX = stands.real(7);
            geometry.maxY = stands.real(8);
            inv.geometries.push_back(std::move(geometry));
        }
        SqliteStatement candidates =
            db.prepare("SELECT position, schedule, value, felling_year, standing_at_horizon, carbon, periods FROM " +
                       std::string(kPlanCandidatesTable.name) + " WHERE run_id = ?1 ORDER BY position, candidate");
        candidates.bind(1, run);
        size_t s = 0;
        while (candidates.step()) {
            const auto position = static_cast<size_t>(candidates.integer(0));
            while (s < inv.positions.size() && inv.positions[s] < position)
                ++s;
            if (s == inv.positions.size() || inv.positions[s] != position)
                throw std::runtime_error(path.string() + ": a candidate of position " + std::to_string(position) +
                                         " has no stand");
            PlanCandidate c;
            CandidateDetail d;
            d.schedule = candidates.text(1);
            c.value = candidates.real(2);
            if (!candidates.isNull(3))
                c.fellingYear = static_cast<int>(candidates.integer(3));
            c.standingAtHorizon = candidates.real(4);
            c.carbon = candidates.real(5);
            unpackPeriods(candidates.blob(6), c, d);
            inv.stands[s].candidates.push_back(std::move(c));
            inv.details[s].push_back(std::move(d));
        }
        for (size_t i = 0; i < inv.stands.size(); ++i)
            if (inv.stands[i].candidates.empty())
                throw std::runtime_error(path.string() + ": stand " + inv.stands[i].id + " has no candidate");
        // In inventory order, as one gathering writes them.
        SqliteStatement errors = db.prepare("SELECT stand_id, status, title, text FROM " +
                                            std::string(kErrorsTable.name) +
                                            " WHERE run_id = ?1 ORDER BY line, rowid");
        errors.bind(1, run);
        while (errors.step()) {
            std::vector<std::string> row{errors.text(0), errors.text(1), errors.text(2), errors.text(3)};
            inv.errorsCsv += errorsCsvLine(row[0], row[1], row[2], row[3]);
            inv.errorRows.push_back(std::move(row));
        }
        if (db.tableExists(kPlanLayerTable.name)) {
            SqliteStatement layer = db.prepare("SELECT geometry_type, crs_organization, crs_code, crs_wkt FROM " +
                                               std::string(kPlanLayerTable.name) + " WHERE run_id = ?1");
            layer.bind(1, run);
            if (layer.step()) {
                MapLayer map;
                map.geometryType = layer.text(0);
                if (!layer.isNull(2) || !layer.isNull(3))
                    map.crs = InventoryCrs{layer.text(1), layer.integer(2), layer.text(3)};
                inv.map = std::move(map);
            }
        }
        return inv;
    } catch (const DatabaseError &e) {
        throw std::runtime_error(path.string() + ": " + e.what());
    }
}

} // namespace tavelo
